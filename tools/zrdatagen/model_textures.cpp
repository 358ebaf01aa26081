// The model textures: "wheels.png", "rider_head.png", "rider_body.png" and one "W.png" per
// bike base word (one layout, the colours of the word's palette). Integer arithmetic only.
#include <algorithm>
#include <cstdint>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/model_atlas.h"

namespace {

// The colours of one bike: plastics, the graphics on them, frame, anodised trim, seat.
struct bike_palette {
    datagen_rgba plastic, accent, frame, trim, seat;
};

}  // namespace

static const bike_palette BIKE_PALETTES[] = {
    {{18, 50, 196, 255}, {240, 242, 246, 255}, {150, 156, 168, 255}, {26, 30, 60, 255}, {24, 24, 26, 255}},
    {{204, 22, 28, 255}, {245, 245, 245, 255}, {196, 36, 32, 255}, {30, 30, 34, 255}, {30, 30, 34, 255}},
    {{40, 150, 44, 255}, {18, 18, 20, 255}, {44, 120, 48, 255}, {24, 26, 24, 255}, {22, 24, 22, 255}},
    {{240, 112, 12, 255}, {26, 26, 30, 255}, {226, 104, 20, 255}, {40, 40, 44, 255}, {32, 32, 36, 255}},
    {{246, 204, 22, 255}, {22, 40, 140, 255}, {170, 174, 182, 255}, {22, 40, 140, 255}, {24, 30, 70, 255}},
    {{70, 160, 226, 255}, {250, 250, 252, 255}, {210, 212, 218, 255}, {200, 40, 120, 255}, {40, 46, 60, 255}},
};

static datagen_rgba mix(datagen_rgba a, datagen_rgba b, int t, int of) {
    return {a.r + (b.r - a.r) * t / of, a.g + (b.g - a.g) * t / of, a.b + (b.b - a.b) * t / of, 255};
}

static datagen_rgba shade(datagen_rgba c, int percent) {
    auto f = [&](int v) { return std::min(255, std::max(0, v * percent / 100)); };
    return {f(c.r), f(c.g), f(c.b), 255};
}

static void put(datagen_image *img, int x, int y, datagen_rgba c) {
    if (x < 0 || y < 0 || x >= img->width || y >= img->height) return;
    unsigned char *p = &img->pixels[((size_t)y * img->width + x) * img->channels];
    p[0] = (unsigned char)c.r;
    p[1] = (unsigned char)c.g;
    p[2] = (unsigned char)c.b;
}

static void box_fill(datagen_image *img, atlas_box b, datagen_rgba c) {
    for (int y = b.y0; y < b.y1; y++)
        for (int x = b.x0; x < b.x1; x++) put(img, x, y, c);
}

// Across the box from one colour to the other: along x (across = 1) or along y.
static void box_gradient(datagen_image *img, atlas_box b, datagen_rgba c0, datagen_rgba c1, int across) {
    int span = across ? b.x1 - b.x0 - 1 : b.y1 - b.y0 - 1;
    for (int y = b.y0; y < b.y1; y++)
        for (int x = b.x0; x < b.x1; x++)
            put(img, x, y, mix(c0, c1, across ? x - b.x0 : y - b.y0, std::max(span, 1)));
}

// Light, then dark, then light again across the box: a round part lit from one side.
static void box_cylinder(datagen_image *img, atlas_box b, datagen_rgba c, int across) {
    int span = across ? b.x1 - b.x0 : b.y1 - b.y0;
    for (int y = b.y0; y < b.y1; y++)
        for (int x = b.x0; x < b.x1; x++) {
            int t = (across ? x - b.x0 : y - b.y0) * 256 / span;
            long s = datagen_sin256(t);  // one turn round the part
            put(img, x, y, shade(c, (int)(100 + 30 * s / 65536)));
        }
}

