// The zr object's natives: what a track script reads of the race and changes of the scene. Every
// slot, index and number is checked; a bad one gives the table's safe result and changes nothing.
#include <ode/ode.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "bike/rider.h"
#include "bike/wheel_contacts.h"
#include "core/console.h"
#include "core/mem.h"
#include "gfx/texture.h"
#include "gfx/texture_anim.h"
#include "present/game_sound.h"
#include "present/scene.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/timing.h"
#include "race/track.h"
#include "script/script.h"
#include "terrain/terrain.h"

static const double SECONDS_PER_TIC = 1.0 / 128.0;
static const double COORDINATE_MAX = 1.0e6;

// The slot's rider, or null for a slot outside 0..159 or without a bike.
static rider_slot *slot_arg(duk_context *d, int index) {
    int slot = script_arg_int(d, index);
    if ((unsigned)slot >= (unsigned)RIDER_SLOTS || !rider_has_bike(slot)) return nullptr;
    return rider_slot_at(slot);
}

static bool finite_coordinate(double v) {
    return std::isfinite(v) && std::fabs(v) <= COORDINATE_MAX;
}

static statue *statue_arg(duk_context *d, int index, int *row_out) {
    long row = (long)track_first_file_statue + script_arg_int(d, index);
    if (row < 0 || row >= (long)track_statues.count || !track_statues.items) return nullptr;
    *row_out = (int)row;
    return (statue *)track_statues.items + row;
}

static billboard *billboard_arg(duk_context *d, int index) {
    int n = script_arg_int(d, index);
    long row = (long)track_first_file_billboard + n;
    if (n < 0 || row >= (long)track_billboards.count || !track_billboards.items) return nullptr;
    return (billboard *)track_billboards.items + row;
}

static double height_at(const terrain_field *f, int i, int j) {
    int n = f->n;
    i = i < 0 ? 0 : i > n - 1 ? n - 1 : i;
    j = j < 0 ? 0 : j > n - 1 ? n - 1 : j;
    return f->heights[i + (size_t)n * j];
}

// The height of the ground triangles at (x, z); off the grid, the edge heights.
double script_terrain_elevation(double x, double z) {
    const terrain_field *f = terrain_current;
    if (!f || !f->heights || f->n < 1 || !(f->spacing > 0)) return 0;
    if (!std::isfinite(x)) x = 0;
    if (!std::isfinite(z)) z = 0;
    double X = x / f->spacing, Z = z / f->spacing;
    X = X < -1 ? -1 : X > f->n ? f->n : X;
    Z = Z < -1 ? -1 : Z > f->n ? f->n : Z;
    int i = (int)std::floor(X), j = (int)std::floor(Z);
    double fx = X - i, fz = Z - j;
    if ((i ^ j) & 1) {
        if (fx + fz <= 1) {
            double h = height_at(f, i, j);
            return h + fx * (height_at(f, i + 1, j) - h) + fz * (height_at(f, i, j + 1) - h);
        }
        double h = height_at(f, i + 1, j + 1);
        return h + (1 - fx) * (height_at(f, i, j + 1) - h) + (1 - fz) * (height_at(f, i + 1, j) - h);
    }
    if (fz <= fx) {
        double h = height_at(f, i + 1, j);
        return h + (1 - fx) * (height_at(f, i, j) - h) + fz * (height_at(f, i + 1, j + 1) - h);
    }
    double h = height_at(f, i, j + 1);
    return h + fx * (height_at(f, i + 1, j + 1) - h) + (1 - fz) * (height_at(f, i, j) - h);
}

static int tile_number(double x, double z) {
    const terrain_field *f = terrain_current;
    if (!f || !f->tile_map || !(f->spacing > 0) || f->k < 0 || f->k > 16) return 0;
    int q = 1 << f->k;
    double scale = 1.0 / (2.0 * f->spacing);
    double c = std::isfinite(x) ? x * scale : 0, r = std::isfinite(z) ? z * scale : 0;
    c = c < 0 ? 0 : c > q - 1 ? q - 1 : c;
    r = r < 0 ? 0 : r > q - 1 ? q - 1 : r;
    return f->tile_map[(size_t)(int)r * q + (int)c];
}

