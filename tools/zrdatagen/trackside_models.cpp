// The trackside statues: hay bale, banner, paddock tent and windsock, each a model standing on
// its origin, its pictures and (except the windsock, which scripts turn) its collision shape.
#include <string>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/solids.h"
#include "tools/zrdatagen/trackgen.h"
#include "tools/zrdatagen/trackside.h"

static const v3 X = {1, 0, 0}, Y = {0, 1, 0}, Z = {0, 0, 1};

static datagen_image rgb_image(int w, int h, datagen_rgba fill) {
    return datagen_image_new(w, h, 3, fill);
}

static void put(datagen_image *img, int x, int y, int r, int g, int b) {
    unsigned char *p = &img->pixels[((size_t)y * img->width + x) * img->channels];
    p[0] = (unsigned char)(r < 0 ? 0 : r > 255 ? 255 : r);
    p[1] = (unsigned char)(g < 0 ? 0 : g > 255 ? 255 : g);
    p[2] = (unsigned char)(b < 0 ? 0 : b > 255 ? 255 : b);
}

// ---- Hay bale: 3.0 x 1.4 x 1.6 ft, straw with two twine bands -------------------------------

static const int BALE_W = 128, BALE_H = 64;

// The straw's height along the stalks at a pixel: streaks that run along x.
static long bale_relief(int x, int y) {
    return datagen_value_noise(11, x, y * 8, 8, BALE_W) + (long)(datagen_hash(12, x / 3, y) & 63);
}

static bool bale_twine(int x) {
    return (x >= 30 && x < 34) || (x >= 94 && x < 98);
}

datagen_image datagen_haybale_image() {
    datagen_image img = rgb_image(BALE_W, BALE_H, {0, 0, 0, 255});
    for (int y = 0; y < BALE_H; y++)
        for (int x = 0; x < BALE_W; x++) {
            long r = bale_relief(x, y);
            if (bale_twine(x))
                put(&img, x, y, 150 + (int)(r & 15), 60, 40);
            else
                put(&img, x, y, 170 + (int)(r / 6), 140 + (int)(r / 7), 62 + (int)(r / 10));
        }
    return img;
}

datagen_image datagen_haybale_norm_image() {
    datagen_image img = rgb_image(BALE_W, BALE_H, {128, 128, 255, 255});
    for (int y = 0; y < BALE_H; y++)
        for (int x = 0; x < BALE_W; x++) {
            long dy = bale_relief(x, (y + 1) % BALE_H) - bale_relief(x, (y + BALE_H - 1) % BALE_H);
            long dx = bale_relief((x + 1) % BALE_W, y) - bale_relief((x + BALE_W - 1) % BALE_W, y);
            int sunk = bale_twine(x) ? 24 : 0;
            put(&img, x, y, 128 - (int)(dx / 3) - sunk, 128 - (int)(dy / 3), 240);
        }
    return img;
}

static datagen_jm_model haybale_model() {
    datagen_jm_model m;
    m.meshes.resize(1);
    m.meshes[0].mode = 4;
    solid_builder b{&m.meshes[0], {}};
    solid_box(&b, {0, 0.7, 0}, {1.5, 0.7, 0.8}, X, Y, Z, solid_pixels(0, 0, BALE_W, BALE_H, BALE_W, BALE_H));
    return m;
}

// ---- Banner: two 9 ft poles 12 ft apart, the cloth between 6 and 9 ft -------------------------

static const int BANNER_W = 256, BANNER_H = 64, BANNER_CLOTH_H = 56;

static datagen_image banner_image(const std::string &text, datagen_rgba back, datagen_rgba ink) {
    datagen_image img = rgb_image(BANNER_W, BANNER_H, back);
    for (int y = BANNER_CLOTH_H; y < BANNER_H; y++)
        for (int x = 0; x < BANNER_W; x++) put(&img, x, y, 150, 152, 158);   // the poles' steel
    for (int y = 0; y < BANNER_CLOTH_H; y++)
        for (int x = 0; x < BANNER_W; x++)
            if (y < 4 || y >= BANNER_CLOTH_H - 4) put(&img, x, y, 200, 30, 30);
    datagen_pen pen = {text.size() > 4 ? 11 : 20, 18, 36};
    long w = datagen_text_width(text, pen, 24);
    long h = 24 * pen.unit_y + 2 * pen.radius;
    datagen_draw_text(&img, text, {BANNER_W * 8 - w / 2, BANNER_CLOTH_H * 8 - h / 2}, pen, 24, ink);
    return img;
}

