// The particle pool: spawning until full, flight with drag and gravity, colour fades, landing,
// values that must stay finite, and the reset.
#include <gtest/gtest.h>

#include <cmath>

#include "race/objects.h"
#include "race/particles.h"
#include "terrain/terrain.h"
#include "tests/race/objects_test_support.h"
#include "tests/terrain/memory_field.h"

struct race_particles : ::testing::Test {
    fake_loads loads;
    memory_field ground{9, 64.0f, [](int, int) { return 0.0f; }};
    terrain_field *saved = terrain_current;
    roost_type dirt = {};
    void SetUp() override {
        terrain_current = ground.get();
        ASSERT_EQ(particle_create_billboards(), 1);
        dirt.texture = 7;
        dirt.size = 0.5f;
        dirt.grow = 1;
        dirt.r = dirt.g = dirt.b = 200;
        dirt.a = 255;
        dirt.fade_a = 254;   // -2 a tick
    }
    void TearDown() override { terrain_current = saved; }
    static const billboard &board(const particle *p) {
        return ((const billboard *)track_billboards.items)[p->billboard];
    }
};

TEST_F(race_particles, PoolFillsAndResets) {
    EXPECT_EQ(track_billboards.count, PARTICLE_COUNT);   // the first rows
    const float at[3] = {10, 1, 10}, up[3] = {0, 20, 0};
    for (int i = 0; i < PARTICLE_COUNT; i++) ASSERT_EQ(particle_spawn(at, up, &dirt), 1) << i;
    EXPECT_EQ(particle_spawn(at, up, &dirt), 0);
    EXPECT_EQ(particle_active_count(), PARTICLE_COUNT);
    const billboard &b = board(particle_active_list);
    EXPECT_EQ(b.texture, 7);
    EXPECT_EQ(b.size, 0.5f);
    EXPECT_EQ(b.y, 1.0f);
    particle_reset();
    EXPECT_EQ(particle_active_count(), 0);
    int free_count = 0;
    for (particle *p = particle_free_list; p; p = p->next) free_count++;
    EXPECT_EQ(free_count, PARTICLE_COUNT);
    EXPECT_EQ(particle_free_list, &particle_pool[0]);
    for (int i = 0; i < PARTICLE_COUNT; i++) EXPECT_EQ(((billboard *)track_billboards.items)[i].texture, 0);
}

TEST_F(race_particles, FlightFadesAndLanding) {
    // Thrown up from below the ground: it lives while it rises, and retires when it falls.
    const float below[3] = {10, -2, 10}, up[3] = {0, 16, 0};
    ASSERT_EQ(particle_spawn(below, up, &dirt), 1);
    particle *p = particle_active_list;
    int ticks = 0;
    while (particle_active_count() && ticks < 1000) {
        particle_update();
        ticks++;
        if (particle_active_count()) {
            EXPECT_TRUE(p->velocity[1] >= 0 || p->position[1] >= 0) << ticks;
        }
    }
    EXPECT_GT(ticks, 64);   // it rose for half a second first
    EXPECT_EQ(board(p).texture, 0);
    EXPECT_EQ(particle_free_list, p);

    // Fades: 255 with -2 gives 253; 5 with -10 gives 0; +10 on 250 stops at 255.
    dirt.fade_r = (uint8_t)-10;
    dirt.fade_g = 10;
    dirt.r = 5;
    dirt.g = 250;
    ASSERT_EQ(particle_spawn(below, up, &dirt), 1);
    particle_update();
    const billboard &b = board(particle_active_list);
    EXPECT_EQ(b.a, 253);
    EXPECT_EQ(b.r, 0);
    EXPECT_EQ(b.g, 255);
    EXPECT_EQ(b.b, 200);
    EXPECT_FLOAT_EQ(b.size, 0.5f + 1.0f / 128);
}

TEST_F(race_particles, PathsAndHostileNumbers) {
    // Drag 0: the tick's parabola, x and y, within 1e-4 ft over a second.
    const float from[3] = {100, 50, 100}, throw_v[3] = {12, 20, -6};
    ASSERT_EQ(particle_spawn(from, throw_v, &dirt), 1);
    particle *p = particle_active_list;
    const double dt = 1.0 / 128;
    for (int n = 1; n <= 128; n++) {
        particle_update();
        double y = 50 + 20 * n * dt - 32 * dt * dt * n * (n - 1) / 2;
        ASSERT_NEAR(p->position[1], y, 1e-4) << n;
        ASSERT_NEAR(p->position[0], 100 + 12 * n * dt, 1e-4) << n;
        ASSERT_NEAR(p->position[2], 100 - 6 * n * dt, 1e-4) << n;
    }
    particle_reset();

    // Drag far beyond a tick's worth stops the particle instead of flinging it.
    roost_type sticky = dirt;
    sticky.drag = 1e6f;
    sticky.grow = -1e6f;
    ASSERT_EQ(particle_spawn(from, throw_v, &sticky), 1);
    p = particle_active_list;
    for (int n = 0; n < 50; n++) particle_update();
    EXPECT_TRUE(std::isfinite(p->position[1]));
    EXPECT_LT(std::fabs(p->velocity[1]), 1.0f);
    EXPECT_EQ(board(p).size, 0.0f);   // never below 0

    // A velocity that is not a number retires the particle at its first tick.
    const float bad[3] = {NAN, 1, 0};
    ASSERT_EQ(particle_spawn(from, bad, &dirt), 1);
    particle *q = particle_active_list;
    particle_update();
    EXPECT_EQ(particle_free_list, q);
    EXPECT_EQ(board(q).texture, 0);
    EXPECT_EQ(particle_active_count(), 1);
}
