// The waveout driver over SDL's dummy and disk audio drivers: options, log lines, the fragments
// it queues, and a stalled device.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/plyx.h"
#include "platform/plyx_sound_internal.h"
#include "tests/platform/sound_test_util.h"
#include "tests/support/test_support.h"

// Isolates the test and names its log; options as given.
static std::string waveout_setup(const temp_dir &dir, const char *options) {
    test_isolate_home(dir);
    std::string log = dir.file("log.txt");
    setenv("PLYX_LOGFILE", log.c_str(), 1);
    setenv("PLYX_OPTIONS", options, 1);
    return log;
}

// Polls until the file holds the text, at most about ten seconds.
static bool wait_for_text(const std::string &path, const std::string &text) {
    for (int i = 0; i < 1000; i++) {
        if (test_read_file(path).find(text) != std::string::npos) return true;
        SDL_Delay(10);
    }
    return false;
}

// The lines appear in this order.
static void expect_in_order(const std::string &log, const std::vector<std::string> &lines) {
    size_t at = 0;
    for (const std::string &line : lines) {
        size_t found = log.find(line, at);
        EXPECT_NE(found, std::string::npos) << "missing in order: " << line << "\n" << log;
        if (found == std::string::npos) return;
        at = found + line.size();
    }
}

TEST(platform_waveout, MixaheadInFragments) {
    struct {
        int ms, fragments;
    } cases[] = {{10, 1}, {125, 8}, {1000, 32}, {INT_MAX, 32}, {0, 1}, {-1000, 1}, {INT_MIN, 1}};
    for (auto c : cases) EXPECT_EQ(plyx_waveout_mixahead(c.ms), c.fragments) << c.ms;
}

TEST(platform_waveout, OpensPlaysAndClosesWithItsLogLines) {
    temp_dir dir;
    std::string log = waveout_setup(dir, "[dsnd:off]");
    void *h = plyx_sound_open(nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(((waveout_driver *)h)->block.frames, 344);
    std::vector<unsigned char> samples(4000);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = (unsigned char)(i % 50 < 25 ? 60 : 200);
    sound_object s = plyx_sound_create(h, (int)samples.size(), samples.data(), 11025);
    ASSERT_NE(s, nullptr);
    plyx_sound_set_loop(s, 1);
    plyx_sound_play(s);
    // The thread moves the sound on by itself.
    EXPECT_TRUE(sound_position_moves(s));
    plyx_sound_free(s);
    plyx_sound_close(h);
    expect_in_order(test_read_file(log),
                    {"Opening waveOut audio...\n", "Found a dummy\n", "Waveout rate: 22050\n",
                     "Waveout channels: 16\n", "Waveout mixahead: 125\n", "Audio opened!\n",
                     "Closing audio\n"});
    expect_in_order(test_read_file(log), {"Audio thread begin\n", "Audio thread end\n"});
}

TEST(platform_waveout, FragmentsFollowTheRate) {
    temp_dir dir;
    waveout_setup(dir, "[dsnd:off][sound-rate:44100][sound-mixahead:1000]");
    void *h = plyx_sound_open(nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(((waveout_driver *)h)->block.frames, 689);
    EXPECT_EQ(((waveout_driver *)h)->mixahead, 32);
    plyx_sound_close(h);
}

TEST(platform_waveout, OpensOnceAndClosesOnce) {
    temp_dir dir;
    std::string log = waveout_setup(dir, "");
    void *h = plyx_waveout_open(nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(plyx_waveout_open(nullptr), nullptr);
    plyx_waveout_close(h);
    plyx_waveout_close(h);
    expect_in_order(test_read_file(log), {"Audio opened!\n", "Audio already open\n",
                                          "Closing audio\n", "Can't close audio, not open\n"});
}

class platform_waveout_rate : public testing::TestWithParam<const char *> {};

TEST_P(platform_waveout_rate, RefusedOutsideWhatDevicesTake) {
    temp_dir dir;
    std::string log = waveout_setup(dir, GetParam());
    EXPECT_EQ(plyx_sound_open(nullptr), nullptr);  // dsnd refuses too
    EXPECT_NE(test_read_file(log).find("Can't open waveOut\n"), std::string::npos);
    EXPECT_EQ(plyx_sound_current(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, platform_waveout_rate,
                         testing::Values("[sound-rate:0]", "[sound-rate:7999]",
                                         "[sound-rate:96001]", "[sound-rate:-22050]"));

TEST(platform_waveout, DiskFileHoldsTheMixedFragments) {
    temp_dir dir;
    waveout_setup(dir, "[dsnd:off]");
    std::string raw = dir.file("out.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    std::vector<unsigned char> samples(3000);
    for (size_t i = 0; i < samples.size(); i++) samples[i] = (unsigned char)(228 - (i * 13) % 200);

    void *h = plyx_sound_open(nullptr);
    ASSERT_NE(h, nullptr);
    int mixahead = ((waveout_driver *)h)->mixahead;
    int fragment = ((waveout_driver *)h)->fragment_bytes;
    ASSERT_EQ(fragment, 688);
    sound_object s = plyx_sound_create(h, (int)samples.size(), samples.data(), 0);
    plyx_sound_set_loop(s, 1);
    plyx_sound_set_pan(s, 0x2000);
    plyx_sound_play(s);
    // Silence (paused device, fragments mixed before the play) comes first, then the sound.
    std::string file;
    size_t start = std::string::npos;
    for (int i = 0; i < 1000; i++) {
        file = test_read_file(raw);
        start = file.find_first_not_of('\x80');
        if (start != std::string::npos && file.size() >= start + (size_t)(mixahead * fragment))
            break;
        SDL_Delay(10);
    }
    plyx_sound_free(s);
    plyx_sound_close(h);
    ASSERT_NE(start, std::string::npos);
    ASSERT_GE(file.size(), start + (size_t)(mixahead * fragment));
    EXPECT_EQ(start % 2, 0u);

    // The same calls through the readback driver give the same fragments.
    void *r = plyx_sound_open_readback(nullptr, 22050, 344);
    ASSERT_NE(r, nullptr);
    s = plyx_sound_create(r, (int)samples.size(), samples.data(), 0);
    plyx_sound_set_loop(s, 1);
    plyx_sound_set_pan(s, 0x2000);
    plyx_sound_play(s);
    std::string want;
    for (int k = 0; k < mixahead; k++) want.append((const char *)plyx_sound_render(r), 688);
    plyx_sound_free(s);
    plyx_sound_close(r);
    EXPECT_TRUE(file.compare(start, want.size(), want) == 0);
}

TEST(platform_waveout, StalledDeviceTimesOutAndCloseStillJoins) {
    temp_dir dir;
    std::string log = waveout_setup(dir, "[dsnd:off]");
    plyx_waveout_hold_paused = 1;
    void *h = plyx_sound_open(nullptr);
    ASSERT_NE(h, nullptr);
    // Eight fragments queued, none played: after about a second the queue is cleared.
    EXPECT_TRUE(wait_for_text(log, "Audio thread: Timeout on fragment 8\n"));
    plyx_sound_close(h);
    expect_in_order(test_read_file(log),
                    {"Audio thread: Timeout on fragment 8\n", "Closing audio\n",
                     "Audio thread end\n"});
}
