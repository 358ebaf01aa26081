// The ground searches skip work that cannot change their answers: the deepest tyre search skips
// the edge search where it cannot find the deepest contact (its results must equal those of the
// whole tyre test on every triangle, bit for bit, and the distance bound behind the skip must
// never pass over a point nearer than it claims), and a shape high above the ground skips its
// spheres' searches.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bike/contact.h"
#include "bike/contact_tyre_bound.h"
#include "bike/geometry.h"
#include "bike/physics.h"
#include "tests/bike/contact_test_support.h"
#include "core/mem.h"
#include "tests/support/test_support.h"
#include "tests/terrain/memory_field.h"

struct bike_ground_search : testing::Test {
    void SetUp() override { ASSERT_EQ(physics_open(), 1); }
    void TearDown() override {
        contact_search_exhaustive = false;
        physics_close();
        shape_free_cache();
    }
};

static vec3 random_axle(std::mt19937 &rng) {
    std::uniform_real_distribution<float> u(-1, 1), turn(-3.14159f, 3.14159f);
    int kind = (int)(rng() % 4);
    if (kind < 2) {   // upright wheels, any heading
        float a = turn(rng);
        return {std::cos(a), 0, std::sin(a)};
    }
    if (kind == 2) {   // leaning up to about 70 degrees
        float a = turn(rng), lean = 1.2f * u(rng);
        return {std::cos(a) * std::cos(lean), std::sin(lean), std::sin(a) * std::cos(lean)};
    }
    vec3 v;   // any direction, a wheel on its side included
    do v = {u(rng), u(rng), u(rng)};
    while (vec3_length2(v) < 0.01f || vec3_length2(v) > 1);
    return v * (1 / std::sqrt(vec3_length2(v)));
}

TEST_F(bike_ground_search, DeepestMatchesTheWholeTestOnEveryTriangle) {
    // Sharp fields where tyres touch edges and corners: steep random bumps, fine bumps, diagonal
    // ridges, and bumps far from the origin (coordinates near 2000 ft, heights near 500 ft).
    struct field_case {
        const char *what;
        int n;
        float spacing, base;
        std::function<float(int, int)> height;
    };
    std::mt19937 bumps(7);
    std::vector<float> noise(257 * 257);
    for (float &h : noise) h = std::uniform_real_distribution<float>(0, 1)(bumps);
    const field_case fields[] = {
        {"steep bumps", 33, 2.0f, 0, [&](int x, int z) { return 3 * noise[x + 257 * z]; }},
        {"fine bumps", 65, 0.5f, 0, [&](int x, int z) { return 0.6f * noise[x + 257 * z]; }},
        {"ridges", 33, 1.0f, 0, [](int x, int z) { return (float)std::abs((x + z) % 4 - 2); }},
        {"far bumps", 257, 8.0f, 500, [&](int x, int z) { return 500 + 2 * noise[x + 257 * z]; }},
    };
    const float tyres[][2] = {{0.8333f, 0.3333f}, {0.79f, 0.333f}, {1.0f, 0.1f}};
    int contacts = 0, edge_only = 0;
    for (const field_case &fc : fields) {
        memory_field field(fc.n, fc.spacing, fc.height);
        std::mt19937 rng(11);
        std::uniform_real_distribution<float> unit(0, 1);
        float lo = fc.n > 100 ? 240 * fc.spacing : 4 * fc.spacing, hi = (float)(fc.n - 5) * fc.spacing;
        for (int pose = 0; pose < 600; pose++) {
            // The centre over a sample, the middle of a cell edge or diagonal, or anywhere.
            float x = lo + (hi - lo) * unit(rng), z = lo + (hi - lo) * unit(rng);
            int snap = (int)(rng() % 3);
            if (snap < 2) {
                x = std::round(x / fc.spacing) * fc.spacing + (snap == 1 ? fc.spacing / 2 : 0);
                z = std::round(z / fc.spacing) * fc.spacing + (rng() % 2 ? fc.spacing / 2 : 0);
            }
            int i = (int)(x / fc.spacing), j = (int)(z / fc.spacing);
            float top = fc.base;
            for (int dz = -1; dz <= 2; dz++)
                for (int dx = -1; dx <= 2; dx++) top = std::fmax(top, fc.height(i + dx, j + dz));
            const float *tyre = tyres[pose % 3];
            float y = top + tyre[0] + tyre[1] * (3 * unit(rng) - 1.5f) - 0.5f * unit(rng);
            wheel_contact w{};
            w.body = test_body_at({x, y, z}, 1);
            w.axle = random_axle(rng);
            w.ring_radius = tyre[0];
            w.section_radius = tyre[1];

            vec3 point[2] = {{7, 7, 7}, {7, 7, 7}}, normal[2] = {{8, 8, 8}, {8, 8, 8}};
            float depth[2] = {9, 9};
            int found[2];
            for (int k = 0; k < 2; k++) {
                contact_search_exhaustive = k == 1;
                found[k] = collide_wheel_terrain_joint(field.get(), w, &point[k], &normal[k], &depth[k]);
            }
            contact_search_exhaustive = false;
            std::string where = std::string(fc.what) + " pose " + std::to_string(pose);
            ASSERT_EQ(found[0], found[1]) << where;
            ASSERT_EQ(std::memcmp(&point[0], &point[1], sizeof(vec3)), 0) << where;
            ASSERT_EQ(std::memcmp(&normal[0], &normal[1], sizeof(vec3)), 0) << where;
            ASSERT_EQ(std::memcmp(&depth[0], &depth[1], sizeof(float)), 0) << where;
            if (found[0]) {
                contacts++;
                vec3 p, n;
                float d;
                if (!collide_wheel_terrain(field.get(), w, &p, &n, &d)) edge_only++;
            }
            dBodyDestroy(w.body);
        }
    }
    // The table reaches the edge search: many touches, a good share of them by edges alone.
    EXPECT_GT(contacts, 800);
    EXPECT_GT(edge_only, 150);
}

