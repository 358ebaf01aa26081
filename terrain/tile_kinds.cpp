// Tile kinds: their defaults and textures, the older "texturelist", the transition codes and the
// placeholder ground textures.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/loading.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/stream.h"
#include "gfx/image.h"
#include "gfx/shader.h"
#include "gfx/texture.h"
#include "terrain/tile.h"

// The stand-in image of a kind without a texture in render mode 1: one mid-grey RGBA texel.
static const unsigned char tile_grey_texel[4] = {128, 128, 128, 255};

void tile_kind_defaults(tile_pending *p) {
    memset(p, 0, sizeof *p);
    tile_kind &k = p->kind;
    for (int i = 0; i < 8; i++) {
        k.friction_a[i] = 1.0f;
        k.friction_b[i] = i == 0 ? 1.0f : TERRAIN_FRICTION_UNUSED;
        k.roll_a[i] = 5.0f;
        k.roll_b[i] = 15.0f;
        k.roll_c[i] = i == 0 ? 1.0f : 0.0f;
    }
    // Kind, texture, count, dig, slip threshold, slow and fast angle, slow and fast speed,
    // size, grow, drag, vscale, randomize, colour, fade colour.
    roost_type r = {0, 0, 10, 1, 4, (float)(M_PI / 2), (float)(M_PI / 16),
                    0, 64, 0.25f, 4, 0.5f, 1, 15, 255, 255, 255, 255, 0, 0, 0, 254};
    for (roost_type &slot : k.roost) slot = r;
    for (char *name : p->roost_texture) snprintf(name, sizeof p->roost_texture[0], "%s", TILE_ROOST_TEXTURE);
    // Depth, lower, upper, displacement, radius, inner depth and radius, min and max slope, off
    // and on speed, slip lower and upper, slip base scale, slip scale, downhill scale, the
    // limits (one: 0, 1, 1), project to ground, lateral and front scale, limit count.
    k.erode = {1, 50, 150, 2, 4, 0.125f, 2, -0.5f, 0.5f, 10, 15, 0, 5, 1, 1.5f, 0,
               {0}, {1}, {1}, 1, 1, 1, 1};
}

void tile_kind_no_texture(const terrain_field *f, tile_kind *kind) {
    kind->texture = 0;
    kind->pixels = f->render_mode == TILE_RENDER_TEXSUBIMAGE ? tile_grey_texel : nullptr;
    kind->width = kind->height = kind->pixels ? 1 : 0;
}

int tile_kind_set_texture(const terrain_field *f, tile_kind *kind, const char *name) {
    int ok;
    if (f->render_mode == TILE_RENDER_TEXSUBIMAGE) {
        unsigned char *pixels = nullptr;
        int w = 0, h = 0;
        ok = image_load(name, &pixels, &w, &h);
        kind->texture = 0;
        kind->pixels = pixels;
        kind->width = w;
        kind->height = h;
    } else {
        kind->texture = tex_load(name);
        kind->pixels = nullptr;
        ok = kind->texture != 0;
    }
    if (ok) return 1;
    char line[1024];
    snprintf(line, sizeof line, "tileinfo warning: can't load texture '%.900s'\n", name);
    console_print(line);
    tile_kind_no_texture(f, kind);
    return 0;
}

void tile_load_textures(terrain_field *f, int first) {
    for (int i = first < 0 ? 0 : first; i < f->kind_count; i++) {
        tile_kind &k = f->kinds[i];
        const tile_kind_names &names = f->kind_names[i];
        if (names.texture[0])
            tile_kind_set_texture(f, &k, names.texture);
        else
            tile_kind_no_texture(f, &k);
        for (int r = 0; r < 4; r++) k.roost[r].texture = tex_load(names.roost[r]);
    }
}

const char *tile_short_name(const char *texture_name) {
    const char *slash = strrchr(texture_name, '/');
    if (slash) return slash + 1;
    return texture_name[0] == '@' ? texture_name + 1 : texture_name;
}

// The first kind whose short name is the length characters of stem, then '.', or -1.
static int tile_find_stem(const char *stem, size_t length, const char *const *names, int count) {
    for (int t = 0; t < count; t++)
        if (names[t][0] && strncmp(names[t], stem, length) == 0 && names[t][length] == '.')
            return t;
    return -1;
}

