// Seeking inside a demo: back to the frame that refills the rings as a straight run has them,
// forward by running the race, the old versions by position, and where no seek is allowed.
#include <gtest/gtest.h>

#include <zlib.h>

#include <map>

#include "core/settings.h"
#include "race/timing.h"
#include "tests/race/timing_fixture.h"
#include "tests/race/demo_fixture.h"

namespace {

// Every record of the slot's ring by tick.
std::map<int, std::string> ring(int slot) {
    std::map<int, std::string> out;
    const rider_history_record &h = rider_history[slot];
    for (int i = 0; i < HISTORY_RECORDS; i++)
        if (h.ticks[i] >= 0) out[h.ticks[i]] = std::string((const char *)h.states[i], PACKED_STATE_BYTES);
    return out;
}

// 3 riders, 60 s: a states frame every 16 ticks with 4 records a rider, an erosion message every
// 128 ticks (its first byte counting them).
demo_builder sixty_seconds() {
    demo_builder b(3);
    b.states(0, {0});
    for (int t = 16; t <= 60 * 128; t += 16) {
        b.states(t, {t - 12, t - 8, t - 4, t});
        if (t % 128 == 0) b.frame(t, DEMO_FRAME_ERODE_DATA, std::string(1, (char)(t / 128)) + std::string(20, '\0'));
    }
    return b;
}

std::vector<int> eroded;
void erosion_spy(const unsigned char *bytes, int) {
    eroded.push_back(bytes[0]);
}

int ticks_run;
int roost_seen = -1;
void tick_spy() {
    ticks_run++;
    if (game_settings.roost_frequency != 0) roost_seen = game_settings.roost_frequency;
}

void run_to(int tick) {
    while (race_state.current_tick < tick) race_tick();
}

}  // namespace

TEST(race_demo, SeekBackRefillsTheRingsAndForwardRunsTheRace) {
    demo_env env;
    demo_queue_erosion = erosion_spy;
    ASSERT_TRUE(demo_play_bytes(env, sixty_seconds().bytes()));
    demo_read_frames();
    run_to(4000);
    std::map<int, std::string> first[3];
    for (int s = 0; s < 3; s++) first[s] = ring(s);
    std::vector<int> eroded_first = eroded;
    ASSERT_EQ(eroded_first.size(), (size_t)(4064 / 128));

    demo_seek(-10.0f);
    // Back to 2719: reading resumed at the last frame at or before 2655, which holds 2628..2640.
    EXPECT_EQ(race_state.current_tick, 2720);
    int resumed = 0;
    for (int t = 0; t <= 2655; t += 16) resumed = t;
    EXPECT_EQ(ring(0).begin()->first, resumed - 12);
    run_to(4000);
    for (int s = 0; s < 3; s++) EXPECT_EQ(ring(s), first[s]) << "slot " << s;
    EXPECT_EQ(eroded, eroded_first) << "no erosion frame applied twice";

    race_hooks.script_tic = tick_spy;
    game_settings.roost_frequency = 40;
    demo_seek(10.0f);
    EXPECT_EQ(ticks_run, 1280);
    EXPECT_EQ(race_state.current_tick, 4000 + 1280);
    EXPECT_EQ(roost_seen, -1) << "no roost while skipping";
    EXPECT_EQ(game_settings.roost_frequency, 40);
    race_hooks.script_tic = nullptr;
    demo_queue_erosion = erode_queue_message;
}

