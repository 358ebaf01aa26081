// The texture level decisions that need no OpenGL: power-of-two sides, the detail reduction,
// levels that add no detail, the border colour, and fitting images for the in-memory cache.
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "core/mem.h"
#include "gfx/image.h"
#include "gfx/texture.h"

int tex_is_power_of_two(int side) {
    return side > 0 && (side & (side - 1)) == 0;
}

int tex_power_of_two_at_most(int side) {
    int p = 1;
    while (p <= side / 2) p *= 2;
    return p;
}

int tex_power_of_two_below(int side) {
    return side <= 2 ? 1 : tex_power_of_two_at_most(side - 1);
}

static int tex_half(int side) {
    return side / 2 ? side / 2 : 1;
}

// One row of the next level upsampled along x to the level's width: column x takes
// (3 a + b) >> 2 for odd x and (a + 3 b) >> 2 for even x, with c = (x + 1) / 2,
// a = max(c - 1, 0) and b = min(c, next width - 1).
static void tex_upsample_row_any(const unsigned char *row, int next_width, int width,
                                 int channels, unsigned char *out) {
    for (int x = 0; x < width; x++) {
        int c = (x + 1) / 2;
        const unsigned char *a = row + (size_t)(c - 1 > 0 ? c - 1 : 0) * channels;
        const unsigned char *b = row + (size_t)(c < next_width - 1 ? c : next_width - 1) * channels;
        for (int k = 0; k < channels; k++)
            *out++ = (unsigned char)(x & 1 ? (3 * a[k] + b[k]) >> 2 : (a[k] + 3 * b[k]) >> 2);
    }
}

// The same for a width of exactly twice the next one: the first and last columns copy the
// edge pixels, every pair between blends neighbours 3:1 and 1:3. The blends are made in two
// straight runs and then placed pixel by pixel.
template <int CH>
static void tex_upsample_row_double(const unsigned char *row, int next_width, unsigned char *out,
                                    unsigned char *scratch) {
    size_t n = (size_t)(next_width - 1) * CH;
    unsigned char *left = scratch, *right = scratch + n;
    for (size_t e = 0; e < n; e++) {
        left[e] = (unsigned char)((3 * row[e] + row[e + CH]) >> 2);
        right[e] = (unsigned char)((row[e] + 3 * row[e + CH]) >> 2);
    }
    // Whole words: a three-byte pixel takes a fourth byte along, which the next pixel (or the
    // last column, placed after the loop) overwrites; scratch has room behind both runs.
    constexpr size_t word = CH == 3 ? 4 : CH;
    for (size_t m = 0; m < (size_t)next_width - 1; m++) {
        memcpy(out + (2 * m + 1) * CH, left + m * CH, word);
        memcpy(out + (2 * m + 2) * CH, right + m * CH, word);
    }
    memcpy(out, row, CH);
    memcpy(out + (size_t)(2 * next_width - 1) * CH, row + n, CH);
}

// scratch: room for a level row (at least two runs of blends and one byte).
static void tex_upsample_row(const unsigned char *row, int next_width, int width, int channels,
                             unsigned char *out, unsigned char *scratch) {
    if (width == 2 * next_width && channels == 3)
        tex_upsample_row_double<3>(row, next_width, out, scratch);
    else if (width == 2 * next_width && channels == 4)
        tex_upsample_row_double<4>(row, next_width, out, scratch);
    else
        tex_upsample_row_any(row, next_width, width, channels, out);
}

// 1 when two bytes differ by more than 4 (kept in byte arithmetic, so it vectorizes).
static inline unsigned char tex_far(unsigned char x, unsigned char y) {
    unsigned char d = x > y ? (unsigned char)(x - y) : (unsigned char)(y - x);
    return d > 4;
}

