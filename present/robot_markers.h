// The debug markers of a robot's working line: a black pad at every point with a small square
// above and below it, white at the point the robot heads for.
#pragma once

#include "bike/rider.h"

// One marker quad: four corners (x, y, z) in drawing order and its colour.
struct marker_quad {
    float corners[4][3];
    float colour[3];
};

// The slot's marker quads, four per working-line point (the black pad in both windings, the
// square above facing up, the one below facing down): the count written, at most max.
int robot_marker_quads(const rider_slot *s, marker_quad *out, int max);
// Draws the slot's markers as one run of quads, texturing and blending off.
void draw_robot_markers(const rider_slot *s);

constexpr int MARKER_QUADS_PER_POINT = 4;
