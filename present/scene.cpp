// The scene's projection and views. The world's objects join with their drawing; a view now
// places its camera and clears colour and depth.
#include "present/scene.h"

#include <GL/gl.h>

#include <cmath>

#include "core/mem.h"
#include "core/widget_data.h"
#include "gfx/model.h"
#include "gfx/shader.h"
#include "gfx/texture_anim.h"
#include "race/race.h"
#include "race/track.h"

growable_array scene_flares;
growable_array scene_trackside_cameras;

void scene_set_projection(float width, float height, float fov_degrees) {
    glViewport(0, 0, (int)width, (int)height);
    double t = tan(fov_degrees * M_PI / 360.0);
    // A view without height (a minimised window) keeps the 4:3 shape.
    double aspect = width > 0 && height > 0 ? (double)width / height : 4.0 / 3.0;
    double hx, hy;
    if (aspect > 4.0 / 3.0) {
        hy = 0.75 * t;
        hx = hy * aspect;
    } else {
        hx = t;
        hy = t / aspect;
    }
    view_state.half_x = (float)hx;
    view_state.half_y = (float)hy;
    double near_plane = track_lighting.near_plane, far_plane = track_lighting.far_plane;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-hx * near_plane, hx * near_plane, -hy * near_plane, hy * near_plane, near_plane,
              far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// The start of every view: the program-switch and model counts restart, texture animations
// advance to the race's tick, the camera is placed.
static void scene_begin_view(const float eye[3]) {
    gl_info.program_switches = 0;
    model_draw_vertex_count = 0;
    model_draw_triangle_count = 0;
    tex_update_anims(race_state.current_tick);
    for (int i = 0; i < 3; i++) camera_position[i] = eye[i];
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void scene_draw(const float eye[3], const float rotation[9], float fov_degrees, int onboard_slot) {
    (void)rotation;
    (void)fov_degrees;
    (void)onboard_slot;
    scene_begin_view(eye);
}

void scene_draw_rider_view(dBodyID body, int slot) {
    (void)slot;
    float eye[3] = {0, 0, 0};
    if (body) {
        const dReal *p = dBodyGetPosition(body);
        for (int i = 0; i < 3; i++) eye[i] = (float)p[i];
    }
    scene_begin_view(eye);
}

void scene_draw_camera_view() {
    const float eye[3] = {0, 0, 0};
    scene_begin_view(eye);
}

void scene_update_flaggers() {}

void scene_add_callout(float x, float y, float z, const char *text) {
    (void)x;
    (void)y;
    (void)z;
    (void)text;
}

float scene_callout_distance(float x, float y, float z) {
    (void)x;
    (void)y;
    (void)z;
    return SCENE_NO_CALLOUT;
}

float camera_ground_height(float x, float z, float radius) {
    (void)x;
    (void)z;
    (void)radius;
    return 0.0f;
}

int camera_trackside_count() {
    return scene_trackside_cameras.count;
}

void scene_lists_create() {
    for (growable_array *a : {&scene_flares, &scene_trackside_cameras})
        if (!plyx_array_init(a, sizeof(void *), SCENE_LIST_CAPACITY)) mem_out_of_memory();
}

void scene_lists_free() {
    plyx_array_free(&scene_flares);
    plyx_array_free(&scene_trackside_cameras);
}
