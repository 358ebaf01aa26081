// The text-headed image formats: PPM (P3, P6), PGM (P2, P5) and the predictive J6/J7. Every
// reader checks sides, maximum values and the length of the pixel data before trusting them.
#include <climits>
#include <cstring>

#include "core/mem.h"
#include "gfx/image.h"

// Skips blank space and comment lines ('#' to the end of the line), repeatedly.
static void image_skip_comments(file_stream *s) {
    for (;;) {
        int c = stream_peekc(s);
        while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            stream_getc(s);
            c = stream_peekc(s);
        }
        if (c != '#') return;
        while ((c = stream_getc(s)) >= 0 && c != '\n') {
        }
    }
}

// A decimal after optional comment lines: -1 when none stands there, LONG_MAX / 2 for one too
// long to matter (so it fails every range check).
static long image_read_decimal(file_stream *s, bool *ok) {
    image_skip_comments(s);
    bool negative = false;
    int c = stream_peekc(s);
    if (c == '-' || c == '+') {
        negative = c == '-';
        stream_getc(s);
        c = stream_peekc(s);
    }
    if (c < '0' || c > '9') {
        *ok = false;
        return -1;
    }
    long v = 0;
    while ((c = stream_peekc(s)) >= '0' && c <= '9') {
        stream_getc(s);
        if (v < LONG_MAX / 20) v = v * 10 + (c - '0');
    }
    *ok = true;
    return negative ? -v : v;
}

// Width and height (and the maximum value when asked), each after optional comment lines.
static int image_read_header(file_stream *s, int *width, int *height, long *maxval) {
    bool ok_w, ok_h, ok_m = true;
    long w = image_read_decimal(s, &ok_w);
    long h = image_read_decimal(s, &ok_h);
    if (maxval) *maxval = image_read_decimal(s, &ok_m);
    if (!ok_w || !ok_h || !ok_m || !image_sides_valid(w, h)) return 0;
    *width = (int)w;
    *height = (int)h;
    return 1;
}

// Scales a sample of at most maxval (itself at most 65535, so nothing overflows) to 0..255;
// a negative text sample is 0.
static unsigned char image_scale(long v, long maxval) {
    if (v <= 0) return 0;
    if (maxval != 255) v = v * 255 / maxval;
    return (unsigned char)(v > 255 ? 255 : v);
}

// 1 when the stream can still hold count samples: one byte each after the separating byte, or
// for text a digit each and a blank between. Checked before allocating for them.
static int image_samples_fit(file_stream *s, bool text, size_t count) {
    int64_t need = text ? 2 * (int64_t)count - 1 : (int64_t)count + 1;
    return stream_remaining(s) >= need;
}

// count samples: binary bytes, or decimals after optional comments, scaled to 0..255.
static int image_read_samples(file_stream *s, bool text, long maxval, unsigned char *out,
                              size_t count) {
    if (!text) {
        // Exactly one byte separates the header from the data.
        if (stream_getc(s) < 0) return 0;
        size_t done = 0;
        while (done < count) {
            int n = count - done > 1 << 20 ? 1 << 20 : (int)(count - done);
            if (stream_read(s, out + done, n) != n) return 0;
            done += (size_t)n;
        }
        if (maxval != 255)
            for (size_t i = 0; i < count; i++) out[i] = image_scale(out[i], maxval);
        return 1;
    }
    for (size_t i = 0; i < count; i++) {
        bool ok;
        long v = image_read_decimal(s, &ok);
        if (!ok || v > maxval) return 0;  // a sample beyond the maximum: a bad file
        out[i] = image_scale(v, maxval);
    }
    return 1;
}

// The maximum value a format allows: 255 for the binary forms (one byte a sample), 65535 for
// the text forms; never 0, which would divide by zero.
static int image_maxval_valid(long maxval, bool text) {
    return maxval >= 1 && maxval <= (text ? 65535 : 255);
}

int image_read_ppm(const char *magic, file_stream *s, unsigned char **pixels, int *width,
                   int *height) {
    bool text = strcmp(magic, "P3") == 0;
    if (!text && strcmp(magic, "P6") != 0) return 0;
    int w, h;
    long maxval;
    if (!image_read_header(s, &w, &h, &maxval) || !image_maxval_valid(maxval, text) ||
        !image_samples_fit(s, text, (size_t)w * h * 3))
        return 0;
    unsigned char *p = (unsigned char *)mem_alloc(image_chain_bytes(w, h, 3));
    if (!p) return 0;
    if (!image_read_samples(s, text, maxval, p, (size_t)w * h * 3)) {
        mem_free(p);
        return 0;
    }
    image_build_mips_rgb(p, w, h);
    *pixels = p;
    *width = w;
    *height = h;
    return 1;
}

