// Demo recording and reading: frames and records as written, the files kept and rotated,
// "namedemo", failed writes, and the reader's handling of good and hostile headers and frames.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <functional>

#include "core/settings.h"
#include "core/stream.h"
#include "tests/race/demo_fixture.h"

namespace {

struct parsed_frame {
    demo_frame_head head;
    uint32_t length;
    std::vector<demo_state_record> records;
};

// The header and frames of a demo file, parsed with the shared encoding.
struct parsed_demo {
    demo_header header;
    int32_t header_length = 0;
    std::vector<parsed_frame> frames;
};

parsed_demo parse(const std::string &path) {
    parsed_demo d;
    file_stream *s = stream_open(path.c_str(), "rb");
    EXPECT_NE(s, nullptr) << path;
    if (!s) return d;
    EXPECT_EQ(demo_header_read(s, &d.header, &d.header_length), 1);
    uint32_t last = 0;
    unsigned char head[DEMO_FRAME_HEAD_BYTES];
    while (stream_read(s, head, sizeof head) == (int)sizeof head) {
        parsed_frame f;
        f.head = demo_frame_head_decode(head);
        f.length = f.head.stored_length ^ last;
        last = f.length;
        for (uint32_t k = 0; k < f.length / DEMO_RECORD_BYTES; k++) {
            unsigned char r[DEMO_RECORD_BYTES];
            EXPECT_EQ(stream_read(s, r, sizeof r), (int)sizeof r);
            f.records.push_back(demo_record_decode(r));
        }
        d.frames.push_back(f);
    }
    stream_close(s);
    return d;
}

// Records a race of fake robots in the slots from tick 0 to end (the current tick when it ends).
void record_ticks(int end) {
    race_state.current_tick = 0;
    demo_start_recording();
    demo_write_frame(1);
    while (race_state.current_tick < end) {
        race_state.current_tick++;
        demo_write_frame(0);
    }
}

}  // namespace

TEST(race_demo, RecorderWritesTheHeaderAndAFrameEvery16Ticks) {
    demo_env env;
    env.robots({0, 2, 5});
    demo_fake_used[1] = 1;   // a history rider: not in an offline recording
    race_state.race_time = 0;
    race_state.laps = 2;
    race_state.gate_drop_tick = 1800;
    race_slot_looks[2] = {"kx250f(2008)", "33", "body7", nullptr, "bike2", "wheels1"};
    race_rider_names[0] = "Roborider";
    record_ticks(1000);
    EXPECT_TRUE(demo_recording());
    EXPECT_FALSE(test_file_exists(env.home + "demos/default.zrdemo")) << "kept only once finished";
    demo_finish_recording();
    race_slot_looks[2] = {};
    race_rider_names[0] = nullptr;

    std::string path = env.home + "demos/default.zrdemo";
    std::string bytes = test_read_file(path);
    const std::string header = "ZR06 3 0 2 1800\ntracks/fake\n"
                               "||||\n\nRoborider\n\n"
                               "kx250f(2008)|body7|bike2|wheels1|\n33\n\n\n"
                               "||||\n\n\n\n";
    ASSERT_EQ(bytes.substr(0, header.size()), header);
    EXPECT_FALSE(test_file_exists(path + ".tmp"));

    parsed_demo d = parse(path);
    EXPECT_EQ(d.header_length, (int32_t)header.size());
    ASSERT_GE(d.frames.size(), 3u);
    // Tick 0 alone, then 4 records a rider every 16 ticks, then the finish writes the rest.
    EXPECT_EQ(d.frames[0].head.stored_length, 3u * 44) << "the first length plain";
    EXPECT_EQ(d.frames[1].head.stored_length, (3u * 44) ^ (12u * 44));
    EXPECT_EQ(d.frames[2].head.stored_length, 0u) << "an equal length stored as 0";
    int expected_tick = 0;
    for (size_t i = 0; i < d.frames.size(); i++) {
        const parsed_frame &f = d.frames[i];
        EXPECT_EQ(f.head.type, DEMO_FRAME_STATES);
        bool last = i + 1 == d.frames.size();
        EXPECT_EQ(f.head.tick, last ? 1000 : expected_tick);
        int per_rider = i == 0 ? 1 : last ? 2 : 4;
        ASSERT_EQ(f.records.size(), 3u * per_rider) << i;
        const int slots[] = {0, 2, 5};
        for (int o = 0; o < 3; o++)
            for (int k = 0; k < per_rider; k++) {
                const demo_state_record &r = f.records[o * per_rider + k];
                int tick = f.head.tick - 4 * (per_rider - 1 - k);
                unsigned char want[39];
                demo_fake_state(slots[o], tick, want);
                EXPECT_EQ(r.ordinal, o);
                EXPECT_EQ((int)r.tick, tick);
                EXPECT_EQ(memcmp(r.state, want, 39), 0) << "frame " << i << " ordinal " << o;
            }
        expected_tick += 16;
    }
    EXPECT_EQ(d.frames[d.frames.size() - 2].head.tick, 992);
    EXPECT_EQ(demo_last_recording.frames, (int)d.frames.size());
    EXPECT_EQ(demo_last_recording.bytes, (long long)bytes.size());
}