// ---- The natives --------------------------------------------------------------------------------

static duk_ret_t n_message(duk_context *d) {
    char text[256];
    snprintf(text, sizeof text, "%s", duk_is_string(d, 0) ? duk_get_string(d, 0) : "");
    script_context *c = script_active;
    if (c) {
        int second = script_time() / 128;
        if (second != c->message_second) {
            if (c->message_dropped > 0)
                console_printf("Warning: %d script messages not shown", c->message_dropped);
            c->message_second = second;
            c->message_lines = 0;
            c->message_dropped = 0;
        }
        if (c->message_lines >= SCRIPT_MESSAGES_PER_SECOND) {
            c->message_dropped++;
            return 0;
        }
        c->message_lines++;
    }
    console_print(text);
    return 0;
}

// Only "@" names: the game data and the home folder, never a way out of them.
static bool data_name(duk_context *d, int index, char *out, size_t size) {
    if (!duk_is_string(d, index)) return false;
    duk_size_t n = 0;
    const char *s = duk_get_lstring(d, index, &n);
    if (!s || n < 2 || n >= size || s[0] != '@' || strlen(s) != n) return false;
    if (s[1] == '/' || strstr(s, "..") || strchr(s, '\\')) return false;
    memcpy(out, s, n + 1);
    return true;
}

static duk_ret_t n_read_texture(duk_context *d) {
    char name[512];
    duk_push_number(d, data_name(d, 0, name, sizeof name) ? (double)tex_load(name) : 0);
    return 1;
}

static uint32_t texture_arg(duk_context *d, int index) {
    int t = script_arg_int(d, index);
    return t > 0 ? (uint32_t)t : 0;
}

static duk_ret_t n_begin_custom_frame(duk_context *d) {
    uint32_t t = texture_arg(d, 0);
    duk_push_int(d, t ? tex_begin_custom_frame(t) : 0);
    return 1;
}

static duk_ret_t n_end_custom_frame(duk_context *d) {
    uint32_t t = texture_arg(d, 0);
    duk_push_int(d, t ? tex_end_custom_frame(t) : 0);
    return 1;
}

static duk_ret_t n_paste_custom_frame(duk_context *d) {
    uint32_t t = texture_arg(d, 0);
    int frame = script_arg_int(d, 1);
    float v[6];
    for (int i = 0; i < 6; i++) {
        double x = script_arg_double(d, 2 + i);
        if (!std::isfinite(x) || std::fabs(x) > 1e30) {
            duk_push_int(d, 0);
            return 1;
        }
        v[i] = (float)x;
    }
    duk_push_int(d, t ? tex_paste_custom_frame(t, frame, v[0], v[1], v[2], v[3], v[4], v[5]) : 0);
    return 1;
}

static duk_ret_t n_get_max_slots(duk_context *d) {
    duk_push_int(d, RIDER_SLOTS);
    return 1;
}

static duk_ret_t n_get_running_count(duk_context *d) {
    duk_push_int(d, race_state.running_count);
    return 1;
}

static const running_order_entry *order_arg(duk_context *d) {
    int i = script_arg_int(d, 0);
    if (i < 0 || i >= race_state.running_count || i >= RIDER_SLOTS) return nullptr;
    return &race_state.running_order[i];
}

static duk_ret_t n_get_running_order_slot(duk_context *d) {
    const running_order_entry *e = order_arg(d);
    duk_push_int(d, e ? e->slot : 0);
    return 1;
}

static duk_ret_t n_get_running_order_position(duk_context *d) {
    const running_order_entry *e = order_arg(d);
    duk_push_int(d, e ? e->points : 0);
    return 1;
}

static duk_ret_t n_get_running_order_time(duk_context *d) {
    const running_order_entry *e = order_arg(d);
    duk_push_int(d, e ? e->time : 0);
    return 1;
}

