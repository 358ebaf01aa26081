// The terrain on the stock track "tracks/hillside" (needs a display): the load, step by step with
// the loading screen's share; height and normal queries; reshading; the save.
// Targets: the load under 1 s with its redraws at most 10% of it and its placeholder textures
// ("Creating LOD textures", 88% of the load when every slot made its own) at most 25% of it; 10,240 queries (160 riders x 64) within 5% of a
// 7.8125 ms tick, about 38 ns a query; reshading a 16 x 16-sample edit within 1% of a 60 Hz
// frame. The full reshade and the save are reported.
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
#include "core/stream.h"
#include "present/scene.h"
#include "race/contacts.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/track.h"
#include "terrain/terrain.h"

static double bench_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The loading screen's time: each redraw from its frame's beginning to the buffer swap, and the
// time between redraws (the step's own work, no redraw) charged to the step whose status was
// showing.
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
    step_mark = bench_now();
    redraw_total += step_mark - redraw_started;
    return ok;
}

// Seconds a query over the points, five runs.
template <class Query>
static bench_stats bench_queries(const std::vector<vec3> &points, Query query) {
    bench_stats t = bench_runs(5, [&] {
        for (int round = 0; round < 20; round++)
            for (const vec3 &p : points) query(p);
    });
    return bench_scaled(t, 1.0 / (20.0 * points.size()));
}

// The hillside's object files on the loaded terrain (the terrain excluded), each read five times
// as the track load reads it; their textures, models and shapes are cached after the first.
static void bench_object_files() {
    track_lists_create();
    scene_lists_create();
    struct object_file {
        const char *file;
        void (*read)(file_stream *s, const char *name);
    };
    static const object_file files[] = {
        {"lighting", [](file_stream *s, const char *) { track_read_lighting_stream(s); }},
        {"flaggers", track_read_flaggers},
        {"billboards", [](file_stream *s, const char *n) { track_read_billboards(s, n); }},
        {"statues", [](file_stream *s, const char *n) { track_read_statues(s, n); }},
        {"cameras", track_read_cameras},
    };
    printf("object files of the last load (median of five):\n");
    for (const object_file &o : files) {
        std::string name = std::string("@tracks/hillside/") + o.file;
        bench_stats t = bench_runs(5, [&] {
            track_objects_clear();
            track_flaggers_reset();
            if (file_stream *s = stream_open(name.c_str(), "rb")) {
                o.read(s, name.c_str());
                stream_close(s);
            }
        });
        printf("  %-40s %.3f ms\n", o.file, t.median * 1e3);
    }
    track_objects_clear();
    track_flaggers_reset();
    track_grid_free();
    scene_lists_free();
    track_lists_free();
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

    // The load, as the track loader runs it, five times; each load frees the last.
    terrain_field *f = terrain_current;
    track_name = "tracks/hillside";
    track_read_lighting();
    std::vector<double> redraws, placeholders;
    int loaded = 1;
    bench_stats load = bench_runs(5, [&] {
        step_times.clear();
        redraw_total = 0;
        step_mark = bench_now();
        loaded &= terrain_load(f, "@tracks/hillside", TILE_RENDER_FBO);
        glFinish();
        step_times[loading.status] += bench_now() - step_mark;
        redraws.push_back(redraw_total);
        double lod = 0;
        for (auto &[status, seconds] : step_times)
            if (status.rfind("Creating LOD textures", 0) == 0) lod += seconds;
        placeholders.push_back(lod);
    });
    if (!loaded) {
        fprintf(stderr, "the stock track would not load\n");
        return 1;
    }
    std::map<std::string, double> steps;   // the dots of a step's progress dropped
    for (auto &[status, seconds] : step_times) steps[status.substr(0, status.find_last_not_of('.') + 1)] += seconds;
    printf("steps of the last load:\n");
    for (auto &[step, seconds] : steps) printf("  %-40s %s\n", step.c_str(), bench_time(seconds).c_str());
    printf("render mode %d, extra maps %d\n", f->render_mode, f->extra_maps);
    bench_object_files();
    failed |= bench_report_budget("terrain_load of tracks/hillside", "load", load, "budget", 1.0);
    failed |= bench_report("loading-screen redraws against the load", "redraws", bench_stats_of(redraws),
                           "load", load, 0.1);
    failed |= bench_report("placeholder textures against the load", "Creating LOD textures",
                           bench_stats_of(placeholders), "load", load, 0.25);

    // Queries: random points, and points along a path as a rider would ask.
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> across(0.0f, f->extent);
    std::vector<vec3> random_points(10240), path(10240);
    for (vec3 &p : random_points) p = {across(rng), 0, across(rng)};
    for (size_t i = 0; i < path.size(); i++) path[i] = {100 + 0.05f * i, 0, 300 + 0.02f * i};
    volatile float sink = 0;
    const double budget = 0.05 * 7.8125e-3 / 10240;
    for (auto &[label, points] : {std::pair<const char *, std::vector<vec3> &>{"random points", random_points},
                                  {"along a path", path}}) {
        bench_stats height = bench_queries(points, [&](vec3 p) { sink = sink + terrain_height_at(f, p.x, p.z); });
        bench_stats normal = bench_queries(points, [&](vec3 p) {
            vec3 n;
            terrain_normal_at(f, p.x, p.z, &n);
            sink = sink + n.x;
        });
        failed |= bench_report_budget((std::string("terrain_height_at, ") + label).c_str(), "query",
                                      height, "budget (5% of a tick over 10,240)", budget);
        failed |= bench_report_budget((std::string("terrain_normal_at, ") + label).c_str(), "query",
                                      normal, "budget (5% of a tick over 10,240)", budget);
    }

    // Reshading every sample, then a 16 x 16-sample edit.
    size_t samples = (size_t)f->n * f->n;
    memset(f->shading_dirty, 0xff, terrain_bit_bytes(samples));
    if (f->normal_map) memset(f->normal_dirty, 0xff, terrain_bit_bytes(samples));
    memset(f->triangle_dirty, 0xff, terrain_bit_bytes((size_t)terrain_triangle_count(f->n)));
    bench_stats all = bench_runs(1, [&] { terrain_reshade_dirty(f); });
    printf("terrain_reshade_dirty, every sample (one run): %s\n", bench_time(all.median).c_str());
    bench_stats edit = bench_runs(5, [&] {
        for (int z = 200; z < 216; z++)
            for (int x = 300; x < 316; x++) terrain_set_height(f, x, z, f->heights[x + (size_t)f->n * z] + 0.01f);
        terrain_reshade_dirty(f);
    });
    failed |= bench_report_budget("terrain_reshade_dirty, 16 x 16 edit", "reshade", edit,
                                  "budget (1% of a 60 Hz frame)", 0.01 / 60);

    bench_stats save = bench_runs(1, [&] { failed |= !terrain_save(f); });
    printf("terrain_save of tracks/hillside (one run): %s\n", bench_time(save.median).c_str());

    frame_io = FRAME_PLATFORM;
    bench_graphics_close(w);
    return failed;
}