TEST(race_demo, ALateRecordIsWrittenOnceAndNothingTwice) {
    demo_env env;
    env.robots({0});
    record_ticks(20);   // frames at 0 and 16; tick 20 pending
    unsigned char late[39];
    demo_fake_state(0, 14, late);
    add_state_to_history(0, late, 14);   // below the newest record already written
    demo_finish_recording();
    parsed_demo d = parse(env.home + "demos/default.zrdemo");
    std::vector<int> ticks;
    for (const parsed_frame &f : d.frames)
        for (const demo_state_record &r : f.records) ticks.push_back((int)r.tick);
    EXPECT_EQ(ticks, (std::vector<int>{0, 4, 8, 12, 16, 14, 20}));
}

TEST(race_demo, RecordAndReadBackEveryRecordToItsSlot) {
    demo_env env;
    env.robots({1, 3, 4});
    record_ticks(300);
    demo_finish_recording();
    // Played back into slots 0, 1, 2 in header order.
    for (int &k : rider_status) k = 1;
    memset(demo_fake_used, 0, sizeof demo_fake_used);
    history_clear_all();
    race_state.current_tick = 0;
    demo_chosen_file = "@demos/default.zrdemo";
    ASSERT_EQ(demo_open_playback(), 1);
    EXPECT_STREQ(demo_playback_track, "tracks/fake");
    ASSERT_EQ(demo_rider_count, 3);
    for (int i = 0; i < 3; i++) EXPECT_EQ(demo_place_next_rider(i), i);
    EXPECT_EQ(demo_place_next_rider(3), -1);
    for (int c = 0; c <= 300; c++) {
        race_state.current_tick = c;
        demo_read_frames();
    }
    const int recorded[] = {1, 3, 4};
    for (int slot = 0; slot < 3; slot++) {
        std::vector<int> ticks = demo_history_ticks(slot);
        ASSERT_EQ(ticks.size(), 76u);
        EXPECT_EQ(ticks.front(), 300);
        const rider_history_record &h = rider_history[slot];
        for (int k = 0; k < HISTORY_RECORDS; k++) {
            if (h.ticks[k] < 0) continue;
            unsigned char want[39];
            demo_fake_state(recorded[slot], h.ticks[k], want);
            EXPECT_EQ(memcmp(h.states[k], want, 39), 0) << slot << " at " << h.ticks[k];
        }
    }
}

TEST(race_demo, TimeTrialRecordsTheLapAndItsFirstFrameSetsTheOffset) {
    demo_env env;
    env.robots({0});
    race_state.time_trial = 1;
    race_state.current_tick = 38400;
    demo_start_recording();
    for (int t = 38400; t <= 38500; t++) {
        race_state.current_tick = t;
        demo_write_frame(t == 38400);
    }
    demo_finish_recording();
    EXPECT_TRUE(test_file_exists(env.home + "tracks/fake/lastlap.zrdemo"));

    demo_builder b(1);
    b.states(100, {100});
    b.states(116, {104, 108, 112, 116});
    race_state.current_tick = 50000;
    history_clear_all();
    ASSERT_TRUE(demo_play_bytes(env, b.bytes()));
    demo_read_frames();
    EXPECT_EQ(demo_history_ticks(0), (std::vector<int>{50016, 50012, 50008, 50004, 50000}));
    EXPECT_EQ(race_state.current_tick, 50000);
}

