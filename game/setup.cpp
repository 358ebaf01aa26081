// The bike setup: its keys, the stability preset, the hand-off to the player's bike and the
// report of changed setup values.
#include "game/setup.h"

#include <cmath>
#include <cstring>

#include "bike/bike_models.h"
#include "core/console.h"
#include "core/globals.h"
#include "core/settings.h"
#include "game/config.h"
#include "game/settings_table.h"
#include "net/client.h"

static setting_records &S = settings;

setup_report_state setup_report = {
    {
        {0, 0, 'l', &S.leveling},           {0, 0, 'd', &S.roll_damping},
        {0, 0, 'a', &S.roll_limit_angle},   {0, 0, 'x', &S.roll_limit_factor},
        {0, 0, 'd', &S.steering_damping},   {0, 0, 's', &S.steering_strength},
        {0, 0, 'm', &S.max_steering_force}, {0, 0, 'd', &S.direct_steering},
        {0, 0, 's', &S.slow_damping_speed}, {0, 0, 'x', &S.slow_damping_factor},
        {0, 0, 'l', &S.land_damping_falloff}, {0, 0, 'x', &S.land_damping_factor},
        {0, 0, 'l', &S.full_lock_speed},    {0, 0, 's', &S.restricted_lock_speed},
        {0, 0, 'a', &S.restricted_lock},    {0, 0, 'c', &S.auto_clutch_rpms},
        {0, 0, 'f', &S.brake_torque},       {0, 0, 'r', &S.rear_brake_torque},
        {0, 0, 'd', &S.max_dab_speed},      {0, 0, 'g', &S.front_sprocket},
        {0, 0, 'g', &S.rear_sprocket},      {0, 0, 'C', &S.fork_compression},
        {0, 0, 'c', &S.fork_slow_compression}, {0, 0, 'R', &S.fork_rebound},
        {0, 0, 'r', &S.fork_slow_rebound},  {0, 0, 's', &S.fork_spring_rate},
        {0, 0, 'p', &S.fork_preload},       {0, 0, 'l', &S.fork_oil_level},
        {0, 0, 'C', &S.shock_compression},  {0, 0, 'c', &S.shock_slow_compression},
        {0, 0, 'R', &S.shock_rebound},      {0, 0, 'r', &S.shock_slow_rebound},
        {0, 0, 's', &S.shock_spring_rate},  {0, 0, 'p', &S.shock_preload},
        {0, 0, 'y', &S.rider_yspring},      {0, 0, 'z', &S.rider_zspring},
        {0, 0, 'Y', &S.rider_ydamping},     {0, 0, 'Z', &S.rider_zdamping},
        {0, 0, 'm', &S.rider_mass_distribution},
    },
    -20.0,
    0.0,
};

setup_bike_calls setup_bike = {bike_frame_speed, bike_apply_setup_values};

// The stability preset: one row per setting, column k for Stability 20k.
struct stability_row {
    slider_widget *setting;
    double columns[6];
};

static const stability_row STABILITY_PRESET[SETUP_PRESET_ROWS] = {
    {&S.leveling, {20, 20, 20, 20, 20, 20}},
    {&S.roll_damping, {40, 50, 60, 70, 75, 80}},
    {&S.roll_limit_angle, {90, 45, 45, 45, 45, 45}},
    {&S.roll_limit_factor, {0, 5, 10, 32, 32, 32}},
    {&S.steering_damping, {45, 45, 45, 45, 50, 60}},
    {&S.steering_strength, {75, 75, 75, 75, 75, 75}},
    {&S.direct_steering, {1, 1, 1, 1, 1, 0.125}},
    {&S.max_steering_force, {400, 400, 400, 400, 400, 400}},
    {&S.slow_damping_speed, {40, 40, 40, 40, 40, 40}},
    {&S.slow_damping_factor, {1, 1, 1.5, 2, 2, 2}},
    {&S.land_damping_falloff, {0, 0.125, 0.25, 0.25, 0.25, 0.25}},
    {&S.land_damping_factor, {1, 1.5, 2, 2, 2, 2}},
    {&S.full_lock_speed, {10, 10, 10, 10, 10, 10}},
    {&S.restricted_lock_speed, {50, 50, 50, 50, 50, 50}},
    {&S.restricted_lock, {45, 15, 10, 5, 2.5, 1}},
};

