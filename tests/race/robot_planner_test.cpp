// The racing-line planner on stores built in memory: slot costs by type, the connection band,
// chains over runs of rows, the lap plans with their edge cases and long laps of untried lines.
#include <gtest/gtest.h>

#include "tests/race/robot_fixture.h"

struct race_robot_planner : ::testing::Test {
    void TearDown() override { fixture_free_gates(); }
};

TEST_F(race_robot_planner, SlotCostsByType) {
    robot_store(1, 1);
    struct row {
        int passes, failures, total, type, cost;
    } rows[] = {
        {0, 0, 0, 3, 0},            // never tried
        {3, 0, 0, 3, 6000},         // passes + 4 failures = 3: two bits
        {0, 2, 0, 3, 8000},         // = 8: four bits
        {1, 6, 0, 3, 100000},       // failed far more often than passed
        {4, 0, 4000, 0, 1000000},   // four passes are too few at levels 0 and 1 ...
        {4, 0, 4000, 1, 1000000},
        {4, 0, 4000, 2, 1000},      // ... but not at level 2
        {5, 5, 5000, 0, 1000 + 320},
        {5, 5, 5000, 1, 1000 + 365},   // f x 1.1428572 = 0.5714286 of 640, truncated
        {5, 5, 5000, 2, 1000 + 640},   // capped at the whole penalty
        {5, 0, 1000000000, 0, PLAN_CHAIN_MAX},
    };
    for (const row &r : rows) {
        line_slot t = {};
        t.passes = r.passes;
        t.failures = r.failures;
        t.total_time = r.total;
        EXPECT_EQ(autopilot_slot_cost(&t, r.type), r.cost)
            << r.passes << " passes, " << r.failures << " failures, type " << r.type;
    }
}

// Row 0 ends in three points 15 ft apart along -z; row 1's line starts 15 ft on, moved sideways.
static bool joins_straight(float sideways, float end_speed = 30, float start_speed = 30) {
    robot_store(1, 1);
    std::vector<line_point> end = {{0, 0, 0, end_speed, 0}, {0, 0, -15, end_speed, 0}, {0, 0, -30, end_speed, 0}};
    robot_slot(0, 0, end);
    robot_slot(1, 0, {{sideways, 0, -45, start_speed, 0}, {sideways, 0, -60, start_speed, 0}, {sideways, 0, -75, start_speed, 0}});
    static plan_matrix cost;
    autopilot_transition_costs(nullptr, cost, 0, 1, 3);
    return cost[0][0] < PLAN_NO_CHAIN;
}

TEST_F(race_robot_planner, StraightLinesKeepTheBandAndSpeedsJoinWithin15) {
    for (float x : {0.0f, 2.49f, -2.49f}) EXPECT_TRUE(joins_straight(x)) << x;
    for (float x : {2.51f, -2.51f, 5.0f}) EXPECT_FALSE(joins_straight(x)) << x;
    EXPECT_FALSE(joins_straight(0, 40, 20));
    EXPECT_TRUE(joins_straight(0, 40, 25));
    EXPECT_TRUE(joins_straight(0, 20, 40));
}

TEST_F(race_robot_planner, NothingConnectsLeavesOnlyTheStartSlots) {
    robot_store(2, 3);
    for (int r = 0; r < 5; r++)
        for (int k = 0; k < 3; k++)   // short lines far apart: none joins another
            robot_slot(r, k, robot_arc(100 + 50 * k + 7 * r, r, 0.01, 3));
    std::vector<line_slot *> list(5, nullptr);
    plan_costs c = autopilot_plan_line(list.data(), 0);
    EXPECT_EQ(c.first_lap, PLAN_NO_CHAIN);
    EXPECT_EQ(c.normal_lap, PLAN_NO_CHAIN);
    EXPECT_EQ(list[0], &line_store_row(0)[0]);
    EXPECT_EQ(list[2], &line_store_row(2)[0]);
    for (int r : {1, 3, 4}) EXPECT_EQ(list[r], nullptr) << r;
}

TEST_F(race_robot_planner, CheapestLanesAndTiesToTheLowerSlot) {
    // Three lanes; lane 1 is cheapest.
    robot_rings(2, 3, {200, 210, 220}, {1200, 1000, 1100});
    std::vector<line_slot *> list(5, nullptr);
    plan_costs c = autopilot_plan_line(list.data(), 0);
    EXPECT_EQ(c.normal_lap, 3 * 1000);
    EXPECT_EQ(c.first_lap, 2 * 1000);
    for (int r = 0; r < 5; r++) EXPECT_EQ(list[r], &line_store_row(r)[1]) << r;
    // Equal laps through slots 1 and 2 of row F: the lower slot wins.
    robot_rings(2, 3, {200, 210, 220}, {1200, 1000, 1000});
    c = autopilot_plan_line(list.data(), 0);
    for (int r = 0; r < 5; r++) EXPECT_EQ(list[r], &line_store_row(r)[1]) << r;
    // Level 3 weighs how often lines were tried instead: all alike, slot 0.
    c = autopilot_plan_line(list.data(), 3);
    EXPECT_EQ(c.normal_lap, 3 * 7000);
    EXPECT_EQ(list[3], &line_store_row(3)[0]);
}

