// Lens flares at 1024 x 768: a frame from behind the hillside's start line with the tower's
// flare in view (two pixel reads and its glow quads) over the same frame without the flare list
// (target at most 1.15).
#include "bench/bench_hillside.h"

int main() {
    bench_dir dir;
    bench_hillside h;
    if (!bench_hillside_open(dir, 1024, 768, &h)) return 1;
    int flares = scene_flares.count;
    auto frames = [&](int with) {
        scene_flares.count = with ? flares : 0;
        return bench_runs(15, [&] {
            for (int i = 0; i < 4; i++) scene_draw(h.eye, h.rotation, 90, -1);
            glFinish();
        });
    };
    frames(1);   // warm the caches
    const flare &f = ((flare *)scene_flares.items)[flares - 1];
    printf("tower flare visibility %.2f\n", f.visibility);
    bench_stats with = bench_scaled(frames(1), 0.25), without = bench_scaled(frames(0), 0.25);
    scene_flares.count = flares;
    int code = f.visibility > 0 ? 0 : 1;
    if (code) fprintf(stderr, "the tower's flare is not in view\n");
    code |= bench_report("frame with the tower's flare", "with", with, "without", without, 1.15);
    bench_hillside_close(&h);
    return code;
}
