// The scene: projection, the views of the world, callouts, flaggers, trackside cameras.
#pragma once

#include <cstdint>

#include <ode/ode.h>

#include "platform/plyx.h"

// The view drawn last: eye, view rotation (row-major 3 x 3, columns right, up, backward) and the
// viewer's velocity (ft/s; the caller sets it: zero for cameras off the bike).
struct scene_viewer_record {
    float eye[3];
    float rotation[9];
    float velocity[3];
};
// What a frame drew; scene_draw zeroes all five.
struct render_stats_record {
    int vertices, triangles, billboards, texture_binds, program_switches;
};

extern scene_viewer_record scene_viewer;
extern render_stats_record render_stats;
// The material alpha of bike, rider and statue drawing: 1 but for faded riders.
extern float draw_alpha;
// Per slot, the fade of its rider in the last frame (1 solid, 0 not drawn).
extern float ghost_alpha[160];
// A slot whose bike and rider the scene leaves out, or -1 (the start value): lets a picture be
// compared with the same picture without that bike.
extern int scene_hidden_slot;

// Marks the end of a stage of the frame's drawing for the frame loop's stutter check; set by
// start-up, null outside the game.
extern void (*scene_stage_hook)(const char *label);
// What the scene asks of the layers above it, set by start-up; null reads as nothing to do and
// offline.
struct scene_hook_table {
    void (*script_frame)();
    int (*online)();
};
extern scene_hook_table scene_hooks;
// The lens flares (rows of flare, race/track.h) and the trackside cameras of the track (rows of
// camera, present/camera.h), filled by the track load.
extern growable_array scene_flares;
extern growable_array scene_trackside_cameras;

// Viewport (0, 0, width, height) and a perspective for the field of view (degrees, the
// horizontal angle of a 4:3 view); stores the half-extents at unit depth in view_state. Leaves
// the model-view matrix selected and loaded with identity.
void scene_set_projection(float width, float height, float fov_degrees);
// Turns the current matrix by the view rotation (row-major 3 x 3, columns right, up, back).
void scene_turn_view(const float rotation[9]);
// Draws the world from the eye with the rotation (row-major 3 x 3) and field of view; the
// onboard slot carries the camera, or -1.
void scene_draw(const float eye[3], const float rotation[9], float fov_degrees, int onboard_slot);
// The onboard view from a rider's frame body.
void scene_draw_rider_view(dBodyID body, int slot);
// The key-frame, free or trackside camera's view.
void scene_draw_camera_view();
// Animates the flaggers whose state changed.
void scene_update_flaggers();
// The fade of the slot's rider against the reference rider (-1 none): 1 solid, 0 not drawn.
float scene_ghost_alpha(int slot, int reference, int online);
// The frame's named calls, filled in by the trackside objects and the race information.
void scene_draw_statues(const float eye[3]);
void scene_draw_lens_flares(const float eye[3], const float rotation[9]);
// The learned lines of the robots (debug level 2).
void scene_draw_learned_lines(const float eye[3]);
// The sky face's texture (0 north, 1 east, 2 south, 3 west, 4 up) and the environment
// texture the chrome mirrors; 0 for none.
uint32_t scene_sky_texture(int face);
uint32_t scene_environment_texture();
// The eye distance of a depth-buffer value under the frame's projection.
float scene_linear_depth(float depth);
// The field of view and clip planes the projection uses: the field of view within 1..179
// (the "Field Of View" setting for NaN), far at least twice near.
float scene_clamp_fov(float fov_degrees);
void scene_clip_planes(double *near_plane, double *far_plane);
// Average ground height around (x, z) (present/camera.h).
float camera_ground_height(float x, float z, float radius);
// Number of trackside cameras of the track.
int camera_trackside_count();
// Makes the empty flare and trackside-camera lists with room for 16 rows; frees them.
void scene_lists_create();
void scene_lists_free();
// Points the track load at the flare and camera lists; takes it away again.
void scene_connect_track_lists();
void scene_disconnect_track_lists();

constexpr int SCENE_LIST_CAPACITY = 16;
