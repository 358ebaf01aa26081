// Painting digits into an RGBA image in memory (number plates), switching to the condensed
// digits when the normal ones are too wide.
#include <cstddef>

#include "gfx/font.h"

// A blended value as a byte (truncated); out-of-range or NaN results from odd colours clamp.
static unsigned char font_byte(float v) {
    return (unsigned char)(int)(v > 0.0f ? (v < 255.0f ? v : 255.0f) : 0.0f);
}

// Cell of a character in pixels of the font image.
static void font_cell(const bitmap_font *f, unsigned char c, int *x, int *y, int *w, int *h) {
    const float *r = f->glyph_rect[c];
    *x = (int)(r[0] * f->width);
    *y = (int)(r[1] * f->height);
    *w = (int)(r[2] * f->width) - *x;
    *h = (int)(r[3] * f->height) - *y;
}

// Width (sum of the cells) and height (the tallest cell) of a text, escapes skipped.
static void font_measure_pixels(const bitmap_font *f, const char *text, int *width, int *height) {
    *width = *height = 0;
    for (const char *p = text; *p;) {
        if (*p == 27) {
            p = font_skip_escape(p);
            continue;
        }
        int x, y, w, h;
        font_cell(f, (unsigned char)*p++, &x, &y, &w, &h);
        *width += w;
        if (h > *height) *height = h;
    }
}

// A negative start shortens the cell by as much and moves the other start along.
static void font_clip_start(int *start, int *other, int *count) {
    if (*start >= 0) return;
    *count += *start;
    *other -= *start;
    *start = 0;
}

void font_paint_text(unsigned char *image, int width, int height, float r, float g, float b,
                     float a, const char *text) {
    const bitmap_font *f = &font_numbers;
    if (!f->pixels) return;
    int tw, th;
    font_measure_pixels(f, text, &tw, &th);
    if ((width * 9) / 8 < tw && font_numbers_condensed.pixels) {
        f = &font_numbers_condensed;
        font_measure_pixels(f, text, &tw, &th);
    }
    int pen_x = width / 2 - tw / 2, pen_y = height / 2 - th / 2;
    const float colour[3] = {r, g, b};
    for (const char *p = text; *p;) {
        if (*p == 27) {
            p = font_skip_escape(p);
            continue;
        }
        int sx, sy, cw, ch;
        font_cell(f, (unsigned char)*p++, &sx, &sy, &cw, &ch);
        int advance = cw;
        int tx = pen_x, ty = pen_y;
        font_clip_start(&tx, &sx, &cw);
        font_clip_start(&ty, &sy, &ch);
        font_clip_start(&sx, &tx, &cw);
        font_clip_start(&sy, &ty, &ch);
        if (cw > width - tx) cw = width - tx;
        if (cw > f->width - sx) cw = f->width - sx;
        if (ch > height - ty) ch = height - ty;
        if (ch > f->height - sy) ch = f->height - sy;
        for (int y = 0; y < ch; y++)
            for (int x = 0; x < cw; x++) {
                const unsigned char *s = f->pixels + ((size_t)(sy + y) * f->width + sx + x) * 4;
                unsigned char *d = image + ((size_t)(ty + y) * width + tx + x) * 4;
                float k = (s[3] / 255.0f) * a;
                for (int c = 0; c < 3; c++)
                    d[c] = font_byte(255.0f * (d[c] / 255.0f * (1 - k) + s[c] / 255.0f * colour[c] * k));
                d[3] = font_byte(255.0f * (k * k + d[3] / 255.0f * (1 - k)));
            }
        pen_x += advance;
    }
}