datagen_image datagen_banner_zr_image() {
    return banner_image("ZR SIMULATOR", {250, 250, 245, 255}, {20, 20, 24, 255});
}

datagen_image datagen_banner_mx_image() {
    return banner_image("MX", {255, 214, 0, 255}, {20, 20, 24, 255});
}

static datagen_jm_model banner_model() {
    datagen_jm_model m;
    m.meshes.resize(1);
    m.meshes[0].mode = 8;
    solid_builder b{&m.meshes[0], {}};
    solid_rect steel = solid_pixels(0, BANNER_CLOTH_H, BANNER_W, BANNER_H, BANNER_W, BANNER_H);
    solid_rect cloth = solid_pixels(0, 0, BANNER_W, BANNER_CLOTH_H, BANNER_W, BANNER_H);
    for (double x : {-6.0, 6.0}) solid_rod(&b, {x, 0, 0}, {x, 9, 0}, 0.12, Z, 8, steel, true);
    // The cloth faces +z; seen from behind it shows the same picture.
    const v3 corners[4] = {{-5.9, 6, 0}, {5.9, 6, 0}, {5.9, 9, 0}, {-5.9, 9, 0}};
    solid_panel(&b, corners, 0.04, cloth, cloth);
    return m;
}

// ---- Paddock tent: a 10 x 10 ft striped canopy on 7 ft legs ---------------------------------

static const int TENT_SIDE = 128;

datagen_image datagen_tent_image() {
    datagen_image img = rgb_image(TENT_SIDE, TENT_SIDE, {0, 0, 0, 255});
    for (int y = 0; y < TENT_SIDE; y++)
        for (int x = 0; x < TENT_SIDE; x++) {
            if (y >= 112) {
                put(&img, x, y, 120, 122, 128);   // the legs
                continue;
            }
            int shade = (int)(datagen_hash(21, x / 2, y / 2) & 7);
            if ((x / 16) % 2)
                put(&img, x, y, 240 - shade, 240 - shade, 236 - shade);
            else
                put(&img, x, y, 30 - shade, 80 - shade, 190 - shade);
        }
    return img;
}

static datagen_jm_model tent_model() {
    datagen_jm_model m;
    m.meshes.resize(1);
    m.meshes[0].mode = 8;
    solid_builder b{&m.meshes[0], {}};
    solid_rect legs = solid_pixels(0, 112, TENT_SIDE, TENT_SIDE, TENT_SIDE, TENT_SIDE);
    solid_rect canopy = solid_pixels(0, 0, TENT_SIDE, 112, TENT_SIDE, TENT_SIDE);
    for (double x : {-5.0, 5.0})
        for (double z : {-5.0, 5.0}) solid_rod(&b, {x, 0, z}, {x, 7, z}, 0.1, X, 6, legs, true);
    // Valance round the edge, then the four roof slopes up to the peak.
    for (int side = 0; side < 4; side++) {
        static const double cx[5] = {-5, 5, 5, -5, -5}, cz[5] = {5, 5, -5, -5, 5};
        const v3 valance[4] = {{cx[side], 7, cz[side]}, {cx[side + 1], 7, cz[side + 1]},
                               {cx[side + 1], 7.8, cz[side + 1]}, {cx[side], 7.8, cz[side]}};
        solid_panel(&b, valance, 0.03, canopy, canopy);
        const v3 slope[4] = {{cx[side], 7.8, cz[side]}, {cx[side + 1], 7.8, cz[side + 1]},
                             {0.0005 * cx[side + 1], 10, 0.0005 * cz[side + 1]},
                             {0.0005 * cx[side], 10, 0.0005 * cz[side]}};
        solid_panel(&b, slope, 0.03, canopy, canopy);
    }
    return m;
}

