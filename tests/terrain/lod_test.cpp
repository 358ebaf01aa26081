// The quadtree's error bounds after edits, whatever the budget, and the refinement of a flat
// field seen from afar.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "tests/terrain/memory_field.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"

namespace {
// A memory field with what the error computation and the refinement need.
struct lod_field {
    memory_field m;
    std::vector<unsigned char> bits;
    lod_field(int k, const std::function<float(int, int)> &height)
        : m(2 * (1 << k) + 1, 2.0f, height) {
        m->extent = (float)(2 << k) * 2.0f;
        m->detail_factor = 0.25f;
        m->edit_generation = 1;
        terrain_lod_alloc(m.get());
        bits.assign(terrain_bit_bytes(terrain_node_count(k)), 0);
        m->node_bits = bits.data();
    }
    ~lod_field() { terrain_lod_free(m.get()); }
    terrain_field *operator->() { return m.get(); }
};
}  // namespace

static float hills(int x, int z) {
    return 20 * sinf((float)x * 0.07f) * cosf((float)z * 0.05f) + 0.3f * (float)((x * 7 + z * 13) % 5);
}

// Runs passes of this budget until the bounds are current; checks every call's work.
static void settle(lod_field &f, int budget) {
    long long row = f->n;
    for (int calls = 0; calls < 10000000; calls++) {
        int done = terrain_update_lod_errors(f.m.get(), budget);
        ASSERT_LE(f->lod.work, (long long)budget + 10 + row) << "budget " << budget;
        if (done) return;
    }
    FAIL() << "never finished at budget " << budget;
}

static void bump(terrain_field *f, int cx, int cz, int radius, float height) {
    for (int z = cz - radius; z <= cz + radius; z++)
        for (int x = cx - radius; x <= cx + radius; x++) {
            if (x < 0 || z < 0 || x >= f->n || z >= f->n) continue;
            float d2 = (float)((x - cx) * (x - cx) + (z - cz) * (z - cz));
            if (d2 <= (float)(radius * radius))
                terrain_set_height(f, x, z, f->heights[x + (size_t)f->n * z] + height * (1 - d2 / (float)(radius * radius)));
        }
}

TEST(terrain_lod, EditedBoundsEqualAFullPassAtEveryBudget) {
    const int k = 7;
    struct edit_case {
        const char *label;
        std::function<void(terrain_field *)> edit;
    };
    edit_case edits[] = {
        {"one bump", [](terrain_field *f) { bump(f, 100, 60, 4, 3.0f); }},
        {"two bumps far apart", [](terrain_field *f) { bump(f, 10, 12, 4, -2.0f), bump(f, 240, 230, 4, 5.0f); }},
        // A corner of a 64-cell node moves its triangles' planes.
        {"node corner", [](terrain_field *f) { terrain_set_height(f, 128, 64, 40.0f); }},
        {"whole field", [](terrain_field *f) {
             for (int z = 0; z < f->n; z++)
                 for (int x = 0; x < f->n; x++) terrain_set_height(f, x, z, f->heights[x + (size_t)f->n * z] + 1.5f);
         }},
        {"border row", [](terrain_field *f) { bump(f, 256, 0, 3, 2.0f); }},
    };
    for (int budget : {1, 8000, INT_MAX}) {
        lod_field f(k, hills);
        settle(f, INT_MAX);
        // A call after completion with no edit does no work.
        EXPECT_EQ(terrain_update_lod_errors(f.m.get(), budget), 1);
        EXPECT_EQ(f->lod.work, 0);
        for (auto &e : edits) {
            e.edit(f.m.get());
            settle(f, budget);
            lod_field fresh(k, [&](int x, int z) { return f->heights[x + (size_t)f->n * z]; });
            settle(fresh, INT_MAX);
            size_t nodes = (size_t)terrain_node_count(k);
            EXPECT_EQ(memcmp(f->node_bounds, fresh->node_bounds, nodes * sizeof(float)), 0)
                << e.label << " at budget " << budget;
        }
        // An edit in the middle of a pass is taken by the next one.
        bump(f.m.get(), 50, 200, 4, 4.0f);
        for (int i = 0; i < 3; i++) terrain_update_lod_errors(f.m.get(), 1000);
        bump(f.m.get(), 52, 198, 4, -6.0f);
        bump(f.m.get(), 200, 20, 2, 1.0f);
        settle(f, budget);
        lod_field fresh(k, [&](int x, int z) { return f->heights[x + (size_t)f->n * z]; });
        settle(fresh, INT_MAX);
        EXPECT_EQ(memcmp(f->node_bounds, fresh->node_bounds, (size_t)terrain_node_count(k) * sizeof(float)), 0)
            << "edit during a pass at budget " << budget;
    }
}

TEST(terrain_lod, ABumpRereadsFarLessThanTheWholeTree) {
    lod_field f(8, hills);
    settle(f, INT_MAX);
    long long whole = f->lod.work;
    bump(f.m.get(), 300, 200, 4, 2.0f);
    long long spent = 0;
    while (!terrain_update_lod_errors(f.m.get(), 8000)) spent += f->lod.work;
    spent += f->lod.work;
    EXPECT_LT(spent * 20, whole) << spent << " of " << whole;
}

// Level and place of a node number.
static void node_place(size_t node, int *level, int *j, int *r) {
    int i = 0;
    while (node >= (size_t)((((int64_t)1 << (2 * (i + 1))) - 1) / 3)) i++;
    size_t at = node - (size_t)((((int64_t)1 << (2 * i)) - 1) / 3);
    *level = i;
    *j = (int)(at % ((size_t)1 << i));
    *r = (int)(at >> i);
}

TEST(terrain_lod, AFlatFieldFarAwayRefinesOnlyForcedLevelsAndWindows) {
    const int k = 7;
    for (float eye : {-50000.0f, 100000.0f, 1e30f}) {
        lod_field f(k, [](int, int) { return 5.0f; });
        settle(f, INT_MAX);
        f->eye[0] = eye;
        f->eye[1] = 100;
        f->eye[2] = eye;
        f->view_direction[1] = -1;
        terrain_refine(f.m.get());
        size_t forced = (size_t)((((int64_t)1 << (2 * (k - 5))) - 1) / 3) + 1;
        int leaves = 0;
        for (size_t node = 0; node < (size_t)terrain_node_count(k); node++) {
            if (!terrain_bit(f->node_bits, node)) continue;
            if (node < forced) continue;
            int i, j, r;
            node_place(node, &i, &j, &r);
            int ox = tile_window_origin(f->last_view_x, k - i, k), oz = tile_window_origin(f->last_view_z, k - i, k);
            EXPECT_TRUE(j >= ox - 1 && j <= ox + 4 && r >= oz - 1 && r <= oz + 4)
                << "level " << i << " node " << j << "," << r << " eye " << eye;
            leaves += i == k;
        }
        EXPECT_EQ(leaves, 16);
        for (size_t node = 0; node < forced; node++) EXPECT_TRUE(terrain_bit(f->node_bits, node));
    }
}

TEST(terrain_lod, ViewCellsOfWildEyes) {
    EXPECT_EQ(terrain_view_cell(5.0f, 2.0f, 7), 2);
    EXPECT_EQ(terrain_view_cell(-0.5f, 2.0f, 7), -1);
    EXPECT_EQ(terrain_view_cell(NAN, 2.0f, 7), 7);
    EXPECT_EQ(terrain_view_cell(1e30f, 2.0f, 7), TERRAIN_VIEW_CELL_MAX);
    EXPECT_EQ(terrain_view_cell(-INFINITY, 2.0f, 7), -TERRAIN_VIEW_CELL_MAX);
}
