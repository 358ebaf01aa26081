// The physics world and its one contact group: starting and ending the engine, the world step.
#pragma once

#include <ode/ode.h>

extern dWorldID physics_world;              // null while closed
extern dJointGroupID physics_contact_group; // every one-tick joint lives here

// Installs the engine's message, error and debug handlers, starts the engine, makes the world
// with gravity (0, PHYSICS_GRAVITY, 0) and the contact group. 1, or 0 when the engine can't start.
int physics_open();
// Empties and destroys the contact group, destroys the world and closes the engine; nothing
// when closed.
void physics_close();
// One world step of PHYSICS_TICK seconds, then the contact group emptied. 1, or 0 when the step
// ran out of memory (logged). A step whose exact solver reports a message is taken back for the
// bodies made through physics_body_create and run again with the iterative solver. When there
// are such bodies and all of them are disabled, nothing could move and the step is left out.
int physics_step();
// The engine's messages (such as the solver's "LCP internal error") since the start.
extern int physics_message_count;

constexpr double PHYSICS_TICK = 1.0 / 128.0;
constexpr double PHYSICS_GRAVITY = -32.0;

// Bodies and permanent joints made and destroyed through these are counted (leak checks: ODE
// keeps no count). Joints are made in the world, outside the contact group.
extern int physics_live_bodies;
extern int physics_live_joints;
dBodyID physics_body_create();
void physics_body_destroy(dBodyID body);
dJointID physics_hinge_create();
dJointID physics_hinge2_create();
dJointID physics_slider_create();
void physics_joint_destroy(dJointID joint);
// Sets the mass on the body with its centre moved to the origin first (ODE insists on it; the
// offsets left by adding and rotating masses are rounding noise).
void physics_set_mass(dBodyID body, dMass *mass);
