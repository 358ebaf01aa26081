// Loading a track folder's terrain files into the field, step by step on the loading screen,
// and freeing the field again.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/digest.h"
#include "core/loading.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "gfx/image.h"
#include "gfx/shader.h"
#include "gfx/texture.h"
#include "terrain/decal.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"

file_stream *terrain_open_track_file(const char *folder, const char *name, const char *mode,
                                     int complain) {
    char path[1100];
    snprintf(path, sizeof path, "%s/%s", folder, name);
    file_stream *s = stream_open(path, mode);
    if (!s && complain) {
        char line[1000];
        snprintf(line, sizeof line, "Can't open '%.950s'", path);
        console_print(line);
    }
    return s;
}

static void *terrain_zeroed(size_t bytes) {
    void *p = mem_alloc_or_die(bytes ? bytes : 1);
    memset(p, 0, bytes);
    return p;
}

// The record as after a failed load: no arrays, no textures, the starting values.
static void terrain_reset(terrain_field *f) {
    memset(f, 0, sizeof *f);
    f->last_view_x = f->last_view_z = TERRAIN_NO_VIEW;
    f->slot_view_x = f->slot_view_z = TERRAIN_NO_VIEW;
    f->bound_level = -1;
    f->ground_texture_size = 128;
}

// Deletes the textures of the names, except the shared placeholders (deleted once, at the end
// of terrain_free).
static void terrain_delete_textures(const terrain_field *f, uint32_t *names, size_t count) {
    for (size_t i = 0; i < count; i++) {
        if (!names[i]) continue;
        bool shared = false;
        for (uint32_t p : f->placeholders) shared |= p == names[i];
        if (!shared) glDeleteTextures(1, &names[i]);
    }
}

void terrain_free(terrain_field *f) {
    if (f->framebuffer && gl_info.ext_framebuffer_object)
        gl_ext.glDeleteFramebuffersEXT(1, &f->framebuffer);
    terrain_delete_textures(f, &f->slot_textures[0][0][0][0], sizeof f->slot_textures / sizeof(uint32_t));
    if (f->lod_textures) {
        size_t lods = (size_t)(1 << f->k) / 64;
        terrain_delete_textures(f, f->lod_textures, lods * lods * (f->extra_maps ? 3 : 1));
    }
    for (uint32_t p : f->placeholders)
        if (p) glDeleteTextures(1, &p);
    decal_list_free(f);
    if (f->low_detail_textures) terrain_delete_textures(f, f->low_detail_textures, (size_t)f->m * f->m);
    terrain_lod_free(f);
    void *arrays[] = {f->heights,        f->triangle_normals,
                      f->low_detail_textures, f->shading,   f->normal_map,      f->shadows,
                      f->tile_map,       f->node_bits,      f->reshade_pending, f->shading_dirty,
                      f->normal_dirty,   f->triangle_dirty, f->lod_stamps,      f->lod_textures,
                      f->composition};
    for (void *a : arrays) mem_free(a);
    terrain_reset(f);
}

// A failed step: its messages, the stream closed, the record emptied.
static int terrain_fail(terrain_field *f, file_stream *s, const char *message,
                        const char *second = nullptr) {
    if (message) console_print(message);
    if (second) console_print(second);
    stream_close(s);
    terrain_free(f);
    return 0;
}

static void terrain_log_memory(const char *when) {
    if (game_settings.debug_level >= 1)
        plyx_log("%lu bytes texture memory used %s\n", (unsigned long)texture_memory_bytes, when);
}

