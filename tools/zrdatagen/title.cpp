// The title picture: a rider jumping a motocross double under the game's name, 1024 x 512 RGB.
#include <cstdint>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"

namespace {

// Places the bike's own drawing (pixels, x forward, y down, origin at its centre) in the
// picture, turned by an angle of 256 steps a turn.
struct datagen_pose {
    long cx, cy;  // pixels
    long angle;
    datagen_point at(long x, long y) const {
        long c = datagen_cos256(angle), s = datagen_sin256(angle);
        return {cx * DATAGEN_SUB + (x * c - y * s) * DATAGEN_SUB / 65536,
                cy * DATAGEN_SUB + (x * s + y * c) * DATAGEN_SUB / 65536};
    }
    std::vector<datagen_point> poly(std::initializer_list<std::pair<long, long>> pts) const {
        std::vector<datagen_point> out;
        for (auto &p : pts) out.push_back(at(p.first, p.second));
        return out;
    }
};

// A small fixed-seed generator for scattered details.
struct datagen_lcg {
    uint32_t state;
    long next(long n) {
        state = state * 1664525u + 1013904223u;
        return (long)((state >> 8) % (uint32_t)n);
    }
};

}  // namespace

static datagen_point datagen_px(long x, long y) {
    return {x * DATAGEN_SUB, y * DATAGEN_SUB};
}

static void datagen_disc(datagen_image *img, datagen_point c, long r, datagen_rgba colour) {
    datagen_fill_ellipse(img, c, r, r, 0, 0, colour);
}

// A ridge line y(x) = base + two sine waves, filled down to the bottom of the picture.
static void datagen_hills(datagen_image *img, long base, long a1, long w1, long p1, long a2, long w2,
                          long p2, datagen_rgba c) {
    std::vector<datagen_point> poly;
    for (long x = 0; x <= 1024; x += 8) {
        long y = base * 65536 + a1 * datagen_sin256(x * 256 / w1 + p1) + a2 * datagen_sin256(x * 256 / w2 + p2);
        poly.push_back({x * DATAGEN_SUB, y * DATAGEN_SUB / 65536});
    }
    poly.push_back(datagen_px(1024, 512));
    poly.push_back(datagen_px(0, 512));
    datagen_fill_polygon(img, poly, c);
}

static void datagen_sky(datagen_image *img) {
    datagen_gradient_rows(img, 0, 340, {34, 82, 158, 255}, {192, 216, 236, 255});
    for (long r : {110L, 76L, 52L}) datagen_disc(img, datagen_px(812, 96), r * 16, {255, 238, 196, 34});
    datagen_disc(img, datagen_px(812, 96), 34 * 16, {255, 246, 220, 255});
    struct {
        long x, y, rx, ry;
    } puffs[] = {{236, 128, 62, 20}, {282, 114, 46, 28}, {200, 118, 36, 20}, {320, 126, 42, 16},
                 {590, 66, 40, 12}, {622, 58, 30, 16}, {652, 68, 34, 10}};
    for (auto &p : puffs)
        datagen_fill_ellipse(img, datagen_px(p.x, p.y), p.rx * 16, p.ry * 16, 0, 0, {250, 252, 255, 190});
}

static void datagen_landscape(datagen_image *img) {
    datagen_hills(img, 292, 30, 700, 40, 18, 260, 100, {112, 148, 156, 255});
    datagen_hills(img, 336, 24, 500, 170, 12, 180, 0, {78, 126, 62, 255});
    // A line of spruces along the near ridge.
    datagen_lcg rng = {20200717u};
    for (long x = 12; x < 1024; x += 22 + rng.next(30)) {
        long ground = 336 + (24 * datagen_sin256(x * 256 / 500 + 170) + 12 * datagen_sin256(x * 256 / 180)) / 65536;
        long h = 26 + rng.next(22), w = 9 + rng.next(6);
        datagen_rgba green = {36 + (int)rng.next(12), 78 + (int)rng.next(16), 40, 255};
        for (int tier = 0; tier < 3; tier++) {
            long top = ground - h + tier * h / 4, bottom = ground - h / 4 + tier * h / 4 + 4;
            long half = w * (tier + 2) / 4;
            datagen_fill_polygon(img, {datagen_px(x, top), datagen_px(x + half, bottom), datagen_px(x - half, bottom)},
                                 green);
        }
    }
    // The infield grass and the dirt of the track.
    datagen_fill_polygon(img, {datagen_px(0, 372), datagen_px(1024, 364), datagen_px(1024, 512), datagen_px(0, 512)},
                         {96, 144, 58, 255});
    std::vector<datagen_point> dirt = {datagen_px(0, 420), datagen_px(1024, 412), datagen_px(1024, 512),
                                       datagen_px(0, 512)};
    datagen_fill_polygon(img, dirt, {146, 102, 60, 255});
    datagen_gradient_rows(img, 440, 512, {146, 102, 60, 0}, {112, 76, 44, 200});
}

