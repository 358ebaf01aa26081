// Contact passes on the stock track "tracks/hillside" (needs a display for the terrain load): a
// bike's seven bodies set down at 1,000 seeded spots along the course, the tyres touching. One
// pass per spot: both tyres' first-hit searches, both ground contacts, the five part shapes on
// the terrain, then the contact group emptied.
// Target, one core: 25,600 passes a second (one bike's pass within 1/200 of a 1/128 s tick).
#include <cmath>
#include <random>
#include <vector>

#include "bench/bench.h"
#include "bench/hillside_spots.h"
#include "bike/contact.h"
#include "bike/physics.h"
#include "bike/shape.h"
#include "core/mem.h"
#include "terrain/terrain.h"

static const double TARGET_PASSES = 25600;
static const int SPOTS = 1000;
static const float SINK = 0.08f;     // how deep the tyres are set into the ground
static const double SPEED = 30;      // ft/s along the course, the tyres slipping 10%

// The example bike's rest positions (bike axes: x lateral, y up, z backwards) and tyres.
struct bench_part {
    const char *shape;
    vec3 rest;
};
static const bench_part PARTS[5] = {
    {"@generic_frame.shp", {0, 1.98f, 3.6f}},
    {"@generic_fork_upper.shp", {0, 2.9f, 2.16f}},
    {"@generic_fork_lower.shp", {0, 1.77f, 1.59f}},
    {"@generic_swingarm.shp", {0, 1.34f, 4.99f}},
    {"@generic_rider.shp", {0, 4.5f, 4.12f}},
};
static const vec3 FRONT_REST = {0, 1.09f, 1.11f}, REAR_REST = {0, 1.04f, 6.0f};
static const float FRONT_RING = 0.8333f, REAR_RING = 0.75f, SECTION = 0.3333f;

// One bike set down at a spot.
struct bench_bike {
    wheel_contact wheels[2];
    dBodyID parts[5];
};

static dBodyID bench_body(const dMatrix3 r, vec3 p) {
    dBodyID b = dBodyCreate(physics_world);
    dMass m;
    dMassSetSphereTotal(&m, 1, 0.5);
    dBodySetMass(b, &m);
    dBodySetRotation(b, r);
    dBodySetPosition(b, p.x, p.y, p.z);
    return b;
}

// The bike at the spot: origin on the centreline, heading along the course, each tyre
// SINK deep in the ground under it, the parts at their rest offsets.
static bench_bike bench_place(const terrain_field *f, const bench_spot &spot) {
    double heading = spot.heading;
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0, 1, 0, heading);
    vec3 origin = {spot.x, 0, spot.z};
    auto world = [&](vec3 p) {
        return vec3{origin.x + (float)(r[0] * p.x + r[1] * p.y + r[2] * p.z), origin.y + p.y,
                    origin.z + (float)(r[8] * p.x + r[9] * p.y + r[10] * p.z)};
    };
    bench_bike bike;
    const vec3 rests[2] = {FRONT_REST, REAR_REST};
    const float rings[2] = {FRONT_RING, REAR_RING};
    float level = 0;
    for (int w = 0; w < 2; w++) {
        vec3 c = world(rests[w]);
        c.y = terrain_height_at(f, c.x, c.z) + rings[w] + SECTION - SINK;
        level += (c.y - rests[w].y) / 2;
        wheel_contact &wc = bike.wheels[w];
        wc = {};
        wc.body = bench_body(r, c);
        wc.axle = {1, 0, 0};
        wc.ring_radius = rings[w];
        wc.section_radius = SECTION;
        // Forward is -z of the bike; the spin about the axle a little short of rolling.
        double fx = -r[2], fz = -r[10];
        dBodySetLinearVel(wc.body, SPEED * fx, 0, SPEED * fz);
        double spin = -0.9 * SPEED / (rings[w] + SECTION);
        dBodySetAngularVel(wc.body, spin * r[0], spin * r[4], spin * r[8]);
    }
    origin.y = level;
    for (int p = 0; p < 5; p++) bike.parts[p] = bench_body(r, world(PARTS[p].rest));
    return bike;
}