// Steps 2 and 3: the header of "terrain.hf", checked, and the grid it describes. 1; 0 for bad
// parameters; -1 when a ':' block follows that cannot hold the samples (nothing allocated).
int terrain_read_header(terrain_field *f, file_stream *s, float *lo, float *hi) {
    int k = 0;
    float spacing = 0;
    int got = stream_scanf(s, "%d %f %f %f ", &k, &spacing, lo, hi);
    if (got < 4 || k < TERRAIN_K_MIN || k > TERRAIN_K_MAX || !(spacing >= TERRAIN_SPACING_MIN) ||
        !(spacing <= TERRAIN_SPACING_MAX) || !std::isfinite(*lo) || !std::isfinite(*hi))
        return 0;
    int q = 1 << k, n = 2 * q + 1;
    if (stream_peekc(s) == ':' && stream_remaining(s) < 1 + (int64_t)n * n * 2) return -1;
    f->k = k;
    f->n = n;
    f->spacing = spacing;
    f->tile_size = 2 * spacing;
    f->extent = (float)(2 * q) * spacing;
    double detail = game_settings.terrain_detail;
    f->detail_factor = !(detail >= TERRAIN_DETAIL_MIN) ? TERRAIN_DETAIL_MIN
                       : detail > FLT_MAX            ? FLT_MAX
                                                     : (float)detail;
    f->max_height = *hi;
    f->min_height = *lo;
    f->edit_generation = 1;
    f->node_bits = (unsigned char *)terrain_zeroed(terrain_bit_bytes(terrain_node_count(k)));
    f->heights = (float *)mem_alloc_or_die((size_t)n * n * 2 * sizeof(float));
    f->loaded_heights = f->heights + (size_t)n * n;
    return 1;
}

// Logs the digest of the stored samples (debug level 2).
static void terrain_log_height_digest(ripemd160_state *digest) {
    ripemd160_final(digest);
    if (game_settings.debug_level != 2) return;
    char hex[41];
    ripemd160_hex(digest, hex);
    plyx_log("%s\n", hex);
}

// Step 4: the samples after ':'.
int terrain_read_heights(terrain_field *f, file_stream *s, float lo, float hi, void (*row_done)()) {
    if (stream_getc(s) != ':') return -1;
    int n = f->n;
    ripemd160_state digest;
    ripemd160_init(&digest);
    unsigned char *row = (unsigned char *)mem_alloc_or_die((size_t)n * 2);
    int ok = 1;
    for (int z = 0; z < n; z++) {
        if (stream_read(s, row, 2 * n) != 2 * n) {
            ok = 0;
            break;
        }
        ripemd160_update(&digest, row, (size_t)n * 2);
        for (int x = 0; x < n; x++)
            f->heights[x + (size_t)n * z] = terrain_sample_height(lo, hi, row[2 * x] | row[2 * x + 1] << 8);
        if (row_done) row_done();
    }
    mem_free(row);
    if (ok) terrain_log_height_digest(&digest);
    return ok;
}

static void terrain_heights_row_done() {
    loading_progress("Loading heights");
}

// Step 4 without a ':' block: the samples of "terrain.png" (repeating its last row and column),
// else a flat field that must not be saved.
static void terrain_read_heights_png(terrain_field *f, const char *folder, float lo, float hi) {
    int n = f->n;
    char path[1100];
    snprintf(path, sizeof path, "%s/terrain.png", folder);
    uint16_t *samples = nullptr;
    int w = 0, h = 0;
    if (!image_read_png_grey(path, &samples, &w, &h)) {
        for (size_t i = 0; i < (size_t)n * n; i++) f->heights[i] = lo;
        f->no_save = 1;
        char line[1024];
        snprintf(line, sizeof line,
                 "Warning: can't read heights from '%.900s'; this terrain will not be saved", path);
        console_print(line);
        return;
    }
    ripemd160_state digest;
    ripemd160_init(&digest);
    unsigned char *row = (unsigned char *)mem_alloc_or_die((size_t)n * 2);
    for (int z = 0; z < n; z++) {
        const uint16_t *line = samples + (size_t)w * (z < h ? z : h - 1);
        for (int x = 0; x < n; x++) {
            unsigned v = line[x < w ? x : w - 1];
            row[2 * x] = (unsigned char)(v & 255);
            row[2 * x + 1] = (unsigned char)(v >> 8);
            f->heights[x + (size_t)n * z] = terrain_sample_height(lo, hi, v);
        }
        ripemd160_update(&digest, row, (size_t)n * 2);
        loading_progress("Loading heights");
    }
    mem_free(row);
    mem_free(samples);
    terrain_log_height_digest(&digest);
}

