// Collision geometry: spheres and tyres against one triangle, the ring and plane helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "bike/geometry.h"

static void expect_vec(vec3 got, vec3 want, double tol, const char *what) {
    EXPECT_NEAR(got.x, want.x, tol) << what;
    EXPECT_NEAR(got.y, want.y, tol) << what;
    EXPECT_NEAR(got.z, want.z, tol) << what;
}

static vec3 unit(vec3 v) {
    float l = sqrtf(vec3_length2(v));
    return v * (1.0f / l);
}

// Left in the outputs to show that a routine wrote nothing.
static const vec3 UNTOUCHED = {123.0f, 456.0f, 789.0f};

TEST(bike_geometry, SphereAgainstTriangleTable) {
    const vec3 flat[3] = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}};
    // Tilted 45 degrees, normal (0, 1, -1): its prism leans away from the vertical one.
    const vec3 tilted[3] = {{0, 0, 0}, {0, 1, 1}, {1, 0, 0}};
    struct row {
        const char *what;
        const vec3 *tri;
        vec3 centre;
        float depth;
        bool writes;
        vec3 normal;
    };
    const float s34 = sqrtf(0.34f), s05 = sqrtf(0.5f), s1605 = sqrtf(1.605f);
    const row rows[] = {
        {"face", flat, {0.25f, 0.5f, 0.25f}, 0.5f, true, {0, 1, 0}},
        {"above vertex 0: inside counts the boundary", flat, {0, 0.5f, 0}, 0.5f, true, {0, 1, 0}},
        {"clear of the face", flat, {0.25f, 1.5f, 0.25f}, -0.5f, true, {0, 1, 0}},
        {"edge 0", flat, {-0.5f, 0.3f, 0.5f}, 1 - s34, true, {-0.5f / s34, 0.3f / s34, 0}},
        {"vertex 1", flat, {-0.3f, 0.4f, 1.5f}, 1 - s05, true,
         {-0.3f / s05, 0.4f / s05, 0.5f / s05}},
        // Outside edge 0 only, yet the foot on edge 1 (t = 0.55) wins over vertex 0 at 0.640312.
        {"edge 1 before the nearer vertex", flat, {-0.3f, 0.4f, -0.4f}, 1 - s1605, true,
         {-0.85f / s1605, 0.4f / s1605, -0.85f / s1605}},
        {"sunk, face values written", flat, {0.25f, -1.5f, 0.25f}, 2.5f, true, {0, 1, 0}},
        {"sunk outside the vertical prism", tilted, {0.25f, -0.9142136f, 1.9142136f}, 0.0f,
         false, {}},
    };
    for (const row &r : rows) {
        vec3 point = UNTOUCHED, normal = UNTOUCHED;
        float depth = collide_sphere_triangle(&point, &normal, r.centre, 1.0f, r.tri);
        EXPECT_NEAR(depth, r.depth, 1e-5) << r.what;
        if (r.writes) {
            expect_vec(normal, r.normal, 1e-5, r.what);
            expect_vec(point, r.centre - r.normal, 1e-5, r.what);
        } else {
            expect_vec(normal, UNTOUCHED, 0, r.what);
            expect_vec(point, UNTOUCHED, 0, r.what);
        }
    }
    EXPECT_NEAR(sqrtf(vec3_length2(vec3{-0.3f, 0.4f, -0.4f})), 0.640312f, 1e-5);
}

