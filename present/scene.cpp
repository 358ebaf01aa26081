// The scene frame: projection, the sky box, fog and sun, the terrain, the bikes and riders,
// statues, billboards and faded riders, callouts and flares, each stage marked for the stutter
// check.
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
#include "present/billboards.h"
#include "present/callouts.h"
#include "present/camera.h"
#include "present/bike_draw.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"

void (*scene_stage_hook)(const char *label) = nullptr;
scene_hook_table scene_hooks = {nullptr, nullptr};
growable_array scene_flares;
growable_array scene_trackside_cameras;
scene_viewer_record scene_viewer;
render_stats_record render_stats;
float draw_alpha = 1.0f;
float ghost_alpha[160];
int scene_hidden_slot = -1;

static void stage(const char *label) {
    if (scene_stage_hook) scene_stage_hook(label);
}

float scene_clamp_fov(float fov_degrees) {
    if (std::isnan(fov_degrees)) fov_degrees = (float)settings.fov.value;
    if (!(fov_degrees >= 1)) return 1;
    if (!(fov_degrees <= 179)) return 179;
    return fov_degrees;
}

void scene_clip_planes(double *near_plane, double *far_plane) {
    double n = track_lighting.near_plane, f = track_lighting.far_plane;
    if (!(n > 0) || !std::isfinite(n)) n = 0.25;
    if (!(f >= 2 * n) || !std::isfinite(f)) f = std::isfinite(f) && f > 2 * n ? f : 2 * n;
    *near_plane = n;
    *far_plane = f;
}

float scene_linear_depth(float depth) {
    double n, f;
    scene_clip_planes(&n, &f);
    double z = 2.0 * depth - 1.0;
    return (float)(2.0 * n * f / ((f + n) - z * (f - n)));
}

void scene_turn_view(const float rotation[9]) {
    GLfloat m[16] = {0};
    for (int c = 0; c < 3; c++)
        for (int r = 0; r < 3; r++) m[4 * c + r] = rotation[3 * c + r];
    m[15] = 1;
    glMultMatrixf(m);
}

void scene_set_projection(float width, float height, float fov_degrees) {
    glViewport(0, 0, (int)width, (int)height);
    double t = tan(scene_clamp_fov(fov_degrees) * M_PI / 360.0);
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
    double near_plane, far_plane;
    scene_clip_planes(&near_plane, &far_plane);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-hx * near_plane, hx * near_plane, -hy * near_plane, hy * near_plane, near_plane,
              far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Light 0 from the track's lighting: the sun as a directional light in world coordinates (set
// after the eye translation, so it stays with the world).
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
    glEnable(GL_LIGHT0);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, global);
}

// The five faces of a cube around the eye, north, east, south, west, up.
static const float SKY_CORNERS[5][4][3] = {
    {{-1, 1, -1}, {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}},
    {{1, 1, -1}, {1, -1, -1}, {1, -1, 1}, {1, 1, 1}},
    {{1, 1, 1}, {1, -1, 1}, {-1, -1, 1}, {-1, 1, 1}},
    {{-1, 1, 1}, {-1, -1, 1}, {-1, -1, -1}, {-1, 1, -1}},
    {{-1, 1, 1}, {-1, 1, -1}, {1, 1, -1}, {1, 1, 1}},
};
static const float SKY_UV[4][2] = {{1.0f / 128, 1.0f / 128},
                                   {1.0f / 128, 127.0f / 128},
                                   {127.0f / 128, 127.0f / 128},
                                   {127.0f / 128, 1.0f / 128}};

