// Checkpoint passing and line learning with scripted riders: the scan's offsets and gaps, laps
// and finishes, people's segments offered to the line store, robots' lines rated, and the
// connection rule between lines.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/settings.h"
#include "race/laps.h"
#include "race/lines.h"
#include "tests/race/timing_fixture.h"
#include "tests/support/test_support.h"

// Four checkpoints along +x at x = 100, 200, 300, 400, passed in that order on every lap
// (F = N = 4); rows 0-3 are the first lap's segments, 4-7 the normal lap's.
static lap_sample_input scripted;

static int scripted_gather(int slot, lap_sample_input *in) {
    *in = scripted;
    in->down_flag = rider_table[slot].down_flag;
    return 1;
}

struct learning_fixture {
    learning_fixture() {
        fixture_gates({{100, 0, 1, 0, 10}, {200, 0, 1, 0, 10}, {300, 0, 1, 0, 10}, {400, 0, 1, 0, 10}}, 4,
                      {0, 1, 2, 3, 0, 1, 2, 3});
        autopilot_gather_hook = scripted_gather;
        race_state.current_tick = 0;
        race_state.gate_drop_tick = 1664;   // 13 s
        race_state.final_lap = 3;
        race_state.running_count = 0;
        fixture_rider(0);
        fixture_rider(1);
        scripted = {};
        scripted.forward[0] = 1;
        scripted.speed = 30;
        away();
    }
    ~learning_fixture() {
        autopilot_gather_hook = autopilot_gather;
        fixture_free_rider(0);
        fixture_free_rider(1);
        fixture_free_gates();
        game_settings.debug_level = 0;
    }
    // Just past the checkpoint (z off its centre line), or far from every one.
    void at(int cp, float z = 0) {
        scripted.position[0] = 101.0f + 100.0f * (float)cp;
        scripted.position[2] = z;
    }
    void away() {
        scripted.position[0] = 5000;
        scripted.position[2] = 5000;
    }
    // One step of slot 0 at the current tick, then 32 ticks on (a sample every step).
    void step(int slot = 0) {
        autopilot_record_sample(&rider_table[slot]);
        race_state.current_tick += 32;
    }
    // Rides from somewhere between the points to checkpoint cp, sampling on the way.
    void ride_to(int cp, float z = 0, int steps = 3) {
        for (int i = 0; i < steps; i++) {
            scripted.position[0] = 101.0f + 100.0f * (float)cp - 80.0f + 20.0f * (float)i;
            scripted.position[2] = z + 0.25f * (float)i;
            step();
        }
        at(cp, z);
        step();
    }
};

static std::vector<int> ticks_of(int slot) {
    std::vector<int> t;
    for (int i = 0; i < rider_table[slot].timing_tics.count; i++) t.push_back(rider_timing_tic(slot, i));
    return t;
}

TEST(race_learning, ScanTimesSkippedPointsButNeverALapsLast) {
    learning_fixture f;
    f.at(0);
    f.step();            // tick 0
    f.at(2);
    f.step();            // tick 32: checkpoint 1 skipped, 2 taken through offset 1
    EXPECT_EQ(ticks_of(0), (std::vector<int>{0, -1, 32}));
    EXPECT_EQ(rider_timing_count(0), 3);
    f.at(0);
    f.step();            // index 3 closes the lap: 0 again (index 4) cannot be taken
    EXPECT_EQ(rider_timing_count(0), 3);
    f.at(3);
    f.step();            // tick 96
    EXPECT_EQ(rider_timing_count(0), 4);
    // Pushed back to checkpoint 1 (index 1, i = -3): its entry is missing, so it counts again.
    f.at(1);
    f.step();
    EXPECT_EQ(ticks_of(0), (std::vector<int>{0, 128, 32, 96}));
    EXPECT_EQ(rider_timing_count(0), 2);

    // Without a gap an earlier point is never entered again; two ahead is offset 2.
    fixture_rider(0);
    f.at(0);
    f.step();
    f.at(1);
    f.step();
    f.at(0);
    f.step();
    EXPECT_EQ(rider_timing_count(0), 2);
    f.at(3);
    f.step();            // index 3 through offset 2
    EXPECT_EQ(rider_timing_count(0), 4);
    EXPECT_EQ(rider_timing_tic(0, 2), -1);

    // The direction counts: short of the centre is not past it.
    fixture_rider(0);
    scripted.position[0] = 99;
    scripted.position[2] = 0;
    f.step();
    EXPECT_EQ(rider_timing_count(0), 0);
    // So does the radius, horizontally.
    scripted.position[0] = 101;
    scripted.position[1] = 500;
    scripted.position[2] = 9.9f;
    f.step();
    EXPECT_EQ(rider_timing_count(0), 1);
}

