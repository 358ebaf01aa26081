// Fuzz target "packed_state": a packed rider state as a packet or a demo carries it.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bike/packed_state.h"
#include "fuzz/fuzz.h"

// The first byte picks the old 26-byte form (odd) or the 39-byte one; the rest is the record.
// Every decoded value is finite, and encoding it again decodes to the same values.
void fuzz_packed_state(const uint8_t *data, size_t size) {
    unsigned char record[39] = {};
    if (size > 1) memcpy(record, data + 1, size - 1 < sizeof record ? size - 1 : sizeof record);
    int version = size > 0 && (data[0] & 1) ? 4 : 5;
    const packed_ranges r = {8192.0, -50.0, 0.6, 0.9, -0.2, 0.4};
    packed_values v = packed_state_decode(record, version, r);
    const double *numbers[] = {v.frame_position, v.frame_quaternion, v.rider_offset, v.rider_quaternion};
    const int counts[] = {3, 4, 3, 4};
    for (int k = 0; k < 4; k++)
        for (int i = 0; i < counts[k]; i++)
            if (!std::isfinite(numbers[k][i])) abort();
    for (double x : {v.steering, v.swingarm, v.fork, v.front_axle, v.rear_axle, v.rider_travel, v.rpm})
        if (!std::isfinite(x)) abort();
    if (version == 4) return;
    unsigned char again[39];
    packed_state_encode(v, r, again);
    packed_values w = packed_state_decode(again, version, r);
    for (int i = 0; i < 3; i++)
        if (std::fabs(w.frame_position[i] - v.frame_position[i]) > 1e-3) abort();
}
