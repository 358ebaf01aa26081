// PNG reading and writing through libpng over the program's file streams. Library errors
// return through longjmp, so nothing between a setjmp and its jump owns C++ objects: state
// that the error path frees is kept in volatile plain pointers.
#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "gfx/image.h"
#include "core/settings.h"

// Moves the bytes through the stream in pieces that fit an int; a short piece is a library
// error, which returns through the reader's or writer's setjmp.
template <class Op>
static void image_png_transfer(png_structp png, png_bytep data, size_t length, Op op,
                               const char *failure) {
    file_stream *s = (file_stream *)png_get_io_ptr(png);
    while (length > 0) {
        int n = length > (1u << 30) ? 1 << 30 : (int)length;
        if (op(s, data, n) != n) png_error(png, failure);
        data += n;
        length -= (size_t)n;
    }
}

void image_png_read_cb(png_structp png, png_bytep data, size_t length) {
    image_png_transfer(png, data, length, stream_read, "file ended early");
}

void image_png_write_cb(png_structp png, png_bytep data, size_t length) {
    auto write = [](file_stream *s, png_bytep bytes, int n) { return stream_write(s, bytes, n); };
    image_png_transfer(png, data, length, write, "write failed");
}

void image_png_flush_cb(png_structp png) {
    file_stream *s = (file_stream *)png_get_io_ptr(png);
    if (stream_flush(s) != 0) png_error(png, "write failed");
}

[[noreturn]] static void image_png_error(png_structp png, png_const_charp message) {
    (void)message;
    longjmp(png_jmpbuf(png), 1);
}

static void image_png_warning(png_structp png, png_const_charp message) {
    (void)png;
    if (game_settings.debug_level == 0) return;
    char line[256];
    snprintf(line, sizeof line, "Warning: libpng: %.200s", message);
    console_print(line);
}

// libpng's allocations when reading: rows, zlib's state and chunk buffers, never the picture
// (ours). A chunk's buffer is sized by its length field before its bytes are read, so a short
// file could ask for 2 GiB: larger blocks are refused, which libpng reports as a failure.
static png_voidp image_png_malloc(png_structp png, png_alloc_size_t size) {
    (void)png;
    return size > (png_alloc_size_t)IMAGE_PNG_ALLOC_MAX ? nullptr : malloc(size);
}

static void image_png_free(png_structp png, png_voidp block) {
    (void)png;
    free(block);
}

// A new text "<a><b>", or null when memory runs out.
static char *image_concat(const char *a, const char *b) {
    size_t la = strlen(a), lb = strlen(b);
    char *out = (char *)mem_alloc(la + lb + 1);
    if (!out) return nullptr;
    memcpy(out, a, la);
    memcpy(out + la, b, lb + 1);
    return out;
}

// Appends n bytes to a growing text (null or owned); returns the new text (the old one on
// failure).
static char *image_append(char *text, const char *more, size_t n) {
    size_t len = text ? strlen(text) : 0;
    char *out = (char *)mem_realloc(text, len + n + 1);
    if (!out) return text;
    memcpy(out + len, more, n);
    out[len + n] = 0;
    return out;
}

static char *image_append_texts(char *text, png_structp png, png_infop info) {
    png_textp texts = nullptr;
    int count = 0;
    png_get_text(png, info, &texts, &count);
    for (int i = 0; i < count; i++)
        if (texts[i].text) text = image_append(text, texts[i].text, strlen(texts[i].text));
    return text;
}

// The side file "<name>.info", at most IMAGE_INFO_MAX bytes of it.
static char *image_append_side_file(char *text, const char *name) {
    char *side = image_concat(name, ".info");
    file_stream *s = side ? stream_open(side, "rb") : nullptr;
    mem_free(side);
    if (!s) return text;
    char block[4096];
    size_t total = 0;
    for (int n; total < IMAGE_INFO_MAX && (n = stream_read(s, block, sizeof block)) > 0;) {
        if (total + (size_t)n > IMAGE_INFO_MAX) n = (int)(IMAGE_INFO_MAX - total);
        text = image_append(text, block, (size_t)n);
        total += (size_t)n;
    }
    stream_close(s);
    return text;
}