TEST(race_learning, LapsAndFinishes) {
    learning_fixture f;
    race_state.final_lap = 2;
    for (int lap = 0; lap < 2; lap++)
        for (int cp = 0; cp < 4; cp++) {
            EXPECT_EQ(rider_table[0].finished, 0);
            f.at(cp);
            f.step();
        }
    EXPECT_EQ(rider_timing_count(0), 8);
    EXPECT_EQ(rider_table[0].finished, 1);
    int laps, index;
    rider_lap_progress(0, &laps, &index);
    EXPECT_EQ(laps, 2);
    EXPECT_FLOAT_EQ(rider_lap_time(0, 1), (96 - 1664) / 128.0f);   // from the drop
    // Nothing is scanned once finished.
    f.at(0);
    f.step();
    EXPECT_EQ(rider_timing_count(0), 8);

    // The leader's finish ends the race for the others at their next lap line. (The standings
    // rebuilt after every point know only riders with bikes: the leader is set again.)
    for (int cp = 0; cp < 4; cp++) {
        fixture_leader(0);
        f.at(cp);
        f.step(1);
        EXPECT_EQ(rider_table[1].finished, cp == 3) << cp;
    }
    // No leader: only the rider's own laps count.
    fixture_rider(1);
    race_state.running_count = 0;
    for (int cp = 0; cp < 4; cp++) {
        f.at(cp);
        f.step(1);
    }
    EXPECT_EQ(rider_table[1].finished, 0);
}

// The lines of a row.
static int used(int row) {
    return line_row_used(row);
}

TEST(race_learning, PeopleOfferCleanSegments) {
    temp_dir t;
    std::string log = t.file("log.txt");
    setenv("PLYX_LOGFILE", log.c_str(), 1);
    learning_fixture f;
    game_settings.debug_level = 1;
    race_state.current_tick = 1664 + 256;   // two seconds after the drop
    f.ride_to(0);        // segment 0 ends: nothing learned yet
    EXPECT_EQ(used(0), 0);
    int t0 = rider_timing_tic(0, 0);
    f.ride_to(1);        // segment 0 is offered, timed from the drop
    ASSERT_EQ(used(0), 1);
    const line_slot &s0 = line_store_row(0)[0];
    EXPECT_EQ(s0.point_count, 4);   // the samples up to checkpoint 0
    EXPECT_EQ(s0.recorded_time, t0 - 1664);
    EXPECT_EQ(s0.recorded_time_two, rider_timing_tic(0, 1) - 1664);
    EXPECT_EQ(s0.passes, 0);
    EXPECT_NE(s0.serial, 0);
    EXPECT_FLOAT_EQ(s0.points[0].x, 21);
    EXPECT_FLOAT_EQ(s0.points[3].x, 101);   // the sample of the tick that passed the point
    // A fall in segment 2 cancels it; segment 1 is still learned.
    rider_table[0].down_flag = 1;
    f.ride_to(2);
    EXPECT_EQ(used(1), 1);
    f.ride_to(3);
    EXPECT_EQ(used(2), 0);
    f.ride_to(0);   // segment 3 learned, row 3
    EXPECT_EQ(used(3), 1);

    // The same ride again: a duplicate; a faster one into the free slot.
    fixture_rider(0);
    race_state.current_tick = 1664 + 256;
    f.ride_to(0);
    f.ride_to(1);
    EXPECT_EQ(used(0), 1);
    plyx_log_close();
    std::string text = test_read_file(log);
    EXPECT_NE(text.find("auto pilot: 2 canceled\n"), std::string::npos);
    EXPECT_NE(text.find("auto pilot: 0 rejected (duplicate)\n"), std::string::npos);
    EXPECT_NE(text.find("auto pilot: evicting 0 (times: "), std::string::npos);

    // At debug level 0 nothing is logged.
    game_settings.debug_level = 0;
    std::string quiet = t.file("quiet.txt");
    setenv("PLYX_LOGFILE", quiet.c_str(), 1);
    fixture_rider(0);
    race_state.current_tick = 1664 + 256;
    f.ride_to(0);
    f.ride_to(1);
    plyx_log_close();
    EXPECT_EQ(test_read_file(quiet).find("auto pilot"), std::string::npos);
}