TEST(race_demo, BackupsRotateAndTheDefaultIsReplacedOnlyWhenFinished) {
    demo_env env;
    env.robots({0});
    std::string demos = env.home + "demos/";
    struct {
        int backups;
        std::vector<std::pair<std::string, std::string>> before, after_start;
    } cases[] = {
        {3,
         {{"default.zrdemo", "D"}, {"default00.zrdemo", "0"}, {"default01.zrdemo", "1"}},
         {{"default00.zrdemo", "D"}, {"default01.zrdemo", "0"}, {"default02.zrdemo", "1"}}},
        {0, {{"default.zrdemo", "D"}}, {{"default.zrdemo", "D"}}},
    };
    for (auto &c : cases) {
        test_write_file(demos + "x", "");
        for (auto &f : c.before) test_write_file(demos + f.first, f.second);
        settings.demo_backups = c.backups;
        record_ticks(20);
        for (auto &f : c.after_start) EXPECT_EQ(test_read_file(demos + f.first), f.second) << c.backups << f.first;
        demo_finish_recording();
        EXPECT_EQ(test_read_file(demos + "default.zrdemo").substr(0, 4), "ZR06") << c.backups;
    }
    settings.demo_backups = 0;
}

TEST(race_demo, NameDemoRenamesTheFinishedRecording) {
    demo_env env;
    env.robots({0});
    console_cmd_namedemo("race1");
    EXPECT_STREQ(console_log.lines[0], "Not currently recording a demo");
    struct {
        const char *argument, *reply, *kept;
    } cases[] = {
        {"  race1 extra", "Demo name updated", "race1.zrdemo"},
        {"race2.zrdemo", "Demo name updated", "race2.zrdemo"},
        {"../escape", "Warning: bad demo name", "default.zrdemo"},
    };
    for (auto &c : cases) {
        record_ticks(20);
        console_clear();
        console_cmd_namedemo(c.argument);
        EXPECT_STREQ(console_log.lines[0], c.reply);
        demo_finish_recording();
        EXPECT_TRUE(test_file_exists(env.home + "demos/" + c.kept)) << c.argument;
        EXPECT_STREQ(demo_last_recording.path, ("@demos/" + std::string(c.kept)).c_str());
    }
    record_ticks(20);
    console_clear();
    console_cmd_namedemo(std::string(1020, 'n').c_str());
    EXPECT_STREQ(console_log.lines[0], "Name too long");
}

TEST(race_demo, AFailedWriteKeepsTheOldDemoWhole) {
    demo_env env;
    env.robots({0, 1, 2, 3});
    std::string path = env.home + "demos/default.zrdemo";
    std::string old = "ZR06 0 0 0 0\ntracks/fake\n";
    ASSERT_TRUE(test_write_file(path, old));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {20000, 20000};
        setrlimit(RLIMIT_FSIZE, &limit);
        record_ticks(2000);
        bool stopped = !demo_recording();
        demo_finish_recording();
        _exit(stopped && demo_console_has("Warning: demo not saved: write failed") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test_read_file(path), old);
    EXPECT_FALSE(test_file_exists(path + ".tmp"));
}

TEST(race_demo, HeaderTable) {
    demo_env env;
    const std::string rider6 = "yz250f|b|k|w|h\n21\nAnna\n\n";
    struct {
        const char *label;
        std::string text;
        int ok;
        int laps, gate_drop;
    } cases[] = {
        {"version 6", "ZR06 1 0 3 1800\ntracks/fake\n" + rider6, 1, 3, 1800},
        {"version 5", "ZR05 1 0 2 1700\ntracks/fake\nyz250f||||\n21\n", 1, 2, 1700},
        {"version 4", "ZR04 1 0\ntracks/fake\nyz250f||||\n21\n", 1, 0, 1792},
        {"no gate drop", "ZR06 1 0 4\ntracks/fake\n" + rider6, 1, 4, 1792},
        {"extra line", "ZR06 1 0 3 1800\ntracks/fake\nyz250f||||\n21\nAnna\nmore\n\n", 1, 3, 1800},
        {"version 7", "ZR07 1 0 3 1800\ntracks/fake\n" + rider6, 0, 0, 0},
        {"two numbers", "ZR06 1\ntracks/fake\n" + rider6, 0, 0, 0},
        {"count -1", "ZR06 -1 0 3 1800\ntracks/fake\n", 0, 0, 0},
        {"count 161", "ZR06 161 0 3 1800\ntracks/fake\n", 0, 0, 0},
        {"finish time", "ZR06 1 16777217 3 1800\ntracks/fake\n" + rider6, 0, 0, 0},
        {"laps", "ZR06 1 0 1001 1800\ntracks/fake\n" + rider6, 0, 0, 0},
        {"gate drop", "ZR06 1 0 3 -1\ntracks/fake\n" + rider6, 0, 0, 0},
        {"huge number", "ZR06 1 0 3 99999999999999999999\ntracks/fake\n" + rider6, 0, 0, 0},
        {"no line end", "ZR06 1 0 3 1800\ntracks/fake\nyz250f||||\n21\nAnna\n", 0, 0, 0},
        {"long line", "ZR06 1 0 3 1800\ntracks/fake\n" + std::string(5000, 'x') + "\n21\nAnna\n\n", 0, 0, 0},
        {"missing block", "ZR06 2 0 3 1800\ntracks/fake\n" + rider6, 0, 0, 0},
        {"not installed", "ZR06 1 0 3 1800\ntracks/elsewhere\n" + rider6, 0, 0, 0},
        {"climbing", "ZR06 1 0 3 1800\n../fake\n" + rider6, 0, 0, 0},
    };
    for (auto &c : cases) {
        console_clear();
        race_state.laps = -5;
        int ok = demo_play_bytes(env, c.text);
        EXPECT_EQ(ok, c.ok) << c.label;
        if (ok) {
            EXPECT_EQ(race_state.laps, c.laps) << c.label;
            EXPECT_EQ(race_state.gate_drop_tick, c.gate_drop) << c.label;
            EXPECT_STREQ(demo_rider[0].model, "yz250f") << c.label;
            EXPECT_STREQ(demo_rider[0].number, "21") << c.label;
        } else {
            EXPECT_EQ(demo_rider_count, 0) << c.label;
            EXPECT_TRUE(demo_console_has("Warning: bad demo header in") ||
                        demo_console_has("Warning: demo track"))
                << c.label;
        }
        demo_close_playback();
    }
    // Names that climb out of the data folders become none; the number keeps 3 characters.
    ASSERT_TRUE(demo_play_bytes(env, "ZR06 1 0 3 1800\ntracks/fake\nyz250f|../../etc/x|/abs|ok|h\x01\n12345\nAnna\n\n"));
    EXPECT_EQ(demo_rider[0].body, nullptr);
    EXPECT_EQ(demo_rider[0].bike, nullptr);
    EXPECT_STREQ(demo_rider[0].wheels, "ok");
    EXPECT_EQ(demo_rider[0].head, nullptr);
    EXPECT_STREQ(demo_rider[0].number, "123");
    EXPECT_STREQ(demo_rider[0].name, "Anna");
}

