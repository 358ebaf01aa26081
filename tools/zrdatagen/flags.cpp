// The waving checkered flag: five 64 x 64 RGBA frames, four as J7 blocks inside the ".seq"
// animation and the fifth as a PNG beside it, and the finish flag that links to it.
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"

// The cloth's vertical displacement at sub-pixel column x: a wave that grows from the pole on
// the left towards the free end.
static long datagen_flag_offset(long x, long phase) {
    long a = x * 5 / 16 + phase;
    return 64 * datagen_sin256(a) / 65536 * (x + 256) / 1280;
}

datagen_image datagen_flag_frame(int frame) {
    datagen_image img = datagen_image_new(64, 64, 4, {0, 0, 0, 0});
    long phase = -frame * 40;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            int covered = 0, white = 0;
            long light = 0;
            for (int j = 0; j < 4; j++)
                for (int i = 0; i < 4; i++) {
                    long sx = x * 16 + 2 + 4 * i, sy = y * 16 + 2 + 4 * j;
                    long v = sy - datagen_flag_offset(sx, phase);  // cloth row in sub-pixels
                    if (v < 8 * 16 || v >= 56 * 16) continue;
                    covered++;
                    if ((sx / 128 + (v - 128) / 128) % 2 == 0) white++;
                    light += datagen_cos256(sx * 5 / 16 + phase);
                }
            if (!covered) continue;
            // Lit where the cloth faces the light, darker in the folds.
            long shade = 200 + 52 * (light / covered) / 65536;
            long w = shade + 40 > 255 ? 255 : shade + 40, k = 24 + (shade - 148) / 4;
            long c = (w * white + k * (covered - white)) / covered;
            unsigned char *p = &img.pixels[((size_t)y * 64 + x) * 4];
            p[0] = p[1] = p[2] = (unsigned char)c;
            p[3] = (unsigned char)(covered * 255 / 16);
        }
    return img;
}

std::string datagen_checkered_seq() {
    std::string out = "ANIM1\n8 5 16 1\n0 1 2 3 4 3 2 1\n";
    for (int f = 0; f < 4; f++) out += datagen_predictive(datagen_flag_frame(f)) + "\n";
    out += "PNG @flags/checkered-4.png\n";
    return out;
}

std::string datagen_checkered_4_png() {
    return datagen_png(datagen_flag_frame(4));
}

std::string datagen_finish_link() {
    return "LINK @flags/checkered.seq\n";
}
