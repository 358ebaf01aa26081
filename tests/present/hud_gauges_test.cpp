// The HUD's gauges, suspension graphs and track map as draw lists.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/present/hud_fixture.h"

static std::vector<const hud_item *> items_where(const hud_draw_list &list,
                                                 const std::function<bool(const hud_item &)> &pick) {
    std::vector<const hud_item *> out;
    for (const hud_item &i : list.items)
        if (pick(i)) out.push_back(&i);
    return out;
}

static const hud_vertex &vertex(const hud_draw_list &list, const hud_item *item, int k) {
    return list.vertices[item->first + k];
}

TEST(present_hud, GaugeTable) {
    hud_race race;
    race.rider(0, "999", {100});
    race.rank();
    race.view(0);
    hud_images.shifter = 22;
    // The needle: its tip against straight up, clockwise positive.
    struct {
        float rpm, degrees;
    } needles[] = {{0, -135}, {8000, 0}, {16000, 135}, {1800, -104.625f}};
    for (auto &n : needles) {
        race.snap.rpm = n.rpm;
        hud_list_clear(&race.list);
        hud_build_gauges(&race.list, race.snap);
        auto red = items_where(race.list, [&](const hud_item &i) {
            return i.kind == HUD_TRIANGLES && i.count == 3 && race.list.vertices[i.first].colour[0] == 0.75f;
        });
        ASSERT_EQ(red.size(), 1u);
        const hud_vertex &tip = vertex(race.list, red[0], 0);
        float a = std::atan2(tip.x + 1, tip.y - 1) * 180 / (float)M_PI;
        EXPECT_NEAR(a, n.degrees, 0.2f) << n.rpm;
        EXPECT_FALSE(red[0]->blend);
    }
    // The gear's cell of the 3 x 3 shifter picture: (column, row), t from the top.
    struct {
        int gear, column, row;
    } gears[] = {{0, 0, 0}, {1, 1, 0}, {2, 2, 0}, {3, 0, 1}, {4, 1, 1}, {5, 2, 1}};
    for (auto &g : gears) {
        race.snap.gear = g.gear;
        hud_list_clear(&race.list);
        hud_build_gauges(&race.list, race.snap);
        auto cell = items_where(race.list, [](const hud_item &i) { return i.texture == 22; });
        ASSERT_EQ(cell.size(), 1u);
        const hud_vertex &bottom_left = vertex(race.list, cell[0], 0);
        const hud_vertex &top_right = vertex(race.list, cell[0], 2);
        EXPECT_FLOAT_EQ(bottom_left.s, g.column / 3.0f) << g.gear;
        EXPECT_FLOAT_EQ(bottom_left.t, (g.row + 1) / 3.0f) << g.gear;
        EXPECT_FLOAT_EQ(top_right.t, g.row / 3.0f) << g.gear;
        EXPECT_FLOAT_EQ(top_right.x - bottom_left.x, 2.0f / 3.0f);
    }
    // A band over a quarter turn: 15 segments and both ends.
    hud_list_clear(&race.list);
    const float c[4] = {1, 1, 1, 1};
    hud_fill_ring_band(&race.list, {0, 0, 1}, 0, (float)M_PI / 2, 0.5f, 1, c, c);
    ASSERT_EQ(race.list.items.size(), 1u);
    EXPECT_EQ(race.list.items[0].count, 2 * (15 + 2));
    EXPECT_NEAR(race.list.vertices.back().x, 1, 1e-6);
    // The lean band turns red past 36 degrees, on the side of the lean.
    struct {
        float degrees, red;
    } leans[] = {{35, 0}, {37, 1}, {-37, 1}};
    race.snap.lean_indicator = 1;
    for (auto &l : leans) {
        race.snap.lean = l.degrees * (float)M_PI / 180;
        hud_list_clear(&race.list);
        hud_build_gauges(&race.list, race.snap);
        auto band = items_where(race.list, [](const hud_item &i) { return i.kind == HUD_QUAD_STRIP; });
        ASSERT_EQ(band.size(), 1u);
        EXPECT_EQ(vertex(race.list, band[0], 1).colour[0], l.red) << l.degrees;
        EXPECT_EQ(vertex(race.list, band[0], 1).colour[3], 0.25f);
        EXPECT_EQ(vertex(race.list, band[0], 0).colour[3], 0.0f);
    }
}