static std::vector<std::pair<int, int>> erosion_seen;   // (length, first byte)
static void erosion_spy(const unsigned char *bytes, int length) {
    erosion_seen.push_back({length, bytes[0]});
}

TEST(race_demo, FrameTable) {
    demo_env env;
    demo_queue_erosion = erosion_spy;
    auto record_at = [](int ordinal, uint32_t tick) {
        demo_state_record r;
        r.ordinal = ordinal;
        r.tick = tick;
        demo_fake_state(ordinal, (int)tick, r.state);
        return r;
    };
    struct frame_case {
        const char *label;
        std::function<void(demo_builder &)> build;
        std::vector<int> ticks;   // rider 0's history after reading up to tick 200
        const char *console;      // a text the console shows
        int erode = 7;            // the race's erosion level after
    };
    std::vector<frame_case> cases = {
        {"good", [](demo_builder &b) { b.states(0, {0}); b.states(16, {4, 8, 12, 16}); }, {16, 12, 8, 4, 0}, nullptr},
        {"length not a multiple of 44",
         [](demo_builder &b) { b.frame(0, 1, std::string(45, 'x')); b.states(16, {16}); }, {16}, nullptr},
        {"ordinal 200",
         [&](demo_builder &b) { b.frame(0, 1, demo_states_payload({record_at(200, 0), record_at(0, 0)})); },
         {0}, nullptr},
        {"far record tick",
         [&](demo_builder &b) { b.frame(100, 1, demo_states_payload({record_at(0, 3000), record_at(0, 90)})); },
         {90}, nullptr},
        {"tick -5", [](demo_builder &b) { b.states(0, {0}); b.states(-5, {1}); b.states(16, {16}); }, {0},
         "Warning: bad demo frame"},
        {"tick 2^31-1", [](demo_builder &b) { b.states(0, {0}); b.states(INT_MAX, {1}); }, {0},
         "Warning: bad demo frame"},
        {"tick going back", [](demo_builder &b) { b.states(32, {32}); b.states(16, {16}); b.states(48, {48}); },
         {32}, "Warning: bad demo frame"},
        {"type 9 skipped", [](demo_builder &b) { b.frame(0, 9, "abc"); b.states(0, {0}); }, {0}, nullptr},
        {"long text", [](demo_builder &b) { b.frame(0, 2, std::string(5000, 'T')); b.states(0, {0}); }, {0},
         "TTTTTTTTTTTTTTTT"},
        {"erode commands",
         [](demo_builder &b) { b.frame(0, 3, "erode 99999999"); b.frame(0, 3, "erode 512"); b.states(0, {0}); },
         {0}, nullptr, 512},
        {"erosion data",
         [](demo_builder &b) { b.frame(0, 5, std::string(2000, '\x02')); b.frame(0, 5, std::string(30, '\x01')); b.states(0, {0}); },
         {0}, nullptr},
    };
    for (auto &c : cases) {
        console_clear();
        history_clear_all();
        erosion_seen.clear();
        race_state.erode_amount = 7;
        demo_builder b(1);
        c.build(b);
        ASSERT_TRUE(demo_play_bytes(env, b.bytes())) << c.label;
        for (int t = 0; t <= 200; t++) {
            race_state.current_tick = t;
            demo_read_frames();
        }
        EXPECT_EQ(demo_history_ticks(0), c.ticks) << c.label;
        if (c.console) EXPECT_TRUE(demo_console_has(c.console)) << c.label;
        if (!c.console || !strstr(c.console, "Warning")) EXPECT_FALSE(demo_console_has("Warning")) << c.label;
        EXPECT_EQ(race_state.erode_amount, c.erode) << c.label;
        demo_close_playback();
    }
    // The last case: the 2000-byte message is skipped, the short one queued once.
    EXPECT_EQ(erosion_seen, (std::vector<std::pair<int, int>>{{30, 1}}));
    demo_queue_erosion = erode_queue_message;
}

