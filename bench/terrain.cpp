// The terrain on the stock track "tracks/hillside" (needs a display): the load, step by step with
// the loading screen's share; height and normal queries; reshading; the save.
// Targets: the load under 1 s with its redraws at most 10% of it; 10,240 queries (160 riders
// x 64) within 5% of a 7.8125 ms tick, about 38 ns a query; reshading a 16 x 16-sample edit
// within 1% of a 60 Hz frame. The full reshade and the save are reported.
#include <GL/gl.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "core/folders.h"
#include "core/loading.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "game/frame_loop.h"
#include "race/track.h"
#include "terrain/terrain.h"

static double bench_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The loading screen's time: each redraw from its frame's beginning to the buffer swap, and the
// time between redraws charged to the step whose status was showing.
static double redraw_started = 0, redraw_total = 0, step_mark = 0;
static std::map<std::string, double> step_times;

static plyx_surface *bench_begin(window_context *w) {
    double now = bench_now();
    step_times[loading.status] += now - step_mark;
    step_mark = now;
    redraw_started = now;
    return plyx_gl_begin_frame(w);
}

static int bench_end(window_context *w) {
    int ok = plyx_gl_end_frame(w);
    redraw_total += bench_now() - redraw_started;
    return ok;
}

static int bench_target(const char *what, double value, const char *unit, double target) {
    double ratio = value / target;
    printf("%s: %.3f %s, target %.3f %s, ratio %.2f: %s\n", what, value, unit, target, unit, ratio,
           ratio <= 1 ? "met" : "MISSED");
    return ratio <= 1 ? 0 : 1;
}

// Nanoseconds a query over the points, best of five runs.
template <class Query>
static double bench_queries(const std::vector<vec3> &points, Query query) {
    double best = bench_best(5, [&] {
        for (int round = 0; round < 20; round++)
            for (const vec3 &p : points) query(p);
    });
    return best * 1e9 / (20.0 * points.size());
}

int main() {
    bench_dir dir;
    window_context *w = bench_graphics_window(dir);
    if (!w) return 1;
    game_settings.ground_texture_size = 128;   // the menu's default
    game_settings.terrain_uses_shaders = game_settings.shaders_active;
    frame_io.begin_frame = bench_begin;
    frame_io.end_frame = bench_end;
    int failed = 0;

    // The load, as the track loader runs it.
    terrain_field *f = terrain_current;
    track_name = "tracks/hillside";
    track_read_lighting();
    step_times.clear();
    redraw_total = 0;
    double start = bench_now();
    step_mark = start;
    if (!terrain_load(f, "@tracks/hillside", TILE_RENDER_FBO)) {
        fprintf(stderr, "the stock track would not load\n");
        return 1;
    }
    glFinish();
    double load = bench_now() - start;
    step_times[loading.status] += bench_now() - step_mark;
    std::map<std::string, double> steps;   // the dots of a step's progress dropped
    for (auto &[status, seconds] : step_times) steps[status.substr(0, status.find_last_not_of('.') + 1)] += seconds;
    for (auto &[step, seconds] : steps) printf("  %-40s %.4f s\n", step.c_str(), seconds);
    printf("render mode %d, extra maps %d\n", f->render_mode, f->extra_maps);
    failed |= bench_target("terrain_load of tracks/hillside", load, "s", 1.0);
    failed |= bench_target("loading-screen redraws", redraw_total, "s", 0.1 * load);

    // Queries: random points, and points along a path as a rider would ask.
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> across(0.0f, f->extent);
    std::vector<vec3> random_points(10240), path(10240);
    for (vec3 &p : random_points) p = {across(rng), 0, across(rng)};
    for (size_t i = 0; i < path.size(); i++) path[i] = {100 + 0.05f * i, 0, 300 + 0.02f * i};
    volatile float sink = 0;
    const double target_ns = 0.05 * 7.8125e-3 / 10240 * 1e9;
    for (auto &[label, points] : {std::pair<const char *, std::vector<vec3> &>{"random points", random_points},
                                  {"along a path", path}}) {
        double height = bench_queries(points, [&](vec3 p) { sink = sink + terrain_height_at(f, p.x, p.z); });
        double normal = bench_queries(points, [&](vec3 p) {
            vec3 n;
            terrain_normal_at(f, p.x, p.z, &n);
            sink = sink + n.x;
        });
        failed |= bench_target((std::string("terrain_height_at, ") + label).c_str(), height, "ns", target_ns);
        failed |= bench_target((std::string("terrain_normal_at, ") + label).c_str(), normal, "ns", target_ns);
    }

    // Reshading every sample, then a 16 x 16-sample edit.
    size_t samples = (size_t)f->n * f->n;
    memset(f->shading_dirty, 0xff, terrain_bit_bytes(samples));
    if (f->normal_map) memset(f->normal_dirty, 0xff, terrain_bit_bytes(samples));
    memset(f->triangle_dirty, 0xff, terrain_bit_bytes((size_t)terrain_triangle_count(f->n)));
    double all = bench_best(1, [&] { terrain_reshade_dirty(f); });
    printf("terrain_reshade_dirty, every sample: %.2f ms\n", all * 1e3);
    double edit = bench_best(5, [&] {
        for (int z = 200; z < 216; z++)
            for (int x = 300; x < 316; x++) terrain_set_height(f, x, z, f->heights[x + (size_t)f->n * z] + 0.01f);
        terrain_reshade_dirty(f);
    });
    failed |= bench_target("terrain_reshade_dirty, 16 x 16 edit", edit * 1e3, "ms", 0.01 * 1e3 / 60);

    double save = bench_best(1, [&] { failed |= !terrain_save(f); });
    printf("terrain_save of tracks/hillside: %.1f ms\n", save * 1e3);

    frame_io = FRAME_PLATFORM;
    bench_graphics_close(w);
    return failed;
}