// The distance from p to the ring (centre c, unit axle a, radius R): its leg along the axle and
// its radial gap.
static double ring_distance(const double p[3], vec3 c, vec3 a, double R) {
    double w[3] = {p[0] - c.x, p[1] - c.y, p[2] - c.z};
    double along = w[0] * a.x + w[1] * a.y + w[2] * a.z;
    double radial = std::sqrt(std::fmax(w[0] * w[0] + w[1] * w[1] + w[2] * w[2] - along * along, 0));
    return std::hypot(along, radial - R);
}

static double disc_distance(vec3 p, vec3 c, vec3 a, double R) {
    double w[3] = {(double)p.x - c.x, (double)p.y - c.y, (double)p.z - c.z};
    double along = w[0] * a.x + w[1] * a.y + w[2] * a.z;
    double radial = std::sqrt(std::fmax(w[0] * w[0] + w[1] * w[1] + w[2] * w[2] - along * along, 0));
    return std::hypot(along, std::fmax(radial - R, 0));
}

TEST_F(bike_ground_search, EdgeBoundNeverClaimsANearPointFar) {
    // Random triangles about a tyre: the nearest of finely sampled edge points (to the ring) and
    // corners (to the disc) is at most d away, so the bound must answer true for limit d. A limit
    // a tenth of a foot short of the true distance is mostly answered false (the bound is tight
    // enough to skip), and no limit is answered for an unusable tyre.
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1, 1);
    const float R = 0.8333f, r = 0.3333f;
    int cases = 0, skipped = 0;
    for (int trial = 0; trial < 3000; trial++) {
        vec3 c = {100 * u(rng), 20 * u(rng), 100 * u(rng)};
        vec3 a = random_axle(rng);
        vec3 tri[3];
        float size = trial % 2 ? 2.0f : 0.5f;
        for (vec3 &v : tri) v = c + vec3{1.5f * u(rng), 1.5f * u(rng) - 0.8f, 1.5f * u(rng)} + vec3{size * u(rng), 0, size * u(rng)};
        double nearest = INFINITY;
        for (int k = 0; k < 3; k++) {
            nearest = std::fmin(nearest, disc_distance(tri[k], c, a, R));
            vec3 e = tri[(k + 1) % 3] - tri[k];
            for (int s = 0; s <= 4000; s++) {
                double t = s / 4000.0;
                double p[3] = {tri[k].x + e.x * t, tri[k].y + e.y * t, tri[k].z + e.z * t};
                nearest = std::fmin(nearest, ring_distance(p, c, a, R));
            }
        }
        tyre_bound b = tyre_bound_make(c, a, R, r);
        ASSERT_TRUE(b.usable);
        ASSERT_TRUE(tyre_edges_within(b, tri, nearest + 1e-6)) << "trial " << trial << " nearest " << nearest;
        // The sampled nearest is within 1/4000 of an edge's length of the true one.
        if (nearest > 0.15) {
            cases++;
            if (!tyre_edges_within(b, tri, nearest - 0.1)) skipped++;
        }
    }
    EXPECT_GT(cases, 1000);
    EXPECT_GT(skipped, cases * 9 / 10);

    const vec3 tri[3] = {{0, 50, 0}, {1, 50, 0}, {0, 50, 1}};
    EXPECT_FALSE(tyre_edges_within(tyre_bound_make({0, 0, 0}, {1, 0, 0}, R, r), tri, 1));
    for (tyre_bound b : {tyre_bound_make({0, 0, 0}, {0, 0, 0}, R, r), tyre_bound_make({0, 0, 0}, {1, 0, 0}, -R, r),
                         tyre_bound_make({NAN, 0, 0}, {1, 0, 0}, R, r), tyre_bound_make({0, 0, 0}, {1, 0, 0}, R, NAN)})
        EXPECT_TRUE(tyre_edges_within(b, tri, 1));
    const vec3 bad[3] = {{0, NAN, 0}, {1, 50, 0}, {0, 50, 1}};
    EXPECT_TRUE(tyre_edges_within(tyre_bound_make({0, 0, 0}, {1, 0, 0}, R, r), bad, 1));
}

