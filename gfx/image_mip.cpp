// Mip chains built on the processor: the alpha-aware 2 x 2 reduction and nearest-pixel
// resampling, all in integer arithmetic.
#include "core/mem.h"
#include "gfx/image.h"

size_t image_chain_bytes(int width, int height, int channels) {
    size_t total = 0;
    size_t w = (size_t)(width < 1 ? 1 : width), h = (size_t)(height < 1 ? 1 : height);
    while (w * h > 1) {
        total += w * h;
        w = w / 2 ? w / 2 : 1;
        h = h / 2 ? h / 2 : 1;
    }
    return (total + 1) * (size_t)channels;
}

int image_sides_valid(long width, long height) {
    return width >= 1 && height >= 1 && width <= IMAGE_SIDE_MAX && height <= IMAGE_SIDE_MAX;
}

void image_halve_line(unsigned char *pixels, int length, int flags) {
    unsigned char *out = pixels + (size_t)length * 4;
    for (int i = 0; i < length / 2; i++) {
        const unsigned char *p = pixels + (size_t)i * 8, *q = p + 4;
        int a1 = p[3], a2 = q[3], d = a1 + a2;
        for (int c = 0; c < 3; c++)
            out[c] = (unsigned char)(d == 0 || d == 510 ? (p[c] + q[c]) >> 1
                                                        : (p[c] * a1 + q[c] * a2) / d);
        out[3] = (unsigned char)(flags & IMAGE_MIP_MAX_ALPHA ? (a1 > a2 ? a1 : a2) : d >> 1);
        out += 4;
    }
}

// RGBA 2 x 2 blocks: transparent pixels give no colour to their neighbours.
static void image_halve_rgba(unsigned char *pixels, int width, int height, int flags) {
    unsigned char *out = pixels + (size_t)width * height * 4;
    size_t row = (size_t)width * 4;
    for (int y = 0; y < height / 2; y++)
        for (int x = 0; x < width / 2; x++) {
            const unsigned char *p1 = pixels + row * 2 * y + (size_t)x * 8, *p2 = p1 + 4;
            const unsigned char *p3 = p1 + row, *p4 = p3 + 4;
            int a1 = p1[3], a2 = p2[3], a3 = p3[3], a4 = p4[3];
            int t = a1 + a2 + a3 + a4;
            for (int c = 0; c < 3; c++)
                out[c] = (unsigned char)(t == 0 || t == 1020
                                             ? (p1[c] + p2[c] + p3[c] + p4[c]) >> 2
                                             : (p1[c] * a1 + p2[c] * a2 + p3[c] * a3 + p4[c] * a4) / t);
            int m = a1 > a2 ? a1 : a2, n = a3 > a4 ? a3 : a4;
            out[3] = (unsigned char)(flags & IMAGE_MIP_MAX_ALPHA ? (m > n ? m : n) : t >> 2);
            out += 4;
        }
}

// Any other channel count: plain truncated averages of blocks, or of pairs along a line.
static void image_halve_plain(unsigned char *pixels, int width, int height, int channels) {
    unsigned char *out = pixels + (size_t)width * height * channels;
    if (width == 1 || height == 1) {
        int length = width * height;
        for (int i = 0; i < length / 2; i++)
            for (int c = 0; c < channels; c++)
                *out++ = (unsigned char)((pixels[(size_t)(2 * i) * channels + c] +
                                          pixels[(size_t)(2 * i + 1) * channels + c]) >> 1);
        return;
    }
    size_t row = (size_t)width * channels;
    for (int y = 0; y < height / 2; y++)
        for (int x = 0; x < width / 2; x++)
            for (int c = 0; c < channels; c++) {
                const unsigned char *p = pixels + row * 2 * y + (size_t)(2 * x) * channels + c;
                *out++ = (unsigned char)((p[0] + p[channels] + p[row] + p[row + channels]) >> 2);
            }
}

void image_halve(unsigned char *pixels, int width, int height, int channels, int flags) {
    if (channels != 4)
        image_halve_plain(pixels, width, height, channels);
    else if (width == 1 || height == 1)
        image_halve_line(pixels, width * height, flags);
    else
        image_halve_rgba(pixels, width, height, flags);
}

void image_build_mips(unsigned char *pixels, int width, int height, int channels, int flags) {
    int w = width, h = height;
    while ((long)w * h > 1) {
        image_halve(pixels, w, h, channels, flags);
        pixels += (size_t)w * h * channels;
        w = w / 2 ? w / 2 : 1;
        h = h / 2 ? h / 2 : 1;
    }
}

void image_build_mips_rgb(unsigned char *pixels, int width, int height) {
    image_build_mips(pixels, width, height, 3, 0);
}

void image_build_mips_rgba(unsigned char *pixels, int width, int height) {
    image_build_mips(pixels, width, height, 4, 0);
}

unsigned char *image_resample(const unsigned char *pixels, int width, int height, int channels,
                              int new_width, int new_height) {
    unsigned char *out = (unsigned char *)mem_alloc(image_chain_bytes(new_width, new_height, channels));
    if (!out) return nullptr;
    for (int y = 0; y < new_height; y++) {
        const unsigned char *src_row =
            pixels + (size_t)((long)y * height / new_height) * width * channels;
        unsigned char *dst = out + (size_t)y * new_width * channels;
        for (int x = 0; x < new_width; x++) {
            const unsigned char *src = src_row + (size_t)((long)x * width / new_width) * channels;
            for (int c = 0; c < channels; c++) *dst++ = src[c];
        }
    }
    image_build_mips(out, new_width, new_height, channels, 0);
    return out;
}