int setup_parse_key(const char *key, const char *value) {
    const setting_key *k = settings_find(key);
    if (!k || !(k->flags & SETTING_SETUP)) return 0;
    // Old setup files name four bikes without their year.
    if (strcmp(key, "bike") == 0) value = bike_model_alias(value);
    // The stability keys that follow in the file override the preset.
    if (config_apply_value(*k, value) && strcmp(key, "stability") == 0)
        setup_apply_stability_preset((int)S.stability.value);
    return 1;
}

int setup_write(file_stream *s) {
    setting_table t = settings_table();
    int good = 1;
    for (int i = 0; i < t.count; i++)
        if ((t.keys[i].flags & SETTING_SETUP) && !config_write_value(s, t.keys[i])) good = 0;
    return good;
}

void setup_select_bike(const char *model) {
    choice_select_text(&S.bike, model);
}

int setup_apply_stability_preset(int stability) {
    float x = (float)(stability * 5 * 0.01);
    x = x < 0.0f ? 0.0f : x > 5.0f ? 5.0f : x;
    int k = (int)std::floor(x);
    k = k < 0 ? 0 : k > 4 ? 4 : k;
    double t = (double)x - k;
    for (const stability_row &row : STABILITY_PRESET)
        row.setting->value = row.columns[k] + t * (row.columns[k + 1] - row.columns[k]);
    return k;
}

static float degrees_to_radians(double degrees) {
    return (float)(degrees * M_PI / 180.0);
}

// 2^(v x 0.04 - 2): a high-speed damping click from 0..100 to 0.25..4.
static float high_speed_damping(double v) {
    return (float)std::pow(2.0, v * 0.04 - 2.0);
}

// v x 0.02 - 1: a low-speed damping click from 0..100 to -1..1.
static float low_speed_damping(double v) {
    return (float)(v * 0.02 - 1.0);
}

static float percent(double v) {
    return (float)(v * 0.01);
}

// A damper's first six values from its sliders: high and low speed compression, high and low
// speed rebound, spring rate, preload.
static void damper_values(const slider_widget *const sliders[6], float out[6]) {
    out[0] = high_speed_damping(sliders[0]->value);
    out[1] = low_speed_damping(sliders[1]->value);
    out[2] = high_speed_damping(sliders[2]->value);
    out[3] = low_speed_damping(sliders[3]->value);
    out[4] = percent(sliders[4]->value);
    out[5] = percent(sliders[5]->value);
}