TEST(bike_geometry, TyreAgainstTriangleTable) {
    const float R = 0.8333f, r = 0.3333f;
    const vec3 big[3] = {{-10, 0, -10}, {-10, 0, 10}, {10, 0, -10}};
    const vec3 across = {1, 0, 0}, upright = {0, 1, 0};
    struct row {
        const char *what;
        vec3 centre;
        vec3 axle;
        float face_depth;  // collide_torus_triangle_face
        float depth;       // collide_torus_triangle
        vec3 normal;
        vec3 point;        // not checked when x is NAN
    };
    const vec3 up = {0, 1, 0};
    const vec3 edge_normal = unit(vec3{6, 10, 6});
    const row rows[] = {
        {"ring above", {0, 1.0f, 0}, across, R + r - 1.0f, R + r - 1.0f, up,
         {0, 1.0f - R - r, 0}},
        {"ring clear", {0, 2.0f, 0}, across, R + r - 2.0f, R + r - 2.0f, up, {0, 2.0f - R - r, 0}},
        {"ring crossing", {0, 0.5f, 0}, across, R + r - 0.5f, R + r - 0.5f, up,
         {0, 0.5f - R - r, 0}},
        {"ring under", {0, -1.0f, 0}, across, 2 * R, 2 * R, up, {0, -1.0f - R, 0}},
        // Lying flat: the first trial direction (1, 0, 0) picks the ring point.
        {"lying flat", {-2, 0.2f, -2}, upright, r - 0.2f, r - 0.2f, up, {-2 + R, 0.2f - r, -2}},
        // Lying flat across the long edge: only the boundary reaches it.
        {"lying flat on an edge", {0, 0.2f, 0}, upright, 0, r - 0.2f, up, {NAN, 0, 0}},
        // Ring crossing the plane beside the long edge, which passes inside the ring.
        {"through an edge", {0.3f, 0.5f, 0}, across, r - 0x1p-20f, r - 0x1p-20f, edge_normal,
         vec3{0.3f, 0.5f - 0.5f * R / sqrtf(0.34f), -0.3f * R / sqrtf(0.34f)} - edge_normal * r},
    };
    for (const row &t : rows) {
        for (int full = 0; full < 2; full++) {
            vec3 point = UNTOUCHED, normal = UNTOUCHED;
            float depth = full ? collide_torus_triangle(&point, &normal, t.centre, t.axle, R, r, big)
                               : collide_torus_triangle_face(&point, &normal, t.centre, t.axle, R,
                                                            r, big);
            std::string what = std::string(t.what) + (full ? " (full)" : " (face)");
            float want = full ? t.depth : t.face_depth;
            EXPECT_NEAR(depth, want, 1e-4) << what;
            if (want == 0) {
                expect_vec(normal, UNTOUCHED, 0, what.c_str());
                expect_vec(point, UNTOUCHED, 0, what.c_str());
                continue;
            }
            expect_vec(normal, t.normal, 1e-4, what.c_str());
            if (!std::isnan(t.point.x)) expect_vec(point, t.point, 1e-4, what.c_str());
        }
    }
}

// The distance from p to the ring, and the disc distance of a vertex, in double precision.
struct ring_d {
    double c[3], a[3], R;
    void parts(const double p[3], double *radial, double *axial) const {
        double w[3] = {p[0] - c[0], p[1] - c[1], p[2] - c[2]};
        double h = w[0] * a[0] + w[1] * a[1] + w[2] * a[2];
        double q2 = w[0] * w[0] + w[1] * w[1] + w[2] * w[2] - h * h;
        *radial = sqrt(q2 > 0 ? q2 : 0);
        *axial = h;
    }
    double ring(const double p[3]) const {
        double rad, ax;
        parts(p, &rad, &ax);
        return sqrt((rad - R) * (rad - R) + ax * ax);
    }
    double disc(const double p[3]) const {
        double rad, ax;
        parts(p, &rad, &ax);
        double out = rad > R ? rad - R : 0;
        return sqrt(out * out + ax * ax);
    }
};

