// Decals: the bins, the "decals" file with its bad lines kept, its limits, the round trip through
// a save, and the software raster.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/stream.h"
#include "race/track.h"
#include "terrain/decal.h"
#include "terrain/tile.h"
#include "tests/terrain/memory_field.h"
#include "tests/terrain/terrain_test_support.h"
#include "tools/zrdatagen/datagen.h"

namespace {
// A memory field of extent 800 with an empty decal list.
struct decal_field {
    memory_field m{2 * 64 + 1, 6.25f, [](int, int) { return 0.0f; }};
    decal_field() {
        m->extent = 800;
        m->render_mode = TILE_RENDER_TEXSUBIMAGE;
        decal_list_create(m.get());
    }
    ~decal_field() { decal_list_free(m.get()); }
    terrain_field *operator->() { return m.get(); }
    int add(float x, float z, float size, float aspect = 1, float angle = 0) {
        decal d{};
        d.x = x, d.z = z, d.size = size, d.aspect = aspect, d.angle = angle;
        d.sin = sinf(angle), d.cos = cosf(angle);
        plyx_array_append(&m->decals, &d);
        return m->decals.count - 1;
    }
    std::vector<int> bin(int i, int j) {
        const growable_array &b = m->decal_bins[i][j];
        return std::vector<int>((int *)b.items, (int *)b.items + b.count);
    }
    std::vector<int> query(float x0, float z0, float x1, float z1) {
        int count;
        const int *p = decal_bins_query(m.get(), x0, z0, x1, z1, &count);
        return std::vector<int>(p, p + count);
    }
};
}  // namespace

TEST(terrain_decal, Bins) {
    decal_field f;
    // Across x = extent / 2: bins 3 and 4 of its row; a query inside bin 3 is bin 3's own list.
    int across = f.add(400, 150, 20);
    decal_bins_insert(f.m.get(), across);
    EXPECT_EQ(f.bin(1, 3), std::vector<int>{0});
    EXPECT_EQ(f.bin(1, 4), std::vector<int>{0});
    int count;
    const int *own = decal_bins_query(f.m.get(), 310, 110, 390, 190, &count);
    EXPECT_EQ(own, (const int *)f->decal_bins[1][3].items);
    // Inserting 5 into a bin holding 2 and 7 gives 2, 5, 7.
    growable_array &b = f->decal_bins[6][6];
    for (int v : {2, 7}) plyx_array_append(&b, &v);
    for (int i = 1; i < 6; i++) f.add(650, 650, 10);
    decal_bins_insert(f.m.get(), 5);
    EXPECT_EQ(f.bin(6, 6), (std::vector<int>{2, 5, 7}));
    // A query over bins holding 2, 5 and 5, 7 gives 2, 5, 7.
    growable_array &c = f->decal_bins[6][5];
    for (int v : {5, 7}) plyx_array_append(&c, &v);
    b.count = 0;
    for (int v : {2, 5}) plyx_array_append(&b, &v);
    EXPECT_EQ(f.query(610, 610, 690, 690), (std::vector<int>{2, 5}));
    EXPECT_EQ(f.query(550, 610, 690, 690), (std::vector<int>{2, 5, 7}));
    // After decal 3 leaves the list, shifting turns 4, 9 into 3, 8.
    growable_array &d = f->decal_bins[0][0];
    for (int v : {4, 9}) plyx_array_append(&d, &v);
    decal_bins_shift_indexes(f.m.get(), 3, -1);
    EXPECT_EQ(f.bin(0, 0), (std::vector<int>{3, 8}));
    // Outside the field: the border bins.
    EXPECT_EQ(decal_bin_of(f.m.get(), -300), 0);
    EXPECT_EQ(decal_bin_of(f.m.get(), 1500), 7);
    EXPECT_EQ(decal_bin_of(f.m.get(), NAN), 0);
    // Removing takes the decal out of every bin its box touches.
    decal_bins_remove(f.m.get(), across);
    EXPECT_TRUE(f.bin(1, 3).empty());
    EXPECT_TRUE(f.bin(1, 4).empty());
    // Size 600 under the large-decal workaround: 4 x 4 sub-quads.
    EXPECT_EQ(decal_subdivisions(f.m.get(), 600), 1);
    f->large_decal_workaround = 1;
    EXPECT_EQ(decal_subdivisions(f.m.get(), 600), 4);
    EXPECT_EQ(decal_subdivisions(f.m.get(), 256), 1);
    EXPECT_EQ(decal_subdivisions(f.m.get(), 300), 2);
}

