// The wheels' contacts per tick: the refresh and queries, the roost and the erosion feed.
#include "bike/wheel_contacts.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "bike/bike_step.h"
#include "bike/erode_feed.h"
#include "core/digest.h"
#include "core/settings.h"
#include "core/util.h"
#include "terrain/terrain.h"

int bike_wheel_log = 0;
float bike_wheel_log_spacing = 10.0f;

static vec3 to_vec3(const dReal *v) {
    return {(float)v[0], (float)v[1], (float)v[2]};
}

static void refresh_one(wheel_contact *w) {
    vec3 point, normal;
    float depth;
    if (!w->body || !terrain_current || !collide_wheel_terrain(terrain_current, *w, &point, &normal, &depth)) {
        w->contact_depth = 0;
        return;
    }
    w->point = point;
    w->normal = normal;
    w->contact_depth = depth;
    dVector3 v;
    dBodyGetPointVel(w->body, point.x, point.y, point.z, v);
    w->velocity = to_vec3(v);
}

void bike_update_wheel_contacts(rider_slot *s) {
    if (!s || (s->slot_flags & 1)) return;
    int tick = bike_current_tick();
    if (s->contact_tick == tick) return;
    s->contact_tick = tick;
    refresh_one(&s->front_contact);
    refresh_one(&s->rear_contact);
}

void contact_point_velocity(const wheel_contact *w, vec3 *out) {
    vec3 centre, axle;
    if (!w->body || !wheel_world_frame(*w, &centre, &axle)) {
        *out = {0, 0, 0};
        return;
    }
    vec3 spin = to_vec3(dBodyGetAngularVel(w->body));
    vec3 rest = spin - axle * vec3_dot(axle, spin);
    *out = to_vec3(dBodyGetLinearVel(w->body)) + vec3_cross(rest, w->point - centre);
}

static float depth_of(rider_slot *s, wheel_contact *w) {
    bike_update_wheel_contacts(s);
    return w->contact_depth > 0 ? w->contact_depth : 0.0f;
}

static int position_of(rider_slot *s, wheel_contact *w, vec3 *out) {
    if (!(depth_of(s, w) > 0)) return 0;
    *out = w->point;
    return 1;
}

static int slip_of(rider_slot *s, wheel_contact *w, vec3 *out) {
    if (!(depth_of(s, w) > 0)) return 0;
    *out = w->velocity;
    return 1;
}

static int velocity_of(rider_slot *s, wheel_contact *w, vec3 *out) {
    if (!(depth_of(s, w) > 0)) return 0;
    contact_point_velocity(w, out);
    return 1;
}

float bike_front_contact_depth(rider_slot *s) { return depth_of(s, &s->front_contact); }
float bike_rear_contact_depth(rider_slot *s) { return depth_of(s, &s->rear_contact); }
int bike_front_contact_position(rider_slot *s, vec3 *o) { return position_of(s, &s->front_contact, o); }
int bike_rear_contact_position(rider_slot *s, vec3 *o) { return position_of(s, &s->rear_contact, o); }
int bike_front_contact_slip(rider_slot *s, vec3 *o) { return slip_of(s, &s->front_contact, o); }
int bike_rear_contact_slip(rider_slot *s, vec3 *o) { return slip_of(s, &s->rear_contact, o); }
int bike_front_contact_velocity(rider_slot *s, vec3 *o) { return velocity_of(s, &s->front_contact, o); }
int bike_rear_contact_velocity(rider_slot *s, vec3 *o) { return velocity_of(s, &s->rear_contact, o); }

void bike_emit_roost(rider_slot *s) {
    if (!s || !bike_frame_body(s)) return;
    int f = game_settings.roost_frequency;
    f = f < 0 ? 0 : f > 1000 ? 1000 : f;
    int n = f / 100;
    if ((int)(mt_next() % 100) < f % 100) n++;
    if (n == 0) return;
    bike_update_wheel_contacts(s);
    contact_emit_roost(&s->front_contact, n, 3.14159265358979f / 8);
    contact_emit_roost(&s->rear_contact, n, 2 * 3.14159265358979f);
}

// Uniform draws in [0, 1) of 31 and of 24 random bits.
static float draw31() {
    return (float)((double)(mt_next() >> 1) / 2147483648.0);
}

static float draw24() {
    return (float)(mt_next() >> 8) / 16777216.0f;
}

