// The HUD images: the tachometer face, the gear cells of the shifter and the pit board, all
// RGBA 256 x 256 with crisp edges on a transparent background.
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"

static const datagen_rgba datagen_clear = {0, 0, 0, 0};

static datagen_point datagen_px(long x, long y) {
    return {x * DATAGEN_SUB, y * DATAGEN_SUB};
}

// Centres a text on a point (pixels).
static void datagen_text_centred(datagen_image *img, const std::string &text, long cx, long cy,
                                 const datagen_pen &pen, long spacing, datagen_rgba c) {
    long w = datagen_text_width(text, pen, spacing);
    long h = 24 * pen.unit_y + 2 * pen.radius;
    datagen_draw_text(img, text, {cx * DATAGEN_SUB - w / 2, cy * DATAGEN_SUB - h / 2}, pen, spacing, c);
}

// A band of a ring between two angles (256 steps a turn), as a polygon.
static void datagen_ring_band(datagen_image *img, datagen_point centre, long r0, long r1, long a0,
                              long a1, datagen_rgba c) {
    std::vector<datagen_point> outer, inner;
    datagen_arc_points(&outer, centre, r1, r1, a0, a1);
    datagen_arc_points(&inner, centre, r0, r0, a1, a0);
    outer.insert(outer.end(), inner.begin(), inner.end());
    datagen_fill_polygon(img, outer, c);
}

// Angle of an engine speed on the dial: 0 at the lower left, 8000 straight up, 16000 at the
// lower right.
static long datagen_rpm_angle(long rpm) {
    return 96 + rpm * 12 / 1000;
}

datagen_image datagen_tach_image() {
    datagen_image img = datagen_image_new(256, 256, 4, datagen_clear);
    datagen_point c = datagen_px(128, 128);
    datagen_fill_ellipse(&img, c, 127 * 16, 127 * 16, 0, 0, {70, 70, 76, 255});
    datagen_fill_ellipse(&img, c, 125 * 16, 125 * 16, 0, 0, {196, 198, 204, 255});
    datagen_fill_ellipse(&img, c, 119 * 16, 119 * 16, 0, 0, {58, 60, 66, 255});
    datagen_fill_ellipse(&img, c, 117 * 16, 117 * 16, 0, 0, {20, 21, 26, 255});
    // A faint reflection across the glass.
    datagen_fill_ellipse(&img, datagen_px(128, 74), 92 * 16, 46 * 16, 0, 0, {255, 255, 255, 14});
    datagen_ring_band(&img, c, 98 * 16, 114 * 16, datagen_rpm_angle(13000), datagen_rpm_angle(16000),
                      {214, 34, 26, 255});
    datagen_ring_band(&img, c, 112 * 16, 114 * 16, datagen_rpm_angle(0), datagen_rpm_angle(13000),
                      {150, 152, 160, 255});
    for (long rpm = 0; rpm <= 16000; rpm += 500) {
        long a = datagen_rpm_angle(rpm);
        bool major = rpm % 1000 == 0;
        long r0 = (major ? 94 : 103) * 16, r1 = 114 * 16;
        datagen_point p0 = {c.x + r0 * datagen_cos256(a) / 65536, c.y + r0 * datagen_sin256(a) / 65536};
        datagen_point p1 = {c.x + r1 * datagen_cos256(a) / 65536, c.y + r1 * datagen_sin256(a) / 65536};
        datagen_stroke(&img, {p0, p1}, major ? 30 : 18, {238, 238, 240, 255});
    }
    datagen_pen digits = {10, 10, 26};
    for (long rpm = 0; rpm <= 16000; rpm += 2000) {
        long a = datagen_rpm_angle(rpm);
        long r = 78;
        datagen_text_centred(&img, std::to_string(rpm / 1000), 128 + r * datagen_cos256(a) / 65536,
                             128 + r * datagen_sin256(a) / 65536, digits, 24,
                             rpm >= 14000 ? datagen_rgba{255, 90, 80, 255} : datagen_rgba{240, 240, 240, 255});
    }
    datagen_text_centred(&img, "RPM", 128, 190, {8, 7, 20}, 20, {170, 172, 180, 255});
    datagen_text_centred(&img, "x1000", 128, 208, {6, 6, 16}, 14, {130, 132, 140, 255});
    // The hub ring around the gear window.
    datagen_fill_ellipse(&img, c, 45 * 16, 45 * 16, 42 * 16, 42 * 16, {72, 74, 82, 255});
    return img;
}

