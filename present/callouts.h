// Callouts: white speech-bubble labels with black text hung at points in the world, drawn over
// everything, farthest first.
#pragma once

#include <cstdint>

#include "platform/plyx.h"

// One callout: its point (ft), the depth key the sort wrote, the text (cut at 1023 characters).
struct callout {
    float x, y, z;
    int32_t depth_key;
    char text[1024];
};

// The rows of callout, and the order: two ints per row; after a sort its first half holds the
// rows to draw, farthest first, ended by -1 (the second half is the sort's scratch).
extern growable_array scene_callouts;
extern growable_array scene_callout_order;

// Appends a callout; dropped when the list is full (one warning until the list is cleared) or
// cannot grow.
void scene_add_callout(float x, float y, float z, const char *text);
// Empties the list and the order.
void scene_clear_callouts();
int scene_callout_count();
// Distance from the point to the newest callout; SCENE_NO_CALLOUT when there is none.
float scene_callout_distance(float x, float y, float z);
// Keys every callout along the view's backward axis (third column of the row-major rotation)
// and fills the order with those more than 2 ft in front of the eye, farthest first, then -1.
// Returns how many were kept.
int scene_sort_callouts(const float eye[3], const float rotation[9]);
// Draws one callout at the point: the bubble turned about the vertical toward the view, its
// text in black above the pointer. No depth test, texturing and blending off afterwards.
void scene_draw_callouts(const float position[3], const float rotation[9], const char *text);
// Draws every callout of the last sort, farthest first, as scene_draw_callouts draws each in
// turn, in one batch.
void scene_draw_sorted_callouts(const float rotation[9]);
// Fills the triangle fan of a bubble over n lines of text w wide (callout units): 9 points of
// x, y; returns the point count.
int scene_callout_fan(float fan[18], int lines, float width);

constexpr float SCENE_NO_CALLOUT = 1000000.0f;
constexpr int SCENE_CALLOUTS_MAX = 4096;
constexpr int SCENE_CALLOUT_TEXT_MAX = 1023;
