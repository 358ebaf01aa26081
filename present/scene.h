// The scene: projection, the views of the world, callouts, flaggers, trackside cameras.
#pragma once

#include <ode/ode.h>

#include "platform/plyx.h"

// The lens flares (rows of pointer size until their owner gives its) and the trackside cameras
// of the track (rows of camera, present/camera.h).
// Marks the end of a stage of the frame's drawing for the frame loop's stutter check; set by
// start-up, null outside the game.
extern void (*scene_stage_hook)(const char *label);
extern growable_array scene_flares;
extern growable_array scene_trackside_cameras;

// Viewport (0, 0, width, height) and a perspective for the field of view (degrees, the
// horizontal angle of a 4:3 view); stores the half-extents at unit depth in view_state. Leaves
// the model-view matrix selected and loaded with identity.
void scene_set_projection(float width, float height, float fov_degrees);
// Draws the world from the eye with the rotation (row-major 3 x 3) and field of view; the
// onboard slot carries the camera, or -1.
void scene_draw(const float eye[3], const float rotation[9], float fov_degrees, int onboard_slot);
// The onboard view from a rider's body.
void scene_draw_rider_view(dBodyID body, int slot);
// The key-frame, free or trackside camera's view.
void scene_draw_camera_view();
// Animates the flaggers whose state changed.
void scene_update_flaggers();
// A 3D text callout at the point.
void scene_add_callout(float x, float y, float z, const char *text);
// Distance from the point to the newest callout; SCENE_NO_CALLOUT when there is none.
float scene_callout_distance(float x, float y, float z);
// Average ground height around (x, z) (present/camera.h).
float camera_ground_height(float x, float z, float radius);
// Number of trackside cameras of the track.
int camera_trackside_count();
// Makes the empty flare and trackside-camera lists with room for 16 rows; frees them.
void scene_lists_create();
void scene_lists_free();

constexpr float SCENE_NO_CALLOUT = 1000000.0f;
constexpr int SCENE_LIST_CAPACITY = 16;
