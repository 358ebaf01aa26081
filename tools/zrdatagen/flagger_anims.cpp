// The flag marshals' waving animations: a marshal in a high-visibility vest swinging the
// chequered flag ("flagger-chequered.seq") or the yellow flag ("flagger-yellow.seq"), four
// frames each (64 x 128 RGBA), played back and forth.
#include <string>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"

namespace {

constexpr long SUB = DATAGEN_SUB;

datagen_point at(long x, long y) {
    return {x * SUB, y * SUB};
}

// The marshal: boots, trousers, vest over a long-sleeved shirt, head and cap; the right arm
// raised to the pole's grip at (gx, gy) in pixels.
void draw_marshal(datagen_image *img, long gx, long gy) {
    const datagen_rgba trousers = {38, 44, 62, 255}, boots = {24, 22, 20, 255}, shirt = {52, 60, 84, 255},
                       vest = {250, 120, 20, 255}, stripe = {232, 236, 226, 255}, skin = {214, 168, 128, 255},
                       cap = {30, 34, 44, 255};
    datagen_stroke(img, {at(18, 84), at(17, 118)}, 4 * SUB, trousers);
    datagen_stroke(img, {at(28, 84), at(30, 118)}, 4 * SUB, trousers);
    datagen_fill_ellipse(img, at(16, 121), 5 * SUB, 3 * SUB, 0, 0, boots);
    datagen_fill_ellipse(img, at(32, 121), 5 * SUB, 3 * SUB, 0, 0, boots);
    // The left arm hangs; the right reaches up to the grip.
    datagen_stroke(img, {at(13, 50), at(10, 66), at(11, 80)}, 3 * SUB, shirt);
    datagen_stroke(img, {at(33, 50), at((33 + gx) / 2 + 2, (50 + gy) / 2 + 4), at(gx, gy)}, 3 * SUB, shirt);
    datagen_fill_ellipse(img, at(gx, gy), 3 * SUB, 3 * SUB, 0, 0, skin);
    datagen_fill_polygon(img, {at(12, 46), at(34, 46), at(32, 86), at(14, 86)}, vest);
    datagen_fill_polygon(img, {at(13, 66), at(33, 66), at(33, 70), at(13, 70)}, stripe);
    datagen_fill_polygon(img, {at(14, 78), at(32, 78), at(32, 82), at(14, 82)}, stripe);
    datagen_fill_ellipse(img, at(23, 38), 7 * SUB, 8 * SUB, 0, 0, skin);
    datagen_fill_polygon(img, {at(15, 34), at(31, 34), at(34, 31), at(30, 27), at(16, 27)}, cap);
}

// The flag on its pole, swung by frame (0..3): the cloth waves from the pole's top, chequered
// or yellow.
datagen_image marshal_frame(int frame, bool chequered) {
    datagen_image img = datagen_image_new(64, 128, 4, {0, 0, 0, 0});
    static const long tip_x[4] = {30, 38, 46, 40}, tip_y[4] = {6, 3, 6, 4};
    long gx = 37 + frame % 2, gy = 40 - (frame == 2 ? 1 : 0);
    long tx = tip_x[frame], ty = tip_y[frame];
    // The cloth: from the pole's top to the right, 22 px long and 15 px deep, its edges waving.
    long phase = frame * 64;
    auto inside = [&](long sx, long sy) {
        long u = sx - tx * SUB;   // along the cloth, sub-pixels
        if (u < 0 || u >= 24 * SUB) return false;
        long wave = 3 * SUB * datagen_sin256(phase + u * 256 / (20 * SUB)) / 65536 * u / (24 * SUB);
        long top = ty * SUB + wave + u / 6, v = sy - top;
        if (v < 0 || v >= 15 * SUB) return false;
        return true;
    };
    auto checker = [&](long sx, long sy) {
        if (!inside(sx, sy)) return false;
        long u = sx - tx * SUB;
        long wave = 3 * SUB * datagen_sin256(phase + u * 256 / (20 * SUB)) / 65536 * u / (24 * SUB);
        long v = sy - (ty * SUB + wave + u / 6);
        return (u / (6 * SUB) + v / (5 * SUB)) % 2 == 0;
    };
    if (chequered) {
        datagen_fill(&img, 0, 0, 64, 64, inside, {245, 245, 240, 255});
        datagen_fill(&img, 0, 0, 64, 64, checker, {20, 20, 22, 255});
    } else {
        datagen_fill(&img, 0, 0, 64, 64, inside, {250, 214, 30, 255});
        // A fold's shade across the cloth.
        datagen_fill(&img, 0, 0, 64, 64,
                     [&](long sx, long sy) {
                         long u = sx - tx * SUB;
                         return inside(sx, sy) && datagen_sin256(phase + u * 256 / (20 * SUB)) < -30000;
                     },
                     {214, 170, 20, 160});
    }
    // The pole from below the grip to its top.
    long bx = gx + (gx - tx) / 4, by = gy + (gy - ty) / 4;
    datagen_stroke(&img, {at(bx, by), at(tx, ty)}, SUB, {120, 96, 64, 255});
    draw_marshal(&img, gx, gy);
    return img;
}

std::string marshal_seq(bool chequered) {
    // Frames 0 1 2 3 2 1, an eighth of a second each.
    std::string out = "ANIM1\n6 4 16 1\n0 1 2 3 2 1\n";
    for (int f = 0; f < 4; f++) out += datagen_predictive(marshal_frame(f, chequered)) + "\n";
    return out;
}

}  // namespace

std::string datagen_flagger_chequered_seq() {
    return marshal_seq(true);
}

std::string datagen_flagger_yellow_seq() {
    return marshal_seq(false);
}