TEST_F(bike_ground_search, ShapeSkipsTheGroundOnlyWhereNoSphereTouches) {
    // A shape of four spheres, turned and dropped over bumps and past the grid's edge (where
    // the edge heights continue): it touches exactly when one of its spheres, searched alone,
    // touches. Both answers come up often.
    temp_dir dir;
    test_write_file(dir.file("parts.shp"),
                    "4\n0 0 1.5 0.5 1 0 0\n0.4 -0.3 -1.2 0.35 1 0 0\n-0.5 0.6 0 0.25 1 0 0\n0 1.5 0.2 0.6 1 0 0\n");
    collision_shape *shape = shape_copy(dir.file("parts.shp").c_str());
    ASSERT_NE(shape, nullptr);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> unit(0, 1);
    // Flat ground with scattered spikes: a spike at the far corner of a sphere's last cell is
    // all that touches.
    memory_field field(33, 1.0f, [&](int, int) { return unit(rng) < 0.15f ? 3 * unit(rng) : 0.0f; });
    int touching = 0, clear = 0;
    for (int pose = 0; pose < 3000; pose++) {
        vec3 at = {-4 + 40 * unit(rng), 1.5f + 2.5f * unit(rng), -4 + 40 * unit(rng)};
        dMatrix3 r;
        dRFromEulerAngles(r, 6.3 * unit(rng), 6.3 * unit(rng), 6.3 * unit(rng));
        shape_transform t{at, {}};
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) t.rotation[i][j] = (float)r[i * 4 + j];
        int touched = contact_shape_terrain(shape, nullptr, t, field.get());
        int alone = 0;
        for (int i = 0; i < shape->count; i++)
            alone |= contact_sphere_terrain(field.get(), shape->rows[i].centre, shape->rows[i].radius, 1, nullptr);
        ASSERT_EQ(touched, alone) << "pose " << pose;
        (touched ? touching : clear)++;
    }
    EXPECT_GT(touching, 300);
    EXPECT_GT(clear, 1500);
    mem_free(shape);
}
