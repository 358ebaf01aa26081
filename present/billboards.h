// Billboards in the scene: depth keys, the radix sort back to front, batching by texture where
// screen spans allow, and the drawing of the sorted list.
#pragma once

#include <cstdint>

#include "race/objects.h"
#include "race/track.h"

// The depth key of a distance along the view axis: floor(d x 1024 + 2^24) in 0..2^32 - 1.
// 0 when d is not finite (the caller neither keys nor draws such a row), else 1.
int scene_depth_key(double along, uint32_t *key);
// Sorts the unsigned keys of `count` indices (stable, four byte passes) from `from` into
// `from`, using `scratch` (room for count) between passes.
void scene_radix_sort(int *from, int *scratch, int count, const uint32_t *keys);
// Keys every drawable row (texture and alpha set, position finite) and fills the first half of
// order (room for 2 x count) with the rows in front of the eye, farthest first, then -1.
// Returns how many were kept.
int billboard_sort(billboard *rows, int count, int *order, const float eye[3],
                   const float rotation[9]);
// The right vector of upright billboards for the view: 0 when the view looks straight up or
// down (no billboard is drawn then).
int billboard_right(float right[3], const float rotation[9]);
// Moves a later row of the same texture next to each entry, within `lookahead` entries and
// only when its screen span overlaps none of those it passes.
void billboard_batch(const billboard *rows, int *order, int lookahead, const float eye[3],
                     const float right[3]);
// Draws the list up to its -1 (at most count rows); the number drawn.
int billboard_draw_list(const billboard *rows, int count, const int *order, const float right[3]);
// The scene's stage: keys, sort, batching and drawing of the track's billboards.
void scene_draw_billboards(const float eye[3], const float rotation[9]);
