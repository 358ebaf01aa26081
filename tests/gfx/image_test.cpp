// Image files and mip chains: round trips through every reader, the reduction rules, custom
// mip levels and info texts, and hostile files that must fail cleanly.
#include <zlib.h>

#include "core/mem.h"
#include "core/vfs.h"
#include "gfx/image.h"
#include "tests/gfx/gfx_test_support.h"
#include "tools/zrdatagen/datagen.h"

namespace {

// An open stream over a fixture file.
struct test_stream {
    file_stream *s;
    explicit test_stream(const std::string &path) : s(stream_open(path.c_str(), "rb")) {}
    ~test_stream() { stream_close(s); }
};

std::vector<unsigned char> channels_of(const datagen_image &img, int channels) {
    std::vector<unsigned char> out;
    for (size_t i = 0; i < (size_t)img.width * img.height; i++)
        for (int c = 0; c < channels; c++)
            out.push_back(c < img.channels ? img.pixels[i * img.channels + c] : 0);
    return out;
}

// Reads a predictive file with the asked channels; the chain's lower levels must be the
// reduction of its level 0.
std::vector<unsigned char> read_predictive(const std::string &path, int channels, int *w, int *h) {
    test_stream t(path);
    char magic[16];
    EXPECT_EQ(stream_scanf(t.s, "%15s", magic), 1);
    unsigned char *p = nullptr;
    if (!image_read_predictive(magic, t.s, &p, w, h, channels)) return {};
    std::vector<unsigned char> level0 = test_level0(p, *w, *h, channels);
    std::vector<unsigned char> rebuilt(image_chain_bytes(*w, *h, channels));
    memcpy(rebuilt.data(), p, level0.size());
    image_build_mips(rebuilt.data(), *w, *h, channels, 0);
    EXPECT_EQ(memcmp(rebuilt.data(), p, rebuilt.size()), 0);
    mem_free(p);
    return level0;
}

}  // namespace

TEST(gfx_image, PredictiveRoundTrips) {
    temp_dir t;
    for (auto [w, h] : {std::pair{1, 1}, {3, 5}, {64, 17}}) {
        datagen_image rgba = test_random_image(w, h, 4, (unsigned)(w * 100 + h));
        datagen_image rgb = test_random_image(w, h, 3, (unsigned)(w * 7 + h));
        test_write_file(t.file("a.j7"), datagen_predictive(rgba));
        test_write_file(t.file("a.j6"), datagen_predictive(rgb));
        int rw, rh;
        EXPECT_EQ(read_predictive(t.file("a.j7"), 4, &rw, &rh), rgba.pixels) << w << "x" << h;
        EXPECT_EQ(rw, w);
        EXPECT_EQ(rh, h);
        EXPECT_EQ(read_predictive(t.file("a.j7"), 3, &rw, &rh), channels_of(rgba, 3));
        EXPECT_EQ(read_predictive(t.file("a.j6"), 3, &rw, &rh), rgb.pixels);
        EXPECT_EQ(read_predictive(t.file("a.j6"), 4, &rw, &rh), channels_of(rgb, 4));
    }
    // All-zero residuals give one colour: the first pixel's, predicted everywhere.
    std::string zeros = "J6\n# a comment\n4 3\n" + std::string(4 * 3 * 3, '\0');
    std::string first = "J7 5 2\n" + std::string("\x10\x20\x30\x40", 4) + std::string(9 * 4, '\0');
    test_write_file(t.file("z.j6"), zeros);
    test_write_file(t.file("f.j7"), first);
    int w, h;
    EXPECT_EQ(read_predictive(t.file("z.j6"), 3, &w, &h), std::vector<unsigned char>(36, 0));
    std::vector<unsigned char> want;
    for (int i = 0; i < 10; i++) want.insert(want.end(), {0x10, 0x20, 0x30, 0x40});
    EXPECT_EQ(read_predictive(t.file("f.j7"), 4, &w, &h), want);
}

