// The two views the frame loop sets up itself: the chase camera behind or around the viewed
// rider, and the controls of the camera view.
#pragma once

#include "bike/controls.h"

// The trackside camera of the camera view: -1 for the free camera.
extern int camera_trackside;

// Draws the scene from the chase camera of the viewed slot.
void camera_draw_chase(int slot, float fov_degrees);
// The control axes of one tick steer the chase orbit or the camera view instead of a bike.
void camera_controls_tick(const control_record *axes, int view_mode);
