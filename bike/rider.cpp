// The rider table: the slots, presence, the accessors and the calls that take a slot number.
#include "bike/rider.h"

#include <cmath>
#include <cstring>

#include "gfx/texture.h"

rider_slot rider_table[RIDER_SLOTS];
bike_hook_table bike_hooks = {};

void rider_table_init() {
    for (int i = 0; i < RIDER_SLOTS; i++) bike_free(i);
    memset(rider_table, 0, sizeof rider_table);
}

rider_slot *rider_slot_at(int slot) {
    if (slot < 0 || slot >= RIDER_SLOTS) return nullptr;
    return &rider_table[slot];
}

int rider_has_bike(int slot) {
    rider_slot *s = rider_slot_at(slot);
    return s && s->parts[BIKE_BODY_FRAME] ? 1 : 0;
}

const bike_info *bike_row_of(const rider_slot *s) {
    if (!s || s->bike_row < 0 || s->bike_row >= BIKE_INFO_ROWS) return &bike_info_table[0];
    return &bike_info_table[s->bike_row];
}

dBodyID bike_body_of(const rider_slot *s, int body) {
    if (!s || body < 0 || body >= BIKE_BODIES) return nullptr;
    return (dBodyID)s->parts[body];
}

dJointID bike_joint_of(const rider_slot *s, int joint) {
    if (!s || joint < BIKE_JOINT_FRONT_AXLE || joint >= BIKE_PARTS) return nullptr;
    return (dJointID)s->parts[joint];
}

dBodyID bike_frame_body(const rider_slot *s) {
    return bike_body_of(s, BIKE_BODY_FRAME);
}

dBodyID bike_rider_body(const rider_slot *s) {
    return bike_body_of(s, BIKE_BODY_RIDER);
}

int rider_get_gear(const rider_slot *s) {
    return s ? s->gear : 0;
}

float rider_get_throttle(const rider_slot *s) {
    return s ? s->controls.throttle : 0.0f;
}

float rider_get_clutch(const rider_slot *s) {
    return s ? s->controls.clutch : 0.0f;
}

const char *bike_model_name(const rider_slot *s) {
    return s && s->parts[BIKE_BODY_FRAME] ? bike_row_of(s)->name : nullptr;
}

const char *bike_engine_class(const rider_slot *s) {
    return s && s->parts[BIKE_BODY_FRAME] ? bike_row_of(s)->engine_class : nullptr;
}

const char *rider_number_text(const rider_slot *s) {
    return s ? s->rider_number : nullptr;
}

int rider_is_down(const rider_slot *s) {
    return s && s->down_flag && !s->finished ? 1 : 0;
}

int bike_arcade_enabled(const rider_slot *s) {
    return s ? s->arcade : 0;
}

static int flag_bit(const rider_slot *s, int bit) {
    return s ? (s->setup_flags >> bit) & 1 : 0;
}

int bike_air_steering(const rider_slot *s) {
    return flag_bit(s, 0);
}

int bike_stop_wheelies(const rider_slot *s) {
    return s ? (s->setup_flags >> 1) & 3 : 0;
}

int bike_front_antilock(const rider_slot *s) {
    return flag_bit(s, 3);
}

int bike_rear_antilock(const rider_slot *s) {
    return flag_bit(s, 4);
}

int bike_auto_shift(const rider_slot *s) {
    return flag_bit(s, 5);
}

int bike_auto_dab(const rider_slot *s) {
    return flag_bit(s, 6);
}

#define RIDER_FLOAT_GETTER(name, field) \
    float name(const rider_slot *s) { return s ? s->field : 0.0f; }
RIDER_FLOAT_GETTER(bike_get_direct_steering, direct_steering)
RIDER_FLOAT_GETTER(bike_get_slow_damping_speed, slow_damping_speed)
RIDER_FLOAT_GETTER(bike_get_slow_damping_factor, slow_damping_factor)
RIDER_FLOAT_GETTER(bike_get_leveling, leveling)
RIDER_FLOAT_GETTER(bike_get_max_steering_force, max_steering_force)
RIDER_FLOAT_GETTER(bike_get_roll_damping, roll_damping)
RIDER_FLOAT_GETTER(bike_get_roll_limit_angle, roll_limit_angle)
RIDER_FLOAT_GETTER(bike_get_roll_limit_factor, roll_limit_factor)
RIDER_FLOAT_GETTER(bike_get_steering_damping, steering_damping)
RIDER_FLOAT_GETTER(bike_get_steering_strength, steering_strength)
#undef RIDER_FLOAT_GETTER

