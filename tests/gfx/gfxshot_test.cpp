// The gfxshot tool on the generated stock data: start-up output and pictures of the splash,
// the palette text page, the HUD images, the progress screen, an animated texture and models
// (with and without shaders), the terrain scene with and without edits, checked on sample
// points, block means and silhouettes.
#include <cmath>
#include <cstdio>
#include <map>

#include "core/mem.h"
#include "gfx/image.h"
#include "tests/gfx/gfx_test_support.h"
#include "tests/gfx/model_test_support.h"

namespace {

struct shot {
    int code = -1;
    std::string output;
    std::vector<unsigned char> rgb;  // 640 x 480, rows top-down
    int at(int x, int y, int c) const { return rgb[((size_t)y * 640 + x) * 3 + c]; }
    // Mean of a channel over an 8 x 8 block.
    double block(int x, int y, int c) const {
        double sum = 0;
        for (int j = 0; j < 8; j++)
            for (int i = 0; i < 8; i++) sum += at(x + i, y + j, c);
        return sum / 64;
    }
    // Pixels of the rectangle within tolerance of a colour.
    int count_near(int x0, int y0, int x1, int y1, int r, int g, int b, int tolerance) const {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                if (std::abs(at(x, y, 0) - r) <= tolerance && std::abs(at(x, y, 1) - g) <= tolerance &&
                    std::abs(at(x, y, 2) - b) <= tolerance)
                    n++;
        return n;
    }
};

std::vector<unsigned char> read_picture(const std::string &path) {
    unsigned char *p;
    int w, h, n;
    if (!image_read_png(path.c_str(), &p, &w, &h, &n, nullptr)) return {};
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(n, 3);
    std::vector<unsigned char> out = test_level0(p, w, h, 3);
    mem_free(p);
    return out;
}

class gfx_gfxshot : public testing::Test {
  protected:
    temp_dir dir;
    std::vector<std::string> env;
    void SetUp() override {
        test_make_dirs(dir.file("home"));
        env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + dir.file("home"),
               "LP_NATIVE_VECTOR_WIDTH=128"};
    }
    shot run(std::vector<std::string> args, const std::string &out = "shot.png") {
        shot s;
        std::vector<std::string> argv = {test_binary_dir() + "/tools/gfxshot", "--out", dir.file(out)};
        argv.insert(argv.end(), args.begin(), args.end());
        s.code = test_run(argv, env, &s.output);
        if (s.code == 0 && out.find("%d") == std::string::npos) s.rgb = read_picture(dir.file(out));
        return s;
    }
};

}  // namespace

TEST_F(gfx_gfxshot, SplashShowsTheTitleAtTwoToOneAndTheStamp) {
    shot s = run({"splash"});
    ASSERT_EQ(s.code, 0) << s.output;
    for (const char *line : {"GL_VENDOR: ", "GL_RENDERER: ", "GL_VERSION: ", "GL_EXTENSIONS: ",
                             " texture units\n", "shaders_active=1\n"})
        EXPECT_NE(s.output.find(line), std::string::npos) << line;
    ASSERT_EQ(s.rgb.size(), 640u * 480 * 3);
    // At 4:3 the picture fills the height and its middle two thirds fill the width: screen
    // (x, y) shows picture (512 + (x - 320) x 1024 / 960, y x 512 / 480).
    datagen_image title = datagen_title_image();
    auto picture_mean = [&](int sx, int sy, int c) {
        double sum = 0;
        int n = 0;
        for (int y = (sy * 512) / 480; y < ((sy + 8) * 512) / 480; y++)
            for (int x = 512 + ((sx - 320) * 1024) / 960; x < 512 + ((sx + 8 - 320) * 1024) / 960; x++, n++)
                sum += title.pixels[((size_t)y * 1024 + x) * 3 + c];
        return sum / n;
    };
    for (auto [x, y] : {std::pair{40, 200}, {600, 200}, {24, 400}, {560, 180}, {620, 420}})
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(s.block(x, y, c), picture_mean(x, y, c), 6) << x << "," << y << " channel " << c;
    // The build stamp: grey pixels in the bottom-right corner that the picture has not.
    EXPECT_GT(s.count_near(420, 456, 640, 480, 191, 191, 191, 6), 40);
    EXPECT_EQ(s.count_near(0, 456, 200, 480, 191, 191, 191, 6), 0);
}

