// Starting the next event of a points series: the line-up from the previous places, the
// event's track and race settings.
#include "ui/series_event.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/console.h"
#include "core/settings.h"
#include "core/widget_data.h"
#include "net/client.h"
#include "race/catalogue.h"
#include "race/race.h"
#include "race/series.h"
#include "ui/menu.h"

int menu_series_chosen = -1;

// Gates in the order they are handed out, worst previous place first: every second gate from 6
// for a small field, else from the middle outwards, then the second row.
static const int SMALL_FIELD_PICKS[15] = {6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34};
static const int LARGE_FIELD_PICKS[40] = {10, 9,  11, 8,  12, 7,  13, 6,  14, 5,  15, 4,  16, 3,
                                          17, 2,  18, 1,  19, 0,  20, 21, 22, 23, 24, 25, 26, 27,
                                          28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39};

// The q-th gate handed out; past the table, the slots after the 40 gates in order.
static int pick_gate(int n, int q) {
    if (n <= 14) return q < 15 ? SMALL_FIELD_PICKS[q] : 40 + (q - 15);
    return q < 40 ? LARGE_FIELD_PICKS[q] : q;
}

static void series_lineup(const series_record *r) {
    int n = r->entrant_count;
    memset(race_lineup, 0, sizeof race_lineup);
    if (r->completed == 0) {
        for (int i = 0; i < n; i++) race_lineup[i] = MENU_SERIES_OPPONENT_ROLE + r->entrant_numbers[i];
        race_lineup[n] = 1;
        return;
    }
    const series_event &previous = r->events[r->completed - 1];
    int q = 0;
    for (int p = n; p >= 0; p--) {
        for (int i = 0; i <= n; i++) {
            if (std::clamp(previous.places[i], 0, n) != p) continue;
            int gate = pick_gate(n, q++);
            if (gate >= RIDER_SLOTS) continue;
            race_lineup[gate] = i < n ? MENU_SERIES_OPPONENT_ROLE + r->entrant_numbers[i] : 1;
        }
    }
}

// A start from the menus leaves a race server first.
static void leave_server() {
    if (net_connected()) net_disconnect();
}

int menu_start_series_event() {
    if (menu_series_chosen < 0 || menu_series_chosen >= series_list.count) return 0;
    const series_record *r = &series_list.items[menu_series_chosen];
    if (r->completed < 0 || r->completed >= r->event_count) return 0;
    const series_event &e = r->events[r->completed];
    series_lineup(r);
    if (e.track >= 0 && e.track < track_catalogue.count)
        choice_select_text(&settings.track, track_catalogue.folders[e.track]);
    leave_server();
    // Minutes into ticks, kept within what a race clock can count.
    long long ticks = std::clamp((long long)e.race_time * 60 * 128, 0LL, (long long)INT32_MAX / 2);
    race_reset(race_lineup, 0, settings.record_demo.current, (int)ticks, std::max(e.laps, 0),
               r->robot_skill);
    return 1;
}

int menu_enter_next_event() {
    if (menu_series_chosen >= 0 && menu_series_chosen == series_list.current) return 0;
    menu_page = MENU_NONE;
    int chosen = menu_series_chosen;
    if (!menu_start_series_event()) return 0;
    series_list.current = chosen;
    series_list.current_event = series_list.items[chosen].completed;
    return 1;
}
