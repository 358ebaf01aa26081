// Helpers of the dig, erosion and vehicle tests: the stock dirt kind's erosion values and a
// flat in-memory field whose kind 0 digs like dirt.
#pragma once

#include <cstring>
#include <vector>

#include "terrain/tile.h"
#include "tests/terrain/memory_field.h"

// The stock dirt kind's erosion block (the defaults with the stock tileinfo's dirt lines).
inline erode_params erode_test_dirt() {
    tile_pending p;
    tile_kind_defaults(&p);
    erode_params e = p.kind.erode;
    e.depth = 3.0f;
    e.radius = 4.0f;
    e.inner_depth = 0.375f;
    e.inner_radius = 2.0f;
    e.displacement = 3.0f;
    e.limit_count = 3;
    const float limits[3][3] = {{0, 1, 1}, {0.5f, 0.6f, 0.8f}, {1.0f, 0.1f, 0.5f}};
    for (int i = 0; i < 3; i++) {
        e.limit_depth[i] = limits[i][0];
        e.limit_main[i] = limits[i][1];
        e.limit_inner[i] = limits[i][2];
    }
    return e;
}

// A flat field at height 0 (k 7: 257 x 257 samples, spacing 1) whose kind 0 is dirt, with a
// loaded copy of its heights; it becomes terrain_current while it lives.
struct erode_field {
    memory_field m;
    std::vector<float> loaded;
    terrain_field *previous = terrain_current;
    explicit erode_field(int n = 257, float spacing = 1.0f, float slope = 0.0f)
        : m(n, spacing, [=](int, int z) { return slope * spacing * (float)z; }) {
        m->kinds[0].erode = erode_test_dirt();
        m->kind_count = 1;
        m->extent = (float)(n - 1) * spacing;
        m->tile_size = 2 * spacing;
        m->edit_generation = 1;
        loaded = m.heights;
        m->loaded_heights = loaded.data();
        terrain_current = m.get();
    }
    ~erode_field() { terrain_current = previous; }
    terrain_field *operator->() { return m.get(); }
    float at(int x, int z) { return m.heights[x + (size_t)m->n * z]; }
    double sum() {
        double s = 0;
        for (float h : m.heights) s += h;
        return s;
    }
};
