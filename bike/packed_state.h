// The packed rider state: one rider's pose and engine in 39 bytes (26 in the old version-4
// form, read only), the pure codec between the bytes and decoded values, and packing a slot's
// bodies into a record and a record onto them.
#pragma once

#include <cstdint>

struct rider_slot;

typedef unsigned char packed_rider_state[39];

// The ranges a record is quantised in: the terrain's extent E and min height Y0, the row's
// swingarm travel angle V60 and fork travel V48, and the old form's rider travel V186..V187.
struct packed_ranges {
    double extent, min_height;
    double swingarm_travel, fork_travel;
    double rider_travel_low, rider_travel_high;
};

// A record's values as decoded, in double.
struct packed_values {
    double frame_position[3];
    double frame_quaternion[4];       // w, x, y, z
    double steering, swingarm, fork;  // hinge angles and slider position
    double rider_offset[3];           // rider position minus frame position
    double rider_quaternion[4];
    double front_axle, rear_axle;
    double rider_travel;              // version 4 only: along the row's travel direction
    unsigned char gear_flags;         // byte 36 as stored
    double rpm;
};

// v in [lo, hi] stored in M + 1 steps; 0 when the range is empty or v is not finite.
uint32_t packed_quantise(double v, double lo, double hi, uint32_t m);
double packed_dequantise(uint32_t stored, double lo, double hi, uint32_t m);
void packed_state_encode(const packed_values &v, const packed_ranges &r, unsigned char out[39]);
// version 4 reads the 26-byte form, any other the 39-byte form.
packed_values packed_state_decode(const unsigned char *record, int version, const packed_ranges &r);
// Byte 36 for a rider: gear, foot and throttle while riding; 7 and the counter while respawning.
unsigned char packed_gear_byte(int respawn_counter, int gear, float foot_down, float throttle);
// The respawn counter a gear byte with (g & 7) = 7 stands for.
int packed_respawn_counter(unsigned char g);

// The slot's pose and engine packed; the ranges from the current terrain and the slot's row.
void bike_pack_state(rider_slot *s, unsigned char out[39]);
// A record put onto the slot's bodies, its gear, throttle, respawn counter and engine speed.
void bike_unpack_state(rider_slot *s, const unsigned char *record, int version);
// The ranges of the slot on the current terrain.
packed_ranges bike_packed_ranges(const rider_slot *s);

constexpr int PACKED_STATE_BYTES = 39;
constexpr int PACKED_STATE_V4_BYTES = 26;

// The history-driven rider's tick: a solid rider is pulled toward the records, any other is put
// at the current record with velocities from older to newer (n ticks apart, at least 1).
void bike_apply_packed_states(rider_slot *s, const unsigned char *current, const unsigned char *older,
                              const unsigned char *newer, int n, int version);
void bike_pull_to_states(rider_slot *s, const unsigned char *current, const unsigned char *older,
                         const unsigned char *newer, int n);
// 51 floats: each body's position and quaternion, then throttle and rpm.
void bike_snapshot_write(rider_slot *s, float out[51]);
// Nothing changes when a value is not finite or a quaternion is nearly zero.
void bike_snapshot_read(rider_slot *s, const float in[51]);
// Row-major rotation of a unit quaternion (w, x, y, z).
void quat_to_matrix3(const float q[4], float m[9]);
// The angular velocity (rad/s) that turns q0 into q1 in one tick; zero where it is undefined.
void angular_velocity_between(const double q0[4], const double q1[4], double out[3]);
// The rotation vector about the axis that turns v into v + d; zero for degenerate input.
void axis_angle_between(const double axis[3], const double v[3], const double d[3], double out[3]);

constexpr int BIKE_SNAPSHOT_VALUES = 51;