// The sky box under the view rotation alone; a face without a texture is left out, over the
// fog colour.
static void scene_draw_sky() {
    bool missing = false;
    for (int f = 0; f < 5; f++) missing = missing || !scene_sky_texture(f);
    if (missing) {
        const float *c = track_lighting.fog_color;
        glClearColor(c[0], c[1], c[2], 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDepthMask(GL_FALSE);
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glColor4f(1, 1, 1, 1);
    for (int f = 0; f < 5; f++) {
        uint32_t texture = scene_sky_texture(f);
        if (!texture) continue;
        glBindTexture(GL_TEXTURE_2D, texture);
        render_stats.texture_binds++;
        glBegin(GL_QUADS);
        for (int k = 0; k < 4; k++) {
            glTexCoord2fv(SKY_UV[k]);
            glVertex3fv(SKY_CORNERS[f][k]);
        }
        glEnd();
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDepthMask(GL_TRUE);
}

// The lowest slot simulated from the local controls that holds a bike, or -1.
static int scene_reference_rider() {
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (rider_status[i] == 0 && rider_has_bike(i)) return i;
    return -1;
}

static float frame_distance(int a, int b) {
    const dReal *p = dBodyGetPosition(bike_frame_body(&rider_table[a]));
    const dReal *q = dBodyGetPosition(bike_frame_body(&rider_table[b]));
    double dx = p[0] - q[0], dy = p[1] - q[1], dz = p[2] - q[2];
    return (float)std::sqrt(dx * dx + dy * dy + dz * dz);
}

float scene_ghost_alpha(int slot, int reference, int online) {
    if (reference >= 0 && !online && rider_status[slot] == 1) {
        // A fade distance of 0 or less fades nobody.
        float f = (float)settings.ghost_fade_distance.value;
        if (!(f > 0)) return 1;
        float d = frame_distance(reference, slot);
        float a = (d - f / 2) / (f - f / 2);
        return a >= 1 ? 1 : a > 0 ? a : 0;
    }
    return race_rider_is_ghost(slot) ? 0.0f : 1.0f;
}

static int scene_draw_mode(int slot, int onboard_slot) {
    if (slot != onboard_slot) return DRAW_MODE_NORMAL;
    return settings.hide_rider.current ? DRAW_MODE_ONBOARD_HIDDEN : DRAW_MODE_ONBOARD;
}

// Step 14: every solid rider now; the faded ones wait for step 17.
static void scene_draw_bikes(const float eye[3], int onboard_slot) {
    int reference = scene_reference_rider();
    int online = scene_hooks.online ? scene_hooks.online() : 0;
    for (int i = 0; i < RIDER_SLOTS; i++) {
        if (!rider_has_bike(i) || i == scene_hidden_slot) {
            ghost_alpha[i] = 1;
            continue;
        }
        ghost_alpha[i] = scene_ghost_alpha(i, reference, online);
        if (ghost_alpha[i] >= 1) draw_bike_and_rider(&rider_table[i], scene_draw_mode(i, onboard_slot), eye);
    }
}

// Step 17: the faded riders, each at its alpha; invisible ones are not drawn at all.
static void scene_draw_faded(const float eye[3], int onboard_slot) {
    for (int i = 0; i < RIDER_SLOTS; i++) {
        if (!rider_has_bike(i) || !(ghost_alpha[i] < 1) || !(ghost_alpha[i] > 0)) continue;
        draw_alpha = ghost_alpha[i];
        draw_bike_and_rider(&rider_table[i], scene_draw_mode(i, onboard_slot), eye);
        draw_alpha = 1;
    }
}

void scene_draw(const float eye[3], const float rotation[9], float fov_degrees, int onboard_slot) {
    // 1. Counters, flaggers, texture animations.
    render_stats = {};
    gl_info.program_switches = 0;
    model_draw_vertex_count = 0;
    model_draw_triangle_count = 0;
    scene_update_flaggers();
    tex_update_anims(race_state.current_tick);
    // 2. The viewer; the terrain's level of detail looks from here.
    for (int i = 0; i < 3; i++) {
        scene_viewer.eye[i] = eye[i];
        camera_position[i] = eye[i];
    }
    for (int i = 0; i < 9; i++) scene_viewer.rotation[i] = rotation[i];
    terrain_field *field = terrain_current;
    if (field)
        for (int i = 0; i < 3; i++) {
            field->eye[i] = eye[i];
            field->view_direction[i] = -rotation[3 * i + 2];   // the negated third column
        }
    // 3. The track script's frame.
    if (scene_hooks.script_frame) scene_hooks.script_frame();
    stage("js");
    // 4. Ground textures due (composition may draw into the back buffer: before the clear).
    if (field && field->heights) tile_render_pending(field);
    stage("rendertex");
    // 5. Projection and the view rotation.
    scene_set_projection((float)view_state.width, (float)view_state.height, fov_degrees);
    scene_turn_view(rotation);
    // 6. The environment map turns with the view.
    int shaders = game_settings.shaders_active;
    if (shaders) shader_set_envmat(rotation);
    // 7, 8. The sky box, or a plain clear for low quality.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDepthMask(GL_TRUE);
    if (game_settings.low_quality_drawing) {
        const float *c = track_lighting.fog_color;
        glClearColor(c[0], c[1], c[2], 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    } else {
        glClear(GL_DEPTH_BUFFER_BIT);
        scene_draw_sky();
    }
    // 9. Fog.
    bool fog = track_lighting.fog_density > 0;
    if (fog) glEnable(GL_FOG);
    // 10, 11. The eye, then the sun in world coordinates.
    glTranslatef(-eye[0], -eye[1], -eye[2]);
    scene_light();
    // 12. The ground.
    glDisable(GL_LIGHTING);
    if (field && field->heights) terrain_draw(field);
    stage("drawterrain");
    // 13, 14. Solid bikes and riders.
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, 0.75f);
    scene_draw_bikes(eye, onboard_slot);
    stage("drawbikes");
    // 15. Statues.
    scene_draw_statues(eye);
    stage("drawstatues");
    // 16. Billboards.
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_LIGHTING);
    scene_draw_billboards(eye, rotation);
    stage("drawbillboards");
    // 17. Faded riders.
    scene_draw_faded(eye, onboard_slot);
    stage("drawghosts");
    // 18. Back to the fixed-function pipeline.
    if (shaders) shader_use(SHADER_SLOT_FIXED);
    // 19. The robots' learned lines.
    if (game_settings.debug_level >= 2) scene_draw_learned_lines(eye);
    // 20. Fog off.
    if (fog) glDisable(GL_FOG);
    // 21. Callouts over everything, farthest first.
    if (scene_callout_count() > 0) {
        scene_sort_callouts(eye, rotation);
        scene_draw_sorted_callouts(rotation);
        glEnable(GL_DEPTH_TEST);
    }
    // 22. Lens flares over the finished picture.
    glLoadIdentity();
    glDepthFunc(GL_ALWAYS);
    scene_draw_lens_flares(eye, rotation);
    render_stats.vertices = model_draw_vertex_count;
    render_stats.triangles = model_draw_triangle_count;
    render_stats.program_switches = gl_info.program_switches;
}

uint32_t scene_sky_texture(int face) {
    return face >= 0 && face < 5 ? track_lighting.sky[face] : 0;
}

uint32_t scene_environment_texture() {
    return track_lighting.sky_env;
}

void scene_draw_learned_lines(const float eye[3]) {
    (void)eye;
}

int camera_trackside_count() {
    return scene_trackside_cameras.count;
}

void scene_lists_create() {
    if (!plyx_array_init(&scene_flares, sizeof(flare), SCENE_LIST_CAPACITY) ||
        !plyx_array_init(&scene_trackside_cameras, sizeof(camera), SCENE_LIST_CAPACITY))
        mem_out_of_memory();
    scene_connect_track_lists();
}

void scene_lists_free() {
    scene_disconnect_track_lists();
    plyx_array_free(&scene_flares);
    plyx_array_free(&scene_trackside_cameras);
}
