// The onboard camera on a bike's frame with its gimbal and look-down.
#pragma once

#include "present/pose.h"

// The onboard camera's backward axis of the last frame and the race time it was made at.
struct onboard_gimbal_record {
    float backward[3];
    double time;
};
extern onboard_gimbal_record onboard_gimbal_state;

// The onboard eye and view rotation for the frame body at race time t (seconds), with the
// settings' height, gimbal and look-down; advances the gimbal state. The eye points are in the
// rider's seated coordinates: seat is where the rider rests on the frame, in frame coordinates,
// so the eye sits at the rider's head yet moves rigidly with the frame.
void onboard_view(const body_pose &frame, const float seat[3], double t, float eye[3],
                  float rotation[9]);
// The rider's rest point on the frame in frame coordinates for a bike row (zero without one).
void onboard_seat(const bike_info *row, float seat[3]);
// The "--print-orientation" line of the view: race time, eye, right and backward axes.
void onboard_print_orientation(double t, const float eye[3], const float rotation[9]);

constexpr float ONBOARD_LOW[3] = {0, 0.5f, -0.4f};
constexpr float ONBOARD_HIGH[3] = {0, 1.0583830f, -1.1933695f};
