// Fuzz targets of the graphics readers: PNG with its side file, the text-headed images, the
// texture and image caches, fonts and JM models.
#include <zlib.h>

#include <cstring>
#include <string>

#include "core/mem.h"
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/model.h"
#include "gfx/texture.h"

static void fuzz_write_part(const char *relative, const std::vector<std::string> &parts, size_t i) {
    if (i < parts.size())
        fuzz_write(relative, (const uint8_t *)parts[i].data(), parts[i].size());
    else
        fuzz_remove(relative);
}

// A PNG and its ".info" side file (the second part): every PNG reader.
void fuzz_png(const uint8_t *data, size_t size) {
    std::vector<std::string> parts = fuzz_split(data, size, 2);
    fuzz_write_part("fz/image.png", parts, 0);
    fuzz_write_part("fz/image.png.info", parts, 1);
    unsigned char *pixels = nullptr;
    char *info = nullptr;
    int w = 0, h = 0, n = 0;
    if (image_read_png("@fz/image.png", &pixels, &w, &h, &n, &info)) {
        mem_free(pixels);
        mem_free(info);
    }
    uint16_t *samples = nullptr;
    if (image_read_png_grey("@fz/image.png", &samples, &w, &h)) mem_free(samples);
    if (image_load_rgba("@fz/image.png", &pixels, &w, &h)) mem_free(pixels);
    fuzz_purge();
}

// P2, P3, P5, P6, J6 and J7 over a stream: the colour and grey readers, and the format readers
// given the magic word as their callers read it.
void fuzz_pnm(const uint8_t *data, size_t size) {
    unsigned char *pixels = nullptr;
    int w = 0, h = 0;
    file_stream *s = fuzz_stream(data, size, "fz/image.ppm");
    if (image_read_rgb(s, &pixels, &w, &h)) mem_free(pixels);
    stream_close(s);
    s = fuzz_stream(data, size, "fz/image.pgm");
    if (image_read_pgm(s, &pixels, &w, &h)) mem_free(pixels);
    stream_close(s);
    for (int channels = 3; channels <= 4; channels++) {
        s = fuzz_stream(data, size, "fz/image");
        char magic[16];
        if (stream_scanf(s, "%15s", magic) == 1) {
            int ok = magic[0] == 'P' ? image_read_ppm(magic, s, &pixels, &w, &h)
                                     : image_read_predictive(magic, s, &pixels, &w, &h, channels);
            if (ok) mem_free(pixels);
        }
        stream_close(s);
    }
}

// A texture by name ("-repeat" in it) with up to three more files it may name ("@fz/a.png",
// "@fz/b.png", "@fz/c.png"): tex_load and image_load.
void fuzz_texture(const uint8_t *data, size_t size) {
    std::vector<std::string> parts = fuzz_split(data, size, 4);
    fuzz_write_part("fz/t-repeat.png", parts, 0);
    fuzz_write_part("fz/a.png", parts, 1);
    fuzz_write_part("fz/b.png", parts, 2);
    fuzz_write_part("fz/c.png", parts, 3);
    tex_load("@fz/t-repeat.png");
    unsigned char *pixels = nullptr;
    int w = 0, h = 0;
    image_load("@fz/t-repeat.png", &pixels, &w, &h);  // owned by the cache
    fuzz_purge();
}

// A font picture: glyph boxes found from its marker pixels.
void fuzz_font(const uint8_t *data, size_t size) {
    fuzz_write("fz/font.png", data, size);
    char glyphs[95];
    for (int c = 33; c <= 126; c++) glyphs[c - 33] = (char)c;
    glyphs[94] = 0;
    static bitmap_font font;
    font_load(&font, "@fz/font.png", glyphs);
    mem_free(font.pixels);
    font.pixels = nullptr;
    fuzz_purge();
}

// The bytes as a gzip file (zlib's own deflate: any valid stream will do).
static std::string fuzz_gzip_bytes(const uint8_t *data, size_t size) {
    z_stream z = {};
    std::string out;
    if (deflateInit2(&z, 1, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) return out;
    out.resize(deflateBound(&z, (uLong)size) + 64);
    z.next_in = (Bytef *)data;
    z.avail_in = (uInt)size;
    z.next_out = (Bytef *)out.data();
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A JM model (either layout), read plain and, when small, from gzip as well (large models would
// halve the speed for what the gzip target covers).
void fuzz_jm(const uint8_t *data, size_t size) {
    fuzz_write("fz/m.jm", data, size);
    model_free_meshes(model_read_file("@fz/m.jm"));
    if (size > 16384) {
        fuzz_purge();
        return;
    }
    std::string gz = fuzz_gzip_bytes(data, size);
    fuzz_write("fz/g.jm.gz", (const uint8_t *)gz.data(), gz.size());
    model_free_meshes(model_read_file("@fz/g.jm"));
    fuzz_purge();
}
