// The erosion: wheel contacts become samples, samples average into points, points gather into
// batches per wheel, batches travel as erode_messages, and the queue of received points digs
// ruts and lays down berms within a budget per frame.
//
// The erode_message (little-endian; n >= 1 points; at most 64, so at most 269 bytes):
//   0       type, always 1
//   1..8    dx_min, dz_min, dx_max, dz_max: u16 u each, value u / 65535 * 2048 - 1024
//   9..14   the first point's x and z: u24 u each, value u / 16777215 * the track's extent
//   15, 16  the first point's code bytes A and B
//   17 + 4(i - 1) ..  point i: x step byte b (x_i = x_{i-1} + dx_min + (dx_max - dx_min) b / 255),
//                     z step byte, code bytes A and B
// Code byte A: bits 0-1 the sample count's bits 0-1, bits 2-7 k of value1; byte B: bits 0-1 the
// count's bits 2-3, bits 2-7 k of value2. A value decodes as clamp(k / 64, 0, 1) * 2 - 1 and is
// encoded as k = min(63, floor(64 v + 0.5)) with v = clamp((value + 1) / 2, 0, 1), so decoding
// and encoding again gives the same byte. The count travels as min(count, 15). Every peer and
// every demo must follow these rules to cut the same ruts.
#pragma once

#include <cstdint>

#include "core/vec3.h"
#include "terrain/terrain.h"

// One erosion point: where a run of wheel samples lies, the averaged push direction and strength
// (value1, value2 in [-1, 1]) and how many samples it averages (0..15 once carried by a message).
struct erode_point {
    float x, z;
    float value1, value2;
    int32_t sample_count;
};
// A point waiting in the queue.
using erode_queue_entry = erode_point;

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

// What the erosion takes of a wheel's ground contact this tick (the bike's wheel_contact less
// its bodies): the contact point, unit normal and depth (0: none), the contact's velocity, and
// the wheel body's velocity and the force the last world step put on the ground joint, both
// as the physics engine keeps them (checked finite before use).
struct erode_contact {
    vec3 point;
    vec3 velocity;
    vec3 normal;
    float contact_depth;
    double body_velocity[3];
    double force[3];
};

// The six read-outs of the wheel processed last (speed, slip, fx, fz, pfx, pfz).
struct erode_readout_values {
    float speed, slip, fx, fz, pfx, pfz;
};

// What the erosion calls above it: where a finished message goes (null: straight into the
// queue, as offline) and the current race tick (null: 0). The program sets them at start-up.
struct erode_hook_table {
    void (*send)(const unsigned char *bytes, int length);
    int (*current_tick)();
};

extern erode_hook_table erode_hooks;
extern erode_readout_values erode_readouts;

// Takes one sample of the wheel's contact, or does the idle work of a tick without one (a
// batch left 64 ticks is sent); sets the read-outs. front: 1 the front wheel, 0 the rear.
void erode_wheel_contact(erode_batch *b, const erode_contact &c, int front);
// Turns the open group into a point, sending the batch when it is full or too wide.
void erode_batch_add_point(erode_batch *b);
// Writes the batch's erode_message into out (ERODE_MESSAGE_MAX bytes): its length, 0 when the
// batch is empty.
int erode_encode_batch(unsigned char *out, const erode_batch *b);
// Decodes a message for a track of the given extent: the number of points written to out
// (0..64). Short messages and other types carry none; bytes past 64 points are ignored.
int erode_decode_message(const unsigned char *bytes, int length, float extent,
                         erode_point out[64]);
// Decodes a message for the current terrain and appends its points to the queue; a full queue
// drops them ("Erode queue full!" once in the run).
void erode_queue_message(const unsigned char *bytes, int length);
// Applies queued points within the frame's budget, holding back those near the protected
// position (x, y, z; null: none), with the strength (1 = full).
void erode_apply_queue(const float *protected_position, float strength);
// Empties the queue (race reset).
void erode_queue_reset();
// Points waiting in the queue.
int erode_queue_count();
// The queued point i places behind the head (i below the count).
erode_point erode_queue_peek(int i);
// Empties a batch: no points and no open group.
void erode_batch_clear(erode_batch *b);
// The height exactly as terrain_height_at computes it.
float erode_height_at(const terrain_field *f, float x, float z);
// Applies one point to the field with the strength (the drain's work for one queue entry).
void erode_apply_point(terrain_field *f, const erode_point &p, float strength);
// The read-outs as text, cut to size - 1 characters and terminated.
void erode_format_wheel_readout(char *out, int size);

constexpr int ERODE_BATCH_POINTS = 64;
constexpr int ERODE_MESSAGE_MAX = 17 + 4 * (ERODE_BATCH_POINTS - 1);   // 269 bytes
constexpr int ERODE_QUEUE_SIZE = 131072;
constexpr int ERODE_IDLE_TICKS = 64;
constexpr int ERODE_GROUP_SAMPLES = 16;
constexpr float ERODE_BATCH_SPREAD_MAX = 64.0f;   // step bounds wider than this cut the batch
constexpr float ERODE_STEP_MAX = 1000.0f;         // so does a step longer than this
constexpr int ERODE_PROTECT_TICKS = 256;
constexpr float ERODE_PROTECT_RADIUS2 = 100.0f;
constexpr int ERODE_QUEUE_PROTECT_MAX = 8192;
constexpr float ERODE_SPEED_MIN = 1e-4f;          // horizontal wheel speed below: no sample
constexpr float ERODE_DIRECTION_MIN = 1e-6f;      // a point's |(value1, value2)| below: no push
constexpr float ERODE_RANGE_MIN = 1.0f / 1024.0f; // least width of a lower..upper range
