// The surface of the height field: heights and normals on the alternating-diagonal mesh, height
// edits with the marks they leave, vertex normals and the shading. No GL and no files: the
// stock-data generator links this very code to shade its tracks.
#include <climits>
#include <cmath>

#include "terrain/terrain.h"

// The lighting of a field that was given none: the track lighting's start-up values.
static const track_lighting_record surface_default_lighting = {
    {0.57735026f, 0.57735026f, 0.57735026f}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, {0.2f, 0.2f, 0.2f},
    0.25f, 5000.0f, 0.0f, 0, {1, 1, 1, 1}, {0, 0, 0, 0, 0}, 0};

float terrain_sample_height(float min, float max, unsigned v) {
    return min + (float)v * (max - min) / 65535.0f;
}

static inline int surface_clamp(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

// The height of sample (a, b), each clamped to the grid.
static inline float surface_h(const terrain_field *f, const float *grid, int a, int b) {
    a = surface_clamp(a, 0, f->n - 1);
    b = surface_clamp(b, 0, f->n - 1);
    return grid[a + (size_t)f->n * b];
}

// The cell under a point and the point's place in it. Coordinates are clamped to [-1, n] cells
// (NaN reads as 0) before they become integers: beyond that the border continues unchanged.
struct surface_cell {
    int cx, cz;
    float u, v;
    int odd;     // cx + cz is odd
    int right;   // the triangle holding the edge x = cx + 1
};

static float surface_clamp_cells(float c, int n) {
    if (c != c) return 0;
    if (c < -1) return -1;
    if (c > (float)n) return (float)n;
    return c;
}

static surface_cell surface_locate(const terrain_field *f, float x, float z) {
    float fx = surface_clamp_cells(x / f->spacing, f->n);
    float fz = surface_clamp_cells(z / f->spacing, f->n);
    surface_cell c;
    c.cx = (int)floorf(fx);
    c.cz = (int)floorf(fz);
    c.u = fx - (float)c.cx;
    c.v = fz - (float)c.cz;
    c.odd = (c.cx + c.cz) & 1;
    c.right = c.odd ? c.u + c.v > 1 : c.v <= c.u;
    return c;
}

// The height differences of a triangle along x and along z from its right-angle corner.
static void surface_slopes(const terrain_field *f, int cx, int cz, int odd, int right,
                           float *dx, float *dz) {
    const float *g = f->heights;
    float h00 = surface_h(f, g, cx, cz), h10 = surface_h(f, g, cx + 1, cz);
    float h01 = surface_h(f, g, cx, cz + 1), h11 = surface_h(f, g, cx + 1, cz + 1);
    if (odd) {
        *dx = right ? h11 - h01 : h10 - h00;
        *dz = right ? h11 - h10 : h01 - h00;
    } else {
        *dx = right ? h10 - h00 : h11 - h01;
        *dz = right ? h11 - h10 : h01 - h00;
    }
}

// The surface of a grid of the field's size (the heights or their loaded copy) at world (x, z).
static float surface_height_in(const terrain_field *f, const float *grid, float x, float z) {
    surface_cell c = surface_locate(f, x, z);
    float h00 = surface_h(f, grid, c.cx, c.cz), h10 = surface_h(f, grid, c.cx + 1, c.cz);
    float h01 = surface_h(f, grid, c.cx, c.cz + 1), h11 = surface_h(f, grid, c.cx + 1, c.cz + 1);
    float u = c.u, v = c.v;
    if (c.odd) {
        if (!c.right) return h00 + u * (h10 - h00) + v * (h01 - h00);
        return h11 + (1 - u) * (h01 - h11) + (1 - v) * (h10 - h11);
    }
    if (c.right) return h10 + (1 - u) * (h00 - h10) + v * (h11 - h10);
    return h01 + u * (h11 - h01) + (1 - v) * (h00 - h01);
}

float terrain_height_at(const terrain_field *f, float x, float z) {
    return surface_height_in(f, f->heights, x, z);
}

float terrain_loaded_height_at(const terrain_field *f, float x, float z) {
    return surface_height_in(f, f->loaded_heights ? f->loaded_heights : f->heights, x, z);
}

void terrain_normal_at(const terrain_field *f, float x, float z, vec3 *normal) {
    surface_cell c = surface_locate(f, x, z);
    float dx, dz, s = f->spacing;
    surface_slopes(f, c.cx, c.cz, c.odd, c.right, &dx, &dz);
    *normal = {-dx * s, s * s, -dz * s};
}

void terrain_lod_touch(terrain_field *f, int x0, int z0, int x1, int z1) {
    int *d = f->dirty_samples;
    if (d[0] > d[2] || d[1] > d[3]) {
        d[0] = x0, d[1] = z0, d[2] = x1, d[3] = z1;
        f->edit_generation = f->edit_generation >= INT_MAX - 1 ? 1 : f->edit_generation + 1;
        // A finished pass of the old number must not pass for the new one.
        if (f->lod.generation == f->edit_generation) f->lod.generation = 0;
        return;
    }
    if (x0 < d[0]) d[0] = x0;
    if (z0 < d[1]) d[1] = z0;
    if (x1 > d[2]) d[2] = x1;
    if (z1 > d[3]) d[3] = z1;
}

void terrain_set_height(terrain_field *f, int column, int row, float height) {
    int n = f->n;
    if (column < 0 || row < 0 || column >= n || row >= n || f->heights_frozen) return;
    if (!std::isfinite(height)) return;
    f->modified_flags = 7;
    if (height > f->max_height) f->max_height = height;
    if (height < f->min_height) f->min_height = height;
    f->heights[column + (size_t)n * row] = height;
    terrain_lod_touch(f, column, row, column, row);
    for (int z = surface_clamp(row - 1, 0, n - 1); z <= surface_clamp(row + 1, 0, n - 1); z++)
        for (int x = surface_clamp(column - 1, 0, n - 1); x <= surface_clamp(column + 1, 0, n - 1);
             x++) {
            size_t i = x + (size_t)n * z;
            if (f->shading_dirty) terrain_bit_set(f->shading_dirty, i);
            if (f->normal_map && f->normal_dirty) terrain_bit_set(f->normal_dirty, i);
        }
    if (!f->triangle_dirty) return;
    size_t per_row = 2 * (size_t)(n - 1);
    for (int tr = row - 1 > 0 ? row - 1 : 0; tr <= (row < n - 2 ? row : n - 2); tr++)
        for (int tc = 2 * column - 2 > 0 ? 2 * column - 2 : 0;
             tc <= (2 * column + 1 < 2 * n - 3 ? 2 * column + 1 : 2 * n - 3); tc++)
            terrain_bit_set(f->triangle_dirty, tc + per_row * tr);
}

// Recomputes one triangle's unit normal (triangle column tc, row tr) and clears its mark.
static void surface_triangle_normal(terrain_field *f, int tc, int tr, size_t t) {
    float dx, dz, s = f->spacing;
    int cx = tc >> 1;
    surface_slopes(f, cx, tr, (cx + tr) & 1, tc & 1, &dx, &dz);
    vec3 v = {-dx * s, s * s, -dz * s};
    float length = sqrtf(vec3_length2(v));
    f->triangle_normals[t] = v * (1.0f / length);
    terrain_bit_clear(f->triangle_dirty, t);
}

// Triangles around a sample as (column, row) offsets from (2 column, row).
static const int surface_even_ring[8][2] = {{-2, -1}, {-1, -1}, {0, -1}, {1, -1},
                                            {-2, 0},  {-1, 0},  {0, 0},  {1, 0}};
static const int surface_odd_ring[4][2] = {{-1, -1}, {0, -1}, {-1, 0}, {0, 0}};

vec3 terrain_vertex_normal(terrain_field *f, int column, int row) {
    int n = f->n;
    column = surface_clamp(column, 0, n - 1);
    row = surface_clamp(row, 0, n - 1);
    const int(*ring)[2] = (column + row) & 1 ? surface_odd_ring : surface_even_ring;
    int count = (column + row) & 1 ? 4 : 8;
    size_t per_row = 2 * (size_t)(n - 1);
    vec3 sum = {0, 0, 0};
    for (int i = 0; i < count; i++) {
        int tc = surface_clamp(2 * column + ring[i][0], 0, 2 * n - 3);
        int tr = surface_clamp(row + ring[i][1], 0, n - 2);
        size_t t = tc + per_row * tr;
        if (terrain_bit(f->triangle_dirty, t)) surface_triangle_normal(f, tc, tr, t);
        sum = sum + f->triangle_normals[t];
    }
    return sum * (1.0f / sqrtf(vec3_length2(sum)));
}

static unsigned char surface_byte(float v) {
    if (!(v > 0)) return 0;
    if (v > 255) return 255;
    return (unsigned char)(int)v;
}

void terrain_shade_sample(terrain_field *f, int column, int row, unsigned char rgb[3]) {
    const track_lighting_record *light = f->lighting ? f->lighting : &surface_default_lighting;
    column = surface_clamp(column, 0, f->n - 1);
    row = surface_clamp(row, 0, f->n - 1);
    vec3 normal = terrain_vertex_normal(f, column, row);
    const float *sun = light->sun_vector;
    float d = sun[0] * normal.x + sun[1] * normal.y + sun[2] * normal.z;
    d = d > 0 ? (d < 1 ? d : 1) : 0;
    float shadow = f->shadows ? (float)f->shadows[column + (size_t)f->n * row] : 0.0f;
    float t = d * (1 - shadow / 255.0f);
    for (int c = 0; c < 3; c++) rgb[c] = surface_byte((light->sun_color[c] * t + light->ambient[c]) / 2 * 255);
}

static unsigned char surface_normal_byte(float c) {
    float v = c * 127;
    int i = !(v > -127) ? -127 : v > 127 ? 127 : (int)v;
    return (unsigned char)(i + 128);
}

void terrain_normal_texel(terrain_field *f, int column, int row, unsigned char rgb[3]) {
    vec3 normal = terrain_vertex_normal(f, column, row);
    rgb[0] = surface_normal_byte(normal.x);
    rgb[1] = (unsigned char)(255 - (f->shadows ? f->shadows[column + (size_t)f->n * row] : 0));
    rgb[2] = surface_normal_byte(normal.z);
}

void terrain_reshade_dirty(terrain_field *f) {
    size_t count = (size_t)f->n * f->n;
    for (size_t i = 0; i < count; i++) {
        // Whole bytes without a mark are skipped at once.
        if ((i & 7) == 0 && !f->shading_dirty[i >> 3] && (!f->normal_map || !f->normal_dirty[i >> 3])) {
            i += 7;
            continue;
        }
        int column = (int)(i % f->n), row = (int)(i / f->n);
        if (terrain_bit(f->shading_dirty, i)) {
            terrain_shade_sample(f, column, row, f->shading + 3 * i);
            terrain_bit_clear(f->shading_dirty, i);
        }
        if (f->normal_map && terrain_bit(f->normal_dirty, i)) {
            terrain_normal_texel(f, column, row, f->normal_map + 3 * i);
            terrain_bit_clear(f->normal_dirty, i);
        }
    }
}