// A fixed hash of the pixel: noise that is the same on every run.
static int grain_at(int x, int y, unsigned seed) {
    uint32_t h = (uint32_t)x * 73856093u ^ (uint32_t)y * 19349663u ^ seed * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (int)(h % 2001) - 1000;  // -1000 .. 1000
}

static void box_grain(datagen_image *img, atlas_box b, int amount, unsigned seed) {
    for (int y = b.y0; y < b.y1; y++)
        for (int x = b.x0; x < b.x1; x++) {
            unsigned char *p = &img->pixels[((size_t)y * img->width + x) * img->channels];
            int d = grain_at(x, y, seed) * amount / 1000;
            for (int k = 0; k < 3; k++) p[k] = (unsigned char)std::min(255, std::max(0, p[k] + d));
        }
}

static void box_border(datagen_image *img, atlas_box b, int width, datagen_rgba c) {
    box_fill(img, {b.x0, b.y0, b.x1, b.y0 + width}, c);
    box_fill(img, {b.x0, b.y1 - width, b.x1, b.y1}, c);
    box_fill(img, {b.x0, b.y0, b.x0 + width, b.y1}, c);
    box_fill(img, {b.x1 - width, b.y0, b.x1, b.y1}, c);
}

static datagen_point px(int x, int y) {
    return {x * DATAGEN_SUB, y * DATAGEN_SUB};
}

// A polygon in pixels, clipped to its box so that nothing spills into the neighbours.
static void box_polygon(datagen_image *img, atlas_box b, const std::vector<std::array<int, 2>> &pts,
                        datagen_rgba c) {
    datagen_image part = datagen_image_new(b.x1 - b.x0, b.y1 - b.y0, img->channels, {0, 0, 0, 255});
    for (int y = b.y0; y < b.y1; y++)
        for (int x = b.x0; x < b.x1; x++)
            for (int k = 0; k < img->channels; k++)
                part.pixels[((size_t)(y - b.y0) * part.width + (x - b.x0)) * img->channels + k] =
                    img->pixels[((size_t)y * img->width + x) * img->channels + k];
    std::vector<datagen_point> poly;
    for (auto &p : pts) poly.push_back(px(p[0] - b.x0, p[1] - b.y0));
    datagen_fill_polygon(&part, poly, c);
    for (int y = b.y0; y < b.y1; y++)
        for (int x = b.x0; x < b.x1; x++)
            for (int k = 0; k < img->channels; k++)
                img->pixels[((size_t)y * img->width + x) * img->channels + k] =
                    part.pixels[((size_t)(y - b.y0) * part.width + (x - b.x0)) * img->channels + k];
}

// Text of the given height (pixels) centred on a point.
static void text_centred(datagen_image *img, const std::string &text, int cx, int cy, int height,
                         datagen_rgba c) {
    long unit = height * DATAGEN_SUB / 24;
    datagen_pen pen = {unit, unit, std::max(8L, unit * 3 / 2)};
    long w = datagen_text_width(text, pen, unit * 3);
    long h = 24 * pen.unit_y + 2 * pen.radius;
    datagen_draw_text(img, text, {cx * DATAGEN_SUB - w / 2, cy * DATAGEN_SUB - h / 2}, pen, unit * 3, c);
}

static void disc(datagen_image *img, int cx, int cy, int r, int inner, datagen_rgba c) {
    datagen_fill_ellipse(img, px(cx, cy), r * DATAGEN_SUB, r * DATAGEN_SUB, inner * DATAGEN_SUB,
                         inner * DATAGEN_SUB, c);
}

