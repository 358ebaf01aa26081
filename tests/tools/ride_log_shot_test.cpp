// ride-log race --shot: pictures of chosen ticks drawn by the game's drawing step, checked by
// region (pit board, tachometer needle, map, results board).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/mem.h"
#include "gfx/image.h"
#include "tests/support/test_support.h"

namespace {

struct picture {
    unsigned char *pixels = nullptr;
    int width = 0, height = 0, channels = 0;
    explicit picture(const std::string &file) {
        char *info = nullptr;
        if (!image_read_png(file.c_str(), &pixels, &width, &height, &channels, &info)) pixels = nullptr;
        mem_free(info);
    }
    ~picture() { mem_free(pixels); }
    // Pixels of the box (x0, y0)-(x1, y1), top row 0, that pass the test.
    int count(int x0, int y0, int x1, int y1, const std::function<bool(int, int, int)> &pass) const {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) {
                const unsigned char *p = pixels + ((size_t)y * width + x) * channels;
                n += pass(p[0], p[1], p[2]);
            }
        return n;
    }
};

}  // namespace

TEST(tools_ride_log_shot, BadWhenIsRefused) {
    temp_dir t;
    std::string tool = test_binary_dir() + "/tools/ride-log";
    std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + t.path};
    for (const char *when : {"finish", "finish:", ":a.png", "finish+:a.png", "results+x:a.png", "-5:a.png",
                             "start:a.png", "99999999999:a.png"}) {
        std::string out;
        EXPECT_EQ(test_run({tool, "race", "--shot", when}, env, &out, 60), 2) << when << out;
        EXPECT_NE(out.find("WHEN: a tick, finish or results"), std::string::npos) << out;
    }
}

TEST(tools_ride_log_shot, PicturesOfTheRaceAndItsResults) {
    temp_dir t;
    std::string tool = test_binary_dir() + "/tools/ride-log";
    std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + t.path};
    std::string start = t.file("start.png"), final_shot = t.file("final.png"), out;
    // The code says whether every robot finished (1 when not); the pictures are taken either way.
    int code = test_run({tool, "race", "--track", "practice", "--robots", "2", "--laps", "1", "--shot",
                         "100+100:" + start, "--shot", "results+16:" + final_shot},
                        env, &out, 280);
    EXPECT_TRUE(code == 0 || code == 1) << out;
    EXPECT_NE(out.find("shot tick 200: " + start), std::string::npos) << out;
    EXPECT_NE(out.find(": " + final_shot), std::string::npos) << out;
    picture a(start);
    ASSERT_NE(a.pixels, nullptr);
    ASSERT_EQ(a.width, 1024);
    ASSERT_EQ(a.height, 768);
    auto white = [](int r, int g, int b) { return r > 230 && g > 230 && b > 230; };
    auto needle = [](int r, int g, int b) { return r > 150 && g < 40 && b < 40; };
    auto course = [](int r, int g, int b) { return r > 170 && r < 215 && g > 135 && g < 180 && b > 85 && b < 130; };
    // Bottom left the pit board's face, bottom right the red needle, top right the map's course.
    EXPECT_GT(a.count(0, 568, 230, 768, white), 5000);
    EXPECT_GT(a.count(824, 568, 1024, 768, needle), 30);
    EXPECT_GT(a.count(784, 0, 1024, 240, course), 1000);
    // The board is the right way up: the panel's grey rule runs near its bottom (about 49
    // pixels above the screen's bottom edge), not near its top.
    auto rule = [](int r, int g, int b) { return r > 218 && r < 234 && g > 218 && g < 234 && b > 212 && b < 228; };
    EXPECT_GT(a.count(90, 712, 220, 726, rule), 300);
    EXPECT_LT(a.count(90, 586, 220, 600, rule), 50);
    // The title over the middle of the view for the first 3 s.
    EXPECT_GT(a.count(312, 334, 712, 434, white), 200);

    picture b(final_shot);
    ASSERT_NE(b.pixels, nullptr);
    // The results board top left: white titles over its shaded box.
    EXPECT_GT(b.count(0, 0, 400, 60, white), 100);
    EXPECT_NE(test_read_file(t.file("ZR Simulator/results.txt")), "");
}
