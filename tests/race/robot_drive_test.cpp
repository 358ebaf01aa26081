// The robot controller on rider states built in memory: the line choice and the working line's
// upkeep, the target's advance and the progress along the line, the start at the gate on a fake
// clock, the speed controller, and the signs and guards of the steering.
#include <gtest/gtest.h>

#include "core/digest.h"
#include "core/settings.h"
#include "race/start_gate.h"
#include "tests/race/robot_fixture.h"

struct race_robot_drive : ::testing::Test {
    rider_slot *s = nullptr;
    void (*ground_before)(float, float, float *, float *) = nullptr;
    void SetUp() override {
        s = robot_rider();
        ground_before = autopilot_ground_hook;
        autopilot_ground_hook = robot_flat_ground;
        robot_ground_grip = 1;
        robot_ground_normal[0] = robot_ground_normal[2] = 0;
        robot_ground_normal[1] = 1;
        autopilot_other_count = 0;
        race_state.current_tick = 0;
        race_state.gate_drop_tick = 14 * 128;
        race_state.countdown_ticks = 640;
        race_state.running_count = 0;
        mt_seed(5489);
    }
    void TearDown() override {
        autopilot_ground_hook = ground_before;   // later tests ride the real ground
        autopilot_other_count = 0;
        fixture_free_rider(0);
        fixture_free_gates();
        race_state.current_tick = 0;
    }
    line_choice_input choice(int segment, int now, int cost_type = 0) {
        line_choice_input c = {};
        c.segment = segment;
        c.cost_type = cost_type;
        c.now = now;
        c.line = robot_line(s);
        c.count = s->working_line.count;
        return c;
    }
};

// ---- Line choice ---------------------------------------------------------------------------------

TEST_F(race_robot_drive, AllTotalsZeroChooseTheLowestUsedSlot) {
    robot_store(1, 1);
    for (int k : {0, 3, 7}) robot_slot(1, k, robot_arc(100 + 30 * k, 0, 0.1, 4)).last_picked = 5000;
    // A working line far away: nothing matches, and everything was just picked.
    robot_set_line(s, robot_arc(1000, 0, 0.01, 5));
    EXPECT_EQ(autopilot_choose_line(choice(1, 5000)), 0);
    // A free slot 0 beside used slots that join nothing: the lowest used slot, never the free one.
    line_slot_clear(&line_store_row(1)[0]);
    EXPECT_EQ(autopilot_choose_line(choice(1, 5000)), 3);
    // A row without a used slot chooses nothing.
    EXPECT_EQ(autopilot_choose_line(choice(0, 5000)), -1);
}

TEST_F(race_robot_drive, StartChoosesTheNearerLine) {
    robot_store(1, 1);
    robot_slot(0, 2, {{20, 0, 0, 0, 0}, {20, 0, -15, 10, 0}});
    robot_slot(0, 5, {{4, 0, 0, 0, 0}, {4, 0, -15, 10, 0}});
    line_store_row(0)[2].last_picked = line_store_row(0)[5].last_picked = -1000000;
    EXPECT_EQ(autopilot_choose_line(choice(0, 0)), 5);
    std::swap(line_store_row(0)[2].points[0].x, line_store_row(0)[5].points[0].x);
    EXPECT_EQ(autopilot_choose_line(choice(0, 0)), 2);
}

TEST_F(race_robot_drive, PlanBonusGrowsFromFortyToSixtySeconds) {
    robot_rings(1, 2, {200, 210}, {1000, 2000});
    autopilot_plan_lines();
    autopilot_plan_list(0)[1] = &line_store_row(1)[1];   // the plan names the dearer lane
    float w[LINE_SLOTS_PER_SEGMENT];
    struct {
        int seconds;
        float weight;
    } rows[] = {{30, 0.5f}, {40, 0.5f}, {50, 0.75f}, {60, 1.0f}, {90, 1.0f}};
    for (auto &r : rows) {
        autopilot_line_weights(choice(1, r.seconds * 128), w);
        EXPECT_FLOAT_EQ(w[0], 1) << r.seconds;
        EXPECT_FLOAT_EQ(w[1], r.weight) << r.seconds;
    }
    // Cost type 3 has no plan; at segment 0 the weights even out.
    autopilot_line_weights(choice(1, 60 * 128, 3), w);
    EXPECT_FLOAT_EQ(w[1], 1);
    autopilot_line_weights(choice(0, 0), w);
    EXPECT_FLOAT_EQ(w[1], 0.2f * 0.5f + 0.8f);
}

