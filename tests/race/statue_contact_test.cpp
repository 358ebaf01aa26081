// Statues through ODE: a bike rolling into a stock hay bale is stopped by it, and the bale keeps
// the tick it was hit; riders at rest are collided in the same pair order on every run.
#include <gtest/gtest.h>

#include <vector>

#include "core/util.h"
#include "race/contacts.h"
#include "race/objects.h"
#include "race/track.h"
#include "tests/bike/ride_test_support.h"

namespace {

class race_statue_contact : public bike_ride {
  protected:
    void SetUp() override {
        bike_ride::SetUp();
        if (HasFatalFailure()) return;
        make_field();
        (*field)->extent = 512;
        track_loaders = {nullptr, nullptr, nullptr, nullptr};
        track_lists_create();
    }
    void TearDown() override {
        track_lists_free();
        track_grid_free();
        bike_ride::TearDown();
    }
};

}  // namespace

TEST_F(race_statue_contact, BikeRollingIntoABaleStops) {
    ASSERT_NE(place(256, 256, 0), nullptr);
    run(128);   // settle on the ground
    // The stock bale across the path 12 ft ahead (the bike faces -z).
    int bale = track_add_statue(256, 0, 244, 0, nullptr, nullptr, "@haybale.shp");
    ASSERT_GE(bale, 0);
    track_rebuild_statue_grid();
    const statue &b = ((const statue *)track_statues.items)[bale];
    ASSERT_NE(b.shape, nullptr);
    // 15 ft/s forward, the wheels rolling.
    for (int k = 0; k < BIKE_BODIES; k++) dBodySetLinearVel(bike_body_of(s, k), 0, 0, -15);
    dBodySetAngularVel(bike_body_of(s, BIKE_BODY_FRONT_WHEEL), -15 / 1.17, 0, 0);
    dBodySetAngularVel(bike_body_of(s, BIKE_BODY_REAR_WHEEL), -15 / 1.08, 0, 0);
    int first_hit = -1, stopped = -1;
    float nearest = 1e9f;
    run(3 * 128, [&](int) {
        if (first_hit < 0 && b.last_hit_tick == race_state.current_tick - 1) first_hit = b.last_hit_tick;
        nearest = std::min(nearest, frame_position().z);
        if (first_hit >= 0 && stopped < 0 && frame_velocity().z > -0.5f) stopped = race_state.current_tick;
    });
    expect_sound();
    // Hit within the first second (12 ft at 15 ft/s), kept as the tick of the contact; the bike's
    // forward speed gone within half a second of it, in front of the bale, never through it.
    EXPECT_GT(first_hit, 128);
    EXPECT_LT(first_hit, 128 + 128);
    EXPECT_GE(b.last_hit_tick, first_hit);
    EXPECT_GE(stopped, first_hit);
    EXPECT_LT(stopped, first_hit + 64);
    EXPECT_GT(nearest, 244.0f);
    printf("hit at %d, stopped at %d, nearest %.2f ft\n", first_hit, stopped, nearest);
}

TEST_F(race_statue_contact, PairOrderAtRestIsPinned) {
    // Five riders at rest: equal speeds, so the order is the heapsort's own, the same every run.
    std::vector<rider_slot *> slots;
    for (int i = 0; i < 5; i++) slots.push_back(place(100 + 10 * i, 256, 0, i));
    for (rider_slot *r : slots) {
        ASSERT_NE(r, nullptr);
        for (int k = 0; k < BIKE_BODIES; k++) {
            dBodySetLinearVel(bike_body_of(r, k), 0, 0, 0);
            dBodySetAngularVel(bike_body_of(r, k), 0, 0, 0);
        }
    }
    std::vector<rider_slot *> sorted = slots;
    util_heapsort(sorted.data(), (int)sorted.size(), sizeof(rider_slot *), race_compare_speed);
    std::vector<int> order;
    for (rider_slot *r : sorted) order.push_back((int)(r - rider_table));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 0}));
}
