// The texture manager: level decisions without OpenGL, then uploads, the cache, names, links,
// generations and purging with a real context.
#include <memory>

#include "core/mem.h"
#include "gfx/image.h"
#include "core/settings.h"
#include "gfx/texture.h"
#include "gfx/font.h"
#include "gfx/texture_anim.h"
#include "tests/gfx/gfx_test_support.h"

// A chain of a picture with its levels built.
static std::vector<unsigned char> test_chain(const datagen_image &img) {
    std::vector<unsigned char> chain(image_chain_bytes(img.width, img.height, img.channels));
    memcpy(chain.data(), img.pixels.data(), img.pixels.size());
    image_build_mips(chain.data(), img.width, img.height, img.channels, 0);
    return chain;
}

TEST(gfx_texture_levels, PowersOfTwo) {
    struct {
        int side, at_most, below, is;
    } cases[] = {{1, 1, 1, 1},     {2, 2, 1, 1},     {3, 2, 2, 0},       {200, 128, 128, 0},
                 {256, 256, 128, 1}, {300, 256, 256, 0}, {16384, 16384, 8192, 1}};
    for (auto &c : cases) {
        EXPECT_EQ(tex_power_of_two_at_most(c.side), c.at_most) << c.side;
        EXPECT_EQ(tex_power_of_two_below(c.side), c.below) << c.side;
        EXPECT_EQ(tex_is_power_of_two(c.side), c.is) << c.side;
    }
}

TEST(gfx_texture_levels, DetailReductionAndFlatLevels) {
    std::vector<unsigned char> detailed = test_chain(test_random_image(256, 256, 3, 1));
    std::vector<unsigned char> flat = test_chain(test_flat_image(512, 512, 4, {90, 120, 30, 255}));
    std::vector<unsigned char> small = test_chain(test_flat_image(16, 16, 3, {1, 2, 3, 255}));
    struct {
        const std::vector<unsigned char> &chain;
        int side, channels, reduce, want_side, want_flat;
    } cases[] = {
        {detailed, 256, 3, 2, 128, 0},  // the second drop would reach a side of 64: refused
        {detailed, 256, 3, 0, 256, 0},
        {flat, 512, 4, 0, 16, 5},       // every level matches its upsampled next level
        {flat, 512, 4, 1, 16, 4},
        {small, 16, 3, 0, 16, 0},       // 16 x 16 is never tested
    };
    for (auto &c : cases) {
        int w = c.side, h = c.side, dropped;
        const unsigned char *top = tex_choose_top_level(c.chain.data(), &w, &h, c.channels, c.reduce, &dropped);
        EXPECT_EQ(w, c.want_side) << c.side << " reduce " << c.reduce;
        EXPECT_EQ(h, c.want_side);
        EXPECT_EQ(dropped, c.want_flat);
        EXPECT_EQ(top - c.chain.data(),
                  (long)(image_chain_bytes(c.side, c.side, c.channels) - image_chain_bytes(w, h, c.channels)));
    }
    // A smooth ramp adds no detail; one pixel off by 5 does.
    datagen_image ramp = test_flat_image(32, 32, 3, {0, 0, 0, 255});
    for (int i = 0; i < 32 * 32 * 3; i++) ramp.pixels[i] = (unsigned char)(i / 3 % 32 * 4);
    std::vector<unsigned char> chain = test_chain(ramp);
    EXPECT_EQ(tex_level_adds_no_detail(chain.data(), 32, 32, 3), 1);
    chain[3 * (5 * 32 + 7) + 1] += 5;
    EXPECT_EQ(tex_level_adds_no_detail(chain.data(), 32, 32, 3), 0);
}