TEST(gfx_image, PngReadsAndWritesRoundTrip) {
    temp_dir t;
    datagen_image rgba = test_random_image(33, 20, 4, 1);
    datagen_image rgb = test_random_image(16, 9, 3, 2);
    datagen_image grey = test_random_image(7, 5, 1, 3);
    struct {
        const datagen_image &img;
        int channels;
    } cases[] = {{rgba, 4}, {rgb, 3}, {grey, 3}};
    for (auto &c : cases) {
        test_write_file(t.file("p.png"), datagen_png(c.img));
        unsigned char *p;
        int w, h, n;
        char *info = (char *)1;
        ASSERT_EQ(image_read_png(t.file("p.png").c_str(), &p, &w, &h, &n, &info), 1);
        EXPECT_EQ(n, c.channels);
        EXPECT_EQ(info, nullptr);
        std::vector<unsigned char> want;
        for (size_t i = 0; i < (size_t)w * h; i++)
            for (int k = 0; k < n; k++)
                want.push_back(c.img.pixels[i * c.img.channels + (c.img.channels == 1 ? 0 : k)]);
        EXPECT_EQ(test_level0(p, w, h, n), want);
        mem_free(p);
    }
    // 16-bit grey exactly; 8-bit grey widened to s x 257.
    std::vector<uint16_t> samples;
    for (int i = 0; i < 30 * 11; i++) samples.push_back((uint16_t)(i * 2654435761u >> 7));
    test_write_file(t.file("g16.png"), datagen_png_grey16(30, 11, samples));
    uint16_t *s;
    int w, h;
    ASSERT_EQ(image_read_png_grey(t.file("g16.png").c_str(), &s, &w, &h), 1);
    EXPECT_EQ(std::vector<uint16_t>(s, s + w * h), samples);
    mem_free(s);
    ASSERT_EQ(image_read_png_grey(t.file("p.png").c_str(), &s, &w, &h), 1);
    for (int i = 0; i < w * h; i++) ASSERT_EQ(s[i], grey.pixels[i] * 257) << i;
    mem_free(s);

    // The writers: a bottom-up RGB buffer comes back upright; grey samples exactly.
    std::vector<unsigned char> bottom_up(rgb.pixels.size());
    size_t row = (size_t)rgb.width * 3;
    for (int y = 0; y < rgb.height; y++)
        memcpy(&bottom_up[row * (rgb.height - 1 - y)], &rgb.pixels[row * y], row);
    ASSERT_EQ(image_write_png_rgb(t.file("shot.png").c_str(), bottom_up.data(), rgb.width, rgb.height), 1);
    unsigned char *p;
    int n;
    ASSERT_EQ(image_read_png(t.file("shot.png").c_str(), &p, &w, &h, &n, nullptr), 1);
    EXPECT_EQ(test_level0(p, w, h, 3), rgb.pixels);
    mem_free(p);
    ASSERT_EQ(image_write_png_grey(t.file("out16.png").c_str(), samples.data(), 30, 11), 1);
    ASSERT_EQ(image_read_png_grey(t.file("out16.png").c_str(), &s, &w, &h), 1);
    EXPECT_EQ(std::vector<uint16_t>(s, s + w * h), samples);
    mem_free(s);
    EXPECT_FALSE(test_file_exists(t.file("out16.png.tmp")));
    // A write that cannot happen leaves the old file whole.
    test_make_dirs(t.file("out16.png.tmp"));
    EXPECT_EQ(image_write_png_grey(t.file("out16.png").c_str(), samples.data(), 1, 1), 0);
    ASSERT_EQ(image_read_png_grey(t.file("out16.png").c_str(), &s, &w, &h), 1);
    EXPECT_EQ(w * h, 330);
    mem_free(s);
}

