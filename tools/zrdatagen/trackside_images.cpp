// The trackside pictures: billboards (pine and broadleaf trees, a spectator group, a white flag
// that colour tags tint), the sky box faces, the lens flare elements and the flag marshals.
#include <cmath>
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

// The sky seen along a direction (any length): a gradient from the horizon up to the zenith,
// value-noise clouds on a flat layer overhead (so they shrink towards the horizon), a ring of
// distant hills at most 5 degrees high, and brown ground below. One function for every face,
// so neighbouring edges match. Only +, -, x, /, square roots and the generator's own noise and
// integer sine, so the bytes are the same everywhere.
static void sky_colour(double x, double y, double z, long rgb[3]) {
    double len = std::sqrt(x * x + y * y + z * z);
    double up = len > 0 ? y / len : 1;   // the sine of the elevation
    double flat = std::sqrt(x * x + z * z);
    double hx = flat > 1e-9 ? x / flat : 1, hz = flat > 1e-9 ? z / flat : 0;
    // Hill height round the horizon from a few harmonics of the bearing (cos and sin of
    // 3, 5 and 7 times it by complex powers), 0.1 .. 1 of sin 5 degrees.
    double c1 = hx, s1 = hz, cn = 1, sn = 0, hill = 0.55;
    for (int n = 1; n <= 7; n++) {
        double c = cn * c1 - sn * s1, s = sn * c1 + cn * s1;
        cn = c;
        sn = s;
        if (n == 3) hill += 0.2 * (0.6 * cn + 0.8 * sn);
        if (n == 5) hill += 0.15 * (0.8 * cn - 0.6 * sn);
        if (n == 7) hill += 0.1 * cn;
    }
    const double sin5 = 0.0871557;
    if (up < 0) {   // ground
        long shade = (long)datagen_hash(97, (long)std::floor(hx * 512), (long)std::floor(up * 512)) & 7;
        rgb[0] = 118 + shade;
        rgb[1] = 92 + shade;
        rgb[2] = 62 + shade;
        return;
    }
    if (up < hill * sin5) {   // the hills, hazy with distance, darker at their foot
        long shade = (long)datagen_hash(91, (long)std::floor(hx * 700 + hz * 300),
                                        (long)std::floor(up * 900)) & 7;
        double k = up / (hill * sin5);
        rgb[0] = 84 + (long)(16 * k) + shade;
        rgb[1] = 112 + (long)(18 * k) + shade;
        rgb[2] = 104 + (long)(24 * k) + shade;
        return;
    }
    double t = up;   // 0 at the horizon, 1 at the zenith
    double r = 180 + (95 - 180) * t, g = 205 + (145 - 205) * t, b = 232 + (220 - 232) * t;
    // Clouds on a layer above: its point along the direction, in noise cells.
    double px = x / (up * len + 0.12 * len) * 2048, pz = z / (up * len + 0.12 * len) * 2048;
    long ix = (long)std::floor(px), iz = (long)std::floor(pz);
    long cloud = datagen_value_noise(61, ix, iz, 1024) +
                 datagen_value_noise(71, ix, iz, 384) / 2 - 200;
    if (cloud > 0) {
        double k = (cloud > 80 ? 80 : cloud) / 90.0;
        double fade = up * 5 < 1 ? up * 5 : 1;   // thin out near the hills
        k *= fade;
        r += (250 - r) * k;
        g += (250 - g) * k;
        b += (252 - b) * k;
    }
    rgb[0] = (long)(r + 0.5);
    rgb[1] = (long)(g + 0.5);
    rgb[2] = (long)(b + 0.5);
}

// The cube coordinate (-1..1) of texel i of a face, as the sky box maps its texture: the quad's
// corners take the texture at 1/128 and 127/128.
static double sky_face_coordinate(int i, int side) {
    double u = (i + 0.5) / side;
    return (u - 1.0 / 128) * (128.0 / 126) * 2 - 1;
}

// RGB samples of one face (north, east, south, west, up), top row first, each texel the sky
// along the direction through it from the centre of the box.
static std::vector<int> sky_face(int face, int side) {
    std::vector<int> out;
    out.reserve((size_t)side * side * 3);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            double u = sky_face_coordinate(x, side), v = sky_face_coordinate(y, side);
            double d[5][3] = {{u, -v, -1}, {1, -v, u}, {-u, -v, 1}, {-1, -v, -u}, {u, 1, -v}};
            long rgb[3];
            sky_colour(d[face][0], d[face][1], d[face][2], rgb);
            for (long c : rgb) out.push_back((int)(c < 0 ? 0 : c > 255 ? 255 : c));
        }
    return out;
}

// The environment picture of chrome parts, in the models' polar mapping: the distance r of a
// texel from the centre is the angle from straight up over a full turn, its bearing the
// direction across. Sky above, brown ground below.
static std::vector<int> sky_env(int side) {
    std::vector<int> out;
    out.reserve((size_t)side * side * 3);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            double dx = (x + 0.5) / side - 0.5, dz = (y + 0.5) / side - 0.5;
            double r = std::sqrt(dx * dx + dz * dz);
            double steps = (r > 0.5 ? 0.5 : r) * 256;   // the angle in 256ths of a turn
            long a = (long)std::floor(steps);
            double f = steps - a;
            double c = (datagen_cos256(a) * (1 - f) + datagen_cos256(a + 1) * f) / 65536;
            double s = (datagen_sin256(a) * (1 - f) + datagen_sin256(a + 1) * f) / 65536;
            double hx = r > 1e-9 ? dx / r : 1, hz = r > 1e-9 ? dz / r : 0;
            long rgb[3];
            sky_colour(s * hx, c, s * hz, rgb);
            for (long v : rgb) out.push_back((int)(v < 0 ? 0 : v > 255 ? 255 : v));
        }
    return out;
}

std::string datagen_sky_ppm(int face) {
    return datagen_pnm("P6", SKY_SIDE, SKY_SIDE, 255, sky_face(face, SKY_SIDE));
}

std::string datagen_sky_env_ppm() {
    return datagen_pnm("P6", 128, 128, 255, sky_env(128));
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
