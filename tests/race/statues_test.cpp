// Statue and billboard rows: colour tags, the depth-sort space, poses on the ground, the maps
// and shapes a statue loads, freeing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bike/shape.h"
#include "core/console.h"
#include "core/mem.h"
#include "core/settings.h"
#include "race/objects.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tests/race/objects_test_support.h"
#include "tests/support/test_support.h"
#include "tests/terrain/memory_field.h"

TEST(race_statues, BillboardColourTags) {
    fake_loads loads;
    const struct {
        const char *text;
        uint8_t r, g, b;
        const char *loaded;   // the name the texture loads as
    } cases[] = {
        {"#ff8000#@flag.png", 255, 128, 0, "@flag.png"},
        {"#FF8000#x", 255, 128, 0, "x"},
        {"#ff80g0#@flag.png", 255, 255, 255, "#ff80g0#@flag.png"},   // not hexadecimal
        {"#ff8000#", 255, 128, 0, ""},                               // a tag and no name: no texture
        {"@tree.png", 255, 255, 255, "@tree.png"},
    };
    for (const auto &c : cases) {
        int row = track_add_billboard(1, 2, 3, 10, 0.5f, c.text);
        ASSERT_GE(row, 0) << c.text;
        const billboard &b = ((const billboard *)track_billboards.items)[row];
        EXPECT_EQ(b.r, c.r) << c.text;
        EXPECT_EQ(b.g, c.g) << c.text;
        EXPECT_EQ(b.b, c.b) << c.text;
        EXPECT_EQ(b.a, 255) << c.text;
        EXPECT_EQ(fake_loads::name_of(b.texture), c.loaded) << c.text;
    }
    // No name: no texture. Each row brings two zeroed entries of the depth-sort space.
    int row = track_add_billboard(0, 0, 0, 1, 1, nullptr);
    EXPECT_EQ(((const billboard *)track_billboards.items)[row].texture, 0);
    EXPECT_EQ(track_billboards.count, 6);
    EXPECT_EQ(billboard_order.count, 12);
    for (int i = 0; i < billboard_order.count; i++) EXPECT_EQ(((int32_t *)billboard_order.items)[i], 0);
}

TEST(race_statues, BillboardStandsOnTheGround) {
    fake_loads loads;
    memory_field field(9, 2.0f, [](int x, int) { return 0.5f * x; });
    terrain_field *saved = terrain_current;
    terrain_current = field.get();
    int row = track_add_billboard(4, 1.5f, 6, 10, 0.5f, "@tree.png");
    const billboard &b = ((const billboard *)track_billboards.items)[row];
    EXPECT_FLOAT_EQ(b.y, 0.5f * 2 + 1.5f);
    EXPECT_EQ(b.height_offset, 1.5f);
    EXPECT_EQ(b.size, 10.0f);
    EXPECT_EQ(b.aspect, 0.5f);
    EXPECT_EQ(b.depth_key, 0);
    terrain_current = saved;
}

// The columns of a row-major orientation: right, up, forward.
static void columns(const float m[9], float r[3], float n[3], float c[3]) {
    for (int i = 0; i < 3; i++) {
        r[i] = m[3 * i];
        n[i] = m[3 * i + 1];
        c[i] = m[3 * i + 2];
    }
}

TEST(race_statues, OrientationOnTheGround) {
    fake_loads loads;
    // A slope rising 0.5 ft per ft along x.
    memory_field field(33, 2.0f, [](int x, int) { return 1.0f * x; });
    terrain_field *saved = terrain_current;
    terrain_current = field.get();
    float m[9], r[3], n[3], c[3];
    const float k = 1 / sqrtf(1.25f);

    // yaw >= 3.25: unturned and untilted, with its rotation-free value.
    int row = track_add_statue(10, 0, 10, 4, "@a.jm", nullptr, nullptr);
    const statue *s = (const statue *)track_statues.items;
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    EXPECT_EQ(memcmp(s[row].orientation, identity, sizeof identity), 0);
    EXPECT_EQ(s[row].rotation_free, 16.0f);
    EXPECT_FLOAT_EQ(s[row].y, 5.0f);

    // Tilted to the slope: up is the ground's normal, right stays level.
    track_orient_to_ground(m, 10, 10, 0);
    columns(m, r, n, c);
    EXPECT_NEAR(n[0], -0.5f * k, 1e-6);
    EXPECT_NEAR(n[1], k, 1e-6);
    EXPECT_NEAR(n[2], 0, 1e-6);
    EXPECT_NEAR(c[0], 0, 1e-6);
    EXPECT_NEAR(c[2], 1, 1e-6);
    EXPECT_NEAR(r[0] * n[0] + r[1] * n[1] + r[2] * n[2], 0, 1e-6);

    // yaw <= -2 pi: turned by yaw, upright on the same slope.
    track_orient_to_ground(m, 10, 10, -7);
    columns(m, r, n, c);
    EXPECT_NEAR(n[1], 1, 1e-6);
    EXPECT_NEAR(c[0], sinf(-7), 1e-6);
    EXPECT_NEAR(c[2], cosf(-7), 1e-6);
    EXPECT_NEAR(r[0], cosf(-7), 1e-6);
    EXPECT_NEAR(r[2], -sinf(-7), 1e-6);
    terrain_current = saved;

    // Flat ground: right (cos a, 0, -sin a), forward (sin a, 0, cos a).
    memory_field flat(9, 2.0f, [](int, int) { return 3.0f; });
    terrain_current = flat.get();
    for (float a : {0.0f, 0.7f, -2.0f, 3.0f}) {
        track_orient_to_ground(m, 4, 4, a);
        columns(m, r, n, c);
        EXPECT_NEAR(r[0], cosf(a), 1e-6) << a;
        EXPECT_NEAR(r[2], -sinf(a), 1e-6) << a;
        EXPECT_NEAR(c[0], sinf(a), 1e-6) << a;
        EXPECT_NEAR(c[2], cosf(a), 1e-6) << a;
        EXPECT_NEAR(n[1], 1, 1e-6) << a;
    }
    // Moved by the editor: placed again on the ground.
    statue *moved = (statue *)track_statues.items + row;
    moved->x = 2;
    moved->yaw = 0.5f;
    moved->height_offset = 1;
    track_place_statue(row);
    EXPECT_FLOAT_EQ(moved->y, 4.0f);
    EXPECT_NEAR(moved->orientation[2], sinf(0.5f), 1e-6);
    terrain_current = saved;
}

