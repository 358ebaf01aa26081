// Drawing models: the level-of-detail choice, materials, skinning on the processor, the
// reflection pass, and submission by display list, vertex arrays or immediate mode.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/settings.h"
#include "gfx/lighting.h"
#include "gfx/model.h"
#include "gfx/shader.h"

float camera_position[3];
int model_draw_vertex_count = 0;
int model_draw_triangle_count = 0;

model_mesh *model_choose_lod(model_mesh *model, const float position[3]) {
    float scale = game_settings.lod_scale, bias = game_settings.lod_bias;
    float d2 = 0;
    for (int k = 0; k < 3; k++) {
        float d = position[k] - camera_position[k];
        d2 += d * d;
    }
    d2 *= scale * scale;
    model_mesh *choice = model;
    for (model_mesh *v = model->next_lod; v; v = v->next_lod) {
        float reach = v->lod_distance - bias;
        if (reach > 0 && reach * reach > d2) break;
        choice = v;
    }
    return choice;
}

void model_submit_arrays(const model_mesh *m) {
    bool extra = game_settings.shaders_active;
    glVertexPointer(3, GL_FLOAT, 0, m->positions);
    glTexCoordPointer(2, GL_FLOAT, 0, m->uvs);
    glNormalPointer(GL_FLOAT, 0, m->normals);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    if (extra) {
        gl_ext.glClientActiveTextureARB(GL_TEXTURE1_ARB);
        glTexCoordPointer(3, GL_FLOAT, 0, m->tangents);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        if (m->weights) {
            gl_ext.glClientActiveTextureARB(GL_TEXTURE2_ARB);
            glTexCoordPointer(4, GL_FLOAT, 0, m->weights);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            gl_ext.glClientActiveTextureARB(GL_TEXTURE3_ARB);
            glTexCoordPointer(4, GL_INT, 0, m->bone_numbers);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    glDrawElements(GL_TRIANGLES, m->triangle_count * 3, GL_UNSIGNED_INT, m->triangles);
    if (extra) {
        if (m->weights) {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            gl_ext.glClientActiveTextureARB(GL_TEXTURE2_ARB);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
        gl_ext.glClientActiveTextureARB(GL_TEXTURE1_ARB);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        gl_ext.glClientActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

void model_submit_immediate(const model_mesh *m) {
    bool extra = game_settings.shaders_active;
    glBegin(GL_TRIANGLES);
    for (int c = 0; c < m->triangle_count * 3; c++) {
        int i = m->triangles[c];
        if (extra) {
            gl_ext.glMultiTexCoord3fvARB(GL_TEXTURE1_ARB, m->tangents + 3 * i);
            if (m->weights) {
                gl_ext.glMultiTexCoord4fvARB(GL_TEXTURE2_ARB, m->weights + 4 * i);
                gl_ext.glMultiTexCoord4ivARB(GL_TEXTURE3_ARB, m->bone_numbers + 4 * i);
            }
        }
        glNormal3fv(m->normals + 3 * i);
        glTexCoord2fv(m->uvs + 2 * i);
        glVertex3fv(m->positions + 3 * i);
    }
    glEnd();
}

void model_draw_mesh(const model_mesh *m) {
    model_draw_vertex_count += m->vertex_count;
    model_draw_triangle_count += m->triangle_count;
    if (m->display_list)
        glCallList(m->display_list);
    else if (game_settings.no_vertex_arrays)
        model_submit_immediate(m);
    else
        model_submit_arrays(m);
}

// Four floats in one register: the skinning works on x, y, z (and an unused fourth lane).
typedef float model_lanes __attribute__((vector_size(16)));

// Scales a vector to unit length; one already within rounding of it is left as it is (a
// rotated unit vector usually is), which saves the square root.
static inline void model_store_unit(model_lanes v, float *out) {
    float l2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    if (!(std::fabs(l2 - 1) < 1e-6f) && l2 > 0) v *= 1 / std::sqrt(l2);
    out[0] = v[0];
    out[1] = v[1];
    out[2] = v[2];
}

static inline model_lanes model_load3(const float *p) {
    return model_lanes{p[0], p[1], p[2], 0};
}

void model_skin_software(model_mesh *m, const float *centres, const float *translations,
                         const float *rotations, int bone_count) {
    if (game_settings.shaders_active || bone_count != m->bone_count || m->vertex_count == 0)
        return;
    // Each bone's columns, and its offset: R (p - c) + t = R p + (t - R c).
    model_lanes columns[3 * MAX_BONE], offsets[MAX_BONE];
    for (int b = 0; b < bone_count && b < MAX_BONE; b++) {
        const float *r = rotations + 9 * b, *c = centres + 3 * b;
        for (int k = 0; k < 3; k++) columns[3 * b + k] = model_load3(r + 3 * k);
        offsets[b] = model_load3(translations + 3 * b) -
                     (columns[3 * b] * c[0] + columns[3 * b + 1] * c[1] + columns[3 * b + 2] * c[2]);
    }
    size_t rest = 3 * (size_t)m->vertex_count;
    const float *rest_p = m->positions + rest, *rest_n = m->normals + rest, *rest_t = m->tangents + rest;
    for (int i = 0; i < m->vertex_count; i++) {
        const float *rp = rest_p + 3 * i, *rn = rest_n + 3 * i, *rt = rest_t + 3 * i;
        model_lanes p = {0, 0, 0, 0}, n = p, t = p;
        for (int j = 0; j < 4; j++) {
            float w = m->weights[4 * i + j];
            if (!(w > 0)) continue;
            int b = m->bone_numbers[4 * i + j];
            const model_lanes *c = columns + 3 * b;
            p += w * (c[0] * rp[0] + c[1] * rp[1] + c[2] * rp[2] + offsets[b]);
            n += w * (c[0] * rn[0] + c[1] * rn[1] + c[2] * rn[2]);
            t += w * (c[0] * rt[0] + c[1] * rt[1] + c[2] * rt[2]);
        }
        float *dp = m->positions + 3 * i;
        dp[0] = p[0];
        dp[1] = p[1];
        dp[2] = p[2];
        model_store_unit(n, m->normals + 3 * i);
        model_store_unit(t, m->tangents + 3 * i);
    }
}

void model_reflection_uvs(model_mesh *m, const float e[3], const float mat[9]) {
    const float inverse_turn = 0.15915494309189535f;
    for (int i = 0; i < m->vertex_count; i++) {
        const float *p = m->positions + 3 * i, *n = m->normals + 3 * i;
        float v[3] = {e[0] + p[0], e[1] + p[1], e[2] + p[2]};
        float vn = 2 * (v[0] * n[0] + v[1] * n[1] + v[2] * n[2]);
        float r[3] = {v[0] - vn * n[0], v[1] - vn * n[1], v[2] - vn * n[2]};
        float w[3];
        for (int k = 0; k < 3; k++) w[k] = mat[3 * k] * r[0] + mat[3 * k + 1] * r[1] + mat[3 * k + 2] * r[2];
        float len = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
        if (len > 0)
            for (float &c : w) c /= len;
        // Rounding may leave |w.y| a little above 1, and straight up or down has no direction
        // across: both would give NaN.
        float a = std::acos(std::clamp(w[1], -1.0f, 1.0f)) * inverse_turn;
        float across = std::sqrt(w[0] * w[0] + w[2] * w[2]);
        float *uv = m->uvs + 2 * i;
        if (!(across >= 1e-6f)) {
            uv[0] = uv[1] = 0.5f;
        } else {
            uv[0] = a * w[0] / across + 0.5f;
            uv[1] = a * w[2] / across + 0.5f;
        }
    }
}

// A self-lit mesh lights itself with its own colour as the only ambient light.
static void model_begin_self_lit(const model_mesh *m) {
    const float black[4] = {0, 0, 0, 1};
    const float own[4] = {m->colour[0], m->colour[1], m->colour[2], m->factor};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_AMBIENT, own);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, black);
    glMaterialfv(GL_FRONT, GL_SPECULAR, black);
    glMaterialf(GL_FRONT, GL_SHININESS, 1.0f);
}

// Back to the track's lighting for the next mesh.
static void model_end_self_lit() {
    const float *ga = track_lighting.global_ambient, *a = track_lighting.ambient;
    const float global_ambient[4] = {ga[0], ga[1], ga[2], 1};
    const float ambient[4] = {a[0], a[1], a[2], 1};
    const float white[4] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, global_ambient);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
}

void model_draw_skinned(model_mesh *model, const float eye[3], const float position[3],
                        const float rotation[9], const float *centres, const float *translations,
                        const float *rotations, int bone_count) {
    (void)eye;
    (void)rotation;
    if (!model) return;
    bone_count = std::clamp(bone_count, 0, MAX_BONE);
    model_mesh *version = model_choose_lod(model, position);
    shader_set_bones(bone_count, centres, translations, rotations);
    for (model_mesh *m = version; m; m = m->next) {
        // Meshes after the first reflective one belong to neither pass.
        if (m->mode == MESH_MODE_REFLECTIVE) break;
        bool self_lit = m->mode == MESH_MODE_SELF_LIT;
        if (self_lit) {
            model_begin_self_lit(m);
        } else {
            const float specular[4] = {m->colour[0], m->colour[1], m->colour[2], m->factor};
            glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
            glMaterialf(GL_FRONT, GL_SHININESS,
                        std::clamp(m->mode, MODEL_SHININESS_MIN, MODEL_SHININESS_MAX));
        }
        if (bone_count > 0) model_skin_software(m, centres, translations, rotations, bone_count);
        model_draw_mesh(m);
        if (self_lit) model_end_self_lit();
    }
}

void model_draw(model_mesh *model, const float eye[3], const float position[3],
                const float rotation[9]) {
    model_draw_skinned(model, eye, position, rotation, nullptr, nullptr, nullptr, 0);
}

void model_draw_reflection_skinned(model_mesh *model, const float eye[3], const float position[3],
                                   const float rotation[9], const float *centres,
                                   const float *translations, const float *rotations,
                                   int bone_count) {
    if (!model) return;
    bone_count = std::clamp(bone_count, 0, MAX_BONE);
    model_mesh *version = model_choose_lod(model, position);
    shader_set_bones(bone_count, centres, translations, rotations);
    for (model_mesh *m = version; m; m = m->next) {
        if (m->mode != MESH_MODE_REFLECTIVE) continue;
        if (!game_settings.shaders_active) {
            const float *r = rotation;
            float d[3] = {position[0] - eye[0], position[1] - eye[1], position[2] - eye[2]};
            float e[3];
            for (int k = 0; k < 3; k++) e[k] = r[k] * d[0] + r[3 + k] * d[1] + r[6 + k] * d[2];
            model_reflection_uvs(m, e, r);
        }
        glColor4f(m->factor * m->colour[0], m->factor * m->colour[1], m->factor * m->colour[2], 1);
        if (bone_count > 0) model_skin_software(m, centres, translations, rotations, bone_count);
        model_draw_mesh(m);
    }
}

void model_draw_reflection(model_mesh *model, const float eye[3], const float position[3],
                           const float rotation[9]) {
    model_draw_reflection_skinned(model, eye, position, rotation, nullptr, nullptr, nullptr, 0);
}

int model_has_reflection(const model_mesh *model) {
    return game_settings.reflections_on && model && model->reflective;
}

void model_draw_outline(const model_mesh *m) {
    for (int t = 0; t < m->triangle_count; t++) {
        glBegin(GL_LINE_LOOP);
        for (int c = 0; c < 3; c++) glVertex3fv(m->positions + 3 * m->triangles[3 * t + c]);
        glEnd();
    }
}