TEST(gfx_texture_levels, FitToPowersOfTwo) {
    struct {
        int w, h;
        long max_area;
        int reduce, want_w, want_h;
    } cases[] = {
        {300, 200, 2147483647L, 0, 256, 128}, {256, 200, 2147483647L, 0, 256, 128},
        {512, 512, 65536, 0, 256, 256},       {256, 512, 65536, 0, 128, 256},
        {256, 256, 65536, 3, 128, 128},       {64, 64, 16, 4, 64, 64},
    };
    for (auto &c : cases) {
        datagen_image img = test_random_image(c.w, c.h, 4, (unsigned)c.w);
        std::vector<unsigned char> chain = test_chain(img);
        unsigned char *p = (unsigned char *)mem_alloc(chain.size());
        memcpy(p, chain.data(), chain.size());
        int w = c.w, h = c.h;
        ASSERT_EQ(image_fit_power_of_two(&p, &w, &h, 4, c.max_area, c.reduce), 1);
        EXPECT_EQ(w, c.want_w) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.want_h) << c.w << "x" << c.h;
        // Nearest-pixel resampling: target (x, y) takes source (x w / new w, y h / new h).
        if (c.w == 300 && c.max_area > 65536) {
            const unsigned char *source = &img.pixels[((size_t)(5 * 200 / 128) * 300 + 100 * 300 / 256) * 4];
            EXPECT_EQ(memcmp(p + ((size_t)5 * 256 + 100) * 4, source, 4), 0);
        }
        mem_free(p);
    }
}

TEST(gfx_texture_levels, BorderColourOfEdges) {
    float c[4];
    // A 2 x 2 picture: every pixel counts twice; four bins tie and the first wins.
    datagen_image tie = test_flat_image(2, 2, 3, {0, 0, 0, 255});
    const unsigned char px[12] = {255, 255, 255, 0, 0, 255, 255, 0, 0, 0, 255, 0};
    memcpy(tie.pixels.data(), px, 12);
    tex_border_colour(tie.pixels.data(), 2, 2, 3, c);
    EXPECT_EQ(c[0], 0.0f);
    EXPECT_EQ(c[1], 0.0f);
    EXPECT_FLOAT_EQ(c[2], 1.0f);
    // The edge decides, not the inside; RGBA borders are clear.
    datagen_image framed = test_flat_image(8, 8, 3, {140, 70, 200, 255});
    for (int y = 1; y < 7; y++)
        for (int x = 1; x < 7; x++) memset(&framed.pixels[(y * 8 + x) * 3], 0, 3);
    tex_border_colour(framed.pixels.data(), 8, 8, 3, c);
    EXPECT_FLOAT_EQ(c[0], 3 / 7.0f);
    EXPECT_FLOAT_EQ(c[1], 1 / 7.0f);
    EXPECT_FLOAT_EQ(c[2], 5 / 7.0f);
    EXPECT_EQ(c[3], 0.0f);
    tex_border_colour(framed.pixels.data(), 4, 4, 4, c);
    EXPECT_EQ(c[0] + c[1] + c[2] + c[3], 0.0f);
}

// A context, and a game folder of fixture pictures found through '@' names.
class gfx_texture : public testing::Test {
  protected:
    temp_dir dir;
    std::unique_ptr<gl_test_window> gl;
    void SetUp() override {
        test_isolate_home(dir);
        gl = std::make_unique<gl_test_window>();
        ASSERT_NE(gl->w, nullptr) << plyx_last_error();
        game_settings.texture_reduce_levels = 0;
        game_settings.texture_compress_mode = 0;
        console_clear();
    }
    void TearDown() override {
        tex_purge(1);
        gl.reset();
    }
    void game_file(const std::string &name, const std::string &bytes) {
        test_write_file(dir.file("game/" + name), bytes);
    }
    static int level_width(uint32_t texture, int level) {
        GLint w = 0;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        return w;
    }
    static int parameter(uint32_t texture, GLenum which) {
        GLint v = 0;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexParameteriv(GL_TEXTURE_2D, which, &v);
        return v;
    }
};

