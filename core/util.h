// Small helpers every subsystem uses: the string pool, number parsing and an in-place heapsort.
#pragma once

#include <cstddef>
#include <cstdint>

// The pool's copy of the text: equal texts always give the same pointer.
const char *util_intern(const char *text);
// Frees every pooled text (shutdown).
void util_intern_free_all();
// Reads a decimal integer as "%d" does (blanks, a sign, digits; "12abc" reads 12), clamped to
// the int range: 1, or 0 when the text does not start with a number.
int util_parse_int(const char *text, int *out);
// Reads a number as "%f" does: 1, or 0 when the text does not start with a number or the number
// is not finite ("nan", "inf", "1e999").
int util_parse_number(const char *text, double *out);
// Sorts in place so that compare(a, b) <= 0 for every a before b. Not stable.
void util_heapsort(void *base, int count, size_t element_size,
                   int (*compare)(const void *, const void *));
// v clamped to lo..hi for input that may not be finite: infinities go to their bound, NaN is
// taken as 0 first (then clamped, so a range above 0 gives lo).
float util_clamp(float v, float lo, float hi);