static duk_ret_t n_get_rider_down(duk_context *d) {
    rider_slot *s = slot_arg(d, 0);
    duk_push_int(d, s ? (rider_is_down(s) ? 1 : 0) : 0);
    return 1;
}

static duk_ret_t n_get_seconds_per_tic(duk_context *d) {
    duk_push_number(d, SECONDS_PER_TIC);
    return 1;
}

// From the track's timing gates, read with the track: the prelude runs before the reset copies
// them into the race state.
static duk_ret_t n_get_first_lap_length(duk_context *d) {
    duk_push_int(d, timing_gates.count > 0 ? timing_gates.first_lap_length : 0);
    return 1;
}

static duk_ret_t n_get_normal_lap_length(duk_context *d) {
    duk_push_int(d, timing_gates.count > 0 ? timing_gates.lap_length : 0);
    return 1;
}

static duk_ret_t n_get_timing_position(duk_context *d) {
    rider_slot *s = slot_arg(d, 0);
    duk_push_int(d, s ? rider_timing_count(script_arg_int(d, 0)) : -1);
    return 1;
}

static duk_ret_t n_get_timing(duk_context *d) {
    rider_slot *s = slot_arg(d, 0);
    if (!s) {
        duk_push_int(d, -1);
        return 1;
    }
    duk_push_number(d, rider_timing_tic(script_arg_int(d, 0), script_arg_int(d, 1)) * SECONDS_PER_TIC);
    return 1;
}

static duk_ret_t n_get_rider_number(duk_context *d) {
    rider_slot *s = slot_arg(d, 0);
    const char *t = s ? rider_number_text(s) : nullptr;
    duk_push_string(d, t ? t : "");
    return 1;
}

static duk_ret_t n_get_rider_name(duk_context *d) {
    rider_slot *s = slot_arg(d, 0);
    const char *t = s ? race_rider_names[script_arg_int(d, 0)] : nullptr;
    duk_push_string(d, t ? t : "");
    return 1;
}

static duk_ret_t n_get_bike_model(duk_context *d) {
    rider_slot *s = slot_arg(d, 0);
    const char *t = s ? bike_model_name(s) : nullptr;
    duk_push_string(d, t ? t : "");
    return 1;
}

static duk_ret_t n_get_elevation(duk_context *d) {
    duk_push_number(d, script_terrain_elevation(script_arg_double(d, 0), script_arg_double(d, 1)));
    return 1;
}

static duk_ret_t n_get_tile_number(duk_context *d) {
    duk_push_int(d, tile_number(script_arg_double(d, 0), script_arg_double(d, 1)));
    return 1;
}

static duk_ret_t body_vector(duk_context *d, bool velocity) {
    rider_slot *s = slot_arg(d, 0);
    double v[3] = {0, 0, 0};
    dBodyID b = s ? bike_frame_body(s) : nullptr;
    if (b) {
        const dReal *p = velocity ? dBodyGetLinearVel(b) : dBodyGetPosition(b);
        for (int i = 0; i < 3; i++) v[i] = std::isfinite(p[i]) ? p[i] : 0;
    }
    script_put_doubles(d, 1, v, 3);
    duk_push_int(d, b ? 1 : 0);
    return 1;
}

static duk_ret_t n_get_position_(duk_context *d) {
    return body_vector(d, false);
}

static duk_ret_t n_get_velocity_(duk_context *d) {
    return body_vector(d, true);
}

static duk_ret_t n_get_finish_laps(duk_context *d) {
    duk_push_int(d, race_state.laps);
    return 1;
}

static duk_ret_t n_get_finish_time(duk_context *d) {
    duk_push_number(d, race_state.race_time * SECONDS_PER_TIC);
    return 1;
}

static duk_ret_t n_get_gate_drop_time(duk_context *d) {
    bool dropped = race_state.current_tick >= race_state.gate_drop_tick;
    duk_push_number(d, dropped ? race_state.gate_drop_tick * SECONDS_PER_TIC : -1.0);
    return 1;
}