TEST_F(race_robot_drive, PickedMarksSlotsEndingClose) {
    robot_store(1, 1);
    robot_slot(1, 0, {{0, 0, 0, 1, 0}, {0, 0, -10, 1, 0}});
    robot_slot(1, 1, {{5, 0, 0, 1, 0}, {2.9f, 0, -10, 1, 0}});
    robot_slot(1, 2, {{5, 0, 0, 1, 0}, {3.1f, 0, -10, 1, 0}});
    line_slot &free_slot = line_store_row(1)[3];
    line_slot_clear(&free_slot);
    for (int k = 0; k < 4; k++) line_store_row(1)[k].last_picked = -1000000;
    autopilot_mark_picked(line_store_row(1), 0, 777);
    EXPECT_EQ(line_store_row(1)[0].last_picked, 777);
    EXPECT_EQ(line_store_row(1)[1].last_picked, 777);
    EXPECT_EQ(line_store_row(1)[2].last_picked, -1000000);
    EXPECT_EQ(free_slot.last_picked, -1000000);
}

TEST_F(race_robot_drive, ChosenSerialGoesToItsSegmentAndTheLineGrows) {
    robot_rings(1, 2, {200}, {1000}, 12);
    line_slot &t = line_store_row(line_store_row_of_segment(5))[0];
    s->robot.next_segment = 5;
    const line_slot &before = line_store_row(line_store_row_of_segment(4))[0];
    robot_set_line(s, std::vector<line_point>(before.points, before.points + before.point_count));
    s->target_index = 6;
    robot_sense in = robot_at(before.points[5].x, 0, before.points[5].z);
    robot_controls out;
    autopilot_control(s, in, &out);
    EXPECT_EQ(s->followed_serials[1], t.serial);
    EXPECT_EQ(s->robot.next_segment, 6);
    EXPECT_EQ(s->working_line.count, 24);
    EXPECT_EQ(t.last_picked, 0);
}

// ---- The working line ------------------------------------------------------------------------------

TEST_F(race_robot_drive, UpkeepTrimsSeedsAndJoins) {
    const float forward[3] = {0, 0, -1};
    line_slot chosen = {};
    std::vector<line_point> pts = {{0, 0, -100, 20, 0.1f}, {0, 0, -110, 22, 0.2f}, {0, 0, -120, 24, 0.3f}};
    chosen.points = pts.data();
    chosen.point_count = 3;
    // An empty line gets five copies of the first point, then the line.
    autopilot_extend_line(s, &chosen, 3, forward);
    ASSERT_EQ(s->working_line.count, 8);
    EXPECT_EQ(robot_line(s)[0].z, -100);   // the copies run out along the heading and back
    EXPECT_EQ(robot_line(s)[5].z, -100);
    EXPECT_LT(robot_line(s)[2].z, -100);
    // 40 points behind the target: trimmed to 30.
    std::vector<line_point> old;
    for (int i = 0; i < 50; i++) old.push_back({0, 0, -2.0f * i, 30, 0});
    robot_set_line(s, old);
    s->target_index = 40;
    autopilot_extend_line(s, &chosen, 3, forward);
    EXPECT_EQ(s->target_index, 30);
    ASSERT_EQ(s->working_line.count, 40 + 3);
    EXPECT_EQ(robot_line(s)[0].z, -20);
    // The join: b = a - 5 and a exact, the points between on the curve, no faster than before
    // nor than the blend.
    const line_point *w = robot_line(s);
    int a = 40, b = 35;
    EXPECT_EQ(w[b].z, -2.0f * 45);
    EXPECT_EQ(w[a].z, -100);
    for (int k = b + 1; k < a; k++) {
        float u = (k - b) / 5.0f;
        EXPECT_LE(w[k].speed, 30 + u * (20 - 30) + 1e-4f);
        EXPECT_NEAR(w[k].tilt, u * 0.1f, 1e-5f);
        EXPECT_EQ(w[k].x, 0);
    }
    // The target was more than there were points: the line empties first.
    robot_set_line(s, old);
    s->target_index = 90;
    autopilot_extend_line(s, &chosen, 3, forward);
    EXPECT_EQ(s->working_line.count, 8);
}

