// Dig and deposit: a bump shaped by a cubic falloff, a volume spread with it, and the
// invalidation of the square they touched.
#include "terrain/dig.h"

#include <cmath>

#include "terrain/tile.h"

float terrain_falloff(float t, float r) {
    if (t != t) return 1.0f;
    if (t > r) return 0.0f;
    float u = t / r;
    return 2.0f * u * u * u - 3.0f * u * u + 1.0f;
}

// The square of samples a brush visits: columns cx - h + 1 .. cx + h, rows likewise, and the
// centre in cells.
struct dig_square {
    float fx, fz, r;
    int cx, cz, h;
};

// The brush's square: 0 when it visits nothing (non-finite input, no field, a radius not above
// 0 or above the limit).
static int dig_square_of(const terrain_field *f, float x, float z, float radius, dig_square *q) {
    if (!f || !f->heights || f->n < 1 || !(f->spacing > 0)) return 0;
    if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(radius)) return 0;
    q->r = radius / f->spacing;
    if (!(q->r > 0) || q->r > DIG_RADIUS_CELLS_MAX) return 0;
    q->h = (int)ceilf(q->r);
    q->fx = x / f->spacing;
    q->fz = z / f->spacing;
    if (!std::isfinite(q->fx) || !std::isfinite(q->fz)) return 0;
    double cx = floor((double)q->fx), cz = floor((double)q->fz);
    if (cx < -DIG_CENTRE_CELLS_MAX) cx = -DIG_CENTRE_CELLS_MAX;
    if (cx > DIG_CENTRE_CELLS_MAX) cx = DIG_CENTRE_CELLS_MAX;
    if (cz < -DIG_CENTRE_CELLS_MAX) cz = -DIG_CENTRE_CELLS_MAX;
    if (cz > DIG_CENTRE_CELLS_MAX) cz = DIG_CENTRE_CELLS_MAX;
    q->cx = (int)cx;
    q->cz = (int)cz;
    return 1;
}

static float dig_weight(const dig_square &q, int col, int row) {
    float dx = (float)col - q.fx, dz = (float)row - q.fz;
    return terrain_falloff(sqrtf(dx * dx + dz * dz), q.r);
}

static inline int dig_clamp(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

// Adds d to a sample (its height read clamped to the grid; terrain_set_height ignores samples
// outside the grid and frozen heights).
static void dig_add(terrain_field *f, int col, int row, float d) {
    int a = dig_clamp(col, 0, f->n - 1), b = dig_clamp(row, 0, f->n - 1);
    terrain_set_height(f, col, row, d + f->heights[a + (size_t)f->n * b]);
}

// Invalidates the square and raises the edit generation.
static void dig_finish(terrain_field *f, const dig_square &q) {
    terrain_invalidate_rect_clamped(f, q.cx - q.h + 1, q.cz - q.h + 1, q.cx + q.h, q.cz + q.h);
    f->edit_generation++;
}

float terrain_add_bump(terrain_field *f, float x, float z, float radius, float amount) {
    if (amount == 0 || !std::isfinite(amount)) return 0;
    dig_square q;
    if (!dig_square_of(f, x, z, radius, &q)) return 0;
    float sum = 0;
    for (int row = q.cz - q.h + 1; row <= q.cz + q.h; row++)
        for (int col = q.cx - q.h + 1; col <= q.cx + q.h; col++) {
            float d = amount * dig_weight(q, col, row);
            dig_add(f, col, row, d);
            sum += d;
        }
    dig_finish(f, q);
    return sum;
}

void terrain_spread_volume(terrain_field *f, float x, float z, float radius, float volume) {
    if (volume == 0 || !std::isfinite(volume)) return;
    dig_square q;
    if (!dig_square_of(f, x, z, radius, &q)) return;
    float weights = 0;
    for (int row = q.cz - q.h + 1; row <= q.cz + q.h; row++)
        for (int col = q.cx - q.h + 1; col <= q.cx + q.h; col++) weights += dig_weight(q, col, row);
    if (weights < 1) weights = 1;
    for (int row = q.cz - q.h + 1; row <= q.cz + q.h; row++)
        for (int col = q.cx - q.h + 1; col <= q.cx + q.h; col++)
            dig_add(f, col, row, dig_weight(q, col, row) * volume / weights);
    dig_finish(f, q);
}

void terrain_invalidate_rect(terrain_field *f, int x0, int z0, int x1, int z1) {
    if (f->render_mode == TILE_RENDER_TEXSUBIMAGE) {
        terrain_mark_textures_stale(f, x0, z0, x1, z1);
        return;
    }
    if ((f->render_mode != TILE_RENDER_COPYTEXSUBIMAGE && f->render_mode != TILE_RENDER_FBO) ||
        !f->reshade_pending || f->m < 1)
        return;
    int m = f->m;
    int i0 = dig_clamp(x0 / DIG_LOW_DETAIL_CORE, 0, m - 1), i1 = dig_clamp(x1 / DIG_LOW_DETAIL_CORE, 0, m - 1);
    int j0 = dig_clamp(z0 / DIG_LOW_DETAIL_CORE, 0, m - 1), j1 = dig_clamp(z1 / DIG_LOW_DETAIL_CORE, 0, m - 1);
    for (int j = j0; j <= j1; j++)
        for (int i = i0; i <= i1; i++) terrain_bit_set(f->reshade_pending, i + (size_t)m * j);
}

void terrain_invalidate_rect_clamped(terrain_field *f, int x0, int z0, int x1, int z1) {
    int last = f->n - 1;
    terrain_invalidate_rect(f, dig_clamp(x0, 0, last), dig_clamp(z0, 0, last), dig_clamp(x1, 0, last),
                            dig_clamp(z1, 0, last));
}