int tile_match_transition(const char *name, const char *const *short_names, int count) {
    const char *dash = strchr(name, '-');
    if (!dash) return -1;
    int a = tile_find_stem(name, (size_t)(dash - name), short_names, count);
    if (a < 0) return -1;
    const char *rest = dash + 1;
    if (strncmp(rest, "alt", 3) == 0 && rest[3] >= '0' && rest[3] <= '9') return a << 16 | a << 8;
    const char *dash2 = strchr(rest, '-');
    int b = tile_find_stem(rest, dash2 ? (size_t)(dash2 - rest) : strlen(rest), short_names, count);
    if (b < 0) return -1;
    int mask = 0, digits = 0;
    if (dash2)
        for (const char *d = dash2 + 1; digits < 4 && (*d == '0' || *d == '1'); d++, digits++)
            mask = mask << 1 | (*d - '0');
    return a << 16 | b << 8 | (digits == 4 ? mask : 0);
}

void tile_set_transitions(terrain_field *f, const char *const *short_names) {
    for (int t = 0; t < f->kind_count; t++) {
        int code = short_names[t][0] ? tile_match_transition(short_names[t], short_names, f->kind_count) : -1;
        f->kinds[t].transition = code >= 0 ? code : t << 16 | t << 8;
    }
}

// ---- "texturelist" -------------------------------------------------------------------------

// The line without leading and trailing blanks, CR and LF.
static char *tile_trim(char *text) {
    while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n') text++;
    size_t n = strlen(text);
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t' || text[n - 1] == '\r' ||
                     text[n - 1] == '\n'))
        text[--n] = 0;
    return text;
}

int tile_load_texturelist(terrain_field *f, file_stream *s) {
    std::vector<std::string> short_names;
    for (int i = 0; i < f->kind_count; i++) short_names.push_back("");
    tile_pending pending;
    tile_pending *p = &pending;
    char buffer[TILE_LINE_MAX + 1];
    while (f->kind_count < TERRAIN_KINDS_MAX && stream_read_line(s, buffer, sizeof buffer)) {
        loading_progress("Loading tileinfo");
        char *line = tile_trim(buffer);
        if (!*line) continue;
        float friction, a, b;
        int used = 0;
        char *name = line;
        if (stream_scan_text(line, "%f %f %f%n", &friction, &a, &b, &used) == 3 &&
            std::isfinite(friction) && std::isfinite(a) && std::isfinite(b)) {
            name = tile_trim(line + used);
        } else {
            friction = 1.0f;
            a = 5.0f;
            b = 15.0f;
        }
        tile_kind_defaults(p);
        tile_kind &k = p->kind;
        for (int i = 0; i < 8; i++) {
            k.friction_a[i] = friction;
            k.roll_a[i] = a;
            k.roll_b[i] = b;
        }
        k.roost[0].kind = 1;
        snprintf(k.name, sizeof k.name, "%.47s", name);
        std::string texture = std::string("@") + name;
        tile_kind_names &names = f->kind_names[f->kind_count];
        snprintf(names.texture, sizeof names.texture, "%s", texture.c_str());
        for (int i = 0; i < 4; i++) snprintf(names.roost[i], sizeof names.roost[i], "%s", p->roost_texture[i]);
        f->kinds[f->kind_count++] = k;
        short_names.push_back(tile_short_name(texture.c_str()));
    }
    std::vector<const char *> names;
    for (const std::string &n : short_names) names.push_back(n.c_str());
    tile_set_transitions(f, names.data());
    return 1;
}

// ---- Placeholder textures ------------------------------------------------------------------

uint32_t tile_make_checker_texture(terrain_field *f, int cell, int level) {
    int side = f->ground_texture_size;
    if (cell < 1) cell = 1;
    // A load makes many alike: the last image is kept for the next call that asks the same.
    static std::vector<unsigned char> chain;
    static int made_side = 0, made_cell = 0, made_level = -1;
    if (side != made_side || cell != made_cell || level != made_level) {
        chain.assign(image_chain_bytes(side, side, 3), 0);
        unsigned char white = (unsigned char)(level * 255 / 255);
        for (int y = 0; y < side; y++)
            for (int x = 0; x < side; x++)
                memset(&chain[((size_t)y * side + x) * 3], (x / cell + y / cell) & 1 ? white : 0, 3);
        image_build_mips_rgb(chain.data(), side, side);
        made_side = side;
        made_cell = cell;
        made_level = level;
    }
    uint32_t texture = tex_create(chain.data(), side, side, 3);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    if (game_settings.ground_mipmaps_on) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        if (f->render_mode == TILE_RENDER_FBO && gl_info.ext_framebuffer_object)
            gl_ext.glGenerateMipmapEXT(GL_TEXTURE_2D);
        else if (f->render_mode == TILE_RENDER_COPYTEXSUBIMAGE && gl_info.sgis_generate_mipmap)
            glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, 1);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}
