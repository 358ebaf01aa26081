// Where a stopped, leaning bike is turned back to: the look-ahead point on the track, and whether
// the rider's timing allows the turn.
#pragma once

#include "bike/rider.h"

// The look-ahead point of the rider at the depth (0 for the rider's own segment): 1 with the
// point, 0 without timing points. A person aims 4 points past the nearest point of the best line
// of its segment (on into the next segment's best line); a robot aims at its working line's
// target point; otherwise, and after the last line, at the centre of the checkpoint ahead.
int bike_align_target(rider_slot *s, int depth, float out[3]);
// 1 when the rider may be realigned: the track has timing points, the rider passed at least one
// and has not finished (its finished flag is brought up to date here).
int race_realign_allowed(rider_slot *s);
