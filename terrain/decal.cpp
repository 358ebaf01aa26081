// The decal list: its file (read line by line, bad lines kept as text), the checks on its
// numbers, its textures, and the 8 x 8 bins that find the decals under a ground texture.
#include "terrain/decal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/loading.h"
#include "core/mem.h"
#include "core/stream.h"
#include "core/util.h"
#include "gfx/texture.h"
#include "terrain/tile.h"

decal *decal_at(terrain_field *f, int i) {
    return (decal *)f->decals.items + i;
}

static void decal_array(growable_array *a, int element_size) {
    if (!plyx_array_init(a, element_size, 16)) mem_out_of_memory();
}

void decal_list_create(terrain_field *f) {
    decal_list_free(f);
    decal_array(&f->decals, sizeof(decal));
    decal_array(&f->decal_kept_lines, sizeof(const char *));
    for (growable_array &q : f->bin_query) decal_array(&q, sizeof(int));
    for (auto &row : f->decal_bins)
        for (growable_array &bin : row) decal_array(&bin, sizeof(int));
}

void decal_list_free(terrain_field *f) {
    if (f->decals.items) {
        plyx_array_free(&f->decals);
        for (auto &row : f->decal_bins)
            for (growable_array &bin : row) plyx_array_free(&bin);
    }
    if (f->decal_kept_lines.items) plyx_array_free(&f->decal_kept_lines);
    for (growable_array &q : f->bin_query)
        if (q.items) plyx_array_free(&q);
    memset(&f->decals, 0, sizeof f->decals);
    memset(f->decal_bins, 0, sizeof f->decal_bins);
    memset(f->bin_query, 0, sizeof f->bin_query);
    memset(&f->decal_kept_lines, 0, sizeof f->decal_kept_lines);
}

int decal_values_ok(const terrain_field *f, float x, float z, float angle, float size, float aspect) {
    float e = f->extent;
    for (float v : {x, z, angle, size, aspect})
        if (!std::isfinite(v)) return 0;
    return x >= -e && x <= 2 * e && z >= -e && z <= 2 * e && size > 0 && size <= 2 * e && aspect > 0 &&
           aspect <= 1024 && fabsf(angle) <= 1e6f;
}

char *terrain_replace_suffix(const char *name, const char *suffix, const char *replacement) {
    size_t n = strlen(name), s = strlen(suffix), r = strlen(replacement);
    if (n < s || strcmp(name + n - s, suffix) != 0) return nullptr;
    char *out = (char *)mem_alloc_or_die(n - s + r + 1);
    memcpy(out, name, n - s);
    memcpy(out + n - s, replacement, r + 1);
    return out;
}

// A companion map: the name with its extension replaced by each ending in turn.
static uint32_t decal_companion(const char *name, const char *png, const char *ppm) {
    const char *dot = strrchr(name, '.');
    if (!dot) return 0;
    for (const char *ending : {png, ppm}) {
        char *other = terrain_replace_suffix(name, dot, ending);
        uint32_t t = tex_load(other);
        mem_free(other);
        if (t) return t;
    }
    return 0;
}

void decal_load_textures(const terrain_field *f, decal *d, const char *name) {
    d->name = util_intern(name);
    d->pixels = nullptr;
    d->width = d->height = 0;
    d->texture = d->normal_texture = d->specular_texture = 0;
    if (f->render_mode == TILE_RENDER_TEXSUBIMAGE) {
        unsigned char *pixels = nullptr;
        if (image_load(name, &pixels, &d->width, &d->height)) d->pixels = pixels;
        else d->width = d->height = 0;
        return;
    }
    d->texture = tex_load(name);
    if (f->extra_maps) {
        d->normal_texture = decal_companion(name, "_tnorm.png", "_tnorm.ppm");
        d->specular_texture = decal_companion(name, "_tspec.png", "_tspec.ppm");
    }
}

static void decal_keep_line(terrain_field *f, const std::string &line) {
    const char *kept = util_intern(line.c_str());
    if (!plyx_array_append(&f->decal_kept_lines, &kept)) mem_out_of_memory();
}

// One line of the file: 1 when it made a decal, 0 when it is bad.
static int decal_parse_line(terrain_field *f, const std::string &line) {
    if (line.size() > DECAL_LINE_MAX) return 0;
    float x, z, angle, size, aspect;
    char name[1024], rest[8];
    int got = stream_scan_text(line.c_str(), "[ %f %f ] %f %f %f %1023s %7s", &x, &z, &angle, &size, &aspect,
                               name, rest);
    if (got != 6 || !decal_values_ok(f, x, z, angle, size, aspect)) return 0;
    decal d;
    memset(&d, 0, sizeof d);
    d.x = x, d.z = z, d.angle = angle, d.size = size, d.aspect = aspect;
    d.sin = sinf(angle);
    d.cos = cosf(angle);
    decal_load_textures(f, &d, name);
    if (!plyx_array_append(&f->decals, &d)) mem_out_of_memory();
    return 1;
}

int decal_load_list(terrain_field *f, file_stream *s, const char *shown) {
    if (!shown) shown = s->name;
    // Read whole, but never more than the limit.
    std::string text;
    char chunk[65536];
    for (int got; (got = stream_read(s, chunk, sizeof chunk)) > 0;) {
        text.append(chunk, (size_t)got);
        if ((long)text.size() > DECAL_FILE_MAX) {
            console_printf("Warning: '%.900s' is too large; decals not loaded", shown);
            return 0;
        }
    }
    decal_list_create(f);
    int number = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        at = end + 1;
        number++;
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        if (f->decals.count >= DECAL_LIST_MAX) {
            decal_keep_line(f, line);
            continue;
        }
        if (!decal_parse_line(f, line)) {
            console_printf("Warning: bad decal line %d in '%.900s'", number, shown);
            decal_keep_line(f, line);
        }
        if ((number & 1023) == 0) loading_progress("Loading decals");
    }
    decal_bins_rebuild(f);
    return 1;
}

