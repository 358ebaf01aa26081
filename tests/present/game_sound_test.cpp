// The game's sound mixing: Doppler, distance and pan for the listener, engine and script sound
// levels, and the script sound table with its setters, limits and release.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/settings.h"
#include "platform/plyx.h"
#include "present/game_sound.h"
#include "script/script.h"
#include "tests/support/test_support.h"

namespace {

const sound_listener AT_ORIGIN = {{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}};

bool console_has(const char *text) {
    for (auto &line : console_log.lines)
        if (strstr(line, text)) return true;
    return false;
}

}  // namespace

TEST(present_sound_mix, DopplerFollowsTheMotionAlongTheLineAndIsCapped) {
    const float zero[3] = {0, 0, 0};
    const float c = 1140.63f;
    struct {
        const char *what;
        float listener_velocity[3], source[3], source_velocity[3];
        double expected;
    } cases[] = {
        {"at the source", {0, 0, 0}, {0, 0, 0}, {50, 0, 0}, 1.0},
        {"both still", {0, 0, 0}, {0, 0, -100}, {0, 0, 0}, 1.0},
        {"source approaching at 100 ft/s", {0, 0, 0}, {0, 0, -100}, {0, 0, 100}, 1 / (1 - 100 / c)},
        {"source receding at 100 ft/s", {0, 0, 0}, {0, 0, -100}, {0, 0, -100}, 1 / (1 + 100 / c)},
        {"listener approaching at 100 ft/s", {0, 0, -100}, {0, 0, -100}, {0, 0, 0}, 1 + 100 / c},
        {"moving across the line", {0, 0, 0}, {0, 0, -100}, {100, 0, 0}, 1.0},
        {"1000 ft/s toward the listener is capped", {0, 0, 0}, {0, 0, -100}, {0, 0, 1000}, 8.0},
        {"faster than sound toward the listener", {0, 0, 0}, {0, 0, -100}, {0, 0, 5000}, 8.0},
        {"a NaN velocity", {0, 0, 0}, {0, 0, -100}, {NAN, 0, 0}, 1.0},
    };
    for (auto &k : cases)
        EXPECT_NEAR(sound_doppler(zero, k.listener_velocity, k.source, k.source_velocity),
                    k.expected, 1e-4)
            << k.what;
}

TEST(present_sound_mix, PanDistanceAndEngineLevels) {
    const float right[3] = {10, 0, 0}, left[3] = {-10, 0, 0}, here[3] = {0, 0, 0};
    EXPECT_EQ(sound_pan(&AT_ORIGIN, right), 32767);
    EXPECT_EQ(sound_pan(&AT_ORIGIN, left), -32767);
    EXPECT_EQ(sound_pan(&AT_ORIGIN, here), 0);
    const float front[3] = {0, 0, -10};
    EXPECT_EQ(sound_pan(&AT_ORIGIN, front), 0);
    // Turned half round (right axis -x), the same source is on the left.
    sound_listener turned = {{0, 0, 0}, {-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 0, 0}};
    EXPECT_EQ(sound_pan(&turned, right), -32767);

    const float still[3] = {0, 0, 0};
    const float one_foot[3] = {1, 0, 0}, forty_nine[3] = {0, 0, 49};
    sound_levels near = sound_engine_levels(&AT_ORIGIN, one_foot, still, 1.0f);
    EXPECT_EQ(near.volume, 32767);
    EXPECT_EQ(near.frequency, 44100);
    EXPECT_EQ(sound_engine_levels(&AT_ORIGIN, forty_nine, still, 1.0f).volume, 16383);
    // Other riders at the competitor volume 8: 0.8 of the viewed rider's level; a ghost: 0.
    EXPECT_EQ(sound_engine_levels(&AT_ORIGIN, one_foot, still, 0.8f).volume, 26213);
    EXPECT_EQ(sound_engine_levels(&AT_ORIGIN, one_foot, still, 0.0f).volume, 0);
    // Doppler 8 and 1/8 stay inside the frequency range.
    const float rushing[3] = {-2000, 0, 0};
    EXPECT_EQ(sound_engine_levels(&AT_ORIGIN, one_foot, rushing, 1.0f).frequency, 44100 * 8);
}

TEST(present_sound_mix, ScriptSoundLevels) {
    script_sound row{};
    row.volume = 1;
    // A frequency never set plays at the floor of 100 Hz.
    sound_levels k = sound_script_levels(&AT_ORIGIN, &row, 1.0f, 0.8f);
    EXPECT_EQ(k.frequency, 100);
    EXPECT_EQ(k.volume, (int)(0.8f * 32767));
    // Volume 2 plays at the full level of volume 1 until 2 / D falls below 1 (D = 2 at 49 ft).
    int full = k.volume;
    script_sound loud = row;
    loud.volume = 2;
    const float distances[] = {1, 30, 49, 60, 97};
    for (float d : distances) {
        loud.position[2] = -d;
        int two = sound_script_levels(&AT_ORIGIN, &loud, 1.0f, 0.8f).volume;
        if (d <= 49)
            EXPECT_EQ(two, full) << d;
        else
            EXPECT_LT(two, full) << d;
    }
    row.frequency = 22050;
    row.position[2] = 0;
    EXPECT_EQ(sound_script_levels(&AT_ORIGIN, &row, 1.0f, 0.8f).frequency, 22050);
}

