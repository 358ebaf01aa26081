// The rider's control setters, gear shifting and the setup setters, each with its clamp.
#include <cmath>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/util.h"

static void set_control(rider_slot *s, float *field, float v, float lo, float hi, int zero_while_down) {
    if (!s) return;
    *field = zero_while_down && s->respawn_counter > 0 ? 0.0f : util_clamp(v, lo, hi);
}

void rider_set_throttle(rider_slot *s, float v) {
    if (s) set_control(s, &s->controls.throttle, v, 0, 1, 1);
}
void rider_set_clutch(rider_slot *s, float v) {
    if (s) set_control(s, &s->controls.clutch, v, 0, 1, 0);
}
void rider_set_front_brake(rider_slot *s, float v) {
    if (s) set_control(s, &s->controls.front_brake, v, 0, 1, 0);
}
void rider_set_rear_brake(rider_slot *s, float v) {
    if (s) set_control(s, &s->controls.rear_brake, v, 0, 1, 0);
}
void rider_set_steer(rider_slot *s, float v) {
    if (s) set_control(s, &s->controls.steer, v, -1, 1, 0);
}
void rider_set_sit_dab(rider_slot *s, float v) {
    if (s) set_control(s, &s->controls.sit_dab, v, 0, 1, 1);
}
void rider_set_back_up(rider_slot *s, float v) {
    if (s) set_control(s, &s->controls.back_up, v, 0, 1, 1);
}
void rider_set_lean(rider_slot *s, float v) {
    if (s) set_control(s, &s->controls.lean, v, -1, 1, 1);
}

// g clamped to 0..5 and stepped down past gears without a ratio.
static int existing_gear(const rider_slot *s, int g) {
    g = g < 0 ? 0 : g > 5 ? 5 : g;
    const bike_info *row = bike_row_of(s);
    while (g > 0 && !(bike_v(row, BIKE_V_GEARS + g) > 0)) g--;
    return g;
}

void rider_shift(rider_slot *s, int d) {
    if (!s || s->respawn_counter > 0 || d == s->last_shift || d < -1 || d > 1) return;
    s->last_shift = d;
    s->gear = existing_gear(s, s->gear + d);
}

void bike_select_gear(rider_slot *s, int g) {
    if (s) s->gear = existing_gear(s, g);
}

static void set_bit(rider_slot *s, int bit, int v) {
    if (!s) return;
    s->setup_flags = (unsigned char)((s->setup_flags & ~(1u << bit)) | ((unsigned)(v & 1) << bit));
}

void bike_set_air_steering(rider_slot *s, int v) { set_bit(s, 0, v); }
void bike_set_front_brake_mode(rider_slot *s, int v) { set_bit(s, 3, v); }
void bike_set_rear_brake_mode(rider_slot *s, int v) { set_bit(s, 4, v); }
void bike_set_auto_shift(rider_slot *s, int v) { set_bit(s, 5, v); }
void bike_set_auto_dab(rider_slot *s, int v) { set_bit(s, 6, v); }
void bike_set_auto_align(rider_slot *s, int v) { set_bit(s, 7, v); }

void bike_set_stop_wheelies(rider_slot *s, int v) {
    if (s) s->setup_flags = (unsigned char)((s->setup_flags & ~6u) | ((unsigned)(v & 3) << 1));
}

void bike_set_arcade(rider_slot *s, int v) {
    if (s) s->arcade = v;
}

#define BIKE_CLAMPED_SETTER(name, field, lo, hi) \
    void name(rider_slot *s, float v) {          \
        if (s) s->field = util_clamp(v, lo, hi); \
    }
