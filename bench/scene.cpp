// The scene on "tracks/hillside" at 1024 x 768 (needs a display): forty bikes at their level of
// detail seen by the chase camera behind slot 0, in three layouts (one rider near, 40 packed in
// 5 rows of 8, 40 spread from 64 to 600 ft along the course), 300 frames each, the stages
// timed with glFinish; then the posing of 160 riders and the billboard keys, sort and batching
// of 2,000 particles and 1,000 trees, without drawing.
// Targets: spread / packed "drawbikes" at most 0.35 and vertices at most 0.3; packed / (40 x one
// near rider) at most 1.1; posing at most 0.02 and billboards at most 0.03 of a 16.7 ms frame.
// The run prints its figures with shaders, then runs itself again with the fragment shaders
// hidden from Mesa (processor skinning) and prints those.
#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bike/bike_step.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/widget_data.h"
#include "game/chase_camera.h"
#include "present/billboards.h"
#include "present/camera.h"
#include "present/pose.h"
#include "present/scene.h"
#include "race/race.h"
#include "tools/zrdatagen/trackgen.h"

static const int BIKES = 40, FRAMES = 300;
static const double FRAME_TIME = 1.0 / 60;

static double now_s() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The stage marks of one frame: the time each stage ended, glFinish first.
static double frame_start, terrain_time, bikes_time, last_mark;
static void stage_mark(const char *label) {
    glFinish();
    double t = now_s();
    if (strcmp(label, "drawterrain") == 0) terrain_time = t - last_mark;
    if (strcmp(label, "drawbikes") == 0) bikes_time = t - last_mark;
    last_mark = t;
}

struct layout_figures {
    bench_stats bikes, terrain;
    double vertices;
};

// A course point in feet and the heading a bike facing along the course has there.
static void course_place(const datagen_track &t, size_t i, float *x, float *z, float *yaw) {
    const auto &c = t.course;
    size_t n = c.size();
    const auto &a = c[(i + n - 1) % n], &b = c[(i + 1) % n];
    float scale = (float)t.spacing / 16;
    *x = c[i % n].x * scale;
    *z = c[i % n].z * scale;
    *yaw = (float)std::atan2(-(double)(b.x - a.x), -(double)(b.z - a.z));
}

// The course index the given distance (ft) further along from index i.
static size_t course_ahead(const datagen_track &t, size_t i, float feet) {
    const auto &c = t.course;
    float scale = (float)t.spacing / 16, gone = 0;
    size_t n = c.size();
    while (gone < feet) {
        const auto &a = c[i % n], &b = c[(i + 1) % n];
        gone += std::hypot((float)(b.x - a.x), (float)(b.z - a.z)) * scale;
        i = (i + 1) % n;
    }
    return i;
}

static layout_figures draw_layout(window_context *w, int visible) {
    std::vector<double> bikes, terrain, vertices;
    for (int f = 0; f < FRAMES + 10; f++) {
        if (!bench_begin_frame(w)) exit(1);
        float eye[3], rotation[9];
        chase_camera_view(0, 1, eye, rotation);
        glFinish();
        last_mark = frame_start = now_s();
        scene_draw(eye, rotation, 90, -1);
        plyx_gl_end_frame(w);
        if (f < 10) continue;   // the ground textures and levels settle first
        bikes.push_back(bikes_time);
        terrain.push_back(terrain_time);
        vertices.push_back((double)render_stats.vertices);
    }
    (void)visible;
    return {bench_stats_of(bikes), bench_stats_of(terrain), bench_stats_of(vertices).median};
}

static void print_layout(const char *name, const layout_figures &l) {
    printf("%-8s drawbikes %s; drawterrain %s; vertices %.0f\n", name, bench_spread(l.bikes).c_str(),
           bench_spread(l.terrain).c_str(), l.vertices);
}

static int ratio_line(const char *what, double ratio, double target) {
    printf("%s: ratio %.3g (target at most %.3g): %s\n", what, ratio, target, ratio <= target ? "met" : "MISSED");
    return ratio <= target ? 0 : 1;
}

