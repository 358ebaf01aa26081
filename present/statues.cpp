// Statue drawing: the textured, lit pass over every statue row and the additive reflection
// pass, with texture, map and program changes only where a row differs from the one before.
#include "present/statues.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "core/settings.h"
#include "gfx/model.h"
#include "gfx/shader.h"
#include "present/bike_draw.h"
#include "present/scene.h"
#include "race/objects.h"
#include "race/track.h"

void (*statue_draw_hook)(const statue_draw_call &call) = nullptr;

int statue_facing(float out[9], float dx, float dz) {
    double length = std::sqrt((double)dx * dx + (double)dz * dz);
    if (!(length >= 1e-6) || !std::isfinite(length)) return 0;
    float x = (float)(dx / length), z = (float)(dz / length);
    // Columns: right (dz, 0, -dx), up, forward (dx, 0, dz).
    const float m[9] = {z, 0, x, 0, 1, 0, -x, 0, z};
    memcpy(out, m, sizeof m);
    return 1;
}

// The orientation a row is drawn with: its own, or for a facing statue far enough away the
// turn toward the eye (kept in the row's facing field; the loaded orientation stays).
static const float *drawn_orientation(statue &s, const float eye[3], double distance) {
    float special = s.rotation_free;
    if (special == 0) return s.orientation;
    double bias = game_settings.lod_bias, scale = game_settings.lod_scale;
    double a = special - bias, b = distance * scale;
    if (a * a < b * b) statue_facing(s.facing, eye[0] - s.x, eye[2] - s.z);
    return s.facing[4] == 1 ? s.facing : s.orientation;
}

// The identity pose of up to MAX_BONE bones: a model whose bones the row does not match stands
// at rest.
static const float *rest_pose(int part) {
    static float centres[3 * MAX_BONE], translations[3 * MAX_BONE], rotations[9 * MAX_BONE];
    static bool made = false;
    if (!made) {
        for (int i = 0; i < MAX_BONE; i++)
            for (int k = 0; k < 3; k++) rotations[9 * i + 4 * k] = 1;
        made = true;
    }
    return part == 0 ? centres : part == 1 ? translations : rotations;
}

void scene_draw_statue(int row, const float eye[3], int reflection) {
    if (row < 0 || row >= track_statues.count) return;
    statue &s = ((statue *)track_statues.items)[row];
    double dx = eye[0] - s.x, dy = eye[1] - s.y, dz = eye[2] - s.z;
    double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    double detail = settings.model_detail.value;
    if (detail <= 10 && !(distance <= 20.0 * detail * detail)) return;
    const float *orientation = drawn_orientation(s, eye, distance);
    const float position[3] = {s.x, s.y, s.z};
    int bones = s.model ? s.model->bone_count : 0;
    int posed = bones > 0 && s.joint_count == bones && s.joint_centres && s.joint_translations &&
                s.joint_rotations;
    const float *centres = posed ? s.joint_centres : bones > 0 ? rest_pose(0) : nullptr;
    const float *translations = posed ? s.joint_translations : bones > 0 ? rest_pose(1) : nullptr;
    const float *rotations = posed ? s.joint_rotations : bones > 0 ? rest_pose(2) : nullptr;
    if (bones > MAX_BONE) bones = MAX_BONE;
    if (statue_draw_hook) {
        statue_draw_call call = {row, (uint32_t)s.texture, reflection, posed, {}};
        memcpy(call.orientation, orientation, sizeof call.orientation);
        statue_draw_hook(call);
        return;
    }
    glPushMatrix();
    glTranslatef(s.x, s.y, s.z);
    const float *r = orientation;
    GLfloat m[16] = {r[0], r[3], r[6], 0, r[1], r[4], r[7], 0, r[2], r[5], r[8], 0, 0, 0, 0, 1};
    glMultMatrixf(m);
    glColor4f(1, 1, 1, 1);
    if (reflection)
        model_draw_reflection_skinned(s.model, eye, position, orientation, centres, translations,
                                      rotations, bones);
    else
        model_draw_skinned(s.model, eye, position, orientation, centres, translations, rotations,
                           bones);
    glPopMatrix();
}

void scene_draw_statues(const float eye[3]) {
    int shaders = game_settings.shaders_active && gl_ext.glActiveTextureARB;
    const statue *rows = (const statue *)track_statues.items;
    int count = rows ? track_statues.count : 0;
    // 1. Lit, blended, textured.
    if (shaders) shader_use(SHADER_SLOT_LIT);
    draw_begin_lit_pass();
    // 2. The first pass.
    int32_t texture = 0, normal = 0, specular = 0;
    int units_used = 0;
    for (int i = 0; i < count; i++) {
        const statue &s = rows[i];
        if (!s.model || !s.texture) continue;
        if (s.texture != texture) {
            texture = s.texture;
            draw_bind_texture((uint32_t)texture);
        }
        if (shaders && (s.normal_map != normal || s.specular_map != specular)) {
            normal = s.normal_map;
            specular = s.specular_map;
            draw_bind_unit(1, (uint32_t)normal);
            draw_bind_unit(2, (uint32_t)specular);
            gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
            units_used = 1;
            shader_use(specular ? SHADER_SLOT_NORM_SPEC_LIT : normal ? SHADER_SLOT_NORM_LIT : SHADER_SLOT_LIT);
        }
        scene_draw_statue(i, eye, 0);
    }
    // 3. Units 1 and 2 off, the environment program.
    if (shaders) {
        if (units_used) {
            draw_bind_unit(2, 0);
            draw_bind_unit(1, 0);
            gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
        }
        shader_use(SHADER_SLOT_ENV);
    }
    // 4. The reflection pass, additive over the environment map.
    glDisable(GL_LIGHTING);
    glBlendFunc(GL_ONE, GL_ONE);
    int env_bound = 0, unit1 = 0;
    normal = 0;
    for (int i = 0; i < count; i++) {
        const statue &s = rows[i];
        if (!s.model || !s.texture || !model_has_reflection(s.model)) continue;
        if (!env_bound) {
            draw_bind_texture(track_lighting.sky_env);
            env_bound = 1;
        }
        if (shaders && s.normal_map != normal) {
            normal = s.normal_map;
            draw_bind_unit(1, (uint32_t)normal);
            gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
            unit1 = 1;
            shader_use(normal ? SHADER_SLOT_NORM_ENV : SHADER_SLOT_ENV);
        }
        scene_draw_statue(i, eye, 1);
    }
    // 5. Back to plain drawing.
    if (unit1) {
        draw_bind_unit(1, 0);
        gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glDisable(GL_BLEND);
    if (shaders) shader_use(SHADER_SLOT_FIXED);
}
