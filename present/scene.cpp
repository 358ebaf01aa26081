// The scene's projection and views. A view places its camera, composes the ground textures
// that are due, clears, and draws the terrain under the track's sun; the world's other objects
// join with their drawing.
#include "present/scene.h"

#include "present/camera.h"

#include <GL/gl.h>

#include <cmath>

#include "core/mem.h"
#include "core/settings.h"
#include "core/widget_data.h"
#include "gfx/model.h"
#include "gfx/shader.h"
#include "gfx/texture_anim.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"

void (*scene_stage_hook)(const char *label) = nullptr;
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
}

// Light 0 from the track's lighting: the sun as a directional light in world coordinates.
static void scene_light() {
    const track_lighting_record &l = track_lighting;
    GLfloat position[4] = {l.sun_vector[0], l.sun_vector[1], l.sun_vector[2], 0};
    GLfloat ambient[4] = {l.ambient[0], l.ambient[1], l.ambient[2], 1};
    GLfloat colour[4] = {l.sun_color[0], l.sun_color[1], l.sun_color[2], 1};
    GLfloat global[4] = {l.global_ambient[0], l.global_ambient[1], l.global_ambient[2], 1};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, colour);
    glLightfv(GL_LIGHT0, GL_SPECULAR, colour);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, global);
}

void scene_draw(const float eye[3], const float rotation[9], float fov_degrees, int onboard_slot) {
    (void)onboard_slot;
    scene_begin_view(eye);
    terrain_field *field = terrain_current;
    for (int i = 0; i < 3; i++) {
        field->eye[i] = eye[i];
        field->view_direction[i] = -rotation[3 * i + 2];   // the negated third column
    }
    // Composition may draw into the back buffer: before the clear.
    if (field->heights) tile_render_pending(field);
    if (scene_stage_hook) scene_stage_hook("rendertex");
    scene_set_projection((float)view_state.width, (float)view_state.height, fov_degrees);
    GLfloat m[16] = {0};
    for (int c = 0; c < 3; c++)
        for (int r = 0; r < 3; r++) m[4 * c + r] = rotation[3 * c + r];
    m[15] = 1;
    glMultMatrixf(m);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glTranslatef(-eye[0], -eye[1], -eye[2]);
    scene_light();
    glDepthFunc(GL_LEQUAL);
    if (field->heights) terrain_draw(field);
    if (scene_stage_hook) scene_stage_hook("drawterrain");
}

void scene_draw_rider_view(dBodyID body, int slot) {
    (void)slot;
    float eye[3] = {0, 0, 0};
    if (body) {
        const dReal *p = dBodyGetPosition(body);
        for (int i = 0; i < 3; i++) eye[i] = (float)p[i];
    }
    scene_begin_view(eye);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void scene_draw_camera_view() {
    const float eye[3] = {0, 0, 0};
    scene_begin_view(eye);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
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

int camera_trackside_count() {
    return scene_trackside_cameras.count;
}

void scene_lists_create() {
    if (!plyx_array_init(&scene_flares, sizeof(void *), SCENE_LIST_CAPACITY) ||
        !plyx_array_init(&scene_trackside_cameras, sizeof(camera), SCENE_LIST_CAPACITY))
        mem_out_of_memory();
}

void scene_lists_free() {
    plyx_array_free(&scene_flares);
    plyx_array_free(&scene_trackside_cameras);
}