int main(int argc, char **argv) {
    bool processor_skinning = getenv("MESA_EXTENSION_OVERRIDE") != nullptr;
    bench_dir dir;
    setenv("XDG_DATA_HOME", dir.path.c_str(), 1);
    if (!vfs_locate_game_data()) {
        fprintf(stderr, "no game data: set ZR_HOME to the build's game folder\n");
        return 1;
    }
    vfs_build_index();
    settings_apply_graphics_preset(0);
    settings_derive();
    track_lighting_reset();
    window_context *w = plyx_gl_open("bench", 1024, 768, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    if (!w || !bench_begin_frame(w)) {
        fprintf(stderr, "no window: %s\n", plyx_last_error());
        return 1;
    }
    game_window = w;
    startup_graphics();
    plyx_gl_end_frame(w);
    view_state.width = 1024;
    view_state.height = 768;
    terrain_field *field = terrain_current;
    track_name = "tracks/hillside";
    track_read_lighting();
    if (!terrain_load(field, "@tracks/hillside", TILE_RENDER_TEXSUBIMAGE)) {
        fprintf(stderr, "the stock track would not load\n");
        return 1;
    }
    if (!physics_open()) return 1;
    rider_table_init();
    auto load_bike = [](int i) {
        if (bike_load("yz250f(2017)", i, 0, "12", nullptr, nullptr, nullptr, nullptr)) {
            rider_status[i] = i == 0 ? 0 : 2;
            return true;
        }
        fprintf(stderr, "the stock bike would not load\n");
        return false;
    };
    if (!load_bike(0)) return 1;
    viewed_slot = 0;
    scene_stage_hook = stage_mark;
    printf("scene on tracks/hillside, 1024 x 768, %s\n",
           processor_skinning ? "processor skinning (fragment shaders hidden)" : "shaders as the driver has them");

    const datagen_track &track = datagen_hillside_track();
    size_t start = (size_t)datagen_start_line_index(track);
    float x, z, yaw;
    // One rider near: slot 0 alone on the course.
    course_place(track, start, &x, &z, &yaw);
    bike_drop_to_ground(0, x, z, yaw);
    bike_hold_visible(&rider_table[0]);
    chase_camera_reset();
    layout_figures near = draw_layout(w, 1);
    for (int i = 1; i < BIKES; i++)
        if (!load_bike(i)) return 1;
    // 40 packed in 5 rows of 8 around the point 30 ft ahead of the camera's rider.
    size_t ahead = course_ahead(track, start, 20);
    float ax, az, ayaw;
    course_place(track, ahead, &ax, &az, &ayaw);
    float cx = std::cos(ayaw), sx = std::sin(ayaw);
    for (int i = 1; i < BIKES; i++) {
        int row = i / 8, col = i % 8;
        float across = (col - 3.5f) * 5, back = row * 10.0f;
        // Across the course is the bike's x axis, back along it its z axis.
        float px = ax + across * cx + back * sx, pz = az - across * sx + back * cx;
        bike_drop_to_ground(i, px, pz, ayaw);
        bike_hold_visible(&rider_table[i]);
    }
    layout_figures packed = draw_layout(w, BIKES);
    // 40 spread from 64 to 600 ft along the course.
    for (int i = 1; i < BIKES; i++) {
        size_t at = course_ahead(track, start, 64 + (600 - 64) * (float)(i - 1) / (BIKES - 2));
        course_place(track, at, &x, &z, &yaw);
        bike_drop_to_ground(i, x, z, yaw);
    }
    layout_figures spread = draw_layout(w, BIKES);
    print_layout("near", near);
    print_layout("packed", packed);
    print_layout("spread", spread);
    int failed = 0;
    failed |= ratio_line("spread / packed drawbikes", spread.bikes.median / packed.bikes.median, 0.35);
    failed |= ratio_line("spread / packed vertices", spread.vertices / packed.vertices, 0.3);
    failed |= ratio_line("packed / (40 x one near rider) drawbikes",
                         packed.bikes.median / (BIKES * near.bikes.median), 1.1);

    // Posing alone: 160 riders from the bodies of the 40 on the course.
    bench_stats posing = bench_runs(50, [&] {
        for (int k = 0; k < 160; k++) {
            rider_slot *s = &rider_table[k % BIKES];
            body_pose bodies[BIKE_BODIES];
            for (int b = 0; b < BIKE_BODIES; b++) bodies[b] = body_pose_read(bike_body_of(s, b));
            const vec3 feet[2] = {s->fall_points[0], s->fall_points[2]};
            rider_pose pose;
            rider_pose_compute(&pose, bike_row_of(s), bodies, feet, 0.5f);
            rider_skin skin;
            rider_pose_skin(&skin, pose, *rider_rest_pose(bike_row_of(s)), bodies[BIKE_BODY_RIDER]);
        }
    });
    failed |= bench_report_budget("posing 160 riders", "median", posing, "0.02 of a frame", 0.02 * FRAME_TIME);

    // Billboards: 2,000 particle rows and 1,000 trees around the eye, keyed, sorted and batched.
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> spot(-400, 400);
    std::vector<billboard> rows(3000);
    for (size_t i = 0; i < rows.size(); i++) {
        billboard &b = rows[i];
        b = {};
        b.x = 500 + spot(rng);
        b.z = 500 + spot(rng);
        b.y = 50;
        b.size = i < 2000 ? 2 : 20;
        b.aspect = i < 2000 ? 1 : 0.6f;
        b.texture = i < 2000 ? 1 + (int)(i % 4) : 10 + (int)(i % 3);
        b.r = b.g = b.b = b.a = 255;
    }
    std::vector<int> order(2 * rows.size());
    const float eye[3] = {500, 60, 500};
    float rotation[9];
    camera_matrix_from_angles(rotation, -0.2f, 0.7f);
    float right[3];
    billboard_right(right, rotation);
    bench_stats boards = bench_runs(50, [&] {
        billboard_sort(rows.data(), (int)rows.size(), order.data(), eye, rotation);
        billboard_batch(rows.data(), order.data(), 8, eye, right);
    });
    failed |= bench_report_budget("billboard keys, sort and batching of 3,000", "median", boards,
                                  "0.03 of a frame", 0.03 * FRAME_TIME);

    rider_table_init();
    physics_close();
    terrain_free(terrain_current);
    track_name = nullptr;
    game_window = nullptr;
    plyx_gl_close(w);
    if (!processor_skinning) {
        // The same run with the fragment shaders hidden: the models skin on the processor.
        fflush(stdout);
        std::string again = "MESA_EXTENSION_OVERRIDE=-GL_ARB_fragment_shader '" + std::string(argv[0]) + "'";
        failed |= system(again.c_str()) != 0;
    }
    (void)argc;
    return failed;
}
