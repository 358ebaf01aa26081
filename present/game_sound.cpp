// The game's sounds each frame: every rider's engine synthesised and placed for the listener,
// then the track script's sounds.
#include "present/game_sound.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "bike/drivetrain.h"
#include "bike/rider.h"
#include "core/settings.h"
#include "present/engine_sound.h"
#include "present/scene.h"
#include "race/race.h"

float sound_doppler(const float listener[3], const float listener_velocity[3],
                    const float source[3], const float source_velocity[3]) {
    float d[3] = {listener[0] - source[0], listener[1] - source[1], listener[2] - source[2]};
    float d2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (!(d2 >= 1.0f / 1024.0f)) return 1.0f;  // also for a distance that is not finite
    float len = std::sqrt(d2);
    float u[3] = {d[0] / len, d[1] / len, d[2] / len};
    float a = 1 - (listener_velocity[0] * u[0] + listener_velocity[1] * u[1] +
                   listener_velocity[2] * u[2]) / SPEED_OF_SOUND;
    float b = 1 - (source_velocity[0] * u[0] + source_velocity[1] * u[1] +
                   source_velocity[2] * u[2]) / SPEED_OF_SOUND;
    if (!std::isfinite(a) || !std::isfinite(b)) return 1.0f;
    // A source nearing the speed of sound toward the listener is capped, never flipped.
    if (8 * b < a) return 8.0f;
    float r = a / b;
    return r < 0.125f ? 0.125f : r;
}

float sound_distance_factor(const float eye[3], const float source[3]) {
    float d[3] = {eye[0] - source[0], eye[1] - source[1], eye[2] - source[2]};
    float dist = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    float D = 1 + (dist - 1) / 48;
    return D >= 1 ? D : 1;  // NaN too
}

int sound_pan(const sound_listener *l, const float source[3]) {
    float d[3] = {l->eye[0] - source[0], l->eye[1] - source[1], l->eye[2] - source[2]};
    float d2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (!(d2 >= 1.0f / 1024.0f) || !std::isfinite(d2)) return 0;
    float len = std::sqrt(d2);
    float pan = -(d[0] * l->rotation[0] + d[1] * l->rotation[3] + d[2] * l->rotation[6]) / len;
    if (!(pan >= -1)) pan = pan > 0 ? 1 : -1;
    if (pan > 1) pan = 1;
    return (int)(pan * 32767);
}

static int clamp_int(double v, double lo, double hi) {
    if (!(v >= lo)) return (int)lo;
    if (v > hi) return (int)hi;
    return (int)v;
}

sound_levels sound_engine_levels(const sound_listener *l, const float position[3],
                                 const float velocity[3], float v) {
    float R = sound_doppler(l->eye, l->velocity, position, velocity);
    float D = sound_distance_factor(l->eye, position);
    return {clamp_int((double)v * 32767.0 / D, 0, 32767), clamp_int((double)R * 44100.0, 100, 1000000),
            sound_pan(l, position)};
}

sound_levels sound_script_levels(const sound_listener *l, const script_sound *row, float master,
                                 float competitor) {
    float R = sound_doppler(l->eye, l->velocity, row->position, row->velocity);
    float D = sound_distance_factor(l->eye, row->position);
    float level = row->volume / D;
    level = level >= 0 ? (level > 1 ? 1 : level) : 0;
    return {clamp_int((double)level * master * competitor * 32767.0, 0, 32767),
            clamp_int((double)R * row->frequency, 100, 1000000), sound_pan(l, row->position)};
}

// ---- Riders --------------------------------------------------------------------------------

static void update_rider(const sound_listener *l, int slot, float master) {
    engine_sound &e = engine_sounds[slot];
    const rider_slot *s = rider_slot_at(slot);
    float v = race_rider_is_ghost(slot)  ? 0.0f
              : slot == viewed_slot      ? master
                                         : master * (float)settings.comp_volume.value * 0.1f;
    static unsigned char bytes[ENGINE_RING];
    int n = engine_sound_synthesize(&e, bike_engine_rpm(s), bike_engine_torque(s),
                                    plyx_sound_get_position(e.sound), bytes);
    if (n > 0) plyx_sound_write_stream(e.sound, n, bytes, (e.write_pos - n) & (ENGINE_RING - 1));
    float position[3] = {0, 0, 0}, velocity[3] = {0, 0, 0};
    dBodyID frame = bike_frame_body(s);
    if (frame) {
        const dReal *p = dBodyGetPosition(frame);
        const dReal *w = dBodyGetLinearVel(frame);
        for (int i = 0; i < 3; i++) {
            position[i] = (float)p[i];
            velocity[i] = (float)w[i];
        }
    }
    sound_levels k = sound_engine_levels(l, position, velocity, v * e.audible);
    plyx_sound_set_frequency(e.sound, k.frequency);
    plyx_sound_set_volume(e.sound, k.volume);
    plyx_sound_set_pan(e.sound, k.pan);
}

void sound_update_riders_from(const sound_listener *l, float loudness) {
    float master = (float)settings.volume.value * loudness * 0.1f;
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        if (rider_has_bike(slot) && engine_sounds[slot].sound) update_rider(l, slot, master);
    float comp = (float)settings.comp_volume.value * 0.1f;
    for (int i = 0; i < script_sound_count; i++) {
        script_sound &r = script_sound_rows[i];
        sound_levels k = sound_script_levels(l, &r, master, comp);
        plyx_sound_set_frequency(r.sound, k.frequency);
        plyx_sound_set_volume(r.sound, k.volume);
        plyx_sound_set_pan(r.sound, k.pan);
    }
}

void sound_update_riders(float loudness) {
    sound_listener l;
    memcpy(l.eye, scene_viewer.eye, sizeof l.eye);
    memcpy(l.rotation, scene_viewer.rotation, sizeof l.rotation);
    memcpy(l.velocity, scene_viewer.velocity, sizeof l.velocity);
    sound_update_riders_from(&l, loudness);
}

void engine_sound_free_all() {
    for (engine_sound &e : engine_sounds) engine_sound_free(&e);
    engine_sound_free_tables();
}
