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
// ran out of memory (logged).
int physics_step();

constexpr double PHYSICS_TICK = 1.0 / 128.0;
constexpr double PHYSICS_GRAVITY = -32.0;