// The levels of a "[mip_custom]" picture of W x H: level 0 is the top W x 2H/3; each next
// level lies below the current one while that row is inside the picture, else to its right.
// Returns a new chain, or null (with the warning) when the layout does not fit the picture.
// The walk visits each level's rectangle; it gives 0 as soon as one lies outside.
template <class Visit>
static int image_custom_walk(long W, long H, long h0, Visit visit) {
    long x = 0, y = 0, w = W, h = h0;
    for (;;) {
        if (x + w > W || y + h > H) return 0;
        visit(x, y, w, h);
        if (w * h <= 1) return 1;
        if (y + h < H)
            y += h;
        else
            x += w;
        w = w / 2 ? w / 2 : 1;
        h = h / 2 ? h / 2 : 1;
    }
}

static unsigned char *image_custom_levels(const char *name, const unsigned char *picture, int W,
                                          int H, int channels, int *level0_height) {
    int h0 = (int)(2L * H / 3);
    auto nothing = [](long, long, long, long) {};
    if ((2L * H) % 3 != 0 || !image_custom_walk(W, H, h0, nothing)) {
        char line[1100];
        snprintf(line, sizeof line, "Warning: Invalid height for custom MIP map in '%.950s'", name);
        console_print(line);
        return nullptr;
    }
    unsigned char *chain = (unsigned char *)mem_alloc(image_chain_bytes(W, h0, channels));
    if (!chain) return nullptr;
    unsigned char *out = chain;
    image_custom_walk(W, H, h0, [&](long x, long y, long w, long h) {
        for (long row = 0; row < h; row++) {
            memcpy(out, picture + ((size_t)(y + row) * W + x) * channels, (size_t)w * channels);
            out += (size_t)w * channels;
        }
    });
    *level0_height = h0;
    return chain;
}

// Checks the signature and makes the read structures (end_info only when asked): 1, or 0 with
// nothing left made.
static int image_png_create(file_stream *s, png_structp *png, png_infop *info, png_infop *end_info) {
    unsigned char signature[8];
    if (stream_read(s, signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0) return 0;
    *png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, image_png_error, image_png_warning,
                                    nullptr, image_png_malloc, image_png_free);
    if (!*png) return 0;
    *info = png_create_info_struct(*png);
    if (end_info) *end_info = png_create_info_struct(*png);
    if (*info && (!end_info || *end_info)) return 1;
    png_destroy_read_struct(png, *info ? info : nullptr, end_info && *end_info ? end_info : nullptr);
    return 0;
}

// After the caller's setjmp: the side limits, the bound on inflated text chunks, the stream,
// the header.
static void image_png_read_header(png_structp png, png_infop info, file_stream *s, png_uint_32 *w,
                                  png_uint_32 *h, int *depth, int *colour) {
    png_set_user_limits(png, IMAGE_SIDE_MAX, IMAGE_SIDE_MAX);
    png_set_chunk_malloc_max(png, IMAGE_PNG_ALLOC_MAX);
    png_set_read_fn(png, s, image_png_read_cb);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    png_get_IHDR(png, info, w, h, depth, colour, nullptr, nullptr, nullptr);
    // The filtered rows the header promises must fit in what deflate can make of the bytes
    // left, before anything is allocated for them.
    uint64_t row_bytes = ((uint64_t)*w * png_get_channels(png, info) * (unsigned)*depth + 7) / 8;
    if ((uint64_t)*h * (row_bytes + 1) > (uint64_t)stream_remaining(s) * STREAM_DEFLATE_RATIO_MAX)
        png_error(png, "image data too short for its sides");
}