TEST_F(race_robot_drive, NoJoinAcrossAirOrOntoOnePointLines) {
    const float forward[3] = {0, 0, -1};
    std::vector<line_point> old;
    for (int i = 0; i < 10; i++) old.push_back({0, 0, -2.0f * i, 30, 0});
    std::vector<line_point> pts = {{9, 0, -40, 20, 0}, {9, 0, -50, 20, 0}};
    line_slot chosen = {};
    chosen.points = pts.data();
    chosen.point_count = 2;
    old[7].speed = -30;   // taken in the air between b and a
    robot_set_line(s, old);
    autopilot_extend_line(s, &chosen, 3, forward);
    for (int k = 0; k < 10; k++) EXPECT_EQ(robot_line(s)[k].x, 0) << k;
    // A one-point line has no point after its first: no junction.
    old[7].speed = 30;
    robot_set_line(s, old);
    chosen.point_count = 1;
    autopilot_extend_line(s, &chosen, 3, forward);
    EXPECT_EQ(s->working_line.count, 11);
    for (int k = 0; k < 10; k++) EXPECT_EQ(robot_line(s)[k].x, 0) << k;
}

TEST_F(race_robot_drive, StartSegmentTargetsBeyondTenFeet) {
    const float forward[3] = {0, 0, -1};
    std::vector<line_point> pts;
    for (int i = 0; i < 8; i++) pts.push_back({0, 0, -4.0f * i, 4.0f * i, 0});
    line_slot chosen = {};
    chosen.points = pts.data();
    chosen.point_count = 8;
    autopilot_extend_line(s, &chosen, 0, forward);
    const line_point *w = robot_line(s);
    int t = s->target_index;
    ASSERT_GT(t, 0);
    auto far = [&](int i) { return std::hypot(w[i].x - w[0].x, w[i].y - w[0].y, w[i].z - w[0].z) > 10; };
    EXPECT_TRUE(far(t));
    for (int i = 1; i < t; i++) EXPECT_FALSE(far(i)) << i;
    EXPECT_EQ(s->robot.last_advance_tic, 3840);
    // No point beyond 10 ft: the last point.
    robot_set_line(s, {});
    chosen.point_count = 2;
    autopilot_extend_line(s, &chosen, 0, forward);
    EXPECT_EQ(s->target_index, s->working_line.count - 1);
}

// ---- Advance and progress ----------------------------------------------------------------------------

TEST_F(race_robot_drive, CaptureRadiusAndBendsBehind) {
    struct {
        float distance;
        int recovery, moves;
    } rows[] = {{59, 0, 1}, {61, 0, 0}, {29, 3, 1}, {31, 3, 0}, {31, 2, 1}};
    for (auto &r : rows) {
        robot_set_line(s, {{0, 0, 0, 10, 0}, {0, 0, -r.distance, 10, 0}, {0, 0, -200, 10, 0}});
        s->target_index = 1;
        s->robot.recovery = r.recovery;
        EXPECT_EQ(autopilot_advance(s, robot_at(0, 0, 0), 99), r.moves) << r.distance;
        EXPECT_EQ(s->robot.recovery, r.moves ? std::max(r.recovery - 1, 0) : r.recovery);
    }
    // A target reached by turning back more than 90 degrees: kept between 4 and 60 ft.
    for (float d : {5.0f, 30.0f, 59.0f, 3.9f}) {
        robot_set_line(s, {{0, 0, -100, 10, 0}, {0, 0, -100 + d, 10, 0}, {0, 0, 0, 10, 0}});
        s->target_index = 1;
        s->robot.recovery = 0;
        EXPECT_EQ(autopilot_advance(s, robot_at(0, 0, -100 + 2 * d), 5), d < 4 ? 1 : 0) << d;
    }
    // The last point reached: the line empties.
    robot_set_line(s, {{0, 0, 0, 10, 0}, {0, 0, -5, 10, 0}});
    s->target_index = 1;
    EXPECT_EQ(autopilot_advance(s, robot_at(0, 0, -4), 7), 1);
    EXPECT_EQ(s->working_line.count, 0);
    EXPECT_EQ(s->target_index, 0);
    EXPECT_EQ(s->robot.last_advance_tic, 7);
}

