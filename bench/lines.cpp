// The line files and the lap step: reading a full store of 22 rows x 45 slots x 240 points
// (about 10 MB) against one loading step's budget of 0.25 s, writing it (reported), and the lap
// step of 160 scripted riders in one tick against 1% of a tick.
#include <cmath>
#include <cstring>
#include <string>

#include "bench/bench.h"
#include "core/mem.h"
#include "core/stream.h"
#include "race/laps.h"
#include "race/lines.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/timing.h"

static void fill_store() {
    for (int r = 0; r < line_store.row_count; r++) {
        line_slot *row = line_store_row(r);
        for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) {
            line_slot &t = row[k];
            line_slot_clear(&t);
            t.points = (line_point *)mem_alloc_or_die(sizeof(line_point) * 240);
            for (int i = 0; i < 240; i++)
                t.points[i] = {1000.25f * std::sin(0.01f * (float)(i + k)), 12.5f + 0.001f * (float)i,
                               -733.0625f + 3.1f * (float)i, 55.125f - 0.1f * (float)k, 0.0625f * (float)(i % 7)};
            t.point_count = 240;
            t.recorded_time = 1200 + k;
            t.recorded_time_two = 2400 + k;
            t.passes = k;
            t.total_time_two = 2400 * k;
        }
    }
}

// Four checkpoints 400 ft apart on a circle-free lap along x; every rider rides at 50 ft/s,
// each starting at its own place, so points are passed at the race's rate.
static int bench_gather(int slot, lap_sample_input *in) {
    *in = {};
    double x = std::fmod(slot * 37.0 + race_state.current_tick * (50.0 / 128.0), 1600.0);
    in->position[0] = (float)x;
    in->position[2] = (float)(slot % 8);
    in->forward[0] = 1;
    in->speed = 50;
    in->tilt = 0.1f;
    in->down_flag = rider_table[slot].down_flag;
    return 1;
}

int main() {
    bench_dir dir;
    line_store_create(22);
    fill_store();
    std::string path = dir.file("lines_novice");
    bench_stats write = bench_runs(3, [&] {
        file_stream *s = stream_open(path.c_str(), "wb");
        lines_write(s);
        stream_close(s);
    });
    bench_stats read = bench_runs(5, [&] {
        file_stream *s = stream_open(path.c_str(), "rb");
        lines_read(s, "lines_novice");
        stream_close(s);
    });
    printf("writing a full store (%lld bytes): %s\n", (long long)std::filesystem::file_size(path),
           bench_spread(write).c_str());
    int failed = bench_report_budget("reading a full store", "lines_read", read, "one loading step", 0.25);
    line_store_free();

    // The lap step: 160 people on a lap of 4 checkpoints (11 and 11 segments' store).
    plyx_array_init(&timing_gates.lap_list, sizeof(int), 8);
    for (int i = 0; i < 8; i++) {
        int v = i % 4;
        plyx_array_append(&timing_gates.lap_list, &v);
    }
    for (int c = 0; c < 4; c++) {
        timing_gates.checkpoints[c] = {};
        timing_gates.checkpoints[c].a[0] = 400.0f * (float)c + 200;
        timing_gates.checkpoints[c].b[0] = 1;
        timing_gates.checkpoints[c].value = 20;
    }
    timing_gates.count = 4;
    timing_gates.first_lap_length = timing_gates.lap_length = 4;
    timing_gates.first_lap_timed = timing_gates.lap_timed = 4;
    line_store_create(8);
    for (rider_slot &s : rider_table) {
        plyx_array_init(&s.timing_tics, sizeof(int), 4);
        for (growable_array &b : s.sample_buffers) plyx_array_init(&b, sizeof(line_point), 20);
        plyx_array_init(&s.working_line, sizeof(line_point), 20);
    }
    autopilot_gather_hook = bench_gather;
    race_state.final_lap = 1000000;
    const int ticks = 128 * 120;   // two minutes of racing
    bench_stats race = bench_runs(3, [&] {
        for (rider_slot &s : rider_table) {
            s.timing_count = 0;
            s.timing_tics.count = 0;
            s.finished = 0;
        }
        line_store_clear();
        for (race_state.current_tick = 0; race_state.current_tick < ticks; race_state.current_tick++)
            for (rider_slot &s : rider_table) autopilot_record_sample(&s);
    });
    failed |= bench_report_budget("the lap step of 160 riders", "one tick",
                                  bench_scaled(race, 1.0 / ticks), "1% of a tick", 0.01 / 128);
    return failed;
}