datagen_image datagen_shifter_image() {
    datagen_image img = datagen_image_new(256, 256, 4, datagen_clear);
    datagen_pen pen = {18, 22, 56};
    for (int gear = 0; gear < 6; gear++) {
        int col = gear % 3, row = gear / 3;
        long cx = (2 * col + 1) * 4096 / 6, cy = (2 * row + 1) * 4096 / 6;
        datagen_fill_ellipse(&img, {cx, cy}, 38 * 16, 38 * 16, 0, 0, {244, 122, 24, 255});
        datagen_fill_ellipse(&img, {cx, cy}, 34 * 16, 34 * 16, 0, 0, {26, 27, 32, 235});
        std::string digit(1, (char)('1' + gear));
        long w = datagen_text_width(digit, pen, 0), h = 24 * pen.unit_y + 2 * pen.radius;
        datagen_point at = {cx - w / 2, cy - h / 2};
        datagen_draw_text(&img, digit, at, pen, 0, {0, 0, 0, 200}, 28);
        datagen_draw_text(&img, digit, at, pen, 0, {255, 255, 255, 255});
    }
    return img;
}

// A rectangle with rounded corners (pixels) as a polygon.
static std::vector<datagen_point> datagen_rounded_rect(long x0, long y0, long x1, long y1, long r) {
    std::vector<datagen_point> p;
    long s = DATAGEN_SUB;
    datagen_arc_points(&p, {(x1 - r) * s, (y0 + r) * s}, r * s, r * s, 192, 256);
    datagen_arc_points(&p, {(x1 - r) * s, (y1 - r) * s}, r * s, r * s, 0, 64);
    datagen_arc_points(&p, {(x0 + r) * s, (y1 - r) * s}, r * s, r * s, 64, 128);
    datagen_arc_points(&p, {(x0 + r) * s, (y0 + r) * s}, r * s, r * s, 128, 192);
    return p;
}

datagen_image datagen_pitboard_image() {
    datagen_image img = datagen_image_new(256, 256, 4, datagen_clear);
    datagen_fill_polygon(&img, datagen_rounded_rect(6, 52, 250, 220, 12), {34, 35, 40, 255});
    datagen_fill_polygon(&img, datagen_rounded_rect(9, 55, 247, 217, 10), {52, 54, 60, 255});
    // The team strip on the left, the writing panel on the right.
    datagen_fill_polygon(&img, datagen_rounded_rect(14, 60, 80, 212, 6), {242, 112, 22, 255});
    datagen_fill_polygon(&img, datagen_rounded_rect(86, 60, 242, 212, 6), {246, 246, 240, 255});
    datagen_fill_polygon(&img, {datagen_px(86, 200), datagen_px(242, 200), datagen_px(242, 206),
                                datagen_px(86, 206)},
                         {226, 226, 220, 255});
    datagen_pen big = {46, 36, 64};
    datagen_text_centred(&img, "Z", 47, 99, big, 0, {28, 28, 34, 255});
    datagen_text_centred(&img, "R", 47, 170, big, 0, {28, 28, 34, 255});
    for (long x : {18L, 238L})
        for (long y : {64L, 208L}) {
            datagen_fill_ellipse(&img, datagen_px(x, y), 3 * 16, 3 * 16, 0, 0, {150, 152, 158, 255});
            datagen_fill_ellipse(&img, datagen_px(x, y), 1 * 16, 1 * 16, 0, 0, {70, 70, 76, 255});
        }
    return img;
}

std::string datagen_tach_png() {
    return datagen_png(datagen_tach_image());
}

std::string datagen_shifter_png() {
    return datagen_png(datagen_shifter_image());
}

std::string datagen_pitboard_png() {
    return datagen_png(datagen_pitboard_image());
}

std::string datagen_white_png() {
    return datagen_png(datagen_image_new(4, 4, 3, {255, 255, 255, 255}));
}
