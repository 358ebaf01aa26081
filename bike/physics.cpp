// The physics world and contact group, and the handlers that keep the engine from aborting.
#include "bike/physics.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/fatal.h"
#include "platform/plyx.h"

dWorldID physics_world = nullptr;
dJointGroupID physics_contact_group = nullptr;
int physics_message_count = 0;

// Every body made through physics_body_create, so a failed step can be taken back.
static std::vector<dBodyID> physics_bodies;

// Messages (such as the solver's "LCP internal error") are logged and the run goes on. A
// message that repeats every tick would flood the log: past the first 20, one in 1000.
static void physics_message(int number, const char *format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    physics_message_count++;
    if (physics_message_count <= 20 || physics_message_count % 1000 == 0)
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
    physics_bodies.clear();
    physics_contact_group = nullptr;
    physics_world = nullptr;
    dCloseODE();
}

// What the world step changes in a body, kept to take a failed step back.
struct body_state {
    dReal p[3], q[4], v[3], w[3], f[3], t[3];
};

static body_state body_save(dBodyID b) {
    body_state k;
    memcpy(k.p, dBodyGetPosition(b), sizeof k.p);
    memcpy(k.q, dBodyGetQuaternion(b), sizeof k.q);
    memcpy(k.v, dBodyGetLinearVel(b), sizeof k.v);
    memcpy(k.w, dBodyGetAngularVel(b), sizeof k.w);
    memcpy(k.f, dBodyGetForce(b), sizeof k.f);
    memcpy(k.t, dBodyGetTorque(b), sizeof k.t);
    return k;
}

static void body_restore(dBodyID b, const body_state &k) {
    dBodySetPosition(b, k.p[0], k.p[1], k.p[2]);
    dBodySetQuaternion(b, k.q);
    dBodySetLinearVel(b, k.v[0], k.v[1], k.v[2]);
    dBodySetAngularVel(b, k.w[0], k.w[1], k.w[2]);
    dBodySetForce(b, k.f[0], k.f[1], k.f[2]);
    dBodySetTorque(b, k.t[0], k.t[1], k.t[2]);
}

// Whether every body the world holds is disabled, as when only a demo's riders are loaded: a
// step would move nothing then, since joints and contacts wake a body only from an enabled one.
// Known only when bodies were made here; a world of none made here is always stepped.
static bool only_disabled_bodies() {
    for (dBodyID b : physics_bodies)
        if (dBodyIsEnabled(b)) return false;
    return !physics_bodies.empty();
}

// The exact solver fails on some sets of stiff, nearly parallel constraints (a seated rider's
// springs beside the rider joint's suspension): it reports "LCP internal error" and leaves
// forces out, so the bike falls through the ground. Such a step is taken back and run again
// with the iterative solver, which always gives an answer.
int physics_step() {
    if (only_disabled_bodies()) {
        dJointGroupEmpty(physics_contact_group);
        return 1;
    }
    static std::vector<body_state> saved;
    saved.clear();
    for (dBodyID b : physics_bodies) saved.push_back(body_save(b));
    int before = physics_message_count;
    int ok = dWorldStep(physics_world, PHYSICS_TICK);
    if (!ok) {
        plyx_log("ODE world step failed: out of memory\n");
    } else if (physics_message_count != before) {
        for (size_t i = 0; i < physics_bodies.size(); i++) body_restore(physics_bodies[i], saved[i]);
        dWorldQuickStep(physics_world, PHYSICS_TICK);
    }
    dJointGroupEmpty(physics_contact_group);
    return ok;
}

int physics_live_bodies = 0;
int physics_live_joints = 0;

dBodyID physics_body_create() {
    dBodyID b = dBodyCreate(physics_world);
    if (b) {
        physics_live_bodies++;
        physics_bodies.push_back(b);
    }
    return b;
}

void physics_body_destroy(dBodyID body) {
    if (!body) return;
    physics_bodies.erase(std::remove(physics_bodies.begin(), physics_bodies.end(), body), physics_bodies.end());
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