BIKE_CLAMPED_SETTER(bike_set_leveling, leveling, 0, 100)
BIKE_CLAMPED_SETTER(bike_set_roll_damping, roll_damping, 0, 100)
BIKE_CLAMPED_SETTER(bike_set_roll_limit_angle, roll_limit_angle, 0, 3.14159265f)
BIKE_CLAMPED_SETTER(bike_set_roll_limit_factor, roll_limit_factor, 0, 64)
BIKE_CLAMPED_SETTER(bike_set_steering_damping, steering_damping, 0, 100)
BIKE_CLAMPED_SETTER(bike_set_steering_strength, steering_strength, 0, 100)
BIKE_CLAMPED_SETTER(bike_set_max_steering_force, max_steering_force, 0, 1000)
BIKE_CLAMPED_SETTER(bike_set_direct_steering, direct_steering, 0, 1)
BIKE_CLAMPED_SETTER(bike_set_slow_damping_speed, slow_damping_speed, 0, 100)
BIKE_CLAMPED_SETTER(bike_set_slow_damping_factor, slow_damping_factor, 1, 10)
BIKE_CLAMPED_SETTER(bike_set_land_damping_falloff, land_damping_falloff, 0, 0.5f)
BIKE_CLAMPED_SETTER(bike_set_land_damping_factor, land_damping_factor, 1, 3)
BIKE_CLAMPED_SETTER(bike_set_full_lock_speed, full_lock_speed, 1, 100)
BIKE_CLAMPED_SETTER(bike_set_restricted_lock_speed, restricted_lock_speed, 1, 100)
BIKE_CLAMPED_SETTER(bike_set_restricted_lock, restricted_lock, 0, 0.78539816f)
BIKE_CLAMPED_SETTER(bike_set_auto_clutch_rpms, auto_clutch_rpms, 0, 5000)
BIKE_CLAMPED_SETTER(bike_set_brake_torque, brake_torque, 0, 500)
BIKE_CLAMPED_SETTER(bike_set_rear_brake_torque, rear_brake_torque, 0, 500)
BIKE_CLAMPED_SETTER(bike_set_max_dab_speed, max_dab_speed, 7, 100)
#undef BIKE_CLAMPED_SETTER

void bike_set_sprockets(rider_slot *s, float front, float rear) {
    if (!s) return;
    const bike_info *row = bike_row_of(s);
    float f = std::floor(bike_v(row, 66) + util_clamp(front, -2, 2));
    float r = std::floor(bike_v(row, 67) + util_clamp(rear, -2, 2));
    s->final_drive = (r > 3 ? r : 3) / (f > 3 ? f : 3);
}

void bike_set_fork(rider_slot *s, float compression, float slow_compression, float rebound,
                   float slow_rebound, float spring_rate, float preload, float oil_level) {
    if (!s) return;
    const bike_info *row = bike_row_of(s);
    auto V = [row](int n) { return bike_v(row, n); };
    s->fork_compression = util_clamp(compression, 0.25f, 4) * V(44);
    s->fork_slow_compression = util_clamp(slow_compression, -1, 1) * V(45);
    s->fork_rebound = util_clamp(rebound, 0.25f, 4) * V(46);
    s->fork_slow_rebound = util_clamp(slow_rebound, -1, 1) * V(47);
    s->fork_spring_rate = V(38) + util_clamp(spring_rate, 0, 1) * (V(39) - V(38));
    s->fork_preload = V(40) + util_clamp(preload, 0, 1) * (V(41) - V(40));
    s->fork_oil_level = V(42) + util_clamp(oil_level, 0, 1) * (V(43) - V(42));
}

void bike_set_shock(rider_slot *s, float compression, float slow_compression, float rebound,
                    float slow_rebound, float spring_rate, float preload) {
    if (!s) return;
    const bike_info *row = bike_row_of(s);
    auto V = [row](int n) { return bike_v(row, n); };
    s->shock_compression = util_clamp(compression, 0.25f, 4) * V(54);
    s->shock_slow_compression = util_clamp(slow_compression, -1, 1) * V(55);
    s->shock_rebound = util_clamp(rebound, 0.25f, 4) * V(56);
    s->shock_slow_rebound = util_clamp(slow_rebound, -1, 1) * V(57);
    s->shock_spring_rate = V(50) + util_clamp(spring_rate, 0, 1) * (V(51) - V(50));
    s->shock_preload = V(52) + util_clamp(preload, 0, 1) * (V(53) - V(52));
}

void bike_set_rider_springs(rider_slot *s, float vertical, float forward) {
    if (!s) return;
    s->rider_yspring = util_clamp(vertical, 0, 1);
    s->rider_zspring = util_clamp(forward, 0, 1);
}

void bike_set_rider_damping(rider_slot *s, float vertical, float forward) {
    if (!s) return;
    s->rider_ydamping = util_clamp(vertical, 0, 1);
    s->rider_zdamping = util_clamp(forward, 0, 1);
}

void bike_set_rider_mass_distribution(rider_slot *s, float d) {
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    if (!frame || !rider) return;
    d = util_clamp(d, 0.33f, 0.5f);
    const bike_info *row = bike_row_of(s);
    auto V = [row](int n) { return (dReal)bike_v(row, n); };
    dMass m;
    dMassSetBoxTotal(&m, V(19) + (1 - (dReal)d) * V(188), V(20), V(21), V(22));
    physics_set_mass(frame, &m);
    dMassSetSphereTotal(&m, (dReal)d * V(188), 1.0);
    physics_set_mass(rider, &m);
}
