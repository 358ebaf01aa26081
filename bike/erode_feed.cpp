// The wheels' feed of the erosion: the plain values of a wheel contact for the terrain.
#include "bike/erode_feed.h"

void bike_erode_wheel(erode_batch *b, const wheel_contact &wheel, int front) {
    erode_contact c = {};
    c.point = wheel.point;
    c.velocity = wheel.velocity;
    c.normal = wheel.normal;
    c.contact_depth = wheel.contact_depth;
    if (wheel.body) {
        const dReal *v = dBodyGetLinearVel(wheel.body);
        for (int i = 0; i < 3; i++) c.body_velocity[i] = v[i];
    }
    for (int i = 0; i < 3; i++) c.force[i] = wheel.joint_feedback.f1[i];
    erode_wheel_contact(b, c, front);
}
