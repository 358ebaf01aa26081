// Riding control: the rider's pose, falls and respawn, steering, balance and the joint-force
// correction, as the bike step calls them once per tick, and the tethers and torques they use.
#pragma once

#include "bike/rider.h"

// Extra lying-down ticks by fall count (counts above 15 use entry 15): 0 unless the race server
// sets them.
extern int fall_delay_table[16];

// ---- The bike step's calls ---------------------------------------------------------------------

// The foot points: from the pose while riding, falling free beside the body while lying (the
// last call of every bike step).
void rider_update_pose(rider_slot *s);
// Throws the rider off on a too fast motion against the frame or a too hard jolt.
void rider_ejection_test(rider_slot *s);
// One tick of the respawn sequence, while the respawn counter is positive.
void rider_respawn_step(rider_slot *s);
// The automatic dab: may raise sit_dab, set both brakes and pull the frame to a stop.
void rider_auto_dab(rider_slot *s);
// Steering of the normal physics: bars driven from the steer input, the lean and the front
// wheel's travel; writes steering_aux.
void bike_steering(rider_slot *s);
// Steering of the arcade physics.
void bike_arcade_steering(rider_slot *s);
// Removes from the frame the net force and torque the joints' constraint drift put into the
// bike in the last world step.
void bike_joint_force_correction(rider_slot *s);
// Dabbing and the balance push that holds a slow bike up.
void rider_balance(rider_slot *s);
// Detaches the rider from the bike and starts the respawn counter (nothing while respawning or
// with a negative contact timer).
void rider_fall_off(rider_slot *s);

// ---- Helpers -----------------------------------------------------------------------------------

// The torque about the steering axis: on the front wheel, its opposite on the frame.
void bike_steer_torque(rider_slot *s, float torque);
// The angle of the front wheel's travel off the fork's plane, 0 when it hardly moves.
float bike_front_travel_angle(rider_slot *s);
// The greatest bar angle at the front wheel's ground speed: a quarter turn up to the full-lock
// speed, the restricted lock over the ground's grip from the restricted speed on.
float bike_lock_angle(const rider_slot *s, float speed, vec3 front_wheel_centre);
// The steering drive that turns the bars toward the target angle.
float bike_steering_response(rider_slot *s, float target);
// A one-tick spring from point a of body A to point b of body B (points in each body's own
// coordinates) that pulls only when they are farther apart than the slack.
void bike_tether(dBodyID a, vec3 pa, dBodyID b, vec3 pb, float slack);
// The springs that pull a fallen rider back to the seat as the respawn counter runs out.
void rider_reseat_springs(rider_slot *s);

constexpr float RIDING_TICK = 1.0f / 128.0f;
constexpr float RIDING_LOW_SPEED = 5.0f;     // ft/s
constexpr float RIDING_DAB_SPEED = 15.0f;    // ft/s
constexpr int RESPAWN_TICKS = 512;
constexpr int RESPAWN_BOUND_TICKS = 3840;    // after this long down the counter always runs
constexpr unsigned char SETUP_AUTO_DAB = 64;
constexpr unsigned char SETUP_AUTO_ALIGN = 128;
