// gzip streams: the member header, raw inflate through a small window, and the trailer check.
#include <cstring>
#include <initializer_list>

#include "core/console.h"
#include "core/stream.h"

// Reports corrupt or cut compressed data once per stream and ends the stream.
static void gzip_corrupt(file_stream *s) {
    s->stream_end = 1;
    if (s->warned) return;
    s->warned = 1;
    char text[1024];
    snprintf(text, sizeof text, "Warning: corrupt compressed data in '%.900s'\n", s->name);
    console_print(text);
}

// More compressed bytes, never past the compressed length: 1, or 0 when none came.
static int gzip_refill(file_stream *s) {
    int32_t left = s->compressed_length - s->compressed_consumed;
    if (left <= 0) return 0;
    size_t want = left < STREAM_INPUT_SIZE ? (size_t)left : (size_t)STREAM_INPUT_SIZE;
    size_t got = fread(s->input, 1, want, s->file);
    s->compressed_consumed += (int32_t)got;
    s->inflate_state.next_in = s->input;
    s->inflate_state.avail_in = (uInt)got;
    return got > 0;
}

static uint32_t gzip_le32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// The 8 bytes after the deflate data: CRC-32 and size (mod 2^32) of what was decompressed.
static void gzip_check_trailer(file_stream *s) {
    z_stream *z = &s->inflate_state;
    unsigned char trailer[8];
    size_t have = 0;
    while (have < sizeof trailer) {
        if (z->avail_in == 0 && !gzip_refill(s)) break;
        size_t take = sizeof trailer - have;
        if (take > z->avail_in) take = z->avail_in;
        memcpy(trailer + have, z->next_in, take);
        z->next_in += take;
        z->avail_in -= (uInt)take;
        have += take;
    }
    if (have < sizeof trailer || gzip_le32(trailer) != s->crc ||
        gzip_le32(trailer + 4) != (uint32_t)z->total_out)
        gzip_corrupt(s);
}

// Inflates into the window until it is full or the data ends or fails.
static void gzip_inflate(file_stream *s) {
    z_stream *z = &s->inflate_state;
    unsigned char *start = z->next_out;
    while (z->avail_out > 0) {
        if (z->avail_in == 0 && !gzip_refill(s)) {
            gzip_corrupt(s);  // the compressed data stops before its end
            break;
        }
        int r = inflate(z, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
            s->crc = (uint32_t)crc32(s->crc, start, (uInt)(z->next_out - start));
            start = z->next_out;
            s->stream_end = 1;
            gzip_check_trailer(s);
            break;
        }
        // Z_BUF_ERROR only means no progress, which input and output space both rule out.
        if (r != Z_OK && !(r == Z_BUF_ERROR && z->avail_in == 0)) {
            gzip_corrupt(s);
            break;
        }
    }
    s->crc = (uint32_t)crc32(s->crc, start, (uInt)(z->next_out - start));
}

int stream_gzip_read(file_stream *s, unsigned char *dst, int n) {
    z_stream *z = &s->inflate_state;
    int total = 0;
    for (;;) {
        int pending = (int)(z->next_out - s->window_read);
        int take = pending < n - total ? pending : n - total;
        if (take > 0) {
            memcpy(dst + total, s->window_read, (size_t)take);
            s->window_read += take;
            total += take;
        }
        if (total == n || s->stream_end || !s->inflate_live) return total;
        // The window is fully delivered: start it again.
        z->next_out = s->window;
        z->avail_out = STREAM_WINDOW_SIZE;
        s->window_read = s->window;
        gzip_inflate(s);
    }
}

// Length of the gzip member header at the start of the buffer, or -1 when it is rejected.
static int gzip_header_length(const unsigned char *p, int n) {
    if (n < 4 || p[0] != 0x1f || p[1] != 0x8b || p[2] != 8 || p[3] >= 32) return -1;
    int flags = p[3];
    int at = 10;  // after time, extra flags and operating system
    if (at > n) return -1;
    if (flags & 4) {
        if (at + 2 > n) return -1;
        int extra = p[at] | p[at + 1] << 8;
        at += 2 + extra;
        if (at > n) return -1;
    }
    for (int field : {8, 16}) {
        if (!(flags & field)) continue;
        while (at < n && p[at] != 0) at++;
        if (at < n) at++;  // the zero byte; running out ends the header here
    }
    if (flags & 2) {
        at += 2;
        if (at > n) return -1;
    }
    return at;
}

int stream_start_gzip(file_stream *s) {
    s->gzip = 1;
    s->compressed_length = s->length;
    s->length = STREAM_WHOLE_FILE;
    s->compressed_consumed = 0;
    s->stream_end = 0;
    s->warned = 0;
    size_t want = s->compressed_length < STREAM_INPUT_SIZE ? (size_t)s->compressed_length
                                                           : (size_t)STREAM_INPUT_SIZE;
    size_t got = s->compressed_length > 0 ? fread(s->input, 1, want, s->file) : 0;
    s->compressed_consumed = (int32_t)got;
    int header = gzip_header_length(s->input, (int)got);
    if (header < 0) return 0;
    z_stream *z = &s->inflate_state;
    memset(z, 0, sizeof *z);
    z->next_in = s->input + header;
    z->avail_in = (uInt)(got - (size_t)header);
    s->window_read = s->window;
    z->next_out = s->window;
    z->avail_out = STREAM_WINDOW_SIZE;
    if (inflateInit2(z, -15) != Z_OK) {
        inflateEnd(z);
        return 0;
    }
    s->inflate_live = 1;
    s->crc = (uint32_t)crc32(0, nullptr, 0);
    return 1;
}
