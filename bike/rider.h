// The rider table: 160 slots, each holding one rider's bike (bodies, joints, models, textures),
// controls, drivetrain, setup and race state, and the operations that load, set, place and pack
// a slot's bike.
#pragma once

#include <cstdint>

#include <ode/ode.h>

#include "bike/bike_info.h"
#include "bike/contact.h"
#include "bike/shape.h"
#include "core/vec3.h"
#include "platform/plyx.h"
#include "terrain/erode.h"

struct model_mesh;
struct terrain_field;
struct roost_type;

constexpr int RIDER_SLOTS = 160;
constexpr int RIDER_NO_SLOT = 160;

// The 13 handles of a bike: seven bodies, then six joints.
enum bike_body {
    BIKE_BODY_FRAME, BIKE_BODY_FRONT_WHEEL, BIKE_BODY_REAR_WHEEL, BIKE_BODY_FORK_UPPER,
    BIKE_BODY_FORK_LOWER, BIKE_BODY_SWINGARM, BIKE_BODY_RIDER,
    BIKE_JOINT_FRONT_AXLE, BIKE_JOINT_REAR_AXLE, BIKE_JOINT_STEERING, BIKE_JOINT_FORK,
    BIKE_JOINT_SWINGARM, BIKE_JOINT_RIDER, BIKE_PARTS
};
constexpr int BIKE_BODIES = 7;
constexpr int BIKE_JOINTS = 6;

// The nine control values a rider is driven by.
struct rider_controls {
    float throttle, clutch, front_brake, rear_brake, steer, sit_dab, foot_down, back_up, lean;
};

struct rider_slot {
    int32_t bike_row;
    void *parts[BIKE_PARTS];            // dBodyID x 7, then dJointID x 6
    dJointFeedback joint_feedback[BIKE_JOINTS];
    wheel_contact front_contact, rear_contact;
    rider_controls controls;
    int32_t gear, last_shift;
    float drive_phase, engine_speed, final_drive;
    float fork_compression, fork_slow_compression, fork_rebound, fork_slow_rebound,
        fork_spring_rate, fork_preload, fork_oil_level;
    float shock_compression, shock_slow_compression, shock_rebound, shock_slow_rebound,
        shock_spring_rate, shock_preload;
    float rider_yspring, rider_ydamping, rider_zspring, rider_zdamping;
    int32_t timing_count;
    growable_array timing_tics;
    // The auto pilot's bookkeeping (the race's); created, cleared and freed here.
    growable_array sample_buffers[2];   // of line_point: samples of segment s go to s mod 2
    int32_t sample_cancel_bits;         // bit b: buffer b's segment is not learned
    growable_array working_line;        // of line_point: the robot's copy of the lines it rides
    int32_t followed_serials[4];        // serial of the line chosen for segment s, at s mod 4
    int32_t target_index;               // the working line's point the robot heads for
    int32_t autopilot_personality;
    float robot_floats[2];
    int32_t robot_last_tic;             // -1000000 after a reset
    float robot_more[4];
    float total_mass;
    float roll_damping, leveling, roll_limit_factor, roll_limit_angle, steering_damping,
        steering_strength, max_steering_force, direct_steering, slow_damping_speed,
        slow_damping_factor, land_damping_falloff, land_damping_factor, auto_clutch_rpms,
        brake_torque, rear_brake_torque, max_dab_speed, full_lock_speed, restricted_lock_speed,
        restricted_lock;
    model_mesh *frame_model;
    collision_shape *frame_shape;
    uint32_t bike_texture, bike_normal_map, bike_specular_map;
    model_mesh *fork_upper_model;
    collision_shape *fork_upper_shape;
    model_mesh *fork_lower_model;
    collision_shape *fork_lower_shape;
    model_mesh *swingarm_model;
    collision_shape *swingarm_shape;
    model_mesh *front_wheel_model;
    collision_shape *front_wheel_shape;
    model_mesh *rear_wheel_model;
    collision_shape *rear_wheel_shape;
    uint32_t wheels_texture, wheels_normal_map, wheels_specular_map;
    model_mesh *head_model, *body_model, *body_fp_model;
    collision_shape *rider_shape;
    uint32_t head_texture, head_normal_map, head_specular_map;
    uint32_t body_texture, body_normal_map, body_specular_map;
    model_mesh *side_plates_model, *front_plate_model, *rider_plate_model;
    uint32_t number_plate_texture;
    uint32_t number_plate_bytes;        // what the plate added to texture_memory_bytes
    char rider_number[8];
    int32_t slot_index;
    int32_t last_rider_contact_tic;
    int32_t down_flag;
    float land_damping_scale;
    int32_t air_tic, landing_tic;
    int32_t respawn_counter;
    int32_t fall_count;
    int32_t fall_tic;                   // tick of the last fall
    vec3 fall_points[4];                // left foot, its velocity, right foot, its velocity
    vec3 rider_velocity_ring[4];
    int32_t finished;
    float rider_contact_timer;
    float steering_aux;
    float rider_presence;               // 1 solid, 0.25 ghost, 0 hidden
    erode_batch erode_batches[2];       // front, rear
    int32_t contact_tick;
    int32_t arcade;
    unsigned char setup_flags;
    unsigned char slot_flags;           // bit 0: no wheel contacts
    // The finite check: set when a value handed to the physics was not finite; the frame's
    // position and heading at the last check the bike passed (safe_valid 0: none yet).
    int32_t nonfinite_mark;
    int32_t safe_valid;
    float safe_x, safe_z, safe_yaw;
};