// The fixture track (extent 256) with a decal image and a "decals" file.
static track_files decal_track(const std::string &decals) {
    track_files t = fixture_track();
    t["paint.png"] = datagen_png(test_flat_image(8, 8, 4, {250, 250, 250, 255}));
    t["decals"] = decals;
    return t;
}

TEST(terrain_decal, FileLinesAreCheckedKeptAndWrittenBack) {
    terrain_env env;
    std::string long_line = "[1 2] 0 3 1 " + std::string(5000, 'x');
    std::string file = "[100 120] 0.5 8 2 @tracks/decals/paint.png\n"   // 1 good
                       "[10 10] 0 3 1\n"                                    // 2 five values
                       "[nan 10] 0 3 1 @tracks/decals/paint.png\n"          // 3
                       "[10 10] 0 1e39 1 @tracks/decals/paint.png\n"        // 4
                       "[10 10] 0 0 1 @tracks/decals/paint.png\n"           // 5 size 0
                       "[1e9 10] 0 3 1 @tracks/decals/paint.png\n"          // 6
                       "[50 60] 0 4 1 @tracks/decals/missing.png\n"         // 7 unloadable
                       + long_line + "\n";                                   // 8
    write_track(env.t, "decals", decal_track(file));
    track_name = "tracks/decals";
    ASSERT_EQ(env.load("decals"), 1);
    terrain_field *f = env.f.get();
    ASSERT_NE(f->decals.items, nullptr);
    ASSERT_EQ(f->decals.count, 2);
    const decal &good = *decal_at(f, 0), &missing = *decal_at(f, 1);
    EXPECT_EQ(good.x, 100.0f);
    EXPECT_NE(good.pixels, nullptr);
    EXPECT_EQ(missing.pixels, nullptr);
    EXPECT_STREQ(missing.name, "@tracks/decals/missing.png");
    for (int line : {2, 3, 4, 5, 6, 8}) {
        std::string warning = "Warning: bad decal line " + std::to_string(line) + " in '@tracks/decals/decals'";
        EXPECT_TRUE(test_console_has(warning.c_str())) << line;
    }
    EXPECT_FALSE(test_console_has("Warning: bad decal line 1 "));
    EXPECT_FALSE(test_console_has("Warning: bad decal line 7 "));
    EXPECT_EQ(f->decal_kept_lines.count, 6);
    // Saved and loaded again: the same decals and the same kept lines.
    ASSERT_EQ(terrain_save(f), 1);
    std::string saved = test_read_file(env.t.file("xdg/ZR Simulator/tracks/decals/decals"));
    EXPECT_NE(saved.find("[10 10] 0 3 1\n"), std::string::npos);
    EXPECT_NE(saved.find(long_line + "\n"), std::string::npos);
    EXPECT_NE(saved.find("missing.png"), std::string::npos);
    std::vector<decal> before((decal *)f->decals.items, (decal *)f->decals.items + f->decals.count);
    console_clear();
    ASSERT_EQ(env.load("decals"), 1);
    ASSERT_EQ(f->decals.count, 2);
    for (int i = 0; i < 2; i++) {
        const decal &d = *decal_at(f, i);
        EXPECT_EQ(d.x, before[i].x);
        EXPECT_EQ(d.z, before[i].z);
        EXPECT_EQ(d.angle, before[i].angle);
        EXPECT_EQ(d.size, before[i].size);
        EXPECT_EQ(d.aspect, before[i].aspect);
        EXPECT_STREQ(d.name, before[i].name);
    }
    EXPECT_EQ(f->decal_kept_lines.count, 6);
    track_name = nullptr;
}