TEST_F(gfx_gfxshot, TextPageShowsThePaletteAndAlignments) {
    for (const char *override_ : {"", "-GL_ARB_fragment_shader"}) {
        if (*override_) env.push_back(std::string("MESA_EXTENSION_OVERRIDE=") + override_);
        shot s = run({"text"});
        ASSERT_EQ(s.code, 0) << s.output;
        EXPECT_NE(s.output.find(*override_ ? "GL_VERSION: 1.5" : "GL_VERSION: 4"), std::string::npos);
        EXPECT_NE(s.output.find(*override_ ? "shaders_active=0" : "shaders_active=1"), std::string::npos);
        ASSERT_EQ(s.rgb.size(), 640u * 480 * 3);
        // Line i of 25 holds palette colour i.
        for (int i = 1; i < 16; i++) {
            if (i == 8) continue;  // black on the dark page
            int level = i < 8 ? 191 : 255;
            int r = i & 1 ? level : 0, g = i & 2 ? level : 0, b = i & 4 ? level : 0;
            int y0 = (int)(i * 480 / 25.0), y1 = (int)((i + 1) * 480 / 25.0);
            EXPECT_GT(s.count_near(0, y0, 640, y1, r, g, b, 40), 40) << "line " << i << " " << override_;
        }
        // The shadowed line has black below-right of its white; the centred line's ink is
        // centred; the right-aligned line ends at the right edge.
        int y17 = (int)(17 * 480 / 25.0), y18 = (int)(18 * 480 / 25.0), y19 = (int)(19 * 480 / 25.0);
        EXPECT_GT(s.count_near(0, y17, 640, y18 + 2, 255, 255, 255, 30), 30);
        int shadow = 0;  // pixels well below the page's (41, 46, 56)
        for (int y = y17; y < y18 + 3; y++)
            for (int x = 0; x < 640; x++) shadow += s.at(x, y, 0) + s.at(x, y, 1) + s.at(x, y, 2) < 103;
        EXPECT_GT(shadow, 20);
        auto ink_span = [&](int ya, int yb, int channel, int *first, int *last) {
            *first = 640, *last = -1;
            for (int y = ya; y < yb; y++)
                for (int x = 0; x < 640; x++)
                    if (s.at(x, y, channel) > 150) {
                        *first = std::min(*first, x);
                        *last = std::max(*last, x);
                    }
        };
        int first, last;
        ink_span(y18 + 2, y19 - 1, 0, &first, &last);
        EXPECT_NEAR((first + last) / 2.0, 320, 12);
        ink_span(y19 + 2, (int)(20 * 480 / 25.0) - 1, 2, &first, &last);
        EXPECT_GT(last, 625);
    }
}

TEST_F(gfx_gfxshot, HudImagesSideBySide) {
    shot s = run({"hud"});
    ASSERT_EQ(s.code, 0) << s.output;
    ASSERT_FALSE(s.rgb.empty());
    // The tach's dark face left of its hub, the gear cell's orange ring, the pit board's
    // white panel; the background between them.
    EXPECT_LT(s.block(56, 236, 0), 60);
    EXPECT_GT(s.count_near(220, 140, 300, 220, 244, 122, 24, 30), 50);
    EXPECT_GT(s.block(560, 230, 0), 230);
    EXPECT_NEAR(s.block(300, 20, 1), 0.5 * 255, 3);
}

TEST_F(gfx_gfxshot, ProgressScreenAfterFiveTicks) {
    shot s = run({"progress", "5"});
    ASSERT_EQ(s.code, 0) << s.output;
    ASSERT_FALSE(s.rgb.empty());
    // Squares 0, 1 and 2 sit right of the centre at x = 320 (1 + (16 - i) / 16 hy / hx).
    double hx = std::tan(55 * M_PI / 180), hy = hx * 480 / 640;
    auto square = [&](int i) { return (int)std::lround(320 + 320 * hy * (16 - i) / 16 / hx); };
    int lit0 = s.at(square(0), 240, 0), dark1 = s.at(square(1), 240, 0), lit2 = s.at(square(2), 240, 0);
    EXPECT_NEAR(lit0, 223, 4);
    EXPECT_NEAR(dark1, 191, 4);
    EXPECT_NEAR(lit2, 223, 4);
    // The backdrop: lighter in the middle than in the corners.
    EXPECT_GT(s.block(300, 100, 0), s.block(0, 0, 0) + 20);
}

