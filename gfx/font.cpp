// Loading the fonts: glyph cells measured between separator markers, markers erased, the
// main font uploaded and the digit fonts kept as pixels.
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/mem.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/shader.h"
#include "gfx/texture.h"

bitmap_font font_main;
bitmap_font font_numbers;
bitmap_font font_numbers_condensed;

static uint32_t font_pixel(const bitmap_font *f, int x, int y) {
    uint32_t v;
    memcpy(&v, f->pixels + ((size_t)y * f->width + x) * 4, 4);
    return v;
}

// The first separator right of column from in row y, or the width.
static int font_next_x(const bitmap_font *f, uint32_t sep, int y, int from) {
    for (int x = from + 1; x < f->width; x++)
        if (font_pixel(f, x, y) == sep) return x;
    return f->width;
}

// The first row below from whose column-0 pixel is the separator, or the height.
static int font_next_y(const bitmap_font *f, uint32_t sep, int from) {
    for (int y = from + 1; y < f->height; y++)
        if (font_pixel(f, 0, y) == sep) return y;
    return f->height;
}

void font_load(bitmap_font *font, const char *image_name, const char *glyphs) {
    memset(font, 0, sizeof *font);
    for (float &a : font->advance) a = 2.0f / 3.0f;
    if (!image_load_rgba(image_name, &font->pixels, &font->width, &font->height)) {
        font->pixels = nullptr;
        char line[600];
        snprintf(line, sizeof line, "Can't open font '%.512s'", image_name);
        console_print(line);
        return;
    }
    const int W = font->width, H = font->height;
    uint32_t sep = font_pixel(font, 0, 0);
    int y0 = 0, y1 = font_next_y(font, sep, 0);
    int x0 = 0, x1 = font_next_x(font, sep, 0, 0);
    for (const unsigned char *c = (const unsigned char *)glyphs; *c; c++) {
        if (x1 >= W) {
            y0 = y1 >= H ? 0 : y1;
            x0 = 0;
            x1 = font_next_x(font, sep, y0, 0);
            y1 = font_next_y(font, sep, y0);
        }
        float *r = font->glyph_rect[*c];
        r[0] = (float)x0 / W;
        r[1] = (float)y0 / H;
        r[2] = (float)x1 / W;
        r[3] = (float)y1 / H;
        font->advance[*c] = (float)(x1 - x0) / (float)(y1 - y0);
        x0 = x1;
        x1 = font_next_x(font, sep, y0, x1);
    }
    font->advance[' '] = font->advance['-'];
    // Erase the markers: every separator pixel of the marker rows, the top-left one last.
    const unsigned char clear[4] = {255, 255, 255, 0};
    for (int y = 0; y < H; y++) {
        if (y != 0 && font_pixel(font, 0, y) != sep) continue;
        for (int x = (y == 0 ? 1 : 0); x < W; x++)
            if (font_pixel(font, x, y) == sep) memcpy(font->pixels + ((size_t)y * W + x) * 4, clear, 4);
    }
    memcpy(font->pixels, clear, 4);
    image_build_mips_rgba(font->pixels, W, H);
}

void font_load_all() {
    char glyphs[95];
    for (int c = 33; c <= 126; c++) glyphs[c - 33] = (char)c;
    glyphs[94] = 0;
    font_load(&font_main, "@font.png", glyphs);
    if (font_main.pixels) {
        font_main.gl_name = tex_create(font_main.pixels, font_main.width, font_main.height, 4);
        mem_free(font_main.pixels);
        font_main.pixels = nullptr;
    }
    font_load(&font_numbers, "@numbers.png", "0123456789");
    font_load(&font_numbers_condensed, "@numbers-condensed.png", "0123456789");
}

void font_free_all() {
    for (bitmap_font *f : {&font_main, &font_numbers, &font_numbers_condensed}) {
        if (f->gl_name) {
            GLuint name = f->gl_name;
            glDeleteTextures(1, &name);
        }
        mem_free(f->pixels);
        f->gl_name = 0;
        f->pixels = nullptr;
    }
}
