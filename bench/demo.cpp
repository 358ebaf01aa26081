// Demos on the hillside: playing back 160 history riders through the race reset and tick (against
// 20 x real time, with the shares of the tick's parts), seeking in a 10-minute demo of 40 and of
// 160 riders (backward seeks and Skip under 100 ms, a 60 s skip in ms per second), and recording
// 40 robots (against 1% of a tick, with the bytes per rider-minute).
// The demos are synthetic version-6 files made with the shared encoding: riders following the
// course's checkpoints at staggered places, their states made by the packed-state codec.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_race.h"
#include "bike/bike_models.h"
#include "bike/packed_state.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "race/demo.h"
#include "race/demo_format.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/start_gate.h"
#include "race/tick_profile.h"
#include "race/timing.h"
#include "ui/widget.h"

static const char *TRACKS[] = {"tracks/hillside"};
static const double TICK = 1.0 / RACE_TICKS_PER_SECOND;

static int reset(int robots, int play, int record) {
    static int roles[RIDER_SLOTS];
    memset(roles, 0, sizeof roles);
    for (int i = 0; i < robots; i++) roles[i] = 2;
    race_state.current_tick = 0;
    return race_reset(roles, play, record, 0, 5, 0);
}

// The course as the checkpoints' centres in lap order, and a point at a distance along it.
struct course {
    std::vector<double> x, z, at;   // at: distance of each point from the first
    double length = 0;
    void build() {
        const int *list = (const int *)timing_gates.lap_list.items;
        int f = timing_gates.first_lap_length, n = timing_gates.lap_length;
        for (int i = f; i < f + n; i++) {
            int c = list[i] % TIMING_NO_SEGMENT;
            x.push_back(timing_gates.checkpoints[c].a[0]);
            z.push_back(timing_gates.checkpoints[c].a[2]);
        }
        x.push_back(x[0]);
        z.push_back(z[0]);
        at.push_back(0);
        for (size_t i = 1; i < x.size(); i++) at.push_back(at.back() + std::hypot(x[i] - x[i - 1], z[i] - z[i - 1]));
        length = at.back();
    }
    void point(double d, double *px, double *pz, double *yaw) const {
        d = std::fmod(d, length);
        if (d < 0) d += length;
        size_t i = 1;
        while (i + 1 < at.size() && at[i] < d) i++;
        double u = (d - at[i - 1]) / std::max(at[i] - at[i - 1], 1e-9);
        *px = x[i - 1] + u * (x[i] - x[i - 1]);
        *pz = z[i - 1] + u * (z[i] - z[i - 1]);
        *yaw = std::atan2(-(x[i] - x[i - 1]), -(z[i] - z[i - 1]));
    }
};

