// Statue and billboard rows: colour tags, the depth-sort space, poses on the ground, the maps
// and shapes a statue loads, freeing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "race/objects.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tests/race/objects_test_support.h"
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