TEST_F(race_robot_drive, ProgressFractions) {
    std::vector<line_point> line = {{0, 0, 0, 1, 0}, {0, 0, -10, 1, 0}, {0, 0, -20, 1, 0}, {0, 0, -30, 1, 0},
                                    {5, 0, -30, 1, 0}};
    const float forward[3] = {0, 0, -1};
    struct {
        float z;
        int target;
        float progress;
    } rows[] = {
        {-15, 3, 2.5f},    // halfway from point 1 to point 2
        {-12.5f, 3, 2.25f},
        {-10, 3, 2.0f},    // on point 1: it counts as ahead
        {5, 3, 1.0f},      // behind the whole line: index 0 is the stop
        {-25, 1, 1.0f},    // the walk starts at the point before the target
    };
    for (auto &r : rows) {
        float pos[3] = {0, 0, r.z};
        EXPECT_FLOAT_EQ(autopilot_line_progress(line.data(), 5, r.target, pos, forward), r.progress) << r.z;
    }
    // Two points all but level along the heading: no fraction from their difference.
    std::vector<line_point> level = {{0, 0, 10, 1, 0}, {0, 0, 1e-7f, 1, 0}, {0, 0, 0, 1, 0}, {0, 0, -10, 1, 0}};
    float origin[3] = {0, 0, 0};
    EXPECT_FLOAT_EQ(autopilot_line_progress(level.data(), 4, 3, origin, forward), 2.0f);
}

// ---- The start -------------------------------------------------------------------------------------------

TEST_F(race_robot_drive, StartTimeline) {
    for (int personality : {1, 3}) {
        s = robot_rider(personality);
        robot_sense in = robot_at(0, 0, 0);
        int revs = 0, launch = -1, full = -1, shift = -1, set_end = -1, normal = -1;
        int phase_start = 0, last_throttle = 0;
        for (int tick = 0; tick < race_state.gate_drop_tick + 5 * 128; tick++) {
            race_state.current_tick = tick;
            robot_controls out = {};
            out.auto_shift = 1;
            int driving = autopilot_start(s, in, &out);
            ASSERT_TRUE(robot_controls_sound(out));
            if (!driving) {
                if (normal < 0) normal = tick;
                continue;
            }
            ASSERT_EQ(normal, -1) << "the start came back";
            int throttle = out.throttle > 0;
            if (launch < 0 && out.clutch > 0) launch = tick;
            if (launch < 0) {
                EXPECT_FALSE(out.throttle > 0 && out.clutch > 0) << tick;
                EXPECT_EQ(out.front_brake, 1);
                EXPECT_EQ(out.auto_shift, 0);
                EXPECT_EQ(out.gear, 1);
            }
            if (tick < 640 && throttle != last_throttle) {
                float length = (tick - phase_start) / 128.0f;
                if (!throttle) {   // a rev ended
                    EXPECT_GE(length, 0.25f - 1 / 128.0f);
                    EXPECT_LE(length, 0.75f + 1 / 128.0f);
                    revs++;
                } else if (phase_start > 0) {   // an idle ended (the first one is 0-2 s)
                    EXPECT_GE(length, 2 - 1 / 128.0f);
                    EXPECT_LE(length, 2.5f + 1 / 128.0f);
                }
                phase_start = tick;
            }
            if (tick >= 640 && set_end < 0 && throttle) set_end = tick;
            if (launch >= 0 && full < 0 && out.clutch >= 1) full = tick;
            if (launch >= 0 && shift < 0 && out.auto_shift) {
                shift = tick;
                EXPECT_GE(out.clutch, 0.75f);
            }
            last_throttle = throttle;
        }
        EXPECT_GE(revs, 1);
        EXPECT_GE(set_end / 128.0f, 5.125f);
        EXPECT_LE(set_end / 128.0f, 5.5f + 1 / 128.0f);
        float reaction = (launch - race_state.gate_drop_tick) / 128.0f;
        EXPECT_GE(reaction, personality == 3 ? 0.0f : 0.2f);
        EXPECT_LE(reaction, (personality == 3 ? 0.1f : 0.4f) + 1 / 128.0f);
        EXPECT_LE(full - launch, 32);
        EXPECT_GE(full - launch, 31);
        EXPECT_NEAR(normal - launch, 256, 1);
    }
}

