// Reading JM files through stream_scanf: the stock "rider_body.jm" and a generated 6 MB model,
// plain and gzip-compressed by zlib at its default level, each against reading the same bytes
// through the same stream byte by byte (so the ".gz" cases inflate in both). Target: the parse
// at most 8 times the read (it measures 2.5 to 7).
#include <GL/gl.h>
#include <zlib.h>

#include "bench/bench.h"
#include "bench/bench_model.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "gfx/model.h"
#include "tools/zrdatagen/datagen.h"

static const double TARGET = 8.0;

// A gzip member made by zlib's deflate at its default level, as gzip tools write them.
static bool bench_write_gzip(const std::string &path, const std::string &bytes) {
    gzFile out = gzopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = gzwrite(out, bytes.data(), (unsigned)bytes.size()) == (int)bytes.size();
    return gzclose(out) == Z_OK && ok;
}

int main() {
    bench_dir dir;
    window_context *w = bench_game_window(dir);  // the reader compiles display lists
    if (!w) return 1;
    char *rider = file_to_string("@rider_body.jm");
    if (!rider) return 1;
    std::string rider_text = rider;
    mem_free(rider);
    std::string big = datagen_jm(bench_sheet(240, 0.25));  // about 6 MB of text
    const struct {
        const char *file;
        const std::string &text;
    } inputs[] = {{"rider_body.jm", rider_text},
                  {"rider_body.jm.gz", rider_text},
                  {"big.jm", big},
                  {"big.jm.gz", big}};
    int failed = 0;
    for (auto &in : inputs) {
        std::string path = dir.file(in.file), name = path;
        bool gz = name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0;
        if (gz) name.resize(name.size() - 3);
        if (!(gz ? bench_write_gzip(path, in.text) : datagen_write_file(path, in.text))) return 1;
        int ok = 1;
        bench_stats parse = bench_runs(5, [&] {
            model_mesh *m = model_read_file(name.c_str());
            if (!m) ok = 0;
            model_free_meshes(m);
        });
        volatile unsigned sink = 0;
        bench_stats read = bench_runs(5, [&] {
            file_stream *s = stream_open(name.c_str(), "rb");
            unsigned sum = 0;
            for (int c; s && (c = stream_getc(s)) >= 0;) sum += (unsigned)c;
            stream_close(s);
            sink = sink + sum;
        });
        double mb = in.text.size() / 1e6;
        printf("%s: %.1f MB of text; parse %.1f MB/s, read %.1f MB/s (medians)\n", in.file, mb,
               mb / parse.median, mb / read.median);
        failed |= !ok;
        failed |= bench_report(in.file, "parse", parse, "read", read, TARGET);
        remove(path.c_str());
    }
    plyx_gl_end_frame(w);
    plyx_gl_close(w);
    plyx_shutdown();
    vfs_shutdown();
    return failed;
}
