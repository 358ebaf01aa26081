// Submitting a 2 601-vertex model 200 times by display list, vertex arrays and immediate mode
// (vertices per second of each; target: vertex arrays no slower than immediate mode).
#include <GL/gl.h>

#include "bench/bench.h"
#include "bench/bench_model.h"
#include "core/settings.h"
#include "gfx/model.h"
#include "tools/zrdatagen/datagen.h"

int main() {
    bench_dir dir;
    window_context *w = bench_game_window(dir);
    if (!w) return 1;
    std::string path = dir.file("sheet.jm");
    if (!datagen_write_file(path, datagen_jm(bench_sheet(50, 0)))) return 1;
    game_settings.shaders_active = 0;
    model_mesh *m = model_read_file(path.c_str());
    if (!m || !m->display_list) return 1;
    uint32_t list = m->display_list;
    auto run = [&](bool by_list, int immediate) {
        m->display_list = by_list ? list : 0;
        game_settings.no_vertex_arrays = immediate;
        return bench_runs(5, [&] {
            for (int i = 0; i < 200; i++) model_draw_mesh(m);
            glFinish();
        });
    };
    double vertices = 200.0 * m->triangle_count * 3;
    bench_stats by_list = run(true, 0), arrays = run(false, 0), immediate = run(false, 1);
    m->display_list = list;
    printf("vertices a second (medians): display list %.1f M, vertex arrays %.1f M, immediate %.1f M\n",
           vertices / by_list.median / 1e6, vertices / arrays.median / 1e6,
           vertices / immediate.median / 1e6);
    printf("display list against vertex arrays: ratio %.3g\n", by_list.median / arrays.median);
    int failed = bench_report("vertex arrays against immediate mode", "arrays", arrays, "immediate",
                              immediate, 1.0);
    model_free_meshes(m);
    plyx_gl_end_frame(w);
    plyx_gl_close(w);
    plyx_shutdown();
    vfs_shutdown();
    return failed;
}