TEST(gfx_image, PnmReadersScaleAndSkipComments) {
    temp_dir t;
    // P3 with comments before every header value and between samples, maximum 1023.
    test_write_file(t.file("a.ppm"), "P3\n# c1\n2 # c2\n1\n#c3\n1023\n0 511 1023\n# mid\n1023 1 -5\n");
    unsigned char *p;
    int w, h;
    {
        test_stream s(t.file("a.ppm"));
        char magic[16];
        stream_scanf(s.s, "%15s", magic);
        ASSERT_EQ(image_read_ppm(magic, s.s, &p, &w, &h), 1);
    }
    EXPECT_EQ(test_level0(p, 2, 1, 3), (std::vector<unsigned char>{0, 127, 255, 255, 0, 0}));
    mem_free(p);
    // P6 and J6 through image_read_rgb.
    datagen_image rgb = test_random_image(5, 4, 3, 9);
    std::vector<int> samples(rgb.pixels.begin(), rgb.pixels.end());
    test_write_file(t.file("b.ppm"), datagen_pnm("P6", 5, 4, 255, samples, "made by a test"));
    test_write_file(t.file("b.j6"), datagen_predictive(rgb));
    for (const char *name : {"b.ppm", "b.j6"}) {
        test_stream s(t.file(name));
        ASSERT_EQ(image_read_rgb(s.s, &p, &w, &h), 1) << name;
        EXPECT_EQ(test_level0(p, w, h, 3), rgb.pixels) << name;
        mem_free(p);
    }
    // P2 with maximum 15 and P5.
    test_write_file(t.file("c.pgm"), datagen_pnm("P2", 3, 1, 15, {0, 7, 15}));
    test_write_file(t.file("d.pgm"), datagen_pnm("P5", 2, 2, 255, {1, 2, 3, 250}));
    struct {
        const char *name;
        std::vector<unsigned char> want;
    } grey[] = {{"c.pgm", {0, 119, 255}}, {"d.pgm", {1, 2, 3, 250}}};
    for (auto &g : grey) {
        test_stream s(t.file(g.name));
        ASSERT_EQ(image_read_pgm(s.s, &p, &w, &h), 1) << g.name;
        EXPECT_EQ(std::vector<unsigned char>(p, p + w * h), g.want) << g.name;
        mem_free(p);
    }
}

// Rewrites the IHDR sides of a PNG and its CRC.
static std::string png_with_sides(std::string png, uint32_t w, uint32_t h) {
    for (int i = 0; i < 4; i++) {
        png[16 + i] = (char)(w >> (24 - 8 * i));
        png[20 + i] = (char)(h >> (24 - 8 * i));
    }
    uLong crc = crc32(0, (const Bytef *)png.data() + 12, 17);
    for (int i = 0; i < 4; i++) png[29 + i] = (char)(crc >> (24 - 8 * i));
    return png;
}

