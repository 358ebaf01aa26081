// Statue rows: adding them with their model, maps and shape, their pose on the ground, freeing.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "bike/shape.h"
#include "core/console.h"
#include "core/mem.h"
#include "core/settings.h"
#include "race/contacts.h"
#include "race/objects.h"
#include "race/particles.h"
#include "race/track.h"
#include "terrain/terrain.h"

static void normalise(float v[3]) {
    float length = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0) || !std::isfinite(length)) return;
    for (int i = 0; i < 3; i++) v[i] /= length;
}

static void cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void track_orient_to_ground(float out[9], float x, float z, float yaw) {
    if (!std::isfinite(yaw) || yaw >= STATUE_ROTATION_FREE_YAW) {
        static const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        memcpy(out, identity, sizeof identity);
        return;
    }
    float r0[3] = {cosf(yaw), 0, -sinf(yaw)};
    float n[3] = {0, 1, 0};
    if (yaw > (float)(-2 * M_PI)) {
        float h0 = track_ground_height(x, z);
        float h1 = track_ground_height(x + 1, z);
        float h2 = track_ground_height(x, z + 1);
        n[0] = -(h1 - h0);
        n[2] = -(h2 - h0);
        normalise(n);
    }
    float c[3], r[3];
    cross(r0, n, c);
    normalise(c);
    cross(n, c, r);
    normalise(r);
    const float m[9] = {r[0], n[0], c[0], r[1], n[1], c[1], r[2], n[2], c[2]};
    memcpy(out, m, sizeof m);
}

// The part of a texture name its map variants replace: from the last '-' of a repeat texture,
// else from the last '.'; npos when there is none.
static size_t variant_start(const std::string &name, bool *repeat) {
    static const char *const repeats[] = {"-repeat.png", "-repeat.ppm", "-repeat.seq"};
    *repeat = false;
    for (const char *r : repeats) {
        size_t n = strlen(r);
        if (name.size() >= n && name.compare(name.size() - n, n, r) == 0) *repeat = true;
    }
    return *repeat ? name.rfind('-') : name.rfind('.');
}

// The first of the map variants (kind "_norm" or "_spec") that loads, or 0.
static uint32_t statue_map(const char *texture, const char *model, const char *kind) {
    static const char *const endings[] = {".seq", ".png", ".ppm"};
    static const char *const repeat_endings[] = {"-repeat.seq", "-repeat.png", "-repeat.ppm"};
    bool repeat;
    std::string t = texture;
    size_t at = variant_start(t, &repeat);
    if (at == std::string::npos) return 0;
    for (int i = 0; i < 3; i++) {
        std::string name = t.substr(0, at) + kind + (repeat ? repeat_endings[i] : endings[i]);
        if (uint32_t id = track_loaders.texture(name.c_str())) return id;
    }
    std::string m = model;
    size_t dot = m.rfind('.');
    if (dot == std::string::npos) return 0;
    for (const char *e : endings) {
        std::string name = m.substr(0, dot) + kind + e;
        if (uint32_t id = track_loaders.texture(name.c_str())) return id;
    }
    return 0;
}

int track_add_statue(float x, float height_offset, float z, float yaw, const char *model,
                     const char *texture, const char *shape) {
    statue s = {};
    s.rotation_free = yaw >= STATUE_ROTATION_FREE_YAW ? exp2f(yaw) : 0;
    s.model = model && track_loaders.model ? track_loaders.model(model) : nullptr;
    if (s.model && texture && track_loaders.texture) {
        s.texture = (int32_t)track_loaders.texture(texture);
        if (game_settings.shaders_active) {
            s.normal_map = (int32_t)statue_map(texture, model, "_norm");
            s.specular_map = (int32_t)statue_map(texture, model, "_spec");
        }
    }
    if (shape) {
        s.shape = shape_copy(shape);
        if (!s.shape) {
            char text[1024];
            snprintf(text, sizeof text, "Warning: missing shape file %.900s\n", shape);
            console_print(text);
        }
    }
    s.x = x;
    s.z = z;
    s.height_offset = height_offset;
    s.yaw = yaw;
    s.y = track_ground_height(x, z) + height_offset;
    track_orient_to_ground(s.orientation, x, z, yaw);
    if (!track_statues.items || !plyx_array_append(&track_statues, &s)) {
        mem_free(s.shape);
        return -1;
    }
    return track_statues.count - 1;
}

void track_place_statue(int row) {
    if (row < 0 || row >= track_statues.count) return;
    statue &s = ((statue *)track_statues.items)[row];
    s.y = track_ground_height(s.x, s.z) + s.height_offset;
    track_orient_to_ground(s.orientation, s.x, s.z, s.yaw);
}

void track_free_statue(int row) {
    if (row < 0 || row >= track_statues.count) return;
    statue &s = ((statue *)track_statues.items)[row];
    mem_free(s.shape);
    mem_free(s.joint_centres);
    mem_free(s.joint_translations);
    mem_free(s.joint_rotations);
    s.shape = nullptr;
    s.joint_centres = s.joint_translations = s.joint_rotations = nullptr;
    s.joint_count = 0;
}

void track_objects_clear() {
    for (int i = 0; i < track_statues.count; i++) track_free_statue(i);
    track_statues.count = 0;
    track_billboards.count = 0;
    billboard_order.count = 0;
    track_first_file_statue = 0;
    track_first_file_billboard = 0;
    track_rebuild_statue_grid();
    particle_clear();
}

uint32_t track_load_texture_variant(const char *name, const char *suffix, const char *new_suffix) {
    if (!name || !suffix || !new_suffix || !track_loaders.texture) return 0;
    size_t n = strlen(name), k = strlen(suffix);
    if (n < k || strcmp(name + n - k, suffix) != 0) return 0;
    std::string variant = std::string(name, n - k) + new_suffix;
    return track_loaders.texture(variant.c_str());
}