int image_read_pgm(file_stream *s, unsigned char **bytes, int *width, int *height) {
    char magic[16];
    if (stream_scanf(s, "%15s", magic) != 1) return 0;
    bool text = strcmp(magic, "P2") == 0;
    if (!text && strcmp(magic, "P5") != 0) return 0;
    int w, h;
    long maxval;
    if (!image_read_header(s, &w, &h, &maxval) || !image_maxval_valid(maxval, text) ||
        !image_samples_fit(s, text, (size_t)w * h))
        return 0;
    unsigned char *p = (unsigned char *)mem_alloc((size_t)w * h);
    if (!p) return 0;
    if (!image_read_samples(s, text, maxval, p, (size_t)w * h)) {
        mem_free(p);
        return 0;
    }
    *bytes = p;
    *width = w;
    *height = h;
    return 1;
}

// One row of predictive pixels: each byte adds, modulo 256, to its prediction (0 at the first
// pixel; the left neighbour on the top row; the upper one in the first column; elsewhere
// left + above - upper-left clamped to 0..255). up is the row above, null on the top row.
// A fourth output channel the file does not store is the prediction of zeros: 0.
template <int STORED, int OUT>
static void image_predict_row(const unsigned char *in, unsigned char *out, const unsigned char *up,
                              int width) {
    constexpr int used = STORED < OUT ? STORED : OUT;
    int left[used], upleft[used];
    for (int c = 0; c < used; c++) {
        upleft[c] = up ? up[c] : 0;
        left[c] = (in[c] + upleft[c]) & 255;
        out[c] = (unsigned char)left[c];
    }
    if (used < OUT) out[3] = 0;
    for (int x = 1; x < width; x++) {
        const unsigned char *i = in + (size_t)x * STORED;
        unsigned char *o = out + (size_t)x * OUT;
        const unsigned char *u = up ? up + (size_t)x * OUT : nullptr;
        for (int c = 0; c < used; c++) {
            int predicted = left[c];
            if (u) {
                predicted += u[c] - upleft[c];
                predicted = predicted < 0 ? 0 : predicted > 255 ? 255 : predicted;
                upleft[c] = u[c];
            }
            left[c] = (i[c] + predicted) & 255;
            o[c] = (unsigned char)left[c];
        }
        if (used < OUT) o[3] = 0;
    }
}

int image_read_predictive(const char *magic, file_stream *s, unsigned char **pixels, int *width,
                          int *height, int channels) {
    int stored = strcmp(magic, "J7") == 0 ? 4 : strcmp(magic, "J6") == 0 ? 3 : 0;
    if (!stored || (channels != 3 && channels != 4)) return 0;
    int w, h;
    if (!image_read_header(s, &w, &h, nullptr) || stream_getc(s) < 0 ||
        stream_remaining(s) < (int64_t)w * h * stored)
        return 0;
    unsigned char *p = (unsigned char *)mem_alloc(image_chain_bytes(w, h, channels));
    unsigned char *row = (unsigned char *)mem_alloc((size_t)w * stored);
    int ok = p && row;
    size_t stride = (size_t)w * channels;
    auto decode = stored == 4 ? (channels == 4 ? image_predict_row<4, 4> : image_predict_row<4, 3>)
                              : (channels == 4 ? image_predict_row<3, 4> : image_predict_row<3, 3>);
    for (int y = 0; ok && y < h; y++) {
        if (stream_read(s, row, w * stored) != w * stored) {
            ok = 0;
            break;
        }
        decode(row, p + stride * y, y ? p + stride * (y - 1) : nullptr, w);
    }
    mem_free(row);
    if (!ok) {
        mem_free(p);
        return 0;
    }
    image_build_mips(p, w, h, channels, 0);
    *pixels = p;
    *width = w;
    *height = h;
    return 1;
}

int image_read_rgb(file_stream *s, unsigned char **pixels, int *width, int *height) {
    char magic[16];
    if (stream_scanf(s, "%15s", magic) != 1) return 0;
    if (strcmp(magic, "P3") == 0 || strcmp(magic, "P6") == 0)
        return image_read_ppm(magic, s, pixels, width, height);
    if (strcmp(magic, "J6") == 0 || strcmp(magic, "J7") == 0)
        return image_read_predictive(magic, s, pixels, width, height, 3);
    return 0;
}
