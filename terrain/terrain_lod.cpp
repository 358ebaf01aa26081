// The level-of-detail data of the field: the quadtree's error bounds, recomputed after edits by
// a resumable pass that re-reads only what changed, and the low-detail textures' images.
#include <climits>
#include <cmath>
#include <cstring>

#include "core/mem.h"
#include "terrain/terrain.h"

// Nodes of levels below i: (4^i - 1) / 3.
static inline size_t lod_base(int i) {
    return (size_t)((((int64_t)1 << (2 * i)) - 1) / 3);
}

// Cells a side of a node of level i.
static inline int lod_side(const terrain_field *f, int i) {
    return (2 << f->k) >> i;
}

// First row-maximum of level i (only levels whose nodes have at least 16 cells keep them).
static size_t lod_row_base(const terrain_field *f, int i) {
    size_t at = 0;
    for (int l = 0; l < i; l++) {
        int s = lod_side(f, l);
        if (s >= TERRAIN_ROW_MAXIMA_MIN) at += ((size_t)1 << (2 * l)) * 2 * (size_t)(s + 1);
    }
    return at;
}

void terrain_lod_alloc(terrain_field *f) {
    size_t nodes = (size_t)terrain_node_count(f->k);
    f->node_bounds = (float *)mem_alloc_or_die(nodes * sizeof(float));
    f->node_bounds_next = (float *)mem_alloc_or_die(nodes * sizeof(float));
    f->node_errors = (float *)mem_alloc_or_die(nodes * sizeof(float));
    memset(f->node_bounds, 0, nodes * sizeof(float));
    memset(f->node_bounds_next, 0, nodes * sizeof(float));
    memset(f->node_errors, 0, nodes * sizeof(float));
    size_t rows = lod_row_base(f, f->k + 1);
    f->row_maxima = (float *)mem_alloc_or_die((rows ? rows : 1) * sizeof(float));
    memset(f->row_maxima, 0, (rows ? rows : 1) * sizeof(float));
    memset(&f->lod, 0, sizeof f->lod);
    for (auto &r : f->lod.last_rect) r[0] = 1, r[1] = 1, r[2] = 0, r[3] = 0;
    f->dirty_samples[0] = f->dirty_samples[1] = 1;
    f->dirty_samples[2] = f->dirty_samples[3] = 0;
}

void terrain_lod_free(terrain_field *f) {
    mem_free(f->node_bounds);
    mem_free(f->node_bounds_next);
    mem_free(f->node_errors);
    mem_free(f->row_maxima);
    f->node_bounds = f->node_bounds_next = f->node_errors = f->row_maxima = nullptr;
}

namespace {
// One triangle of a node: a corner height with the plane's rise per cell along x and z from
// the node's first corner, and which samples of each row it holds.
struct lod_triangle {
    float base, du, dv;   // plane: base + du * (x - x0) / s + dv * (z - z0) / s
    int kind;             // 0: x0 + t .. x1; 1: x0 .. x0 + t; 2: x0 .. x1 - t; 3: x1 - t .. x1
    int corners[3][2];
};
}  // namespace

static inline float lod_h(const terrain_field *f, int x, int z) {
    return f->heights[x + (size_t)f->n * z];
}

// Triangle t (0, 1) of the node with first corner (x0, z0), side s, diagonal by parity.
static lod_triangle lod_make_triangle(const terrain_field *f, int x0, int z0, int s, int odd, int t) {
    int x1 = x0 + s, z1 = z0 + s;
    float h00 = lod_h(f, x0, z0), h10 = lod_h(f, x1, z0), h01 = lod_h(f, x0, z1), h11 = lod_h(f, x1, z1);
    lod_triangle tri;
    if (!odd && t == 0) {
        tri = {h00, h10 - h00, h11 - h10, 0, {{x0, z0}, {x1, z0}, {x1, z1}}};
    } else if (!odd) {
        tri = {h00, h11 - h01, h01 - h00, 1, {{x0, z0}, {x1, z1}, {x0, z1}}};
    } else if (t == 0) {
        tri = {h00, h10 - h00, h01 - h00, 2, {{x0, z0}, {x1, z0}, {x0, z1}}};
    } else {
        // Through the far corner: h11 + du (u - 1) + dv (v - 1), based at the first corner.
        float du = h11 - h01, dv = h11 - h10;
        tri = {h11 - du - dv, du, dv, 3, {{x1, z1}, {x0, z1}, {x1, z0}}};
    }
    return tri;
}

// The largest |height - plane| over row t (0..s) of a triangle; *samples gets how many.
static float lod_row_max(const terrain_field *f, const lod_triangle &tri, int x0, int z0, int s,
                         int t, int *samples) {
    int a, b;
    switch (tri.kind) {
        case 0: a = x0 + t, b = x0 + s; break;
        case 1: a = x0, b = x0 + t; break;
        case 2: a = x0, b = x0 + s - t; break;
        default: a = x0 + s - t, b = x0 + s; break;
    }
    float inv = 1.0f / (float)s;
    float row_plane = tri.base + tri.dv * ((float)t * inv);
    const float *h = f->heights + (size_t)f->n * (z0 + t);
    float m = 0;
    for (int x = a; x <= b; x++) {
        float d = fabsf(h[x] - (row_plane + tri.du * ((float)(x - x0) * inv)));
        if (d > m) m = d;
    }
    *samples = b - a + 1;
    return m;
}

