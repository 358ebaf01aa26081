// The trackside pictures: billboards (pine and broadleaf trees, a spectator group, a white flag
// that colour tags tint), the sky box faces, the lens flare elements and the flag marshals.
#include <string>
#include <vector>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/trackgen.h"
#include "tools/zrdatagen/trackside.h"

static const datagen_rgba CLEAR = {0, 0, 0, 0};

static datagen_point px(long x, long y) {
    return {x * DATAGEN_SUB, y * DATAGEN_SUB};
}

static void rect(datagen_image *img, long x0, long y0, long x1, long y1, datagen_rgba c) {
    datagen_fill_polygon(img, {px(x0, y0), px(x1, y0), px(x1, y1), px(x0, y1)}, c);
}

// ---- Billboards -----------------------------------------------------------------------------

datagen_image datagen_tree_pine_image() {
    datagen_image img = datagen_image_new(128, 256, 4, {30, 60, 30, 0});
    rect(&img, 58, 200, 70, 256, {92, 62, 40, 255});
    // Tiers of needles, widest at the bottom, each with a ragged lower edge.
    for (int tier = 0; tier < 6; tier++) {
        long top = 10 + tier * 32, bottom = top + 56, half = 14 + tier * 9;
        std::vector<datagen_point> poly = {px(64, top)};
        for (long x = half; x >= -half; x -= 4) {
            long dip = (long)(datagen_hash(31, tier, x) & 7);
            poly.push_back(px(64 + x, bottom - dip));
        }
        int shade = tier * 6;
        datagen_fill_polygon(&img, poly, {28 + shade, 70 + shade, 36 + shade / 2, 255});
    }
    return img;
}

datagen_image datagen_tree_broadleaf_image() {
    datagen_image img = datagen_image_new(256, 256, 4, {40, 80, 30, 0});
    datagen_stroke(&img, {px(128, 256), px(126, 170), px(110, 120)}, 9 * DATAGEN_SUB, {96, 70, 46, 255});
    datagen_stroke(&img, {px(127, 180), px(160, 120)}, 6 * DATAGEN_SUB, {96, 70, 46, 255});
    // Clumps of leaves, darker underneath.
    for (int i = 0; i < 28; i++) {
        long cx = 128 + (long)(datagen_hash(41, i, 0) % 150) - 75;
        long cy = 40 + (long)(datagen_hash(41, i, 1) % 120);
        long r = 22 + (long)(datagen_hash(41, i, 2) % 18);
        int light = (int)(140 - cy) / 3;
        datagen_fill_ellipse(&img, px(cx, cy), r * DATAGEN_SUB, r * DATAGEN_SUB * 7 / 8, 0, 0,
                             {50 + light / 2, 100 + light, 40, 255});
    }
    return img;
}

// A crowd along a fence: heads and shirts of many colours, some arms up.
datagen_image datagen_spectators_image() {
    datagen_image img = datagen_image_new(256, 128, 4, CLEAR);
    static const datagen_rgba shirts[6] = {{200, 40, 40, 255}, {40, 90, 200, 255}, {240, 240, 240, 255},
                                           {250, 200, 30, 255}, {30, 30, 34, 255},  {40, 150, 60, 255}};
    static const datagen_rgba skins[3] = {{236, 190, 150, 255}, {190, 140, 100, 255}, {120, 80, 56, 255}};
    for (int row = 0; row < 2; row++)
        for (int i = 0; i < 13; i++) {
            uint32_t h = datagen_hash(51, i, row);
            long cx = 10 + i * 19 + row * 9 + (long)(h % 7), top = 30 + row * 18 + (long)(h >> 8) % 8;
            datagen_fill_ellipse(&img, px(cx, top + 36), 9 * DATAGEN_SUB, 22 * DATAGEN_SUB, 0, 0, shirts[h % 6]);
            datagen_fill_ellipse(&img, px(cx, top + 6), 6 * DATAGEN_SUB, 7 * DATAGEN_SUB, 0, 0, skins[(h >> 4) % 3]);
            if ((h >> 12) % 3 == 0)
                datagen_stroke(&img, {px(cx + 7, top + 24), px(cx + 12, top - 4)}, 2 * DATAGEN_SUB, skins[(h >> 4) % 3]);
        }
    rect(&img, 0, 96, 256, 100, {180, 180, 170, 255});   // the fence's rails
    rect(&img, 0, 112, 256, 116, {180, 180, 170, 255});
    for (long x = 4; x < 256; x += 40) rect(&img, x, 92, x + 4, 128, {150, 150, 140, 255});
    return img;
}