// Spokes of a wheel picture: n lines from radius r0 to r1 (pixels) round a centre.
static void spokes(datagen_image *img, int cx, int cy, int r0, int r1, int n, long radius,
                   datagen_rgba c) {
    for (int i = 0; i < n; i++) {
        long a = i * 256 / n, b = a + (i % 2 ? 10 : -10);
        datagen_point p0 = {cx * DATAGEN_SUB + r0 * DATAGEN_SUB * datagen_cos256(a) / 65536,
                            cy * DATAGEN_SUB + r0 * DATAGEN_SUB * datagen_sin256(a) / 65536};
        datagen_point p1 = {cx * DATAGEN_SUB + r1 * DATAGEN_SUB * datagen_cos256(b) / 65536,
                            cy * DATAGEN_SUB + r1 * DATAGEN_SUB * datagen_sin256(b) / 65536};
        datagen_stroke(img, {p0, p1}, radius, c);
    }
}

// ---- wheels.png -----------------------------------------------------------------------------

static const datagen_rgba RUBBER = {22, 22, 23, 255};

datagen_image datagen_wheels_image() {
    datagen_image img = datagen_image_new(WHEELS_SIDE, WHEELS_SIDE, 3, RUBBER);
    // The side view: tyre with its knobs, rim, spokes and hub.
    box_fill(&img, WHEELS_FACE, {70, 90, 110, 255});
    disc(&img, 64, 64, 64, 0, {30, 30, 32, 255});
    for (int i = 0; i < 48; i++) {
        long a = i * 256 / 48;
        disc(&img, 64 + 60 * (int)datagen_cos256(a) / 65536, 64 + 60 * (int)datagen_sin256(a) / 65536, 3, 0,
             {52, 52, 54, 255});
    }
    disc(&img, 64, 64, 47, 0, {46, 46, 48, 255});
    disc(&img, 64, 64, 34, 28, {24, 24, 28, 255});
    disc(&img, 64, 64, 32, 30, {170, 172, 180, 255});
    disc(&img, 64, 64, 28, 0, {90, 110, 130, 255});
    spokes(&img, 64, 64, 9, 29, 32, 10, {196, 198, 204, 255});
    disc(&img, 64, 64, 10, 0, {176, 178, 184, 255});
    disc(&img, 64, 64, 4, 0, {60, 60, 64, 255});
    // The carcass: sidewalls with lettering at the beads, the tread between.
    box_fill(&img, WHEELS_TREAD, RUBBER);
    box_fill(&img, {128, 0, 256, 14}, {28, 28, 29, 255});
    box_fill(&img, {128, 50, 256, 64}, {28, 28, 29, 255});
    for (int x = 0; x < 2; x++) {
        text_centred(&img, "ZR MX", 160 + 64 * x, 7, 8, {120, 120, 124, 255});
        text_centred(&img, "ZR MX", 160 + 64 * x, 57, 8, {120, 120, 124, 255});
    }
    for (int row = 0; row < 16; row++)
        box_fill(&img, {128 + row * 8, 18 + (row % 2) * 8, 128 + row * 8 + 5, 28 + (row % 2) * 8},
                 {14, 14, 15, 255});
    box_grain(&img, WHEELS_TREAD, 4, 1);
    box_fill(&img, WHEELS_KNOB, {28, 28, 29, 255});
    box_border(&img, WHEELS_KNOB, 3, {32, 32, 33, 255});
    box_grain(&img, WHEELS_KNOB, 4, 2);
    // Black anodised rim with a polished band; hub, spokes.
    box_gradient(&img, WHEELS_RIM, {30, 30, 36, 255}, {16, 16, 20, 255}, 0);
    box_fill(&img, {192, 76, 256, 84}, {190, 192, 198, 255});
    box_cylinder(&img, WHEELS_HUB, {176, 178, 184, 255}, 1);
    box_grain(&img, WHEELS_HUB, 5, 3);
    box_cylinder(&img, WHEELS_SPOKE, {200, 202, 208, 255}, 1);
    // The brake disc: steel ring with drillings round a gold carrier.
    box_fill(&img, WHEELS_ROTOR, {40, 40, 44, 255});
    disc(&img, 64, 192, 63, 0, {158, 160, 166, 255});
    disc(&img, 64, 192, 63, 59, {120, 122, 128, 255});
    for (int ring = 0; ring < 2; ring++)
        for (int i = 0; i < 24; i++) {
            long a = i * 256 / 24 + ring * 5;
            int r = 40 + ring * 11;
            disc(&img, 64 + r * (int)datagen_cos256(a) / 65536, 192 + r * (int)datagen_sin256(a) / 65536, 2,
                 0, {50, 50, 54, 255});
        }
    disc(&img, 64, 192, 32, 0, {206, 164, 54, 255});
    for (int i = 0; i < 6; i++) {
        long a = i * 256 / 6;
        disc(&img, 64 + 24 * (int)datagen_cos256(a) / 65536, 192 + 24 * (int)datagen_sin256(a) / 65536, 4,
             0, {60, 60, 64, 255});
    }
    disc(&img, 64, 192, 12, 0, {150, 150, 156, 255});
    // The rear sprocket: teeth round a drilled aluminium plate.
    box_fill(&img, WHEELS_SPROCKET, {40, 40, 44, 255});
    disc(&img, 192, 192, 63, 0, {200, 160, 60, 255});
    for (int i = 0; i < 50; i++) {
        long a = i * 256 / 50;
        disc(&img, 192 + 61 * (int)datagen_cos256(a) / 65536, 192 + 61 * (int)datagen_sin256(a) / 65536, 2, 0,
             {60, 50, 30, 255});
    }
    for (int i = 0; i < 6; i++) {
        long a = i * 256 / 6 + 21;
        disc(&img, 192 + 36 * (int)datagen_cos256(a) / 65536, 192 + 36 * (int)datagen_sin256(a) / 65536, 11,
             0, {40, 40, 44, 255});
    }
    disc(&img, 192, 192, 14, 0, {150, 150, 156, 255});
    return img;
}

