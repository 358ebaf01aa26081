// Contacts of the bike's parts with other shapes and with other riders' bikes, and the timers
// and falls they decide.
#include "bike/part_contacts.h"

#include <cmath>

#include "bike/riding.h"

static int current_tick() {
    return bike_hooks.current_tick ? bike_hooks.current_tick() : 0;
}

static float frame_speed2(const rider_slot *s) {
    const dReal *v = dBodyGetLinearVel(bike_frame_body(s));
    return (float)(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// One non-wheel part against the shape: 1 when they touch.
static int part_against(collision_shape *part, dBodyID part_body, collision_shape *shape,
                        dBodyID body, const shape_transform &t, int mode) {
    if (!part || !part_body) return 0;
    return contact_shape_shape(part, part_body, shape_transform_from_body(part_body), shape, body,
                               t, mode);
}

// One wheel's tyre against the shape, when the wheel has a shape of its own.
static int wheel_against(collision_shape *wheel_shape, wheel_contact *wheel, collision_shape *shape,
                         dBodyID body, const shape_transform &t, int mode) {
    if (!wheel_shape || !wheel->body) return 0;
    return contact_shape_shape_bodies(shape, body, t, wheel, mode);
}

int collide_shape_pair(rider_slot *s, collision_shape *shape, dBodyID body,
                       const shape_transform &t, int flag, int mode) {
    if (!s || !shape || !bike_frame_body(s)) return 0;
    int fork_mode = mode ? -1 : flag;
    int bits = 0;
    if (wheel_against(s->front_wheel_shape, &s->front_contact, shape, body, t, flag))
        bits |= PART_BIT_FRONT_WHEEL;
    if (wheel_against(s->rear_wheel_shape, &s->rear_contact, shape, body, t, flag))
        bits |= PART_BIT_REAR_WHEEL;
    if (part_against(s->frame_shape, bike_frame_body(s), shape, body, t, flag))
        bits |= PART_BIT_FRAME;
    if (part_against(s->fork_upper_shape, bike_body_of(s, BIKE_BODY_FORK_UPPER), shape, body, t,
                     fork_mode))
        bits |= PART_BIT_FORK_UPPER;
    if (part_against(s->fork_lower_shape, bike_body_of(s, BIKE_BODY_FORK_LOWER), shape, body, t,
                     fork_mode))
        bits |= PART_BIT_FORK_LOWER;
    if (part_against(s->swingarm_shape, bike_body_of(s, BIKE_BODY_SWINGARM), shape, body, t, flag))
        bits |= PART_BIT_SWINGARM;
    if (part_against(s->rider_shape, bike_rider_body(s), shape, body, t, flag))
        bits |= PART_BIT_RIDER;
    return bits;
}

int bike_rider_contacts(rider_slot *s, collision_shape *shape, dBodyID body,
                        const shape_transform &t) {
    int bits = collide_shape_pair(s, shape, body, t, 0, 0);
    if ((bits & PART_BIT_RIDER) && s->respawn_counter == 0) {
        const dReal *v = dBodyGetLinearVel(bike_rider_body(s));
        double rel[3] = {v[0], v[1], v[2]};
        if (body) {
            const dReal *o = dBodyGetLinearVel(body);
            for (int i = 0; i < 3; i++) rel[i] -= o[i];
        }
        double r2 = rel[0] * rel[0] + rel[1] * rel[1] + rel[2] * rel[2];
        if (r2 > (double)RIDER_HIT_SPEED * RIDER_HIT_SPEED) rider_fall_off(s);
    }
    return bits;
}

// How far from the frame's origin any part of the bike can reach: no part of two bikes can
// touch when their frames are farther apart than the sum.
static float bike_reach(const rider_slot *s) {
    const dReal *o = dBodyGetPosition(bike_frame_body(s));
    struct part { int body; const collision_shape *shape; float tyre; };
    const part parts[] = {
        {BIKE_BODY_FRAME, s->frame_shape, 0},
        {BIKE_BODY_FRONT_WHEEL, s->front_wheel_shape,
         s->front_contact.ring_radius + s->front_contact.section_radius},
        {BIKE_BODY_REAR_WHEEL, s->rear_wheel_shape,
         s->rear_contact.ring_radius + s->rear_contact.section_radius},
        {BIKE_BODY_FORK_UPPER, s->fork_upper_shape, 0},
        {BIKE_BODY_FORK_LOWER, s->fork_lower_shape, 0},
        {BIKE_BODY_SWINGARM, s->swingarm_shape, 0},
        {BIKE_BODY_RIDER, s->rider_shape, 0},
    };
    float reach = 0;
    for (const part &p : parts) {
        if (!p.shape) continue;
        const dReal *q = dBodyGetPosition(bike_body_of(s, p.body));
        float d = (float)std::sqrt((q[0] - o[0]) * (q[0] - o[0]) + (q[1] - o[1]) * (q[1] - o[1]) +
                                   (q[2] - o[2]) * (q[2] - o[2]));
        float r = std::fmax(p.shape->bounding_radius, p.tyre);
        reach = std::fmax(reach, d + r);
    }
    return reach;
}

// The front of `rammer` hit `other`: the rammer's timer rises when it moves at 10 ft/s or more,
// and a negative timer of the other falls to the rammed value or below.
static void ram(rider_slot *rammer, float rammer_v2, rider_slot *other) {
    if (other->respawn_counter > 0 || std::lrint(frame_speed2(other)) < 25) return;
    if (rammer_v2 >= 100) rammer->rider_contact_timer = std::fmax(rammer->rider_contact_timer,
                                                                  RIDER_CONTACT_RAM);
    if (other->rider_contact_timer < 0)
        other->rider_contact_timer = std::fmin(other->rider_contact_timer, RIDER_CONTACT_RAMMED);
}

// True when no part of a can touch b: the frames farther apart than the two reaches.
static bool beyond_reach(rider_slot *a, float reach_a, rider_slot *b, float reach_b) {
    const dReal *pa = dBodyGetPosition(bike_frame_body(a)), *pb = dBodyGetPosition(bike_frame_body(b));
    double dx = pa[0] - pb[0], dy = pa[1] - pb[1], dz = pa[2] - pb[2];
    double reach = (double)reach_a + reach_b;
    return !(dx * dx + dy * dy + dz * dz <= reach * reach);
}

static int collide_riders_near(rider_slot *a, rider_slot *b, int mode);

int collide_riders(rider_slot *a, rider_slot *b, int mode) {
    if (!a || !b || a == b || !bike_frame_body(a) || !bike_frame_body(b)) return 0;
    if (beyond_reach(a, bike_reach(a), b, bike_reach(b))) return 0;
    return collide_riders_near(a, b, mode);
}

void collide_rider_list(rider_slot **list, int count, int mode) {
    if (!list || count < 2 || count > RIDER_SLOTS) return;
    // Contacts move no body, so each bike's reach holds for the whole pass.
    float reach[RIDER_SLOTS];
    for (int i = 0; i < count; i++) reach[i] = list[i] && bike_frame_body(list[i]) ? bike_reach(list[i]) : -1;
    for (int i = 0; i < count; i++) {
        if (reach[i] < 0) continue;
        for (int j = i + 1; j < count; j++) {
            if (reach[j] < 0 || list[i] == list[j]) continue;
            if (beyond_reach(list[i], reach[i], list[j], reach[j])) continue;
            collide_riders_near(list[i], list[j], mode);
        }
    }
}

// a's parts against b's, the two bikes within reach of each other.
static int collide_riders_near(rider_slot *a, rider_slot *b, int mode) {
    int tick = current_tick();
    int f = a->last_rider_contact_tic == tick || b->last_rider_contact_tic == tick;
    struct part { collision_shape *shape; int body; int mode; int bit; };
    const part parts[] = {
        {a->front_wheel_shape, BIKE_BODY_FRONT_WHEEL, 0, PART_BIT_FRONT_WHEEL},
        {a->rear_wheel_shape, BIKE_BODY_REAR_WHEEL, mode, PART_BIT_REAR_WHEEL},
        {a->frame_shape, BIKE_BODY_FRAME, mode, PART_BIT_FRAME},
        {a->fork_upper_shape, BIKE_BODY_FORK_UPPER, 0, PART_BIT_FORK_UPPER},
        {a->fork_lower_shape, BIKE_BODY_FORK_LOWER, 0, PART_BIT_FORK_LOWER},
        {a->swingarm_shape, BIKE_BODY_SWINGARM, mode, PART_BIT_SWINGARM},
        {a->rider_shape, BIKE_BODY_RIDER, mode, PART_BIT_RIDER},
    };
    int front = 0, touched = 0;
    for (const part &p : parts) {
        if (!p.shape) continue;
        dBodyID body = bike_body_of(a, p.body);
        int bits = collide_shape_pair(b, p.shape, body, shape_transform_from_body(body), f, p.mode);
        if (bits && (p.bit & (PART_BIT_FRONT_WHEEL | PART_BIT_FORK_LOWER))) front |= p.bit;
        touched |= bits;
    }
    if (!touched) return 0;

    const int FRONT = PART_BIT_FRONT_WHEEL | PART_BIT_FORK_LOWER;
    float va2 = frame_speed2(a), vb2 = frame_speed2(b);
    if (front & touched) {
        if (va2 >= 100) a->rider_contact_timer = std::fmax(a->rider_contact_timer, RIDER_CONTACT_FRONT);
        if (vb2 >= 100) b->rider_contact_timer = std::fmax(b->rider_contact_timer, RIDER_CONTACT_FRONT);
    } else if (front) {
        ram(a, va2, b);
    }
    if (touched & FRONT) ram(b, vb2, a);
    for (rider_slot *s : {a, b}) {
        s->last_rider_contact_tic = tick;
        for (int32_t &k : s->followed_serials) k = 0;
    }
    return touched;
}
