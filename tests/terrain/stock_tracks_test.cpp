// The stock tracks as the game loads them, measured along the generator's course centreline:
// the course on dirt, a long start straight, berms on the outside of corners, the jumps, and
// ground kinds ordered by grip and rut depth.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "race/track.h"
#include "tests/terrain/terrain_test_support.h"
#include "tools/zrdatagen/trackgen.h"

struct stock_env {
    temp_dir t;
    std::unique_ptr<gl_test_window> window;
    std::unique_ptr<terrain_field> f{new terrain_field{}};
    stock_env() {
        test_isolate_home(t);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        vfs_build_index();
        window.reset(new gl_test_window);
    }
    ~stock_env() {
        terrain_free(f.get());
        track_name = nullptr;
        tex_purge(1);
        vfs_shutdown();
    }
    void load(const char *name) {
        track_name = name;
        track_read_lighting();
        ASSERT_EQ(terrain_load(f.get(), (std::string("@") + name).c_str(), TILE_RENDER_TEXSUBIMAGE), 1);
    }
};

// World position of course point i (wrapping round the closed course).
static vec3 course_point(const terrain_field *f, const datagen_track &track, long i) {
    long count = (long)track.course.size();
    const datagen_course_point &c = track.course[(size_t)(((i % count) + count) % count)];
    return {c.x / 16.0f * f->spacing, 0, c.z / 16.0f * f->spacing};
}

static float course_height(const terrain_field *f, const datagen_track &track, long i) {
    vec3 p = course_point(f, track, i);
    return terrain_height_at(f, p.x, p.z);
}

// Local maxima of the course's height over course points [from, to].
static int course_crests(const terrain_field *f, const datagen_track &track, long from, long to) {
    int crests = 0;
    for (long i = from; i <= to; i++)
        if (course_height(f, track, i) > course_height(f, track, i - 1) &&
            course_height(f, track, i) >= course_height(f, track, i + 1))
            crests++;
    return crests;
}

// Along the course, every point lies on dirt; at the sharpest corner the outer edge stands
// above the inner one.
static void check_course(const terrain_field *f, const datagen_track &track, float half_width, float berm) {
    int q = 1 << f->k;
    long count = (long)track.course.size();
    for (long i = 0; i < count; i++) {
        vec3 p = course_point(f, track, i);
        int tx = (int)(p.x / f->tile_size), tz = (int)(p.z / f->tile_size);
        ASSERT_EQ(f->tile_map[tx + q * tz], 0) << "course point " << i;
    }
    long sharpest = 0;
    float turn = 0;
    for (long i = 0; i < count; i++) {
        vec3 a = course_point(f, track, i) - course_point(f, track, i - 8);
        vec3 b = course_point(f, track, i + 8) - course_point(f, track, i);
        float cross = (a.x * b.z - a.z * b.x) / sqrtf(vec3_length2(a) * vec3_length2(b));
        if (fabsf(cross) > fabsf(turn)) turn = cross, sharpest = i;
    }
    vec3 p = course_point(f, track, sharpest);
    vec3 tangent = course_point(f, track, sharpest + 1) - course_point(f, track, sharpest - 1);
    // This side has tangent x side > 0: the inside of a turn whose cross product is positive.
    vec3 side = vec3{-tangent.z, 0, tangent.x} * (1.0f / sqrtf(vec3_length2(tangent)));
    vec3 outside = turn > 0 ? -side : side;
    vec3 out = p + outside * half_width, in = p - outside * half_width;
    EXPECT_GT(terrain_height_at(f, out.x, out.z) - terrain_height_at(f, in.x, in.z), berm);
}

