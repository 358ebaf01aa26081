// The order of a race tick's steps, watched through the tick's step hook over a real race on
// the practice track: a local rider, a history rider and a robot, offline, online riding and
// watching, and in a time trial; roost turns with the tick.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bike/rider.h"
#include "net/client.h"
#include "race/race.h"
#include "race/tick_steps.h"
#include "tests/race/practice_race.h"

namespace {

const char *const STEP_NAMES[TICK_STEPS] = {
    "script", "pose",  "triallaps", "list",      "ground",    "gatearms", "pairs", "roost",
    "world",  "ruts",  "drive",     "fade",      "startrules", "bike",    "sample", "particles",
    "arms",   "clock", "standings", "demo",      "trialcycle", "graph"};

std::string seen;
int tick_at_start;

// Each step as its name, with the slot for a rider's step; the clock read where it must have
// moved or not.
void record_step(int step, int slot) {
    ASSERT_GE(step, 0);
    ASSERT_LT(step, TICK_STEPS);
    bool moved = step == TICK_STEP_STANDINGS || step == TICK_STEP_DEMO;
    if (moved || step == TICK_STEP_SCRIPT || step == TICK_STEP_CLOCK) {
        EXPECT_EQ(race_state.current_tick, tick_at_start + moved);
    }
    if (!seen.empty()) seen += ' ';
    seen += STEP_NAMES[step];
    if (slot >= 0) seen += std::to_string(slot);
}

}  // namespace

TEST(race_tick, StepOrderForEveryKindOfRider) {
    practice_race_fixture f;
    ASSERT_NE(f.window.w, nullptr);
    struct {
        const char *name;
        int tick, online, watching, time_trial, erosion, graph;
        const char *steps;
    } cases[] = {
        // Three occupied slots at tick 7: roost from positions 1, 2, 0.
        {"offline", 7, 0, 0, 0, 700, 1,
         "script pose list0 ground0 list1 gatearms1 list2 ground2 pairs roost1 roost2 roost0 world ruts0 ruts2 "
         "bike0 sample0 bike1 sample1 drive2 bike2 sample2 particles arms clock demo graph0"},
        {"online, riding", 510, 1, 0, 0, 700, 0,
         "script pose list1 ground0 pairs roost0 roost1 roost2 world ruts0 ruts2 startrules0 bike0 sample0 "
         "fade1 bike1 drive2 bike2 particles arms clock standings demo"},
        {"online, watching", 8, 1, 1, 0, 700, 0,
         "script pose list1 gatearms1 roost2 roost0 roost1 world startrules0 bike0 sample0 fade1 bike1 "
         "drive2 bike2 particles arms clock demo"},
        {"time trial, gate arms long down", 38407, 0, 0, 1, 0, 0,
         "script pose triallaps list0 ground0 list1 list2 ground2 pairs roost1 roost2 roost0 world "
         "bike0 sample0 bike1 sample1 drive2 bike2 sample2 particles arms clock demo trialcycle"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        static int roles[RIDER_SLOTS];
        memset(roles, 0, sizeof roles);
        roles[0] = 1;
        roles[1] = roles[2] = 2;
        ASSERT_EQ(race_reset(roles, 0, 0, 0, 5, 0), 1);
        for (int i = 0; i < 3; i++) ASSERT_TRUE(rider_has_bike(i));
        rider_status[1] = 1;   // driven from its history
        viewed_slot = 0;
        race_state.current_tick = tick_at_start = c.tick;
        race_state.time_trial = c.time_trial;
        race_state.erode_amount = c.erosion;
        suspension_graph_on = c.graph;
        if (c.online) {
            net_client.socket = 1000;
            net_client.slot = net_client.local_slot = c.watching ? RIDER_NO_SLOT : 0;
            net_slot_state_tick[1] = c.tick - 10;   // fresh
        }
        seen.clear();
        race_tick_step = record_step;
        race_tick();
        race_tick_step = nullptr;
        net_client.socket = -1;
        net_client.slot = net_client.local_slot = RIDER_NO_SLOT;
        suspension_graph_on = 0;
        race_state.time_trial = 0;
        EXPECT_EQ(seen, c.steps);
        EXPECT_EQ(race_state.current_tick, c.tick + 1);
    }
}