static inline int lod_in(const int *r, int x, int z) {
    return x >= r[0] && x <= r[2] && z >= r[1] && z <= r[3];
}

static void lod_rect_clip(int *r, int side) {
    if (r[0] < 0) r[0] = 0;
    if (r[1] < 0) r[1] = 0;
    if (r[2] > side - 1) r[2] = side - 1;
    if (r[3] > side - 1) r[3] = side - 1;
}

// Starts a pass for the current generation: brings the work array up to date with what the
// previous pass changed, takes the changed samples and works out the nodes to recompute.
static void lod_start_pass(terrain_field *f) {
    terrain_lod_work &w = f->lod;
    int k = f->k;
    for (int i = 0; i <= k; i++) {
        const int *r = w.last_rect[i];
        size_t side = (size_t)1 << i, base = lod_base(i);
        for (int z = r[1]; z <= r[3]; z++)
            if (r[0] <= r[2])
                memcpy(f->node_bounds_next + base + side * z + r[0], f->node_bounds + base + side * z + r[0],
                       (size_t)(r[2] - r[0] + 1) * sizeof(float));
    }
    w.generation = -f->edit_generation;
    int *d = f->dirty_samples;
    int whole = d[0] > d[2] || d[1] > d[3];
    if (whole) {
        w.samples[0] = -1;
        w.samples[1] = w.samples[2] = w.samples[3] = 0;
    } else {
        int last = f->n - 1;
        w.samples[0] = d[0] < 0 ? 0 : d[0];
        w.samples[1] = d[1] < 0 ? 0 : d[1];
        w.samples[2] = d[2] > last ? last : d[2];
        w.samples[3] = d[3] > last ? last : d[3];
    }
    d[0] = d[1] = 1;
    d[2] = d[3] = 0;
    for (int i = k; i >= 0; i--) {
        int side = 1 << i, s = lod_side(f, i);
        int *own = w.own[i], *rect = w.rect[i];
        if (whole) {
            own[0] = own[1] = 0;
            own[2] = own[3] = side - 1;
        } else {
            // Nodes holding a sample of the rectangle (edge samples belong to both nodes).
            own[0] = (w.samples[0] + s - 1) / s - 1;
            own[1] = (w.samples[1] + s - 1) / s - 1;
            own[2] = w.samples[2] / s;
            own[3] = w.samples[3] / s;
            lod_rect_clip(own, side);
        }
        memcpy(rect, own, sizeof w.rect[i]);
        if (i < k) {
            // Parents whose children or ring (one child beyond them) reach a node redone below.
            const int *fine = w.rect[i + 1];
            if (fine[0] <= fine[2] && fine[1] <= fine[3]) {
                int p[4] = {fine[0] / 2 - 1, fine[1] / 2 - 1, (fine[2] + 1) / 2, (fine[3] + 1) / 2};
                for (int a = 0; a < 2; a++) {
                    if (rect[a] > rect[a + 2]) rect[a] = p[a], rect[a + 2] = p[a + 2];
                    if (p[a] < rect[a]) rect[a] = p[a];
                    if (p[a + 2] > rect[a + 2]) rect[a + 2] = p[a + 2];
                }
                lod_rect_clip(rect, side);
            }
        }
    }
    w.level = k;
    w.row = w.rect[k][1];
    w.column = w.rect[k][0];
    w.triangle = 0;
    w.triangle_row = 0;
    w.partial_max = 0;
}

// The bound of node (j, r) of level i from its own error and the finer level's new bounds.
static float lod_bound(terrain_field *f, int i, int j, int r) {
    float *next = f->node_bounds_next;
    size_t node = lod_base(i) + ((size_t)r << i) + j;
    float h = (float)(f->extent * 0.70710678) * ldexpf(1.0f, -i);
    float own = f->node_errors[node] / f->detail_factor + h;
    own *= own;
    if (i == f->k) return own;
    static const int ring[8][2] = {{0, -1}, {1, -1}, {2, 0}, {2, 1}, {1, 2}, {0, 2}, {-1, 1}, {-1, 0}};
    int side = 2 << i;
    size_t fine = lod_base(i + 1);
    float m = 0;
    for (const auto &o : ring) {
        int x = 2 * j + o[0], z = 2 * r + o[1];
        if (x < 0 || z < 0 || x >= side || z >= side) continue;
        float b = next[fine + (size_t)z * side + x];
        if (b > m) m = b;
    }
    float margin = f->extent * ldexpf(1.0f, -(i + 1)) * 3.1622777f * 0.50048828125f;
    float bound = sqrtf(m) + margin;
    bound *= bound;
    for (int c = 0; c < 4; c++) {
        float b = next[fine + (size_t)(2 * r + (c >> 1)) * side + 2 * j + (c & 1)];
        if (b > bound) bound = b;
    }
    return own > bound ? own : bound;
}