TEST_F(race_robot_planner, WalkThatMeetsNoPredecessorStopsThere) {
    // Normal lap rows 1-3 on a ring, but row 3's line ends away from the ring: no closed lap.
    robot_rings(1, 3, {200}, {1000});
    line_slot &last = line_store_row(3)[0];
    for (int i = 0; i < last.point_count; i++) last.points[i].x += 40;
    std::vector<line_slot *> list(4, nullptr);
    plan_costs c = autopilot_plan_line(list.data(), 0);
    EXPECT_EQ(c.normal_lap, PLAN_NO_CHAIN);
    EXPECT_EQ(list[1], &line_store_row(1)[0]);
    EXPECT_EQ(list[2], nullptr);
    EXPECT_EQ(list[3], nullptr);
    EXPECT_EQ(list[0], &line_store_row(0)[0]);
}

TEST_F(race_robot_planner, LongLapOfUntriedLinesStillPlans) {
    // 120 normal-lap rows of lines with no passes: 1000000 a line at levels 0 and 1.
    robot_store(1, 120);
    double step = 2 * M_PI / (120 * 3);
    for (int r = 0; r < 121; r++) {
        int arc = r == 0 ? 119 : r - 1;
        robot_slot(r, 0, robot_arc(2000, arc * 3 * step, step, 3), 0, 0);
    }
    autopilot_plan_lines();
    for (int level = 0; level < 3; level++) {
        line_slot **list = autopilot_plan_list(level);
        for (int r = 0; r < 121; r++) EXPECT_EQ(list[r], &line_store_row(r)[0]) << level << " " << r;
    }
    std::vector<line_slot *> list(121, nullptr);
    plan_costs c = autopilot_plan_line(list.data(), 0);
    EXPECT_EQ(c.normal_lap, PLAN_CHAIN_MAX);
    EXPECT_EQ(c.first_lap, 1000000);
}

TEST_F(race_robot_planner, RunOverRowsAddsTheChosenSlotsAndNamesThem) {
    robot_rings(1, 4, {200, 210}, {1000, 3000});
    static plan_choices choices[7];
    static plan_matrix cost;
    autopilot_transition_costs(choices, cost, 1, 8, 0);
    // Eight rows of lane 0 back to lane 0; lane 1 never meets lane 0.
    EXPECT_EQ(cost[0][0], 8 * 1000);
    EXPECT_EQ(cost[1][1], 8 * 3000);
    EXPECT_EQ(cost[0][1], PLAN_NO_CHAIN);
    EXPECT_EQ(choices[6][0][0], 0);
    EXPECT_EQ(choices[6][1][1], 1);
    EXPECT_EQ(choices[6][0][1], PLAN_NO_SLOT);
}

// The least chain costs are the row minima of the run's cost matrix, over runs of 1, 3 and 8
// rows from every segment and at every cost type: on lanes close enough to join each other, with
// a lane whose chains saturate, with free slots that break chains, and where nothing connects.
TEST_F(race_robot_planner, LeastChainCostsAreTheMatrixRowMinima) {
    struct store {
        const char *name;
        void (*build)();
    } stores[] = {
        {"joining lanes",
         [] { robot_rings(2, 4, {200, 201.5, 203, 210, 220}, {1200, 1000, 1100, 900, PLAN_CHAIN_MAX}); }},
        {"free slots", [] {
             robot_rings(2, 4, {200, 201.5, 203}, {1200, 1000, 1100});
             line_slot_clear(&line_store_row(3)[1]);
             line_slot_clear(&line_store_row(4)[0]);
         }},
        {"nothing connects", [] {
             robot_store(2, 3);
             for (int r = 0; r < 5; r++)
                 for (int k = 0; k < 3; k++) robot_slot(r, k, robot_arc(100 + 50 * k + 7 * r, r, 0.01, 3));
         }},
    };
    static plan_matrix cost;
    for (const store &st : stores) {
        st.build();
        for (int type = 0; type < 4; type++)
            for (int n : {1, 3, 8})
                for (int first = 0; first < line_store.row_count; first++) {
                    int32_t least[LINE_SLOTS_PER_SEGMENT];
                    autopilot_least_chain_costs(least, first, n, type);
                    autopilot_transition_costs(nullptr, cost, first, n, type);
                    for (int s = 0; s < LINE_SLOTS_PER_SEGMENT; s++) {
                        int32_t row_min = PLAN_NO_CHAIN;
                        for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) row_min = std::min(row_min, cost[s][k]);
                        ASSERT_EQ(least[s], row_min) << st.name << ": type " << type << ", " << n << " rows from "
                                                     << first << ", slot " << s;
                    }
                }
    }
}
