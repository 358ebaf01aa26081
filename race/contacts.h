// The race's contacts: the 8 x 8 grid that finds the statues near a rider, one rider's ground
// and statue contacts, the order riders are collided in, and the off-course and ghost rules.
#pragma once

#include "bike/rider.h"
#include "platform/plyx.h"

// Buckets [cz][cx] of statue indices in ascending order; only statues with a shape.
extern growable_array statue_grid[8][8];

// The cell of a coordinate on a track of size extent: the middle three quarters split in 6,
// everything outside in the border cells; NaN reads as 0.
int track_grid_cell(double p, double extent);
// Enters statue i into every bucket its bounding circle touches.
void track_grid_add_statue(int i);
// Empties the buckets and enters every statue in index order.
void track_rebuild_statue_grid();
// Frees the buckets and the scratch lists.
void track_grid_free();
// The statues to test for a frame at (x, z): ascending, without duplicates. The list stays
// valid until the next call.
const growable_array *track_grid_statues_near(float x, float z);

// How far from the frame any part of the bike reaches now: the largest distance of a body from
// the frame plus its shape's bounding radius (a wheel's tyre when larger); 0 without a bike.
float race_bike_reach(const rider_slot *s);
// The rider's ground contacts, then its contacts with the statues near it (each statue it
// touches gets this tick as its last hit tick). early_out skips statues beyond reach.
void race_collide_statues(rider_slot *s);
void race_collide_statues_with(rider_slot *s, int early_out);
// The arm statues of the start gates against the rider (a gate arm without a shape is skipped,
// and so is one beyond reach: the rider's race_bike_reach, measured once for all the rows).
void race_collide_statue_row(rider_slot *s, int row, float reach);
// Comparator of two rider_slot pointers for util_heapsort: the faster frame first.
int race_compare_speed(const void *a, const void *b);

// 1 when the slot is off course in the section that ends at timing index i: slower through it
// than the first rider of the running order that timed it, by off_course_scale and
// off_course_bias.
int race_section_too_slow(int slot, int i);
// The ticks of the two history records around tick t: 1, or 0 when the slot's history is empty.
int race_history_ticks_around(int slot, int t, int *older, int *newer);

constexpr float RACE_GRID_REACH = 6.0f;   // ft around the frame whose cells are searched
