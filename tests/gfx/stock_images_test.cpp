// The generated graphics members as the game reads them: sizes, channels, the layout rules of
// the fonts and HUD images, and crisp art that keeps every mip level.
#include "core/folders.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "gfx/image.h"
#include "gfx/texture.h"
#include "tests/gfx/gfx_test_support.h"

namespace {

struct stock_picture {
    unsigned char *p = nullptr;
    int w = 0, h = 0, n = 0;
    explicit stock_picture(const char *name) {
        EXPECT_EQ(image_read_png(name, &p, &w, &h, &n, nullptr), 1) << name;
    }
    ~stock_picture() { mem_free(p); }
    const unsigned char *at(int x, int y) const { return p + ((size_t)y * w + x) * n; }
};

}  // namespace

TEST(gfx_stock_images, MembersHaveTheirShapes) {
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    ASSERT_EQ(vfs_locate_game_data(), 1);
    vfs_build_index();
    struct {
        const char *name;
        int w, h, n;
    } shapes[] = {{"@font.png", 512, 256, 4},    {"@numbers.png", 512, 80, 4},
                  {"@numbers-condensed.png", 512, 80, 4}, {"@title.png", 1024, 512, 3},
                  {"@tach.png", 256, 256, 4},    {"@shifter.png", 256, 256, 4},
                  {"@pitboard.png", 256, 256, 4}, {"@colors/white.png", 4, 4, 3},
                  {"@flags/checkered-4.png", 64, 64, 4}};
    for (auto &s : shapes) {
        stock_picture pic(s.name);
        EXPECT_EQ(pic.w, s.w) << s.name;
        EXPECT_EQ(pic.h, s.h) << s.name;
        EXPECT_EQ(pic.n, s.n) << s.name;
        bool font = std::string(s.name).find("font") != std::string::npos ||
                    std::string(s.name).find("numbers") != std::string::npos;
        if (font) {
            EXPECT_EQ(memcmp(pic.at(0, 0), "\xff\x00\xff\xff", 4), 0) << s.name;
        }
    }
    {
        stock_picture white("@colors/white.png");
        EXPECT_EQ(test_level0(white.p, 4, 4, 3), std::vector<unsigned char>(48, 255));
        // The tach is round, the shifter's third row empty, the pit board a band.
        stock_picture tach("@tach.png"), shifter("@shifter.png"), board("@pitboard.png");
        EXPECT_EQ(tach.at(2, 2)[3], 0);
        EXPECT_EQ(tach.at(128, 128)[3], 255);
        for (int y = 172; y < 256; y++)
            for (int x = 0; x < 256; x++) ASSERT_EQ(shifter.at(x, y)[3], 0) << x << "," << y;
        for (int gear = 0; gear < 6; gear++)
            EXPECT_EQ(shifter.at((2 * (gear % 3) + 1) * 256 / 6, (2 * (gear / 3) + 1) * 256 / 6)[3], 255);
        for (int x = 0; x < 256; x++) {
            EXPECT_EQ(board.at(x, 47)[3], 0);
            EXPECT_EQ(board.at(x, 224)[3], 0);
        }
        const unsigned char *origin = board.at(95, 82);
        EXPECT_GT(origin[0] + origin[1] + origin[2], 700);  // light ground for black text
    }
    // Crisp art: no level is as flat as its halving.
    for (const char *name : {"@tach.png", "@shifter.png", "@pitboard.png", "@title.png"}) {
        stock_picture pic(name);
        int w = pic.w, h = pic.h, dropped = -1;
        tex_choose_top_level(pic.p, &w, &h, pic.n, 0, &dropped);
        EXPECT_EQ(dropped, 0) << name;
    }
    char *link = file_to_string("@flags/finish.png");
    ASSERT_NE(link, nullptr);
    EXPECT_STREQ(link, "LINK @flags/checkered.seq\n");
    mem_free(link);
    vfs_shutdown();
}
