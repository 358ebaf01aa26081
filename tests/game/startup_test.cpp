// Start-up's pieces in-process: the wait for the first frame, and the settings it derives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "core/settings.h"
#include "game/entry.h"
#include "game/frame_loop.h"
#include "game/settings_table.h"
#include "platform/plyx.h"
#include "tests/support/test_support.h"

static double wait_clock = 0.0;
static int wait_closes_after = -1;   // events drained before a close arrives; -1 never
static int wait_drains = 0;

static int wait_next_event(window_context *, uint32_t *code, int *pressed) {
    if (wait_closes_after < 0 || wait_drains++ != wait_closes_after) return 0;
    *code = EVENT_CLOSE;
    *pressed = 1;
    return 1;
}

static void wait_install() {
    frame_io.now = [] { return wait_clock; };
    frame_io.sleep = [](double s) { wait_clock += s; };
    frame_io.next_event = wait_next_event;
    frame_io.begin_frame = [](window_context *) -> plyx_surface * { return nullptr; };
}

TEST(game_startup, WaitForTheFirstFrameEndsOnCloseOrAfterAMinute) {
    temp_dir t;
    std::string log = t.file("log.txt");
    setenv("PLYX_LOGFILE", log.c_str(), 1);
    wait_install();
    startup_install_hooks();
    wait_closes_after = 5;
    int code = -1;
    EXPECT_EQ(startup_wait_for_frame(&code), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(frame_loop.quit_requested, 1);
    EXPECT_LT(wait_clock, 1.0);

    frame_loop.quit_requested = 0;
    wait_closes_after = -1;
    wait_clock = 100.0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(startup_wait_for_frame(&code), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Window never became ready for drawing\n");
    EXPECT_EQ(code, 1);
    EXPECT_NEAR(wait_clock, 160.0, 0.1);
    EXPECT_NE(test_read_file(log).find("] Window never became ready for drawing\n"),
              std::string::npos);
}

TEST(game_startup, GraphicsPresetAndDerivedSettings) {
    settings_apply_graphics_preset(0);
    settings_derive();
    EXPECT_EQ(settings.ground_detail.value, 70);
    EXPECT_STREQ(choice_text(&settings.texture_compress), "No");
    EXPECT_STREQ(choice_text(&settings.render_texture), "Software");
    EXPECT_STREQ(choice_text(&settings.ground_texture_dim), "64x64");
    EXPECT_EQ(settings.roost_density.value, 1000);
    EXPECT_EQ(settings.reshade_delay.value, 8);
    EXPECT_DOUBLE_EQ(game_settings.terrain_detail, 0.125 / 70);
    EXPECT_EQ(game_settings.ground_texture_size, 64);
    EXPECT_EQ(game_settings.ground_texture_reduce_levels, 1);
    EXPECT_EQ(game_settings.texture_reduce_levels, 1);
    EXPECT_EQ(game_settings.texture_compress_mode, 0);
    EXPECT_EQ(game_settings.roost_frequency, 1000);
    settings_apply_graphics_preset(1);
    EXPECT_STREQ(choice_text(&settings.render_texture), "Hardware/Direct");
    EXPECT_EQ(settings.reshade_delay.value, 10);

    struct {
        double model_detail;
        float lod_scale, lod_bias;
    } cases[] = {
        {100, 0.0f, 0.0f}, {50, 1.0f, 0.0f}, {30, 1.4f * 1.4f * 1.4f, 0.0f},
        {20, 1.6f * 1.6f * 1.6f, 25.0f}, {0, 8.0f, 50.0f},
    };
    for (auto &c : cases) {
        settings.model_detail.value = c.model_detail;
        settings_derive();
        EXPECT_NEAR(game_settings.lod_scale, c.lod_scale, 1e-5) << c.model_detail;
        EXPECT_NEAR(game_settings.lod_bias, c.lod_bias, 1e-5) << c.model_detail;
    }
    // A ground detail of 0 (or one a file made non-finite) keeps the detail factor finite.
    for (double detail : {0.0, -5.0, (double)NAN}) {
        settings.ground_detail.value = detail;
        settings_derive();
        EXPECT_DOUBLE_EQ(game_settings.terrain_detail, 0.125) << detail;
    }
}
