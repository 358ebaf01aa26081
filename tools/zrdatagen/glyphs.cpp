// The generator's stroke font: every printable character as polylines and elliptic arcs on a
// design grid (x 0..width; y 0 cap top, 8 x-height, 24 baseline, 32 descender).
#include <cstdlib>
#include <cstring>

#include "tools/zrdatagen/imagegen.h"

struct datagen_glyph_def {
    char ch;
    int width;
    const char *strokes;  // polylines split by '|': "x,y" points and "A cx,cy,rx,ry,a0,a1" arcs
};

// Arc angles: 256 steps a turn, 0 right, 64 down, 128 left, 192 up.
static const datagen_glyph_def datagen_glyphs[] = {
    {' ', 8, ""},
    {'!', 0, "0,0 0,16|0,23 0,24"},
    {'"', 5, "0,0 0,6|5,0 5,6"},
    {'#', 14, "5,2 3,22|11,2 9,22|0,8 14,8|0,16 14,16"},
    {'$', 12, "A 6,7,6,5,224,64 A 6,17,6,5,192,360|6,-1 6,25"},
    {'%', 16, "16,0 0,24|A 3,4,3,4,0,256|A 13,20,3,4,0,256"},
    {'&', 15, "A 6,5,4,5,0,256|3,9 15,24|9,9 A 6,17,6,7,160,-32 14,12"},
    {'\'', 0, "0,0 0,6"},
    {'(', 5, "A 9,12,9,13,170,86"},
    {')', 5, "A -4,12,9,13,214,298"},
    {'*', 10, "5,2 5,12|0,4 10,10|10,4 0,10"},
    {'+', 12, "6,8 6,20|0,14 12,14"},
    {',', 2, "2,22 0,27"},
    {'-', 8, "0,14 8,14"},
    {'.', 0, "0,23 0,24"},
    {'/', 10, "10,0 0,24"},
    {'0', 12, "A 6,12,6,12,0,256"},
    {'1', 12, "2,5 7,0 7,24|2,24 12,24"},
    {'2', 12, "A 6,6,6,6,150,288 0,24 12,24"},
    {'3', 12, "A 6,6,6,6,160,320 A 6,18,6,6,192,352"},
    {'4', 12, "9,24 9,0 0,17 12,17"},
    {'5', 12, "11,0 1,0 0,11 A 6,16,6,8,157,352"},
    {'6', 12, "A 6,17,6,7,0,256|10,0 0,16"},
    {'7', 12, "0,0 12,0 4,24"},
    {'8', 12, "A 6,6,5,6,0,256|A 6,18,6,6,0,256"},
    {'9', 12, "A 6,7,6,7,0,256|12,8 2,24"},
    {':', 0, "0,10 0,11|0,23 0,24"},
    {';', 2, "2,10 2,11|2,22 0,27"},
    {'<', 12, "12,6 0,14 12,22"},
    {'=', 12, "0,10 12,10|0,18 12,18"},
    {'>', 12, "0,6 12,14 0,22"},
    {'?', 12, "A 6,6,6,6,150,320 6,12 6,16|6,23 6,24"},
    {'@', 18, "A 9,14,4,5,0,256|13,9 13,17 17,17 A 9,13,9,11,20,-200"},
    {'A', 16, "0,24 8,0 16,24|3,16 13,16"},
    {'B', 14, "0,0 0,24|0,0 7,0 A 7,6,6,6,192,320 0,12|0,12 8,12 A 8,18,6,6,192,320 0,24"},
    {'C', 15, "A 8,12,8,12,224,32"},
    {'D', 14, "0,0 0,24|0,0 5,0 A 5,12,9,12,192,320 0,24"},
    {'E', 12, "12,0 0,0 0,24 12,24|0,12 9,12"},
    {'F', 12, "12,0 0,0 0,24|0,12 9,12"},
    {'G', 16, "A 8,12,8,12,224,16 15,13 9,13"},
    {'H', 14, "0,0 0,24|14,0 14,24|0,12 14,12"},
    {'I', 6, "3,0 3,24|0,0 6,0|0,24 6,24"},
    {'J', 12, "12,0 12,17 A 6,17,6,7,0,128"},
    {'K', 14, "0,0 0,24|13,0 0,14|4,10 14,24"},
    {'L', 12, "0,0 0,24 12,24"},
    {'M', 18, "0,24 0,0 9,16 18,0 18,24"},
    {'N', 14, "0,24 0,0 14,24 14,0"},
    {'O', 16, "A 8,12,8,12,0,256"},
    {'P', 14, "0,24 0,0 8,0 A 8,6,6,6,192,320 0,12"},
    {'Q', 16, "A 8,12,8,12,0,256|9,17 16,25"},
    {'R', 14, "0,24 0,0 8,0 A 8,6,6,6,192,320 0,12|7,12 14,24"},
    {'S', 12, "A 6,6,6,6,232,64 A 6,18,6,6,192,360"},
    {'T', 14, "0,0 14,0|7,0 7,24"},
    {'U', 14, "0,0 0,17 A 7,17,7,7,128,0 14,0"},
    {'V', 14, "0,0 7,24 14,0"},
    {'W', 18, "0,0 4,24 9,6 14,24 18,0"},
    {'X', 14, "0,0 14,24|14,0 0,24"},
    {'Y', 14, "0,0 7,12 14,0|7,12 7,24"},
    {'Z', 13, "0,0 13,0 0,24 13,24"},
    {'[', 5, "5,0 0,0 0,24 5,24"},
    {'\\', 10, "0,0 10,24"},
    {']', 5, "0,0 5,0 5,24 0,24"},
    {'^', 10, "0,8 5,0 10,8"},
    {'_', 14, "0,27 14,27"},
    {'`', 4, "0,0 4,4"},
    {'a', 12, "12,8 12,24|A 6,16,6,8,0,256"},
    {'b', 12, "0,0 0,24|A 6,16,6,8,0,256"},
    {'c', 12, "A 6,16,6,8,216,40"},
    {'d', 12, "12,0 12,24|A 6,16,6,8,0,256"},
    {'e', 12, "0,16 12,16 A 6,16,6,8,256,40"},
    {'f', 10, "A 8,4,3,3,208,128 5,24|1,8 10,8"},
    {'g', 12, "A 6,16,6,8,0,256|12,8 12,27 A 6,27,6,5,0,128"},
    {'h', 12, "0,0 0,24|0,14 A 6,14,6,6,128,256 12,24"},
    {'i', 0, "0,8 0,24|0,2 0,3"},
    {'j', 6, "6,8 6,28 A 3,28,3,4,0,128|6,2 6,3"},
    {'k', 12, "0,0 0,24|11,8 0,18|4,15 12,24"},
    {'l', 4, "0,0 0,20 A 3,20,3,4,128,64 4,24"},
    {'m', 16, "0,8 0,24|0,13 A 4,13,4,5,128,256 8,24|8,13 A 12,13,4,5,128,256 16,24"},
    {'n', 12, "0,8 0,24|0,14 A 6,14,6,6,128,256 12,24"},
    {'o', 12, "A 6,16,6,8,0,256"},
    {'p', 12, "0,8 0,32|A 6,16,6,8,0,256"},
    {'q', 12, "12,8 12,32|A 6,16,6,8,0,256"},
    {'r', 10, "0,8 0,24|0,15 A 6,15,6,7,128,224"},
    {'s', 10, "A 5,12,5,4,224,64 A 5,20,5,4,192,360"},
    {'t', 10, "4,2 4,20 A 7,20,3,4,128,64 10,24|0,8 9,8"},
    {'u', 12, "0,8 0,18 A 6,18,6,6,128,0|12,8 12,24"},
    {'v', 12, "0,8 6,24 12,8"},
    {'w', 16, "0,8 4,24 8,12 12,24 16,8"},
    {'x', 12, "0,8 12,24|12,8 0,24"},
    {'y', 12, "0,8 6,24|12,8 3,32"},
    {'z', 12, "0,8 12,8 0,24 12,24"},
    {'{', 7, "7,0 4,0 3,2 3,10 0,12 3,14 3,22 4,24 7,24"},
    {'|', 0, "0,-1 0,29"},
    {'}', 7, "0,0 3,0 4,2 4,10 7,12 4,14 4,22 3,24 0,24"},
    {'~', 12, "0,15 A 3,15,3,3,128,256 A 9,15,3,3,128,0"},
};