// Step 6: the render mode and the slot texture size; the console names the mode.
static void terrain_choose_render_mode(terrain_field *f, int requested) {
    int setting = game_settings.ground_texture_size;
    setting = setting < 1 ? 128 : setting > 1024 ? 1024 : setting;
    if (requested == TILE_RENDER_FBO && gl_info.ext_framebuffer_object) {
        GLuint framebuffer = 0;
        gl_ext.glGenFramebuffersEXT(1, &framebuffer);
        if (framebuffer) {
            f->framebuffer = framebuffer;
            f->render_mode = TILE_RENDER_FBO;
            f->ground_texture_size = setting;
        }
    }
    if (!f->render_mode) {
        f->render_mode = requested == TILE_RENDER_COPYTEXSUBIMAGE ? TILE_RENDER_COPYTEXSUBIMAGE
                                                                 : TILE_RENDER_TEXSUBIMAGE;
        int cap = TERRAIN_GROUND_SIZE_SOFTWARE_MAX;
        f->ground_texture_size = setting < cap ? setting : cap;
    }
    static const char *const names[] = {"TexSubImage", "CopyTexSubImage", "framebuffer objects"};
    char line[96];
    if (f->render_mode >= 1 && f->render_mode <= 3)
        snprintf(line, sizeof line, "Terrain texture rendering with %s", names[f->render_mode - 1]);
    else
        snprintf(line, sizeof line, "Something went wrong setting up terrain texture rendering!");
    console_print(line);
}

// Step 8: "shadingx2.ppm" as stored, else "shading.ppm" halved. 0 with the message printed.
static int terrain_read_shading(terrain_field *f, const char *folder) {
    int halve = 0;
    file_stream *s = terrain_open_track_file(folder, "shadingx2.ppm", "rb", 0);
    if (!s) {
        s = terrain_open_track_file(folder, "shading.ppm", "rb", 1);
        halve = 1;
        if (!s) return 0;
    }
    unsigned char *pixels = nullptr;
    int w = 0, h = 0;
    int ok = image_read_rgb(s, &pixels, &w, &h);
    stream_close(s);
    if (!ok) {
        console_print("Error reading shading");
        return 0;
    }
    if (w != f->n || h != f->n) {
        char line[96];
        snprintf(line, sizeof line, "Bad shading dimensions (%dx%d)", w, h);
        console_print(line);
        mem_free(pixels);
        return 0;
    }
    size_t bytes = (size_t)f->n * f->n * 3;
    f->shading = (unsigned char *)mem_alloc_or_die(bytes);
    for (size_t i = 0; i < bytes; i++) f->shading[i] = halve ? pixels[i] >> 1 : pixels[i];
    mem_free(pixels);
    return 1;
}

// Step 9: "shadows.pgm" stored inverted; all lit without one. 0 with the message given.
static int terrain_read_shadows(terrain_field *f, const char *folder) {
    size_t count = (size_t)f->n * f->n;
    f->shadows = (unsigned char *)terrain_zeroed(count);
    file_stream *s = terrain_open_track_file(folder, "shadows.pgm", "rb", 0);
    if (!s) return 1;
    unsigned char *lit = nullptr;
    int w = 0, h = 0;
    int ok = image_read_pgm(s, &lit, &w, &h);
    stream_close(s);
    if (!ok) {
        console_print("Error reading shadows");
        return 0;
    }
    if (w != f->n || h != f->n) {
        plyx_log("Bad shadow dimensions (%dx%d)\n", w, h);
        mem_free(lit);
        return 0;
    }
    for (size_t i = 0; i < count; i++) f->shadows[i] = (unsigned char)(255 - lit[i]);
    mem_free(lit);
    return 1;
}

// Step 11: the tile kinds of "tileinfo", else of "texturelist". 0 with the message given.
static int terrain_read_kinds(terrain_field *f, const char *folder) {
    file_stream *s = terrain_open_track_file(folder, "tileinfo", "rb", 0);
    const char *failure = "Error reading tileinfo";
    if (s) {
        tile_load_tileinfo(f, s);
    } else {
        if (!(s = terrain_open_track_file(folder, "texturelist", "rb", 1))) return 0;
        tile_load_texturelist(f, s);
        failure = "Error reading texturelist";
    }
    stream_close(s);
    tile_load_textures(f, 0);
    if (f->kind_count > 0) return 1;
    console_print(failure);
    return 0;
}