// The marks of the map: half-sizes on screen for two map scales, the order of the running
// order's marks and a finished leader's grey.
TEST(present_hud, MapTable) {
    hud_race race;
    race.rider(0, "1", {100, 200, 300}, 500, 250);
    race.rider(1, "2", {110, 230}, 100, 900);
    race.rank();
    race.view(1);
    auto marks = [&](hud_draw_list &l) {
        return items_where(l, [](const hud_item &i) { return i.kind == HUD_TRIANGLES && i.count == 6 && !i.texture && !i.blend; });
    };
    float screen_half[2];
    for (int k = 0; k < 2; k++) {
        race.snap.map_scale = (float)(k + 1);
        hud_list_clear(&race.list);
        hud_build_map(&race.list, race.snap);
        auto m = marks(race.list);
        ASSERT_EQ(m.size(), 6u);   // two black, the second's and the leader's, the arrow
        const hud_vertex &a = vertex(race.list, m[0], 0), &b = vertex(race.list, m[0], 1);
        screen_half[k] = (b.x - a.x) / 2 * m[0]->frame.unit;
        // The map picture is the unit square; the leader at x 0.5, z 0.25 (drawn downward).
        const hud_vertex &leader = vertex(race.list, m[3], 0);
        EXPECT_NEAR(leader.x, 0.5f - 1.0f / (128 * race.snap.map_scale), 1e-6);
        EXPECT_NEAR(leader.y, -0.25f - 1.0f / (128 * race.snap.map_scale), 1e-6);
        EXPECT_EQ(leader.colour[1], 1.0f);   // green: the first row
        EXPECT_EQ(vertex(race.list, m[2], 0).colour[0], 1.0f);   // white
        EXPECT_FLOAT_EQ(m[0]->frame.unit, race.snap.map_scale * 0.4668050f);
    }
    EXPECT_FLOAT_EQ(screen_half[0], screen_half[1]);
    // A finished leader is grey and still drawn last.
    rider_table[0].finished = 1;
    hud_list_clear(&race.list);
    hud_build_map(&race.list, race.snap);
    auto m = marks(race.list);
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(vertex(race.list, m[3], 0).colour[0], 0.25f);
    EXPECT_EQ(vertex(race.list, m[3], 0).colour[1], 0.25f);
    // No terrain: the picture only.
    race.snap.terrain_extent = 0;
    hud_list_clear(&race.list);
    hud_build_map(&race.list, race.snap);
    EXPECT_EQ(race.list.items.size(), 1u);
}

// The viewed rider's arrow: its tip points forward, against the frame's backward axis; a bike
// on its tail keeps the last direction, +z before any.
TEST(present_hud, MapArrow) {
    hud_race race;
    race.rider(5, "1", {}, 500, 500);
    race.view(5);
    auto tip = [&]() {
        hud_list_clear(&race.list);
        hud_build_map(&race.list, race.snap);
        const hud_item &red = race.list.items.back();
        EXPECT_EQ(race.list.vertices[red.first].colour[0], 1.0f);
        const hud_vertex &v = race.list.vertices[red.first];
        return std::pair<float, float>(v.x - 0.5f, -v.y - 0.5f);   // map x, z from the rider
    };
    race.snap.slots[5].back[0] = 0;
    race.snap.slots[5].back[1] = 1;   // on its tail
    race.snap.slots[5].back[2] = 0;
    auto t = tip();
    EXPECT_TRUE(std::isfinite(t.first) && std::isfinite(t.second));
    EXPECT_NEAR(t.first, 0, 1e-6);
    EXPECT_LT(t.second, 0);   // +z backward: the tip toward -z
    race.snap.slots[5].back[0] = 2;   // backward along +x, not normalised
    race.snap.slots[5].back[1] = 0;
    t = tip();
    EXPECT_LT(t.first, 0);
    EXPECT_NEAR(t.second, 0, 1e-6);
    race.snap.slots[5].back[0] = 0;
    race.snap.slots[5].back[1] = -1;   // on its nose: still the last direction
    t = tip();
    EXPECT_LT(t.first, 0);
    EXPECT_NEAR(t.second, 0, 1e-6);
}

// The suspension graphs: flat at 0 before the first sample, oldest sample first after.
TEST(present_hud, TelemetryTraces) {
    hud_race race;
    race.rider(0, "1", {});
    race.view(0);
    race.snap.graph_on = 1;
    auto swingarm_position = [&]() {
        hud_list_clear(&race.list);
        hud_build_gauges(&race.list, race.snap);
        auto traces = items_where(race.list, [](const hud_item &i) { return i.kind == HUD_LINE_STRIP && i.count == 1024; });
        EXPECT_EQ(traces.size(), 4u);
        return traces.empty() ? nullptr : traces[0];
    };
    suspension_graph.index = 1024;
    for (int r = 0; r < 6; r++)
        for (int i = 0; i < 1024; i++) suspension_graph.rings[r][i] = 0.5f;   // stale values
    const hud_item *t = swingarm_position();
    ASSERT_NE(t, nullptr);
    for (int i = 0; i < 1024; i++) ASSERT_FLOAT_EQ(race.list.vertices[t->first + i].y, 1.0f) << i;
    // 1,030 samples of their own number / 2048: the ring head is at 6.
    for (int n = 0; n < 1030; n++) suspension_graph.rings[3][n % 1024] = (float)n / 2048;
    suspension_graph.index = 1030 % 1024;
    t = swingarm_position();
    ASSERT_NE(t, nullptr);
    EXPECT_FLOAT_EQ(race.list.vertices[t->first].y, 1 + 6.0f / 2048);
    EXPECT_FLOAT_EQ(race.list.vertices[t->first + 1023].y, 1 + 1029.0f / 2048);
    EXPECT_FLOAT_EQ(race.list.vertices[t->first].x, -4 - 1);
    EXPECT_NE(hud_find_text(&race.list, " Fork Speed (High)"), nullptr);
    suspension_graph.index = 1024;
}
