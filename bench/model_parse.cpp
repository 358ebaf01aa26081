// Reading JM files through stream_scanf: the stock "rider_body.jm" and a generated 5 MB
// model, plain and gzip (target: at least 10 MB/s, so the 5 MB model in under 0.5 s).
#include <GL/gl.h>

#include "bench/bench.h"
#include "bench/bench_model.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "gfx/model.h"
#include "tools/zrdatagen/datagen.h"

// Best time of reading the file, and whether it loaded.
static double read_time(const std::string &name, int *ok) {
    *ok = 1;
    return bench_best(5, [&] {
        model_mesh *m = model_read_file(name.c_str());
        if (!m) *ok = 0;
        model_free_meshes(m);
    });
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
        std::string bytes;
    } inputs[] = {{"rider_body.jm", rider_text},
                  {"rider_body.jm.gz", datagen_gzip(rider_text)},
                  {"big.jm", big},
                  {"big.jm.gz", datagen_gzip(big)}};
    int failed = 0;
    for (auto &in : inputs) {
        std::string path = dir.file(in.file);
        if (!datagen_write_file(path, in.bytes)) return 1;
        std::string name = path;
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0) name.resize(name.size() - 3);
        int ok;
        double seconds = read_time(name, &ok);
        double text_bytes = (double)(in.file[0] == 'r' ? rider_text.size() : big.size());
        printf("%s: %.1f MB of text, %.1f MB/s\n", in.file, text_bytes / 1e6, text_bytes / 1e6 / seconds);
        failed |= !ok;
        // The time at 10 MB/s is the budget.
        failed |= bench_report(in.file, "read", seconds, "at 10 MB/s", text_bytes / 1e7, 1.0);
    }
    plyx_gl_end_frame(w);
    plyx_gl_close(w);
    plyx_shutdown();
    vfs_shutdown();
    return failed;
}
