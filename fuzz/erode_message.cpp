// Fuzz target "erode_message": an erosion message as a peer or a demo hands it over.
#include <climits>
#include <cmath>
#include <cstdlib>

#include "fuzz/fuzz.h"
#include "terrain/erode.h"

// Decodes the bytes for a field 1024 ft across: at most 64 points, every value finite.
void fuzz_erode_message(const uint8_t *data, size_t size) {
    erode_point points[64];
    int length = size > INT_MAX ? INT_MAX : (int)size;
    int n = erode_decode_message(data, length, 1024.0f, points);
    if (n < 0 || n > 64) abort();
    for (int i = 0; i < n; i++) {
        const erode_point &p = points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.z) || !std::isfinite(p.value1) ||
            !std::isfinite(p.value2) || p.sample_count < 0 || p.sample_count > 15)
            abort();
    }
}
