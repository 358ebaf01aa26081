// The string pool, number parsing and the heapsort.
#include "core/util.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/mem.h"
#include "platform/plyx.h"

static growable_array util_pool;  // of const char *, created on first use

const char *util_intern(const char *text) {
    if (!util_pool.items && !plyx_array_init(&util_pool, sizeof(char *), 16))
        mem_out_of_memory();
    char **items = (char **)util_pool.items;
    for (int i = 0; i < util_pool.count; i++)
        if (strcmp(items[i], text) == 0) return items[i];
    size_t len = strlen(text) + 1;
    char *copy = (char *)mem_alloc_or_die(len);
    memcpy(copy, text, len);
    // A copy the pool cannot keep would break pointer comparison: treat it as out of memory.
    if (!plyx_array_append(&util_pool, &copy)) mem_out_of_memory();
    return copy;
}

int util_parse_int(const char *text, int *out) {
    char *end;
    long v = strtol(text, &end, 10);
    if (end == text) return 0;
    *out = v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : (int)v;
    return 1;
}

int util_parse_number(const char *text, double *out) {
    char *end;
    double v = strtod(text, &end);
    if (end == text || !std::isfinite(v)) return 0;
    *out = v;
    return 1;
}

void util_intern_free_all() {
    char **items = (char **)util_pool.items;
    for (int i = 0; i < util_pool.count; i++) mem_free(items[i]);
    plyx_array_free(&util_pool);
}

static void util_swap(unsigned char *a, unsigned char *b, size_t size) {
    for (size_t i = 0; i < size; i++) {
        unsigned char t = a[i];
        a[i] = b[i];
        b[i] = t;
    }
}

static void util_sift(unsigned char *base, int i, int n, size_t size,
                      int (*compare)(const void *, const void *)) {
    for (int c = 2 * i + 1; c < n; c = 2 * i + 1) {
        if (c + 1 < n && compare(base + (c + 1) * size, base + c * size) > 0) c++;
        if (compare(base + c * size, base + i * size) <= 0) return;
        util_swap(base + c * size, base + i * size, size);
        i = c;
    }
}

void util_heapsort(void *base, int count, size_t element_size,
                   int (*compare)(const void *, const void *)) {
    unsigned char *b = (unsigned char *)base;
    for (int i = count / 2 - 1; i >= 0; i--) util_sift(b, i, count, element_size, compare);
    for (int n = count; n > 1; n--) {
        util_swap(b, b + (n - 1) * element_size, element_size);
        util_sift(b, 0, n - 1, element_size, compare);
    }
}

float util_clamp(float v, float lo, float hi) {
    if (std::isnan(v)) v = 0.0f;
    return v < lo ? lo : v > hi ? hi : v;
}