// The setup values handed to a bike, converted to the units of its setters, in the order the
// setters take them.
struct bike_setup_values {
    float leveling, roll_damping, roll_limit_angle, roll_limit_factor;   // angle in radians
    float steering_damping, steering_strength, max_steering_force;
    int arcade;                  // 0 when the server forbids arcade physics
    int front_brake_mode, rear_brake_mode;   // 0 normal, 1 antilock
    int stop_wheelies;           // 0 no, 3 yes, 2 front only
    int auto_shift, auto_dab, auto_align;
    float direct_steering, slow_damping_speed, slow_damping_factor;
    float land_damping_falloff, land_damping_factor;
    float full_lock_speed, restricted_lock_speed, restricted_lock_angle;   // angle in radians
    float auto_clutch_rpms, front_brake_torque, rear_brake_torque;
    float max_dab_speed;         // feet per second
    float front_sprocket, rear_sprocket;
    // High and low speed compression, high and low speed rebound, spring rate, preload, oil
    // level (the shock has no oil level).
    float fork[7];
    float shock[6];
    float rider_yspring, rider_zspring, rider_ydamping, rider_zdamping;
    float rider_mass_distribution;
};

// What the bike reads of and hands to the layers above it, set at start-up: the race's current
// and gate-drop ticks (null reads as 0), the particles the wheels throw, and the scene's
// callouts (null: none made; no callout counts as far away), and the realign's timing gate and
// look-ahead point (null: no realign).
struct bike_hook_table {
    int (*current_tick)();
    int (*gate_drop_tick)();
    int (*particle_spawn)(const float position[3], const float velocity[3], const roost_type *type);
    float (*callout_distance)(float x, float y, float z);
    void (*add_callout)(float x, float y, float z, const char *text);
    int (*realign_allowed)(rider_slot *s);
    int (*align_target)(rider_slot *s, int depth, float out[3]);
};
extern bike_hook_table bike_hooks;

extern rider_slot rider_table[RIDER_SLOTS];

// ---- The table and the slot's life ----------------------------------------------------------

// Frees every slot that holds a bike, then zeroes all 160.
void rider_table_init();
// The slot of the number, or null outside 0..159.
rider_slot *rider_slot_at(int slot);
// 1 while the slot holds a bike (its frame body exists); 0 for an empty slot or a bad number.
int rider_has_bike(int slot);
// Loads the model (or its fallback row) into the slot, freeing what it held: the slot, or null
// for a slot number outside 0..159. Texture names may be null.
rider_slot *bike_load(const char *model, int slot, int no_wheel_contacts, const char *number,
                      const char *body_texture, const char *head_texture,
                      const char *bike_texture, const char *wheels_texture);
