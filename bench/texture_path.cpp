// The texture path for 1024 x 1024 RGB and RGBA pictures: PNG decode, J7 decode, mip build,
// the test for levels that add no detail, and uploads plain and compressed (needs a display).
// Targets: mip build at most 0.5x the PNG decode time; J7 decode faster than PNG decode; the
// no-detail test (worst case, a flat picture) no slower than the mip build; plain upload at
// least 4x the PNG decode speed.
#include <png.h>

#include <cstring>
#include <vector>

#include "bench/bench.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "gfx/image.h"
#include "gfx/shader.h"
#include "gfx/texture.h"
#include "platform/plyx.h"
#include "tools/zrdatagen/imagegen.h"

static const int side = 1024;

// The title picture twice over, with an alpha ramp for RGBA: detailed, like real art.
static datagen_image bench_picture(int channels) {
    datagen_image title = datagen_title_image();
    datagen_image img = datagen_image_new(side, side, channels, {0, 0, 0, 255});
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            const unsigned char *s = &title.pixels[((size_t)(y % 512) * 1024 + x) * 3];
            unsigned char *d = &img.pixels[((size_t)y * side + x) * channels];
            memcpy(d, s, 3);
            if (channels == 4) d[3] = (unsigned char)((x + y) / 8);
        }
    return img;
}

// A PNG as other tools write them: libpng's default compression and filters.
static void bench_write_png(const std::string &path, const datagen_image &img) {
    FILE *f = fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, side, side, 8, img.channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_bytep> rows(side);
    for (int y = 0; y < side; y++) rows[y] = (png_bytep)&img.pixels[(size_t)y * side * img.channels];
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(f);
}

static int bench_channels(const bench_dir &dir, int channels) {
    const double mb = (double)side * side * channels / 1e6;
    datagen_image img = bench_picture(channels);
    std::string png = dir.file("p.png"), j7 = dir.file("p.j7");
    bench_write_png(png, img);
    FILE *f = fopen(j7.c_str(), "wb");
    std::string bytes = datagen_predictive(img);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);

    std::vector<unsigned char> chain(image_chain_bytes(side, side, channels));
    memcpy(chain.data(), img.pixels.data(), img.pixels.size());
    bench_stats mips = bench_runs(5, [&] { image_build_mips(chain.data(), side, side, channels, 0); });
    bench_stats png_read = bench_runs(5, [&] {
        unsigned char *p;
        int w, h, n;
        image_read_png(png.c_str(), &p, &w, &h, &n, nullptr);
        mem_free(p);
    });
    bench_stats j7_read = bench_runs(5, [&] {
        file_stream *s = stream_open(j7.c_str(), "rb");
        char magic[16];
        stream_scanf(s, "%15s", magic);
        unsigned char *p;
        int w, h;
        image_read_predictive(magic, s, &p, &w, &h, channels);
        mem_free(p);
        stream_close(s);
    });
    // Both readers build the lower levels too: their decode is what remains.
    auto less_mips = [&](bench_stats t) {
        return bench_stats{t.median - mips.median, t.min - mips.median, t.max - mips.median};
    };
    bench_stats png_decode = less_mips(png_read), j7_decode = less_mips(j7_read);
    datagen_image flat_img = datagen_image_new(side, side, channels, {90, 120, 60, 255});
    std::vector<unsigned char> flat(image_chain_bytes(side, side, channels));
    memcpy(flat.data(), flat_img.pixels.data(), flat_img.pixels.size());
    image_build_mips(flat.data(), side, side, channels, 0);
    bench_stats no_detail = bench_runs(5, [&] {
        int w = side, h = side, dropped;
        tex_choose_top_level(flat.data(), &w, &h, channels, 0, &dropped);
    });
    // The driver's first uploads of a size are slower (fresh memory): a few go first.
    for (int i = 0; i < 3; i++) {
        GLuint t = tex_upload(chain.data(), side, side, channels, 0);
        glFinish();
        glDeleteTextures(1, &t);
    }
    bench_stats upload = bench_runs(10, [&] {
        GLuint t = tex_upload(chain.data(), side, side, channels, 0);
        glFinish();
        glDeleteTextures(1, &t);
    });
    bench_stats compressed = bench_runs(3, [&] {
        GLuint t = tex_upload(chain.data(), side, side, channels, TEX_COMPRESS);
        glFinish();
        glDeleteTextures(1, &t);
    });
    printf("%d channels (medians): PNG decode %.1f MB/s, J7 decode %.1f MB/s, mip build %.1f MB/s, "
           "no-detail test (flat) %.1f MB/s, upload %.1f MB/s, compressed upload %.1f MB/s "
           "(compressed/plain time %.3g)\n",
           channels, mb / png_decode.median, mb / j7_decode.median, mb / mips.median,
           mb / no_detail.median, mb / upload.median, mb / compressed.median,
           compressed.median / upload.median);
    int failed = 0;
    failed |= bench_report("mip build against PNG decode", "mips", mips, "png", png_decode, 0.5);
    failed |= bench_report("J7 decode against PNG decode", "j7", j7_decode, "png", png_decode, 1.0);
    failed |= bench_report("no-detail test against mip build", "test", no_detail, "mips", mips, 1.0);
    failed |= bench_report("plain upload against PNG decode", "upload", upload, "png", png_decode, 0.25);
    return failed;
}

int main() {
    bench_dir dir;
    window_context *w = plyx_gl_open("bench", 320, 240, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    if (!w) {
        fprintf(stderr, "no window: %s", plyx_last_error());
        return 1;
    }
    if (!bench_begin_frame(w)) return 1;
    gl_probe();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    int failed = bench_channels(dir, 3) | bench_channels(dir, 4);
    plyx_gl_end_frame(w);
    plyx_gl_close(w);
    plyx_shutdown();
    return failed;
}