static void datagen_jump(datagen_image *img) {
    // Take-off ramp: lit face, shaded side, packed lip.
    datagen_fill_polygon(img, {datagen_px(110, 424), datagen_px(240, 398), datagen_px(318, 350), datagen_px(344, 336),
                               datagen_px(356, 338), datagen_px(376, 422)},
                         {168, 118, 68, 255});
    datagen_fill_polygon(img, {datagen_px(344, 336), datagen_px(356, 338), datagen_px(376, 422), datagen_px(352, 424)},
                         {118, 80, 46, 255});
    datagen_stroke(img, {datagen_px(130, 420), datagen_px(250, 394), datagen_px(322, 350), datagen_px(346, 338)}, 28,
                   {120, 82, 46, 200});
    datagen_stroke(img, {datagen_px(170, 420), datagen_px(270, 396), datagen_px(334, 352), datagen_px(352, 342)}, 20,
                   {120, 82, 46, 160});
    // Landing: the down slope and the table behind it.
    datagen_fill_polygon(img, {datagen_px(664, 420), datagen_px(742, 372), datagen_px(800, 348), datagen_px(1024, 340),
                               datagen_px(1024, 414)},
                         {160, 112, 64, 255});
    datagen_fill_polygon(img, {datagen_px(664, 420), datagen_px(742, 372), datagen_px(800, 348), datagen_px(812, 352),
                               datagen_px(760, 384), datagen_px(700, 420)},
                         {134, 92, 52, 255});
    // Ruts in the foreground, running towards the ramp.
    struct {
        long x0, x1, x2, y0, y1, y2, r;
    } ruts[] = {{-20, 180, 360, 500, 452, 424, 44}, {60, 240, 390, 512, 460, 426, 36},
                {520, 700, 1040, 508, 470, 452, 40}, {420, 640, 1040, 512, 486, 470, 30}};
    for (auto &r : ruts)
        datagen_stroke(img, {datagen_px(r.x0, r.y0), datagen_px(r.x1, r.y1), datagen_px(r.x2, r.y2)}, r.r,
                       {98, 66, 36, 150});
    // Course tape between stakes.
    for (long x = 40; x < 1024; x += 160) {
        datagen_stroke(img, {datagen_px(x, 470), datagen_px(x, 500)}, 40, {236, 236, 230, 255});
        if (x + 160 < 1104) {
            std::vector<datagen_point> tape;
            for (long t = 0; t <= 16; t++) {
                long sag = 6 * t * (16 - t) / 64;
                tape.push_back(datagen_px(x + t * 10, 474 + sag));
            }
            for (size_t i = 0; i + 1 < tape.size(); i++)
                datagen_stroke(img, {tape[i], tape[i + 1]}, 22,
                               i % 2 ? datagen_rgba{236, 236, 230, 255} : datagen_rgba{214, 32, 28, 255});
        }
    }
}

