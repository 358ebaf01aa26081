// Skinning "rider_body.jm" on the processor (target: 160 riders in at most a quarter of a
// 60 Hz frame on one core, so at most 26 microseconds a rider).
#include <cmath>
#include <vector>

#include "bench/bench.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "gfx/model.h"

int main() {
    bench_dir dir;
    window_context *w = bench_game_window(dir);
    if (!w) return 1;
    game_settings.shaders_active = 0;  // skinning on the processor
    model_mesh *body = model_read_file("@rider_body.jm");
    if (!body || body->bone_count != 9) return 1;
    int vertices = 0;
    for (model_mesh *m = body; m; m = m->next) vertices += m->vertex_count;
    // Nine bones, each turned a little about its own axis.
    std::vector<float> centres(27), translations(27), rotations(81);
    for (int b = 0; b < 9; b++) {
        float a = 0.1f * (b + 1), c = std::cos(a), s = std::sin(a);
        const float r[9] = {c, s, 0, -s, c, 0, 0, 0, 1};
        for (int k = 0; k < 9; k++) rotations[9 * b + k] = r[k];
        for (int k = 0; k < 3; k++) centres[3 * b + k] = translations[3 * b + k] = 0.1f * k;
    }
    const int riders = 160;
    bench_stats seconds = bench_runs(20, [&] {
        for (int i = 0; i < riders; i++)
            for (model_mesh *m = body; m; m = m->next)
                model_skin_software(m, centres.data(), translations.data(), rotations.data(), 9);
    });
    printf("%d vertices a rider: %s a rider (median)\n", vertices,
           bench_time(seconds.median / riders).c_str());
    int failed = bench_report_budget("skinning 160 riders", "ours", seconds,
                                     "budget (a quarter of a 60 Hz frame)", 0.25 / 60);
    model_free_meshes(body);
    plyx_gl_end_frame(w);
    plyx_gl_close(w);
    plyx_shutdown();
    vfs_shutdown();
    return failed;
}
