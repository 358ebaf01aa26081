// The wheels' feed of the erosion: a wheel's ground contact handed to the terrain's batches.
#pragma once

#include "bike/contact.h"
#include "terrain/erode.h"

// Passes the wheel's contact of this tick (its body's velocity and the ground joint's force of
// the last world step included) to erode_wheel_contact. front: 1 the front wheel, 0 the rear.
void bike_erode_wheel(erode_batch *b, const wheel_contact &wheel, int front);