TEST_F(race_robot_drive, StartGearAndRespawnThrottle) {
    robot_sense in = robot_at(0, 0, 0);
    in.start_gear_value = bike_v(&bike_info_table[0], BIKE_V_GEARS + 1);
    ASSERT_GT(in.start_gear_value, 0);
    race_state.current_tick = 700;
    robot_controls out = {};
    autopilot_start(s, in, &out);
    EXPECT_EQ(out.gear, 1);   // second gear
    in.start_gear_value = -1;
    autopilot_start(s, in, &out);
    EXPECT_EQ(out.gear, 0);   // first
    // Respawning: the throttle and sit/dab stay 0 whatever the start asks.
    in.respawning = 1;
    out.throttle = 1;
    out.sit_dab = 1;
    autopilot_apply(s, in, out);
    EXPECT_EQ(s->controls.throttle, 0);
    EXPECT_EQ(s->controls.sit_dab, 0);
    EXPECT_EQ(s->setup_flags & ROBOT_AUTO_SHIFT, 0);
    EXPECT_EQ(s->setup_flags & 0x1E, 0x1E);
}

// ---- Speed controller ------------------------------------------------------------------------------------

TEST_F(race_robot_drive, SpeedController) {
    struct {
        float v, w;
        int rear, gear;
        float rpm, throttle, clutch, brake;
    } rows[] = {
        {10, 30, 1, 2, 5000, 1, 1, 0},             // far below
        {29, 30, 1, 2, 5000, 1, 1, 0},             // at w - 1
        {29.5f, 30, 1, 2, 5000, 0.5f, 1, 0},       // within the last foot per second
        {30, 30, 1, 2, 5000, 0, 1, 0},             // at w: brakes by v - w
        {30.5f, 30, 1, 2, 5000, 0, 1, 0.5f},
        {40, 30, 1, 2, 5000, 0, 1, 1},
        {5, 30, 1, 0, 8400, 1, 0, 0},              // first gear: the clutch follows the engine
        {5, 30, 1, 0, 8900, 1, 0.5f, 0},
        {5, 30, 1, 0, 9400, 1, 1, 0},
    };
    for (auto &r : rows) {
        robot_sense in = robot_at(0, 0, 0);
        in.speed = r.v;
        in.rear_touch = r.rear;
        in.gear = r.gear;
        in.rpm = r.rpm;
        robot_controls out = {};
        autopilot_speed_control(in, r.w, &out);
        EXPECT_FLOAT_EQ(out.throttle, r.throttle) << r.v << " " << r.rpm;
        EXPECT_FLOAT_EQ(out.clutch, r.clutch) << r.v << " " << r.rpm;
        EXPECT_FLOAT_EQ(out.front_brake, r.brake) << r.v;
        EXPECT_FLOAT_EQ(out.rear_brake, r.brake) << r.v;
    }
    // In the air.
    struct {
        float rear_y, front_y, q, throttle, clutch, rear_brake;
    } air[] = {
        {1.5f, 1, -0.1f, 1, 0.125f, 0},     // rear high, nose dropping: throttle lifts it
        {1, 1, -1.0f, 1, 0.125f, 0},        // nose dropping fast
        {1, 1, 0.1f, 0, 0.125f, 0},         // level
        {1, 2.5f, 0.1f, 0, 0, 1},           // nose high: the rear brake brings it down
        {1, 2.5f, -0.5f, 0, 0.125f, 0},     // nose high but already dropping
    };
    for (auto &a : air) {
        robot_sense in = robot_at(0, 0, 0, 0, -1, 30);
        in.rear_touch = in.front_touch = 0;
        in.rear_wheel_y = a.rear_y;
        in.front_wheel_y = a.front_y;
        in.pitch_rate = a.q;
        robot_controls out = {};
        autopilot_speed_control(in, 30, &out);
        EXPECT_FLOAT_EQ(out.throttle, a.throttle) << a.q;
        EXPECT_FLOAT_EQ(out.clutch, a.clutch) << a.q;
        EXPECT_FLOAT_EQ(out.rear_brake, a.rear_brake) << a.q;
        EXPECT_FLOAT_EQ(out.front_brake, 0);
    }
}