// Releases what bike_load made and nulls every handle; a second call does nothing.
void bike_free(int slot);
const bike_info *bike_row_of(const rider_slot *s);

// ---- Loading helpers --------------------------------------------------------------------------

model_mesh *bike_part_model_load(const char *file, const char *texture, int warn);
// The custom-skin variant of the name: a new text (mem_free) or null.
char *bike_part_path(const char *name, const char *texture, const char *extension);
void bike_find_texture_maps(uint32_t *normal, uint32_t *specular, const char *texture,
                            const char *default_texture);
// values: ring radius, section radius, tyre mass, hub radius, hub mass.
void bike_wheel_mass(dBodyID body, const float values[5]);
void bike_default_setup(rider_slot *s);
// text with its trailing suffix replaced (mem_alloc_or_die), or null when it does not end so.
char *replace_suffix(const char *text, const char *suffix, const char *new_suffix);
// Puts the rider at its seat (keeping its pose) and attaches the rider joint there.
void bike_reseat_rider(rider_slot *s);
// Puts body number `body` (bike body order) at its rest position from the row, unrotated and at
// rest, with no force or torque.
void bike_body_to_rest(dBodyID b, const bike_info *row, int body);
// Byte 36 of a packed record applied to the slot: respawning (rider joint detached, the
// counter) or riding (rider re-seated when it was respawning, gear and throttle).
void bike_apply_gear_flags(rider_slot *s, unsigned char g);

// ---- Accessors (null, 0 or "" on an empty slot) ----------------------------------------------

dBodyID bike_frame_body(const rider_slot *s);
dBodyID bike_rider_body(const rider_slot *s);
dBodyID bike_body_of(const rider_slot *s, int body);
dJointID bike_joint_of(const rider_slot *s, int joint);
int rider_get_gear(const rider_slot *s);
float rider_get_throttle(const rider_slot *s);
float rider_get_clutch(const rider_slot *s);
const char *bike_model_name(const rider_slot *s);
const char *bike_engine_class(const rider_slot *s);
const char *rider_number_text(const rider_slot *s);
int rider_is_down(const rider_slot *s);
int bike_arcade_enabled(const rider_slot *s);
int bike_air_steering(const rider_slot *s);
int bike_stop_wheelies(const rider_slot *s);
int bike_front_antilock(const rider_slot *s);
int bike_rear_antilock(const rider_slot *s);
int bike_auto_shift(const rider_slot *s);
int bike_auto_dab(const rider_slot *s);
float bike_get_direct_steering(const rider_slot *s);
float bike_get_slow_damping_speed(const rider_slot *s);
float bike_get_slow_damping_factor(const rider_slot *s);
float bike_get_leveling(const rider_slot *s);
float bike_get_max_steering_force(const rider_slot *s);
float bike_get_roll_damping(const rider_slot *s);
float bike_get_roll_limit_angle(const rider_slot *s);
float bike_get_roll_limit_factor(const rider_slot *s);
float bike_get_steering_damping(const rider_slot *s);
float bike_get_steering_strength(const rider_slot *s);
const char *bike_texture_name(const rider_slot *s);
const char *wheels_texture_name(const rider_slot *s);
const char *rider_head_texture_name(const rider_slot *s);
const char *rider_body_texture_name(const rider_slot *s);
float bike_forward_speed_mph(const rider_slot *s);
float bike_info_top_rpm(const rider_slot *s);

// ---- Calls by slot number (start-up, the race, the frame loop, the setup) ---------------------

// The frame body's speed in ft/s, or -1 when the slot holds no bike.
float bike_frame_speed(int slot);
// Hands the setup values to the slot's bike through its setters, in the order of the record.
void bike_apply_setup_values(int slot, const bike_setup_values &values);
// Moves all seven bodies by the offset (nothing for a non-finite offset).
void bike_translate(int slot, float dx, float dy, float dz);
// bike_ground_contacts of the slot's bike; 0 for an empty slot.
int bike_ground_contacts_at(int slot);

// ---- Controls and setup setters (clamped; NaN taken as 0) ------------------------------------

