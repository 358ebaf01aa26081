// Points series: the list read at start-up, the ranking after each ranked event, and a finished
// race entered into the event being raced, with the standings file written again.
#include "race/series.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "bike/rider.h"
#include "core/mem.h"
#include "core/stream.h"
#include "race/race.h"
#include "race/standings.h"
#include "race/timing.h"

series_list_record series_list = {0, nullptr, -1, -1};

void series_free_all() {
    for (int i = 0; i < series_list.count; i++) {
        mem_free(series_list.items[i].standings_file);
        mem_free(series_list.items[i].events);
    }
    mem_free(series_list.items);
    series_list = {0, nullptr, -1, -1};
}

void series_rank(series_record *r) {
    int riders = r->entrant_count + 1;
    int64_t totals[SERIES_SLOTS] = {};
    for (int k = 0; k < r->completed && k < r->event_count; k++) {
        series_event &e = r->events[k];
        for (int i = 0; i < riders; i++) {
            int place = e.places[i];
            if (place >= 0 && place < SERIES_SLOTS) totals[i] += e.points[place];
        }
        if (e.ranking[0] == 0) continue;
        bool picked[SERIES_SLOTS] = {};
        for (int rank = 0; rank < riders; rank++) {
            int best = -1;
            for (int i = 0; i < riders; i++) {
                if (picked[i]) continue;
                if (best < 0 || totals[i] > totals[best] ||
                    (totals[i] == totals[best] && e.places[i] < e.places[best]))
                    best = i;
            }
            picked[best] = true;
            e.ranks[best] = rank;
        }
        for (int i = 0; i < riders; i++) totals[i] = 0;   // the next round counts from here
    }
}

// The player's entry counts once the results are written, or once it finished with nothing
// to pay for missed points.
static int player_placed(int slot) {
    return results_written || (rider_check_finished(slot) && race_rider_penalty(slot) == 0);
}

// Places of the event from the order: each entry places the player (kind 0) or the first
// opponent not yet placed whose number it carries.
static void place_riders(series_record *r, series_event &e) {
    int n = r->entrant_count;
    const running_order_entry *order = results_written ? race_results.order : race_state.running_order;
    int count = results_written ? race_results.count : race_state.running_count;
    bool placed[SERIES_SLOTS] = {};
    for (int i = 0; i <= n; i++) e.places[i] = n;
    int p = 0;
    for (int k = 0; k < count; k++) {
        int slot = order[k].slot;
        if (slot < 0 || slot >= RIDER_SLOTS) continue;
        if (rider_status[slot] == 0) {
            if (!placed[n] && player_placed(slot)) {
                e.places[n] = p++;
                placed[n] = true;
            }
            continue;
        }
        const char *number = rider_number_text(&rider_table[slot]);
        for (int i = 0; i < n; i++) {
            char text[16];
            snprintf(text, sizeof text, "%d", r->entrant_numbers[i]);
            if (placed[i] || !number || strcmp(text, number) != 0) continue;
            e.places[i] = p++;
            placed[i] = true;
            break;
        }
    }
}

static int standings_lines(file_stream *s, void *context) {
    const series_record *r = (const series_record *)context;
    int good = 1;
    for (int k = 0; k < r->completed; k++) {
        for (int i = 0; i <= r->entrant_count; i++)
            good &= stream_printf(s, "%d ", r->events[k].places[i] + 1) > 0;
        good &= stream_puts(s, "\n") >= 0;
    }
    return good;
}

int series_write_standings(const series_record *r) {
    return race_write_file(r->standings_file, standings_lines, (void *)r);
}

void series_enter_results() {
    int current = series_list.current, event = series_list.current_event;
    if (current < 0) return;
    series_list.current = series_list.current_event = -1;
    // A series or event that is not there (any more) cannot be scored.
    if (current >= series_list.count) return;
    series_record *r = &series_list.items[current];
    if (r->completed < 0 || r->completed >= r->event_count || event != r->completed) return;
    place_riders(r, r->events[r->completed]);
    r->completed++;
    series_rank(r);
    series_write_standings(r);
}
