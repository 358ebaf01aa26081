// Repainting the tile map: a cell takes a kind and its neighbours' transition tiles follow.
#include "terrain/tile.h"

// The material of each corner of a kind (bit i of the code's mask set: material b, else a).
static void tile_corners(const tile_kind &k, int out[4]) {
    int code = k.transition;
    int a = (code >> 16) & 255, b = (code >> 8) & 255, mask = code & 15;
    for (int i = 0; i < 4; i++) out[i] = (mask >> i) & 1 ? b : a;
}

static int tile_side(const terrain_field *f) {
    return f->tile_map && f->k >= 0 && f->k <= TERRAIN_K_MAX ? 1 << f->k : 0;
}

void tile_fix_transition(terrain_field *f, int column, int row, int material, int mask) {
    int q = tile_side(f);
    if (q < 1 || f->kind_count < 1) return;
    int c = column < 0 ? 0 : column >= q ? q - 1 : column;
    int r = row < 0 ? 0 : row >= q ? q - 1 : row;
    int corners[4], wanted[4];
    tile_corners(f->kinds[f->tile_map[c + (size_t)q * r]], corners);
    bool changed = false;
    for (int i = 0; i < 4; i++) {
        wanted[i] = (mask >> i) & 1 ? material : corners[i];
        changed = changed || wanted[i] != corners[i];
    }
    if (!changed) return;
    for (int k = 0; k < f->kind_count && k < TERRAIN_KINDS_MAX; k++) {
        int have[4];
        tile_corners(f->kinds[k], have);
        if (have[0] != wanted[0] || have[1] != wanted[1] || have[2] != wanted[2] || have[3] != wanted[3])
            continue;
        if (c == column && r == row) f->tile_map[c + (size_t)q * r] = (unsigned char)k;
        return;
    }
}

// The eight neighbours of a painted cell with the corners they share with it.
static const int tile_neighbour_masks[8][3] = {{-1, -1, 1}, {0, -1, 3}, {1, -1, 2}, {-1, 0, 5},
                                               {1, 0, 10},  {-1, 1, 4}, {0, 1, 12}, {1, 1, 8}};

int tile_paint_cell(terrain_field *f, int column, int row, int kind) {
    int q = tile_side(f);
    if (q < 1 || column < 0 || row < 0 || column >= q || row >= q || kind < 0 || kind >= TERRAIN_KINDS_MAX)
        return 0;
    f->tile_map[column + (size_t)q * row] = (unsigned char)kind;
    int material = (f->kinds[kind].transition >> 16) & 255;
    for (const auto &n : tile_neighbour_masks) tile_fix_transition(f, column + n[0], row + n[1], material, n[2]);
    return 1;
}