TEST(terrain_decal, ManyLinesAndHugeFiles) {
    terrain_env env;
    std::string many;
    for (int i = 0; i < 70000; i++) many += "[5 5] 0 1 1 x.png\n";
    write_track(env.t, "many", decal_track(many));
    ASSERT_EQ(env.load("many"), 1);
    EXPECT_EQ(env.f->decals.count, DECAL_LIST_MAX);
    EXPECT_EQ(env.f->decal_kept_lines.count, 70000 - DECAL_LIST_MAX);
    std::string huge(5 << 20, ' ');
    write_track(env.t, "huge", decal_track(huge));
    console_clear();
    ASSERT_EQ(env.load("huge"), 1);
    EXPECT_EQ(env.f->decals.items, nullptr);   // no list: no save writes over the file
    EXPECT_TRUE(test_console_has("Warning: '@tracks/huge/decals' is too large; decals not loaded"));
}

// ---- Software raster -------------------------------------------------------------------------

static std::vector<unsigned char> rgba(int w, int h, unsigned char r, unsigned char g, unsigned char b,
                                       unsigned char a) {
    std::vector<unsigned char> p((size_t)w * h * 4);
    for (size_t i = 0; i < p.size(); i += 4) p[i] = r, p[i + 1] = g, p[i + 2] = b, p[i + 3] = a;
    return p;
}

// Draws a rectangle (corners p, image coordinates uv) as two triangles.
static void raster_quad(std::vector<unsigned char> &buf, int S, const float p[8], const std::vector<unsigned char> &img,
                        int w, int h) {
    const float uv[8] = {0, 0, (float)w, 0, (float)w, (float)h, 0, (float)h};
    for (auto t : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
        float tp[6], tuv[6];
        for (int c = 0; c < 3; c++)
            tp[2 * c] = p[2 * t[c]], tp[2 * c + 1] = p[2 * t[c] + 1], tuv[2 * c] = uv[2 * t[c]],
                    tuv[2 * c + 1] = uv[2 * t[c] + 1];
        decal_raster_triangle(buf.data(), S, tp, tuv, img.data(), w, h);
    }
}