TEST_F(gfx_texture, UploadCountsBytesWrapsAndFilters) {
    std::vector<unsigned char> chain = test_chain(test_random_image(64, 16, 3, 2));
    texture_memory_bytes = 0;
    uint32_t t = tex_upload(chain.data(), 64, 16, 3, 0);
    EXPECT_EQ(texture_memory_bytes, (uint32_t)(64 * 16 + 32 * 8 + 16 * 4 + 8 * 2 + 4 * 1 + 2 * 1 + 1) * 3);
    for (int level = 0; level < 7; level++) EXPECT_EQ(level_width(t, level), std::max(1, 64 >> level));
    EXPECT_EQ(parameter(t, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(t, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(t, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(parameter(t, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    uint32_t h = tex_upload(chain.data(), 64, 16, 3, TEX_HREPEAT | TEX_NO_MIPMAP);
    EXPECT_EQ(parameter(h, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(parameter(h, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(h, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(level_width(h, 1), 0);
    // The level-0 pixels arrive as given.
    std::vector<unsigned char> back(64 * 16 * 3);
    glBindTexture(GL_TEXTURE_2D, t);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, test_level0(chain.data(), 64, 16, 3));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    GLuint names[2] = {t, h};
    glDeleteTextures(2, names);
}

// A number plate: the digits' ink recoloured between the plate's two colours, the ground
// clear, and a clear ring round every level.
TEST_F(gfx_texture, TextPlateRecoloursTheDigitsAndClearsEveryRim) {
    test_write_file(dir.file("numbers.png"), datagen_png(datagen_font_image(1)));
    font_load(&font_numbers, dir.file("numbers.png").c_str(), "0123456789");
    ASSERT_NE(font_numbers.pixels, nullptr);
    const unsigned char white[3] = {200, 150, 100}, black[3] = {10, 20, 250};
    texture_memory_bytes = 0;
    uint32_t t = tex_create_text_plate("42", 64, 32, white, black);
    ASSERT_NE(t, 0u);
    EXPECT_EQ(texture_memory_bytes, (uint32_t)image_chain_bytes(64, 32, 4));
    // Level 0 against the digits painted alone and recoloured by the rule.
    std::vector<unsigned char> painted(64 * 32 * 4);
    for (size_t i = 0; i < painted.size(); i += 4) painted[i] = painted[i + 1] = painted[i + 2] = 255, painted[i + 3] = 0;
    font_paint_text(painted.data(), 64, 32, 1, 1, 1, 1, "42");
    std::vector<unsigned char> back(64 * 32 * 4);
    glBindTexture(GL_TEXTURE_2D, t);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back.data());
    int ink = 0, ground = 0;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 64; x++) {
            const unsigned char *got = &back[(y * 64 + x) * 4], *p = &painted[(y * 64 + x) * 4];
            if (x == 0 || y == 0 || x == 63 || y == 31) {
                EXPECT_EQ(got[3], 0) << x << "," << y;
                EXPECT_EQ(got[0], 255) << x << "," << y;
                continue;
            }
            for (int c = 0; c < 3; c++)
                EXPECT_EQ(got[c], black[c] + (white[c] - black[c]) * p[c] / 255) << x << "," << y << " " << c;
            EXPECT_EQ(got[3], p[3]);
            if (p[3] == 0 && got[0] == white[0] && got[2] == white[2]) ground++;
            if (p[3] > 200 && p[0] < 60) ink++;
        }
    EXPECT_GT(ink, 20);
    EXPECT_GT(ground, 64 * 32 / 4);
    // Every lower level keeps a clear ring, down to 1 x 1.
    for (int level = 1, w = 32, h = 16;; level++, w = std::max(1, w / 2), h = std::max(1, h / 2)) {
        std::vector<unsigned char> px((size_t)w * h * 4);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        for (int x = 0; x < w; x++) {
            EXPECT_EQ(px[x * 4 + 3], 0) << level;
            EXPECT_EQ(px[((size_t)(h - 1) * w + x) * 4 + 3], 0) << level;
        }
        for (int y = 0; y < h; y++) {
            EXPECT_EQ(px[(size_t)y * w * 4 + 3], 0) << level;
            EXPECT_EQ(px[((size_t)y * w + w - 1) * 4 + 3], 0) << level;
        }
        if (w == 1 && h == 1) break;
    }
    // Bad sides make no texture.
    EXPECT_EQ(tex_create_text_plate("1", 0, 32, white, black), 0u);
    EXPECT_EQ(tex_create_text_plate("1", 32, 16385, white, black), 0u);
    glDeleteTextures(1, &t);
    font_free_all();
}

TEST_F(gfx_texture, LoadCachesByNameWithReductionAndFlags) {
    datagen_image detailed = test_random_image(256, 256, 4, 3);
    game_file("tach.png", datagen_png(detailed));
    game_file("plain.png", datagen_png(detailed));
    game_file("a-repeat.png", datagen_png(test_random_image(8, 8, 3, 4)));
    game_file("a-hrepeat.png", datagen_png(test_random_image(8, 8, 3, 4)));
    game_file("arepeat.png", datagen_png(test_random_image(8, 8, 3, 4)));
    game_settings.texture_reduce_levels = 2;
    uint32_t bang = tex_load("!@tach.png");
    ASSERT_NE(bang, 0u);
    EXPECT_EQ(level_width(bang, 0), 256);
    EXPECT_STREQ(tex_name(bang), "@tach.png");
    EXPECT_EQ(tex_load("@tach.png"), bang);
    EXPECT_EQ(tex_load("@TACH.png"), bang);
    EXPECT_TRUE(test_console_has("Warning: case mismatch on '@TACH.png'"));
    uint32_t reduced = tex_load("@plain.png");
    EXPECT_EQ(level_width(reduced, 0), 128);
    struct {
        const char *name;
        int s, t;
    } wraps[] = {{"@a-repeat.png", GL_REPEAT, GL_REPEAT},
                 {"@a-hrepeat.png", GL_REPEAT, GL_CLAMP_TO_EDGE},
                 {"@arepeat.png", GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE}};
    for (auto &w : wraps) {
        uint32_t t = tex_load(w.name);
        EXPECT_EQ(parameter(t, GL_TEXTURE_WRAP_S), w.s) << w.name;
        EXPECT_EQ(parameter(t, GL_TEXTURE_WRAP_T), w.t) << w.name;
    }
    // A missing file gives 0, with a message only at a debug level.
    EXPECT_EQ(tex_load("@missing.png"), 0u);
    EXPECT_FALSE(test_console_has("Can't open texture"));
    game_settings.debug_level = 1;
    EXPECT_EQ(tex_load("@missing.png"), 0u);
    EXPECT_TRUE(test_console_has("Can't open texture \"@missing.png\""));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(gfx_texture, NonPowerOfTwoAndFlatPictures) {
    game_file("wide.png", datagen_png(test_random_image(300, 200, 3, 5)));
    game_file("narrow.png", datagen_png(test_random_image(256, 200, 3, 6)));
    game_file("flat.png", datagen_png(test_flat_image(512, 512, 3, {120, 80, 40, 255})));
    struct {
        const char *name;
        int tex_w, tex_h, image_w, image_h;
    } cases[] = {{"@wide.png", 256, 128, 256, 128}, {"@narrow.png", 128, 128, 256, 128}};
    for (auto &c : cases) {
        uint32_t t = tex_load(c.name);
        EXPECT_EQ(level_width(t, 0), c.tex_w) << c.name;
        GLint h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        EXPECT_EQ(h, c.tex_h) << c.name;
        EXPECT_TRUE(test_console_has((std::string("Warning: Non power of 2 texture '") + c.name + "'").c_str()));
        unsigned char *p;
        int w, ih;
        ASSERT_EQ(image_load(c.name, &p, &w, &ih), 1);
        EXPECT_EQ(w, c.image_w);
        EXPECT_EQ(ih, c.image_h);
        EXPECT_STREQ(image_name(p), c.name);
    }
    uint32_t flat = tex_load("@flat.png");
    EXPECT_EQ(level_width(flat, 0), 16);
    EXPECT_TRUE(test_console_has("@flat.png reduced to 16x16 (originally 512x512)"));
}

TEST_F(gfx_texture, GenerationsAndPurge) {
    for (const char *n : {"old.png", "kept.png", "reused.png", "dropped.png", "new.png"})
        game_file(n, datagen_png(test_random_image(16, 16, 3, 7)));
    game_settings.debug_level = 1;
    uint32_t old = tex_load("@old.png");  // before the first reset: generation 0
    texture_generation = 1;
    texture_memory_bytes = 0;
    uint32_t reused = tex_load("@reused.png");
    uint32_t dropped = tex_load("@dropped.png");
    uint32_t bytes_one = (16 * 16 + 8 * 8 + 4 * 4 + 2 * 2 + 1) * 3;
    EXPECT_EQ(texture_memory_bytes, 2 * bytes_one);
    unsigned char *p;
    int w, h;
    ASSERT_EQ(image_load("@dropped.png", &p, &w, &h), 1);
    // The next race: reused textures are stamped and counted again.
    texture_generation = 2;
    texture_memory_bytes = 0;
    EXPECT_EQ(tex_load("@reused.png"), reused);
    EXPECT_EQ(tex_load("@old.png"), old);
    EXPECT_EQ(texture_memory_bytes, bytes_one);
    uint32_t fresh = tex_load("@new.png");
    tex_purge(0);
    EXPECT_TRUE(glIsTexture(old));
    EXPECT_TRUE(glIsTexture(reused));
    EXPECT_TRUE(glIsTexture(fresh));
    EXPECT_FALSE(glIsTexture(dropped));
    EXPECT_EQ(tex_name(dropped), nullptr);
    EXPECT_EQ(image_name(p), nullptr);
    EXPECT_TRUE(test_console_has("deleting tid "));
    EXPECT_TRUE(test_console_has("deleting image @dropped.png"));
    tex_purge(1);
    EXPECT_FALSE(glIsTexture(old));
    EXPECT_EQ(texture_table.count, 0);
}

TEST_F(gfx_texture, LinksAndTheWhiteFallback) {
    game_file("colors/white.png", datagen_png(test_flat_image(4, 4, 3, {255, 255, 255, 255})));
    game_file("target.png", datagen_png(test_random_image(8, 8, 3, 8)));
    game_file("finish.png", "LINK  @target.png \n");
    game_file("a.lnk", "LINK @b.lnk");
    game_file("b.lnk", "LINK @a.lnk");
    game_file("dead.lnk", "LINK @nowhere.png");
    uint32_t target = tex_load("@target.png");
    EXPECT_EQ(tex_load("@finish.png"), target);
    EXPECT_EQ(tex_load("@finish.png"), target);
    EXPECT_EQ(tex_name(target), std::string("@target.png"));
    uint32_t white = tex_load("@a.lnk");
    EXPECT_NE(white, 0u);
    EXPECT_STREQ(tex_name(white), "@colors/white.png");
    EXPECT_EQ(tex_load("@b.lnk"), white);
    EXPECT_EQ(tex_load("@a.lnk"), white);
    EXPECT_EQ(tex_load("@dead.lnk"), 0u);
    EXPECT_EQ(tex_load("@dead.lnk"), white);  // the link now leads to the white texture
}

TEST_F(gfx_texture, CompressionFollowsModeAndInfo) {
    game_file("asks.png", datagen_png(test_random_image(64, 64, 3, 9), {{"Comment", "[compress]"}}));
    game_file("plain.png", datagen_png(test_random_image(64, 64, 3, 10)));
    auto compressed = [&](uint32_t t) {
        GLint c = 0;
        glBindTexture(GL_TEXTURE_2D, t);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &c);
        return c;
    };
    game_settings.texture_compress_mode = 1;
    uint32_t asks = tex_load("@asks.png");
    EXPECT_EQ(compressed(asks), 1);
    EXPECT_STREQ(tex_info(asks), "[compress]");
    EXPECT_EQ(compressed(tex_load("@plain.png")), 0);
    tex_purge(1);
    game_settings.texture_compress_mode = 0;
    EXPECT_EQ(compressed(tex_load("@asks.png")), 0);
    tex_purge(1);
    game_settings.texture_compress_mode = 2;
    texture_memory_bytes = 0;
    uint32_t forced = tex_load("@plain.png");
    EXPECT_EQ(compressed(forced), 1);
    EXPECT_LT(texture_memory_bytes, (uint32_t)(64 * 64 * 3));
}

TEST(gfx_texture_old_gl, NoCompressionBelowVersionTwo) {
    temp_dir dir;
    test_isolate_home(dir);
    setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_shader", 1);
    gl_test_window gl;
    ASSERT_NE(gl.w, nullptr);
    EXPECT_EQ(gl_info.version_major, 1);
    test_write_file(dir.file("game/plain.png"), datagen_png(test_random_image(64, 64, 3, 10)));
    game_settings.texture_compress_mode = 2;
    uint32_t t = tex_load("@plain.png");
    GLint c = 1;
    glBindTexture(GL_TEXTURE_2D, t);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &c);
    EXPECT_EQ(c, 0);
    tex_purge(1);
}

TEST_F(gfx_texture, AnimationsChangeFramesAndTakeCustomFrames) {
    // Three solid frames: red, green (as a PNG beside the file), blue.
    std::string seq = "ANIM1\n3 3 10 1\n0 1 2\n";
    seq += datagen_predictive(test_flat_image(16, 16, 4, {255, 0, 0, 255})) + "\n";
    seq += "PNG @frame1.png\n";
    seq += datagen_predictive(test_flat_image(16, 16, 4, {0, 0, 255, 255})) + "\n";
    game_file("anim.seq", seq);
    game_file("frame1.png", datagen_png(test_flat_image(16, 16, 4, {0, 255, 0, 255})));
    uint32_t t = tex_load("@anim.seq");
    ASSERT_NE(t, 0u);
    EXPECT_STREQ(tex_name(t), "@anim.seq");
    auto pixel = [&](int level) {
        std::vector<unsigned char> px(16 * 16 * 4);
        glBindTexture(GL_TEXTURE_2D, t);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return std::vector<unsigned char>(px.begin(), px.begin() + 4);
    };
    using bytes = std::vector<unsigned char>;
    EXPECT_EQ(pixel(0), (bytes{255, 0, 0, 255}));
    EXPECT_EQ(tex_update_anims(10), 1);
    EXPECT_EQ(pixel(0), (bytes{0, 255, 0, 255}));
    EXPECT_EQ(pixel(4), (bytes{0, 255, 0, 255}));
    tex_anim_stop(t);
    tex_update_anims(25);
    EXPECT_EQ(pixel(0), (bytes{0, 255, 0, 255}));
    tex_anim_start(t, 100);
    tex_update_anims(125);
    EXPECT_EQ(pixel(0), (bytes{0, 0, 255, 255}));
    // A custom frame: the left half of frame 0 pasted over a clear frame.
    EXPECT_EQ(tex_end_custom_frame(t), 0);
    ASSERT_EQ(tex_begin_custom_frame(t), 1);
    EXPECT_EQ(tex_paste_custom_frame(t, 0, 0, 0, 0, 0, 0.5f, 1), 1);
    EXPECT_EQ(tex_paste_custom_frame(t, 3, 0, 0, 0, 0, 0.5f, 1), 0);
    ASSERT_EQ(tex_end_custom_frame(t), 1);
    std::vector<unsigned char> px(16 * 16 * 4);
    glBindTexture(GL_TEXTURE_2D, t);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    EXPECT_EQ(bytes(px.begin(), px.begin() + 4), (bytes{255, 0, 0, 255}));
    EXPECT_EQ(bytes(px.begin() + 15 * 4, px.begin() + 16 * 4), (bytes{0, 0, 0, 0}));
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}
