// The stock collision shapes: sphere sets of the generic bike parts, the two wheels and the
// rider, each centre in its body's frame (x lateral, y up, z backwards, ft).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "tools/zrdatagen/datagen.h"

namespace {
struct shape_ball {
    double x, y, z, radius;
};
struct shape_surface {
    double mu, spring, damper;
};
}  // namespace

const char *const datagen_stock_shape_names[DATAGEN_STOCK_SHAPES] = {
    "generic_frame.shp", "generic_fork_upper.shp", "generic_fork_lower.shp",
    "generic_swingarm.shp", "front_wheel.shp", "rear_wheel.shp", "generic_rider.shp"};

static const shape_surface PART_SURFACE = {0.5, 10000, 1000};
static const shape_surface TYRE_SURFACE = {1, 25000, 2500};
static const shape_surface RIDER_SURFACE = {0.6, 5000, 500};

// The file: the count on its own line, then "cx cy cz radius mu spring damper" lines.
static std::string shape_file(std::initializer_list<shape_ball> balls, shape_surface s) {
    std::string out = std::to_string(balls.size()) + "\n";
    for (const shape_ball &b : balls) {
        const double row[7] = {b.x, b.y, b.z, b.radius, s.mu, s.spring, s.damper};
        for (int i = 0; i < 7; i++) out += datagen_decimal(row[i]) + (i < 6 ? " " : "\n");
    }
    return out;
}

std::string datagen_shape_frame() {
    return shape_file({{0, -0.2, -0.3, 0.35},     // engine
                       {0, 0.45, -0.55, 0.4},     // tank
                       {0, 0.55, 0.2, 0.33},      // seat
                       {0, 0.6, 0.9, 0.3},
                       {0, 0.75, 1.7, 0.25},      // rear fender
                       {0.45, 0.3, -0.9, 0.28},   // shrouds
                       {-0.45, 0.3, -0.9, 0.28}},
                      PART_SURFACE);
}

std::string datagen_shape_fork_upper() {
    return shape_file({{1.1, 0.6, 0.2, 0.2},      // bar ends
                       {-1.1, 0.6, 0.2, 0.2},
                       {0, 0.1, -0.5, 0.3}},      // top clamp
                      PART_SURFACE);
}

std::string datagen_shape_fork_lower() {
    return shape_file({{0.42, 0.3, 0.15, 0.15},   // legs
                       {-0.42, 0.3, 0.15, 0.15},
                       {0.42, -0.45, -0.2, 0.15},
                       {-0.42, -0.45, -0.2, 0.15}},
                      PART_SURFACE);
}

std::string datagen_shape_swingarm() {
    return shape_file({{0.35, 0.15, -0.5, 0.18},
                       {-0.35, 0.15, -0.5, 0.18},
                       {0.35, -0.15, 0.5, 0.18},
                       {-0.35, -0.15, 0.5, 0.18}},
                      PART_SURFACE);
}

// Eight spheres on the tyre's ring in the wheel's y-z plane, 45 degrees apart from the top.
static std::string shape_wheel(double ring) {
    const double h = std::sqrt(0.5);
    const double up[8] = {1, h, 0, -h, -1, -h, 0, h};
    const double back[8] = {0, h, 1, h, 0, -h, -1, -h};
    const double r = 0.3333;
    return shape_file({{0, ring * up[0], ring * back[0], r}, {0, ring * up[1], ring * back[1], r},
                       {0, ring * up[2], ring * back[2], r}, {0, ring * up[3], ring * back[3], r},
                       {0, ring * up[4], ring * back[4], r}, {0, ring * up[5], ring * back[5], r},
                       {0, ring * up[6], ring * back[6], r}, {0, ring * up[7], ring * back[7], r}},
                      TYRE_SURFACE);
}

std::string datagen_shape_front_wheel() {
    return shape_wheel(0.8333);
}

std::string datagen_shape_rear_wheel() {
    return shape_wheel(0.75);
}

std::string datagen_shape_rider() {
    return shape_file({{0, 0, 0, 0.7},            // torso
                       {0, 1.0, -0.3, 0.45},      // head
                       {0, -0.9, 0.2, 0.5}},      // hips
                      RIDER_SURFACE);
}

int datagen_stock_shape_bytes(std::string *out) {
    out->clear();
    for (const char *name : datagen_stock_shape_names) {
        int i = 0;
        while (i < datagen_member_count && strcmp(datagen_members[i].name, name) != 0) i++;
        if (i == datagen_member_count) return 0;
        *out += datagen_members[i].make();
    }
    return 1;
}
