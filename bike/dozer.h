// The earth-moving vehicle: eight skid-steered wheels on a chassis, a blade whose height follows
// a target, and four working modes that cut, push, fill or flatten the ground under the blade.
// Nothing in the game makes one; tests and the developer tools do.
#pragma once

#include <ode/ode.h>

#include "terrain/terrain.h"

// What the ground work of the last ticks did (the caller zeroes it when it wants a count).
struct dozer_work_totals {
    int samples;        // height changes (a pushed sample may change more than once)
    int tiles;          // tile cells painted
    int skipped;        // ticks without ground work (tipped over, or not finite)
    double cut;         // height taken off, feet summed over the samples
    double filled;      // height added by filling or flattening
};

struct dozer {
    dBodyID bodies[9];          // wheels as pairs (left x = -5, right x = +5) from the front
                                // pair (z = -5) to the back (z = +5), then the chassis
    dJointID wheel_joints[8];   // wheel to chassis hinges
    float steer;                // difference of wheel speeds between the sides
    float blade;                // present blade height, -1..1
    float blade_target;
    float blade_rate;           // manual blade speed per second
    int mode;                   // 0 push, 1 cut, 2 fill, 3 flatten
    dozer_work_totals totals;
};

// A vehicle at rest in the physics world (physics_open first): null when out of memory or
// without a world.
dozer *dozer_create();
// Destroys the joints, then the bodies, and frees the record.
void dozer_destroy(dozer *d);
// Every body back at its rest pose with no velocity; blade and target 0.5; steer, rate and
// mode 0.
void dozer_reset(dozer *d);
// Moves every body by (dx, dy, dz).
void dozer_translate(dozer *d, float dx, float dy, float dz);
// Sets every wheel motor: speed - steer on the left, speed + steer on the right.
void dozer_drive(dozer *d, float speed);
void dozer_set_steer(dozer *d, float steer);
void dozer_set_blade_target(dozer *d, float target);
void dozer_set_blade_rate(dozer *d, float rate);
void dozer_set_mode(dozer *d, int mode);
dBodyID dozer_get_chassis(dozer *d);
// Moves the blade toward its target (and by its rate) for one tick.
void dozer_update_blade(dozer *d);
// One tick of wheel contacts and digging on the field: 1, or 0 when the vehicle is tipped over
// or not finite and did no ground work.
int dozer_work_ground(dozer *d, terrain_field *f);
// One tick: the blade, the ground work, then the world step.
int dozer_tick(dozer *d, terrain_field *f);

constexpr int DOZER_WHEELS = 8;
constexpr int DOZER_CHASSIS = 8;
constexpr float DOZER_REST_HEIGHT = 2.0f;
constexpr float DOZER_TRACK_WIDTH = 10.0f;
constexpr float DOZER_TRACK_LENGTH = 10.0f;
constexpr float DOZER_WHEEL_Y = 1.0f;
constexpr float DOZER_WHEEL_RADIUS = 1.0f;
constexpr float DOZER_CHASSIS_MASS = 7.8125f;
constexpr float DOZER_BLADE_HALF_WIDTH = 6.0f;
constexpr float DOZER_BLADE_DISTANCE = 7.0f;
constexpr float DOZER_BLADE_PIVOT = 2.0f;      // below the chassis origin
constexpr float DOZER_MOTOR_FORCE = 10000.0f;
constexpr float DOZER_FLAT_REACH = 0.5f;       // modes 2 and 3 work this near the edge
constexpr float DOZER_SLIDE_SLOPE = 0.5f;      // pushed earth slides while steeper than this
constexpr float DOZER_FORWARD_MIN = 1e-3f;     // shorter projected forward: tipped over