TEST(race_learning, FullRowKeepsSlowLinesOut) {
    learning_fixture f;
    // 45 lines in row 0 starting together, each 2000 ticks over two segments: score 2500.
    line_slot *row = line_store_row(0);
    for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) {
        row[k].points = (line_point *)mem_alloc_or_die(sizeof(line_point) * 2);
        row[k].points[0] = {0, 0, 0.01f * (float)k, 1, 0};
        row[k].points[1] = {1, 0, 0.01f * (float)k, 1, 0};
        row[k].point_count = 2;
        row[k].recorded_time_two = 2000 + (k == 30);   // slot 30 the worst
        row[k].serial = line_store_next_serial();
    }
    // Too slow: 5 x 2100 / 4 = 2625 > 2501.
    race_state.current_tick = 1664;
    f.ride_to(0);
    race_state.current_tick = 1664 + 2100 - 32;
    f.ride_to(1, 0, 1);
    EXPECT_EQ(row[30].recorded_time_two, 2001);
    // Fast: 5 x 1200 / 4 = 1500 <= 2501: the worst line goes.
    fixture_rider(0);
    race_state.current_tick = 1664;
    f.ride_to(0);
    race_state.current_tick = 1664 + 1200 - 32;
    f.ride_to(1, 0, 1);
    EXPECT_EQ(row[30].recorded_time_two, 1200);
    EXPECT_EQ(used(0), 45);
}

TEST(race_learning, SkippedPointEmptiesBothBuffers) {
    learning_fixture f;
    race_state.current_tick = 1664;
    f.ride_to(0);
    f.ride_to(2);   // checkpoint 1 skipped
    EXPECT_EQ(rider_table[0].sample_buffers[0].count, 0);
    EXPECT_EQ(rider_table[0].sample_buffers[1].count, 0);
    f.ride_to(3);
    f.ride_to(0);
    EXPECT_EQ(used(0) + used(1) + used(2), 0);
    f.ride_to(1);   // the first clean pair after the gap
    EXPECT_EQ(used(3), 1);
}

TEST(race_learning, SampleBufferStopsAtItsCap) {
    learning_fixture f;
    growable_array *b = &rider_table[0].sample_buffers[0];
    line_point p = {};
    while (b->count < LAP_SAMPLES_MAX) ASSERT_TRUE(plyx_array_append(b, &p));
    f.step();
    EXPECT_EQ(b->count, LAP_SAMPLES_MAX);
    EXPECT_EQ(rider_table[0].sample_cancel_bits & 1, 1);
}

// A robot on a working line along the x axis (a point every 10 ft, 30 ft/s), following the
// lines of rows 0 and 1.
struct robot_fixture : learning_fixture {
    int serial0 = 0, serial1 = 0;
    robot_fixture() {
        rider_slot *s = &rider_table[0];
        scripted.personality = 1;
        for (int i = 0; i <= 60; i++) {
            line_point p = {10.0f * (float)i, 0, 0, 30, 0};
            plyx_array_append(&s->working_line, &p);
        }
        serial0 = put(0);
        serial1 = put(1);
        s->followed_serials[0] = serial0;
        s->followed_serials[1] = serial1;
    }
    int put(int row) {
        line_slot &t = line_store_row(row)[0];
        t.points = (line_point *)mem_alloc_or_die(sizeof(line_point) * 2);
        t.points[0] = {0, 0, 0, 30, 0};
        t.points[1] = {10, 0, 0, 30, 0};
        t.point_count = 2;
        t.serial = line_store_next_serial();
        return t.serial;
    }
    void robot_at(int cp, float z = 0) {
        at(cp, z);
        rider_table[0].target_index = (int)(scripted.position[0] / 10) + 2;
    }
};

