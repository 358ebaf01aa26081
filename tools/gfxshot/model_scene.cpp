// gfxshot's model scene: the model at the origin under the track's default lighting, seen
// from the right front and a little above; reflective meshes get a sky-and-ground map.
#include "tools/gfxshot/model_scene.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "core/settings.h"
#include "gfx/model.h"
#include "gfx/shader.h"
#include "gfx/texture.h"
#include "present/scene.h"
#include "race/track.h"

namespace {

struct vec {
    double x, y, z;
};

vec sub(vec a, vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

vec unit(vec a) {
    double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return l > 0 ? vec{a.x / l, a.y / l, a.z / l} : a;
}

vec cross(vec a, vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double dot(vec a, vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

}  // namespace

// Centre and radius of the base model's drawn positions.
static void model_bounds(const model_mesh *m, vec *centre, double *radius) {
    vec lo = {1e30, 1e30, 1e30}, hi = {-1e30, -1e30, -1e30};
    for (; m; m = m->next)
        for (int i = 0; i < m->vertex_count; i++) {
            const float *p = m->positions + 3 * i;
            lo = {std::fmin(lo.x, p[0]), std::fmin(lo.y, p[1]), std::fmin(lo.z, p[2])};
            hi = {std::fmax(hi.x, p[0]), std::fmax(hi.y, p[1]), std::fmax(hi.z, p[2])};
        }
    if (lo.x > hi.x) lo = hi = {0, 0, 0};
    *centre = {(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    vec half = sub(hi, *centre);
    *radius = std::fmax(std::sqrt(dot(half, half)), 0.1);
}

// The view from the eye towards the target, y up; the eye-to-world rotation for the
// reflection program (row-major).
static void look_at(vec eye, vec target, float envmat[9]) {
    vec f = unit(sub(target, eye)), s = unit(cross(f, {0, 1, 0})), u = cross(s, f);
    GLfloat m[16] = {(float)s.x, (float)u.x, (float)-f.x, 0, (float)s.y, (float)u.y, (float)-f.y, 0,
                     (float)s.z, (float)u.z, (float)-f.z, 0, (float)-dot(s, eye), (float)-dot(u, eye),
                     (float)dot(f, eye), 1};
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(m);
    const vec rows[3] = {s, u, {-f.x, -f.y, -f.z}};
    for (int c = 0; c < 3; c++) {
        envmat[c] = (float)rows[c].x;
        envmat[3 + c] = (float)rows[c].y;
        envmat[6 + c] = (float)rows[c].z;
    }
}

// The polar reflection map: sky at the centre (straight up), the horizon at a quarter of the
// side from it, brown ground beyond.
static uint32_t sky_map() {
    const int side = 64;
    std::vector<unsigned char> pixels((size_t)side * side * 3);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            double dx = (x + 0.5) / side - 0.5, dy = (y + 0.5) / side - 0.5;
            double r = std::sqrt(dx * dx + dy * dy) * 4;  // 1 at the horizon
            unsigned char *p = &pixels[((size_t)y * side + x) * 3];
            if (r < 1) {
                p[0] = (unsigned char)(120 + 130 * r);
                p[1] = (unsigned char)(170 + 80 * r);
                p[2] = (unsigned char)(230 + 20 * r);
            } else {
                p[0] = 120;
                p[1] = 96;
                p[2] = 70;
            }
        }
    return tex_create_nomip(pixels.data(), side, side, 3);
}

static void set_lighting() {
    const track_lighting_record &t = track_lighting;
    const float sun[4] = {t.sun_vector[0], t.sun_vector[1], t.sun_vector[2], 0};
    const float colour[4] = {t.sun_color[0], t.sun_color[1], t.sun_color[2], 1};
    const float ambient[4] = {t.ambient[0], t.ambient[1], t.ambient[2], 1};
    const float global[4] = {t.global_ambient[0], t.global_ambient[1], t.global_ambient[2], 1};
    const float material_ambient[4] = {0.6f, 0.6f, 0.6f, 1}, material_diffuse[4] = {0.85f, 0.85f, 0.85f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, sun);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, colour);
    glLightfv(GL_LIGHT0, GL_SPECULAR, colour);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, global);
    glMaterialfv(GL_FRONT, GL_AMBIENT, material_ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, material_diffuse);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    // The lit programs always fog, by the track's density (GL's own default would be 1).
    const float fog_colour[4] = {0.45f, 0.6f, 0.78f, 1};
    glFogf(GL_FOG_DENSITY, t.fog_density);
    glFogfv(GL_FOG_COLOR, fog_colour);
}

int shot_model(const model_shot &shot, int width, int height) {
    model_mesh *model = model_load(shot.name.c_str());
    if (!model) {
        fprintf(stderr, "gfxshot: can't load model %s\n", shot.name.c_str());
        return 0;
    }
    const char *texture_name = shot.texture.empty() ? "@colors/white.png" : shot.texture.c_str();
    uint32_t texture = tex_load(texture_name);
    if (!texture) {
        fprintf(stderr, "gfxshot: can't load %s\n", texture_name);
        return 0;
    }
    const float fov = 40;
    vec centre;
    double radius;
    model_bounds(model, &centre, &radius);
    vec dir = unit({0.85, 0.35, -0.4});
    vec eye;
    if (shot.distance > 0) {
        eye = {dir.x * shot.distance, dir.y * shot.distance, dir.z * shot.distance};
    } else {
        double fit = radius / std::sin(std::atan(0.75 * std::tan(fov * M_PI / 360))) * 1.1;
        eye = {centre.x + dir.x * fit, centre.y + dir.y * fit, centre.z + dir.z * fit};
    }
    glClearColor(0.45f, 0.6f, 0.78f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene_set_projection((float)width, (float)height, fov);
    float envmat[9];
    look_at(eye, centre, envmat);
    camera_position[0] = (float)eye.x;
    camera_position[1] = (float)eye.y;
    camera_position[2] = (float)eye.z;
    model_draw_vertex_count = model_draw_triangle_count = 0;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);  // one-sided models show from behind too
    set_lighting();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(1, 1, 1, 1);

    // Bones at rest; for two bones the second turns about z through the middle.
    int bones = model->bone_count;
    std::vector<float> centres(3 * MAX_BONE, 0.0f), moves(3 * MAX_BONE, 0.0f), turns(9 * MAX_BONE, 0.0f);
    for (int b = 0; b < MAX_BONE; b++) turns[9 * b] = turns[9 * b + 4] = turns[9 * b + 8] = 1;
    if (bones == 2) {
        double a = shot.bend_degrees * M_PI / 180;
        const float middle[3] = {(float)centre.x, (float)centre.y, (float)centre.z};
        for (int k = 0; k < 3; k++) centres[3 + k] = moves[3 + k] = middle[k];
        // Column-major: the first column is where x goes.
        turns[9] = (float)std::cos(a);
        turns[10] = (float)std::sin(a);
        turns[12] = (float)-std::sin(a);
        turns[13] = (float)std::cos(a);
    }
    const float origin[3] = {0, 0, 0}, identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float eye_f[3] = {camera_position[0], camera_position[1], camera_position[2]};
    bool shaders = game_settings.shaders_active;
    if (shaders) shader_use(SHADER_SLOT_LIT);
    model_draw_skinned(model, eye_f, origin, identity, centres.data(), moves.data(), turns.data(), bones);
    model_mesh *version = model_choose_lod(model, origin);
    if (model->reflective) {
        uint32_t sky = sky_map();
        glBindTexture(GL_TEXTURE_2D, sky);
        glDisable(GL_LIGHTING);
        if (shaders) {
            shader_set_envmat(envmat);
            shader_use(SHADER_SLOT_ENV);
        }
        model_draw_reflection_skinned(model, eye_f, origin, identity, centres.data(), moves.data(),
                                      turns.data(), bones);
        GLuint name = sky;
        glDeleteTextures(1, &name);
    }
    shader_use(SHADER_SLOT_FIXED);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    printf("lod %g\n", version->lod_distance);
    printf("model_draw_vertex_count=%d\nmodel_draw_triangle_count=%d\n", model_draw_vertex_count,
           model_draw_triangle_count);
    return 1;
}