static duk_ret_t n_pose_statue(duk_context *d) {
    int row = 0;
    statue *st = statue_arg(d, 0, &row);
    int count = script_arg_int(d, 1);
    if (!st || count < 1 || count > 32 || (st->joint_count != 0 && st->joint_count != count)) {
        duk_push_int(d, 0);
        return 1;
    }
    float centres[96], translations[96], rotations[288];
    script_get_floats(d, 2, centres, 96);
    script_get_floats(d, 3, translations, 96);
    script_get_floats(d, 4, rotations, 288);
    // The reads may have run script getters: look the row up again.
    st = statue_arg(d, 0, &row);
    if (!st || (st->joint_count != 0 && st->joint_count != count)) {
        duk_push_int(d, 0);
        return 1;
    }
    if (st->joint_count == 0) {
        st->joint_centres = (float *)mem_alloc_or_die(sizeof(float) * 3 * count);
        st->joint_translations = (float *)mem_alloc_or_die(sizeof(float) * 3 * count);
        st->joint_rotations = (float *)mem_alloc_or_die(sizeof(float) * 9 * count);
        st->joint_count = count;
    }
    memcpy(st->joint_centres, centres, sizeof(float) * 3 * count);
    memcpy(st->joint_translations, translations, sizeof(float) * 3 * count);
    memcpy(st->joint_rotations, rotations, sizeof(float) * 9 * count);
    duk_push_int(d, 1);
    return 1;
}

static void mark_redraw() {
    if (terrain_current) terrain_current->modified_flags = 7;
}

static duk_ret_t n_move_statue(duk_context *d) {
    int row = 0;
    statue *st = statue_arg(d, 0, &row);
    double x = script_arg_double(d, 1), h = script_arg_double(d, 2), z = script_arg_double(d, 3);
    double yaw = script_arg_double(d, 4);
    if (!st || st->shape || !finite_coordinate(x) || !finite_coordinate(h) ||
        !finite_coordinate(z) || !finite_coordinate(yaw)) {
        duk_push_int(d, 0);
        return 1;
    }
    st->x = (float)x;
    st->z = (float)z;
    st->height_offset = (float)h;
    st->yaw = (float)yaw;
    track_place_statue(row);
    mark_redraw();
    duk_push_int(d, 1);
    return 1;
}

static duk_ret_t n_move_statue_absolute(duk_context *d) {
    int row = 0;
    statue *st = statue_arg(d, 0, &row);
    double x = script_arg_double(d, 1), y = script_arg_double(d, 2), z = script_arg_double(d, 3);
    if (!st || st->shape || !finite_coordinate(x) || !finite_coordinate(y) ||
        !finite_coordinate(z)) {
        duk_push_int(d, 0);
        return 1;
    }
    float e[9];
    script_get_floats(d, 4, e, 9);
    st = statue_arg(d, 0, &row);
    if (!st || st->shape) {
        duk_push_int(d, 0);
        return 1;
    }
    st->x = (float)x;
    st->y = (float)y;
    st->z = (float)z;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) st->orientation[3 * i + j] = e[3 * j + i];
    mark_redraw();
    duk_push_int(d, 1);
    return 1;
}

static duk_ret_t n_move_billboard(duk_context *d) {
    billboard *b = billboard_arg(d, 0);
    double x = script_arg_double(d, 1), h = script_arg_double(d, 2), z = script_arg_double(d, 3);
    if (!b || !finite_coordinate(x) || !finite_coordinate(h) || !finite_coordinate(z)) {
        duk_push_int(d, 0);
        return 1;
    }
    b->x = (float)x;
    b->z = (float)z;
    b->y = (float)(script_terrain_elevation(x, z) + h);
    duk_push_int(d, 1);
    return 1;
}

