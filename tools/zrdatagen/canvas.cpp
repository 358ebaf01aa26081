// The generator's canvas: anti-aliased shapes in integer arithmetic, so every run and every
// machine gives the same pixels.
#include <algorithm>

#include "tools/zrdatagen/imagegen.h"

// sin(i x 2 pi / 256) x 65536 for the first quarter turn.
static const long datagen_sine_quarter[65] = {
    0,     1608,  3216,  4821,  6424,  8022,  9616,  11204, 12785, 14359, 15924, 17479, 19024,
    20557, 22078, 23586, 25080, 26558, 28020, 29466, 30893, 32303, 33692, 35062, 36410, 37736,
    39040, 40320, 41576, 42806, 44011, 45190, 46341, 47464, 48559, 49624, 50660, 51665, 52639,
    53581, 54491, 55368, 56212, 57022, 57798, 58538, 59244, 59914, 60547, 61145, 61705, 62228,
    62714, 63162, 63572, 63944, 64277, 64571, 64827, 65043, 65220, 65358, 65457, 65516, 65536,
};

long datagen_sin256(long angle) {
    long a = ((angle % 256) + 256) % 256;
    if (a <= 64) return datagen_sine_quarter[a];
    if (a <= 128) return datagen_sine_quarter[128 - a];
    if (a <= 192) return -datagen_sine_quarter[a - 128];
    return -datagen_sine_quarter[256 - a];
}

long datagen_cos256(long angle) {
    return datagen_sin256(angle + 64);
}

datagen_image datagen_image_new(int width, int height, int channels, datagen_rgba fill) {
    datagen_image img;
    img.width = width;
    img.height = height;
    img.channels = channels;
    img.pixels.assign((size_t)width * height * channels, 0);
    int values[4] = {fill.r, fill.g, fill.b, fill.a};
    for (size_t i = 0; i < (size_t)width * height; i++)
        for (int c = 0; c < channels; c++)
            img.pixels[i * channels + c] = (unsigned char)(channels == 1 ? fill.r : values[c]);
    return img;
}

void datagen_blend(datagen_image *img, int x, int y, datagen_rgba c, int coverage) {
    if (x < 0 || y < 0 || x >= img->width || y >= img->height || coverage <= 0) return;
    int a = c.a * coverage / 16;
    if (a <= 0) return;
    unsigned char *p = &img->pixels[((size_t)y * img->width + x) * img->channels];
    int src[3] = {c.r, c.g, c.b};
    if (img->channels != 4) {
        for (int k = 0; k < img->channels; k++) p[k] = (unsigned char)((src[k] * a + p[k] * (255 - a) + 127) / 255);
        return;
    }
    int dst_a = p[3];
    int rest = dst_a * (255 - a);  // destination's weight x 255
    int out_a255 = a * 255 + rest;  // out alpha x 255
    if (out_a255 == 0) return;
    for (int k = 0; k < 3; k++)
        p[k] = (unsigned char)((src[k] * a * 255 + p[k] * rest + out_a255 / 2) / out_a255);
    p[3] = (unsigned char)((out_a255 + 127) / 255);
}

void datagen_fill(datagen_image *img, int x0, int y0, int x1, int y1,
                  const std::function<bool(long, long)> &inside, datagen_rgba c) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, img->width);
    y1 = std::min(y1, img->height);
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            int n = 0;
            for (int j = 0; j < 4; j++)
                for (int i = 0; i < 4; i++)
                    if (inside(x * DATAGEN_SUB + 2 + 4 * i, y * DATAGEN_SUB + 2 + 4 * j)) n++;
            datagen_blend(img, x, y, c, n);
        }
}

// The pixel box around points, widened by a margin in sub-pixels.
static void datagen_box(const std::vector<datagen_point> &pts, long margin, int box[4]) {
    long minx = pts[0].x, maxx = pts[0].x, miny = pts[0].y, maxy = pts[0].y;
    for (const datagen_point &p : pts) {
        minx = std::min(minx, p.x);
        maxx = std::max(maxx, p.x);
        miny = std::min(miny, p.y);
        maxy = std::max(maxy, p.y);
    }
    box[0] = (int)((minx - margin) / DATAGEN_SUB) - 1;
    box[1] = (int)((miny - margin) / DATAGEN_SUB) - 1;
    box[2] = (int)((maxx + margin) / DATAGEN_SUB) + 2;
    box[3] = (int)((maxy + margin) / DATAGEN_SUB) + 2;
}

