// Dig and deposit: the two brushes, their invalidation and their behaviour on hostile input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "terrain/dig.h"
#include "tests/terrain/erode_test_support.h"

TEST(terrain_dig, falloff_ends_and_nan) {
    EXPECT_FLOAT_EQ(terrain_falloff(0, 2), 1.0f);
    EXPECT_FLOAT_EQ(terrain_falloff(2, 2), 0.0f);
    EXPECT_FLOAT_EQ(terrain_falloff(1, 2), 0.5f);
    EXPECT_FLOAT_EQ(terrain_falloff(2.5f, 2), 0.0f);
    EXPECT_FLOAT_EQ(terrain_falloff(std::nanf(""), 2), 1.0f);
}

TEST(terrain_dig, half_spacing_bump_gives_the_centre_the_full_amount) {
    erode_field f(65, 2.0f);
    float sum = terrain_add_bump(f.m.get(), 20.0f, 30.0f, 1.0f, 0.75f);   // sample (10, 15)
    EXPECT_FLOAT_EQ(sum, 0.75f);
    EXPECT_FLOAT_EQ(f.at(10, 15), 0.75f);
    EXPECT_DOUBLE_EQ(f.sum(), 0.75);
    EXPECT_EQ(f->edit_generation, 2);
    // Off a sample the 2 x 2 square is visited: only the nearest sample is within reach.
    float w = terrain_falloff(sqrtf(0.2f * 0.2f + 0.3f * 0.3f), 0.5f);
    sum = terrain_add_bump(f.m.get(), 2.0f * 30.2f, 2.0f * 20.3f, 1.0f, 1.0f);
    EXPECT_NEAR(sum, w, 1e-6);
    EXPECT_NEAR(f.at(30, 20), w, 1e-6);
    EXPECT_EQ(f.at(31, 20), 0.0f);
    EXPECT_EQ(f.at(30, 21), 0.0f);
}

TEST(terrain_dig, corner_bump_returns_the_full_sum_but_changes_less) {
    erode_field f(65, 1.0f);
    float inside = terrain_add_bump(f.m.get(), 30.3f, 30.6f, 3.0f, -1.0f);
    double changed_inside = f.sum();
    EXPECT_NEAR(changed_inside, inside, 1e-4);
    erode_field g(65, 1.0f);
    float corner = terrain_add_bump(g.m.get(), 0.3f, 0.6f, 3.0f, -1.0f);
    EXPECT_NEAR(corner, inside, 1e-5);
    EXPECT_GT(g.sum(), (double)corner + 0.5);   // much of the square lies outside the grid
    EXPECT_EQ(terrain_add_bump(g.m.get(), 10, 10, 3, 0), 0.0f);
}

TEST(terrain_dig, spread_adds_the_volume_or_volume_times_small_weights) {
    struct spread_case {
        float x, z, radius;
    };
    for (spread_case c : {spread_case{30.4f, 31.7f, 3.0f}, spread_case{40.2f, 40.3f, 0.5f}}) {
        erode_field f(65, 1.0f);
        terrain_spread_volume(f.m.get(), c.x, c.z, c.radius, 5.0f);
        float w = 0;
        for (int z = 0; z < 65; z++)
            for (int x = 0; x < 65; x++)
                w += terrain_falloff(sqrtf((x - c.x) * (x - c.x) + (z - c.z) * (z - c.z)), c.radius);
        double expect = w >= 1 ? 5.0 : 5.0 * w;
        EXPECT_NEAR(f.sum(), expect, 1e-4) << c.radius;
        EXPECT_EQ(f->edit_generation, 2);
    }
}

// A field in render mode 2 with 3 x 3 low-detail textures (k 9).
struct reshade_field {
    erode_field f{1025, 1.0f};
    std::vector<unsigned char> bits = std::vector<unsigned char>(2, 0);
    reshade_field() {
        f->render_mode = TILE_RENDER_COPYTEXSUBIMAGE;
        f->m = 3;
        f->reshade_pending = bits.data();
    }
    std::vector<int> marked() {
        std::vector<int> out;
        for (int i = 0; i < 9; i++)
            if (terrain_bit(bits.data(), (size_t)i)) out.push_back(i);
        return out;
    }
};

TEST(terrain_dig, reshade_bits_of_the_low_detail_textures_over_the_square) {
    struct bits_case {
        float x, z, radius;
        int mode;
        std::vector<int> expect;
    };
    const bits_case cases[] = {
        {400.5f, 10.5f, 4, TILE_RENDER_COPYTEXSUBIMAGE, {1}},
        {383.5f, 383.5f, 2, TILE_RENDER_FBO, {0, 1, 3, 4}},
        {1020.0f, 1020.0f, 8, TILE_RENDER_FBO, {8}},           // clamped to the last texture
        {1.0f, 1020.0f, 3, TILE_RENDER_COPYTEXSUBIMAGE, {6}},
        {400.5f, 10.5f, 4, 0, {}},
    };
    for (const bits_case &c : cases) {
        reshade_field r;
        r.f->render_mode = c.mode;
        terrain_add_bump(r.f.m.get(), c.x, c.z, c.radius, 0.5f);
        EXPECT_EQ(r.marked(), c.expect) << c.x << " " << c.z;
    }
}

TEST(terrain_dig, frozen_heights_still_invalidate_and_raise_the_generation) {
    reshade_field r;
    r.f->heights_frozen = 1;
    float sum = terrain_add_bump(r.f.m.get(), 400.5f, 10.5f, 4, 0.5f);
    terrain_spread_volume(r.f.m.get(), 400.5f, 10.5f, 4, 2.0f);
    EXPECT_GT(sum, 0.0f);
    EXPECT_EQ(r.f.sum(), 0.0);
    EXPECT_EQ(r.f->edit_generation, 3);
    EXPECT_EQ(r.marked(), std::vector<int>{1});
}

TEST(terrain_dig, hostile_calls_change_nothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct hostile {
        float x, z, radius, amount;
    };
    const hostile cases[] = {
        {nan, 5, 2, 1}, {5, nan, 2, 1}, {5, 5, nan, 1}, {5, 5, 2, nan}, {inf, 5, 2, 1},
        {5, -inf, 2, 1}, {5, 5, inf, 1}, {5, 5, 2, -inf}, {5, 5, 1e9f, 1}, {5, 5, 65, 1},
        {5, 5, -2, 1},
    };
    for (const hostile &c : cases) {
        erode_field f(65, 1.0f);
        EXPECT_EQ(terrain_add_bump(f.m.get(), c.x, c.z, c.radius, c.amount), 0.0f);
        terrain_spread_volume(f.m.get(), c.x, c.z, c.radius, c.amount);
        EXPECT_EQ(f.sum(), 0.0);
        EXPECT_EQ(f->edit_generation, 1);
    }
    // A centre far outside is a finite call: it visits samples far away and changes nothing.
    erode_field f(65, 1.0f);
    float sum = terrain_add_bump(f.m.get(), 1e30f, -1e30f, 2, 1);
    EXPECT_TRUE(std::isfinite(sum));
    terrain_spread_volume(f.m.get(), 1e30f, 1e30f, 2, 1);
    EXPECT_EQ(f.sum(), 0.0);
}