// The script sound table over the readback driver (no device, no clock).
class present_script_sound : public ::testing::Test {
  protected:
    temp_dir dir;
    void *driver = nullptr;
    void SetUp() override {
        test_isolate_home(dir);
        console_clear();
        std::string samples;
        for (int i = 0; i < 200; i++) {
            samples.push_back((char)0);
            samples.push_back((char)(i & 0x7f));
        }
        samples.push_back('x');  // an odd last byte is no sample
        test_write_file(dir.file("bell.raw"), samples);
        driver = plyx_sound_open_readback(nullptr, 44100, 735);
        ASSERT_NE(driver, nullptr);
    }
    void TearDown() override {
        sound_script_free_all();
        plyx_sound_close(driver);
    }
};

TEST_F(present_script_sound, RowsSettersAndLimits) {
    std::string bell = dir.file("bell.raw");
    EXPECT_EQ(sound_add(dir.file("none.raw").c_str()), -1);
    ASSERT_EQ(sound_add(bell.c_str()), 0);
    EXPECT_EQ(sound_add(bell.c_str()), 1);  // the same name: a new row sharing the samples
    EXPECT_EQ(script_sound_count, 2);
    EXPECT_EQ(sound_start(0), 1);
    EXPECT_EQ(sound_stop(0), 1);
    EXPECT_EQ(sound_set_loop(1, 7), 1);
    // Setters: 1 after storing; 0 for rows not in use and for values that are not finite.
    EXPECT_EQ(sound_set_vol(0, 0.5f), 1);
    EXPECT_EQ(sound_set_freq(0, 11025), 1);
    const float p[3] = {1, 2, 3}, bad[3] = {1, NAN, 3};
    EXPECT_EQ(sound_set_pos(0, p), 1);
    EXPECT_EQ(sound_set_vel(0, p), 1);
    struct {
        const char *what;
        int result;
    } refused[] = {
        {"vol on -1", sound_set_vol(-1, 1)},
        {"vol on a row not added", sound_set_vol(2, 1)},
        {"start on a row not added", sound_start(2)},
        {"loop on -1", sound_set_loop(-1, 1)},
        {"vol NaN", sound_set_vol(0, NAN)},
        {"freq infinite", sound_set_freq(0, INFINITY)},
        {"pos with a NaN", sound_set_pos(0, bad)},
        {"vel with a NaN", sound_set_vel(0, bad)},
    };
    for (auto &r : refused) EXPECT_EQ(r.result, 0) << r.what;
    const script_sound &row = script_sound_rows[0];
    EXPECT_EQ(row.volume, 0.5f);
    EXPECT_EQ(row.frequency, 11025.0f);
    EXPECT_EQ(row.position[1], 2.0f);
    EXPECT_EQ(row.velocity[2], 3.0f);
    // The table holds 256 rows; the 257th add is -1.
    for (int i = 2; i < SCRIPT_SOUND_ROWS; i++) ASSERT_EQ(sound_add(bell.c_str()), i);
    EXPECT_EQ(sound_add(bell.c_str()), -1);
    // Mixing a frame with every row in use changes no row.
    sound_update_riders_from(&AT_ORIGIN, 1.0f);
    EXPECT_EQ(script_sound_rows[0].volume, 0.5f);
}

TEST_F(present_script_sound, ScriptUnloadFreesEverySound) {
    std::string bell = dir.file("bell.raw");
    ASSERT_EQ(sound_add(bell.c_str()), 0);
    ASSERT_EQ(sound_add(bell.c_str()), 1);
    sound_set_loop(0, 1);
    sound_start(0);
    sound_object first = script_sound_rows[0].sound;
    script_free_sounds();
    EXPECT_EQ(script_sound_count, 0);
    EXPECT_EQ(sound_start(0), 0);
    EXPECT_EQ(plyx_sound_play(first), 0);  // the driver no longer knows it
    // The next script has the whole table again.
    EXPECT_EQ(sound_add(bell.c_str()), 0);
}

TEST_F(present_script_sound, OversizedFilesAreRefused) {
    test_write_file(dir.file("huge.raw"), std::string((16 << 20) + 2, '\0'));
    bool watched = test_watch_allocations();
    EXPECT_EQ(sound_add(dir.file("huge.raw").c_str()), -1);
    EXPECT_TRUE(console_has("Warning: sound file '"));
    EXPECT_TRUE(console_has("' too large"));
    if (watched) {
        EXPECT_LE(test_largest_allocation(), (size_t)(16 << 20));
    }
    EXPECT_EQ(script_sound_count, 0);
}
