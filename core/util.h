// Small helpers every subsystem uses: the string pool and an in-place heapsort.
#pragma once

#include <cstddef>

// The pool's copy of the text: equal texts always give the same pointer.
const char *util_intern(const char *text);
// Frees every pooled text (shutdown).
void util_intern_free_all();
// Sorts in place so that compare(a, b) <= 0 for every a before b. Not stable.
void util_heapsort(void *base, int count, size_t element_size,
                   int (*compare)(const void *, const void *));
