// Robot personalities: choosing a row by name, the cost type by the lead in the running order,
// and the reaction draws at the gate.
#include <gtest/gtest.h>

#include "core/digest.h"
#include "tests/race/robot_fixture.h"

struct race_robot_personality : ::testing::Test {
    void SetUp() override {
        fixture_rider(0);
        fixture_rider(1);
        race_state.running_count = 0;
    }
    void TearDown() override {
        fixture_free_rider(0);
        fixture_free_rider(1);
        race_state.running_count = 0;
    }
    // Slot 0 leads slot 1; both passed points 0..2, slot 1 `lead` ticks later at point 2.
    void order(int lead, int second_last = 0) {
        fixture_timing(0, {100, 200, 1000});
        fixture_timing(1, {110, 230, second_last ? second_last : 1000 + lead});
        race_state.running_count = 2;
        race_state.running_order[0] = {0, 3, 1000};
        race_state.running_order[1] = {1, 3, 1000 + lead};
    }
};

TEST_F(race_robot_personality, NamesSelectRowsAndUnknownOnesZorvik) {
    console_clear();
    rider_slot *s = &rider_table[0];
    struct {
        const char *name;
        int index;
    } rows[] = {{"zorvik", 1}, {"quellan", 2}, {"brannox", 3}, {"tester", 4}, {"Quellan", 1}, {"nobody", 1}, {"empty", 1}};
    for (auto &r : rows) {
        rider_set_personality(s, r.name);
        EXPECT_EQ(s->autopilot_personality, r.index) << r.name;
    }
    EXPECT_EQ(console_count("auto pilot personality 'Quellan' not found"), 1);
    EXPECT_EQ(console_count("auto pilot personality 'nobody' not found"), 1);
    EXPECT_EQ(console_count("not found"), 3);
}

TEST_F(race_robot_personality, CostTypeFollowsTheLead) {
    rider_slot *s = &rider_table[0];
    s->autopilot_personality = 2;   // quellan: 2 while close, 1 clearly ahead by 10 s
    order(1281);
    EXPECT_EQ(autopilot_cost_type(s), 1);
    order(1280);
    EXPECT_EQ(autopilot_cost_type(s), 2);
    order(5000, -1);   // the second rider skipped its latest point
    EXPECT_EQ(autopilot_cost_type(s), 2);
    order(5000);
    race_state.running_count = 1;   // alone in the order
    EXPECT_EQ(autopilot_cost_type(s), 2);
    order(5000);
    rider_table[1].autopilot_personality = 2;
    EXPECT_EQ(autopilot_cost_type(&rider_table[1]), 2);   // second, not leading
    s->autopilot_personality = 3;   // brannox: 1, then 0
    EXPECT_EQ(autopilot_cost_type(s), 0);
    s->autopilot_personality = 4;   // tester: always 3
    EXPECT_EQ(autopilot_cost_type(s), 3);
    race_state.running_count = 0;
    EXPECT_EQ(autopilot_cost_type(s), 3);
}

TEST_F(race_robot_personality, ReactionDrawsStayInTheirWindows) {
    mt_seed(5489);
    for (int p : {1, 2, 3, 4}) {
        float lo = 10, hi = -10;
        for (int i = 0; i < 10000; i++) {
            float r = autopilot_reaction(p, autopilot_draw());
            lo = std::min(lo, r);
            hi = std::max(hi, r);
        }
        float early = p == 3 ? 0.0f : 0.2f, late = p == 3 ? 0.1f : 0.4f;
        EXPECT_GE(lo, early) << p;
        EXPECT_LE(hi, late) << p;
        EXPECT_LT(lo, early + 0.01f) << p;   // the whole window is used
        EXPECT_GT(hi, late - 0.01f) << p;
    }
}