TEST(race_learning, RobotsRateTheLinesTheyRide) {
    struct {
        const char *what;
        float z, speed;
        int passes, failures0, failures1;
    } cases[] = {
        {"clean", 0, 30, 1, 0, 0},
        {"4.5 ft off the line", 4.5f, 30, 0, 0, 1},
        {"7% faster than both points", 0, 32.1f, 0, 0, 1},
        {"a little faster", 0, 31.9f, 1, 0, 0},
    };
    for (auto &c : cases) {
        robot_fixture f;
        race_state.current_tick = 1664 + 640;
        f.robot_at(0);
        f.step();
        race_state.current_tick += 600;
        scripted.speed = c.speed;
        f.robot_at(1, c.z);
        f.step();
        const line_slot &a = line_store_row(0)[0], &b = line_store_row(1)[0];
        EXPECT_EQ(a.passes, c.passes) << c.what;
        EXPECT_EQ(a.failures, c.failures0) << c.what;
        EXPECT_EQ(b.failures, c.failures1) << c.what;
        if (c.passes) {
            EXPECT_EQ(a.best_time, 640);
            EXPECT_EQ(a.best_time_two, 640 + 32 + 600);
            EXPECT_EQ(a.total_time, 640);
            EXPECT_EQ(a.total_time_two, 640 + 32 + 600);
        } else {
            for (int k = 0; k < 4; k++) EXPECT_EQ(rider_table[0].followed_serials[k], 0) << c.what;
        }
    }
}

TEST(race_learning, RobotFallsChargeTheirLines) {
    robot_fixture f;
    race_state.current_tick = 1664 + 640;
    f.robot_at(0);
    f.step();
    race_state.current_tick += 64;   // 96 ticks after the point: both segments
    rider_table[0].down_flag = 1;
    f.step();
    EXPECT_EQ(line_store_row(0)[0].failures, 1);
    EXPECT_EQ(line_store_row(1)[0].failures, 1);
    EXPECT_EQ(rider_table[0].down_flag, 2);
    for (int k = 0; k < 4; k++) EXPECT_EQ(rider_table[0].followed_serials[k], 0);
    f.step();   // charged once
    EXPECT_EQ(line_store_row(1)[0].failures, 1);

    // Later than a second: only the segment it is in. A replaced line is not found.
    robot_fixture g;
    rider_table[0].followed_serials[0] = 999;
    race_state.current_tick = 1664 + 640;
    g.robot_at(0);
    g.step();
    race_state.current_tick += 200;
    rider_table[0].down_flag = 1;
    g.step();
    EXPECT_EQ(line_store_row(0)[0].failures, 0);
    EXPECT_EQ(line_store_row(1)[0].failures, 1);
}

TEST(race_learning, RatingOnALineOfOnePointStaysFinite) {
    robot_fixture f;
    rider_slot *s = &rider_table[0];
    s->working_line.count = 1;   // a = b
    race_state.current_tick = 1664 + 640;
    f.robot_at(0);
    f.step();
    scripted.position[0] = 201;
    scripted.position[2] = 0;
    s->target_index = 5;
    f.step();   // 201 ft from the one point: off the line, charged to segment 1
    EXPECT_EQ(line_store_row(1)[0].failures, 1);
    EXPECT_EQ(line_store_row(0)[0].passes, 0);
}