static void datagen_wheel(datagen_image *img, const datagen_pose &pose, long x, long y, bool front) {
    datagen_point c = pose.at(x, y);
    datagen_disc(img, c, 41 * 16, {24, 24, 26, 255});
    for (long a = 0; a < 256; a += 8) {
        datagen_point k = {c.x + 40 * 16 * datagen_cos256(a) / 65536, c.y + 40 * 16 * datagen_sin256(a) / 65536};
        datagen_disc(img, k, 3 * 16, {14, 14, 16, 255});
    }
    datagen_fill_ellipse(img, c, 31 * 16, 31 * 16, 27 * 16, 27 * 16, {188, 190, 196, 255});
    for (long a = 4; a < 256; a += 16) {
        datagen_point rim = {c.x + 27 * 16 * datagen_cos256(a) / 65536, c.y + 27 * 16 * datagen_sin256(a) / 65536};
        datagen_stroke(img, {c, rim}, 10, {160, 162, 170, 255});
    }
    if (front) datagen_fill_ellipse(img, c, 15 * 16, 15 * 16, 11 * 16, 11 * 16, {120, 122, 130, 255});
    datagen_disc(img, c, 7 * 16, {96, 98, 104, 255});
}

static void datagen_rider_and_bike(datagen_image *img) {
    datagen_pose p = {584, 304, -10};
    datagen_rgba plastic = {236, 84, 22, 255}, white = {240, 240, 236, 255}, dark = {30, 30, 34, 255};
    datagen_rgba jersey = {232, 90, 28, 255}, pants = {32, 60, 140, 255};
    // Roost falling from the rear wheel.
    datagen_lcg rng = {7u};
    for (int i = 0; i < 40; i++) {
        long d = rng.next(150);
        datagen_point q = p.at(-120 - d, 50 + d / 3 + rng.next(20 + d / 2) - 10);
        datagen_disc(img, q, (1 + rng.next(3)) * 16, {104, 72, 40, 200});
    }
    datagen_wheel(img, p, -80, 44, false);
    datagen_wheel(img, p, 82, 44, true);
    // Swingarm, shock, frame and engine.
    datagen_stroke(img, {p.at(-14, 12), p.at(-80, 44)}, 6 * 16, {170, 172, 178, 255});
    datagen_stroke(img, {p.at(-22, -18), p.at(-40, 24)}, 5 * 16, {232, 190, 30, 255});
    datagen_fill_polygon(img, p.poly({{-16, -8}, {30, -10}, {42, 16}, {24, 38}, {-8, 36}, {-18, 14}}), {88, 90, 96, 255});
    for (long k = 0; k < 4; k++) datagen_stroke(img, {p.at(-4, -2 + 8 * k), p.at(28, -4 + 8 * k)}, 12, {140, 142, 150, 255});
    datagen_stroke(img, {p.at(52, -40), p.at(8, -22), p.at(-14, 12)}, 4 * 16, {66, 66, 72, 255});
    datagen_stroke(img, {p.at(52, -40), p.at(34, 18), p.at(2, 32), p.at(-14, 12)}, 4 * 16, {66, 66, 72, 255});
    // Exhaust and silencer.
    datagen_stroke(img, {p.at(34, 0), p.at(40, 22), p.at(14, 30), p.at(-20, 4), p.at(-50, -12)}, 4 * 16, {150, 150, 156, 255});
    datagen_stroke(img, {p.at(-44, -16), p.at(-98, -26)}, 8 * 16, {196, 198, 204, 255});
    datagen_disc(img, p.at(-100, -26), 5 * 16, {60, 60, 66, 255});
    // Fork: stanchions and sliders.
    datagen_stroke(img, {p.at(46, -64), p.at(64, -12)}, 7 * 16, {56, 56, 62, 255});
    datagen_stroke(img, {p.at(64, -12), p.at(82, 44)}, 6 * 16, {214, 182, 72, 255});
    // Plastics: rear fender, side panel with the number, seat, tank and shrouds, front fender.
    datagen_fill_polygon(img, p.poly({{-56, -38}, {-112, -36}, {-136, -28}, {-132, -22}, {-100, -28}, {-56, -28}}), white);
    datagen_fill_polygon(img, p.poly({{-22, -38}, {-74, -36}, {-82, -10}, {-38, -12}}), white);
    datagen_draw_text(img, "7", p.at(-62, -34), {20, 20, 40}, 0, dark);
    datagen_fill_polygon(img, p.poly({{-8, -48}, {-70, -42}, {-98, -38}, {-98, -31}, {-66, -33}, {-8, -38}}), dark);
    datagen_fill_polygon(img, p.poly({{46, -42}, {12, -50}, {-18, -44}, {-10, -22}, {30, -14}, {52, -26}}), plastic);
    datagen_stroke(img, {p.at(40, -34), p.at(10, -40), p.at(-10, -36)}, 3 * 16, white);
    datagen_fill_polygon(img, p.poly({{62, -6}, {100, -4}, {132, 4}, {128, 10}, {98, 4}, {64, 4}}), plastic);
    // Bars and number plate.
    datagen_stroke(img, {p.at(44, -66), p.at(34, -80)}, 3 * 16, dark);
    datagen_fill_polygon(img, p.poly({{40, -78}, {58, -72}, {62, -44}, {46, -48}}), white);
    datagen_draw_text(img, "7", p.at(45, -70), {12, 12, 30}, 0, dark);
    // The rider: boot, legs, body, arm and helmet.
    datagen_stroke(img, {p.at(-30, -58), p.at(14, -40)}, 12 * 16, pants);
    datagen_stroke(img, {p.at(14, -40), p.at(-6, 14)}, 10 * 16, pants);
    datagen_stroke(img, {p.at(-6, 8), p.at(-4, 22), p.at(12, 26)}, 8 * 16, white);
    datagen_stroke(img, {p.at(-30, -58), p.at(4, -108)}, 17 * 16, jersey);
    datagen_stroke(img, {p.at(-20, -70), p.at(0, -100)}, 4 * 16, white);
    datagen_stroke(img, {p.at(4, -104), p.at(14, -84), p.at(36, -80)}, 8 * 16, jersey);
    datagen_disc(img, p.at(36, -80), 6 * 16, dark);
    datagen_fill_ellipse(img, p.at(22, -130), 20 * 16, 18 * 16, 0, 0, white);
    datagen_stroke(img, {p.at(6, -142), p.at(22, -148), p.at(38, -140)}, 3 * 16, plastic);
    datagen_fill_polygon(img, p.poly({{28, -148}, {60, -140}, {56, -132}, {32, -136}}), plastic);
    datagen_fill_polygon(img, p.poly({{30, -132}, {44, -130}, {44, -118}, {32, -118}}), {40, 44, 56, 255});
    datagen_stroke(img, {p.at(33, -126), p.at(41, -126)}, 24, {150, 200, 240, 255});
    datagen_fill_polygon(img, p.poly({{34, -116}, {48, -112}, {40, -104}, {26, -110}}), {200, 48, 20, 255});
}

