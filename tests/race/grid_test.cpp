// The statue grid: cells, buckets, the search around a rider, and the early out that skips
// statues out of the bike's reach without changing a contact.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "core/digest.h"
#include "race/contacts.h"
#include "race/objects.h"
#include "race/race.h"
#include "terrain/terrain.h"
#include "tests/bike/bike_test_support.h"
#include "tests/race/objects_test_support.h"

TEST(race_grid, CellTable) {
    const double S = 256;
    const struct {
        double p, extent;
        int cell;
    } cases[] = {
        {S / 8, S, 0}, {7 * S / 8, S, 7}, {S / 2, S, 4}, {S / 8 + 3 * S / 32, S, 1},
        {-100, S, 0},  {1e30, S, 7},      {-1e30, S, 0}, {NAN, S, 0},
        {INFINITY, S, 7}, {100, 0, 0},    {100, NAN, 0},
    };
    for (const auto &c : cases) EXPECT_EQ(track_grid_cell(c.p, c.extent), c.cell) << c.p << " " << c.extent;
}

// The statue indices of a search as a list.
static std::vector<int> near(float x, float z) {
    const growable_array *a = track_grid_statues_near(x, z);
    return std::vector<int>((const int *)a->items, (const int *)a->items + a->count);
}

TEST(race_grid, BucketsAndSearch) {
    temp_dir t;
    test_isolate_home(t);
    test_write_file(t.file("game/small.shp"), "1\n0 0.5 0 0.5 0.5 20000 2000\n");
    test_write_file(t.file("game/huge.shp"), "1\n0 0 0 40 0.5 20000 2000\n");
    fake_loads loads;
    float saved_extent = terrain_current->extent;
    terrain_current->extent = 256;   // cells of 24 ft from 32 to 224

    track_add_statue(5, 0, 5, 0, "@m.jm", nullptr, "@small.shp");       // 0: border cell
    track_add_statue(128, 0, 128, 0, "@m.jm", nullptr, "@huge.shp");    // 1: many cells
    track_add_statue(130, 0, 130, 0, "@m.jm", nullptr, nullptr);        // 2: not solid
    track_add_statue(100, 0, 92, 0, "@m.jm", nullptr, "@small.shp");    // 3
    track_rebuild_statue_grid();

    EXPECT_EQ(statue_grid[0][0].count, 1);
    int cells_of_huge = 0, cells_of_shapeless = 0;
    for (auto &row : statue_grid)
        for (growable_array &bucket : row)
            for (int k = 0; k < bucket.count; k++) {
                cells_of_huge += ((int *)bucket.items)[k] == 1;
                cells_of_shapeless += ((int *)bucket.items)[k] == 2;
            }
    EXPECT_EQ(cells_of_huge, 16);   // 88..168 in x and z: cells 2..5
    EXPECT_EQ(cells_of_shapeless, 0);

    EXPECT_EQ(near(10, 10), std::vector<int>({0}));              // a border cell, as it is
    EXPECT_EQ(near(128, 128), std::vector<int>({1}));
    EXPECT_EQ(near(104, 94), std::vector<int>({1, 3}));          // two cells merged, once each
    EXPECT_EQ(near(97, 97), std::vector<int>({1, 3}));           // four cells
    EXPECT_EQ(near(NAN, 1e30f), std::vector<int>({}));           // cells [0][7]: nothing there

    // The track's objects cleared: the buckets are empty.
    track_objects_clear();
    EXPECT_EQ(near(10, 10), std::vector<int>({}));
    EXPECT_EQ(near(128, 128), std::vector<int>({}));
    terrain_current->extent = saved_extent;
}

struct race_grid_bike : bike_fixture {};

// The statues hit by one pass over every statue near the rider.
static std::set<int> hits(rider_slot *s, int early_out, int tick) {
    race_state.current_tick = tick;
    race_collide_statues_with(s, early_out);
    dJointGroupEmpty(physics_contact_group);
    std::set<int> out;
    for (int i = 0; i < track_statues.count; i++)
        if (((statue *)track_statues.items)[i].last_hit_tick == tick) out.insert(i);
    return out;
}

TEST_F(race_grid_bike, EarlyOutKeepsEveryContact) {
    test_write_file(home.file("bale.shp"), "3\n-0.8 0.7 0 0.75 0.8 4000 400\n0 0.7 0 0.75 0.8 4000 400\n"
                                           "0.8 0.7 0 0.75 0.8 4000 400\n");
    std::string shape = home.file("bale.shp");
    rider_slot *s = load();
    ASSERT_NE(s, nullptr);
    track_lists_create();
    const dReal *p = dBodyGetPosition(bike_frame_body(s));
    float reach = race_bike_reach(s);
    EXPECT_GT(reach, 1.0f);
    EXPECT_LT(reach, 6.0f);
    mt_seed(25);
    int touched = 0, skipped = 0;
    for (int trial = 0; trial < 1000; trial++) {
        track_objects_clear();
        for (int k = 0; k < 3; k++) {
            auto unit = [] { return (float)(mt_next() % 20001) / 10000.0f - 1.0f; };
            float x = (float)p[0] + 7 * unit(), z = (float)p[2] + 7 * unit();
            float yaw = 4 * unit() + (k == 2 ? 7.0f : 0.0f);   // some rotation-free
            ASSERT_GE(track_add_statue(x, (float)p[1] - 1.5f + 1.5f * unit(), z, yaw, nullptr, nullptr,
                                       shape.c_str()), 0);
            const statue &st = ((statue *)track_statues.items)[k];
            double dx = st.x - p[0], dy = st.y - p[1], dz = st.z - p[2];
            skipped += std::sqrt(dx * dx + dy * dy + dz * dz) > reach + shape_bounding_radius(st.shape);
        }
        track_rebuild_statue_grid();
        std::set<int> full = hits(s, 0, 2 * trial + 1), fast = hits(s, 1, 2 * trial + 2);
        ASSERT_EQ(full, fast) << "trial " << trial;
        touched += (int)full.size();
    }
    // The placements both touch and skip statues.
    EXPECT_GT(touched, 100);
    EXPECT_GT(skipped, 100);
    track_lists_free();
}