static const char *texture_name_or_null(uint32_t t) {
    return t ? tex_name(t) : nullptr;
}

const char *bike_texture_name(const rider_slot *s) {
    return s ? texture_name_or_null(s->bike_texture) : nullptr;
}

const char *wheels_texture_name(const rider_slot *s) {
    return s ? texture_name_or_null(s->wheels_texture) : nullptr;
}

const char *rider_head_texture_name(const rider_slot *s) {
    return s ? texture_name_or_null(s->head_texture) : nullptr;
}

const char *rider_body_texture_name(const rider_slot *s) {
    return s ? texture_name_or_null(s->body_texture) : nullptr;
}

float bike_forward_speed_mph(const rider_slot *s) {
    dBodyID f = bike_frame_body(s);
    if (!f) return 0.0f;
    const dReal *R = dBodyGetRotation(f);
    const dReal *v = dBodyGetLinearVel(f);
    double along = -(v[0] * R[2] + v[1] * R[6] + v[2] * R[10]);
    return (float)(along * 0.6818181818181819);
}

float bike_info_top_rpm(const rider_slot *s) {
    return s && s->parts[BIKE_BODY_FRAME] ? bike_v(bike_row_of(s), 179) : 0.0f;
}

float bike_frame_speed(int slot) {
    if (!rider_has_bike(slot)) return -1.0f;
    const dReal *v = dBodyGetLinearVel((dBodyID)rider_table[slot].parts[BIKE_BODY_FRAME]);
    return (float)std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

void bike_apply_setup_values(int slot, const bike_setup_values &v) {
    if (!rider_has_bike(slot)) return;
    rider_slot *s = &rider_table[slot];
    bike_set_leveling(s, v.leveling);
    bike_set_roll_damping(s, v.roll_damping);
    bike_set_roll_limit_angle(s, v.roll_limit_angle);
    bike_set_roll_limit_factor(s, v.roll_limit_factor);
    bike_set_steering_damping(s, v.steering_damping);
    bike_set_steering_strength(s, v.steering_strength);
    bike_set_max_steering_force(s, v.max_steering_force);
    bike_set_arcade(s, v.arcade);
    bike_set_front_brake_mode(s, v.front_brake_mode);
    bike_set_rear_brake_mode(s, v.rear_brake_mode);
    bike_set_stop_wheelies(s, v.stop_wheelies);
    bike_set_auto_shift(s, v.auto_shift);
    bike_set_auto_dab(s, v.auto_dab);
    bike_set_auto_align(s, v.auto_align);
    bike_set_direct_steering(s, v.direct_steering);
    bike_set_slow_damping_speed(s, v.slow_damping_speed);
    bike_set_slow_damping_factor(s, v.slow_damping_factor);
    bike_set_land_damping_falloff(s, v.land_damping_falloff);
    bike_set_land_damping_factor(s, v.land_damping_factor);
    bike_set_full_lock_speed(s, v.full_lock_speed);
    bike_set_restricted_lock_speed(s, v.restricted_lock_speed);
    bike_set_restricted_lock(s, v.restricted_lock_angle);
    bike_set_auto_clutch_rpms(s, v.auto_clutch_rpms);
    bike_set_brake_torque(s, v.front_brake_torque);
    bike_set_rear_brake_torque(s, v.rear_brake_torque);
    bike_set_max_dab_speed(s, v.max_dab_speed);
    bike_set_sprockets(s, v.front_sprocket, v.rear_sprocket);
    bike_set_fork(s, v.fork[0], v.fork[1], v.fork[2], v.fork[3], v.fork[4], v.fork[5], v.fork[6]);
    bike_set_shock(s, v.shock[0], v.shock[1], v.shock[2], v.shock[3], v.shock[4], v.shock[5]);
    bike_set_rider_springs(s, v.rider_yspring, v.rider_zspring);
    bike_set_rider_damping(s, v.rider_ydamping, v.rider_zdamping);
    bike_set_rider_mass_distribution(s, v.rider_mass_distribution);
}

void bike_translate(int slot, float dx, float dy, float dz) {
    if (!rider_has_bike(slot)) return;
    if (!std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(dz)) return;
    rider_slot *s = &rider_table[slot];
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        const dReal *p = dBodyGetPosition(body);
        dBodySetPosition(body, p[0] + dx, p[1] + dy, p[2] + dz);
    }
}