// Free placements (any triangle, any axle), then wheels over a terrain cell near grazing,
// where the edge search converges slowest.
TEST(bike_geometry, TyreBoundaryMatchesBruteForce) {
    std::mt19937 gen(20240508);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    for (int placement = 0; placement < 400; placement++) {
        vec3 tri[3], c, a;
        float R, r = 0.3333f;
        if (placement < 200) {
            for (vec3 &v : tri) v = {3 * u(gen) - 1.5f, 1.5f * u(gen) - 0.75f, 3 * u(gen) - 1.5f};
            c = {1.5f * u(gen) - 0.75f, 1.5f * u(gen) - 0.45f, 1.5f * u(gen) - 0.75f};
            a = unit(vec3{gauss(gen), gauss(gen), gauss(gen)});
            R = 0.4f + 0.6f * u(gen);
        } else {
            float s = 0.5f + 3.5f * u(gen), h[4];
            for (float &y : h) y = (u(gen) - 0.5f) * 0.8f * s;
            bool second = placement & 1;
            tri[0] = second ? vec3{s, h[3], s} : vec3{0, h[0], 0};
            tri[1] = second ? vec3{s, h[2], 0} : vec3{0, h[1], s};
            tri[2] = second ? vec3{0, h[1], s} : vec3{s, h[2], 0};
            float yaw = 6.2832f * u(gen), lean = 2.0f * u(gen) - 1.0f;
            a = {cosf(yaw) * cosf(lean), sinf(lean), sinf(yaw) * cosf(lean)};
            R = u(gen) < 0.5f ? 0.75f : 0.8333f;
            c = {(1.6f * u(gen) - 0.3f) * s, R + u(gen) - 0.5f, (1.6f * u(gen) - 0.3f) * s};
        }
        vec3 n = vec3_cross(tri[1] - tri[0], tri[2] - tri[0]);
        vec3 point, normal;
        float got = torus_triangle_boundary(&point, &normal, c, a, R, r, tri, n);

        ring_d ring = {{c.x, c.y, c.z}, {a.x, a.y, a.z}, R};
        double best = INFINITY;
        for (int k = 0; k < 3; k++) {
            vec3 s = tri[k], e = tri[(k + 1) % 3] - tri[k];
            for (int i = 0; i <= 10000; i++) {
                double t = i / 10000.0;
                double p[3] = {s.x + t * e.x, s.y + t * e.y, s.z + t * e.z};
                best = fmin(best, ring.ring(p));
            }
            double v[3] = {s.x, s.y, s.z};
            best = fmin(best, ring.disc(v));
        }
        ASSERT_NEAR(got, best, 1e-4) << "placement " << placement;
        // The point written is the edge point at that distance from the ring, or the vertex at
        // that distance from the disc.
        if (got <= 1e-5) continue;
        double p[3] = {point.x, point.y, point.z};
        bool vertex = false;
        for (const vec3 &v : tri) vertex |= v.x == point.x && v.y == point.y && v.z == point.z;
        EXPECT_NEAR(vertex ? ring.disc(p) : ring.ring(p), got, 1e-4) << placement;
    }
}

TEST(bike_geometry, RingAndPlaneHelpers) {
    const vec3 c = {1, 2, 3};
    struct row {
        const char *what;
        vec3 axis;
        float radius;
        vec3 p;
        vec3 want;
    };
    const row rows[] = {
        {"off the axis", {1, 0, 0}, 2, {9, 5, 7}, {1, 3.2f, 4.6f}},
        {"any axis length", {0, 0, 5}, 2, {4, 6, -8}, {2.2f, 3.6f, 3}},
        // On the axis: trial (r, 0, 0) lies along an x axle, so (0, r, 0) is taken.
        {"on an x axis", {1, 0, 0}, 2, {6, 2, 3}, {1, 4, 3}},
        {"on a y axis", {0, 1, 0}, 2, {1, -7, 3}, {3, 2, 3}},
        {"at the centre", {0, 0, 1}, 2, c, {3, 2, 3}},
        {"radius 0 on the axis", {0, 1, 0}, 0, c, c},
    };
    for (const row &t : rows) {
        vec3 out = UNTOUCHED;
        ring_closest_point(&out, c, t.axis, t.radius, t.p);
        expect_vec(out, t.want, 1e-5, t.what);
    }
    vec3 moved = {9, 5, 7};
    ring_point_offset(&moved, vec3{0, 1, 0}, c, vec3{1, 0, 0}, 2, 0.5f);
    expect_vec(moved, vec3{1, 2.7f, 4.6f}, 1e-5, "ring_point_offset");

    EXPECT_NEAR(plane_distance(vec3{0, 1, 0}, vec3{0, 3, 4}, vec3{5, -1, 2}), 0.4, 1e-6);

    vec3 hit = UNTOUCHED;
    EXPECT_EQ(ray_plane_intersect(&hit, vec3{1, 5, 2}, vec3{0, -2, 0}, vec3{0, 1, 0},
                                  vec3{0, 3, 0}),
              1);
    expect_vec(hit, vec3{1, 1, 2}, 1e-6, "ray meets plane");
    // Parallel: 0, and the origin.
    hit = UNTOUCHED;
    EXPECT_EQ(ray_plane_intersect(&hit, vec3{0, 0, 0}, vec3{1, 0, 1}, vec3{0, 1, 0},
                                  vec3{0, 1, 0}),
              0);
    expect_vec(hit, vec3{0, 0, 0}, 0, "parallel");
}
