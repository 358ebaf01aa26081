// The loading screen with an injected clock: status texts, the slowest step, the redraw
// rates of progress and ticks, and the input dropped while loading.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "core/globals.h"
#include "core/loading.h"
#include "game/controls.h"
#include "game/frame_loop.h"
#include "game/loading_screen.h"
#include "platform/plyx.h"
#include "race/track.h"
#include "tests/support/test_support.h"
#include "ui/menu.h"

namespace {

double fake_now = 0;

double fake_clock() {
    return fake_now;
}

// A held key and the left button, as the frame loop leaves them.
void hold_controls() {
    rider_control_rows[0].value = 1;
    rider_control_rows[3].value = 1;
    menu_left_button = 1;
}

bool controls_released() {
    return rider_control_rows[0].value == 0 && rider_control_rows[3].value == 0 && !menu_left_button;
}

class game_loading : public testing::Test {
  protected:
    temp_dir dir;
    window_context *w = nullptr;
    void SetUp() override {
        setenv("PLYX_LOGFILE", dir.file("log.txt").c_str(), 1);
        setenv("LP_NATIVE_VECTOR_WIDTH", "128", 1);
        w = plyx_gl_open("test", 320, 240, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
        ASSERT_NE(w, nullptr) << plyx_last_error();
        game_window = w;
        loading_screen_install();
        frame_io.now = fake_clock;
        fake_now = 0;
        track_lighting_reset();  // the near and far planes of the projection
        // A new window may refuse frames for a moment.
        for (int i = 0; i < 100; i++) {
            if (plyx_gl_begin_frame(w)) {
                plyx_gl_end_frame(w);
                break;
            }
            plyx_pump_messages(w);
        }
    }
    void TearDown() override {
        game_window = nullptr;
        if (w) plyx_gl_close(w);
        plyx_shutdown();
    }
};

}  // namespace

TEST_F(game_loading, StatusKeepsSeventyNineCharactersAndTheSlowestStep) {
    fake_now = 1;
    loading_begin("Loading track");
    EXPECT_STREQ(loading.status, "Loading track");
    fake_now = 1.5;
    std::string hundred(100, 'x');
    loading_status(hundred.c_str());
    EXPECT_EQ(std::string(loading.status), hundred.substr(0, 79));
    EXPECT_DOUBLE_EQ(loading.slowest_gap, 1.0);  // from the start to the first call
    fake_now = 4;
    loading_done("Terrain");
    EXPECT_STREQ(loading.status, "Terrain...done");
    EXPECT_DOUBLE_EQ(loading.slowest_gap, 2.5);
    EXPECT_EQ(std::string(loading.slowest_text), hundred.substr(0, 79));
    loading_status_log("Deleting textures");
    std::string log = test_read_file(dir.file("log.txt"));
    EXPECT_NE(log.find("] Loading track\n"), std::string::npos);
    EXPECT_NE(log.find("] Deleting textures\n"), std::string::npos);
    EXPECT_EQ(log.find("Terrain"), std::string::npos);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(game_loading, ProgressRedrawsEveryEighthOfASecondCyclingDots) {
    std::vector<std::string> shown;
    double last = -1;
    for (int ms = 0; ms < 1000; ms++) {
        fake_now = 10 + ms / 1000.0;
        loading_progress("Reading lines");
        if (loading.last_status_time != last) {
            last = loading.last_status_time;
            shown.push_back(loading.status);
        }
    }
    std::vector<std::string> want = {"Reading lines",   "Reading lines.", "Reading lines..",
                                     "Reading lines...", "Reading lines",  "Reading lines.",
                                     "Reading lines..", "Reading lines..."};
    EXPECT_EQ(shown, want);
}

TEST_F(game_loading, TicksRedrawSixteenTimesASecondAndWrap) {
    int redraws = 0;
    double last = -1;
    loading.ticks = 0xFFFFFFF0u;
    for (int ms = 0; ms < 1000; ms++) {
        fake_now = 20 + ms / 1000.0;
        loading_tick();
        if (loading.last_tick_time != last) {
            last = loading.last_tick_time;
            redraws++;
        }
    }
    EXPECT_EQ(redraws, 16);
    EXPECT_EQ(loading.ticks, 0xFFFFFFF0u + 1000u);  // unsigned: wraps past 2^32
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(game_loading, DroppedInputReleasesControlsAndKeepsTheCloseRequest) {
    // A key held when the step starts reads released afterwards, even though its release
    // event is among those dropped; the close request survives as quit_requested.
    frame_loop.quit_requested = 0;
    hold_controls();
    plyx_window_post_event_now(w, EVENT_KEY + 45, 1);
    plyx_window_post_event_now(w, EVENT_CLOSE, 1);
    plyx_window_post_event_now(w, EVENT_KEY + 45, 0);
    loading_status("Loading");
    EXPECT_EQ(frame_loop.quit_requested, 1);
    EXPECT_TRUE(controls_released());
    uint32_t code;
    int pressed;
    EXPECT_EQ(plyx_input_next_event(w, &code, &pressed), 0);
    frame_loop.quit_requested = 0;
    hold_controls();
    plyx_window_post_event_now(w, EVENT_CLOSE, 1);
    loading_tick();
    EXPECT_EQ(frame_loop.quit_requested, 1);
    EXPECT_TRUE(controls_released());
}

TEST(game_loading_headless, WithoutAWindowOnlyInputIsHandled) {
    game_window = nullptr;
    loading_screen_install();
    frame_io.now = fake_clock;
    fake_now = 5;
    for (auto call : {+[] { loading_status("Nothing to show"); }, +[] { loading_begin("Still nothing"); },
                      +[] { loading_progress("Nor this"); }, +[] { loading_tick(); }}) {
        hold_controls();
        call();
        EXPECT_TRUE(controls_released());
    }
    EXPECT_STREQ(loading.status, "");
    EXPECT_EQ(loading.slowest_gap, 0.0);
    EXPECT_EQ(loading.ticks, 1u);
}