// ---- Windsock: a 14 ft steel pole, a 5 ft red and white cone along -z from its top ----------

static const int SOCK_SIDE = 64;

datagen_image datagen_windsock_image() {
    datagen_image img = rgb_image(SOCK_SIDE, SOCK_SIDE, {0, 0, 0, 255});
    for (int y = 0; y < SOCK_SIDE; y++)
        for (int x = 0; x < SOCK_SIDE; x++) {
            if (x >= 48)
                put(&img, x, y, 160, 162, 168);
            else if ((y / 8) % 2)
                put(&img, x, y, 245, 245, 245);
            else
                put(&img, x, y, 220, 40, 30);
        }
    return img;
}

static datagen_jm_model windsock_model() {
    datagen_jm_model m;
    m.meshes.resize(1);
    m.meshes[0].mode = 8;
    solid_builder b{&m.meshes[0], {}};
    solid_rod(&b, {0, 0, 0}, {0, 14.2, 0}, 0.1, X, 8, solid_pixels(48, 0, 64, 64, SOCK_SIDE, SOCK_SIDE), true);
    // The cone narrows from 0.6 ft to 0.25 ft and droops a little towards its tail.
    std::vector<solid_node> cone;
    for (int i = 0; i <= 5; i++)
        cone.push_back({{0, 13.7 - 0.06 * i * i / 5.0, -0.2 - 1.0 * i}, 0.6 - 0.07 * i, 0.6 - 0.07 * i});
    solid_sweep(&b, cone, X, 12, solid_pixels(0, 0, 48, 64, SOCK_SIDE, SOCK_SIDE), false);
    return m;
}

// ---- Shapes ---------------------------------------------------------------------------------

namespace {
struct ball {
    double x, y, z, r;
};
}  // namespace

static std::string shape_text(const std::vector<ball> &balls, double mu, double spring, double damper) {
    std::string out = std::to_string(balls.size()) + "\n";
    for (const ball &b : balls) {
        const double row[7] = {b.x, b.y, b.z, b.r, mu, spring, damper};
        for (int i = 0; i < 7; i++) out += datagen_decimal(row[i]) + (i < 6 ? " " : "\n");
    }
    return out;
}

std::string datagen_haybale_shp() {
    return shape_text({{-0.8, 0.7, 0, 0.75}, {0, 0.7, 0, 0.75}, {0.8, 0.7, 0, 0.75}}, 0.8, 4000, 400);
}

std::string datagen_banner_shp() {
    std::vector<ball> balls;
    for (double x : {-6.0, 6.0})
        for (double y : {1.0, 3.5, 6.0}) balls.push_back({x, y, 0, 0.3});
    return shape_text(balls, 0.5, 20000, 2000);
}

std::string datagen_tent_shp() {
    std::vector<ball> balls;
    for (double x : {-5.0, 5.0})
        for (double z : {-5.0, 5.0})
            for (double y : {1.0, 4.0}) balls.push_back({x, y, z, 0.3});
    return shape_text(balls, 0.5, 20000, 2000);
}

// ---- Members --------------------------------------------------------------------------------

std::string datagen_haybale_jm() {
    return datagen_jm(haybale_model());
}
std::string datagen_banner_jm() {
    return datagen_jm(banner_model());
}
std::string datagen_tent_jm() {
    return datagen_jm(tent_model());
}
std::string datagen_windsock_jm() {
    return datagen_jm(windsock_model());
}
std::string datagen_haybale_png() {
    return datagen_png(datagen_haybale_image());
}
std::string datagen_haybale_norm_png() {
    return datagen_png(datagen_haybale_norm_image());
}
std::string datagen_banner_zr_png() {
    return datagen_png(datagen_banner_zr_image());
}
std::string datagen_banner_mx_png() {
    return datagen_png(datagen_banner_mx_image());
}
std::string datagen_tent_png() {
    return datagen_png(datagen_tent_image());
}
std::string datagen_windsock_png() {
    return datagen_png(datagen_windsock_image());
}