// Rows of a triangle to re-read: all of them, or those of the changed samples when a big
// node keeps its row maxima and no corner moved. Sets [*first, *last] of rows 0..s.
static void lod_rows_to_read(const terrain_field *f, const lod_triangle &tri, int z0, int s, int *first,
                             int *last) {
    const int *d = f->lod.samples;
    *first = 0;
    *last = s;
    if (d[0] < 0 || s < TERRAIN_ROW_MAXIMA_MIN) return;
    for (const auto &c : tri.corners)
        if (lod_in(d, c[0], c[1])) return;
    *first = d[1] - z0 > 0 ? d[1] - z0 : 0;
    *last = d[3] - z0 < s ? d[3] - z0 : s;
}

int terrain_update_lod_errors(terrain_field *f, int budget) {
    terrain_lod_work &w = f->lod;
    w.work = 0;
    if (w.generation == f->edit_generation) return 1;
    if (w.generation >= 0) lod_start_pass(f);
    long long left = budget;
    int k = f->k;
    while (w.level >= 0) {
        int i = w.level, s = lod_side(f, i);
        const int *rect = w.rect[i];
        if (rect[0] > rect[2] || rect[1] > rect[3] || w.row > rect[3]) {
            if (--w.level >= 0) {
                w.row = w.rect[w.level][1];
                w.column = w.rect[w.level][0];
            }
            continue;
        }
        int j = w.column, r = w.row;
        size_t node = lod_base(i) + ((size_t)r << i) + j;
        if (lod_in(w.own[i], j, r)) {
            int x0 = j * s, z0 = r * s, odd = (j + r) & 1;
            int keep = s >= TERRAIN_ROW_MAXIMA_MIN;
            float *rows = keep ? f->row_maxima + lod_row_base(f, i) + (((size_t)r << i) + j) * 2 * (s + 1) : nullptr;
            while (w.triangle < 2) {
                lod_triangle tri = lod_make_triangle(f, x0, z0, s, odd, w.triangle);
                int first, last;
                lod_rows_to_read(f, tri, z0, s, &first, &last);
                if (w.triangle_row == 0) {
                    left -= 10;
                    w.work += 10;
                    w.triangle_row = first + 1;   // rows are counted from 1 once begun
                }
                for (int t = w.triangle_row - 1; t <= last; t++) {
                    int samples;
                    float m = lod_row_max(f, tri, x0, z0, s, t, &samples);
                    if (keep) rows[w.triangle * (s + 1) + t] = m;
                    else if (m > w.partial_max) w.partial_max = m;
                    left -= samples;
                    w.work += samples;
                    w.triangle_row = t + 2;
                    if (left < 0 && t < last) return 0;
                }
                w.triangle++;
                w.triangle_row = 0;
                if (left < 0) return 0;
            }
            float e = w.partial_max;
            if (keep)
                for (int t = 0; t < 2 * (s + 1); t++)
                    if (rows[t] > e) e = rows[t];
            f->node_errors[node] = e;
        }
        f->node_bounds_next[node] = lod_bound(f, i, j, r);
        w.triangle = 0;
        w.triangle_row = 0;
        w.partial_max = 0;
        if (++w.column > rect[2]) {
            w.column = rect[0];
            w.row++;
        }
        if (left < 0) return 0;
    }
    // Level 0 done: the new bounds take over; the old array is the next pass's work array.
    float *t = f->node_bounds;
    f->node_bounds = f->node_bounds_next;
    f->node_bounds_next = t;
    memcpy(w.last_rect, w.rect, sizeof w.last_rect);
    w.generation = -w.generation;
    w.level = k;
    return w.generation == f->edit_generation;
}

void terrain_low_detail_image(terrain_field *f, int x0, int z0, int width, int height,
                              unsigned char *out) {
    int last = f->n - 1;
    for (int j = 0; j < height; j++) {
        int z = z0 + j < 0 ? 0 : z0 + j > last ? last : z0 + j;
        for (int i = 0; i < width; i++) {
            int x = x0 + i < 0 ? 0 : x0 + i > last ? last : x0 + i;
            size_t s = x + (size_t)f->n * z;
            unsigned char *texel = out + 3 * ((size_t)j * width + i);
            if (f->extra_maps && f->normal_map) {
                if (terrain_bit(f->normal_dirty, s)) {
                    terrain_normal_texel(f, x, z, f->normal_map + 3 * s);
                    terrain_bit_clear(f->normal_dirty, s);
                }
                memcpy(texel, f->normal_map + 3 * s, 3);
            } else {
                if (terrain_bit(f->shading_dirty, s)) {
                    terrain_shade_sample(f, x, z, f->shading + 3 * s);
                    terrain_bit_clear(f->shading_dirty, s);
                }
                memcpy(texel, f->shading + 3 * s, 3);
            }
        }
    }
}