// ---- rider_head.png -------------------------------------------------------------------------

datagen_image datagen_rider_head_image() {
    const datagen_rgba white = {236, 236, 240, 255}, red = {210, 28, 34, 255}, black = {22, 22, 26, 255},
                       blue = {20, 48, 192, 255};
    datagen_image img = datagen_image_new(HEAD_SIDE, HEAD_SIDE, 3, white);
    // The shell: white, the team's blue over the back and in flashes sweeping back along both
    // sides, a black stripe over the crown, the face opening dark at the front (u 0.75).
    box_polygon(&img, HEAD_SHELL, {{0, 104}, {24, 80}, {64, 62}, {104, 80}, {128, 104}, {128, 140}, {0, 140}},
                blue);
    for (int side = 0; side < 2; side++) {
        int front = 192, dir = side ? 1 : -1;
        int x0 = front + dir * 20, x1 = front + dir * 110;
        // The right side's flashes run past u = 1 and on from u = 0.
        for (int wrap : {0, -256}) {
            if (wrap && !side) continue;
            int w0 = x0 + wrap, w1 = x1 + wrap;
            box_polygon(&img, HEAD_SHELL, {{w0, 60}, {w1, 40}, {w1, 64}, {w0 + dir * 20, 96}, {w0, 96}}, blue);
            box_polygon(&img, HEAD_SHELL, {{w0 + dir * 10, 104}, {w1, 80}, {w1, 90}, {w0 + dir * 20, 116}},
                        black);
        }
    }
    box_fill(&img, {0, 0, 256, 14}, black);
    box_fill(&img, {56, 0, 72, 150}, black);
    box_fill(&img, {186, 0, 198, 70}, red);
    box_fill(&img, {168, 84, 216, 140}, {14, 14, 16, 255});
    box_fill(&img, {0, 148, 256, 160}, black);
    text_centred(&img, "ZR", 64, 110, 16, white);
    box_grain(&img, HEAD_SHELL, 3, 4);
    box_gradient(&img, HEAD_VISOR, white, {200, 200, 206, 255}, 0);
    box_fill(&img, {0, 184, 128, 200}, red);
    text_centred(&img, "ZR MX", 64, 212, 10, black);
    box_fill(&img, HEAD_STRAP, {236, 96, 20, 255});
    for (int i = 0; i < 4; i++) text_centred(&img, "ZR", 144 + 32 * i, 176, 12, white);
    // Iridium lens: blue to violet to orange, a highlight streak.
    box_gradient(&img, {128, 192, 192, 224}, {30, 60, 160, 255}, {120, 40, 140, 255}, 1);
    box_gradient(&img, {192, 192, 256, 224}, {120, 40, 140, 255}, {230, 120, 30, 255}, 1);
    box_polygon(&img, HEAD_LENS, {{150, 196}, {162, 196}, {146, 220}, {134, 220}}, {200, 210, 240, 255});
    box_fill(&img, HEAD_CHIN, red);
    for (int i = 0; i < 5; i++) box_fill(&img, {20 + i * 20, 232, 30 + i * 20, 248}, black);
    box_fill(&img, HEAD_FRAME, black);
    box_fill(&img, {128, 236, 256, 244}, {236, 96, 20, 255});
    return img;
}