int main() {
    bench_dir dir;
    window_context *w = bench_graphics_window(dir);
    if (!w) return 1;
    terrain_field *f = terrain_current;
    if (!bench_hillside_load(f)) return 1;
    if (!physics_open()) return 1;
    collision_shape *shapes[5];
    for (int p = 0; p < 5; p++)
        if (!(shapes[p] = shape_copy(PARTS[p].shape))) {
            fprintf(stderr, "no stock shape %s\n", PARTS[p].shape);
            return 1;
        }

    // The spots: seeded course points.
    const datagen_track &track = datagen_hillside_track();
    std::vector<bench_bike> bikes;
    for (size_t i : bench_course_points(track, SPOTS)) bikes.push_back(bench_place(f, bench_course_spot(track, i)));

    auto tyres = [&](bench_bike &b) {
        vec3 p, n;
        float d;
        for (wheel_contact &wc : b.wheels) collide_wheel_terrain(f, wc, &p, &n, &d);
        for (wheel_contact &wc : b.wheels) contact_wheel_ground(f, &wc, 1.0f);
    };
    auto parts = [&](bench_bike &b) {
        for (int p = 0; p < 5; p++)
            contact_shape_terrain(shapes[p], b.parts[p], shape_transform_from_body(b.parts[p]), f);
    };

    // What one round makes: joints of the tyres and of the shapes.
    long tyre_joints = 0, shape_joints = 0, tyres_touching = 0;
    for (bench_bike &b : bikes) {
        tyres(b);
        for (wheel_contact &wc : b.wheels) {
            tyre_joints += dBodyGetNumJoints(wc.body);
            tyres_touching += wc.contact_depth > 0;
        }
        parts(b);
        for (dBodyID body : b.parts) shape_joints += dBodyGetNumJoints(body);
        dJointGroupEmpty(physics_contact_group);
    }

    const int rounds = 20;
    bench_stats whole = bench_runs(5, [&] {
        for (int round = 0; round < rounds; round++)
            for (bench_bike &b : bikes) {
                tyres(b);
                parts(b);
                dJointGroupEmpty(physics_contact_group);
            }
    });
    bench_stats tyre_time = bench_runs(5, [&] {
        for (int round = 0; round < rounds; round++)
            for (bench_bike &b : bikes) {
                tyres(b);
                dJointGroupEmpty(physics_contact_group);
            }
    });
    bench_stats part_time = bench_runs(5, [&] {
        for (int round = 0; round < rounds; round++)
            for (bench_bike &b : bikes) {
                parts(b);
                dJointGroupEmpty(physics_contact_group);
            }
    });

    const double per_pass = 1.0 / (rounds * SPOTS);
    bench_stats pass = bench_scaled(whole, per_pass);
    double passes = 1 / pass.median;
    double joints_per_pass = (double)(tyre_joints + shape_joints) / SPOTS;
    printf("tracks/hillside, %d spots: %ld of %d tyres touching, %.2f joints a pass (%.2f tyre, "
           "%.2f shape)\n",
           SPOTS, tyres_touching, 2 * SPOTS, joints_per_pass, (double)tyre_joints / SPOTS,
           (double)shape_joints / SPOTS);
    double tyres_alone = tyre_time.median * per_pass, parts_alone = part_time.median * per_pass;
    printf("medians: tyres alone %s, shapes alone %s a pass (split %.0f%% / %.0f%%)\n",
           bench_time(tyres_alone).c_str(), bench_time(parts_alone).c_str(),
           100 * tyres_alone / (tyres_alone + parts_alone), 100 * parts_alone / (tyres_alone + parts_alone));
    printf("contact passes: %.0f a second, %.0f contact joints a second (medians)\n", passes,
           passes * joints_per_pass);
    int failed = bench_report_budget("contact pass", "pass", pass, "budget (1/200 of a 1/128 s tick)",
                                     1 / TARGET_PASSES);

    for (collision_shape *s : shapes) mem_free(s);
    shape_free_cache();
    physics_close();
    bench_graphics_close(w);
    return !failed && tyres_touching == 2 * SPOTS ? 0 : 1;
}