// Step 12: q*q tile kinds; missing tiles are kind 0, kinds beyond the last become the last.
void terrain_read_tile_map(terrain_field *f, file_stream *s) {
    int tiles = (1 << f->k) * (1 << f->k);
    f->tile_map = (unsigned char *)terrain_zeroed((size_t)tiles);
    int got = 0;
    for (int n; got < tiles && (n = stream_read(s, f->tile_map + got, tiles - got)) > 0;) got += n;
    if (got < tiles) {
        char line[96];
        snprintf(line, sizeof line, "Warning: tilemap has %d of %d tiles", got, tiles);
        console_print(line);
    }
    int last = f->kind_count - 1;
    for (int i = 0; i < tiles; i++)
        if (f->tile_map[i] > last) f->tile_map[i] = (unsigned char)last;
}

// Step 13: the marks and normals, and with extra maps the normal map.
static void terrain_make_normals(terrain_field *f) {
    size_t samples = (size_t)f->n * f->n, triangles = (size_t)terrain_triangle_count(f->n);
    f->shading_dirty = (unsigned char *)terrain_zeroed(terrain_bit_bytes(samples));
    f->triangle_dirty = (unsigned char *)mem_alloc_or_die(terrain_bit_bytes(triangles));
    memset(f->triangle_dirty, 0xff, terrain_bit_bytes(triangles));
    f->triangle_normals = (vec3 *)terrain_zeroed(triangles * sizeof(vec3));
    if (!f->extra_maps) return;
    f->normal_map = (unsigned char *)mem_alloc_or_die(samples * 3);
    f->normal_dirty = (unsigned char *)terrain_zeroed(terrain_bit_bytes(samples));
    loading_begin("Creating terrain normals");
    for (int z = 0; z < f->n; z++) {
        for (int x = 0; x < f->n; x++)
            terrain_normal_texel(f, x, z, f->normal_map + 3 * (x + (size_t)f->n * z));
        loading_progress("Creating terrain normals");
    }
}

static int terrain_power_of_two_at_least(int v) {
    int p = 1;
    while (p < v) p <<= 1;
    return p;
}

// Step 14 (render modes 2 and 3): the far-field textures made from the shading or normal map.
static void terrain_make_low_detail(terrain_field *f) {
    int q = 1 << f->k, m = (2 * q / 128 + 2) / 3;
    f->m = m;
    int p = terrain_power_of_two_at_least(2 * q - 384 * m + 512);
    f->low_detail_texel_scale = 1.0f / (float)(p < TERRAIN_LOW_DETAIL_SIDE_MAX ? p : TERRAIN_LOW_DETAIL_SIDE_MAX);
    if (game_settings.debug_level >= 1)
        plyx_log("%dx%d low detail textures needed for %dx%d field\n", m, m, f->n, f->n);
    f->low_detail_textures = (uint32_t *)terrain_zeroed((size_t)m * m * sizeof(uint32_t));
    f->reshade_pending = (unsigned char *)terrain_zeroed(terrain_bit_bytes((size_t)m * m));
    for (int j = 0; j < m; j++)
        for (int i = 0; i < m; i++) {
            int w = terrain_power_of_two_at_least(2 * q - 384 * i + 128);
            int h = terrain_power_of_two_at_least(2 * q - 384 * j + 128);
            w = w < TERRAIN_LOW_DETAIL_SIDE_MAX ? w : TERRAIN_LOW_DETAIL_SIDE_MAX;
            h = h < TERRAIN_LOW_DETAIL_SIDE_MAX ? h : TERRAIN_LOW_DETAIL_SIDE_MAX;
            terrain_low_detail_image(f, 384 * i - 64, 384 * j - 64, w, h, f->composition);
            f->low_detail_textures[i + m * j] = tex_create_nomip(f->composition, w, h, 3);
            loading_progress("Creating low detail textures");
        }
    terrain_log_memory("after low detail ground textures");
}

// Step 15: placeholders in every ground-texture slot and LOD texture until they are composed:
// one texture per distinct checker image (a level's slots alike, the LOD textures alike),
// shared by every slot that shows it.
// Placeholder i: the slots of level i (0..5), or the LOD textures (6).
static uint32_t terrain_make_placeholder(terrain_field *f, int i) {
    return i < 6 ? tile_make_checker_texture(f, 64 >> i, (1530 - 255 * i) / 6)
                 : tile_make_checker_texture(f, 16, 0);
}