void rider_set_throttle(rider_slot *s, float v);
void rider_set_clutch(rider_slot *s, float v);
void rider_set_front_brake(rider_slot *s, float v);
void rider_set_rear_brake(rider_slot *s, float v);
void rider_set_steer(rider_slot *s, float v);
void rider_set_sit_dab(rider_slot *s, float v);
void rider_set_back_up(rider_slot *s, float v);
void rider_set_lean(rider_slot *s, float v);
void rider_shift(rider_slot *s, int d);
void bike_select_gear(rider_slot *s, int g);
void bike_set_air_steering(rider_slot *s, int v);
void bike_set_stop_wheelies(rider_slot *s, int v);
void bike_set_front_brake_mode(rider_slot *s, int v);
void bike_set_rear_brake_mode(rider_slot *s, int v);
void bike_set_auto_shift(rider_slot *s, int v);
void bike_set_auto_dab(rider_slot *s, int v);
void bike_set_auto_align(rider_slot *s, int v);
void bike_set_arcade(rider_slot *s, int v);
void bike_set_leveling(rider_slot *s, float v);
void bike_set_roll_damping(rider_slot *s, float v);
void bike_set_roll_limit_angle(rider_slot *s, float v);
void bike_set_roll_limit_factor(rider_slot *s, float v);
void bike_set_steering_damping(rider_slot *s, float v);
void bike_set_steering_strength(rider_slot *s, float v);
void bike_set_max_steering_force(rider_slot *s, float v);
void bike_set_direct_steering(rider_slot *s, float v);
void bike_set_slow_damping_speed(rider_slot *s, float v);
void bike_set_slow_damping_factor(rider_slot *s, float v);
void bike_set_land_damping_falloff(rider_slot *s, float v);
void bike_set_land_damping_factor(rider_slot *s, float v);
void bike_set_full_lock_speed(rider_slot *s, float v);
void bike_set_restricted_lock_speed(rider_slot *s, float v);
void bike_set_restricted_lock(rider_slot *s, float v);
void bike_set_auto_clutch_rpms(rider_slot *s, float v);
void bike_set_brake_torque(rider_slot *s, float v);
void bike_set_rear_brake_torque(rider_slot *s, float v);
void bike_set_max_dab_speed(rider_slot *s, float v);
void bike_set_sprockets(rider_slot *s, float front, float rear);
void bike_set_fork(rider_slot *s, float compression, float slow_compression, float rebound,
                   float slow_rebound, float spring_rate, float preload, float oil_level);
void bike_set_shock(rider_slot *s, float compression, float slow_compression, float rebound,
                    float slow_rebound, float spring_rate, float preload);
void bike_set_rider_springs(rider_slot *s, float vertical, float forward);
void bike_set_rider_damping(rider_slot *s, float vertical, float forward);
void bike_set_rider_mass_distribution(rider_slot *s, float d);

// ---- Placement, reset and presence ------------------------------------------------------------

void bike_reset(rider_slot *s);
void bike_set_orientation(rider_slot *s, float ax, float ay, float az, float angle);
void bike_hold_visible(rider_slot *s);
void bike_hold_hidden(rider_slot *s);
void bike_hold_ghost(rider_slot *s);
void bike_fade_out(rider_slot *s);
void rider_pose_points(rider_slot *s, vec3 *left, vec3 *right, float *left_weight,
                       float *right_weight);
float physics_ground_height_at(const terrain_field *terrain, float x, float z);
float bike_body_tilt(dBodyID body);
void bike_pull_horizontal(dBodyID body, float strength, vec3 target);

constexpr float RIDER_RPM_PER_RAD_S = 9.549296585513721f;
constexpr unsigned char SETUP_AIR_STEERING = 1;
constexpr int STOP_WHEELIES_NONE = 0;
constexpr int STOP_WHEELIES_FRONT_ONLY = 2;
constexpr int STOP_WHEELIES_FULL = 3;
constexpr float RIDER_PRESENCE_SOLID = 1.0f;
constexpr float RIDER_PRESENCE_GHOST = 0.25f;
