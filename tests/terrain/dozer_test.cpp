// The earth-moving vehicle: its bodies, driving, the blade, the four working modes on a slope,
// tile repainting and its safety when tipped over.
#include <gtest/gtest.h>

#include <cmath>

#include "bike/dozer.h"
#include "bike/physics.h"
#include "terrain/tile.h"
#include "tests/terrain/erode_test_support.h"

namespace {

// The physics world and a vehicle in it, on a field (spacing 1, 257 x 257 samples) whose height
// rises by slope per foot of z; the vehicle stands at (128, y, 128) heading -z.
struct dozer_world {
    erode_field field;
    dozer *d = nullptr;
    explicit dozer_world(float slope = 0) : field(257, 1.0f, slope) {
        EXPECT_EQ(physics_open(), 1);
        d = dozer_create();
        EXPECT_NE(d, nullptr);
        dozer_translate(d, 128, 128 * slope, 128);
    }
    ~dozer_world() {
        dozer_destroy(d);
        physics_close();
    }
    vec3 position(int body) {
        const dReal *p = dBodyGetPosition(d->bodies[body]);
        return {(float)p[0], (float)p[1], (float)p[2]};
    }
    void run(int ticks) {
        for (int i = 0; i < ticks; i++) dozer_tick(d, field.m.get());
    }
};

}  // namespace

TEST(terrain_dozer, bodies_start_at_rest_and_move_together) {
    ASSERT_EQ(physics_open(), 1);
    dozer *d = dozer_create();
    ASSERT_NE(d, nullptr);
    const float rest[9][3] = {{-5, 1, -5}, {5, 1, -5}, {-5, 1, -5.0f / 3}, {5, 1, -5.0f / 3}, {-5, 1, 5.0f / 3},
                              {5, 1, 5.0f / 3}, {-5, 1, 5}, {5, 1, 5}, {0, 2, 0}};
    auto expect_at = [&](float dx, float dy, float dz) {
        for (int i = 0; i < 9; i++) {
            const dReal *p = dBodyGetPosition(d->bodies[i]);
            EXPECT_NEAR(p[0], rest[i][0] + dx, 1e-5) << i;
            EXPECT_NEAR(p[1], rest[i][1] + dy, 1e-5) << i;
            EXPECT_NEAR(p[2], rest[i][2] + dz, 1e-5) << i;
        }
    };
    expect_at(0, 0, 0);
    EXPECT_EQ(dozer_get_chassis(d), d->bodies[8]);
    EXPECT_FLOAT_EQ(d->blade, 0.5f);
    dozer_translate(d, 10, 3, -4);
    expect_at(10, 3, -4);
    dBodySetLinearVel(d->bodies[3], 5, 5, 5);
    d->mode = 2;
    dozer_reset(d);
    expect_at(0, 0, 0);
    EXPECT_EQ(dBodyGetLinearVel(d->bodies[3])[0], 0);
    EXPECT_EQ(d->mode, 0);
    dozer_destroy(d);
    physics_close();
}

TEST(terrain_dozer, settles_drives_straight_and_turns) {
    dozer_world w;
    w.run(256);
    EXPECT_NEAR(w.position(DOZER_CHASSIS).y, 2.0f, 0.3f);
    vec3 start = w.position(DOZER_CHASSIS);
    dozer_drive(w.d, -4);
    w.run(256);
    vec3 moved = w.position(DOZER_CHASSIS) - start;
    EXPECT_LT(moved.z, -4.0f);    // about 4 ft/s toward -z for 2 s
    EXPECT_GT(moved.z, -10.0f);
    EXPECT_NEAR(moved.x, 0.0f, 0.2f);
    EXPECT_NEAR(w.position(DOZER_CHASSIS).y, 2.0f, 0.3f);
    // With steer the sides run at different speeds and the heading turns.
    dozer_set_steer(w.d, 2);
    dozer_drive(w.d, -4);
    w.run(256);
    const dReal *r = dBodyGetRotation(dozer_get_chassis(w.d));
    EXPECT_GT(fabs(r[2]), 0.2);   // the forward axis has turned sideways
    EXPECT_EQ(w.field.sum(), 0.0);   // the raised blade touched nothing
}

