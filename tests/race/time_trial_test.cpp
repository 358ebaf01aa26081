// Time trials: lap times, the best lap, the last lap kept as the fast lap and when it is not.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "bike/physics.h"
#include "race/laps.h"
#include "race/time_trial.h"
#include "race/track.h"
#include "tests/race/results_fixture.h"

static int recording_open;
static int is_recording() {
    return recording_open;
}

// A time trial on "tracks/tt" (F = 3, N = 4) with a home folder for its demos; slot 0 the
// player, slot 1 (when asked) a ghost with a body in the physics world, so it can be freed.
struct trial {
    results_home home;
    trial() {
        results_race(1000, 0);
        race_state.time_trial = 1;
        track_name = "tracks/tt";
        time_trial_demo = {nullptr, is_recording, nullptr};
        autopilot_gather_hook = [](int, lap_sample_input *) { return 0; };   // no bodies to sample
        last_lap_ticks = best_lap_ticks = 0;
        physics_open();
    }
    ~trial() {
        for (int i = 1; i < RIDER_SLOTS; i++) bike_free(i);
        results_free();
        physics_close();
        track_name = nullptr;
    }
    void ghost(std::initializer_list<int> ticks) {
        results_rider(1, 1, "9", 0, ticks);
        rider_table[1].parts[BIKE_BODY_FRAME] = dBodyCreate(physics_world);
    }
    std::string file(const char *name) const { return home.file(std::string("tracks/tt/") + name); }
};

static void cycle_after_lap_line() {
    int laps[2] = {0, 0};   // both were in their first lap at the start of the tick
    time_trial_lap_cycle(laps);
}

// The slot's timing list set to these ticks.
static void set_ticks(int slot, const std::vector<int> &ticks) {
    rider_table[slot].timing_tics.count = 0;
    rider_table[slot].timing_count = 0;
    for (int i = 0; i < (int)ticks.size(); i++) rider_set_timing_tic(slot, i, ticks[i]);
    rider_table[slot].timing_count = (int)ticks.size();
}

// A full lap F - 1 .. F + N - 1 from tick 1000, `lap` ticks long.
static std::vector<int> lap_of(int lap) {
    return {900, 950, 1000, 1000 + lap / 4, 1000 + lap / 2, 1000 + 3 * lap / 4, 1000 + lap};
}

TEST(race_time_trial, FirstRecordedLapBecomesTheFastLapByACopy) {
    trial t;
    std::string demo(5000, '\0');
    for (size_t i = 0; i < demo.size(); i++) demo[i] = (char)(i * 7 + i / 1024);
    ASSERT_TRUE(test_write_file(t.file("lastlap.zrdemo"), demo));

    // The first lap line of a run: nothing was recording this lap, so nothing becomes the ghost.
    results_rider(0, 0, "5", 0, {});
    set_ticks(0, lap_of(4000));
    recording_open = 0;
    cycle_after_lap_line();
    EXPECT_FALSE(test_file_exists(t.file("fastlap.zrdemo")));
    EXPECT_EQ(last_lap_ticks, 4000);
    EXPECT_EQ(best_lap_ticks, 4000);
    EXPECT_EQ(rider_timing_count(0), 2);   // cut back to F - 1 points

    // A recorded lap with no fast lap yet: copied byte for byte, whatever its time.
    set_ticks(0, lap_of(9000));
    recording_open = 1;
    cycle_after_lap_line();
    EXPECT_EQ(test_read_file(t.file("fastlap.zrdemo")), demo);
    EXPECT_FALSE(test_file_exists(t.file("fastlap.zrdemo.tmp")));
    EXPECT_EQ(last_lap_ticks, 9000);
    EXPECT_EQ(best_lap_ticks, 4000);
}

