// The erosion queue: wheel-track points waiting to dig ruts into the terrain.
#pragma once

#include <cstdint>

// One erosion point: where a run of wheel samples lies, the averaged push direction and strength
// (value1, value2 in [-1, 1]) and how many samples it averages (0..15 once carried by a message).
struct erode_point {
    float x, z;
    float value1, value2;
    int32_t sample_count;
};

// The points one wheel has gathered since its last message, and the open group of samples that
// becomes the next point. Every rider slot holds two, front and rear.
struct erode_batch {
    erode_point points[64];
    float dx_min, dz_min, dx_max, dz_max;   // bounds of the steps between consecutive points
    int32_t stamp;                          // tick at which the last point was added
    int32_t point_count;                    // 0..64
    float last_x, last_z;                   // the last sample's position
    float sum_x, sum_z, sum_value1, sum_value2;   // over the open group of samples
    float track_length;                     // path length of the open group
    int32_t sample_count;                   // samples in the open group, 0..16
};

// Applies queued points within the frame's budget, holding back those near the protected
// position (null: none), with the strength (1 = full).
void erode_apply_queue(const float *protected_position, float strength);
// Empties a batch: no points and no open group.
void erode_batch_clear(erode_batch *b);

constexpr int ERODE_BATCH_POINTS = 64;