static duk_ret_t n_move_billboard_absolute(duk_context *d) {
    billboard *b = billboard_arg(d, 0);
    double x = script_arg_double(d, 1), y = script_arg_double(d, 2), z = script_arg_double(d, 3);
    if (!b || !finite_coordinate(x) || !finite_coordinate(y) || !finite_coordinate(z)) {
        duk_push_int(d, 0);
        return 1;
    }
    b->x = (float)x;
    b->y = (float)y;
    b->z = (float)z;
    duk_push_int(d, 1);
    return 1;
}

static duk_ret_t n_size_billboard(duk_context *d) {
    billboard *b = billboard_arg(d, 0);
    double size = script_arg_double(d, 1);
    if (!b || !finite_coordinate(size)) {
        duk_push_int(d, 0);
        return 1;
    }
    b->size = (float)size;
    duk_push_int(d, 1);
    return 1;
}

static uint8_t colour_byte(double v) {
    if (!(v > 0)) return 0;   // NaN too
    if (v > 1) v = 1;
    return (uint8_t)(v * 255 + 0.5);
}

static duk_ret_t n_color_billboard(duk_context *d) {
    billboard *b = billboard_arg(d, 0);
    if (!b) {
        duk_push_int(d, 0);
        return 1;
    }
    b->r = colour_byte(script_arg_double(d, 1));
    b->g = colour_byte(script_arg_double(d, 2));
    b->b = colour_byte(script_arg_double(d, 3));
    b->a = colour_byte(script_arg_double(d, 4));
    duk_push_int(d, 1);
    return 1;
}

static duk_ret_t n_add_sound(duk_context *d) {
    char name[512];
    duk_push_int(d, data_name(d, 0, name, sizeof name) ? sound_add(name) : -1);
    return 1;
}

static duk_ret_t n_start_sound(duk_context *d) {
    duk_push_int(d, sound_start(script_arg_int(d, 0)));
    return 1;
}

static duk_ret_t n_stop_sound(duk_context *d) {
    duk_push_int(d, sound_stop(script_arg_int(d, 0)));
    return 1;
}

static duk_ret_t n_set_sound_loop(duk_context *d) {
    duk_push_int(d, sound_set_loop(script_arg_int(d, 0), script_arg_int(d, 1)));
    return 1;
}

// A float argument: 0 (refused) when it is not finite or beyond a float.
static bool float_arg(duk_context *d, int index, float *out) {
    double v = script_arg_double(d, index);
    if (!std::isfinite(v) || std::fabs(v) > 3.0e38) return false;
    *out = (float)v;
    return true;
}

static duk_ret_t n_set_sound_freq(duk_context *d) {
    float v = 0;
    duk_push_int(d, float_arg(d, 1, &v) ? sound_set_freq(script_arg_int(d, 0), v) : 0);
    return 1;
}

static duk_ret_t n_set_sound_vol(duk_context *d) {
    float v = 0;
    duk_push_int(d, float_arg(d, 1, &v) ? sound_set_vol(script_arg_int(d, 0), v) : 0);
    return 1;
}

static duk_ret_t sound_vector(duk_context *d, bool velocity) {
    float v[3];
    for (int i = 0; i < 3; i++)
        if (!float_arg(d, 1 + i, &v[i])) {
            duk_push_int(d, 0);
            return 1;
        }
    int n = script_arg_int(d, 0);
    duk_push_int(d, velocity ? sound_set_vel(n, v) : sound_set_pos(n, v));
    return 1;
}

static duk_ret_t n_set_sound_pos(duk_context *d) {
    return sound_vector(d, false);
}

static duk_ret_t n_set_sound_vel(duk_context *d) {
    return sound_vector(d, true);
}

static duk_ret_t n_get_camera_location(duk_context *d) {
    double eye[3], rot[9];
    for (int i = 0; i < 3; i++) eye[i] = scene_viewer.eye[i];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) rot[i + 3 * j] = scene_viewer.rotation[3 * i + j];
    script_put_doubles(d, 0, eye, 3);
    script_put_doubles(d, 1, rot, 9);
    duk_push_int(d, 1);
    return 1;
}

