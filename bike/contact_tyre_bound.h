// How near a tyre's ring can come to a terrain triangle's edges and corners: a bound, in double,
// that lets the deepest tyre search skip the edge search where it cannot find the deepest contact.
#pragma once

#include "core/vec3.h"

// The tyre for the bound: centre, unit axle, ring radius, and the slack that covers the rounding
// of the single-precision edge search at these coordinates. usable false: the bound never skips.
struct tyre_bound {
    double c[3], a[3], R, slack;
    bool usable;
};

// The bound for the tyre of centre c, axle a (of about unit length), radii R and r.
tyre_bound tyre_bound_make(vec3 c, vec3 a, float R, float r);
// False only when every edge of the triangle lies farther than limit from the ring and every
// corner farther than limit from the wheel's disc (the radius R disc the ring bounds), in exact
// arithmetic. True when the bound is not usable or a value is not finite.
bool tyre_edges_within(const tyre_bound &b, const vec3 tri[3], double limit);

// Halvings of an edge the bound tries before it gives up and answers true.
constexpr int TYRE_BOUND_SPLITS = 5;