// ---- Signs and guards ------------------------------------------------------------------------------------

// A working line turning left ahead of a robot at the origin facing -z.
static std::vector<line_point> left_bend(float speed = 30) {
    std::vector<line_point> p;
    for (int i = 0; i < 40; i++) {
        double a = i * 0.05;   // on a circle of 150 ft to the left
        p.push_back({(float)(-150 + 150 * std::cos(a)), 0, (float)(-150 * std::sin(a)), speed, 0});
    }
    return p;
}

TEST_F(race_robot_drive, SignsOfTurnsLeanAndSteer) {
    EXPECT_GT(autopilot_turn_radius(5, 20, ROBOT_FAR), 0);
    EXPECT_LT(autopilot_turn_radius(-5, 20, ROBOT_FAR), 0);
    EXPECT_EQ(autopilot_turn_radius(5, 0, ROBOT_FAR), 10);
    EXPECT_EQ(autopilot_turn_radius(-5, -3, ROBOT_FAR), -10);
    EXPECT_GT(autopilot_present_radius(30, 0.3f, 1), 0);   // leaning left turns left
    EXPECT_EQ(autopilot_present_radius(30, 0, 1), ROBOT_FAR);
    // Upright on a left bend at speed: it wants a left lean, so it steers negative.
    robot_set_line(s, left_bend());
    s->target_index = 3;
    race_state.current_tick = 40 * 128;
    s->robot.last_advance_tic = race_state.current_tick;
    robot_sense in = robot_at(0, 0, 0, 0, -1, 30);
    robot_controls out = {};
    autopilot_normal_drive(s, in, &out);
    EXPECT_LT(out.steer, 0);
    EXPECT_TRUE(robot_controls_sound(out));
    // Recovery toward a target on the left steers negative too.
    robot_set_line(s, {{-20, 0, -20, 15, 0}, {-20, 0, -40, 15, 0}});
    s->target_index = 0;
    out = {};
    autopilot_recovery_drive(s, in, &out);
    EXPECT_LT(out.steer, 0);
    robot_set_line(s, {{20, 0, -20, 15, 0}, {20, 0, -40, 15, 0}});
    autopilot_recovery_drive(s, in, &out);
    EXPECT_GT(out.steer, 0);
}

// A robot slowed to walking pace in normal driving (held up behind a stopped rider) puts a foot
// down; riding on, it does not.
TEST_F(race_robot_drive, WalkingPacePutsAFootDown) {
    std::vector<line_point> straight;
    for (int i = 0; i < 20; i++) straight.push_back({0, 0, -10.0f * (float)i, 20, 0});
    race_state.current_tick = 40 * 128;
    for (auto [speed, dab] : std::vector<std::pair<float, float>>{{0, 1}, {3, 1}, {7.4f, 1}, {7.6f, 0}, {20, 0}}) {
        robot_set_line(s, straight);
        s->target_index = 3;
        s->robot.recovery = 0;
        s->robot.last_advance_tic = race_state.current_tick;
        robot_controls out = {};
        autopilot_normal_drive(s, robot_at(0, 0, 5, 0, -1, speed), &out);
        EXPECT_EQ(out.sit_dab, dab) << speed;
        EXPECT_TRUE(robot_controls_sound(out)) << speed;
    }
}

