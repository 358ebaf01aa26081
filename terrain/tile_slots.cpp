// The ground-texture slots: six levels of 4 x 4 windows that follow the view like ring buffers,
// the LOD textures beyond them, staleness stamps, and the per-frame composition of what is due.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "core/loading.h"
#include "core/settings.h"
#include "gfx/shader.h"
#include "platform/plyx.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"

static tile_compose_hook_fn slots_hook;
static void *slots_hook_user;
static int slots_workaround_checked;

void tile_set_compose_hook(tile_compose_hook_fn fn, void *user) {
    slots_hook = fn;
    slots_hook_user = user;
}

int tile_finest_level() {
    int f = game_settings.ground_texture_reduce_levels;
    return f < 0 ? 0 : f > 4 ? 4 : f;
}

int tile_window_origin(int view_cell, int e, int k) {
    int o = ((view_cell - (1 << e)) >> (e + 1)) - 1;
    int top = (1 << (k - e)) - 4;
    if (top < 0) top = 0;
    return o < 0 ? 0 : o > top ? top : o;
}

static inline int slots_lod_side(const terrain_field *f) {
    return (1 << f->k) / 64;
}

// 1 when window position (c, r) of level e covers tiles inside the field.
static inline int slots_inside(const terrain_field *f, int e, int c, int r) {
    int count = 1 << (f->k - e);
    return f->slot_origin[e][0] + c < count && f->slot_origin[e][1] + r < count;
}

// Composes one slot or LOD texture (through the hook when one is set).
static void slots_compose_slot(terrain_field *f, int e, int c, int r) {
    if (slots_hook && slots_hook(e, c, r, slots_hook_user)) return;
    int d = 1 << e;
    for (int m = 0; m < 3; m++)
        f->slot_textures[m][e][r][c] = terrain_unshare_texture(f, f->slot_textures[m][e][r][c]);
    tile_compose(f, (f->slot_origin[e][0] + c) * d, (f->slot_origin[e][1] + r) * d, d,
                 f->slot_textures[0][e][r][c], f->slot_textures[1][e][r][c], f->slot_textures[2][e][r][c]);
}

static void slots_compose_lod(terrain_field *f, int index) {
    int side = slots_lod_side(f);
    if (slots_hook && slots_hook(6, index, 0, slots_hook_user)) return;
    size_t all = (size_t)side * side;
    uint32_t *t = f->lod_textures;
    for (size_t m = 0; m < (f->extra_maps ? 3u : 1u); m++)
        t[m * all + index] = terrain_unshare_texture(f, t[m * all + index]);
    tile_compose(f, index % side * 64, index / side * 64, 64, t[index], f->extra_maps ? t[all + index] : 0,
                 f->extra_maps ? t[2 * all + index] : 0);
}

void tile_compose_all_lod(terrain_field *f) {
    int count = slots_lod_side(f) * slots_lod_side(f);
    for (int i = 0; i < count; i++) {
        slots_compose_lod(f, i);
        f->lod_stamps[i] = 0;
        loading_progress("Composing ground textures");
    }
}

void tile_scroll_windows(terrain_field *f, int view_x, int view_z) {
    int had_view = f->slot_view_x > -999999 && f->slot_view_z > -999999;
    for (int e = 5; e >= 0; e--) {
        int ox = tile_window_origin(view_x, e, f->k), oz = tile_window_origin(view_z, e, f->k);
        int dx = had_view ? ox - f->slot_origin[e][0] : 4, dz = had_view ? oz - f->slot_origin[e][1] : 4;
        uint32_t names[3][4][4];
        for (int m = 0; m < 3; m++) memcpy(names[m], f->slot_textures[m][e], sizeof names[m]);
        int stamps[4][4];
        unsigned char ready[4][4];
        memcpy(stamps, f->slot_stamps[e], sizeof stamps);
        memcpy(ready, f->slot_ready[e], sizeof ready);
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++) {
                int sc = c + dx, sr = r + dz;
                int mc = ((sc % 4) + 4) % 4, mr = ((sr % 4) + 4) % 4;
                for (int m = 0; m < 3; m++) f->slot_textures[m][e][r][c] = names[m][mr][mc];
                int kept = sc >= 0 && sc < 4 && sr >= 0 && sr < 4;
                f->slot_stamps[e][r][c] = kept ? stamps[sr][sc] : 0;
                f->slot_ready[e][r][c] = kept ? ready[sr][sc] : 0;
            }
        f->slot_origin[e][0] = ox;
        f->slot_origin[e][1] = oz;
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++)
                if (!slots_inside(f, e, c, r)) f->slot_ready[e][r][c] = 0, f->slot_stamps[e][r][c] = 0;
    }
    f->slot_view_x = view_x;
    f->slot_view_z = view_z;
}

void terrain_mark_textures_stale(terrain_field *f, int x0, int z0, int x1, int z1) {
    if (!f->lod_stamps) return;
    int stamp = f->texture_update_counter;
    if (stamp <= 0) return;
    int side = slots_lod_side(f);
    auto lod_index = [&](int cell) { return cell < 0 ? 0 : (cell >> 7) >= side ? side - 1 : cell >> 7; };
    for (int b = lod_index(z0); b <= lod_index(z1); b++)
        for (int a = lod_index(x0); a <= lod_index(x1); a++)
            if (f->lod_stamps[a + side * b] == 0) f->lod_stamps[a + side * b] = stamp;
    if (f->slot_view_x <= -999999) return;
    for (int e = tile_finest_level(); e <= 5; e++) {
        int cells = 2 << e;
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++) {
                if (!slots_inside(f, e, c, r)) continue;
                int sx = (f->slot_origin[e][0] + c) * cells, sz = (f->slot_origin[e][1] + r) * cells;
                if (sx > x1 || sz > z1 || sx + cells <= x0 || sz + cells <= z0) continue;
                if (f->slot_stamps[e][r][c] == 0) f->slot_stamps[e][r][c] = stamp;
            }
    }
}

