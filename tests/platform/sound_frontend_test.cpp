// The sound front end: driver choice, forwarding of the sixteen calls, calls with no driver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "platform/plyx.h"
#include "platform/plyx_sound_internal.h"

static std::vector<std::string> calls;
static char fake_block[4];
static char fake_sound_a, fake_sound_b;
static void *const FAKE_HANDLE = &fake_block[1];

static std::string p(const void *x) {
    char text[32];
    snprintf(text, sizeof text, "%p", x);
    return text;
}

// A table of recording fakes: each slot logs its name and arguments and returns something that
// can only come from it. Tables made with different N keep their own names.
template <int N = 0>
static sound_driver recording_driver(const char *name) {
    static std::string who;
    who = name;
    sound_driver d{};
    d.open = [](window_context *w) -> void * {
        calls.push_back(who + " open " + p(w));
        return FAKE_HANDLE;
    };
    d.open_readback = [](window_context *w, int rate, int frames) -> void * {
        calls.push_back(who + " open_readback " + p(w) + " " + std::to_string(rate) + " " +
                        std::to_string(frames));
        return FAKE_HANDLE;
    };
    d.close = [](void *h) { calls.push_back(who + " close " + p(h)); };
    d.update = [](void *h) {
        calls.push_back(who + " update " + p(h));
        return 11;
    };
    d.render = [](void *h) -> const unsigned char * {
        calls.push_back(who + " render " + p(h));
        return (const unsigned char *)fake_block;
    };
    d.create = [](void *h, int bytes, const void *samples, int rate) -> sound_object {
        calls.push_back(who + " create " + p(h) + " " + std::to_string(bytes) + " " + p(samples) +
                        " " + std::to_string(rate));
        return &fake_sound_a;
    };
    d.duplicate = [](sound_object s) -> sound_object {
        calls.push_back(who + " duplicate " + p(s));
        return &fake_sound_b;
    };
    d.free = [](sound_object s) { calls.push_back(who + " free " + p(s)); };
    d.play = [](sound_object s) {
        calls.push_back(who + " play " + p(s));
        return 12;
    };
    d.stop = [](sound_object s) {
        calls.push_back(who + " stop " + p(s));
        return 13;
    };
    d.set_frequency = [](sound_object s, int v) {
        calls.push_back(who + " set_frequency " + p(s) + " " + std::to_string(v));
        return 14;
    };
    d.set_volume = [](sound_object s, int v) {
        calls.push_back(who + " set_volume " + p(s) + " " + std::to_string(v));
        return 15;
    };
    d.set_pan = [](sound_object s, int v) {
        calls.push_back(who + " set_pan " + p(s) + " " + std::to_string(v));
        return 16;
    };
    d.set_loop = [](sound_object s, int v) {
        calls.push_back(who + " set_loop " + p(s) + " " + std::to_string(v));
        return 17;
    };
    d.get_position = [](sound_object s) {
        calls.push_back(who + " get_position " + p(s));
        return 18;
    };
    d.write_stream = [](sound_object s, int count, const void *bytes, int offset) {
        calls.push_back(who + " write_stream " + p(s) + " " + std::to_string(count) + " " +
                        p(bytes) + " " + std::to_string(offset));
        return 19;
    };
    return d;
}