bike_setup_values setup_collect_values() {
    static const int STOP_WHEELIE_MODES[] = {0, 3, 2};   // No, Yes, Front Only
    bike_setup_values v = {};
    v.leveling = (float)S.leveling.value;
    v.roll_damping = (float)S.roll_damping.value;
    v.roll_limit_angle = degrees_to_radians(S.roll_limit_angle.value);
    v.roll_limit_factor = (float)S.roll_limit_factor.value;
    v.steering_damping = (float)S.steering_damping.value;
    v.steering_strength = (float)S.steering_strength.value;
    v.max_steering_force = (float)S.max_steering_force.value;
    v.arcade = net_client.arcade_forbidden ? 0 : S.arcade.current;
    v.front_brake_mode = S.front_brake.current;
    v.rear_brake_mode = S.rear_brake.current;
    int stop = S.stop_wheelies.current;
    v.stop_wheelies = stop >= 0 && stop < 3 ? STOP_WHEELIE_MODES[stop] : 0;
    v.auto_shift = S.auto_shift.current;
    v.auto_dab = S.auto_dab.current;
    v.auto_align = S.auto_align.current;
    v.direct_steering = (float)S.direct_steering.value;
    v.slow_damping_speed = (float)S.slow_damping_speed.value;
    v.slow_damping_factor = (float)S.slow_damping_factor.value;
    v.land_damping_falloff = (float)S.land_damping_falloff.value;
    v.land_damping_factor = (float)S.land_damping_factor.value;
    v.full_lock_speed = (float)S.full_lock_speed.value;
    v.restricted_lock_speed = (float)S.restricted_lock_speed.value;
    v.restricted_lock_angle = degrees_to_radians(S.restricted_lock.value);
    v.auto_clutch_rpms = (float)S.auto_clutch_rpms.value;
    v.front_brake_torque = (float)S.brake_torque.value;
    v.rear_brake_torque = (float)S.rear_brake_torque.value;
    v.max_dab_speed = (float)(S.max_dab_speed.value * 1.4666666666666666);   // mph to ft/s
    v.front_sprocket = (float)S.front_sprocket.value;
    v.rear_sprocket = (float)S.rear_sprocket.value;
    const slider_widget *fork[6] = {&S.fork_compression, &S.fork_slow_compression,
                                    &S.fork_rebound,     &S.fork_slow_rebound,
                                    &S.fork_spring_rate, &S.fork_preload};
    const slider_widget *shock[6] = {&S.shock_compression, &S.shock_slow_compression,
                                     &S.shock_rebound,     &S.shock_slow_rebound,
                                     &S.shock_spring_rate, &S.shock_preload};
    damper_values(fork, v.fork);
    damper_values(shock, v.shock);
    v.fork[6] = percent(S.fork_oil_level.value);
    v.rider_yspring = percent(S.rider_yspring.value);
    v.rider_zspring = percent(S.rider_zspring.value);
    v.rider_ydamping = percent(S.rider_ydamping.value);
    v.rider_zdamping = percent(S.rider_zdamping.value);
    v.rider_mass_distribution = (float)S.rider_mass_distribution.value;
    return v;
}

void setup_apply_to_bike(int slot) {
    float speed = setup_bike.frame_speed(slot);
    if (speed < 0.0f) return;   // no bike in the slot
    // A mechanic cannot work on a moving bike.
    if (speed > SETUP_STILL_SPEED) {
        if (frame_clock - SETUP_REFUSAL_REPEAT < setup_report.last_refusal)
            console_print("Settings not applied.  Mechanic can't keep up error.");
        setup_report.last_refusal = frame_clock;
        return;
    }
    setup_bike.apply(slot, setup_collect_values());
    for (setup_change_row &r : setup_report.rows)
        if (r.setting->value != r.reported) r.changed = 1;
}

void setup_mark_reported() {
    for (setup_change_row &r : setup_report.rows) {
        r.reported = r.setting->value;
        r.changed = 0;
    }
}

void setup_change_report() {
    if (frame_clock < setup_report.next_report) return;
    setup_report.next_report = frame_clock + SETUP_REPORT_INTERVAL;
    static const char HEAD[] = "[SPAM] Setup change ";
    char text[sizeof HEAD + SETUP_CHANGE_ROWS + 1];
    memcpy(text, HEAD, sizeof HEAD - 1);
    int n = (int)sizeof HEAD - 1, any = 0;
    for (const setup_change_row &r : setup_report.rows) {
        text[n++] = r.changed ? r.letter : '-';
        any |= r.changed;
    }
    if (!any) return;
    text[n++] = '\n';
    text[n] = 0;
    if (net_connected()) {
        // A server not taking messages refuses the report (null): it is dropped.
        net_packet *p = net_new_reliable_packet();
        int payload = n < NET_RELIABLE_PAYLOAD_MAX ? n : NET_RELIABLE_PAYLOAD_MAX;
        if (p) {
            p->data[p->length++] = NET_MSG_TEXT;
            memcpy(p->data + p->length, text, (size_t)payload);
            p->length += payload;
        }
    } else {
        console_print(text);
    }
    setup_mark_reported();
}