TEST(terrain_dozer, blade_reaches_its_target_without_overshoot) {
    dozer_world w;
    dBodySetLinearVel(dozer_get_chassis(w.d), 10, 0, 0);
    dozer_set_blade_target(w.d, 0.9f);
    float last = w.d->blade;
    for (int i = 0; i < 200; i++) {
        dozer_update_blade(w.d);
        ASSERT_GE(w.d->blade, last);
        ASSERT_LE(w.d->blade, 0.9f);
        last = w.d->blade;
    }
    EXPECT_FLOAT_EQ(w.d->blade, 0.9f);
    for (float rate : {300.0f, -300.0f}) {
        dozer_set_blade_rate(w.d, rate);
        for (int i = 0; i < 10; i++) dozer_update_blade(w.d);
        EXPECT_FLOAT_EQ(w.d->blade, rate > 0 ? 1.0f : -1.0f);
    }
}

// The blade edge of a vehicle standing level at (128, y, 128) heading -z with blade 0 runs
// along z = 121 from x = 122 to 134 at height y - 2.
TEST(terrain_dozer, modes_on_a_slope) {
    struct mode_case {
        int mode;
        float edge_above;   // the edge's height over the ground at z = 121
    };
    for (mode_case c : {mode_case{3, 0.05f}, {3, -0.05f}, {2, 0.3f}, {1, -0.5f}, {0, -0.5f}}) {
        dozer_world w(0.1f);
        terrain_field *f = w.field.m.get();
        // Grass (kind 1) everywhere; the painted kind 0 is dirt.
        f->kind_count = 2;
        f->kinds[1].transition = 1 << 16 | 1 << 8;
        for (auto &t : w.field.m.tiles) t = 1;
        float edge_y = 12.1f + c.edge_above;
        dozer_translate(w.d, 0, edge_y + 2 - w.position(DOZER_CHASSIS).y, 0);
        w.d->blade = 0;
        w.d->mode = c.mode;
        std::vector<float> before = w.field.m.heights;
        double sum = w.field.sum();
        ASSERT_EQ(dozer_work_ground(w.d, f), 1);
        EXPECT_EQ(f->edit_generation, 2) << c.mode;
        EXPECT_GT(w.d->totals.samples, 0) << c.mode;
        int changed = 0;
        for (int z = 0; z < 257; z++)
            for (int x = 0; x < 257; x++) {
                float was = before[x + 257 * (size_t)z], now = w.field.at(x, z);
                if (now == was) continue;
                changed++;
                float r = fmaxf(fmaxf(122.0f - x, (float)x - 134), 0.0f);
                r = sqrtf(r * r + (z - 121.0f) * (z - 121.0f));
                if (c.mode >= 2) {
                    EXPECT_LE(r, 0.5f);
                    EXPECT_NEAR(now, edge_y, 1e-5);
                } else if (c.mode == 1) {
                    EXPECT_LE(r, 2.0f);
                    EXPECT_NEAR(now, edge_y + 2 - sqrtf(4 - r * r), 1e-4);
                    EXPECT_LT(now, was);
                }
            }
        if (c.mode != 0) {
            EXPECT_EQ(changed, w.d->totals.samples) << c.mode;   // (mode 0 moves some twice)
        }
        if (c.mode == 3) {
            EXPECT_EQ(changed, 13) << c.edge_above;   // x 122..134 on row 121
        }
        if (c.mode == 2 || c.mode == 1) {
            EXPECT_EQ(w.field.m.tiles[61 + 128 * 60], 0) << c.mode;   // cell (61, 60) painted
            EXPECT_GT(w.d->totals.tiles, 0);
        }
        if (c.mode == 3) {
            EXPECT_EQ(w.d->totals.tiles, 0);
        }
        if (c.mode == 0) {
            // The cut is moved, not lost, and lands ahead of the blade (downhill).
            EXPECT_NEAR(w.field.sum(), sum, 1e-2);
            EXPECT_GT(w.d->totals.cut, 0.5);
            bool raised_ahead = false;
            for (int z = 100; z < 121; z++)
                for (int x = 110; x < 146; x++)
                    if (w.field.at(x, z) > before[x + 257 * (size_t)z] + 1e-4f) raised_ahead = true;
            EXPECT_TRUE(raised_ahead);
        }
    }
}