uint32_t terrain_unshare_texture(terrain_field *f, uint32_t name) {
    for (int i = 0; name && i < 7; i++)
        if (name == f->placeholders[i]) return terrain_make_placeholder(f, i);
    return name;
}

static void terrain_make_placeholders(terrain_field *f) {
    int maps = f->extra_maps ? 3 : 1;
    for (int level = 0; level < 6; level++) {
        uint32_t shared = f->placeholders[level] = terrain_make_placeholder(f, level);
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++)
                for (int map = 0; map < maps; map++) f->slot_textures[map][level][r][c] = shared;
        loading_progress("Creating LOD textures");
    }
    size_t lods = (size_t)(1 << f->k) / 64;
    f->lod_textures = (uint32_t *)terrain_zeroed(lods * lods * maps * sizeof(uint32_t));
    f->placeholders[6] = terrain_make_placeholder(f, 6);
    for (size_t i = 0; i < lods * lods * maps; i++) f->lod_textures[i] = f->placeholders[6];
    f->lod_stamps = (int *)mem_alloc_or_die(lods * lods * sizeof(int));
    for (size_t i = 0; i < lods * lods; i++) f->lod_stamps[i] = -1;
}

int terrain_load(terrain_field *f, const char *folder, int requested_mode) {
    terrain_free(f);
    if (strlen(folder) <= VFS_NAME_MAX) memcpy(f->folder, folder, strlen(folder) + 1);
    loading_begin("Loading terrain");
    file_stream *s = terrain_open_track_file(folder, "terrain.hf", "rb", 1);
    if (!s) return 0;
    f->lighting = &track_lighting;
    float lo = 0, hi = 0;
    int header = terrain_read_header(f, s, &lo, &hi);
    if (header == 0) return terrain_fail(f, s, "Bad height field parameters", "Error reading heights");
    if (header < 0) return terrain_fail(f, s, "Error reading heights");

    f->composition = (unsigned char *)terrain_zeroed(TERRAIN_COMPOSITION_BYTES);

    loading_begin("Loading heights");
    int heights = terrain_read_heights(f, s, lo, hi, terrain_heights_row_done);
    if (heights == 0) return terrain_fail(f, s, "Error reading heights");
    if (heights < 0) terrain_read_heights_png(f, folder, lo, hi);
    memcpy(f->loaded_heights, f->heights, (size_t)f->n * f->n * sizeof(float));
    terrain_lod_alloc(f);
    terrain_update_lod_errors(f, INT_MAX);
    stream_close(s);

    terrain_choose_render_mode(f, requested_mode);
    f->extra_maps = game_settings.terrain_uses_shaders && f->lighting->dynamic_lighting > 0 &&
                    f->render_mode != TILE_RENDER_TEXSUBIMAGE;

    loading_begin("Loading shading");
    if (!terrain_read_shading(f, folder)) return terrain_fail(f, nullptr, nullptr);
    loading_begin("Loading shadows");
    if (!terrain_read_shadows(f, folder)) return terrain_fail(f, nullptr, nullptr);
    terrain_log_memory("before ground tiles loaded");

    loading_begin("Loading tileinfo");
    if (!terrain_read_kinds(f, folder)) return terrain_fail(f, nullptr, nullptr);
    terrain_log_memory("after ground tiles loaded");
    loading_begin("Loading tilemap");
    if (!(s = terrain_open_track_file(folder, "tilemap", "rb", 1))) return terrain_fail(f, nullptr, nullptr);
    terrain_read_tile_map(f, s);
    stream_close(s);

    terrain_make_normals(f);
    if (f->render_mode != TILE_RENDER_TEXSUBIMAGE) {
        loading_begin("Creating low detail textures");
        terrain_make_low_detail(f);
    }
    loading_begin("Creating LOD textures");
    terrain_make_placeholders(f);
    if ((s = terrain_open_track_file(folder, "decals", "rb", 0))) {
        loading_begin("Loading decals");
        decal_load_list(f, s, (std::string(folder) + "/decals").c_str());
        stream_close(s);
    }
    // Every LOD texture now, so the first frame has no backlog; the counter starts at 1 so
    // that an edit before the first frame stamps what it touches.
    loading_begin("Composing ground textures");
    tile_compose_all_lod(f);
    f->texture_update_counter = 1;
    return 1;
}