TEST(platform_sound, EveryCallReachesItsSlotUnchanged) {
    plyx_readback_driver = recording_driver("rb");
    window_context *w = (window_context *)&fake_sound_b;
    ASSERT_EQ(plyx_sound_open_readback(w, 88320, 690), FAKE_HANDLE);
    void *h = FAKE_HANDLE;
    sound_object s = &fake_sound_a;
    const char bytes[3] = {1, 2, 3};
    EXPECT_EQ(plyx_sound_current(), h);
    EXPECT_EQ(plyx_sound_update(h), 11);
    EXPECT_EQ(plyx_sound_render(h), (const unsigned char *)fake_block);
    EXPECT_EQ(plyx_sound_create(h, 3, bytes, 11025), &fake_sound_a);
    EXPECT_EQ(plyx_sound_duplicate(s), &fake_sound_b);
    plyx_sound_free(&fake_sound_b);
    EXPECT_EQ(plyx_sound_play(s), 12);
    EXPECT_EQ(plyx_sound_stop(s), 13);
    EXPECT_EQ(plyx_sound_set_frequency(s, 44100), 14);
    EXPECT_EQ(plyx_sound_set_volume(s, 0x4000), 15);
    EXPECT_EQ(plyx_sound_set_pan(s, -0x8000), 16);
    EXPECT_EQ(plyx_sound_set_loop(s, 1), 17);
    EXPECT_EQ(plyx_sound_get_position(s), 18);
    EXPECT_EQ(plyx_sound_write_stream(s, 3, bytes, 7), 19);
    plyx_sound_close(h);
    EXPECT_EQ(plyx_sound_current(), nullptr);

    std::string ps = p(s), ph = p(h);
    std::vector<std::string> want = {
        "rb open_readback " + p(w) + " 88320 690",
        "rb update " + ph,
        "rb render " + ph,
        "rb create " + ph + " 3 " + p(bytes) + " 11025",
        "rb duplicate " + ps,
        "rb free " + p(&fake_sound_b),
        "rb play " + ps,
        "rb stop " + ps,
        "rb set_frequency " + ps + " 44100",
        "rb set_volume " + ps + " 16384",
        "rb set_pan " + ps + " -32768",
        "rb set_loop " + ps + " 1",
        "rb get_position " + ps,
        "rb write_stream " + ps + " 3 " + p(bytes) + " 7",
        "rb close " + ph,
    };
    EXPECT_EQ(calls, want);
}

// A sound belongs to the open that made it: after a close and an open of another driver, its
// calls reach no driver and fail, and its free goes back to the table that made it.
TEST(platform_sound, SoundsOfAClosedDriverReachNoOtherDriver) {
    plyx_readback_driver = recording_driver("rb");
    plyx_dsound_driver = recording_driver<1>("ds");
    unsetenv("PLYX_OPTIONS");
    const char bytes[3] = {1, 2, 3};
    ASSERT_EQ(plyx_sound_open_readback(nullptr, 88320, 690), FAKE_HANDLE);
    sound_object s = plyx_sound_create(FAKE_HANDLE, 3, bytes, 0);
    ASSERT_EQ(s, &fake_sound_a);
    plyx_sound_close(FAKE_HANDLE);
    ASSERT_EQ(plyx_sound_open(nullptr), FAKE_HANDLE);  // "ds" now, then "rb" again
    for (int pass = 0; pass < 2; pass++) {
        calls.clear();
        EXPECT_EQ(plyx_sound_duplicate(s), nullptr);
        EXPECT_EQ(plyx_sound_play(s), 0);
        EXPECT_EQ(plyx_sound_stop(s), 0);
        EXPECT_EQ(plyx_sound_set_frequency(s, 1), 0);
        EXPECT_EQ(plyx_sound_set_volume(s, 1), 0);
        EXPECT_EQ(plyx_sound_set_pan(s, 1), 0);
        EXPECT_EQ(plyx_sound_set_loop(s, 1), 0);
        EXPECT_EQ(plyx_sound_get_position(s), 0);
        EXPECT_EQ(plyx_sound_write_stream(s, 3, bytes, 0), 0);
        EXPECT_EQ(plyx_sound_play(&fake_sound_b), 0);  // never handed out
        EXPECT_TRUE(calls.empty()) << pass;
        plyx_sound_close(FAKE_HANDLE);
        ASSERT_EQ(plyx_sound_open_readback(nullptr, 88320, 690), FAKE_HANDLE);  // same kind
    }
    calls.clear();
    plyx_sound_free(s);
    plyx_sound_free(s);  // forgotten after the first
    EXPECT_EQ(calls, std::vector<std::string>{"rb free " + p(s)});
    plyx_sound_close(FAKE_HANDLE);
}

TEST(platform_sound, SecondOpenOverACurrentDriverReturnsZero) {
    plyx_readback_driver = recording_driver("rb");
    plyx_dsound_driver = recording_driver("ds");
    ASSERT_EQ(plyx_sound_open_readback(nullptr, 88320, 690), FAKE_HANDLE);
    calls.clear();
    EXPECT_EQ(plyx_sound_open(nullptr), nullptr);
    EXPECT_EQ(plyx_sound_open_readback(nullptr, 22050, 344), nullptr);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(plyx_sound_current(), FAKE_HANDLE);
    // After close a driver may be opened again.
    plyx_sound_close(FAKE_HANDLE);
    EXPECT_EQ(plyx_sound_open(nullptr), FAKE_HANDLE);
}

