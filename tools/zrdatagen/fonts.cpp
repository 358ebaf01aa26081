// The bitmap fonts: "font.png" (the 94 printable characters, white ink) and the two digit fonts
// painted onto number plates (black ink), with separator markers that the game measures.
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"

namespace {

struct datagen_font_design {
    int width, height;      // of the image
    int row_height;         // of a cell row, marker line included
    int ink_top;            // rows from the cell row's top to the ink box
    int side;               // transparent columns on each side of the ink (spacing)
    datagen_pen pen;
    datagen_rgba ink;
    datagen_rgba clear;     // the transparent background
    const char *glyphs;
};

}  // namespace

static const char datagen_printable[] =
    "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";

static const datagen_font_design datagen_fonts[3] = {
    {512, 256, 32, 2, 3, {12, 12, 28}, {255, 255, 255, 255}, {255, 255, 255, 0}, datagen_printable},
    {512, 80, 80, 4, 2, {35, 40, 96}, {0, 0, 0, 255}, {0, 0, 0, 0}, "0123456789"},
    {512, 80, 80, 6, 2, {22, 40, 64}, {0, 0, 0, 255}, {0, 0, 0, 0}, "0123456789"},
};

static const datagen_rgba datagen_separator = {255, 0, 255, 255};

std::vector<datagen_glyph_cell> datagen_font_layout(int which) {
    const datagen_font_design &f = datagen_fonts[which];
    std::vector<datagen_glyph_cell> cells;
    int x = 0, y = 0;
    for (const char *p = f.glyphs; *p; p++) {
        int units;
        datagen_glyph_strokes((unsigned char)*p, &units);
        long ink = units * f.pen.unit_x + 2 * f.pen.radius;
        int w = f.side + (int)((ink + DATAGEN_SUB - 1) / DATAGEN_SUB) + f.side;
        // The marker closing a row's last cell must stay inside the image.
        if (x + w >= f.width) {
            x = 0;
            y += f.row_height;
        }
        cells.push_back({(unsigned char)*p, x, y, x + w, y + f.row_height});
        x += w;
    }
    return cells;
}

static void datagen_set(datagen_image *img, int x, int y, datagen_rgba c) {
    unsigned char *p = &img->pixels[((size_t)y * img->width + x) * 4];
    p[0] = (unsigned char)c.r;
    p[1] = (unsigned char)c.g;
    p[2] = (unsigned char)c.b;
    p[3] = (unsigned char)c.a;
}

datagen_image datagen_font_image(int which) {
    const datagen_font_design &f = datagen_fonts[which];
    datagen_image img = datagen_image_new(f.width, f.height, 4, f.clear);
    std::vector<datagen_glyph_cell> cells = datagen_font_layout(which);
    // Every cell row starts with a marker, used or not, so all rows measure the same height.
    for (int y = 0; y < f.height; y += f.row_height) datagen_set(&img, 0, y, datagen_separator);
    for (size_t i = 0; i < cells.size(); i++) {
        const datagen_glyph_cell &c = cells[i];
        long left = (long)(c.x0 + f.side) * DATAGEN_SUB, top = (long)(c.y0 + f.ink_top) * DATAGEN_SUB;
        datagen_draw_text(&img, std::string(1, (char)c.ch), {left, top}, f.pen, 0, f.ink);
        datagen_set(&img, c.x0, c.y0, datagen_separator);
        // The marker after a row's last glyph.
        if (i + 1 == cells.size() || cells[i + 1].y0 != c.y0) datagen_set(&img, c.x1, c.y0, datagen_separator);
    }
    return img;
}

std::string datagen_font_png() {
    return datagen_png(datagen_font_image(0));
}

std::string datagen_numbers_png() {
    return datagen_png(datagen_font_image(1));
}

std::string datagen_numbers_condensed_png() {
    return datagen_png(datagen_font_image(2));
}
