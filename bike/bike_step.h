// The bike step: one tick of a rider's bike (forces, joint values and the one-tick joints the
// next world step uses), the tick's ground contacts, placing a bike clear of the ground, and
// the checked calls through which every value a bike hands the physics passes.
#pragma once

#include "bike/rider.h"

// ---- The step ---------------------------------------------------------------------------------

// One tick for one rider: what it adds acts in the next world step.
void bike_step(rider_slot *s);
// True while the rider takes part in collisions: presence above the ghost's.
bool rider_is_solid(const rider_slot *s);
// The tick's terrain contacts of the bike: both wheels (filling their records) and the frame,
// fork, swingarm and rider shapes. The bits of what touched (1 frame, 2 front wheel, 4 rear
// wheel, 8 upper fork, 16 lower fork, 32 swingarm, 64 rider), 0 for none or an empty slot.
int bike_ground_contacts(rider_slot *s);
// Does nothing: 0.
int bike_no_op(rider_slot *s);

// ---- Placement --------------------------------------------------------------------------------

// Raises the bike 0.25 ft at a time while it touches the ground, emptying the contact group
// and zeroing its bodies' forces each time. Bounded: after ceil((highest ground - start) / 0.25)
// + 64 raises it stops with a warning. 1 when the bike ends clear, else 0.
int bike_lift_clear(int slot);
// Resets the bike, turns it to the heading (about the vertical), puts it on the height grid's
// value at (x, z) and lifts it clear. A non-finite x, z or heading places nothing: 0.
int bike_drop_to_ground(int slot, float x, float z, float yaw);

// ---- The finite check -------------------------------------------------------------------------

// The checked calls: a value that is not finite is dropped and marks the slot.
void bike_add_force(rider_slot *s, dBodyID body, vec3 f);
void bike_add_force_at_rel_pos(rider_slot *s, dBodyID body, vec3 f, vec3 p);
void bike_add_torque(rider_slot *s, dBodyID body, vec3 t);
void bike_add_rel_torque(rider_slot *s, dBodyID body, vec3 t);
// A joint parameter of a hinge, hinge-2, slider or angular motor.
void bike_joint_param(rider_slot *s, dJointID joint, int param, double value);
// A one-tick angular motor on the frame about a world axis, at the velocity with at most the
// force; null (and nothing made) for values that are not finite.
dJointID bike_frame_amotor(rider_slot *s, vec3 axis, double velocity, double fmax);
// A one-tick spring contact joint (soft ERP and CFM from kp and kd over one tick, no
// friction) attached (b1, b2): b1 is pushed along the unit normal. Null when nothing is made.
dJointID bike_spring_contact(rider_slot *s, dBodyID b1, dBodyID b2, vec3 position, vec3 normal,
                             float depth, float kp, float kd);
// A soft contact's ERP and CFM for the spring kp and damping kd over one tick: 0 when
// kd + h kp is not positive.
int bike_soft_values(float kp, float kd, double *erp, double *cfm);
// After a world step: 1 when the bike is sound (and its place is remembered); 0 when it was
// marked, holds a value that is not finite or runs away, and was put back where it last was
// sound (with a warning).
int bike_check_finite(int slot);
// Before a world step, for a bike that is not sound: its bodies are stopped and what is not
// finite is put in a finite place, so that the step sees no NaN; the slot is marked, and the
// check after the step puts the bike back.
void bike_hold_finite(rider_slot *s);
// The slot's bodies and engine hold only finite values within the runaway limits.
bool bike_state_finite(const rider_slot *s);

// The tick and the gate drop through the hooks (0 when unset).
int bike_current_tick();
int bike_gate_drop_tick();

constexpr float BIKE_LOW_SPEED = 5.0f;       // ft/s
constexpr float BIKE_DAB_SPEED = 15.0f;      // ft/s
constexpr double BIKE_RUNAWAY_SPEED = 1000.0;       // ft/s
constexpr double BIKE_RUNAWAY_SPIN = 2000.0;        // rad/s
constexpr float BIKE_LIFT_STEP = 0.25f;      // ft
constexpr int BIKE_LIFT_EXTRA = 64;