TEST(terrain_stock_tracks, GroundKinds) {
    stock_env env;
    env.load("tracks/hillside");
    const terrain_field *f = env.f.get();
    ASSERT_EQ(f->kind_count, 4);
    const char *names[] = {"dirt", "grass", "sand", "mud"};
    for (int t = 0; t < 4; t++) {
        const tile_kind &k = f->kinds[t];
        EXPECT_STREQ(k.name, names[t]);
        ASSERT_NE(k.pixels, nullptr);
        EXPECT_EQ(k.width, 256);
        EXPECT_NE(k.roost[0].texture, 0u);
        EXPECT_EQ(k.roost[0].kind, t == 3 ? 2 : 1);
        EXPECT_LE(k.erode.radius, 8.0f);
        EXPECT_LT(k.erode.lower, k.erode.upper);
        EXPECT_LT(k.erode.off_speed, k.erode.on_speed);
        EXPECT_LT(k.erode.slip_lower, k.erode.slip_upper);
        EXPECT_EQ(k.erode.limit_count, 3);
        for (int i = 1; i < k.erode.limit_count; i++) EXPECT_GT(k.erode.limit_depth[i], k.erode.limit_depth[i - 1]);
        if (t > 0) {
            for (int i = 0; i < 3; i++) EXPECT_LT(k.friction_a[i], f->kinds[t - 1].friction_a[i]) << t;
        }
    }
    EXPECT_GT(f->kinds[2].erode.depth, f->kinds[0].erode.depth);   // sand ruts deepest
    EXPECT_GT(f->kinds[3].erode.depth, f->kinds[0].erode.depth);
    EXPECT_LT(f->kinds[1].erode.depth, f->kinds[0].erode.depth);   // grass least
    int counts[4] = {};
    for (int i = 0; i < 256 * 256; i++) counts[f->tile_map[i]]++;
    for (int t = 0; t < 4; t++) EXPECT_GT(counts[t], 100) << names[t];
    EXPECT_GT(counts[1], counts[2]);   // mostly grass
}

TEST(terrain_stock_tracks, Hillside) {
    stock_env env;
    env.load("tracks/hillside");
    const terrain_field *f = env.f.get();
    const datagen_track &track = datagen_hillside_track();
    check_course(f, track, 12.0f, 1.5f);
    // The start straight: over 200 ft in a line, without jumps.
    vec3 a = course_point(f, track, 0), b = course_point(f, track, 100);
    vec3 along = (b - a) * (1.0f / sqrtf(vec3_length2(b - a)));
    EXPECT_GE(sqrtf(vec3_length2(b - a)), 200.0f);
    for (long i = 0; i <= 100; i++) {
        vec3 p = course_point(f, track, i) - a;
        EXPECT_LT(fabsf(p.x * along.z - p.z * along.x), 0.25f) << i;
        EXPECT_LT(fabsf(course_height(f, track, i + 1) - course_height(f, track, i)), 0.5f) << i;
    }
    // The tabletops: 5 ft up at 1:5, 24 ft flat, down at 1:5; then 3 ft with 20 ft flat.
    long table = track.straight_start[5] + 25;
    float before = course_height(f, track, table - 1);
    EXPECT_NEAR(course_height(f, track, table + 13) - before, 5.0f, 1.0f);
    EXPECT_NEAR(course_height(f, track, table + 24) - before, 5.0f, 1.0f);
    EXPECT_NEAR(course_height(f, track, table + 24), course_height(f, track, table + 13), 0.75f);
    EXPECT_NEAR(course_height(f, track, table + 38), before, 1.0f);
    long second = track.straight_start[11] + 20;
    float base = course_height(f, track, second - 1);
    EXPECT_NEAR(course_height(f, track, second + 8) - base, 3.0f, 1.0f);
    EXPECT_NEAR(course_height(f, track, second + 17) - base, 3.0f, 1.0f);
    EXPECT_NEAR(course_height(f, track, second + 26), base, 1.0f);
    // Four whoops.
    long whoops = track.straight_start[7] + 4;
    EXPECT_EQ(course_crests(f, track, whoops, whoops + 48), 4);
}

TEST(terrain_stock_tracks, Practice) {
    stock_env env;
    env.load("tracks/practice");
    const terrain_field *f = env.f.get();
    EXPECT_EQ(f->n, 129);
    EXPECT_EQ(f->extent, 256.0f);
    const datagen_track &track = datagen_practice_track();
    check_course(f, track, 8.0f, 0.5f);
    // The tabletop on the back straight and three rollers on the front one.
    long table = track.straight_start[2] + 6;
    EXPECT_NEAR(course_height(f, track, table + 8) - course_height(f, track, table - 1), 3.0f, 0.5f);
    long rollers = track.straight_start[0] + 2;
    EXPECT_EQ(course_crests(f, track, rollers, rollers + 30), 3);
}
