// The statue table's rows: adding, freeing and orienting a statue on the ground.
#include "race/statue.h"

#include <cmath>
#include <cstring>

#include "core/console.h"
#include "core/mem.h"
#include "gfx/texture.h"
#include "race/track.h"
#include "terrain/terrain.h"

static float ground_height(float x, float z) {
    return terrain_current && terrain_current->heights ? terrain_height_at(terrain_current, x, z)
                                                        : 0.0f;
}

static void normalise(float v[3]) {
    float l = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l > 0) {
        v[0] /= l;
        v[1] /= l;
        v[2] /= l;
    }
}

static void cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void track_orient_to_ground(float m[9], float x, float z, float yaw) {
    if (yaw >= 3.25f) {
        const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        memcpy(m, identity, sizeof identity);
        return;
    }
    float r0[3] = {cosf(yaw), 0, -sinf(yaw)};
    float n[3] = {0, 1, 0};
    if (yaw > -2 * 3.14159265358979f) {
        float h0 = ground_height(x, z), h1 = ground_height(x + 1, z), h2 = ground_height(x, z + 1);
        n[0] = -(h1 - h0);
        n[2] = -(h2 - h0);
    }
    float c[3], r[3];
    cross(r0, n, c);
    normalise(c);
    cross(n, c, r);
    normalise(r);
    normalise(n);
    const float out[9] = {r[0], n[0], c[0], r[1], n[1], c[1], r[2], n[2], c[2]};
    memcpy(m, out, sizeof out);
}

int track_add_statue(float x, float height_offset, float z, float yaw, const char *model,
                     const char *texture, const char *shape) {
    track_statue row = {};
    row.rotation_free = yaw >= 3.25f ? powf(2.0f, yaw) : 0.0f;
    row.model = model ? model_load(model) : nullptr;
    if (row.model && texture) row.texture = tex_load(texture);
    if (shape) {
        row.shape = shape_copy(shape);
        if (!row.shape) {
            char text[1024];
            snprintf(text, sizeof text, "Warning: missing shape file %.900s\n", shape);
            console_print(text);
        }
    }
    row.x = x;
    row.z = z;
    row.height_offset = height_offset;
    row.y = ground_height(x, z) + height_offset;
    row.yaw = yaw;
    track_orient_to_ground(row.orientation, x, z, yaw);
    if (!track_statues.items || !plyx_array_append(&track_statues, &row)) {
        mem_free(row.shape);
        return -1;
    }
    return track_statues.count - 1;
}

track_statue *track_statue_at(int row) {
    if (row < 0 || row >= track_statues.count) return nullptr;
    return (track_statue *)track_statues.items + row;
}

void track_free_statue(int row) {
    track_statue *s = track_statue_at(row);
    if (!s) return;
    mem_free(s->shape);
    mem_free(s->joint_centres);
    mem_free(s->joint_translations);
    mem_free(s->joint_rotations);
    s->shape = nullptr;
    s->joint_centres = s->joint_translations = s->joint_rotations = nullptr;
    s->joint_count = 0;
}