TEST(gfx_image, HostileFilesFailCleanly) {
    temp_dir t;
    datagen_image small = test_random_image(8, 8, 3, 4);
    std::string png = datagen_png(small);
    std::string j7 = datagen_predictive(test_random_image(8, 8, 4, 5));
    std::string bad_crc = png;
    bad_crc[30] ^= 0x55;
    std::string idat_cut = png.substr(0, png.find("IDAT") + 60);
    struct {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"J7 side -1", "J7\n-1 4\n" + std::string(64, '\1')},
        {"J7 side 0", "J7\n0 4\n" + std::string(64, '\1')},
        {"J7 side 16385", "J7\n16385 1\n" + std::string(64, '\1')},
        {"J7 side 2147483647", "J7\n2147483647 2147483647\n" + std::string(64, '\1')},
        {"J7 side 99999999999", "J7\n99999999999 1\n" + std::string(64, '\1')},
        {"J6 no height", "J6\n4 x\n"},
        {"J7 cut short", j7.substr(0, j7.size() - 1)},
        {"P6 maximum 0", "P6\n2 2\n0\n" + std::string(12, '\1')},
        {"P6 maximum 256", "P6\n2 2\n256\n" + std::string(24, '\1')},
        {"P6 cut short", "P6\n2 2\n255\n" + std::string(11, '\1')},
        {"P3 maximum 65536", "P3\n1 1\n65536\n1 2 3\n"},
        {"P3 missing value", "P3\n1 1\n255\n1 2\n"},
        {"P3 side -1", "P3\n-1 1\n255\n1 2 3\n"},
        {"P5 maximum 256", "P5\n2 1\n256\n" + std::string(4, '\1')},
        {"P2 cut short", "P2\n2 2\n255\n1 2 3\n"},
        {"P3 sample above the maximum", "P3\n1 1\n15\n1 2 16\n"},
        {"P3 sample of 30 digits", "P3\n1 1\n1023\n1 2 " + std::string(30, '9') + "\n"},
        {"P2 sample above the maximum", "P2\n2 1\n255\n1 256\n"},
        {"P5 cut short", "P5\n4 4\n255\n" + std::string(15, '\1')},
        {"PNG bad signature", "\x88" + png.substr(1)},
        {"PNG bad IHDR CRC", bad_crc},
        {"PNG IDAT cut", idat_cut},
        {"PNG 100000 x 100000", png_with_sides(png, 100000, 100000)},
        {"PNG 16385 x 1", png_with_sides(png, 16385, 1)},
        {"empty", ""},
    };
    for (auto &c : cases) {
        test_write_file(t.file("bad"), c.bytes);
        unsigned char *p = nullptr;
        int w, h, n;
        uint16_t *s = nullptr;
        char magic[16] = "";
        {
            test_stream st(t.file("bad"));
            ASSERT_NE(st.s, nullptr);
            stream_scanf(st.s, "%15s", magic);
            if (magic[0] == 'J')
                EXPECT_EQ(image_read_predictive(magic, st.s, &p, &w, &h, 4), 0) << c.what;
            else
                EXPECT_EQ(image_read_ppm(magic, st.s, &p, &w, &h), 0) << c.what;
        }
        {
            test_stream st(t.file("bad"));
            EXPECT_EQ(image_read_pgm(st.s, &p, &w, &h), 0) << c.what;
        }
        EXPECT_EQ(image_read_png(t.file("bad").c_str(), &p, &w, &h, &n, nullptr), 0) << c.what;
        EXPECT_EQ(image_read_png_grey(t.file("bad").c_str(), &s, &w, &h), 0) << c.what;
        EXPECT_EQ(image_load_rgba(t.file("bad").c_str(), &p, &w, &h), 0) << c.what;
    }
    EXPECT_EQ(image_read_png(t.file("missing.png").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

// Sides from a header are only trusted as far as the file can hold their samples: a header
// alone fails before anything its size is allocated, plain or gzip-compressed.
TEST(gfx_image, HugeSidesWithoutTheirDataFailBeforeAllocating) {
    if (!test_watch_allocations()) GTEST_SKIP() << "no allocation hooks in this build";
    temp_dir t;
    std::string png = datagen_png(test_random_image(8, 8, 3, 4));
    std::string j7 = "J7\n16384 16384\n";
    struct {
        const char *what;
        std::string file, bytes;
    } cases[] = {
        {"J7 header", "h.img", j7},
        {"J6 header and a row", "h.img", "J6\n16384 16384\n" + std::string(16384 * 3, '\1')},
        {"P6 header", "h.img", "P6\n16384 16384\n255\n"},
        {"P3 header and samples", "h.img", "P3\n16384 16384\n255\n1 2 3 4 5 6\n"},
        {"P5 header", "h.img", "P5\n16384 16384\n255\n" + std::string(4096, '\1')},
        {"P2 header", "h.img", "P2\n16384 16384\n255\n1 2 3\n"},
        {"PNG 16384 x 16384", "h.img", png_with_sides(png, 16384, 16384)},
        {"J7 header, gzip", "h.img.gz", datagen_gzip(j7 + std::string(1000, '\0'))},
    };
    for (auto &c : cases) {
        remove(t.file("h.img").c_str());
        remove(t.file("h.img.gz").c_str());
        test_write_file(t.file(c.file), c.bytes);
        std::string name = t.file("h.img");
        unsigned char *p = nullptr;
        int w, h;
        test_watch_allocations();
        {
            test_stream st(name);
            ASSERT_NE(st.s, nullptr) << c.what;
            if (c.bytes[0] == 'P' && (c.bytes[1] == '5' || c.bytes[1] == '2'))
                EXPECT_EQ(image_read_pgm(st.s, &p, &w, &h), 0) << c.what;
            else
                EXPECT_EQ(image_read_rgb(st.s, &p, &w, &h), 0) << c.what;
        }
        EXPECT_EQ(image_load_rgba(name.c_str(), &p, &w, &h), 0) << c.what;
        EXPECT_LT(test_largest_allocation(), (size_t)1 << 20) << c.what;
    }
}

TEST(gfx_image, HalvingRules) {
    EXPECT_EQ(image_chain_bytes(1, 1, 4), 4u);
    EXPECT_EQ(image_chain_bytes(64, 16, 3), (64 * 16 + 32 * 8 + 16 * 4 + 8 * 2 + 4 + 2 + 1) * 3u);
    EXPECT_EQ(image_chain_bytes(300, 200, 4), (size_t)(300 * 200 + 150 * 100 + 75 * 50 + 37 * 25 + 18 * 12 +
                                                        9 * 6 + 4 * 3 + 2 * 1 + 1) * 4);
    // 1 x 1: one level, never halved.
    unsigned char one[4] = {1, 2, 3, 4};
    image_build_mips_rgba(one, 1, 1);
    EXPECT_EQ(std::vector<unsigned char>(one, one + 4), (std::vector<unsigned char>{1, 2, 3, 4}));
    // 4 x 1 RGBA: pairs, alpha-weighted.
    unsigned char line[7 * 4] = {200, 0, 0, 255, 0, 200, 0, 0, 10, 20, 30, 100, 30, 40, 50, 100};
    image_build_mips_rgba(line, 4, 1);
    EXPECT_EQ(std::vector<unsigned char>(line + 16, line + 28),
              (std::vector<unsigned char>{200, 0, 0, 127, 20, 30, 40, 100, 120, 13, 17, 113}));
    // One opaque red pixel and three transparent ones: pure red, alpha averaged or maximum.
    for (int flags : {0, IMAGE_MIP_MAX_ALPHA}) {
        unsigned char block[5 * 4] = {255, 0, 0, 255, 9, 9, 9, 0, 50, 60, 70, 0, 1, 2, 3, 0};
        image_build_mips(block, 2, 2, 4, flags);
        EXPECT_EQ(std::vector<unsigned char>(block + 16, block + 20),
                  (std::vector<unsigned char>{255, 0, 0, (unsigned char)(flags ? 255 : 63)}));
    }
    // Any other channel count: plain truncated averages.
    unsigned char rgb[5 * 3] = {10, 20, 30, 11, 21, 31, 12, 22, 32, 13, 23, 34};
    image_build_mips_rgb(rgb, 2, 2);
    EXPECT_EQ(std::vector<unsigned char>(rgb + 12, rgb + 15), (std::vector<unsigned char>{11, 21, 31}));
}

TEST(gfx_image, InfoTextAndCustomLevels) {
    temp_dir t;
    // Texts before the image data, after it, then the side file.
    datagen_image img = test_random_image(8, 8, 4, 6);
    test_write_file(t.file("i.png"), datagen_png(img, {{"Comment", "one "}, {"Title", "two "}},
                                                 {{"Comment", "[mip_max_alpha] "}}));
    test_write_file(t.file("i.png.info"), datagen_info_file({"[compress]"}));
    unsigned char *p;
    int w, h, n;
    char *info;
    ASSERT_EQ(image_read_png(t.file("i.png").c_str(), &p, &w, &h, &n, &info), 1);
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info, "one two [mip_max_alpha] [compress]\n");
    std::vector<unsigned char> chain(image_chain_bytes(8, 8, 4));
    memcpy(chain.data(), p, 8 * 8 * 4);
    image_build_mips(chain.data(), 8, 8, 4, IMAGE_MIP_MAX_ALPHA);
    EXPECT_EQ(memcmp(chain.data(), p, chain.size()), 0);
    mem_free(p);
    mem_free(info);
    // A side file is read up to 64 KiB.
    test_write_file(t.file("i.png.info"), std::string(100000, 'x'));
    ASSERT_EQ(image_read_png(t.file("i.png").c_str(), &p, &w, &h, &n, &info), 1);
    EXPECT_EQ(strlen(info), strlen("one two [mip_max_alpha] ") + IMAGE_INFO_MAX);
    mem_free(p);
    mem_free(info);

    // 64 x 96 with custom levels: level 0 is the top 64 x 64, level 1 below it at the left,
    // levels 2... stacked downwards from (32, 64).
    datagen_image custom = test_random_image(64, 96, 3, 7);
    test_write_file(t.file("c.png"), datagen_png(custom));
    test_write_file(t.file("c.png.info"), "[mip_custom]");
    ASSERT_EQ(image_read_png(t.file("c.png").c_str(), &p, &w, &h, &n, nullptr), 1);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    auto at = [&](int x, int y) { return &custom.pixels[((size_t)y * 64 + x) * 3]; };
    const unsigned char *level = p;
    struct {
        int x, y, side;
    } levels[] = {{0, 0, 64}, {0, 64, 32}, {32, 64, 16}, {32, 80, 8}, {32, 88, 4},
                  {32, 92, 2}, {32, 94, 1}};
    for (auto &l : levels) {
        for (int y = 0; y < l.side; y++)
            ASSERT_EQ(memcmp(level + (size_t)y * l.side * 3, at(l.x, l.y + y), (size_t)l.side * 3), 0)
                << "level of side " << l.side << " row " << y;
        level += (size_t)l.side * l.side * 3;
    }
    mem_free(p);
    // Layouts that do not fit: the warning, and the whole picture is level 0.
    for (auto [cw, ch] : {std::pair{64, 100}, {1, 6}}) {
        console_clear();
        datagen_image odd = test_random_image(cw, ch, 4, 8);
        test_write_file(t.file("odd.png"), datagen_png(odd, {{"Comment", "[mip_custom]"}}));
        ASSERT_EQ(image_read_png(t.file("odd.png").c_str(), &p, &w, &h, &n, nullptr), 1);
        EXPECT_EQ(w, cw);
        EXPECT_EQ(h, ch);
        EXPECT_EQ(test_level0(p, w, h, 4), odd.pixels);
        EXPECT_TRUE(test_console_has("Warning: Invalid height for custom MIP map in '"));
        mem_free(p);
    }
    // A 1 x 3 picture holds its two levels.
    datagen_image thin = test_random_image(1, 3, 3, 10);
    test_write_file(t.file("thin.png"), datagen_png(thin, {{"Comment", "[mip_custom]"}}));
    ASSERT_EQ(image_read_png(t.file("thin.png").c_str(), &p, &w, &h, &n, nullptr), 1);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(test_level0(p, 1, 3, 3), thin.pixels);
    mem_free(p);
}

TEST(gfx_image, LoadRgbaWidensPngAndReadsPredictive) {
    temp_dir t;
    datagen_image rgb = test_random_image(4, 2, 3, 11);
    test_write_file(t.file("a.png"), datagen_png(rgb));
    datagen_image rgba = test_random_image(4, 4, 4, 12);
    test_write_file(t.file("b.png"), datagen_predictive(rgba));  // J7 bytes under a PNG name
    unsigned char *p;
    int w, h;
    ASSERT_EQ(image_load_rgba(t.file("a.png").c_str(), &p, &w, &h), 1);
    // Every level is widened, alpha 255.
    size_t pixels = image_chain_bytes(4, 2, 3) / 3;
    for (size_t i = 0; i < pixels; i++) ASSERT_EQ(p[4 * i + 3], 255) << i;
    EXPECT_EQ(test_level0(p, 1, 1, 3), test_level0(rgb.pixels.data(), 1, 1, 3));
    mem_free(p);
    ASSERT_EQ(image_load_rgba(t.file("b.png").c_str(), &p, &w, &h), 1);
    EXPECT_EQ(test_level0(p, w, h, 4), rgba.pixels);
    mem_free(p);
}