TEST(platform_sound, CallsWithNoDriverDoNothing) {
    plyx_readback_driver = recording_driver("rb");
    const char bytes[2] = {0, 0};
    for (int pass = 0; pass < 2; pass++) {
        // Never opened, then opened and closed.
        if (pass == 1) {
            ASSERT_NE(plyx_sound_open_readback(nullptr, 88320, 690), nullptr);
            plyx_sound_close(FAKE_HANDLE);
            calls.clear();
        }
        sound_object s = &fake_sound_a;
        EXPECT_EQ(plyx_sound_update(FAKE_HANDLE), 0);
        EXPECT_EQ(plyx_sound_render(FAKE_HANDLE), nullptr);
        EXPECT_EQ(plyx_sound_create(FAKE_HANDLE, 2, bytes, 0), nullptr);
        EXPECT_EQ(plyx_sound_duplicate(s), nullptr);
        plyx_sound_free(s);
        EXPECT_EQ(plyx_sound_play(s), 0);
        EXPECT_EQ(plyx_sound_stop(s), 0);
        EXPECT_EQ(plyx_sound_set_frequency(s, 1), 0);
        EXPECT_EQ(plyx_sound_set_volume(s, 1), 0);
        EXPECT_EQ(plyx_sound_set_pan(s, 1), 0);
        EXPECT_EQ(plyx_sound_set_loop(s, 1), 0);
        EXPECT_EQ(plyx_sound_get_position(s), 0);
        EXPECT_EQ(plyx_sound_write_stream(s, 2, bytes, 0), 0);
        plyx_sound_close(FAKE_HANDLE);
        EXPECT_TRUE(calls.empty());
    }
}

// The choice between "dsnd" and "waveout", with each driver's open succeeding or failing.
struct choice_case {
    const char *name;
    const char *options;
    bool dsnd_opens, waveout_opens;
    std::vector<std::string> opens;  // the opens tried, in order
    const char *chosen;              // the driver whose close runs, or null for none
};

static void PrintTo(const choice_case &c, std::ostream *os) {
    *os << c.name;
}

class platform_sound_choice : public testing::TestWithParam<choice_case> {};

static bool dsnd_opens, waveout_opens;

TEST_P(platform_sound_choice, FallsToTheNextDriver) {
    const choice_case &c = GetParam();
    setenv("PLYX_OPTIONS", c.options, 1);
    unsetenv("PLYX_LOGFILE");
    dsnd_opens = c.dsnd_opens;
    waveout_opens = c.waveout_opens;
    plyx_dsound_driver = recording_driver("ds");
    plyx_dsound_driver.open = [](window_context *) -> void * {
        calls.push_back("ds open");
        return dsnd_opens ? FAKE_HANDLE : nullptr;
    };
    plyx_dsound_driver.close = [](void *) { calls.push_back("ds close"); };
    plyx_waveout_driver = recording_driver("wo");
    plyx_waveout_driver.open = [](window_context *) -> void * {
        calls.push_back("wo open");
        return waveout_opens ? FAKE_HANDLE : nullptr;
    };
    plyx_waveout_driver.close = [](void *) { calls.push_back("wo close"); };

    void *h = plyx_sound_open(nullptr);
    EXPECT_EQ(calls, c.opens);
    EXPECT_EQ(h, c.chosen ? FAKE_HANDLE : nullptr);
    calls.clear();
    plyx_sound_close(h);
    std::vector<std::string> closes;
    if (c.chosen) closes.push_back(std::string(c.chosen) + " close");
    EXPECT_EQ(calls, closes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, platform_sound_choice,
    testing::Values(
        choice_case{"dsnd", "", true, true, {"ds open"}, "ds"},
        choice_case{"dsnd_fails", "", false, true, {"ds open", "wo open"}, "wo"},
        choice_case{"both_fail", "", false, false, {"ds open", "wo open"}, nullptr},
        choice_case{"dsnd_off", "[dsnd:off]", true, true, {"wo open"}, "wo"},
        choice_case{"dsnd_off_waveout_fails", "[dsnd:off]", true, false, {"wo open"}, nullptr},
        choice_case{"waveout_off_dsnd_fails", "[waveout:off]", false, true, {"ds open"}, nullptr},
        choice_case{"both_off", "[dsnd:off][waveout:off]", true, true, {}, nullptr}),
    [](const testing::TestParamInfo<choice_case> &info) { return std::string(info.param.name); });
