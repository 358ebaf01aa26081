// The surface on fields built in memory: heights and normals on the alternating-diagonal mesh,
// hostile coordinates, the marks of a height edit, vertex normals and shading.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "tests/terrain/terrain_test_support.h"

static vec3 unit(vec3 v) {
    return v * (1.0f / sqrtf(vec3_length2(v)));
}

TEST(terrain_surface, HeightsAndNormalsOnTheMesh) {
    memory_field flat(9, 2.0f, [](int, int) { return 5.0f; });
    for (float x : {0.0f, 3.3f, 16.0f, -100.0f, 1e6f})
        for (float z : {0.0f, 7.9f, -100.0f}) EXPECT_EQ(terrain_height_at(flat.get(), x, z), 5.0f) << x << " " << z;

    // Cell (0, 0) is even: its diagonal runs from (0, 0) to (1, 1).
    memory_field ramp(3, 1.0f, [](int x, int) { return (float)x; });
    struct {
        float x, z, h;
    } cases[] = {{0.5f, 0.25f, 0.5f}, {0.25f, 0.5f, 0.25f}, {0.4f, 0.4f, 0.4f}, {1.5f, 0.5f, 1.5f}};
    for (auto &c : cases) EXPECT_FLOAT_EQ(terrain_height_at(ramp.get(), c.x, c.z), c.h) << c.x << " " << c.z;

    // On a plane every normal is the plane's, at every sample, the border included.
    const float a = 0.25f, b = -0.5f, s = 2.0f;
    memory_field plane(9, s, [&](int x, int z) { return a * x * s + b * z * s; });
    vec3 want = unit({-a, 1, -b});
    for (int z = 0; z < 9; z++)
        for (int x = 0; x < 9; x++) {
            vec3 v = terrain_vertex_normal(plane.get(), x, z);
            EXPECT_NEAR(v.x, want.x, 1e-5) << x << " " << z;
            EXPECT_NEAR(v.y, want.y, 1e-5) << x << " " << z;
            EXPECT_NEAR(v.z, want.z, 1e-5) << x << " " << z;
        }
    for (float x : {0.3f, 5.1f, 9.9f, 15.5f})
        for (float z : {0.7f, 6.2f, 15.9f}) {
            vec3 n;
            terrain_normal_at(plane.get(), x, z, &n);
            EXPECT_NEAR(n.y, s * s, 1e-5);
            vec3 u = unit(n);
            EXPECT_NEAR(u.x, want.x, 1e-5);
            EXPECT_NEAR(u.z, want.z, 1e-5);
        }
}

TEST(terrain_surface, NeighbouringTrianglesAgreeOnEdgesAndDiagonals) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> height(-3.0f, 3.0f);
    const int n = 17;
    memory_field f(n, 1.0f, [&](int, int) { return height(rng); });
    auto H = [&](int x, int z) { return f.heights[x + (size_t)n * z]; };
    for (int trial = 0; trial < 400; trial++) {
        int cx = (int)(rng() % (n - 1)), cz = (int)(rng() % (n - 1));
        float t = (float)(rng() % 64) / 64.0f;   // exact in binary
        // The cell's diagonal by parity, and its edge x = cx: lines both triangles share.
        float x, z, expected;
        if ((cx + cz) % 2 == 0) {
            x = cx + t, z = cz + t;
            expected = H(cx, cz) + t * (H(cx + 1, cz + 1) - H(cx, cz));
        } else {
            x = cx + t, z = cz + 1 - t;
            expected = H(cx, cz + 1) + t * (H(cx + 1, cz) - H(cx, cz + 1));
        }
        EXPECT_NEAR(terrain_height_at(f.get(), x, z), expected, 1e-5) << cx << " " << cz << " " << t;
        float edge = H(cx, cz) + t * (H(cx, cz + 1) - H(cx, cz));
        EXPECT_NEAR(terrain_height_at(f.get(), (float)cx, cz + t), edge, 1e-5) << cx << " " << cz;
    }
}

TEST(terrain_surface, HostileCoordinatesReadTheBorder) {
    const int n = 9;
    memory_field f(n, 1.0f, [](int x, int z) { return (float)(x + 10 * z); });
    const float inf = INFINITY, nan = NAN;
    struct {
        float x, z, h;
    } cases[] = {
        {nan, 3.5f, 35},      {-inf, 3.5f, 35},   {inf, 3.5f, 8 + 35}, {-1e30f, 3.5f, 35},
        {1e30f, 3.5f, 8 + 35}, {2.0f, nan, 2},     {2.0f, -inf, 2},     {2.0f, inf, 2 + 80},
        {2.0f, 1e30f, 2 + 80}, {nan, nan, 0},     {inf, inf, 88},      {-inf, 1e30f, 80},
    };
    for (auto &c : cases) {
        EXPECT_FLOAT_EQ(terrain_height_at(f.get(), c.x, c.z), c.h) << c.x << " " << c.z;
        vec3 normal;
        terrain_normal_at(f.get(), c.x, c.z, &normal);
        EXPECT_TRUE(std::isfinite(normal.x) && std::isfinite(normal.z) && normal.y > 0);
    }
}

// The set bits of a bit array.
static std::set<size_t> bits_of(const std::vector<unsigned char> &bits) {
    std::set<size_t> out;
    for (size_t i = 0; i < bits.size() * 8; i++)
        if (terrain_bit(bits.data(), i)) out.insert(i);
    return out;
}