// ---- rider_body.png -------------------------------------------------------------------------

datagen_image datagen_rider_body_image() {
    const datagen_rgba jersey = {20, 48, 192, 255}, panel = {240, 240, 244, 255},
                       dark = {20, 20, 21, 255}, pants = {236, 236, 240, 255}, accent = {236, 96, 20, 255};
    datagen_image img = datagen_image_new(BODY_SIDE, BODY_SIDE, 3, jersey);
    // Jersey: u 0 the right side, 0.25 the front, 0.5 the left, 0.75 the back; v pelvis to neck.
    box_fill(&img, BODY_JERSEY, jersey);
    for (int x : {0, 128}) box_fill(&img, {x - 12 < 0 ? 0 : x - 12, 0, x + 12, 256}, dark);
    box_fill(&img, {244, 0, 256, 256}, dark);
    box_polygon(&img, BODY_JERSEY, {{20, 214}, {108, 234}, {108, 212}, {20, 192}}, panel);
    box_fill(&img, {0, 0, 256, 22}, panel);
    box_fill(&img, {0, 22, 256, 30}, accent);
    text_centred(&img, "ZR", 64, 110, 34, panel);
    text_centred(&img, "MX", 64, 150, 14, accent);
    box_fill(&img, {0, 240, 256, 256}, dark);
    box_grain(&img, BODY_JERSEY, 4, 5);
    // Sleeves: u round the arm, v shoulder (bottom) to wrist (top).
    box_fill(&img, BODY_SLEEVE, jersey);
    box_fill(&img, {256, 64, 512, 70}, panel);
    box_fill(&img, {256, 70, 512, 74}, accent);
    box_fill(&img, {256, 0, 512, 14}, dark);
    box_polygon(&img, BODY_SLEEVE, {{300, 14}, {330, 14}, {360, 72}, {330, 72}}, panel);
    box_grain(&img, BODY_SLEEVE, 4, 6);
    box_fill(&img, BODY_GLOVE, dark);
    box_fill(&img, {256, 150, 384, 170}, accent);
    box_grain(&img, BODY_GLOVE, 6, 7);
    box_fill(&img, BODY_COLLAR, dark);
    box_fill(&img, {384, 170, 512, 178}, accent);
    // Trousers: u round the leg, v hip (bottom) to ankle (top); the seat.
    box_fill(&img, BODY_PANTS, pants);
    box_fill(&img, {0, 256, 256, 300}, jersey);
    box_polygon(&img, BODY_PANTS, {{100, 384}, {156, 384}, {140, 300}, {116, 300}}, dark);
    box_fill(&img, {0, 296, 256, 304}, accent);
    text_centred(&img, "ZR", 192, 350, 20, jersey);
    text_centred(&img, "ZR", 64, 350, 20, jersey);
    box_grain(&img, BODY_PANTS, 4, 8);
    box_fill(&img, BODY_SEAT, pants);
    box_fill(&img, {256, 192, 512, 206}, dark);
    box_polygon(&img, BODY_SEAT, {{256, 256}, {330, 256}, {300, 206}, {256, 206}}, jersey);
    box_polygon(&img, BODY_SEAT, {{438, 256}, {512, 256}, {512, 206}, {468, 206}}, jersey);
    box_grain(&img, BODY_SEAT, 4, 9);
    box_fill(&img, BODY_KNEE, {36, 36, 38, 255});
    box_border(&img, BODY_KNEE, 4, accent);
    box_fill(&img, {320, 256, 384, 320}, pants);
    // Boots: white with black panels and the sole at the bottom, v sole to the top.
    box_fill(&img, BODY_BOOT, {232, 232, 236, 255});
    box_fill(&img, {0, 488, 256, 512}, dark);
    box_polygon(&img, BODY_BOOT, {{0, 488}, {90, 488}, {60, 430}, {0, 440}}, dark);
    box_polygon(&img, BODY_BOOT, {{130, 488}, {256, 488}, {256, 440}, {170, 420}}, dark);
    for (int i = 0; i < 3; i++) box_fill(&img, {0, 396 + i * 28, 256, 404 + i * 28}, dark);
    box_fill(&img, {0, 384, 256, 390}, accent);
    box_grain(&img, BODY_BOOT, 4, 10);
    box_fill(&img, BODY_SOLE, {20, 20, 22, 255});
    for (int i = 0; i < 8; i++) box_fill(&img, {256 + i * 16, 384, 264 + i * 16, 448}, {44, 44, 46, 255});
    box_gradient(&img, BODY_BUCKLE, {210, 212, 220, 255}, {120, 122, 130, 255}, 0);
    return img;
}

