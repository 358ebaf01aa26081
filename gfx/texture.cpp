// The texture and image caches: tex_load and image_load by name, generations and purging.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "gfx/image.h"
#include "core/settings.h"
#include "gfx/shader.h"
#include "gfx/texture.h"
#include "gfx/texture_anim.h"

growable_array texture_table;
growable_array anim_table;
growable_array texture_link_table;
growable_array image_table;
int32_t texture_generation = 0;
uint32_t texture_memory_bytes = 0;

static void tex_tables_init() {
    if (texture_table.items) return;
    if (!plyx_array_init(&texture_table, sizeof(texture_entry *), TEX_TABLE_CAPACITY) ||
        !plyx_array_init(&anim_table, sizeof(texture_anim *), TEX_TABLE_CAPACITY) ||
        !plyx_array_init(&texture_link_table, sizeof(texture_link), TEX_TABLE_CAPACITY))
        mem_out_of_memory();
}

static bool tex_same_ignoring_case(const char *a, const char *b) {
    for (; *a && *b; a++, b++)
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b)) return false;
    return *a == *b;
}

// The first entry whose name equals name, exactly or else ignoring case (with the warning).
template <class Entry>
static Entry *tex_cache_find(growable_array *table, const char *name) {
    Entry **items = (Entry **)table->items;
    for (int i = 0; i < table->count; i++) {
        if (strcmp(items[i]->name, name) == 0) return items[i];
        if (tex_same_ignoring_case(items[i]->name, name)) {
            char line[960];
            snprintf(line, sizeof line, "Warning: case mismatch on '%.900s'", name);
            console_print(line);
            return items[i];
        }
    }
    return nullptr;
}

// Counts a texture reused from an older race in the current one.
template <class Entry>
static void tex_restamp(Entry *e, bool count_bytes) {
    if (e->generation == 0 || e->generation == texture_generation) return;
    e->generation = texture_generation;
    if (count_bytes) texture_memory_bytes += (uint32_t)e->bytes;
}

// A record with room for the name behind it.
template <class Entry>
static Entry *tex_entry_new(const char *name) {
    size_t len = strlen(name);
    Entry *e = (Entry *)mem_alloc_or_die(sizeof(Entry) + len + 1);
    memset(e, 0, sizeof(Entry));
    char *text = (char *)(e + 1);
    memcpy(text, name, len + 1);
    e->name = text;
    return e;
}

static void tex_cant_open(const char *name) {
    if (game_settings.debug_level == 0) return;
    char line[960];
    snprintf(line, sizeof line, "Can't open texture \"%.900s\"", name);
    console_print(line);
}

static int tex_flags_of(const char *name) {
    int flags = 0;
    if (strstr(name, "-hrepeat.")) flags |= TEX_HREPEAT;
    if (strstr(name, "-vrepeat.")) flags |= TEX_VREPEAT;
    if (strstr(name, "-repeat.")) flags |= TEX_HREPEAT | TEX_VREPEAT;
    return flags;
}

