// The program's one terrain field, the processor probe and the terrain's per-frame entry points.
#include "terrain/terrain.h"

#include <GL/gl.h>

#include <climits>

#include "platform/plyx.h"
#include "terrain/tile.h"

terrain_field terrain_main_record;
terrain_field *terrain_current = &terrain_main_record;
int terrain_mmx = 0;

void terrain_probe_mmx() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    terrain_mmx = __builtin_cpu_supports("mmx") ? 1 : 0;
#else
    terrain_mmx = 0;
#endif
    if (!terrain_mmx) plyx_log("This CPU does not have MMX!\n");
}

void terrain_use_main_field() {
    terrain_current = &terrain_main_record;
}

void terrain_update_frame_field(terrain_field *f, int reshade_mask) {
    if (!f->heights) return;
    terrain_update_lod_errors(f, TERRAIN_LOD_FRAME_BUDGET);
    if (f->lod.low_detail_calls++ >= reshade_mask) {
        f->lod.low_detail_calls = 0;
        terrain_upload_low_detail(f, 1);
    }
}

void terrain_update_all_field(terrain_field *f) {
    if (!f->heights) return;
    terrain_update_lod_errors(f, INT_MAX);
    terrain_upload_low_detail(f, 1);
    f->last_view_x = f->last_view_z = TERRAIN_NO_VIEW;
    f->slot_view_x = f->slot_view_z = TERRAIN_NO_VIEW;
}

void terrain_update_frame(int reshade_mask) {
    terrain_update_frame_field(terrain_current, reshade_mask);
}

void terrain_update_all() {
    terrain_update_all_field(terrain_current);
}

int terrain_count_pending_reshades(const terrain_field *f) {
    if (f->render_mode == TILE_RENDER_TEXSUBIMAGE || !f->reshade_pending) return 0;
    int count = 0;
    for (int i = 0; i < f->m * f->m; i++) count += terrain_bit(f->reshade_pending, i);
    return count;
}

void terrain_upload_low_detail(terrain_field *f, int count) {
    if (f->render_mode == TILE_RENDER_TEXSUBIMAGE || !f->low_detail_textures) return;
    int m = f->m, q = 1 << f->k, done = 0;
    for (int visit = 0; visit < m * m && (count == 0 || done < count); visit++) {
        int t = f->lod.low_detail_cursor;
        f->lod.low_detail_cursor = (t + 1) % (m * m);
        if (!terrain_bit(f->reshade_pending, t)) continue;
        terrain_bit_clear(f->reshade_pending, t);
        int i = t % m, j = t / m;
        // The textures drawn from this core (384 x 384 samples, 192 x 192 tiles... in cells).
        terrain_mark_textures_stale(f, 384 * i, 384 * j, 384 * i + 383, 384 * j + 383);
        int w = 1, h = 1;
        while (w < 2 * q - 384 * i + 128) w <<= 1;
        while (h < 2 * q - 384 * j + 128) h <<= 1;
        w = w < TERRAIN_LOW_DETAIL_SIDE_MAX ? w : TERRAIN_LOW_DETAIL_SIDE_MAX;
        h = h < TERRAIN_LOW_DETAIL_SIDE_MAX ? h : TERRAIN_LOW_DETAIL_SIDE_MAX;
        terrain_low_detail_image(f, 384 * i - 64, 384 * j - 64, w, h, f->composition);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glBindTexture(GL_TEXTURE_2D, f->low_detail_textures[t]);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, f->composition);
        done++;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}
