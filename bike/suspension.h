// Suspension and rider springs: the rider's seat springs and hinge-2 suspension, the fork and
// the shock as joint motors, and their read-outs.
#pragma once

#include "bike/rider.h"

// The stroke of the rear linkage at the swingarm's travel r (0..1) and its slope dS/dr.
struct linkage_point {
    float stroke, slope;
};

// One of the rider's seat springs: made or not, the unit normal the rider is pushed along,
// the depth, spring and damping.
struct seat_spring {
    bool made;
    vec3 normal;
    float depth, kp, kd;
};

// The fore-aft (0) and vertical (1) seat springs of this tick; 0 for a slot without a bike.
int bike_seat_spring_values(const rider_slot *s, seat_spring out[2]);
// One tick: seat springs, the rider joint's suspension, fork and shock forces.
void bike_suspension_step(rider_slot *s);
// The rider's seat springs and the rider joint's suspension.
void bike_seat_springs(rider_slot *s);
// The rider joint's suspension CFM: a damper of RIDER_SUSPENSION_FIRMNESS x (30 x forward
// damping + 5) x mf (the mass factor), 0 for a rider without mass.
double bike_rider_suspension_cfm(float mf, float forward_damping);
// The fork's spring force on its slider for position x and rate u (before the fade).
float bike_fork_force(const rider_slot *s, float x, float u);
// The shock's torque on the swingarm hinge for angle a and rate w.
float bike_shock_torque(const rider_slot *s, float a, float w);
// The two-stage damper: a force against u, eight times steeper at low speed until it meets
// the high-speed line raised by the slow value; never along u.
float suspension_damper(float u, float c, float slow);
// The rear linkage curve of the row at r.
linkage_point bike_linkage(const bike_info *row, float r);
// Read-outs: compression, speed and damping of the fork and of the shock.
void bike_front_suspension(const rider_slot *s, float *compression, float *speed, float *damping);
void bike_rear_suspension(const rider_slot *s, float *compression, float *speed, float *damping);
// The read-outs' damping for a speed and its pair of constants (compression a, b; rebound c, d).
float suspension_readout_damping(float u, float a, float b, float c, float d);

constexpr float SEAT_STIFF = 2500.0f;
constexpr float RIDER_MASS_FACTOR = 0.21333333333333335f;
// The setting's damper line taken ten times firmer: with the line as it is (5 to 35 x mf), a
// light rider (a third to 0.45 of the rider's mass on the rider's body) and forward damping at
// or below the middle leave the solver degenerate, "LCP internal error" every step from the
// first, and the bike falls through the ground. Ten times keeps the setting's proportions.
constexpr double RIDER_SUSPENSION_FIRMNESS = 10.0;
constexpr float FORK_AIR_CONSTANT = 82.46169281005859375f;
constexpr float FORK_AIR_EXPONENT = 1.39999997615814208984375f;
