// Statues at the hillside start: the "drawstatues" stage over the "drawterrain" stage of the
// same frames (target at most 0.5), and the texture binds of the statue stage against the
// distinct textures of the statues drawn plus 2.
#include <set>
#include <string>
#include <vector>

#include "bench/bench_hillside.h"

namespace {

std::vector<double> terrain_times, statue_times;
int binds_before = 0, statue_binds = 0;
std::chrono::steady_clock::time_point mark;

// Each stage's time, with the pipeline finished at its end.
void stage(const char *label) {
    glFinish();
    auto now = std::chrono::steady_clock::now();
    double t = std::chrono::duration<double>(now - mark).count();
    std::string s = label;
    if (s == "drawterrain") terrain_times.push_back(t);
    if (s == "drawstatues") {
        statue_times.push_back(t);
        statue_binds = render_stats.texture_binds - binds_before;
    }
    if (s == "drawbikes") binds_before = render_stats.texture_binds;
    mark = std::chrono::steady_clock::now();
}

}  // namespace

int main() {
    bench_dir dir;
    bench_hillside h;
    if (!bench_hillside_open(dir, 1024, 768, &h)) return 1;
    scene_stage_hook = stage;
    std::set<int32_t> textures;
    for (int i = 0; i < track_statues.count; i++) {
        const statue &s = ((statue *)track_statues.items)[i];
        if (s.model && s.texture) textures.insert(s.texture);
    }
    for (int i = 0; i < 5; i++) {
        mark = std::chrono::steady_clock::now();
        scene_draw(h.eye, h.rotation, 90, -1);
    }
    terrain_times.clear();
    statue_times.clear();
    for (int i = 0; i < 30; i++) {
        mark = std::chrono::steady_clock::now();
        scene_draw(h.eye, h.rotation, 90, -1);
    }
    scene_stage_hook = nullptr;
    printf("%d statues with %d distinct textures; the statue stage bound %d textures\n",
           track_statues.count, (int)textures.size(), statue_binds);
    int code = statue_binds <= (int)textures.size() + 2 ? 0 : 1;
    if (code) fprintf(stderr, "too many texture binds: %d\n", statue_binds);
    code |= bench_report("statue stage at the hillside start", "drawstatues", bench_stats_of(statue_times),
                         "drawterrain", bench_stats_of(terrain_times), 0.5);
    bench_hillside_close(&h);
    return code;
}