// The oldest stamp: its level (6 for a LOD texture) and place; 0 when nothing is stale.
static int slots_oldest(const terrain_field *f, int *level, int *c, int *r) {
    int best = 0;
    if (f->slot_view_x > -999999)
        for (int e = tile_finest_level(); e <= 5; e++)
            for (int y = 0; y < 4; y++)
                for (int x = 0; x < 4; x++) {
                    int s = f->slot_stamps[e][y][x];
                    if (s > 0 && (best == 0 || s < best) && slots_inside(f, e, x, y))
                        best = s, *level = e, *c = x, *r = y;
                }
    if (f->lod_stamps) {
        int count = slots_lod_side(f) * slots_lod_side(f);
        for (int i = 0; i < count; i++) {
            int s = f->lod_stamps[i];
            if (s > 0 && (best == 0 || s < best)) best = s, *level = 6, *c = i, *r = 0;
        }
    }
    return best;
}

int terrain_texture_age(const terrain_field *f) {
    int level, c, r;
    int oldest = slots_oldest(f, &level, &c, &r);
    return oldest ? f->texture_update_counter - oldest : 0;
}

void tile_render_pending(terrain_field *f) {
    if (!f->heights || !f->lod_stamps) return;
    if (!slots_workaround_checked) {
        slots_workaround_checked = 1;
        if (gl_info.renderer && strstr(gl_info.renderer, "ATI Radeon X1270")) {
            f->large_decal_workaround = 1;
            plyx_log("Working around ATI Radeon X1270 bug\n");
        }
    }
    f->tiles_composed = 0;
    f->decals_drawn = 0;
    int count = slots_lod_side(f) * slots_lod_side(f);
    for (int i = 0; i < count; i++)
        if (f->lod_stamps[i] == -1) {
            slots_compose_lod(f, i);
            f->lod_stamps[i] = 0;
        }
    int vx = terrain_view_cell(f->eye[0], f->spacing, f->slot_view_x);
    int vz = terrain_view_cell(f->eye[2], f->spacing, f->slot_view_z);
    if (vx <= -999999 && f->slot_view_x <= -999999) vx = vz = 0;   // a NaN eye before any view
    tile_scroll_windows(f, vx, vz);
    int finest = tile_finest_level();
    for (int e = 5; e >= finest; e--) {
        int done = 0;
        for (int r = 0; r < 4 && !done; r++)
            for (int c = 0; c < 4 && !done; c++)
                if (!f->slot_ready[e][r][c] && slots_inside(f, e, c, r)) {
                    slots_compose_slot(f, e, c, r);
                    f->slot_ready[e][r][c] = 1;
                    f->slot_stamps[e][r][c] = 0;
                    done = 1;
                }
    }
    int level = 0, c = 0, r = 0;
    if (slots_oldest(f, &level, &c, &r)) {
        if (level == 6) {
            slots_compose_lod(f, c);
            f->lod_stamps[c] = 0;
        } else {
            slots_compose_slot(f, level, c, r);
            f->slot_stamps[level][r][c] = 0;
            f->slot_ready[level][r][c] = 1;
        }
    }
}

int tile_choose_level(const terrain_field *f, int node_level, int column, int row, int first) {
    if (f->slot_view_x <= -999999) return 6;
    int shift = f->k - node_level;
    int tx = column << shift, tz = row << shift;
    for (int e = first; e <= 5; e++) {
        int c = (tx >> e) - f->slot_origin[e][0], r = (tz >> e) - f->slot_origin[e][1];
        if (c < 0 || r < 0 || c > 3 || r > 3) continue;
        if (f->slot_ready[e][r][c] && slots_inside(f, e, c, r)) return e;
    }
    return 6;
}

void terrain_bind_tile_textures(terrain_field *f, int node_level, int column, int row, int e) {
    uint32_t names[3];
    int shift = f->k - node_level;
    int tx = column << shift, tz = row << shift;
    if (e < 6) {
        int c = (tx >> e) - f->slot_origin[e][0], r = (tz >> e) - f->slot_origin[e][1];
        for (int m = 0; m < 3; m++) names[m] = f->slot_textures[m][e][r][c];
    } else {
        int side = slots_lod_side(f), i = (tx >> 6) + side * (tz >> 6);
        size_t all = (size_t)side * side;
        names[0] = f->lod_textures[i];
        names[1] = f->extra_maps ? f->lod_textures[all + i] : 0;
        names[2] = f->extra_maps ? f->lod_textures[2 * all + i] : 0;
    }
    if (names[0] == f->bound_texture && e == f->bound_level) return;
    f->bound_texture = names[0];
    f->bound_level = e;
    if (f->extra_maps && gl_info.arb_multitexture) {
        gl_ext.glActiveTextureARB(GL_TEXTURE1_ARB);
        glBindTexture(GL_TEXTURE_2D, names[1]);
        gl_ext.glActiveTextureARB(GL_TEXTURE2_ARB);
        glBindTexture(GL_TEXTURE_2D, names[2]);
        gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glBindTexture(GL_TEXTURE_2D, names[0]);
}