TEST(race_learning, FinishingRobotSlowsDownToTheEnd) {
    robot_fixture f;
    race_state.final_lap = 1;
    for (int cp = 0; cp < 4; cp++) {
        f.robot_at(cp);
        f.step();
    }
    ASSERT_EQ(rider_table[0].finished, 1);
    const line_point *line = (const line_point *)rider_table[0].working_line.items;
    // At x = 401 the progress is 41.1: points 41..60 slow from full to a quarter.
    EXPECT_FLOAT_EQ(line[40].speed, 30);
    EXPECT_FLOAT_EQ(line[41].speed, 30);
    EXPECT_FLOAT_EQ(line[60].speed, 30 * (0.75f / 20 + 0.25f));
    // Progress at the end of the line: nothing to slow.
    robot_fixture g;
    race_state.final_lap = 1;
    for (int cp = 0; cp < 3; cp++) {
        g.robot_at(cp);
        g.step();
    }
    rider_table[0].working_line.count = 30;
    g.robot_at(3);
    g.step();
    const line_point *l = (const line_point *)rider_table[0].working_line.items;
    EXPECT_EQ(rider_table[0].finished, 1);
    EXPECT_FLOAT_EQ(l[29].speed, 30);
}

TEST(race_learning, ProgressAlongALine) {
    line_point line[5];
    for (int i = 0; i < 5; i++) line[i] = {10.0f * (float)i, 0, 0, 20, 0};
    const float forward[3] = {1, 0, 0};
    float at25[3] = {25, 0, 3};
    EXPECT_FLOAT_EQ(autopilot_line_progress(line, 5, 4, at25, forward), 3.5f);
    EXPECT_FLOAT_EQ(autopilot_line_progress(line, 5, 2, at25, forward), 2.0f);   // start behind: no walk
    float before[3] = {-5, 0, 0};
    EXPECT_FLOAT_EQ(autopilot_line_progress(line, 5, 4, before, forward), 1.0f);   // stops at 0
    EXPECT_FLOAT_EQ(autopilot_line_progress(line, 0, 4, before, forward), 0.0f);
}

TEST(race_learning, ConnectionRule) {
    auto slot = [](std::vector<line_point> p) {
        line_slot t = {};
        t.points = new line_point[p.size()];
        for (size_t i = 0; i < p.size(); i++) t.points[i] = p[i];
        t.point_count = (int)p.size();
        return t;
    };
    // Collinear ends along +x: the band is 2.5 ft either side of the line z = 0.
    line_slot a = slot({{0, 0, 0, 40, 0}, {10, 0, 0, 40, 0}, {20, 0, 0, 40, 0}});
    struct {
        float z0, z1, speed;
        int joins;
    } cases[] = {
        {2.4f, 2.4f, 40, 1}, {-2.4f, -2.4f, 40, 1}, {2.6f, 2.6f, 40, 0}, {-2.6f, -2.6f, 40, 0},
        {0, 0, 20, 0},       {0, 0, 25, 1},         {0, 0, -25, 1},      {0, 2.1f, 40, 0},
    };
    for (auto &c : cases) {
        line_slot b = slot({{30, 0, c.z0, c.speed, 0}, {40, 0, c.z1, c.speed, 0}});
        EXPECT_EQ(autopilot_slots_connect(&a, &b), c.joins) << c.z0 << " " << c.z1 << " " << c.speed;
        delete[] b.points;
    }
    line_slot two = slot({{0, 0, 0, 1, 0}, {1, 0, 0, 1, 0}});
    line_slot b = slot({{30, 0, 0, 40, 0}, {40, 0, 0, 40, 0}});
    EXPECT_EQ(autopilot_slots_connect(&two, &b), 0);   // too short to lead anywhere
    // A circle of radius 50 about the origin.
    const line_point c1 = {50, 1, 0, 0, 0}, c2 = {0, 0, 50, 0, 0}, c3 = {-50, 0, 0, 0, 0};
    line_centre o = autopilot_circle_through_points(&c1, &c2, &c3);
    EXPECT_NEAR(o.x, 0, 1e-9);
    EXPECT_NEAR(o.z, 0, 1e-9);
    EXPECT_EQ(o.y, 1);
    // Straight: the centre lies a million steps away, yet distances to it stay exact enough.
    line_centre s = autopilot_circle_through_points(&a.points[0], &a.points[1], &a.points[2]);
    EXPECT_GT(std::fabs(s.z), 1e6);
    delete[] a.points;
    delete[] two.points;
    delete[] b.points;
}