TEST_F(gfx_gfxshot, AnimatedTextureShowsThreeFrames) {
    shot s = run({"--times", "0,16,32", "texture", "@flags/checkered.seq"}, "flag-%d.png");
    ASSERT_EQ(s.code, 0) << s.output;
    std::vector<std::vector<unsigned char>> frames;
    for (const char *name : {"flag-0.png", "flag-16.png", "flag-32.png"}) frames.push_back(read_picture(dir.file(name)));
    ASSERT_EQ(frames[0].size(), 640u * 480 * 3);
    EXPECT_NE(frames[0], frames[1]);
    EXPECT_NE(frames[1], frames[2]);
    EXPECT_NE(frames[0], frames[2]);
    // The link to it shows the same texture.
    shot linked = run({"texture", "@flags/finish.png"}, "finish.png");
    ASSERT_EQ(linked.code, 0) << linked.output;
    EXPECT_EQ(linked.rgb, frames[0]);
}

TEST_F(gfx_gfxshot, FailuresExitWithACode) {
    EXPECT_EQ(run({}).code, 2);
    EXPECT_EQ(run({"texture"}).code, 2);
    EXPECT_EQ(run({"nonsense"}).code, 2);
    shot missing = run({"texture", "@no/such.png"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.output.find("can't load @no/such.png"), std::string::npos);
    env[0] = "ZR_HOME=" + dir.file("empty");
    test_make_dirs(dir.file("empty"));
    EXPECT_EQ(run({"splash"}).code, 1);
}

namespace {

// Pixels that are not the model scene's sky.
std::vector<bool> silhouette(const shot &s) {
    std::vector<bool> in(640 * 480);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            in[y * 640 + x] = std::abs(s.at(x, y, 0) - 115) + std::abs(s.at(x, y, 1) - 153) +
                                  std::abs(s.at(x, y, 2) - 199) > 24;
    return in;
}

// Pixels in either silhouette, and those in only one.
void compare_silhouettes(const shot &a, const shot &b, int *either, int *differ) {
    std::vector<bool> sa = silhouette(a), sb = silhouette(b);
    *either = *differ = 0;
    for (size_t i = 0; i < sa.size(); i++) {
        *either += sa[i] || sb[i];
        *differ += sa[i] != sb[i];
    }
}

}  // namespace

TEST_F(gfx_gfxshot, ModelSceneShowsTheVersionForTheDistance) {
    shot near = run({"model", "@front_wheel.jm", "--texture", "@wheels.png", "--distance", "10"});
    ASSERT_EQ(near.code, 0) << near.output;
    EXPECT_NE(near.output.find("\nlod 0\n"), std::string::npos) << near.output;
    EXPECT_NE(near.output.find("model_draw_triangle_count="), std::string::npos);
    // A textured wheel in the middle: dark tyre round a bright rim and hub.
    int dark = 0, bright = 0;
    for (int y = 140; y < 340; y++)
        for (int x = 220; x < 420; x++) {
            int sum = near.at(x, y, 0) + near.at(x, y, 1) + near.at(x, y, 2);
            dark += sum < 150;
            bright += sum > 450;
        }
    EXPECT_GT(dark, 8000);
    EXPECT_GT(bright, 200);
    shot far = run({"model", "@front_wheel.jm", "--texture", "@wheels.png", "--distance", "100"});
    ASSERT_EQ(far.code, 0) << far.output;
    EXPECT_NE(far.output.find("\nlod 32\n"), std::string::npos) << far.output;
    shot farther = run({"model", "@front_wheel.jm", "--distance", "200"});
    ASSERT_EQ(farther.code, 0) << farther.output;
    EXPECT_NE(farther.output.find("\nlod 128\n"), std::string::npos) << farther.output;
    EXPECT_EQ(run({"model", "@no/such.jm"}).code, 1);
    EXPECT_EQ(run({"model", "@front_wheel.jm", "--distance", "-1"}).code, 2);
    EXPECT_EQ(run({"model", "@front_wheel.jm", "--texture", "@no/such.png"}).code, 1);
}

TEST_F(gfx_gfxshot, ModelSceneLooksTheSameWithoutShaders) {
    // The two-bone bar bent at its middle, and the rider on its nine bones at rest.
    test_write_file(dir.file("home/ZR Simulator/bar.jm"), datagen_jm(test_bar()));
    struct {
        std::vector<std::string> args;
    } cases[] = {{{"model", "@bar.jm", "--bend", "30", "--distance", "6"}},
                 {{"model", "@rider_body.jm", "--texture", "@rider_body.png"}},
                 {{"model", "@yz250fv2014_fork_upper.jm", "--texture", "@yz250fv2014.png"}}};
    for (auto &c : cases) {
        shot with = run(c.args);
        ASSERT_EQ(with.code, 0) << with.output;
        EXPECT_NE(with.output.find("shaders_active=1"), std::string::npos);
        env.push_back("MESA_EXTENSION_OVERRIDE=-GL_ARB_fragment_shader");
        shot without = run(c.args);
        env.pop_back();
        ASSERT_EQ(without.code, 0) << without.output;
        EXPECT_NE(without.output.find("shaders_active=0"), std::string::npos);
        int either, differ;
        compare_silhouettes(with, without, &either, &differ);
        EXPECT_GT(either, 2000) << c.args[1];
        EXPECT_LT(differ, either / 100) << c.args[1];
    }
    // The bend shows.
    shot straight = run({"model", "@bar.jm", "--bend", "0", "--distance", "6"});
    shot bent = run({"model", "@bar.jm", "--bend", "30", "--distance", "6"});
    int either, differ;
    compare_silhouettes(straight, bent, &either, &differ);
    EXPECT_GT(differ, either / 10);
}

// The start line from 60 ft above, once every slot in view is composed: a bright line across a
// dirt track between grass, alike in every render mode.
TEST_F(gfx_gfxshot, TerrainStartLineInEveryRenderMode) {
    struct mode_case {
        const char *track, *method, *override_;
        const char *expect;
    } cases[] = {
        {"@tracks/hillside", "Software", "", "mode=1 extra_maps=0"},
        {"@tracks/hillside", "Hardware/Copy", "", "mode=2 extra_maps=0"},
        {"@tracks/hillside", "Hardware/Direct", "", "mode=3 extra_maps=0"},
        {"@tracks/hillside", "Shaders/Direct", "", "mode=3 extra_maps=1"},
        {"@tracks/hillside", "Shaders/Direct", "-GL_ARB_fragment_shader", "mode=3 extra_maps=0"},
        {"@tracks/practice", "Software", "", "mode=1 extra_maps=0"},
        {"@tracks/practice", "Hardware/Direct", "", "mode=3 extra_maps=0"},
    };
    std::map<std::string, shot> reference;
    for (auto &c : cases) {
        std::vector<std::string> saved = env;
        if (*c.override_) env.push_back(std::string("MESA_EXTENSION_OVERRIDE=") + c.override_);
        shot s = run({"--render-texture", c.method, "terrain", c.track, "--above-decal", "0,60"});
        env = saved;
        std::string label = std::string(c.track) + " " + c.method + " " + c.override_;
        ASSERT_EQ(s.code, 0) << label << "\n" << s.output;
        EXPECT_NE(s.output.find(c.expect), std::string::npos) << label << "\n" << s.output;
        EXPECT_NE(s.output.find(" age=0 pending=0"), std::string::npos) << s.output;
        auto mean = [&](int x0, int y0, int x1, int y1, int ch) {
            double sum = 0;
            for (int y = y0; y < y1; y++)
                for (int x = x0; x < x1; x++) sum += s.at(x, y, ch);
            return sum / ((x1 - x0) * (y1 - y0));
        };
        // The middle: the start line.
        double line = (mean(300, 237, 340, 243, 0) + mean(300, 237, 340, 243, 1) + mean(300, 237, 340, 243, 2)) / 3;
        EXPECT_GT(line, 150) << label;
        // Beside it along the course: dirt. Outer bands: grass.
        for (auto [y0, y1] : {std::pair{150, 215}, {265, 330}}) {
            double r = mean(290, y0, 350, y1, 0), g = mean(290, y0, 350, y1, 1), b = mean(290, y0, 350, y1, 2);
            EXPECT_TRUE(r > g && g > b) << label << " dirt " << r << " " << g << " " << b;
        }
        for (auto [x0, x1] : {std::pair{100, 190}, {450, 540}}) {
            double r = mean(x0, 20, x1, 460, 0), g = mean(x0, 20, x1, 460, 1), b = mean(x0, 20, x1, 460, 2);
            EXPECT_TRUE(g > r && g > b) << label << " grass " << r << " " << g << " " << b;
            // No checker placeholder: hardly a pixel near black or white.
            int extreme = s.count_near(x0, 20, x1, 460, 0, 0, 0, 8) + s.count_near(x0, 20, x1, 460, 255, 255, 255, 8);
            EXPECT_LT(extreme, (x1 - x0) * 440 / 100) << label;
        }
        // Software, Hardware/Copy and Hardware/Direct agree in every 16 x 16 block (the shader
        // path lights per pixel).
        if (std::string(c.method).find("Shaders") == 0) continue;
        auto found = reference.find(c.track);
        if (found == reference.end()) {
            reference[c.track] = s;
            continue;
        }
        double worst = 0;
        int wx = 0, wy = 0;
        auto block16 = [](const shot &p, int x, int y, int ch) {
            return (p.block(x, y, ch) + p.block(x + 8, y, ch) + p.block(x, y + 8, ch) + p.block(x + 8, y + 8, ch)) / 4;
        };
        for (int y = 0; y < 480; y += 16)
            for (int x = 0; x < 640; x += 16)
                for (int ch = 0; ch < 3; ch++) {
                    double d = std::fabs(block16(s, x, y, ch) - block16(found->second, x, y, ch));
                    if (d > worst) worst = d, wx = x, wy = y;
                }
        EXPECT_LE(worst, 12) << label << " at " << wx << "," << wy;
    }
}

// Ruts worn along the practice track's straight before the picture: the wheel's line is printed
// as terrain-info prints it, and the ground along the segment looks different afterwards.
TEST_F(gfx_gfxshot, TerrainSceneShowsRutsWornBeforeDrawing) {
    std::vector<std::string> view = {"terrain", "tracks/practice", "--eye", "120,30,30", "--look", "120,0,68"};
    shot plain = run(view);
    view.insert(view.end(), {"--ruts", "60", "68", "180", "68", "4"});
    shot rutted = run(view);
    ASSERT_EQ(plain.code, 0) << plain.output;
    ASSERT_EQ(rutted.code, 0) << rutted.output;
    EXPECT_EQ(plain.output.find("points "), std::string::npos);
    size_t at = rutted.output.find("\npoints ");
    ASSERT_NE(at, std::string::npos) << rutted.output;
    int points, messages;
    double dug, deposited, balance, deepest;
    const char *line = "\npoints %d messages %d dug %lf deposited %lf balance %lf deepest %lf in";
    ASSERT_EQ(sscanf(rutted.output.c_str() + at, line, &points, &messages, &dug, &deposited, &balance, &deepest), 6);
    EXPECT_GT(points, 0);
    EXPECT_GT(dug, 0);
    EXPECT_GT(deepest, 0);
    // The straight crosses the picture between rows 150 and 300; the rest of the picture stays.
    double along = 0, elsewhere = 0;
    for (int y = 0; y < 480; y += 8)
        for (int x = 0; x < 640; x += 8)
            for (int ch = 0; ch < 3; ch++) {
                double d = std::fabs(plain.block(x, y, ch) - rutted.block(x, y, ch));
                double &worst = y >= 150 && y < 300 ? along : elsewhere;
                if (d > worst) worst = d;
            }
    EXPECT_GT(along, 2);
    EXPECT_LE(elsewhere, 1);
}