void datagen_fill_polygon(datagen_image *img, const std::vector<datagen_point> &poly,
                          datagen_rgba c) {
    if (poly.size() < 3) return;
    int box[4];
    datagen_box(poly, 0, box);
    datagen_fill(img, box[0], box[1], box[2], box[3], [&](long px, long py) {
        bool in = false;
        for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
            long x1 = poly[j].x, y1 = poly[j].y, x2 = poly[i].x, y2 = poly[i].y;
            if ((y1 > py) == (y2 > py)) continue;
            long long dy = y2 - y1;
            long long lhs = (long long)(px - x1) * dy, rhs = (long long)(py - y1) * (x2 - x1);
            if (dy > 0 ? lhs < rhs : lhs > rhs) in = !in;
        }
        return in;
    }, c);
}

// 1 when the point lies within radius of the segment a-b.
static bool datagen_near_segment(long px, long py, datagen_point a, datagen_point b, long r) {
    long long dx = b.x - a.x, dy = b.y - a.y;
    long long ax = px - a.x, ay = py - a.y;
    long long rr = (long long)r * r;
    long long t = ax * dx + ay * dy;
    long long len2 = dx * dx + dy * dy;
    if (t <= 0 || len2 == 0) return ax * ax + ay * ay <= rr;
    if (t >= len2) {
        long long bx = px - b.x, by = py - b.y;
        return bx * bx + by * by <= rr;
    }
    long long cross = ax * dy - ay * dx;
    // Sides stay below 2^15 pixels' worth of sub-pixels, so both products fit 64 bits.
    return cross * cross <= rr * len2;
}

void datagen_stroke(datagen_image *img, const std::vector<datagen_point> &line, long radius,
                    datagen_rgba c) {
    if (line.empty()) return;
    int box[4];
    datagen_box(line, radius, box);
    datagen_fill(img, box[0], box[1], box[2], box[3], [&](long px, long py) {
        if (line.size() == 1) return datagen_near_segment(px, py, line[0], line[0], radius);
        for (size_t i = 0; i + 1 < line.size(); i++)
            if (datagen_near_segment(px, py, line[i], line[i + 1], radius)) return true;
        return false;
    }, c);
}

void datagen_fill_ellipse(datagen_image *img, datagen_point centre, long rx, long ry,
                          long inner_rx, long inner_ry, datagen_rgba c) {
    int box[4];
    datagen_box({{centre.x - rx, centre.y - ry}, {centre.x + rx, centre.y + ry}}, 0, box);
    long long rx2 = (long long)rx * rx, ry2 = (long long)ry * ry;
    long long irx2 = (long long)inner_rx * inner_rx, iry2 = (long long)inner_ry * inner_ry;
    datagen_fill(img, box[0], box[1], box[2], box[3], [&](long px, long py) {
        long long dx = px - centre.x, dy = py - centre.y;
        if (dx * dx * ry2 + dy * dy * rx2 > rx2 * ry2) return false;
        if (inner_rx <= 0 || inner_ry <= 0) return true;
        return dx * dx * iry2 + dy * dy * irx2 >= irx2 * iry2;
    }, c);
}

void datagen_arc_points(std::vector<datagen_point> *out, datagen_point centre, long rx, long ry,
                        long a0, long a1) {
    long step = a1 >= a0 ? 1 : -1;
    for (long a = a0;; a += step) {
        out->push_back({centre.x + rx * datagen_cos256(a) / 65536,
                        centre.y + ry * datagen_sin256(a) / 65536});
        if (a == a1) break;
    }
}

void datagen_gradient_rows(datagen_image *img, int y0, int y1, datagen_rgba top,
                           datagen_rgba bottom) {
    int span = std::max(1, y1 - y0 - 1);
    for (int y = std::max(y0, 0); y < std::min(y1, img->height); y++) {
        int t = y - y0;
        datagen_rgba c = {top.r + (bottom.r - top.r) * t / span, top.g + (bottom.g - top.g) * t / span,
                          top.b + (bottom.b - top.b) * t / span, top.a + (bottom.a - top.a) * t / span};
        for (int x = 0; x < img->width; x++) datagen_blend(img, x, y, c, 16);
    }
}
