// The two views the frame loop sets up itself: the chase camera behind or around the viewed
// rider, and the controls of the camera view.
#pragma once

#include "bike/controls.h"
#include "core/vec3.h"

// The chase camera's orbit around a rider who is not the player's, and what the last chase
// view used.
struct chase_camera_state {
    float yaw;            // radians, -pi..pi
    float distance;       // ft, at least 0.25
    float height;         // ft
    vec3 direction;       // the last usable direction from the target to the eye
    int has_view;         // eye and rotation hold a drawn view
    float eye[3];
    float rotation[9];
    float free_speed;     // the free camera's forward speed, ft/s, -100..100
    float previous_sit_dab;
};
extern chase_camera_state chase_camera;

// Back to the start: orbit yaw 0, distance 10, height 5, direction (0, 0, 1), no view.
void chase_camera_reset();
// The eye and rotation of the chase view of the slot, without drawing: 1, or 0 when the slot
// has no bike (the outputs then hold the last view, or the origin looking along -z).
int chase_camera_view(int slot, int player_view, float eye[3], float rotation[9]);
// Draws the scene from the chase camera of the viewed slot.
void camera_draw_chase(int slot, float fov_degrees);
// While tracking, a trackside camera in use gives way to the camera the track names for the
// slot's next timing point: 1 when it switched.
int camera_switch_by_timing(int slot);
// The control axes of one tick steer the chase orbit (view 3) or the camera view (view 4)
// instead of a bike.
void camera_controls_tick(const control_record *axes, int view_mode);
