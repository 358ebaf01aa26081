// A terrain field built in memory from a height function, for tests of the surface queries and
// of whatever stands on the ground.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "terrain/terrain.h"

// A field of n x n samples in memory with what the surface code reads and marks. The lighting
// is a sun straight above, colour 1, no ambient light; every triangle starts dirty. When n is
// 2q + 1 for q = 2^k, the field has k and a tile map of kind 0 (its kinds are all zero).
struct memory_field {
    std::unique_ptr<terrain_field> f{new terrain_field{}};
    std::vector<float> heights;
    std::vector<vec3> normals;
    std::vector<unsigned char> triangle_dirty, shading_dirty, normal_dirty, shading, normal_map, shadows;
    std::vector<unsigned char> tiles;
    track_lighting_record light = {{0, 1, 0}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0}, 0.25f, 5000, 0, 0, {1, 1, 1, 1}, {0, 0, 0, 0, 0}, 0};

    memory_field(int n, float spacing, const std::function<float(int x, int z)> &height) {
        heights.resize((size_t)n * n);
        for (int z = 0; z < n; z++)
            for (int x = 0; x < n; x++) heights[x + (size_t)n * z] = height(x, z);
        size_t triangles = (size_t)terrain_triangle_count(n);
        normals.resize(triangles);
        triangle_dirty.assign(terrain_bit_bytes(triangles), 0xff);
        shading_dirty.assign(terrain_bit_bytes((size_t)n * n), 0);
        normal_dirty.assign(terrain_bit_bytes((size_t)n * n), 0);
        shading.assign((size_t)n * n * 3, 0);
        normal_map.assign((size_t)n * n * 3, 0);
        shadows.assign((size_t)n * n, 0);
        f->n = n;
        f->spacing = spacing;
        f->heights = heights.data();
        f->triangle_normals = normals.data();
        f->triangle_dirty = triangle_dirty.data();
        f->shading_dirty = shading_dirty.data();
        f->normal_dirty = normal_dirty.data();
        f->shading = shading.data();
        f->normal_map = normal_map.data();
        f->shadows = shadows.data();
        f->lighting = &light;
        for (int k = 0; k <= TERRAIN_K_MAX; k++)
            if (n == 2 * (1 << k) + 1) {
                f->k = k;
                tiles.assign((size_t)1 << (2 * k), 0);
                f->tile_map = tiles.data();
            }
        f->min_height = f->max_height = heights[0];
        for (float h : heights) {
            if (h < f->min_height) f->min_height = h;
            if (h > f->max_height) f->max_height = h;
        }
    }
    terrain_field *operator->() { return f.get(); }
    terrain_field *get() { return f.get(); }
};