// A white flag on a pole; a colour tag on the billboard tints it.
datagen_image datagen_flag_image() {
    datagen_image img = datagen_image_new(64, 128, 4, CLEAR);
    rect(&img, 6, 4, 10, 128, {230, 230, 230, 255});
    std::vector<datagen_point> cloth = {px(10, 6)};
    for (long x = 10; x <= 60; x += 5) cloth.push_back(px(x, 6 + datagen_sin256(x * 5) * 4 / 65536));
    for (long x = 60; x >= 10; x -= 5) cloth.push_back(px(x, 40 + datagen_sin256(x * 5) * 4 / 65536));
    datagen_fill_polygon(&img, cloth, {255, 255, 255, 255});
    return img;
}

// ---- Sky box --------------------------------------------------------------------------------

static const int SKY_SIDE = 256;

// RGB samples of one face: a blue gradient with value-noise clouds; the side faces (face 0..3)
// have distant hills along their bottom.
static std::vector<int> sky_face(int face, int side) {
    std::vector<int> out;
    out.reserve((size_t)side * side * 3);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            long up = face == 4 ? side : side - y;   // how high in the sky
            long r = 150 - up * 90 / side, g = 190 - up * 70 / side, b = 235 - up * 20 / side;
            // Clouds flattened towards the horizon on the side faces.
            long cloud = datagen_value_noise(61 + face, x, y * (face == 4 ? 1 : 3), side / 8, 8) +
                         datagen_value_noise(71 + face, x, y, side / 16, 16) / 2 - 200;
            if (cloud > 0) {
                long k = cloud > 80 ? 80 : cloud;
                r += (250 - r) * k / 90;
                g += (250 - g) * k / 90;
                b += (252 - b) * k / 90;
            }
            if (face < 4) {
                long ridge = side - 24 - datagen_value_noise(81 + face, x + face * side, 0, 40) / 12;
                if (y >= ridge) {
                    long far = (long)(datagen_hash(91, x, y) & 7);
                    r = 92 + far;
                    g = 118 + far;
                    b = 120 + far;
                }
            }
            out.push_back((int)r);
            out.push_back((int)g);
            out.push_back((int)b);
        }
    return out;
}

std::string datagen_sky_ppm(int face) {
    return datagen_pnm("P6", SKY_SIDE, SKY_SIDE, 255, sky_face(face, SKY_SIDE));
}

std::string datagen_sky_env_ppm() {
    return datagen_pnm("P6", 128, 128, 255, sky_face(4, 128));
}

// ---- Lens flares ----------------------------------------------------------------------------

// Soft, radial: alpha falls from the centre (kind 0 glow), peaks on a ring (1) or fills a hexagon
// with a soft edge (2).
static datagen_image flare_image(int kind) {
    datagen_image img = datagen_image_new(64, 64, 4, {255, 255, 255, 0});
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            long dx = 2 * x - 63, dy = 2 * y - 63;
            long d = datagen_isqrt(dx * dx + dy * dy);   // 0 .. ~89, 64 at the edge
            long a = 0;
            if (kind == 0) {
                a = d >= 64 ? 0 : (64 - d) * (64 - d) * 255 / 4096;
            } else if (kind == 1) {
                long off = d > 52 ? d - 52 : 52 - d;
                a = off >= 10 ? 0 : (10 - off) * 200 / 10;
            } else {
                long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
                long hex = adx * 866 / 1000 + ady / 2 > ady ? adx * 866 / 1000 + ady / 2 : ady;
                a = hex >= 56 ? 0 : hex < 48 ? 150 : (56 - hex) * 150 / 8;
            }
            img.pixels[((size_t)y * 64 + x) * 4 + 3] = (unsigned char)a;
        }
    return img;
}

std::string datagen_flare_png(int kind) {
    return datagen_png(flare_image(kind));
}