// With a fast lap in place: which laps replace it, and what the times become.
TEST(race_time_trial, LapRulesTable) {
    struct {
        const char *name;
        std::vector<int> player, ghost;   // timing lists (empty ghost: none)
        int last, best, replaced;
    } cases[] = {
        {"a faster lap ahead of the ghost", {900, 950, 1000, 1500, 2000, 2500, 3000}, {900, 950, 1000, 1500}, 2000, 2000, 1},
        {"a missed point: time 0, best and fast lap kept", {900, 950, 1000, -1, 2000, 2500, 3000}, {}, 0, 2500, 0},
        {"more points than the ghost, though its lap was shorter", {900, 950, 1000, 1500, 2000, 2500, 4000},
         {900, 950, 1000, 1100, 1200, 1300}, 3000, 2500, 1},
        {"fewer points than the ghost", {900, 950, 1000, 1500, 2000, 2500, 3000},
         {900, 950, 1000, 1100, 1200, 1300, 1400, 1500}, 2000, 2000, 0},
    };
    for (auto &c : cases) {
        trial t;
        best_lap_ticks = 2500;
        ASSERT_TRUE(test_write_file(t.file("lastlap.zrdemo"), "new lap"));
        ASSERT_TRUE(test_write_file(t.file("fastlap.zrdemo"), "old ghost"));
        results_rider(0, 0, "5", 0, {});
        set_ticks(0, c.player);
        if (!c.ghost.empty()) {
            t.ghost({});
            set_ticks(1, c.ghost);
        }
        int laps[2] = {0, 1};   // the ghost's lap number unchanged
        int index;
        if (!c.ghost.empty()) rider_lap_progress(1, &laps[1], &index);
        recording_open = 1;
        time_trial_lap_cycle(laps);
        EXPECT_EQ(last_lap_ticks, c.last) << c.name;
        EXPECT_EQ(best_lap_ticks, c.best) << c.name;
        EXPECT_EQ(test_read_file(t.file("fastlap.zrdemo")), c.replaced ? "new lap" : "old ghost") << c.name;
        EXPECT_FALSE(rider_has_bike(1)) << c.name;   // the ghost goes with the lap
    }
}

// The ghost's lap sets the best time when faster; one crossing runs the cycle once.
TEST(race_time_trial, GhostLapAndOneCyclePerCrossing) {
    trial t;
    best_lap_ticks = 5000;
    results_rider(0, 0, "5", 0, {900, 950});
    t.ghost({900, 950, 1000, 1500, 2000, 2500, 3000});
    int laps[2] = {0, 2};   // the ghost's lap number as it is now: nothing
    time_trial_lap_cycle(laps);
    EXPECT_EQ(best_lap_ticks, 5000);
    laps[1] = 1;            // the ghost has just completed a lap of 2000 ticks
    time_trial_lap_cycle(laps);
    EXPECT_EQ(best_lap_ticks, 2000);

    // The player crosses: the cycle runs in that tick only; the lap number holds afterwards.
    set_ticks(0, lap_of(3000));
    recording_open = 0;
    laps[0] = 0;
    time_trial_lap_cycle(laps);
    EXPECT_EQ(last_lap_ticks, 3000);
    last_lap_ticks = 77;
    for (int tick = 0; tick < 64; tick++) {
        int index;
        rider_lap_progress(0, &laps[0], &index);
        laps[1] = 0;
        time_trial_lap_cycle(laps);
    }
    EXPECT_EQ(last_lap_ticks, 77);
}

// A fast-lap copy that fails keeps the old ghost whole and warns.
TEST(race_time_trial, FailedCopyKeepsTheOldFastLap) {
    trial t;
    ASSERT_TRUE(test_write_file(t.file("lastlap.zrdemo"), std::string(5000, 'n')));
    ASSERT_TRUE(test_write_file(t.file("fastlap.zrdemo"), "old ghost"));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        console_clear();
        int kept = time_trial_keep_fast_lap();
        _exit(kept == 0 && console_count("Warning: couldn't write '@tracks/tt/fastlap.zrdemo'") == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test_read_file(t.file("fastlap.zrdemo")), "old ghost");
    EXPECT_FALSE(test_file_exists(t.file("fastlap.zrdemo.tmp")));
}