// A synthetic demo of `riders` riders over `seconds`, written to path: a states frame every 16
// ticks holding 4 records a rider. The template record and ranges come from a loaded bike.
static long long write_demo(const std::string &path, const course &c, int riders, int seconds,
                            const unsigned char *templ, const packed_ranges &ranges, const char *model) {
    demo_header h;
    h.version = 6;
    h.finish_time = 0;
    h.finish_laps = 5;
    h.gate_drop_tick = race_state.gate_drop_tick;
    h.track = "tracks/hillside";
    for (int i = 0; i < riders; i++) {
        demo_header_rider r;
        r.model = model;
        r.number = std::to_string(i % 1000);
        r.name = "Rider " + std::to_string(i);
        h.riders.push_back(r);
    }
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return -1;
    std::string head = demo_header_text(h);
    fwrite(head.data(), 1, head.size(), f);
    long long bytes = (long long)head.size();
    packed_values v = packed_state_decode(templ, 6, ranges);
    double lift = v.frame_position[1] - terrain_height_at(terrain_current, (float)v.frame_position[0],
                                                          (float)v.frame_position[2]);
    uint32_t last = 0;
    std::string frame;
    std::vector<demo_state_record> records;
    for (int t = 0; t <= seconds * RACE_TICKS_PER_SECOND; t += 16) {
        records.clear();
        for (int i = 0; i < riders; i++) {
            for (int k = t == 0 ? 0 : 3; k >= 0; k--) {
                int tick = t - 4 * k;
                double x, z, yaw;
                c.point(30.0 * tick * TICK - 8.0 * i, &x, &z, &yaw);
                packed_values p = v;
                p.frame_position[0] = x;
                p.frame_position[2] = z;
                p.frame_position[1] = terrain_height_at(terrain_current, (float)x, (float)z) + lift;
                p.frame_quaternion[0] = std::cos(yaw / 2);
                p.frame_quaternion[1] = 0;
                p.frame_quaternion[2] = std::sin(yaw / 2);
                p.frame_quaternion[3] = 0;
                demo_state_record r;
                r.ordinal = i;
                r.tick = (uint32_t)tick;
                packed_state_encode(p, ranges, r.state);
                records.push_back(r);
            }
        }
        frame.clear();
        demo_frame_append(frame, last, t, DEMO_FRAME_STATES, demo_states_payload(records));
        fwrite(frame.data(), 1, frame.size(), f);
        bytes += (long long)frame.size();
    }
    fclose(f);
    return bytes;
}

static int open_playback(const std::string &path) {
    demo_chosen_file = path.c_str();
    int ok = reset(0, 1, 0) && demo_playing();
    demo_chosen_file = nullptr;
    return ok;
}

// Where a tick's time goes, by the race tick's own marks.
static double part_time[TICK_PARTS];
static std::chrono::steady_clock::time_point last_mark;

static void mark(int part) {
    auto now = std::chrono::steady_clock::now();
    part_time[part] += std::chrono::duration<double>(now - last_mark).count();
    last_mark = now;
}

// Playback of 160 history riders: the real-time factor, from the same 10 s played 5 times over,
// and the shares of its parts, from one more run with the tick's marks on.
static int bench_playback(const std::string &path) {
    const int ticks = 1280;
    std::vector<double> runs;
    for (int run = 0; run < 6; run++) {
        if (!open_playback(path)) {
            printf("the playback demo did not open\n");
            return 1;
        }
        bool marked = run == 5;
        if (marked) {
            memset(part_time, 0, sizeof part_time);
            race_tick_mark = mark;
            last_mark = std::chrono::steady_clock::now();
        }
        double t = bench_runs(1, [&] {
            for (int k = 0; k < ticks; k++) race_tick();
        }).median;
        race_tick_mark = nullptr;
        if (!marked) runs.push_back(t);
    }
    bench_stats tick = bench_stats_of(runs);
    double per_tick = tick.median / ticks, total = 0;
    for (double t : part_time) total += t;
    auto share = [&](int part) { return 100 * part_time[part] / total; };
    printf("playback of 160 history riders: %s a tick, %.1f x real time; posing %.0f%%, contacts %.0f%%, "
           "world step %.0f%%, hidden bike steps %.0f%%, lap step %.0f%%, demo reading %.0f%%, the rest %.0f%%\n",
           bench_time(per_tick).c_str(), TICK / per_tick, share(TICK_PART_POSING), share(TICK_PART_CONTACTS),
           share(TICK_PART_WORLD), share(TICK_PART_BIKES), share(TICK_PART_LAPS), share(TICK_PART_DEMO),
           share(TICK_PART_REST) + share(TICK_PART_ROBOTS) + share(TICK_PART_CHOICE));
    return bench_report_budget("playback of 160 history riders", "one tick", bench_scaled(tick, 1.0 / ticks),
                               "1/20 of a tick", TICK / 20);
}