// ---- Flag marshals --------------------------------------------------------------------------

// A marshal in an orange vest, 64 x 128, holding a flag: arm angle in 256 steps (0 straight
// down, 128 straight up); the flag's colour, chequered when asked; walking shows the legs apart.
static datagen_image flagger_image(datagen_rgba flag, bool chequered, long arm, bool walking) {
    datagen_image img = datagen_image_new(64, 128, 4, CLEAR);
    const datagen_rgba trousers = {40, 44, 60, 255}, vest = {245, 120, 20, 255}, skin = {230, 186, 150, 255};
    long spread = walking ? 7 : 3;
    datagen_stroke(&img, {px(30, 70), px(30 - spread, 124)}, 4 * DATAGEN_SUB, trousers);
    datagen_stroke(&img, {px(34, 70), px(34 + spread, 124)}, 4 * DATAGEN_SUB, trousers);
    datagen_fill_ellipse(&img, px(32, 54), 11 * DATAGEN_SUB, 20 * DATAGEN_SUB, 0, 0, vest);
    datagen_fill_ellipse(&img, px(32, 26), 7 * DATAGEN_SUB, 8 * DATAGEN_SUB, 0, 0, skin);
    rect(&img, 25, 16, 39, 21, {250, 250, 250, 255});   // cap
    datagen_stroke(&img, {px(24, 40), px(20, 68)}, 3 * DATAGEN_SUB, vest);   // the idle arm
    // The flag arm from the right shoulder.
    long hx = 40 + datagen_sin256(arm) * 24 / 65536, hy = 40 + datagen_cos256(arm) * 24 / 65536;
    datagen_stroke(&img, {px(40, 40), px(hx, hy)}, 3 * DATAGEN_SUB, vest);
    long tx = hx + datagen_sin256(arm) * 10 / 65536, ty = hy + datagen_cos256(arm) * 10 / 65536;
    datagen_stroke(&img, {px(hx, hy), px(tx, ty)}, DATAGEN_SUB, {60, 60, 60, 255});
    long fx = tx < 50 ? tx : 50, fy = ty > 4 ? ty : 4;
    for (int j = 0; j < 4; j++)
        for (int i = 0; i < 4; i++) {
            datagen_rgba c = flag;
            if (chequered && (i + j) % 2) c = {20, 20, 20, 255};
            if (fx + i * 3 + 3 <= 64 && fy + j * 3 + 3 <= 128) rect(&img, fx + i * 3, fy + j * 3, fx + i * 3 + 3, fy + j * 3 + 3, c);
        }
    return img;
}

std::string datagen_flagger_png(int which) {
    const datagen_rgba green = {30, 180, 60, 255}, white = {245, 245, 245, 255}, yellow = {250, 220, 20, 255};
    const datagen_rgba blue = {30, 80, 200, 255};
    switch (which) {
    case 0: return datagen_png(flagger_image(green, false, 16, false));     // start: flag down
    case 1: return datagen_png(flagger_image(green, false, 64, false));     // out to the side
    case 2: return datagen_png(flagger_image(green, false, 112, false));    // up
    case 3: return datagen_png(flagger_image(green, false, 96, false));     // waving
    case 4: return datagen_png(flagger_image(green, false, 8, true));       // walking off
    case 5: return datagen_png(flagger_image(green, false, 100, false));    // lap: racing
    case 6: return datagen_png(flagger_image(blue, false, 100, false));     // half-way
    case 7: return datagen_png(flagger_image(white, false, 110, false));    // last lap
    case 8: return datagen_png(flagger_image(white, true, 112, false));     // finished
    case 9: return datagen_png(flagger_image(yellow, false, 20, false));    // gate: normal
    default: return datagen_png(flagger_image(yellow, false, 104, false));  // gate: alert
    }
}

std::string datagen_tree_pine_png() {
    return datagen_png(datagen_tree_pine_image());
}
std::string datagen_tree_broadleaf_png() {
    return datagen_png(datagen_tree_broadleaf_image());
}
std::string datagen_spectators_png() {
    return datagen_png(datagen_spectators_image());
}
std::string datagen_flag_png() {
    return datagen_png(datagen_flag_image());
}