// Reads the picture into level 0 of a new chain: 1, or 0 with nothing left allocated.
static int image_png_decode(file_stream *s, unsigned char **pixels, int *width, int *height,
                            int *channels, char **texts) {
    png_structp png;
    png_infop info, end_info;
    if (!image_png_create(s, &png, &info, &end_info)) return 0;
    unsigned char *volatile chain = nullptr;
    png_bytep *volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        mem_free(chain);
        mem_free(rows);
        png_destroy_read_struct(&png, &info, &end_info);
        return 0;
    }
    png_uint_32 w, h;
    int depth, colour;
    image_png_read_header(png, info, s, &w, &h, &depth, &colour);
    int n = colour & PNG_COLOR_MASK_ALPHA ? 4 : 3;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(png);
        n = 4;
    }
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (depth == 16) png_set_strip_16(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (!image_sides_valid(w, h) || png_get_rowbytes(png, info) != (size_t)w * n)
        png_error(png, "unexpected layout");
    chain = (unsigned char *)mem_alloc(image_chain_bytes((int)w, (int)h, n));
    rows = (png_bytep *)mem_alloc(sizeof(png_bytep) * h);
    if (!chain || !rows) png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < h; y++) rows[y] = chain + (size_t)y * w * n;
    png_read_image(png, rows);
    png_read_end(png, end_info);
    char *text = image_append_texts(nullptr, png, info);
    *texts = image_append_texts(text, png, end_info);
    mem_free(rows);
    png_destroy_read_struct(&png, &info, &end_info);
    *pixels = chain;
    *width = (int)w;
    *height = (int)h;
    *channels = n;
    return 1;
}

int image_read_png(const char *name, unsigned char **pixels, int *width, int *height,
                   int *channels, char **info) {
    file_stream *s = stream_open(name, "rb");
    if (!s) return 0;
    unsigned char *p;
    int w, h, n;
    char *text = nullptr;
    int ok = image_png_decode(s, &p, &w, &h, &n, &text);
    stream_close(s);
    if (!ok) return 0;
    text = image_append_side_file(text, name);
    unsigned char *custom = nullptr;
    int custom_height = h;
    if (text && strstr(text, "[mip_custom]"))
        custom = image_custom_levels(name, p, w, h, n, &custom_height);
    if (custom) {
        mem_free(p);
        p = custom;
        h = custom_height;
    } else {
        int flags = text && strstr(text, "[mip_max_alpha]") ? IMAGE_MIP_MAX_ALPHA : 0;
        image_build_mips(p, w, h, n, flags);
    }
    *pixels = p;
    *width = w;
    *height = h;
    *channels = n;
    if (info)
        *info = text;
    else
        mem_free(text);
    return 1;
}

int image_load_rgba(const char *name, unsigned char **pixels, int *width, int *height) {
    unsigned char *p;
    int w, h, n;
    if (image_read_png(name, &p, &w, &h, &n, nullptr)) {
        if (n == 3) {
            size_t count = image_chain_bytes(w, h, 3) / 3;
            unsigned char *wide = (unsigned char *)mem_alloc(count * 4);
            if (!wide) {
                mem_free(p);
                return 0;
            }
            for (size_t i = 0; i < count; i++) {
                memcpy(wide + 4 * i, p + 3 * i, 3);
                wide[4 * i + 3] = 255;
            }
            mem_free(p);
            p = wide;
        }
        *pixels = p;
        *width = w;
        *height = h;
        return 1;
    }
    file_stream *s = stream_open(name, "rb");
    if (!s) return 0;
    char magic[16];
    int ok = stream_scanf(s, "%15s", magic) == 1 &&
             image_read_predictive(magic, s, pixels, width, height, 4);
    stream_close(s);
    return ok;
}