TEST(race_statues, TexturesMapsAndShapes) {
    temp_dir t;
    test_isolate_home(t);
    test_write_file(t.file("game/bale.shp"), "2\n-0.8 0.7 0 0.75 0.8 4000 400\n0.8 0.7 0 0.75 0.8 4000 400\n");
    fake_loads loads;
    int saved_shaders = game_settings.shaders_active;

    // Without shaders: the texture only.
    game_settings.shaders_active = 0;
    int a = track_add_statue(0, 0, 0, 0, "@bale.jm", "@bale.png", "@bale.shp");
    // With shaders: the texture's own variants first, then the model's.
    game_settings.shaders_active = 1;
    fake_loads::missing() = {"@bale_norm.seq", "@bale_spec.seq", "@bale_spec.png", "@bale_spec.ppm",
                             "@straw_norm-repeat.seq", "@straw_norm-repeat.png",
                             "@straw_norm-repeat.ppm", "@bale_norm.seq"};
    int b = track_add_statue(0, 0, 0, 0, "@bale.jm", "@bale.png", nullptr);
    int c = track_add_statue(0, 0, 0, 0, "@bale.jm", "@straw-repeat.png", nullptr);
    // No model: no textures at all; a missing shape warns and leaves the statue not solid.
    int d = track_add_statue(0, 0, 0, 0, nullptr, "@bale.png", "@nothing.shp");
    const statue *s = (const statue *)track_statues.items;
    EXPECT_EQ(fake_loads::name_of(s[a].texture), "@bale.png");
    EXPECT_EQ(s[a].normal_map, 0);
    ASSERT_NE(s[a].shape, nullptr);
    EXPECT_NEAR(shape_bounding_radius(s[a].shape), sqrtf(1.13f) + 0.75f, 1e-5);
    EXPECT_EQ(fake_loads::name_of(s[b].normal_map), "@bale_norm.png");
    EXPECT_EQ(fake_loads::name_of(s[b].specular_map), "");   // no variant at all
    EXPECT_EQ(fake_loads::name_of(s[c].normal_map), "@bale_norm.png");   // the model's
    EXPECT_EQ(fake_loads::name_of(s[c].specular_map), "@straw_spec-repeat.seq");
    EXPECT_EQ(s[d].model, nullptr);
    EXPECT_EQ(s[d].texture, 0);
    EXPECT_EQ(s[d].shape, nullptr);
    int last = (console_log.head + CONSOLE_LINES - 1) % CONSOLE_LINES;
    EXPECT_STREQ(console_log.lines[last], "Warning: missing shape file @nothing.shp\n");
    EXPECT_EQ(fake_loads::name_of(track_load_texture_variant("@flag.png", ".png", "-wave.png")),
              "@flag-wave.png");
    EXPECT_EQ(track_load_texture_variant("@flag.ppm", ".png", "-wave.png"), 0u);
    game_settings.shaders_active = saved_shaders;

    // Freeing releases the shape and the joints (the sanitizer sees any leak).
    statue *rows = (statue *)track_statues.items;
    rows[a].joint_count = 2;
    rows[a].joint_centres = (float *)mem_alloc(6 * sizeof(float));
    track_free_statue(a);
    EXPECT_EQ(rows[a].shape, nullptr);
    EXPECT_EQ(rows[a].joint_count, 0);
    EXPECT_EQ(rows[a].joint_centres, nullptr);
}
