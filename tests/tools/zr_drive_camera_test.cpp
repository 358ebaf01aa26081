// zr-drive in the camera view: with "spy=1" the number key "1" picks the practice track's first
// trackside camera, and the screenshot shows the broadcast overlay: the black order strip with
// the player's white number and name boxes, and the green lap box at the top right.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "core/mem.h"
#include "gfx/image.h"
#include "tests/support/test_support.h"

namespace {

struct screen {
    unsigned char *pixels = nullptr;
    int width = 0, height = 0, channels = 0;
    ~screen() { mem_free(pixels); }
    // The share of pixels in the box (pixels, right and bottom edges excluded) that pass.
    template <class F>
    double share(int x0, int y0, int x1, int y1, F test) const {
        double n = 0, hit = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++, n++) hit += test(pixels + ((size_t)y * width + x) * channels);
        return n > 0 ? hit / n : 0;
    }
};

}  // namespace

TEST(tools_zr_drive, CameraViewShowsTheOrderStrip) {
    temp_dir t;
    std::string drive = test_binary_dir() + "/tools/zr-drive";
    std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + t.path};
    std::string out, folder = t.path + "/ZR Simulator/";
    // A first run writes the configuration; the player may then leave the player view.
    ASSERT_EQ(test_run({drive, "--key", "esc@1", "--quit", "8", "--", "--track", "tracks/practice"}, env,
                       &out, 300),
              0)
        << out;
    std::ifstream file(folder + "config");
    std::stringstream config;
    config << file.rdbuf();
    std::string text = config.str();
    size_t at = text.find("\nspy=");
    ASSERT_NE(at, std::string::npos);
    text.replace(at + 5, text.find('\n', at + 1) - (at + 5), "1");
    ASSERT_TRUE(test_write_file(folder + "config", text));

    ASSERT_EQ(test_run({drive, "--key", "esc@1", "--key", "tab@2", "--key", "tab@3", "--key", "1@4", "--key",
                        "s@256", "--quit", "264", "--", "--track", "tracks/practice"},
                       env, &out, 300),
              0)
        << out;
    screen s;
    ASSERT_EQ(image_read_png((folder + "screenshot001.png").c_str(), &s.pixels, &s.width, &s.height,
                             &s.channels, nullptr),
              1);
    ASSERT_GE(s.channels, 3);
    ASSERT_GT(s.height, 100);
    // The overlay's unit is a line of 40 in the picture's height; the screen is 40 x width /
    // height units wide. A box given in units (x from the left, y down from the top).
    double u = s.height / 40.0, units = 40.0 * s.width / s.height;
    auto in = [&](double x0, double y0, double x1, double y1, auto test) {
        return s.share((int)(x0 * u), (int)(y0 * u), (int)(x1 * u), (int)(y1 * u), test);
    };
    auto black = [](const unsigned char *c) { return c[0] < 40 && c[1] < 40 && c[2] < 40; };
    auto white = [](const unsigned char *c) { return c[0] > 220 && c[1] > 220 && c[2] > 220; };
    auto green = [](const unsigned char *c) { return c[0] < 40 && c[1] > 220 && c[2] < 40; };
    // 2 s in: the blank slot on the left (the newest console lines are written over its top
    // left), then the player's entry from 21.5 units on; its boxes lie 0.25 to 1.25 units below
    // the top.
    EXPECT_GT(in(19.5, 0.1, 21.5, 1.6, black), 0.97);
    EXPECT_GT(in(0.5, 1.65, 20.5, 2.1, black), 0.97);
    EXPECT_GT(in(25.5, 0.45, 27.5, 1.05, white), 0.5);     // "999"
    EXPECT_GT(in(29, 0.45, 42, 1.05, white), 0.5);         // "Joe Motocross"
    EXPECT_GT(in(28.5, 0.45, 36, 1.05, black), 0.05);      // its letters
    EXPECT_GT(in(units - 4.8, 1.45, units - 0.2, 2.05, green), 0.5);   // "Lap 1"
    EXPECT_LT(in(0, 5, units, 40, black), 0.05);           // the view below
}
