// The results file "@results.txt", and files written whole through a temporary name.
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <string>

#include "bike/rider.h"
#include "core/console.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "race/race.h"
#include "race/standings.h"
#include "race/timing.h"
#include "race/track.h"

int race_write_file(const char *name, int (*write)(file_stream *s, void *context), void *context) {
    std::string temporary = std::string(name) + ".tmp";
    file_stream *s = stream_open(temporary.c_str(), "wb");
    int good = 0;
    if (s) {
        good = write(s, context);
        if (stream_flush(s) != 0) good = 0;
        if (!stream_close(s)) good = 0;
        if (good) good = path_rename_replace(temporary.c_str(), name);
        if (!good) path_remove(temporary.c_str());
    }
    if (!good) console_printf("Warning: couldn't write '%.900s'\n", name);
    return good;
}

// Ticks as " m:ss.mmm" after "%3d:%02d.%03d" (negative times print as 0).
static int put_time(file_stream *s, long long ticks) {
    long long ms = ticks > 0 ? ticks * 125 / 16 : 0;
    return stream_printf(s, "%3d:%02d.%03d", (int)(ms / 60000), (int)(ms / 1000 % 60), (int)(ms % 1000)) > 0;
}

static int results_rows(file_stream *s, void *) {
    int good = 1;
    int drop = race_state.gate_drop_tick;
    good &= stream_printf(s, "Time=%.2f|Laps=%d|Track=%s|Date=%ld\r\n", race_state.race_time / 128.0,
                          race_state.laps, track_name ? track_name : "", (long)time(nullptr)) > 0;
    good &= stream_printf(s, "%4s | %12s | %4s | %10s | %4s | %10s\r\n", "No.", "Bike", "Laps",
                          "Total Time", "BLap", "Best Time") > 0;
    for (int k = 0; k < race_results.count; k++) {
        const running_order_entry &e = race_results.order[k];
        if (!rider_check_finished(e.slot)) continue;
        const rider_slot *r = &rider_table[e.slot];
        const char *model = bike_model_name(r);
        int lap;
        int best = race_best_lap(e.slot, &lap);
        good &= stream_printf(s, "%4s | %12s | %4d | ", rider_number_text(r), model ? model : "",
                              race_laps_of(e.points)) > 0;
        good &= put_time(s, (long long)e.time - drop);
        good &= stream_printf(s, " | %4d | ", lap) > 0;
        good &= put_time(s, best);
        good &= stream_puts(s, "\r\n") >= 0;
    }
    for (int k = 0; k < race_results.count; k++) {
        int slot = race_results.order[k].slot;
        if (!rider_check_finished(slot)) continue;
        int count = rider_timing_count(slot);
        good &= stream_printf(s, "\r\n%d\r\n", count) > 0;
        for (int i = 0; i < count; i++) {
            int t = rider_timing_tic(slot, i);
            if (t < 0)
                good &= stream_printf(s, "%8d", -1) > 0;
            else
                good &= stream_printf(s, "%8.3f", (t - drop) / 128.0) > 0;
            good &= stream_puts(s, timing_closes_lap(i) || i == count - 1 ? "\r\n" : " ") >= 0;
        }
    }
    return good;
}

int race_write_results() {
    return race_write_file("@results.txt", results_rows, nullptr);
}