// A seek back keeps each timing list up to the last point passed before the tick it lands on: a
// point stamped with that tick is passed again by the seek's own tick, and points a later one
// skipped go with it.
TEST(race_demo, SeekBackCutsTimingListsToThePointsPassedBefore) {
    demo_env env;
    ASSERT_TRUE(demo_play_bytes(env, sixty_seconds().bytes()));
    demo_read_frames();
    run_to(4000);
    struct {
        std::vector<int> tics;
        int kept;
    } cases[] = {
        {{100, 500, 2718, 2719, 3000}, 3},
        {{100, 500, -1, 2719, 3000}, 2},
        {{100, -1, -1, 3000}, 1},
        {{-1, 2500, -1, 3500}, 2},
        {{3000, 3500}, 0},
    };
    int n = (int)(sizeof cases / sizeof cases[0]);
    for (int slot = 0; slot < n; slot++) {
        fixture_rider(slot);
        for (int i = 0; i < (int)cases[slot].tics.size(); i++) rider_set_timing_tic(slot, i, cases[slot].tics[i]);
        rider_table[slot].timing_count = (int)cases[slot].tics.size();
    }
    demo_seek(-10.0f);
    ASSERT_EQ(race_state.current_tick, 2720);
    for (int slot = 0; slot < n; slot++) {
        EXPECT_EQ(rider_timing_count(slot), cases[slot].kept) << "slot " << slot;
        rider_truncate_timing(slot, 0);
        fixture_free_rider(slot);
    }
}

TEST(race_demo, SeekInOldVersionsGoesByPosition) {
    demo_env env;
    std::string text = "ZR05 2 0 1\ntracks/fake\nyz250f||||\n1\nyz250f||||\n2\n";
    for (int t = 0; t < 2000; t++)
        for (int r = 0; r < 2; r++) {
            unsigned char s[39];
            demo_fake_state(r, t, s);
            text.append((const char *)s, 39);
        }
    ASSERT_TRUE(demo_play_bytes(env, text));
    demo_read_frames();
    run_to(1000);
    demo_seek(-1.0f);   // to 871: its block is the 872nd
    EXPECT_EQ(race_state.current_tick, 872);
    const rider_history_record &h = rider_history[1];
    int oldest = ring(1).begin()->first;
    EXPECT_EQ(oldest, 871);
    unsigned char want[39];
    demo_fake_state(1, 871, want);
    for (int i = 0; i < HISTORY_RECORDS; i++)
        if (h.ticks[i] == 871) EXPECT_EQ(memcmp(h.states[i], want, 39), 0);
}

TEST(race_demo, NoSeekInACompressedDemoWhileRecordingOrWithALocalRider) {
    demo_env env;
    demo_builder b = sixty_seconds();
    std::string bytes = b.bytes();
    std::string gz = env.home + "demos/z.zrdemo.gz";
    test_make_dirs(env.home + "demos");
    gzFile f = gzopen(gz.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    gzwrite(f, bytes.data(), (unsigned)bytes.size());
    gzclose(f);
    std::string plain = env.home + "demos/z.zrdemo";
    demo_chosen_file = plain.c_str();
    ASSERT_EQ(demo_open_playback(), 1);
    for (int i = 0; i < 3; i++) demo_place_next_rider(i);
    demo_read_frames();
    run_to(500);
    int32_t position = demo_playback_position();
    demo_seek(-1.0f);
    EXPECT_EQ(race_state.current_tick, 500);
    EXPECT_EQ(demo_playback_position(), position);
    demo_close_playback();

    struct {
        const char *label;
        bool recording;
        int local_slot;
    } cases[] = {{"recording", true, -1}, {"local rider", false, 7}};
    for (auto &c : cases) {
        history_clear_all();
        race_state.current_tick = 0;
        ASSERT_TRUE(demo_play_bytes(env, bytes));
        demo_read_frames();
        run_to(500);
        if (c.recording) demo_start_recording();
        if (c.local_slot >= 0) {
            demo_fake_used[c.local_slot] = 1;
            rider_status[c.local_slot] = 0;
        }
        std::map<int, std::string> before = ring(0);
        demo_seek(-1.0f);
        demo_seek(1.0f);
        EXPECT_EQ(race_state.current_tick, 500) << c.label;
        EXPECT_EQ(ring(0), before) << c.label;
        demo_finish_recording();
        demo_close_playback();
        demo_fake_used[7] = 0;
        rider_status[7] = 1;
    }
}
