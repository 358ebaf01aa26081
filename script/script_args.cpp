// Reading the natives' arguments: numbers made safe to truncate, and the array helpers, which
// never throw (a non-object reads as an empty array, a bad element as 0).
#include <cmath>
#include <cstdio>
#include <cstring>

#include "script/script.h"

double script_arg_double(duk_context *d, int index) {
    if (!duk_is_number(d, index)) return 0;
    return duk_get_number(d, index);
}

static int to_int(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return (int)-2147483647 - 1;
    return (int)v;
}

int script_arg_int(duk_context *d, int index) {
    return to_int(script_arg_double(d, index));
}

// Element i of the argument when it is an object (plain reads: a getter runs inside the
// native's protected call and only fails it); pushes the value.
static bool push_element(duk_context *d, int index, int i) {
    if (!duk_is_object(d, index)) return false;
    duk_get_prop_index(d, index, (duk_uarridx_t)i);
    return true;
}

static double element_double(duk_context *d, int index, int i) {
    if (!push_element(d, index, i)) return 0;
    double v = duk_is_number(d, -1) ? duk_get_number(d, -1) : 0;
    duk_pop(d);
    return std::isfinite(v) ? v : 0;
}

void script_get_doubles(duk_context *d, int index, double *values, int count) {
    index = duk_normalize_index(d, index);
    for (int i = 0; i < count; i++) values[i] = element_double(d, index, i);
}

void script_get_floats(duk_context *d, int index, float *values, int count) {
    index = duk_normalize_index(d, index);
    for (int i = 0; i < count; i++) {
        double v = element_double(d, index, i);
        values[i] = std::fabs(v) < 3.0e38 ? (float)v : 0.0f;
    }
}

void script_get_ints(duk_context *d, int index, int *values, int count) {
    index = duk_normalize_index(d, index);
    for (int i = 0; i < count; i++) values[i] = to_int(element_double(d, index, i));
}

void script_get_strings(duk_context *d, int index, char (*values)[256], int count) {
    index = duk_normalize_index(d, index);
    for (int i = 0; i < count; i++) {
        values[i][0] = 0;
        if (!push_element(d, index, i)) continue;
        if (duk_is_string(d, -1)) snprintf(values[i], 256, "%s", duk_get_string(d, -1));
        duk_pop(d);
    }
}

// Stores count numbers into elements 0..count-1 of the argument when it is an object.
static void put_numbers(duk_context *d, int index, const double *values, int count) {
    index = duk_normalize_index(d, index);
    if (!duk_is_object(d, index)) return;
    for (int i = 0; i < count; i++) {
        duk_push_number(d, values[i]);
        duk_put_prop_index(d, index, (duk_uarridx_t)i);
    }
}

void script_put_doubles(duk_context *d, int index, const double *values, int count) {
    put_numbers(d, index, values, count);
}

void script_put_floats(duk_context *d, int index, const float *values, int count) {
    double v[288];
    if (count > 288) count = 288;
    for (int i = 0; i < count; i++) v[i] = values[i];
    put_numbers(d, index, v, count);
}

void script_put_ints(duk_context *d, int index, const int *values, int count) {
    double v[288];
    if (count > 288) count = 288;
    for (int i = 0; i < count; i++) v[i] = values[i];
    put_numbers(d, index, v, count);
}

void script_put_strings(duk_context *d, int index, const char *const *values, int count) {
    index = duk_normalize_index(d, index);
    if (!duk_is_object(d, index)) return;
    for (int i = 0; i < count; i++) {
        duk_push_string(d, values[i] ? values[i] : "");
        duk_put_prop_index(d, index, (duk_uarridx_t)i);
    }
}