TEST(terrain_dozer, tipped_over_it_does_no_ground_work) {
    dozer_world w;
    // On its nose: the chassis's z axis points straight down.
    dMatrix3 r;
    dRFromAxisAndAngle(r, 1, 0, 0, M_PI / 2);
    dBodySetRotation(dozer_get_chassis(w.d), r);
    w.d->blade = -1;
    w.d->mode = 1;
    EXPECT_EQ(dozer_work_ground(w.d, w.field.m.get()), 0);
    EXPECT_EQ(w.d->totals.skipped, 1);
    w.run(64);
    for (int i = 0; i < 9; i++) {
        const dReal *p = dBodyGetPosition(w.d->bodies[i]);
        EXPECT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
    }
    for (float h : w.field.m.heights) ASSERT_TRUE(std::isfinite(h));
    // A body that is not finite stops the ground work as well.
    dBodySetPosition(w.d->bodies[2], NAN, 0, 0);
    EXPECT_EQ(dozer_work_ground(w.d, w.field.m.get()), 0);
}

TEST(terrain_dozer, painting_picks_the_neighbours_transitions) {
    memory_field m(33, 1.0f, [](int, int) { return 0.0f; });   // 16 x 16 tiles
    terrain_field *f = m.get();
    // Dirt, grass, then dirt-grass transitions whose set corner bits show grass (masks 1..14).
    f->kind_count = 16;
    f->kinds[0].transition = 0;
    f->kinds[1].transition = 1 << 16 | 1 << 8;
    for (int mask = 1; mask <= 14; mask++) f->kinds[1 + mask].transition = 0 << 16 | 1 << 8 | mask;
    for (auto &t : m.tiles) t = 1;
    ASSERT_EQ(tile_paint_cell(f, 5, 5, 0), 1);
    struct neighbour {
        int dx, dz, painted_mask;
    };
    const neighbour around[] = {{-1, -1, 1}, {0, -1, 3}, {1, -1, 2}, {-1, 0, 5},
                                {1, 0, 10},  {-1, 1, 4}, {0, 1, 12}, {1, 1, 8}};
    EXPECT_EQ(m.tiles[5 + 16 * 5], 0);
    for (const neighbour &n : around)
        EXPECT_EQ(m.tiles[(5 + n.dx) + 16 * (5 + n.dz)], 1 + (15 & ~n.painted_mask)) << n.dx << " " << n.dz;
    EXPECT_EQ(m.tiles[7 + 16 * 5], 1);
    // At the map's edge the cells outside are left alone.
    EXPECT_EQ(tile_paint_cell(f, 0, 0, 0), 1);
    EXPECT_EQ(tile_paint_cell(f, 16, 0, 0), 0);
    // Plain kinds only (as the stock tracks): no transition fits, the neighbours keep theirs.
    for (int k = 0; k < 4; k++) f->kinds[k].transition = k << 16 | k << 8;
    f->kind_count = 4;
    for (auto &t : m.tiles) t = 1;
    tile_paint_cell(f, 8, 8, 0);
    for (const neighbour &n : around) EXPECT_EQ(m.tiles[(8 + n.dx) + 16 * (8 + n.dz)], 1);
}
