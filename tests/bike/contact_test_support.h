// Helpers of the contact tests: bodies in the physics world, placements, and what one soft
// contact does to a body in one step.
#pragma once

#include <ode/ode.h>

#include "bike/contact.h"
#include "bike/physics.h"

// A body of the given mass (a sphere's inertia, radius 0.5) at p, gravity off.
inline dBodyID test_body_at(vec3 p, double mass) {
    dBodyID b = dBodyCreate(physics_world);
    dMass m;
    dMassSetSphereTotal(&m, mass, 0.5);
    dBodySetMass(b, &m);
    dBodySetPosition(b, p.x, p.y, p.z);
    dBodySetGravityMode(b, 0);
    return b;
}

// Upright at p.
inline shape_transform upright_at(vec3 p) {
    return {p, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
}

// A single soft contact on one body at rest, its normal through the body's centre: over one
// step of h the solver applies the force kp d / (1 + h (h kp + kd) / m) along the normal (the
// implicit spring-damper of ERP and CFM). The speed it gives.
inline double contact_expected_speed(double kp, double kd, double depth, double mass) {
    const double h = 1.0 / 128;
    double force = kp * depth / (1 + h * (h * kp + kd) / mass);
    return h * force / mass;
}