// ---- W.png ----------------------------------------------------------------------------------

datagen_image datagen_bike_image(int word) {
    const bike_palette &c = BIKE_PALETTES[word];
    const datagen_rgba black = {20, 20, 22, 255}, steel = {96, 98, 104, 255},
                       alloy = {182, 184, 190, 255};
    datagen_image img = datagen_image_new(BIKE_SIDE, BIKE_SIDE, 3, c.plastic);
    // Plastics with swept graphics; the shrouds' bigger design.
    box_fill(&img, BIKE_PLASTIC, c.plastic);
    box_polygon(&img, BIKE_PLASTIC, {{0, 70}, {256, 30}, {256, 52}, {0, 96}}, c.accent);
    box_polygon(&img, BIKE_PLASTIC, {{0, 104}, {256, 62}, {256, 70}, {0, 112}}, c.trim);
    box_grain(&img, BIKE_PLASTIC, 3, 11);
    box_fill(&img, BIKE_SHROUD, c.plastic);
    for (int half = 0; half < 2; half++) {
        int x = 256 + half * 128;
        box_polygon(&img, BIKE_SHROUD, {{x + 10, 128}, {x + 118, 20}, {x + 128, 20}, {x + 128, 60}, {x + 50, 128}},
                    c.accent);
        box_polygon(&img, BIKE_SHROUD, {{x, 128}, {x + 10, 128}, {x + 100, 30}, {x + 86, 30}}, c.trim);
    }
    box_grain(&img, BIKE_SHROUD, 3, 12);
    box_fill(&img, BIKE_SIDE_PANEL, c.plastic);
    box_fill(&img, {0, 470, 256, 482}, c.accent);
    box_grain(&img, BIKE_SIDE_PANEL, 3, 13);
    box_gradient(&img, BIKE_FENDER, c.plastic, shade(c.plastic, 85), 0);
    box_fill(&img, BIKE_PAD, c.plastic);
    box_fill(&img, {128, 404, 256, 428}, c.accent);
    text_centred(&img, "ZR", 192, 416, 14, c.plastic);
    // Seat: ribbed gripper, a coloured band along the top.
    box_fill(&img, BIKE_SEAT, c.seat);
    for (int y = 132; y < 192; y += 8) box_fill(&img, {0, y, 256, y + 2}, shade(c.seat, 70));
    box_fill(&img, {0, 150, 256, 170}, c.plastic);
    text_centred(&img, "ZR", 128, 160, 12, c.accent);
    box_grain(&img, BIKE_SEAT, 5, 14);
    // Metal: frame, engine, covers, exhaust.
    box_cylinder(&img, BIKE_FRAME, c.frame, 0);
    box_grain(&img, BIKE_FRAME, 4, 15);
    box_fill(&img, BIKE_ENGINE, {58, 60, 66, 255});
    box_border(&img, BIKE_ENGINE, 4, {86, 88, 94, 255});
    box_grain(&img, BIKE_ENGINE, 6, 16);
    box_fill(&img, BIKE_COVER, {72, 74, 80, 255});
    box_border(&img, BIKE_COVER, 6, c.trim);
    text_centred(&img, "ZR", 64, 224, 18, {150, 152, 160, 255});
    box_gradient(&img, {128, 192, 256, 224}, {210, 200, 170, 255}, {196, 150, 70, 255}, 0);
    box_gradient(&img, {128, 224, 256, 256}, {196, 150, 70, 255}, {80, 70, 150, 255}, 0);
    box_cylinder(&img, BIKE_MUFFLER, alloy, 1);
    box_fill(&img, {256, 214, 384, 234}, black);
    text_centred(&img, "ZR", 320, 224, 12, alloy);
    box_fill(&img, BIKE_RUBBER, black);
    box_fill(&img, BIKE_GRIP, black);
    for (int y = 196; y < 256; y += 6) box_fill(&img, {448, y, 512, y + 2}, {50, 50, 54, 255});
    box_cylinder(&img, BIKE_CLAMP, c.trim, 0);
    box_cylinder(&img, BIKE_BAR, {150, 152, 160, 255}, 1);
    box_gradient(&img, BIKE_CHROME, {250, 250, 252, 255}, {150, 152, 160, 255}, 1);
    box_cylinder(&img, BIKE_SLIDER, shade(c.trim, 120), 1);
    // Radiator core, chain, swingarm, dark steel, spring, cylinder fins.
    box_fill(&img, BIKE_RADIATOR, {40, 40, 44, 255});
    for (int x = 0; x < 128; x += 4) box_fill(&img, {x, 320, x + 2, 384}, {96, 98, 104, 255});
    box_border(&img, BIKE_RADIATOR, 4, black);
    box_fill(&img, BIKE_CHAIN, steel);
    for (int x = 128; x < 256; x += 8) box_fill(&img, {x, 320, x + 3, 352}, {44, 44, 48, 255});
    box_cylinder(&img, BIKE_SWINGARM, alloy, 0);
    box_grain(&img, BIKE_SWINGARM, 4, 17);
    box_fill(&img, BIKE_METAL, steel);
    box_grain(&img, BIKE_METAL, 8, 18);
    box_cylinder(&img, BIKE_SPRING, c.accent.r + c.accent.g + c.accent.b > 600 ? c.trim : c.accent, 1);
    box_cylinder(&img, BIKE_CYLINDER, {150, 152, 158, 255}, 0);
    box_fill(&img, BIKE_BLACK, black);
    return img;
}

std::string datagen_wheels_png() {
    return datagen_png(datagen_wheels_image());
}

std::string datagen_rider_head_png() {
    return datagen_png(datagen_rider_head_image());
}

std::string datagen_rider_body_png() {
    return datagen_png(datagen_rider_body_image());
}
