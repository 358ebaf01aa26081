// Bitmap fonts: glyph cells measured from separator markers in the font image, text drawn in
// glyph-height units with ANSI escape colours, and digits painted into number-plate images.
#pragma once

#include <cstdint>

struct bitmap_font {
    uint32_t gl_name;            // 0 when none
    unsigned char *pixels;       // RGBA mip chain: kept for the digit fonts
    int width, height;
    float glyph_rect[256][4];    // left, top, right, bottom in texture coordinates
    float advance[256];          // cell width / cell height; 2/3 without a glyph
};

extern bitmap_font font_main;
extern bitmap_font font_numbers;
extern bitmap_font font_numbers_condensed;

// When set, font_submit_quads hands each batch here instead of drawing it (tests).
extern void (*font_quad_hook)(int count, const float *positions, const float *texcoords,
                              const float *colours);

void font_load_all();
void font_free_all();
void font_load(bitmap_font *font, const char *image_name, const char *glyphs);

// Width of the widest line in glyph heights (font_main).
float font_text_width(const char *text);
void font_draw_text(float r, float g, float b, float a, const char *text, int flags);
void font_draw_color(float r, float g, float b, float a, const char *text);
void font_draw_white(const char *text);
void font_draw_shadowed(float r, float g, float b, float a, const char *text);
void font_draw_grey_shadowed(const char *text);
void font_draw_centered(float r, float g, float b, float a, float x0, float x1, const char *text);
void font_draw_centered_shadowed(float r, float g, float b, float a, float x0, float x1,
                                 const char *text);
void font_draw_right_shadowed(float r, float g, float b, float a, float x_end, const char *text);
// count quads: 4 vertices each (positions 3 floats, texture coordinates 2, colours 4) and 6
// indices each.
void font_submit_quads(int count, const float *positions, const float *texcoords,
                       const uint32_t *indices, const float *colours);
// Paints the text centred into an RGBA image with the digit fonts.
void font_paint_text(unsigned char *image, int width, int height, float r, float g, float b,
                     float a, const char *text);

// Past an escape sequence starting at ESC: behind its final byte ('@'..'~'), or at the end
// of the text when the sequence is unfinished.
const char *font_skip_escape(const char *p);

constexpr int FONT_BRIGHT = 8;
constexpr int FONT_OWN_COLOR = 16;
constexpr int FONT_SHADOW_PASS = 32;
constexpr int FONT_BATCH_QUADS = 256;
constexpr int FONT_ESCAPE_PARAMS = 64;
constexpr int FONT_PARAM_SATURATE = 99999;   // a parameter too long for any rule