int image_read_png_grey(const char *name, uint16_t **samples, int *width, int *height) {
    file_stream *s = stream_open(name, "rb");
    if (!s) return 0;
    png_structp png;
    png_infop info;
    if (!image_png_create(s, &png, &info, nullptr)) {
        stream_close(s);
        return 0;
    }
    unsigned char *volatile out = nullptr;
    png_bytep *volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        mem_free(out);
        mem_free(rows);
        png_destroy_read_struct(&png, &info, nullptr);
        stream_close(s);
        return 0;
    }
    png_uint_32 w, h;
    int depth, colour;
    image_png_read_header(png, info, s, &w, &h, &depth, &colour);
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (depth == 16) png_set_swap(png);
    if (colour & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
    if (colour == PNG_COLOR_TYPE_RGB || colour == PNG_COLOR_TYPE_RGB_ALPHA ||
        colour == PNG_COLOR_TYPE_PALETTE)
        png_set_rgb_to_gray(png, 1, -1, -1);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    size_t bytes = depth == 16 ? 2 : 1;
    if (!image_sides_valid(w, h) || png_get_rowbytes(png, info) != (size_t)w * bytes)
        png_error(png, "unexpected layout");
    out = (unsigned char *)mem_alloc((size_t)w * h * 2);
    rows = (png_bytep *)mem_alloc(sizeof(png_bytep) * h);
    if (!out || !rows) png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < h; y++) rows[y] = out + (size_t)y * w * 2;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    // Eight-bit samples widen in place from the end of each row: s becomes s x 257.
    if (bytes == 1)
        for (png_uint_32 y = 0; y < h; y++)
            for (size_t x = w; x-- > 0;) {
                uint16_t v = (uint16_t)(rows[y][x] * 257);
                memcpy(rows[y] + 2 * x, &v, 2);
            }
    mem_free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    stream_close(s);
    *samples = (uint16_t *)out;
    *width = (int)w;
    *height = (int)h;
    return 1;
}

// Writes rows through "<name>.tmp" and renames it into place.
static int image_png_write(const char *name, int width, int height, int depth, int colour,
                           png_bytep *row_table, int transforms) {
    char *tmp = image_concat(name, ".tmp");
    file_stream *s = tmp ? stream_open(tmp, "wb") : nullptr;
    if (!s) {
        mem_free(tmp);
        return 0;
    }
    char real_path[sizeof s->name];
    memcpy(real_path, s->name, sizeof real_path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, image_png_error,
                                              image_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile int ok = 0;
    if (png && info) {
        if (setjmp(png_jmpbuf(png)) == 0) {
            png_set_write_fn(png, s, image_png_write_cb, image_png_flush_cb);
            png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, depth, colour,
                         PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            png_set_rows(png, info, row_table);
            png_write_png(png, info, transforms, nullptr);
            ok = 1;
        }
    }
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    if (ok && (stream_flush(s) != 0 || ferror(s->file))) ok = 0;
    if (fclose(s->file) != 0) ok = 0;
    s->file = nullptr;
    stream_close(s);
    if (ok && !path_rename_replace(tmp, name)) ok = 0;
    if (!ok) remove(real_path);
    mem_free(tmp);
    return ok;
}

int image_write_png_rgb(const char *name, const unsigned char *pixels, int width, int height) {
    if (!image_sides_valid(width, height)) return 0;
    png_bytep *rows = (png_bytep *)mem_alloc(sizeof(png_bytep) * (size_t)height);
    if (!rows) return 0;
    // The frame buffer's rows run bottom-up: file row i is memory row height - 1 - i.
    for (int i = 0; i < height; i++)
        rows[height - 1 - i] = (png_bytep)pixels + (size_t)i * width * 3;
    int ok = image_png_write(name, width, height, 8, PNG_COLOR_TYPE_RGB, rows, PNG_TRANSFORM_IDENTITY);
    mem_free(rows);
    return ok;
}

int image_write_png_grey(const char *name, const uint16_t *samples, int width, int height) {
    if (!image_sides_valid(width, height)) return 0;
    png_bytep *rows = (png_bytep *)mem_alloc(sizeof(png_bytep) * (size_t)height);
    if (!rows) return 0;
    for (int i = 0; i < height; i++) rows[i] = (png_bytep)(samples + (size_t)i * width);
    int ok = image_png_write(name, width, height, 16, PNG_COLOR_TYPE_GRAY, rows,
                             PNG_TRANSFORM_SWAP_ENDIAN);
    mem_free(rows);
    return ok;
}