// Seeking in a 10-minute demo, played once to its end first.
static int bench_seeking(const std::string &path, int riders) {
    if (!open_playback(path)) {
        printf("the seeking demo did not open\n");
        return 1;
    }
    int end = 600 * RACE_TICKS_PER_SECOND;
    auto play_to_end = [&] {
        while (race_state.current_tick < end) race_tick();
    };
    bench_stats straight = bench_runs(1, play_to_end);
    // 100 seeded ticks, visited latest first: every seek goes back.
    std::mt19937 seeded(2026);
    std::vector<int> targets;
    for (int k = 0; k < 100; k++) targets.push_back(640 + (int)(seeded() % (unsigned)(end - 1280)));
    std::sort(targets.rbegin(), targets.rend());
    std::vector<double> back;
    for (int target : targets) {
        float seconds = (float)(target - race_state.current_tick) / RACE_TICKS_PER_SECOND;
        if (seconds < 0) back.push_back(bench_runs(1, [&] { demo_seek(seconds); }).median);
    }
    bench_stats backward = bench_stats_of(back);
    bench_stats skip = bench_runs(5, [] { demo_seek(1.0f); });
    bench_stats minute = bench_runs(1, [] { demo_seek(60.0f); });
    char what[96];
    snprintf(what, sizeof what, "%d riders, 10 minutes: played through in %s; ", riders,
             bench_time(straight.median).c_str());
    printf("%sa 60 s skip %s a second skipped\n", what, bench_time(minute.median / 60).c_str());
    snprintf(what, sizeof what, "backward seeks in a 10-minute demo of %d riders", riders);
    int failed = bench_report_budget(what, "a seek", backward, "budget", 0.1);
    snprintf(what, sizeof what, "Skip (1 s) in a 10-minute demo of %d riders", riders);
    failed |= bench_report_budget(what, "a skip", skip, "budget", 0.1);
    return failed;
}

// Recording 40 robots: after 16 s of racing, the recorder alone over the next 2048 ticks of the
// clock (the riders held where they are: the same packing and writing as in the race).
static int bench_recording() {
    reset(40, 0, 1);
    while (race_state.current_tick < race_state.gate_drop_tick + 2048) race_tick();
    const int ticks = 2048;
    bench_stats t = bench_runs(3, [&] {
        for (int k = 0; k < ticks; k++) {
            race_state.current_tick++;
            demo_write_frame(0);
        }
    });
    double minutes = race_state.current_tick * TICK / 60.0;
    demo_finish_recording();
    printf("recording 40 robots: %.1f KB a rider-minute\n", demo_last_recording.bytes / 1024.0 / 40 / minutes);
    return bench_report_budget("recording 40 robots", "demo_write_frame", bench_scaled(t, 1.0 / ticks),
                               "1% of a tick", TICK / 100);
}

int main() {
    bench_dir dir;
    window_context *w = bench_race_window(dir, TRACKS);
    if (!w) return 1;
    if (!reset(1, 0, 0) || !rider_has_bike(0) || timing_gates.count <= 0) return 1;
    unsigned char templ[PACKED_STATE_BYTES];
    bike_pack_state(&rider_table[0], templ);
    packed_ranges ranges = bike_packed_ranges(&rider_table[0]);
    std::string model = race_slot_looks[0].model ? race_slot_looks[0].model : "yz250f(2008)";
    course c;
    c.build();

    int failed = 0;
    std::string playback = dir.file("playback.zrdemo");
    write_demo(playback, c, 160, 20, templ, ranges, model.c_str());
    failed |= bench_playback(playback);
    for (int riders : {40, 160}) {
        std::string path = dir.file("seek" + std::to_string(riders) + ".zrdemo");
        long long bytes = write_demo(path, c, riders, 600, templ, ranges, model.c_str());
        printf("a 10-minute demo of %d riders: %.1f MB\n", riders, bytes / 1048576.0);
        failed |= bench_seeking(path, riders);
        std::remove(path.c_str());
    }
    failed |= bench_recording();

    demo_close_playback();
    for (int i = 0; i < RIDER_SLOTS; i++) bike_free(i);
    track_unload();
    track_lists_free();
    physics_close();
    bench_graphics_close(w);
    return failed;
}