int tex_level_adds_no_detail(const unsigned char *level, int width, int height, int channels) {
    const unsigned char *next = level + (size_t)width * height * channels;
    int nw = tex_half(width), nh = tex_half(height);
    size_t n = (size_t)width * channels;
    // Target row y blends rows max(r - 1, 0) and min(r, nh - 1) of the next level, both
    // upsampled along x, with r = (y + 1) / 2: odd rows 3:1, even rows 1:3. Rows 2r - 1 and
    // 2r share their two source rows and are compared together.
    std::vector<unsigned char> buffers(3 * n);
    unsigned char *above = buffers.data(), *below = buffers.data() + n, *scratch = below + n;
    tex_upsample_row(next, nw, width, channels, below, scratch);
    for (int r = 0; 2 * r - 1 < height; r++) {
        if (r > 0 && r < nh) {
            std::swap(above, below);
            tex_upsample_row(next + (size_t)r * nw * channels, nw, width, channels, below, scratch);
        }
        const unsigned char *a = r > 0 && r < nh ? above : below, *b = below;
        const unsigned char *odd = 2 * r - 1 >= 0 ? level + (size_t)(2 * r - 1) * n : nullptr;
        const unsigned char *even = 2 * r < height ? level + (size_t)(2 * r) * n : nullptr;
        unsigned char outside = 0;
        if (odd && even) {
            for (size_t i = 0; i < n; i++)
                outside |= tex_far((unsigned char)((3 * a[i] + b[i]) >> 2), odd[i]) |
                           tex_far((unsigned char)((a[i] + 3 * b[i]) >> 2), even[i]);
        } else if (odd) {
            for (size_t i = 0; i < n; i++) outside |= tex_far((unsigned char)((3 * a[i] + b[i]) >> 2), odd[i]);
        } else {
            for (size_t i = 0; i < n; i++) outside |= tex_far((unsigned char)((a[i] + 3 * b[i]) >> 2), even[i]);
        }
        if (outside) return 0;
    }
    return 1;
}

const unsigned char *tex_choose_top_level(const unsigned char *pixels, int *width, int *height,
                                          int channels, int reduce_count, int *flat_dropped) {
    int w = *width, h = *height;
    for (int i = 0; i < reduce_count; i++) {
        if (w <= TEX_DETAIL_MIN_SIDE || h <= TEX_DETAIL_MIN_SIDE) break;
        pixels += (size_t)w * h * channels;
        w = tex_half(w);
        h = tex_half(h);
    }
    int dropped = 0;
    while ((w > TEX_FLAT_MIN_SIDE || h > TEX_FLAT_MIN_SIDE) &&
           tex_level_adds_no_detail(pixels, w, h, channels)) {
        pixels += (size_t)w * h * channels;
        w = tex_half(w);
        h = tex_half(h);
        dropped++;
    }
    *width = w;
    *height = h;
    *flat_dropped = dropped;
    return pixels;
}

void tex_border_colour(const unsigned char *pixels, int width, int height, int channels,
                       float colour[4]) {
    colour[0] = colour[1] = colour[2] = colour[3] = 0.0f;
    if (channels != 3) return;
    int bins[512] = {};
    auto count = [&](int x, int y) {
        const unsigned char *p = pixels + ((size_t)y * width + x) * 3;
        bins[(7 * p[0] / 255) * 64 + (7 * p[1] / 255) * 8 + 7 * p[2] / 255]++;
    };
    for (int x = 0; x < width; x++) {
        count(x, 0);
        count(x, height - 1);
    }
    for (int y = 0; y < height; y++) {
        count(0, y);
        count(width - 1, y);
    }
    int best = 0;
    for (int i = 1; i < 512; i++)
        if (bins[i] > bins[best]) best = i;
    colour[0] = (float)(best / 64) / 7.0f;
    colour[1] = (float)(best / 8 % 8) / 7.0f;
    colour[2] = (float)(best % 8) / 7.0f;
}

int image_fit_power_of_two(unsigned char **pixels, int *width, int *height, int channels,
                           long max_area, int reduce_count) {
    int w = *width, h = *height;
    unsigned char *chain = *pixels;
    bool resampled = false;
    if (!tex_is_power_of_two(w) || !tex_is_power_of_two(h)) {
        int nw = tex_power_of_two_at_most(w), nh = tex_power_of_two_at_most(h);
        chain = image_resample(chain, w, h, channels, nw, nh);
        if (!chain) return 0;
        w = nw;
        h = nh;
        resampled = true;
    }
    const unsigned char *top = chain;
    int tw = w, th = h;
    while ((reduce_count > 0 || (long)tw * th > max_area) && (long)tw * th > TEX_FIT_MIN_AREA) {
        top += (size_t)tw * th * channels;
        tw = tex_half(tw);
        th = tex_half(th);
        if (reduce_count > 0) reduce_count--;
    }
    if (top != chain) {
        size_t bytes = image_chain_bytes(tw, th, channels);
        unsigned char *copy = (unsigned char *)mem_alloc(bytes);
        if (!copy) {
            if (resampled) mem_free(chain);
            return 0;
        }
        memcpy(copy, top, bytes);
        if (resampled) mem_free(chain);
        chain = copy;
        resampled = true;
    }
    if (resampled) {
        mem_free(*pixels);
        *pixels = chain;
        *width = tw;
        *height = th;
    }
    return 1;
}
