// ride-log's riding-control rides: a turn at speed, a crash into a rail and the rejoin, a bike on
// its side, and level drops from 4 and 64 ft.
#pragma once

#include <functional>

#include "bike/rider.h"

// 1 when the name is one of these rides.
int ride_is_control(const char *ride);
// Runs the named ride with the bike in slot 0 dropped at (x, z) facing yaw; step runs one tick
// (with its line every 32 ticks), each tick first calling the function. 0, or 1 when the ride
// could not run.
int ride_control(const char *ride, rider_slot *s, float x, float z, float yaw,
                 const std::function<void(int, const std::function<void(int)> &)> &run);
