// A bike on the ground: the tick's terrain contacts of wheels and parts, and placing a bike
// clear of the ground.
#include <cmath>

#include "bike/bike_step.h"
#include "bike/physics.h"
#include "bike/riding.h"
#include "core/console.h"
#include "core/util.h"
#include "terrain/terrain.h"

bool rider_is_solid(const rider_slot *s) {
    return s && s->rider_presence > RIDER_PRESENCE_GHOST;
}

int bike_no_op(rider_slot *s) {
    (void)s;
    return 0;
}

// A part's shape on the terrain: its bit when it touched.
static int part_on_ground(rider_slot *s, collision_shape *shape, int body, int bit) {
    dBodyID b = bike_body_of(s, body);
    if (!shape || !b) return 0;
    return contact_shape_terrain(shape, b, shape_transform_from_body(b), terrain_current) ? bit : 0;
}

int bike_ground_contacts(rider_slot *s) {
    dBodyID frame = bike_frame_body(s);
    if (!frame || !terrain_current) return 0;
    float grip = 1;
    if (s->arcade) {
        float t = bike_body_tilt(frame);
        grip = 1 - 0.375f * util_clamp(4 * std::fabs(t) / 3.14159265358979f, 0, 1);
    }
    int bits = 0;
    if (contact_wheel_ground(terrain_current, &s->front_contact, grip)) bits |= 2;
    if (contact_wheel_ground(terrain_current, &s->rear_contact, grip)) bits |= 4;
    // The records now hold this tick's contacts: the refresh leaves them.
    s->contact_tick = bike_current_tick();
    bits |= part_on_ground(s, s->frame_shape, BIKE_BODY_FRAME, 1);
    bits |= part_on_ground(s, s->fork_upper_shape, BIKE_BODY_FORK_UPPER, 8);
    bits |= part_on_ground(s, s->fork_lower_shape, BIKE_BODY_FORK_LOWER, 16);
    bits |= part_on_ground(s, s->swingarm_shape, BIKE_BODY_SWINGARM, 32);
    bits |= part_on_ground(s, s->rider_shape, BIKE_BODY_RIDER, 64);
    if (bits & 64) {
        dBodyID rider = bike_rider_body(s);
        const dReal *r = dBodyGetRotation(rider);
        const dReal *v = dBodyGetLinearVel(rider);
        if (r[5] < 0 && v[0] * v[0] + v[1] * v[1] + v[2] * v[2] > 25) rider_fall_off(s);
    }
    if ((bits & ~6) && !s->down_flag) s->down_flag = 1;
    return bits;
}

int bike_ground_contacts_at(int slot) {
    return rider_has_bike(slot) ? bike_ground_contacts(&rider_table[slot]) : 0;
}

static void clear_forces(rider_slot *s) {
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        dBodySetForce(body, 0, 0, 0);
        dBodySetTorque(body, 0, 0, 0);
    }
}

static void empty_group() {
    if (physics_contact_group) dJointGroupEmpty(physics_contact_group);
}

int bike_lift_clear(int slot) {
    if (!rider_has_bike(slot)) return 0;
    rider_slot *s = &rider_table[slot];
    double start = dBodyGetPosition(bike_frame_body(s))[1];
    if (!std::isfinite(start)) return 0;
    double top = terrain_current ? terrain_current->max_height : start;
    if (!std::isfinite(top)) top = start;
    double raises = std::ceil((top - start) / BIKE_LIFT_STEP);
    raises = (raises > 0 ? raises : 0) + BIKE_LIFT_EXTRA;
    if (raises > 1e6) raises = 1e6;
    int limit = (int)raises;
    // Placing the bike is no fall: what the contacts mark is put back.
    int down = s->down_flag;
    int clear = 1;
    for (int i = 0; bike_ground_contacts(s); i++) {
        empty_group();
        clear_forces(s);
        if (i >= limit) {
            console_printf("Warning: can't place bike in slot %d clear of the ground\n", slot);
            clear = 0;
            break;
        }
        bike_translate(slot, 0, BIKE_LIFT_STEP, 0);
    }
    empty_group();
    clear_forces(s);
    s->down_flag = down;
    s->front_contact.contact_depth = s->rear_contact.contact_depth = 0;
    s->contact_tick = -1;
    return clear;
}

int bike_drop_to_ground(int slot, float x, float z, float yaw) {
    if (!rider_has_bike(slot)) return 0;
    if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(yaw)) return 0;
    rider_slot *s = &rider_table[slot];
    float h = 0;
    const terrain_field *f = terrain_current;
    if (f && f->heights && f->n > 0 && f->spacing > 0) {
        double gx = std::floor(x / f->spacing), gz = std::floor(z / f->spacing);
        int ix = (int)util_clamp((float)gx, 0, (float)(f->n - 1));
        int iz = (int)util_clamp((float)gz, 0, (float)(f->n - 1));
        h = f->heights[ix + (size_t)f->n * iz];
        if (!std::isfinite(h)) h = 0;
    }
    bike_reset(s);
    bike_set_orientation(s, 0, 1, 0, yaw);
    bike_translate(slot, x, h, z);
    return bike_lift_clear(slot);
}