uint32_t tex_load(const char *asked) {
    tex_tables_init();
    int reduce = game_settings.texture_reduce_levels;
    const char *name = asked;
    if (name[0] == '!') {
        reduce = 0;
        name++;
    }
    const texture_link *links = (const texture_link *)texture_link_table.items;
    for (int i = 0; i < texture_link_table.count; i++)
        if (strcmp(links[i].name, name) == 0) {
            if (links[i].target) name = links[i].target;
            break;
        }
    if (texture_entry *hit = tex_cache_find<texture_entry>(&texture_table, name)) {
        tex_restamp(hit, true);
        if (hit->gl_name) return hit->gl_name;
    }
    uint32_t bytes_before = texture_memory_bytes;
    file_stream *s = stream_open(name, "rb");
    if (!s) {
        tex_cant_open(name);
        return 0;
    }
    int flags = tex_flags_of(name);
    char word[16];
    if (stream_scanf(s, "%15s", word) != 1) {
        stream_close(s);
        return 0;
    }
    uint32_t result = 0;
    unsigned char *pixels = nullptr;
    int w = 0, h = 0;
    char *info = nullptr;
    if (strcmp(word, "J7") == 0 || strcmp(word, "J6") == 0) {
        int channels = word[1] == '7' ? 4 : 3;
        if (image_read_predictive(word, s, &pixels, &w, &h, channels)) {
            result = tex_create_reduced(pixels, w, h, channels, reduce, flags, name);
            mem_free(pixels);
        }
    } else if (strcmp(word, "P3") == 0 || strcmp(word, "P6") == 0) {
        if (image_read_ppm(word, s, &pixels, &w, &h)) {
            result = tex_create_reduced(pixels, w, h, 3, reduce, flags, name);
            mem_free(pixels);
        }
    } else if (strcmp(word, "ANIM1") == 0) {
        result = tex_anim_load(s, name, flags);
    } else if (strcmp(word, "LINK") == 0) {
        return tex_link_load(s, name);
    }
    stream_close(s);
    if (!result) {
        int channels;
        if (!image_read_png(name, &pixels, &w, &h, &channels, &info)) return 0;
        if (info && strstr(info, "[compress]")) flags |= TEX_COMPRESS;
        if (game_settings.texture_compress_mode == 0) flags &= ~TEX_COMPRESS;
        if (game_settings.texture_compress_mode == 2) flags |= TEX_COMPRESS;
        result = tex_create_reduced(pixels, w, h, channels, reduce, flags, name);
        mem_free(pixels);
        if (!result) {
            mem_free(info);
            return 0;
        }
    }
    if (w && h && (!tex_is_power_of_two(w) || !tex_is_power_of_two(h))) {
        char line[1000];
        snprintf(line, sizeof line, "Warning: Non power of 2 texture '%.950s'", name);
        console_print(line);
    }
    texture_entry *e = tex_entry_new<texture_entry>(name);
    e->gl_name = result;
    e->generation = texture_generation;
    e->bytes = (int32_t)(texture_memory_bytes - bytes_before);
    e->info = info;
    if (!plyx_array_append(&texture_table, &e)) {
        mem_free(e->info);
        mem_free(e);
    }
    return result;
}

static texture_entry *tex_entry_of(uint32_t gl_name) {
    texture_entry **items = (texture_entry **)texture_table.items;
    for (int i = 0; i < texture_table.count; i++)
        if (items[i]->gl_name == gl_name) return items[i];
    return nullptr;
}

const char *tex_name(uint32_t gl_name) {
    texture_entry *e = tex_entry_of(gl_name);
    return e ? e->name : nullptr;
}

const char *tex_info(uint32_t gl_name) {
    texture_entry *e = tex_entry_of(gl_name);
    return e ? e->info : nullptr;
}

// Every pixel of an RGB chain widened to RGBA with alpha 255, in a new buffer.
static unsigned char *image_widen(unsigned char *rgb, int width, int height) {
    size_t count = image_chain_bytes(width, height, 3) / 3;
    unsigned char *out = (unsigned char *)mem_alloc(count * 4);
    if (out)
        for (size_t i = 0; i < count; i++) {
            memcpy(out + 4 * i, rgb + 3 * i, 3);
            out[4 * i + 3] = 255;
        }
    mem_free(rgb);
    return out;
}

