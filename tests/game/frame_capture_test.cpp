// Screenshot numbering and the raw video frames read back from a window under the test X server.
#include <gtest/gtest.h>
#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "game/frame_capture.h"
#include "platform/plyx.h"
#include "tests/support/test_support.h"

TEST(game_frame_capture, ScreenshotNumbersFollowTheIndex) {
    const char *names[] = {"about.txt",      "screenshot007.png", "screenshot012.ppm",
                           "screenshotx.png", "screenshot3.png",   "tracks/screenshot99.png",
                           nullptr};
    int counter = 0;
    EXPECT_EQ(screenshot_next_number(&counter, names), 13);
    EXPECT_EQ(counter, 13);
    // Once counting, the index is not read again.
    EXPECT_EQ(screenshot_next_number(&counter, names), 14);
    const char *none[] = {"screenshot.png", nullptr};
    counter = 0;
    EXPECT_EQ(screenshot_next_number(&counter, none), 1);
    // A number too long for the counter keeps to its first nine digits.
    const char *huge[] = {"screenshot99999999999999.png", nullptr};
    counter = 0;
    EXPECT_EQ(screenshot_next_number(&counter, huge), 1000000000);
}

TEST(game_frame_capture, VideoFramesStartWithTheTopRow) {
    temp_dir t;
    test_isolate_home(t);
    window_context *w = plyx_gl_open("capture", 64, 48, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    ASSERT_NE(w, nullptr) << plyx_last_error();
    ASSERT_NE(plyx_gl_begin_frame(w), nullptr);
    int width = w->width, height = w->height;
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 1, 1);   // blue below
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, height / 2, width, height - height / 2);
    glClearColor(1, 0, 0, 1);   // red above
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    std::string path = t.file("frame.ppm");
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(video_write_frame(f, width, height), 1);
    fclose(f);
    plyx_gl_end_frame(w);
    plyx_gl_close(w);
    plyx_shutdown();

    std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::string ppm = test_read_file(path);
    ASSERT_EQ(ppm.size(), header.size() + (size_t)width * height * 3);
    EXPECT_EQ(ppm.substr(0, header.size()), header);
    const unsigned char *first = (const unsigned char *)ppm.data() + header.size();
    const unsigned char *last = first + ((size_t)width * height - 1) * 3;
    EXPECT_EQ(first[0], 255);
    EXPECT_EQ(first[2], 0);
    EXPECT_EQ(last[0], 0);
    EXPECT_EQ(last[2], 255);
    EXPECT_EQ(video_write_frame(stdout, 0, 10), 0);
}