static const datagen_glyph_def *datagen_glyph_find(int ch) {
    for (const datagen_glyph_def &g : datagen_glyphs)
        if ((unsigned char)g.ch == ch) return &g;
    return nullptr;
}

// Points in 1/64 design units.
std::vector<std::vector<datagen_point>> datagen_glyph_strokes(int ch, int *width) {
    std::vector<std::vector<datagen_point>> lines;
    const datagen_glyph_def *g = datagen_glyph_find(ch);
    *width = g ? g->width : 0;
    if (!g) return lines;
    lines.emplace_back();
    const char *p = g->strokes;
    while (*p) {
        if (*p == ' ') {
            p++;
        } else if (*p == '|') {
            lines.emplace_back();
            p++;
        } else if (*p == 'A') {
            long v[6];
            p++;
            for (long &x : v) {
                char *end;
                x = strtol(p, &end, 10);
                p = *end == ',' ? end + 1 : end;
            }
            datagen_arc_points(&lines.back(), {v[0] * 64, v[1] * 64}, v[2] * 64, v[3] * 64, v[4],
                               v[5]);
        } else {
            char *end;
            long x = strtol(p, &end, 10);
            long y = strtol(end + 1, &end, 10);
            lines.back().push_back({x * 64, y * 64});
            p = end;
        }
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

static long datagen_glyph_advance(int ch, const datagen_pen &pen, long spacing) {
    int width;
    datagen_glyph_strokes(ch, &width);
    return width * pen.unit_x + 2 * pen.radius + spacing;
}

long datagen_text_width(const std::string &text, const datagen_pen &pen, long spacing) {
    long w = 0;
    for (unsigned char c : text) w += datagen_glyph_advance(c, pen, spacing);
    return text.empty() ? 0 : w - spacing;
}

void datagen_draw_text(datagen_image *img, const std::string &text, datagen_point at,
                       const datagen_pen &pen, long spacing, datagen_rgba c, long grow) {
    long x = at.x;
    for (unsigned char ch : text) {
        int width;
        for (auto &line : datagen_glyph_strokes(ch, &width)) {
            std::vector<datagen_point> pts;
            for (const datagen_point &q : line)
                pts.push_back({x + pen.radius + q.x * pen.unit_x / 64,
                               at.y + pen.radius + q.y * pen.unit_y / 64});
            datagen_stroke(img, pts, pen.radius + grow, c);
        }
        x += width * pen.unit_x + 2 * pen.radius + spacing;
    }
}