TEST(terrain_decal, SoftwareRaster) {
    const int S = 32;
    // An opaque axis-aligned 10 x 10 decal changes exactly the texels whose centres lie inside.
    for (float shift : {0.0f, 0.3f, 0.5f}) {
        std::vector<unsigned char> buf((size_t)S * S * 3, 40);
        auto img = rgba(4, 4, 200, 100, 50, 255);
        float x0 = 5 + shift, y0 = 7 + shift;
        const float p[8] = {x0, y0, x0 + 10, y0, x0 + 10, y0 + 10, x0, y0 + 10};
        raster_quad(buf, S, p, img, 4, 4);
        int wrong = 0;
        for (int y = 0; y < S; y++)
            for (int x = 0; x < S; x++) {
                // A centre on the top or left edge belongs inside, on the bottom or right outside.
                bool inside = x + 0.5f >= x0 && x + 0.5f < x0 + 10 && y + 0.5f >= y0 && y + 0.5f < y0 + 10;
                const unsigned char *t = &buf[3 * ((size_t)y * S + x)];
                wrong += inside ? !(t[0] == 200 && t[1] == 100 && t[2] == 50) : !(t[0] == 40 && t[1] == 40);
            }
        EXPECT_EQ(wrong, 0) << shift;
    }
    // Alpha 0 leaves the ground, alpha 255 replaces it.
    for (int a : {0, 255}) {
        std::vector<unsigned char> buf((size_t)S * S * 3, 40);
        auto img = rgba(2, 2, 220, 10, 10, (unsigned char)a);
        const float p[8] = {0, 0, 32, 0, 32, 32, 0, 32};
        raster_quad(buf, S, p, img, 2, 2);
        EXPECT_EQ(buf[3 * (16 * S + 16)], a ? 220 : 40);
    }
    // A turned decal hanging over the buffer, and a flat triangle, write nothing outside it
    // (the guard bytes stay, and ASan sees no stray write).
    std::vector<unsigned char> guarded((size_t)(S * S + 2 * S) * 3, 7);
    unsigned char *inner = guarded.data() + 3 * S;
    auto img = rgba(16, 16, 255, 255, 255, 255);
    float c = cosf(0.5236f), s = sinf(0.5236f);
    float p[8];
    const float own[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int k = 0; k < 4; k++) {
        p[2 * k] = 28 + 20 * (own[k][0] * c - own[k][1] * s);
        p[2 * k + 1] = 4 + 20 * (own[k][0] * s + own[k][1] * c);
    }
    std::vector<unsigned char> view(inner, inner + (size_t)S * S * 3);
    raster_quad(view, S, p, img, 16, 16);
    const float flat[6] = {3, 5, 20, 5, 40, 5}, uv[6] = {0, 0, 16, 0, 16, 16};
    decal_raster_triangle(view.data(), S, flat, uv, img.data(), 16, 16);
    long painted = 0;
    for (size_t i = 0; i < view.size(); i += 3) painted += view[i] == 255;
    EXPECT_GT(painted, 50);
    memcpy(inner, view.data(), view.size());
    for (int i = 0; i < 3 * S; i++) {
        EXPECT_EQ(guarded[i], 7);
        EXPECT_EQ(guarded[guarded.size() - 1 - i], 7);
    }
}

TEST(terrain_decal, StockDecalsLoadAndRoundTripByteForByte) {
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    gl_test_window window(320, 320);
    std::unique_ptr<terrain_field> f(new terrain_field{});
    struct {
        const char *name;
        std::string bytes;
        int count;
    } tracks[] = {{"tracks/practice", datagen_practice_decals(), 6}, {"tracks/hillside", datagen_hillside_decals(), 20}};
    for (auto &track : tracks) {
        console_clear();
        track_name = track.name;
        track_read_lighting();
        ASSERT_EQ(terrain_load(f.get(), (std::string("@") + track.name).c_str(), TILE_RENDER_TEXSUBIMAGE), 1);
        ASSERT_NE(f->decals.items, nullptr);
        EXPECT_EQ(f->decals.count, track.count) << track.name;
        EXPECT_EQ(f->decal_kept_lines.count, 0);
        for (int i = 0; i < f->decals.count; i++) {
            const decal &d = *decal_at(f.get(), i);
            EXPECT_NE(d.pixels, nullptr) << d.name;
            EXPECT_TRUE(d.x > 0 && d.x < f->extent && d.z > 0 && d.z < f->extent) << track.name << " " << i;
            // Each picture's width / height is its decals' aspect.
            EXPECT_EQ((float)d.width / (float)d.height, d.aspect) << d.name;
            // On the course: the tile under the centre is dirt.
            int q = 1 << f->k, tx = (int)(d.x / f->tile_size), tz = (int)(d.z / f->tile_size);
            EXPECT_EQ(f->tile_map[tx + q * tz], 0) << track.name << " decal " << i;
        }
        EXPECT_STREQ(decal_at(f.get(), 0)->name, "@decals/startline.png");
        ASSERT_EQ(terrain_save(f.get()), 1);
        EXPECT_EQ(test_read_file(t.file(std::string("xdg/ZR Simulator/") + track.name + "/decals")), track.bytes);
        terrain_free(f.get());
    }
    track_name = nullptr;
    tex_purge(1);
    vfs_shutdown();
}
