// The ground-texture windows as plain functions: origins, scrolling that keeps what stays in
// view, one composition per level and per call, the oldest stale texture first.
#include <gtest/gtest.h>

#include <vector>

#include "core/settings.h"
#include "tests/terrain/memory_field.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"

namespace {
// What the counting composition saw, in order.
struct composed {
    std::vector<std::array<int, 3>> list;
};

int count_compose(int level, int c, int r, void *user) {
    ((composed *)user)->list.push_back({level, c, r});
    return 1;
}

// A field of k with named slot textures, no GL.
struct slot_field {
    memory_field m;
    std::vector<int> stamps;
    composed seen;
    explicit slot_field(int k) : m(2 * (1 << k) + 1, 2.0f, [](int, int) { return 0.0f; }) {
        int lods = (1 << k) / 64;
        stamps.assign((size_t)lods * lods, 0);
        m->lod_stamps = stamps.data();
        m->slot_view_x = m->slot_view_z = TERRAIN_NO_VIEW;
        m->texture_update_counter = 1;
        for (int e = 0; e < 6; e++)
            for (int r = 0; r < 4; r++)
                for (int c = 0; c < 4; c++) m->slot_textures[0][e][r][c] = (uint32_t)(100 * e + 4 * r + c + 1);
        game_settings.ground_texture_reduce_levels = 0;
        tile_set_compose_hook(count_compose, &seen);
    }
    ~slot_field() { tile_set_compose_hook(nullptr, nullptr); }
    terrain_field *operator->() { return m.get(); }
    // One frame's texture work with the eye over cell (x, z).
    void frame(int x, int z) {
        m->eye[0] = (float)x * m->spacing + 0.5f;
        m->eye[2] = (float)z * m->spacing + 0.5f;
        tile_render_pending(m.get());
        m->texture_update_counter++;
    }
};
}  // namespace

TEST(terrain_tiles, WindowOrigins) {
    struct {
        int view, k;
        int origin[6];
    } cases[] = {
        {0, 6, {0, 0, 0, 0, 0, 0}},
        {-5, 6, {0, 0, 0, 0, 0, 0}},
        {100, 6, {48, 23, 11, 4, 0, 0}},
        {100, 8, {48, 23, 11, 4, 1, 0}},
        {127, 6, {60, 28, 12, 4, 0, 0}},    // clamped at the field's far edge
        {511, 8, {252, 124, 60, 28, 12, 4}},
        {1 << 20, 8, {252, 124, 60, 28, 12, 4}},
        {-(1 << 20), 8, {0, 0, 0, 0, 0, 0}},
        {300, 8, {148, 73, 36, 17, 7, 3}},
    };
    for (auto &c : cases)
        for (int e = 0; e < 6; e++)
            EXPECT_EQ(tile_window_origin(c.view, e, c.k), c.origin[e]) << c.view << " k " << c.k << " e " << e;
}

TEST(terrain_tiles, ScrollingKeepsWhatStaysInView) {
    slot_field f(8);
    tile_scroll_windows(f.m.get(), 300, 300);
    for (auto &row : f->slot_ready) for (auto &r : row) for (auto &v : r) v = 1;
    const int e = 2;   // slots of 8 cells
    struct {
        int dx;
        int kept;
    } moves[] = {{1, 12}, {-1, 12}, {-5, 0}};
    for (auto &mv : moves) {
        for (auto &row : f->slot_ready) for (auto &r : row) for (auto &v : r) v = 1;
        uint32_t before[4][4];
        memcpy(before, f->slot_textures[0][e], sizeof before);
        int ox = f->slot_origin[e][0];
        tile_scroll_windows(f.m.get(), f->slot_view_x + mv.dx * 8, f->slot_view_z);
        ASSERT_EQ(f->slot_origin[e][0], ox + mv.dx);
        int kept = 0, names = 0;
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++) {
                kept += f->slot_ready[e][r][c];
                int src = ((c + mv.dx) % 4 + 4) % 4;
                names += f->slot_textures[0][e][r][c] == before[r][src];
                if (f->slot_ready[e][r][c]) {
                    EXPECT_EQ(f->slot_textures[0][e][r][c], before[r][c + mv.dx]);
                }
            }
        EXPECT_EQ(kept, mv.kept) << mv.dx;
        EXPECT_EQ(names, 16);   // every texture is reused
        // Only the entering column is new.
        for (int r = 0; r < 4; r++) {
            if (mv.dx == 1) {
                EXPECT_EQ(f->slot_ready[e][r][3], 0);
            }
            if (mv.dx == -1) {
                EXPECT_EQ(f->slot_ready[e][r][0], 0);
            }
        }
    }
}

TEST(terrain_tiles, OneNewSlotPerLevelAndOneStaleTexturePerCall) {
    // At k 6 the coarsest level has two slots a side: the other two lie outside the field.
    slot_field f(6);
    std::vector<int> per_level(7, 0);
    for (int frame = 0; frame < 40; frame++) {
        f.seen.list.clear();
        f.frame(70, 40);
        std::vector<int> now(7, 0);
        for (auto &c : f.seen.list) now[c[0]]++;
        for (int e = 0; e < 6; e++) EXPECT_LE(now[e], 1) << "frame " << frame;
        for (int e = 0; e < 7; e++) per_level[e] += now[e];
        for (auto &c : f.seen.list)
            if (c[0] == 5) {
                EXPECT_TRUE(c[1] < 2 && c[2] < 2) << c[1] << "," << c[2];
            }
    }
    EXPECT_EQ(per_level[5], 4);
    for (int e = 0; e < 5; e++) EXPECT_EQ(per_level[e], 16) << e;
    EXPECT_EQ(terrain_texture_age(f.m.get()), 0);
    // Two edits: the older is composed first, one stale texture a call.
    f->texture_update_counter = 50;
    terrain_mark_textures_stale(f.m.get(), 60, 30, 61, 31);
    f->texture_update_counter = 53;
    terrain_mark_textures_stale(f.m.get(), 90, 60, 91, 61);
    f->texture_update_counter = 55;
    EXPECT_EQ(terrain_texture_age(f.m.get()), 5);
    std::vector<int> order;
    for (int frame = 0; frame < 20; frame++) {
        f.seen.list.clear();
        int before = terrain_texture_age(f.m.get());
        tile_render_pending(f.m.get());
        EXPECT_LE(f.seen.list.size(), 1u);
        if (!f.seen.list.empty()) order.push_back(before);
        f->texture_update_counter++;
    }
    ASSERT_GT(order.size(), 2u);
    EXPECT_EQ(terrain_texture_age(f.m.get()), 0);
    // Ages of the oldest grow by one a frame while the first edit's textures are composed.
    int first_edit = 0;
    for (size_t i = 0; i < order.size(); i++)
        if (order[i] >= 5 + (int)i) first_edit++;
    EXPECT_GE(first_edit, 2);
    for (size_t i = 1; i < order.size(); i++) EXPECT_LE(order[i], order[i - 1] + 1);
}

TEST(terrain_tiles, AnEditBeforeTheFirstFrameIsComposedInIt) {
    slot_field f(7);
    terrain_mark_textures_stale(f.m.get(), 200, 10, 210, 12);   // the counter is 1 after a load
    EXPECT_EQ(f.stamps[1], 1);
    f.frame(20, 20);
    bool lod = false;
    for (auto &c : f.seen.list) lod |= c[0] == 6 && c[1] == 1;
    EXPECT_TRUE(lod);
    EXPECT_EQ(f.stamps[1], 0);
}