TEST(race_demo, AHugeLengthEndsTheDemoWithoutAllocating) {
    demo_env env;
    demo_builder b(1);
    b.states(0, {0});
    unsigned char head[DEMO_FRAME_HEAD_BYTES];
    demo_frame_head_encode({0xFFFFFFF0u ^ b.last, 16, DEMO_FRAME_TEXT}, head);
    std::string bytes = b.bytes() + std::string((const char *)head, sizeof head) + std::string(100, 'x');
    bool watched = test_watch_allocations();
    ASSERT_TRUE(demo_play_bytes(env, bytes));
    for (int t = 0; t < 100; t++) {
        race_state.current_tick = t;
        demo_read_frames();
    }
    EXPECT_TRUE(demo_console_has("Warning: bad demo frame"));
    EXPECT_EQ(demo_history_ticks(0), std::vector<int>{0});
    if (watched) EXPECT_LT(test_largest_allocation(), (size_t)1 << 20);
}

TEST(race_demo, AFileCutInsideAFrameReadsOnOnceItGrows) {
    demo_env env;
    demo_builder b(2);
    b.states(0, {0});
    b.states(16, {4, 8, 12, 16});
    b.states(32, {20, 24, 28, 32});
    std::string whole = b.bytes();
    std::string cut = whole.substr(0, whole.size() - 100);
    ASSERT_TRUE(demo_play_bytes(env, cut));
    for (int t = 0; t <= 20; t++) {
        race_state.current_tick = t;
        demo_read_frames();
    }
    EXPECT_EQ(demo_history_ticks(1).front(), 16);
    test_write_file(env.home + "demos/t.zrdemo", whole);
    race_state.current_tick = 21;
    demo_read_frames();
    EXPECT_EQ(demo_history_ticks(0).front(), 32);
    EXPECT_EQ(demo_history_ticks(1).front(), 32);
    EXPECT_FALSE(demo_console_has("Warning"));
}

TEST(race_demo, OldVersionsGiveOneRecordPerRiderAndTick) {
    demo_env env;
    for (int version : {4, 5}) {
        history_clear_all();
        int size = bike_state_record_size(version);
        std::string text = "ZR0" + std::to_string(version) + " 2 0 1\ntracks/fake\nyz250f||||\n1\nyz250f||||\n2\n";
        for (int t = 0; t < 40; t++)
            for (int r = 0; r < 2; r++) {
                unsigned char s[39];
                demo_fake_state(r, t, s);
                text.append((const char *)s, (size_t)size);
            }
        race_state.current_tick = 10;
        ASSERT_TRUE(demo_play_bytes(env, text)) << version;
        EXPECT_EQ(demo_playback_version(), version);
        demo_read_frames();
        // The first block belongs to the tick playback starts at; 8 ticks are read ahead.
        EXPECT_EQ(demo_history_ticks(1), (std::vector<int>{18, 17, 16, 15, 14, 13, 12, 11, 10}));
        const rider_history_record &h = rider_history[1];
        unsigned char want[39] = {};
        demo_fake_state(1, 8, want);
        EXPECT_EQ(memcmp(h.states[h.head], want, (size_t)size), 0) << "the ninth block";
        demo_close_playback();
    }
    EXPECT_EQ(bike_state_record_size(6), 0);
}