static bool finite3(vec3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

static void spawn(vec3 p, vec3 v, const roost_type *type) {
    if (!bike_hooks.particle_spawn || !finite3(p) || !finite3(v)) return;
    const float position[3] = {p.x, p.y, p.z}, velocity[3] = {v.x, v.y, v.z};
    bike_hooks.particle_spawn(position, velocity, type);
}

float roost_spread(const roost_type &t, float spin2) {
    float slow2 = t.slow_speed * t.slow_speed, fast2 = t.fast_speed * t.fast_speed;
    float share;
    if (!(fast2 - slow2 > 0))
        share = spin2 < slow2 ? 0.0f : 1.0f;
    else
        share = util_clamp((spin2 - slow2) / (fast2 - slow2), 0, 1);
    return t.slow_angle + (t.fast_angle - t.slow_angle) * share;
}

// p turned by the angle about the unit axis.
static vec3 rotate(vec3 p, vec3 axis, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    return p * c + vec3_cross(axis, p) * s + axis * (vec3_dot(axis, p) * (1 - c));
}

static void splash(const wheel_contact *w, const roost_type &t, int count) {
    vec3 v = to_vec3(dBodyGetLinearVel(w->body));
    vec3 n = w->normal;
    vec3 slide = v - n * vec3_dot(v, n);
    float speed = std::sqrt(vec3_length2(slide));
    // A wheel that hardly slides along the ground has no direction to throw water in.
    if (!(speed >= SPLASH_SLIDE_MIN)) return;
    vec3 k = vec3_cross(n, slide * (1 / speed));
    float scale = speed / std::sqrt(2.0f);
    vec3 d[2] = {(k + n) * scale, (n - k) * scale};
    int tick = bike_current_tick();
    for (int j = 0; j < count; j++) {
        vec3 dir = d[(tick ^ j) & 1];
        vec3 p = w->point + dir * ((float)j / 128 / (float)count);
        vec3 r = {draw24(), draw24(), draw24()};
        float u = draw31();
        vec3 vel = (dir + (r - vec3{0.5f, 0.5f, 0.5f}) * t.randomize) * (t.vscale * u);
        spawn(p, vel, &t);
    }
}

static void roost(const wheel_contact *w, const roost_type &t, int count, float max_spread) {
    if (!(std::sqrt(vec3_length2(w->velocity)) >= t.slip_threshold)) return;
    vec3 centre, axle;
    if (!wheel_world_frame(*w, &centre, &axle)) return;
    vec3 centre_velocity = to_vec3(dBodyGetLinearVel(w->body));
    float spread = ROOST_SKID_SPREAD;
    if (vec3_dot(w->velocity, centre_velocity) < 0) {
        spread = roost_spread(t, vec3_length2(to_vec3(dBodyGetAngularVel(w->body))));
        if (spread > max_spread) spread = max_spread;
    }
    float l = std::sqrt(vec3_length2(axle));
    if (!(l > 0)) return;
    axle = axle * (1 / l);
    for (int j = 0; j < count; j++) {
        float angle = draw24() * spread;
        vec3 p = centre + rotate(w->point - centre, axle, angle);
        dVector3 pv;
        dBodyGetPointVel(w->body, p.x, p.y, p.z, pv);
        vec3 vel = to_vec3(pv);
        p = p + vel * ((float)j / 128 / (float)count);
        vec3 r = {draw24(), draw24(), draw24()};
        vel = (vel + (r - vec3{0.5f, 0.5f, 0.5f}) * t.randomize) * t.vscale;
        spawn(p, vel, &t);
    }
}

void contact_emit_roost(const wheel_contact *w, int n, float max_spread) {
    if (!w || !w->body || !(w->contact_depth > 0) || !terrain_current) return;
    const tile_kind &kind = contact_tile_kind(terrain_current, w->point);
    for (int i = 0; i < 4 && kind.roost[i].kind != 0; i++) {
        const roost_type &t = kind.roost[i];
        float count = util_clamp(t.count, 0, ROOST_COUNT_MAX);
        float whole = std::floor(count);
        int c = (int)whole;
        if (draw31() < count - whole) c++;
        if (c > n) c = n;
        if (c <= 0) continue;
        if (t.kind == 2)
            splash(w, t, c);
        else if (t.kind == 1)
            roost(w, t, c, max_spread);
    }
}

void bike_tyre_debug_text(rider_slot *s) {
    dBodyID frame = bike_frame_body(s);
    if (!frame) return;
    bike_erode_wheel(&s->erode_batches[0], s->front_contact, 1);
    char front[480];
    erode_format_wheel_readout(front, sizeof front);
    bike_erode_wheel(&s->erode_batches[1], s->rear_contact, 0);
    if (!bike_wheel_log || !bike_hooks.add_callout) return;
    const dReal *p = dBodyGetPosition(frame);
    float distance = bike_hooks.callout_distance
                         ? bike_hooks.callout_distance((float)p[0], (float)p[1], (float)p[2])
                         : INFINITY;
    if (!(distance > bike_wheel_log_spacing)) return;
    char rear[480], text[1024];
    erode_format_wheel_readout(rear, sizeof rear);
    snprintf(text, sizeof text, "front:\n%srear:\n%s", front, rear);
    bike_hooks.add_callout((float)p[0], (float)p[1], (float)p[2], text);
}