static duk_ret_t contact_depth(duk_context *d, float (*query)(rider_slot *)) {
    rider_slot *s = slot_arg(d, 0);
    float v = s ? query(s) : 0.0f;
    duk_push_number(d, std::isfinite(v) ? v : 0.0);
    return 1;
}

static duk_ret_t contact_vector(duk_context *d, int (*query)(rider_slot *, vec3 *)) {
    rider_slot *s = slot_arg(d, 0);
    vec3 p = {0, 0, 0};
    int r = s ? query(s, &p) : 0;
    double v[3] = {p.x, p.y, p.z};
    for (double &x : v)
        if (!std::isfinite(x)) x = 0;
    script_put_doubles(d, 1, v, 3);
    duk_push_int(d, r);
    return 1;
}

static duk_ret_t n_get_front_contact_depth(duk_context *d) {
    return contact_depth(d, bike_front_contact_depth);
}
static duk_ret_t n_get_front_contact_position(duk_context *d) {
    return contact_vector(d, bike_front_contact_position);
}
static duk_ret_t n_get_front_contact_slip(duk_context *d) {
    return contact_vector(d, bike_front_contact_slip);
}
static duk_ret_t n_get_front_contact_velocity(duk_context *d) {
    return contact_vector(d, bike_front_contact_velocity);
}
static duk_ret_t n_get_rear_contact_depth(duk_context *d) {
    return contact_depth(d, bike_rear_contact_depth);
}
static duk_ret_t n_get_rear_contact_position(duk_context *d) {
    return contact_vector(d, bike_rear_contact_position);
}
static duk_ret_t n_get_rear_contact_slip(duk_context *d) {
    return contact_vector(d, bike_rear_contact_slip);
}
static duk_ret_t n_get_rear_contact_velocity(duk_context *d) {
    return contact_vector(d, bike_rear_contact_velocity);
}

#define ZR_NATIVES(X)                                                                              \
    X(message, 1) X(read_texture, 1) X(begin_custom_frame, 1) X(end_custom_frame, 1)               \
    X(paste_custom_frame, 8) X(get_max_slots, 0) X(get_running_count, 0)                          \
    X(get_running_order_slot, 1) X(get_running_order_position, 1) X(get_running_order_time, 1)    \
    X(get_rider_down, 1) X(get_seconds_per_tic, 0) X(get_first_lap_length, 0)                     \
    X(get_normal_lap_length, 0) X(get_timing_position, 1) X(get_timing, 2) X(get_rider_number, 1) \
    X(get_rider_name, 1) X(get_bike_model, 1) X(get_elevation, 2) X(get_tile_number, 2)           \
    X(get_position_, 2) X(get_velocity_, 2) X(get_finish_laps, 0) X(get_finish_time, 0)           \
    X(get_gate_drop_time, 0) X(pose_statue, 5) X(move_statue, 5) X(move_statue_absolute, 5)      \
    X(move_billboard, 4) X(move_billboard_absolute, 4) X(size_billboard, 2)                       \
    X(color_billboard, 5) X(add_sound, 1) X(start_sound, 1) X(stop_sound, 1)                      \
    X(set_sound_loop, 2) X(set_sound_freq, 2) X(set_sound_vol, 2) X(set_sound_pos, 4)             \
    X(set_sound_vel, 4) X(get_camera_location, 2) X(get_front_contact_depth, 1)                   \
    X(get_front_contact_position, 2) X(get_front_contact_slip, 2)                                 \
    X(get_front_contact_velocity, 2) X(get_rear_contact_depth, 1)                                 \
    X(get_rear_contact_position, 2) X(get_rear_contact_slip, 2) X(get_rear_contact_velocity, 2)

#define ZR_NAME(n, c) #n,
#define ZR_FUNCTION(n, c) n_##n,
#define ZR_COUNT(n, c) c,
const char *const script_native_names[] = {ZR_NATIVES(ZR_NAME) nullptr};
const duk_c_function script_native_functions[] = {ZR_NATIVES(ZR_FUNCTION) nullptr};
const int script_native_counts[] = {ZR_NATIVES(ZR_COUNT) 0};
