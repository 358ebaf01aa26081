// The synthetic wheel of terrain-info's --ruts: a wheel body driven along a segment at 30 ft/s,
// one tick at a time, feeding the erosion as a bike's wheel does; the determinism test runs the
// very same code.
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include "bike/erode_feed.h"
#include "bike/physics.h"
#include "core/digest.h"
#include "net/client.h"
#include "terrain/erode.h"

struct ruts_result {
    int points = 0, messages = 0;
    double dug = 0, deposited = 0;   // cubic feet
    double deepest = 0;              // feet below the heights before the run
};

namespace ruts_detail {
inline int tick = 0;
inline int points = 0, messages = 0;
inline int current_tick() {
    return tick;
}
inline void send(const unsigned char *bytes, int length) {
    erode_point decoded[64];
    points += erode_decode_message(bytes, length, terrain_current->extent, decoded);
    messages++;
    net_send_erode(bytes, length);
}
}  // namespace ruts_detail

constexpr float RUTS_SPEED = 30.0f;          // ft/s
constexpr float RUTS_LOAD = 250.0f;          // lbf up
constexpr float RUTS_SIDE_FORCE = 150.0f;    // lbf across the path
constexpr float RUTS_SLIP = 3.0f;            // ft/s sideways

// Drives the wheel along (x0, z0)-(x1, z1) passes times over the current terrain, then drains
// the queue at strength 1 until it is empty. Opens and closes the physics world; 0 when it
// can't or the segment is not usable.
inline int ruts_run(float x0, float z0, float x1, float z1, int passes, ruts_result *out) {
    *out = ruts_result{};
    terrain_field *f = terrain_current;
    float dx = x1 - x0, dz = z1 - z0, length = sqrtf(dx * dx + dz * dz);
    if (!f || !f->heights || !(length > 0) || !std::isfinite(length) || passes < 0 || passes > 10000) return 0;
    if (!physics_open()) return 0;
    std::vector<float> before(f->heights, f->heights + (size_t)f->n * f->n);
    erode_hook_table saved = erode_hooks;
    ruts_detail::tick = ruts_detail::points = ruts_detail::messages = 0;
    erode_hooks = {ruts_detail::send, ruts_detail::current_tick};
    erode_queue_reset();

    wheel_contact wheel = {};
    wheel.body = dBodyCreate(physics_world);
    float ux = dx / length, uz = dz / length;
    float lx = -uz, lz = ux;   // across the path
    dBodySetLinearVel(wheel.body, RUTS_SPEED * ux, 0, RUTS_SPEED * uz);
    erode_batch batch = {};
    int steps = (int)ceilf(length / (RUTS_SPEED / 128.0f));
    for (int pass = 0; pass < passes; pass++) {
        for (int i = 0; i <= steps; i++) {
            float t = (float)i / (float)steps;
            float x = x0 + t * dx, z = z0 + t * dz;
            vec3 normal;
            terrain_normal_at(f, x, z, &normal);
            float n = sqrtf(vec3_length2(normal));
            wheel.point = {x, terrain_height_at(f, x, z), z};
            wheel.normal = normal * (1.0f / n);
            wheel.velocity = {RUTS_SLIP * lx, 0, RUTS_SLIP * lz};
            wheel.contact_depth = 0.1f;
            wheel.joint_feedback.f1[0] = RUTS_SIDE_FORCE * lx;
            wheel.joint_feedback.f1[1] = RUTS_LOAD;
            wheel.joint_feedback.f1[2] = RUTS_SIDE_FORCE * lz;
            bike_erode_wheel(&batch, wheel, 0);
            ruts_detail::tick++;
        }
        // Lifted off for more than the idle time: the batch goes out.
        wheel.contact_depth = 0;
        for (int i = 0; i <= ERODE_IDLE_TICKS + 1; i++, ruts_detail::tick++) bike_erode_wheel(&batch, wheel, 0);
    }
    dBodyDestroy(wheel.body);
    physics_close();
    while (erode_queue_count() > 0) erode_apply_queue(nullptr, 1.0f);
    erode_hooks = saved;

    double area = (double)f->spacing * f->spacing;
    for (size_t i = 0; i < before.size(); i++) {
        double change = (double)f->heights[i] - before[i];
        if (change < 0) out->dug -= change * area;
        if (change > 0) out->deposited += change * area;
        if (-change > out->deepest) out->deepest = -change;
    }
    out->points = ruts_detail::points;
    out->messages = ruts_detail::messages;
    return 1;
}

// The RIPEMD-160 of the heights (n x n little-endian floats, row by row) as hex.
inline void ruts_heights_digest(const terrain_field *f, char hex[41]) {
    ripemd160_state s;
    ripemd160_init(&s);
    for (size_t i = 0; i < (size_t)f->n * f->n; i++) {
        uint32_t bits;
        memcpy(&bits, f->heights + i, 4);
        unsigned char le[4] = {(unsigned char)bits, (unsigned char)(bits >> 8), (unsigned char)(bits >> 16),
                               (unsigned char)(bits >> 24)};
        ripemd160_update(&s, le, 4);
    }
    ripemd160_final(&s);
    ripemd160_hex(&s, hex);
}