int image_load(const char *asked, unsigned char **pixels_out, int *width, int *height) {
    if (!image_table.items && !plyx_array_init(&image_table, sizeof(image_entry *), TEX_TABLE_CAPACITY))
        mem_out_of_memory();
    int reduce = game_settings.texture_reduce_levels;
    const char *name = asked;
    if (name[0] == '!') {
        reduce = 0;
        name++;
    }
    if (image_entry *hit = tex_cache_find<image_entry>(&image_table, name)) {
        tex_restamp(hit, false);
        *pixels_out = hit->pixels;
        *width = hit->width;
        *height = hit->height;
        return 1;
    }
    file_stream *s = stream_open(name, "rb");
    if (!s) {
        tex_cant_open(name);
        return 0;
    }
    char word[16];
    unsigned char *pixels = nullptr;
    int w = 0, h = 0, channels = 0;
    if (stream_scanf(s, "%15s", word) == 1) {
        if ((strcmp(word, "J7") == 0 || strcmp(word, "J6") == 0) &&
            image_read_predictive(word, s, &pixels, &w, &h, word[1] == '7' ? 4 : 3))
            channels = word[1] == '7' ? 4 : 3;
        else if ((strcmp(word, "P3") == 0 || strcmp(word, "P6") == 0) &&
                 image_read_ppm(word, s, &pixels, &w, &h))
            channels = 3;
    }
    stream_close(s);
    if (!channels && !image_read_png(name, &pixels, &w, &h, &channels, nullptr)) return 0;
    if (!image_fit_power_of_two(&pixels, &w, &h, channels, 2147483647L, reduce)) {
        mem_free(pixels);
        return 0;
    }
    if (channels == 3 && !(pixels = image_widen(pixels, w, h))) return 0;
    image_entry *e = tex_entry_new<image_entry>(name);
    e->width = w;
    e->height = h;
    e->channels = 4;
    e->pixels = pixels;
    e->generation = texture_generation;
    e->bytes = w * h * 4;
    if (!plyx_array_append(&image_table, &e)) {
        // Handed out uncached: the caller's copy is the only one, so it lives on.
        mem_free(e);
    }
    *pixels_out = pixels;
    *width = w;
    *height = h;
    return 1;
}

const char *image_name(const unsigned char *pixels) {
    image_entry **items = (image_entry **)image_table.items;
    for (int i = 0; i < image_table.count; i++)
        if (items[i]->pixels == pixels) return items[i]->name;
    return nullptr;
}

// Removes entry i of a table of pointers, closing the gap.
static void tex_table_remove(growable_array *table, int i) {
    char *items = (char *)table->items;
    size_t size = (size_t)table->element_size;
    memmove(items + size * i, items + size * (i + 1), size * (size_t)(table->count - i - 1));
    table->count--;
}

// Removes, last entry first, every entry that is neither of the current generation nor of
// generation 0 (every entry with all), after remove has freed what it owns.
template <class Entry, class Remove>
static void tex_purge_table(growable_array *table, int all, Remove remove) {
    for (int i = table->count - 1; i >= 0; i--) {
        Entry *e = ((Entry **)table->items)[i];
        if (!all && (e->generation == 0 || e->generation == texture_generation)) continue;
        remove(e);
        mem_free(e);
        tex_table_remove(table, i);
    }
}

void tex_purge(int all) {
    char line[1000];
    tex_purge_table<texture_entry>(&texture_table, all, [&](texture_entry *e) {
        if (game_settings.debug_level) {
            snprintf(line, sizeof line, "deleting tid %u (%.900s)", e->gl_name, e->name);
            console_print(line);
        }
        GLuint gl_name = e->gl_name;
        if (gl_name) glDeleteTextures(1, &gl_name);
        mem_free(e->info);
    });
    tex_purge_table<image_entry>(&image_table, all, [&](image_entry *e) {
        if (game_settings.debug_level) {
            snprintf(line, sizeof line, "deleting image %.900s", e->name);
            console_print(line);
        }
        mem_free(e->pixels);
    });
    for (int i = anim_table.count - 1; i >= 0; i--) {
        texture_anim *a = ((texture_anim **)anim_table.items)[i];
        if (tex_entry_of(a->gl_name)) continue;
        if (game_settings.debug_level) {
            snprintf(line, sizeof line, "deleting anim %d for tid %u", i, a->gl_name);
            console_print(line);
        }
        tex_anim_free(a);
        tex_table_remove(&anim_table, i);
    }
    if (all) {
        plyx_array_free(&texture_table);
        plyx_array_free(&anim_table);
        plyx_array_free(&texture_link_table);
        plyx_array_free(&image_table);
    }
}
