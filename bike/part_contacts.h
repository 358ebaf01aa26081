// The bike's parts against other shapes: a statue or any shape on a body (or fixed), and one
// rider's bike against another's, with the contact timers and falls these touches decide.
#pragma once

#include "bike/rider.h"

// Part bits of the masks these return.
constexpr int PART_BIT_FRAME = 1;
constexpr int PART_BIT_FRONT_WHEEL = 2;
constexpr int PART_BIT_REAR_WHEEL = 4;
constexpr int PART_BIT_FORK_UPPER = 8;
constexpr int PART_BIT_FORK_LOWER = 16;
constexpr int PART_BIT_SWINGARM = 32;
constexpr int PART_BIT_RIDER = 64;

// Every part of the slot's bike that has a shape against the shape at t on body (null: fixed).
// flag is the contact mode of the wheels, frame, swingarm and rider (0 joints, -1 only a test,
// anything else penalty forces); the forks take flag too, or -1 when mode is non-zero. Returns
// the bits of the parts that touched; 0 for a slot without a bike or a null shape.
int collide_shape_pair(rider_slot *s, collision_shape *shape, dBodyID body,
                       const shape_transform &t, int flag, int mode);
// The slot's parts against a statue or other body's shape, with joints; a rider shape that
// touches while riding throws the rider off when its velocity relative to the body (absolute
// without one) is above 20 ft/s. The bits touched.
int bike_rider_contacts(rider_slot *s, collision_shape *shape, dBodyID body,
                        const shape_transform &t);
// a's parts against b's: a second contact of either rider in the same tick makes penalty
// forces instead of joints; mode non-zero makes b's fork contacts tests only (a's rear wheel,
// frame, swingarm and rider pass it on). Raises the contact timers (64 front to front, 128 to
// the rider whose front rams the other) and marks both riders' contact tick. The bits of b's
// parts touched.
int collide_riders(rider_slot *a, rider_slot *b, int mode);
// collide_riders(list[i], list[j], mode) for every pair i < j in that order, each bike's reach
// measured once for the whole pass (count at most RIDER_SLOTS).
void collide_rider_list(rider_slot **list, int count, int mode);

constexpr float RIDER_HIT_SPEED = 20.0f;          // ft/s against a body
constexpr float RIDER_CONTACT_FRONT = 64.0f;       // timers, ticks
constexpr float RIDER_CONTACT_RAM = 128.0f;
constexpr float RIDER_CONTACT_RAMMED = -640.0f;
