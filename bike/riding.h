// Riding control: the rider's pose, falls and respawn, steering, balance and the joint-force
// correction, as the bike step calls them once per tick.
#pragma once

#include "bike/rider.h"

// Poses the rider's body parts on the bike (the last call of every bike step).
void rider_update_pose(rider_slot *s);
// Throws the rider off on a too fast relative motion or a too hard jolt.
void rider_ejection_test(rider_slot *s);
// One tick of the respawn sequence, while the respawn counter is positive.
void rider_respawn_step(rider_slot *s);
// The automatic dab: may raise sit_dab, set both brakes and pull the frame to a stop.
void rider_auto_dab(rider_slot *s);
// Steering of the normal physics.
void bike_steering(rider_slot *s);
// Steering of the arcade physics.
void bike_arcade_steering(rider_slot *s);
// Corrects what the joints' constraint forces leave undone.
void bike_joint_force_correction(rider_slot *s);
// Keeps the bike and rider upright.
void rider_balance(rider_slot *s);
// Detaches the rider from the bike and starts the respawn counter.
void rider_fall_off(rider_slot *s);