static void datagen_title_text(datagen_image *img) {
    datagen_pen pen = {48, 56, 96};
    long spacing = 64;
    std::string title = "ZR SIMULATOR";
    long w = datagen_text_width(title, pen, spacing);
    datagen_point at = {512 * 16 - w / 2, 20 * 16};
    datagen_draw_text(img, title, {at.x + 96, at.y + 96}, pen, spacing, {0, 0, 0, 90}, 64);
    datagen_draw_text(img, title, at, pen, spacing, {24, 26, 40, 255}, 64);
    datagen_draw_text(img, title, at, pen, spacing, {238, 96, 26, 255}, 32);
    datagen_draw_text(img, title, at, pen, spacing, {255, 255, 255, 255});
    datagen_pen small = {24, 22, 36};
    std::string sub = "MOTOCROSS";
    long sw = datagen_text_width(sub, small, 160);
    datagen_point sat = {512 * 16 - sw / 2, 126 * 16};
    datagen_draw_text(img, sub, sat, small, 160, {24, 26, 40, 220}, 40);
    datagen_draw_text(img, sub, sat, small, 160, {255, 196, 60, 255});
}

datagen_image datagen_title_image() {
    datagen_image img = datagen_image_new(1024, 512, 3, {0, 0, 0, 255});
    datagen_sky(&img);
    datagen_landscape(&img);
    datagen_jump(&img);
    datagen_rider_and_bike(&img);
    datagen_title_text(&img);
    return img;
}

std::string datagen_title_png() {
    return datagen_png(datagen_title_image());
}