TEST_F(race_robot_drive, GripAndBankSetTheLeanWindow) {
    EXPECT_FLOAT_EQ(autopilot_grip_angle(1.0f), 0.78539816f);
    EXPECT_FLOAT_EQ(autopilot_grip_angle(3.0f), ROBOT_LEAN_CAP);
    float low, high;
    autopilot_lean_window(0.5f, 0.2f, &low, &high);
    EXPECT_FLOAT_EQ(low, -0.3f);
    EXPECT_FLOAT_EQ(high, 0.7f);
    EXPECT_FLOAT_EQ(autopilot_restricted_lock(3.14159265f), 0.0872665f);
    EXPECT_FLOAT_EQ(autopilot_restricted_lock(0), 0.01745329f);
    // A tight left bend on slippery flat ground limits the lean; banked into the turn it does not.
    auto limited = [&](float nx) {
        std::vector<line_point> p;
        for (int i = 0; i < 40; i++) {
            double a = i * 0.2;   // 40 ft to the left
            p.push_back({(float)(-40 + 40 * std::cos(a)), 0, (float)(-40 * std::sin(a)), 40, 0});
        }
        robot_set_line(s, p);
        s->target_index = 3;
        s->robot.lean_limit_tic = -1000000;
        race_state.current_tick = 40 * 128;
        s->robot.last_advance_tic = race_state.current_tick;
        robot_ground_grip = 0.5f;
        robot_ground_normal[0] = nx;   // toward the bike's left (-x)
        robot_ground_normal[1] = std::sqrt(1 - nx * nx);
        robot_controls out = {};
        autopilot_normal_drive(s, robot_at(0, 0, 0, 0, -1, 40), &out);
        return s->robot.lean_limit_tic == race_state.current_tick;
    };
    EXPECT_TRUE(limited(0));
    EXPECT_FALSE(limited(-0.8f));
    EXPECT_TRUE(limited(0.8f));   // banked away from the turn
}

TEST_F(race_robot_drive, DegenerateStatesGiveSoundControls) {
    robot_store(1, 1);
    std::vector<std::vector<line_point>> lines = {
        {{0, 0, 0, 0, 0}},                                                     // one point
        {{0, 0, 0, 10, 0}, {0, 0, 0, 10, 0}, {0, 0, 0, 10, 0}, {0, 0, 0, 10, 0}},   // repeated points
        {{0, 0, -10, -20, 0}, {0, 0, -20, -20, 0}, {0, 0, -30, -20, 0}},        // all in the air
        {{0, 0, -10, 20, 0}, {10, 0, -10, 20, 0}, {10, 0, -20, 20, 0}, {20, 0, -20, 20, 0}},   // zig-zag
    };
    std::vector<robot_sense> states;
    states.push_back(robot_at(0, 0, 0));                        // at rest, upright
    states.push_back(robot_at(0, 0, -10, 0, -1, 30));           // on top of the target
    robot_sense leaning = robot_at(0, 0, 0, 1, 0, 25);
    leaning.tilt = 1.2f;
    leaning.roll_rate = -3;
    leaning.front_touch = leaning.rear_touch = 0;
    states.push_back(leaning);
    robot_sense nothing = {};
    states.push_back(nothing);                                  // no axes at all
    for (int start : {0, 40 * 128})
        for (int recovery : {0, 3})
            for (int stuck : {0, 20 * 128, 41 * 128})
                for (const auto &l : lines)
                    for (const robot_sense &in : states) {
                        race_state.current_tick = start + stuck;
                        robot_set_line(s, l);
                        s->target_index = 0;
                        s->robot.recovery = recovery;
                        s->robot.last_advance_tic = start;
                        robot_controls out;
                        autopilot_control(s, in, &out);
                        EXPECT_TRUE(robot_controls_sound(out)) << start << " " << recovery << " " << stuck;
                        EXPECT_TRUE(std::isfinite(s->robot.throttle_memory));
                        EXPECT_TRUE(std::isfinite(s->robot.start_timer));
                    }
}