TEST(terrain_surface, SetHeightMarksWhatDependsOnTheSample) {
    const int n = 9;
    memory_field f(n, 2.0f, [](int, int) { return 1.0f; });
    auto clear = [&] {
        std::fill(f.triangle_dirty.begin(), f.triangle_dirty.end(), 0);
        std::fill(f.shading_dirty.begin(), f.shading_dirty.end(), 0);
        std::fill(f.normal_dirty.begin(), f.normal_dirty.end(), 0);
        f->modified_flags = 0;
    };
    auto samples = [&](int x0, int x1, int z0, int z1) {
        std::set<size_t> s;
        for (int z = z0; z <= z1; z++)
            for (int x = x0; x <= x1; x++) s.insert(x + (size_t)n * z);
        return s;
    };
    auto triangles = [&](int c0, int c1, int r0, int r1) {
        std::set<size_t> s;
        for (int r = r0; r <= r1; r++)
            for (int c = c0; c <= c1; c++) s.insert(c + (size_t)2 * (n - 1) * r);
        return s;
    };
    struct {
        int column, row;
        std::set<size_t> shading, tris;
    } cases[] = {
        {3, 4, samples(2, 4, 3, 5), triangles(4, 7, 3, 4)},
        {0, 0, samples(0, 1, 0, 1), triangles(0, 1, 0, 0)},
        {8, 8, samples(7, 8, 7, 8), triangles(14, 15, 7, 7)},
        {8, 0, samples(7, 8, 0, 1), triangles(14, 15, 0, 0)},
    };
    for (auto &c : cases) {
        clear();
        terrain_set_height(f.get(), c.column, c.row, 7.0f);
        EXPECT_EQ(f.heights[c.column + (size_t)n * c.row], 7.0f);
        EXPECT_EQ(bits_of(f.shading_dirty), c.shading) << c.column << " " << c.row;
        EXPECT_EQ(bits_of(f.normal_dirty), c.shading) << c.column << " " << c.row;
        EXPECT_EQ(bits_of(f.triangle_dirty), c.tris) << c.column << " " << c.row;
        EXPECT_EQ(f->modified_flags, 7);
        EXPECT_EQ(f->max_height, 7.0f);
    }
    terrain_set_height(f.get(), 1, 1, -2.0f);
    EXPECT_EQ(f->min_height, -2.0f);

    // Outside the grid, while frozen, or with a height that is no number: nothing at all.
    std::vector<float> before = f.heights;
    for (int step = 0; step < 5; step++) {
        clear();
        f->heights_frozen = step == 2;
        if (step == 0) terrain_set_height(f.get(), n, 3, 4.0f);
        if (step == 1) terrain_set_height(f.get(), 3, -1, 4.0f);
        if (step == 2) terrain_set_height(f.get(), 3, 3, 4.0f);
        if (step == 3) terrain_set_height(f.get(), 3, 3, NAN);
        if (step == 4) terrain_set_height(f.get(), 3, 3, INFINITY);
        EXPECT_EQ(f.heights, before) << step;
        EXPECT_TRUE(bits_of(f.shading_dirty).empty()) << step;
        EXPECT_TRUE(bits_of(f.triangle_dirty).empty()) << step;
        EXPECT_EQ(f->modified_flags, 0) << step;
        EXPECT_EQ(f->max_height, 7.0f);
        EXPECT_EQ(f->min_height, -2.0f);
    }
}

TEST(terrain_surface, ShadingAndNormalMap) {
    const int n = 9;
    memory_field f(n, 2.0f, [](int, int) { return 3.0f; });
    unsigned char rgb[3];
    for (int z = 0; z < n; z++)
        for (int x = 0; x < n; x++) {
            terrain_shade_sample(f.get(), x, z, rgb);
            EXPECT_EQ(rgb[0], 127);
            EXPECT_EQ(rgb[2], 127);
        }
    // Full shadow leaves the ambient light; twice the light saturates at half scale.
    f.shadows[4] = 255;
    f.light.ambient[0] = 0.5f;
    f.light.sun_color[1] = 2.0f;
    f.light.sun_color[2] = 4.0f;
    terrain_shade_sample(f.get(), 3, 0, rgb);
    EXPECT_EQ(rgb[0], 191);
    EXPECT_EQ(rgb[1], 255);
    terrain_shade_sample(f.get(), 4, 0, rgb);
    EXPECT_EQ(rgb[0], 63);
    EXPECT_EQ(rgb[1], 0);
    // Out of the grid reads the border sample.
    unsigned char border[3];
    terrain_shade_sample(f.get(), -5, 100, rgb);
    terrain_shade_sample(f.get(), 0, n - 1, border);
    EXPECT_EQ(memcmp(rgb, border, 3), 0);

    // Reshading recomputes the marked samples only, and their normal-map texels.
    terrain_set_height(f.get(), 6, 6, 3.0f);
    terrain_reshade_dirty(f.get());
    for (int z = 0; z < n; z++)
        for (int x = 0; x < n; x++) {
            size_t i = x + (size_t)n * z;
            bool marked = std::abs(x - 6) <= 1 && std::abs(z - 6) <= 1;
            EXPECT_EQ(f.shading[3 * i], marked ? 191 : 0) << x << " " << z;
            EXPECT_EQ(f.normal_map[3 * i], marked ? 128 : 0);
            EXPECT_EQ(f.normal_map[3 * i + 1], marked ? 255 : 0);
        }
    EXPECT_TRUE(bits_of(f.shading_dirty).empty());
    EXPECT_TRUE(bits_of(f.normal_dirty).empty());

    // A slope facing the sun along x: the normal map's red leans away from 128.
    memory_field slope(9, 1.0f, [](int x, int) { return -(float)x; });
    terrain_normal_texel(slope.get(), 4, 4, rgb);
    EXPECT_EQ(rgb[0], 128 + (int)(127 * (1 / sqrtf(2.0f))));
    EXPECT_EQ(rgb[2], 128);
}
