// The physics world and contact group, and the handlers that keep the engine from aborting.
#include "bike/physics.h"

#include <cstdarg>
#include <cstdio>

#include "core/fatal.h"
#include "platform/plyx.h"

dWorldID physics_world = nullptr;
dJointGroupID physics_contact_group = nullptr;
int physics_message_count = 0;

// Messages (such as the solver's "LCP internal error") are logged and the run goes on.
static void physics_message(int number, const char *format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    physics_message_count++;
    plyx_log("ODE message %d: %.900s\n", number, text);
}

// Errors and failed checks: the engine exits or aborts if the handler returns, so it never does.
[[noreturn]] static void physics_error(int number, const char *format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    fatal_error("ODE error %d: %.900s", number, text);
}

int physics_open() {
    if (physics_world) return 1;
    dSetMessageHandler(physics_message);
    dSetErrorHandler(physics_error);
    dSetDebugHandler(physics_error);
    if (!dInitODE2(0)) {
        plyx_log("Can't start ODE\n");
        return 0;
    }
    physics_world = dWorldCreate();
    dWorldSetGravity(physics_world, 0, PHYSICS_GRAVITY, 0);
    physics_contact_group = dJointGroupCreate(0);
    return 1;
}

void physics_close() {
    if (!physics_world) return;
    // The group goes before the world: a world destroyed with grouped joints warns.
    dJointGroupDestroy(physics_contact_group);
    dWorldDestroy(physics_world);
    physics_contact_group = nullptr;
    physics_world = nullptr;
    dCloseODE();
}

int physics_step() {
    int ok = dWorldStep(physics_world, PHYSICS_TICK);
    if (!ok) plyx_log("ODE world step failed: out of memory\n");
    dJointGroupEmpty(physics_contact_group);
    return ok;
}

int physics_live_bodies = 0;
int physics_live_joints = 0;

dBodyID physics_body_create() {
    dBodyID b = dBodyCreate(physics_world);
    if (b) physics_live_bodies++;
    return b;
}

void physics_body_destroy(dBodyID body) {
    if (!body) return;
    dBodyDestroy(body);
    physics_live_bodies--;
}

static dJointID counted(dJointID j) {
    if (j) physics_live_joints++;
    return j;
}

dJointID physics_hinge_create() {
    return counted(dJointCreateHinge(physics_world, nullptr));
}

dJointID physics_hinge2_create() {
    return counted(dJointCreateHinge2(physics_world, nullptr));
}

dJointID physics_slider_create() {
    return counted(dJointCreateSlider(physics_world, nullptr));
}

void physics_joint_destroy(dJointID joint) {
    if (!joint) return;
    dJointDestroy(joint);
    physics_live_joints--;
}

void physics_set_mass(dBodyID body, dMass *mass) {
    mass->c[0] = mass->c[1] = mass->c[2] = 0;
    dBodySetMass(body, mass);
}
