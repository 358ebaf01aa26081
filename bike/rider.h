// The rider table: which of the 160 slots hold a bike, and the operations on a slot's bike that
// start-up, the race and the frame loop call.
#pragma once

constexpr int RIDER_SLOTS = 160;

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
constexpr int RIDER_NO_SLOT = 160;

// 1 while the slot holds a loaded bike.
extern int rider_present[RIDER_SLOTS];

// The speed of the slot's frame body in feet per second, or a negative value when the slot
// holds no bike.
float bike_frame_speed(int slot);
// Hands the setup values to the slot's bike through its setters, in the order of the record.
void bike_apply_setup_values(int slot, const bike_setup_values &values);
// Empties every slot.
void rider_table_init();
// Frees what the slot's bike holds and empties the slot.
void bike_free(int slot);
// Moves all of the bike's bodies by the offset.
void bike_translate(int slot, float dx, float dy, float dz);
// Non-zero when the bike touches the ground (its contacts join the contact group).
int bike_ground_contacts(int slot);