int decal_write_list(const terrain_field *f, file_stream *s) {
    const decal *list = (const decal *)f->decals.items;
    for (int i = 0; i < f->decals.count; i++) {
        const decal &d = list[i];
        if (stream_printf(s, "[%f %f] %f %f %f %s\n", d.x, d.z, d.angle, d.size, d.aspect, d.name ? d.name : "") < 0)
            return 0;
    }
    const char *const *kept = (const char *const *)f->decal_kept_lines.items;
    for (int i = 0; i < f->decal_kept_lines.count; i++)
        if (stream_printf(s, "%s\n", kept[i]) < 0) return 0;
    return 1;
}

// ---- Bins ----------------------------------------------------------------------------------

int decal_bin_of(const terrain_field *f, float c) {
    float b = floorf(c / f->extent * 8);
    return !(b >= 0) ? 0 : b > 7 ? 7 : (int)b;
}

void decal_half_extents(const decal &d, float *hx, float *hz) {
    *hx = fabsf(d.size * d.aspect * d.cos / 2) + fabsf(d.size * d.sin / 2);
    *hz = fabsf(d.size * d.cos / 2) + fabsf(d.size * d.aspect * d.sin / 2);
}

// The bins decal i's box touches.
static void decal_bin_range(terrain_field *f, int i, int *b) {
    const decal &d = *decal_at(f, i);
    float hx, hz;
    decal_half_extents(d, &hx, &hz);
    b[0] = decal_bin_of(f, d.x - hx);
    b[1] = decal_bin_of(f, d.z - hz);
    b[2] = decal_bin_of(f, d.x + hx);
    b[3] = decal_bin_of(f, d.z + hz);
}

static float decal_cell(float v, float spacing) {
    float c = v / spacing;
    return !(c > -1048576.0f) ? -1048576.0f : c > 1048576.0f ? 1048576.0f : c;
}

void decal_mark_textures_stale(terrain_field *f, int i) {
    const decal &d = *decal_at(f, i);
    float hx, hz;
    decal_half_extents(d, &hx, &hz);
    terrain_mark_textures_stale(f, (int)decal_cell(d.x - hx, f->spacing), (int)decal_cell(d.z - hz, f->spacing),
                                (int)decal_cell(d.x + hx, f->spacing), (int)decal_cell(d.z + hz, f->spacing));
}

void decal_bins_insert(terrain_field *f, int i) {
    decal_mark_textures_stale(f, i);
    int b[4];
    decal_bin_range(f, i, b);
    for (int z = b[1]; z <= b[3]; z++)
        for (int x = b[0]; x <= b[2]; x++) {
            growable_array &bin = f->decal_bins[z][x];
            if (!plyx_array_append(&bin, &i)) mem_out_of_memory();
            int *items = (int *)bin.items, at = bin.count - 1;
            while (at > 0 && items[at - 1] > i) {
                items[at] = items[at - 1];
                at--;
            }
            items[at] = i;
        }
}

void decal_bins_remove(terrain_field *f, int i) {
    decal_mark_textures_stale(f, i);
    int b[4];
    decal_bin_range(f, i, b);
    for (int z = b[1]; z <= b[3]; z++)
        for (int x = b[0]; x <= b[2]; x++) {
            growable_array &bin = f->decal_bins[z][x];
            int *items = (int *)bin.items, out = 0;
            for (int k = 0; k < bin.count; k++)
                if (items[k] != i) items[out++] = items[k];
            bin.count = out;
        }
}

void decal_bins_shift_indexes(terrain_field *f, int first, int delta) {
    for (auto &row : f->decal_bins)
        for (growable_array &bin : row) {
            int *items = (int *)bin.items;
            for (int k = 0; k < bin.count; k++)
                if (items[k] >= first) items[k] += delta;
        }
}

void decal_bins_rebuild(terrain_field *f) {
    for (auto &row : f->decal_bins)
        for (growable_array &bin : row) bin.count = 0;
    for (int i = 0; i < f->decals.count; i++) decal_bins_insert(f, i);
}

const int *decal_bins_query(terrain_field *f, float x0, float z0, float x1, float z1, int *count) {
    int bx0 = decal_bin_of(f, x0), bz0 = decal_bin_of(f, z0), bx1 = decal_bin_of(f, x1), bz1 = decal_bin_of(f, z1);
    if (bx0 == bx1 && bz0 == bz1) {
        *count = f->decal_bins[bz0][bx0].count;
        return (const int *)f->decal_bins[bz0][bx0].items;
    }
    // The sorted union, merged bin by bin through the two merge arrays.
    int from = 0;
    f->bin_query[0].count = 0;
    for (int z = bz0; z <= bz1; z++)
        for (int x = bx0; x <= bx1; x++) {
            growable_array &a = f->bin_query[from], &out = f->bin_query[1 - from], &bin = f->decal_bins[z][x];
            out.count = 0;
            const int *p = (const int *)a.items, *q = (const int *)bin.items;
            int i = 0, j = 0;
            while (i < a.count || j < bin.count) {
                int v;
                if (j >= bin.count || (i < a.count && p[i] < q[j])) v = p[i++];
                else if (i >= a.count || q[j] < p[i]) v = q[j++];
                else v = p[i++], j++;
                if (!plyx_array_append(&out, &v)) mem_out_of_memory();
                p = (const int *)a.items;
            }
            from = 1 - from;
        }
    *count = f->bin_query[from].count;
    return (const int *)f->bin_query[from].items;
}
