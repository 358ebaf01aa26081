// The packed rider state's codec: quantised little-endian fields, nothing of the physics.
#include "bike/packed_state.h"

#include <cmath>

static const double QUARTER_PI = 0.7853981633974483, PI = 3.141592653589793;

uint32_t packed_quantise(double v, double lo, double hi, uint32_t m) {
    if (!(hi > lo) || !std::isfinite(v) || !std::isfinite(lo) || !std::isfinite(hi)) return 0;
    v = v < lo ? lo : v > hi ? hi : v;
    double q = std::floor((v - lo) / (hi - lo) * m + 0.5);
    return q < 0 ? 0 : q > m ? m : (uint32_t)q;
}

double packed_dequantise(uint32_t stored, double lo, double hi, uint32_t m) {
    return lo + (double)stored / m * (hi - lo);
}

static void put(unsigned char *out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) out[i] = (unsigned char)(v >> (8 * i));
}

static uint32_t get(const unsigned char *in, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++) v |= (uint32_t)in[i] << (8 * i);
    return v;
}

static const uint32_t M1 = 255, M2 = 65535, M3 = 16777215;

void packed_state_encode(const packed_values &v, const packed_ranges &r, unsigned char out[39]) {
    put(out + 0, packed_quantise(v.frame_position[0], 0, r.extent, M3), 3);
    put(out + 3, packed_quantise(v.frame_position[1], r.min_height, r.min_height + r.extent, M3), 3);
    put(out + 6, packed_quantise(v.frame_position[2], 0, r.extent, M3), 3);
    for (int i = 0; i < 4; i++) put(out + 9 + 2 * i, packed_quantise(v.frame_quaternion[i], -1, 1, M2), 2);
    out[17] = (unsigned char)packed_quantise(v.steering, -QUARTER_PI, QUARTER_PI, M1);
    out[18] = (unsigned char)packed_quantise(v.swingarm, -r.swingarm_travel, 0, M1);
    out[19] = (unsigned char)packed_quantise(v.fork, -r.fork_travel, 0, M1);
    for (int i = 0; i < 3; i++) put(out + 20 + 2 * i, packed_quantise(v.rider_offset[i], -16, 16, M2), 2);
    for (int i = 0; i < 4; i++) put(out + 26 + 2 * i, packed_quantise(v.rider_quaternion[i], -1, 1, M2), 2);
    out[34] = (unsigned char)packed_quantise(v.front_axle, -PI, PI, M1);
    out[35] = (unsigned char)packed_quantise(v.rear_axle, -PI, PI, M1);
    out[36] = v.gear_flags;
    put(out + 37, packed_quantise(v.rpm, 0, 32768, M2), 2);
}

packed_values packed_state_decode(const unsigned char *in, int version, const packed_ranges &r) {
    packed_values v = {};
    v.frame_position[0] = packed_dequantise(get(in + 0, 3), 0, r.extent, M3);
    v.frame_position[1] = packed_dequantise(get(in + 3, 3), r.min_height, r.min_height + r.extent, M3);
    v.frame_position[2] = packed_dequantise(get(in + 6, 3), 0, r.extent, M3);
    for (int i = 0; i < 4; i++) v.frame_quaternion[i] = packed_dequantise(get(in + 9 + 2 * i, 2), -1, 1, M2);
    v.steering = packed_dequantise(in[17], -QUARTER_PI, QUARTER_PI, M1);
    v.swingarm = packed_dequantise(in[18], -r.swingarm_travel, 0, M1);
    v.fork = packed_dequantise(in[19], -r.fork_travel, 0, M1);
    if (version == 4) {
        v.rider_travel = packed_dequantise(in[20], r.rider_travel_low, r.rider_travel_high, M1);
        v.rider_quaternion[0] = 1;
        v.front_axle = packed_dequantise(in[21], -PI, PI, M1);
        v.rear_axle = packed_dequantise(in[22], -PI, PI, M1);
        v.gear_flags = in[23];
        v.rpm = packed_dequantise(get(in + 24, 2), 0, 32768, M2);
        return v;
    }
    for (int i = 0; i < 3; i++) v.rider_offset[i] = packed_dequantise(get(in + 20 + 2 * i, 2), -16, 16, M2);
    for (int i = 0; i < 4; i++) v.rider_quaternion[i] = packed_dequantise(get(in + 26 + 2 * i, 2), -1, 1, M2);
    v.front_axle = packed_dequantise(in[34], -PI, PI, M1);
    v.rear_axle = packed_dequantise(in[35], -PI, PI, M1);
    v.gear_flags = in[36];
    v.rpm = packed_dequantise(get(in + 37, 2), 0, 32768, M2);
    return v;
}

unsigned char packed_gear_byte(int respawn_counter, int gear, float foot_down, float throttle) {
    if (respawn_counter > 0) {
        long long n = respawn_counter;
        long long k = (15 * n - 15) / 127;
        return (unsigned char)(7 | (k > 15 ? 15 : k) << 4);
    }
    int g = gear < 0 ? 0 : gear > 6 ? 6 : gear;
    float t = std::isfinite(throttle) ? throttle * 15 : 0;
    int nibble = t < 0 ? 0 : t > 15 ? 15 : (int)t;
    return (unsigned char)(g | (foot_down > 0 ? 8 : 0) | nibble << 4);
}

int packed_respawn_counter(unsigned char g) {
    return (g >> 4) * 127 / 15 + 1;
}
