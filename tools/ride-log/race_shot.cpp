// ride-log race's pictures of chosen ticks, drawn by the frame loop's drawing step.
#include "tools/ride-log/race_shot.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/rider.h"
#include "core/console.h"
#include "game/frame_capture.h"
#include "game/frame_loop.h"
#include "race/race.h"
#include "race/timing.h"
#include "ui/menu.h"

static long long finish_tick = -1, results_tick = -1;

void race_shot_reset() {
    finish_tick = results_tick = -1;
}

int race_shot_parse(const char *text, race_shot *out) {
    const char *colon = strchr(text, ':');
    if (!colon || !colon[1]) return 0;
    std::string when(text, (size_t)(colon - text));
    out->file = colon + 1;
    out->done = 0;
    std::string base = when, plus;
    size_t at = when.find('+');
    if (at != std::string::npos) {
        base = when.substr(0, at);
        plus = when.substr(at + 1);
        if (plus.empty()) return 0;
    }
    auto number = [](const std::string &t, long long *v) {
        if (t.empty() || t[0] < '0' || t[0] > '9') return false;
        char *end = nullptr;
        errno = 0;
        long long n = strtoll(t.c_str(), &end, 10);
        if (*end || errno || n > 1000000000LL) return false;
        *v = n;
        return true;
    };
    long long extra = 0;
    if (!plus.empty() && !number(plus, &extra)) return 0;
    if (base == "finish") {
        out->base = RACE_SHOT_FINISH;
        out->ticks = extra;
    } else if (base == "results") {
        out->base = RACE_SHOT_RESULTS;
        out->ticks = extra;
    } else {
        long long tick;
        if (!number(base, &tick)) return 0;
        out->base = RACE_SHOT_TICK;
        out->ticks = tick + extra;
    }
    return 1;
}

int race_shot_pending(const std::vector<race_shot> &shots) {
    for (const race_shot &s : shots)
        if (!s.done) return 1;
    return 0;
}

// The frame of this tick, as the game draws it, saved to the file.
static int take(const race_shot &s, int slot) {
    viewed_slot = slot;
    frame_loop.view_mode = VIEW_CHASE;
    frame_loop.paused = 0;
    menu_page = MENU_NONE;
    frame_loop.screenshot_pending = 1;
    screenshot_file = s.file.c_str();
    int drawn = frame_draw();
    // The drawing step's writer says "Saved" once the file is written.
    const char *said = console_log.lines[(console_log.head + CONSOLE_LINES - 1) % CONSOLE_LINES];
    int saved = screenshot_file == nullptr && strncmp(said, "Saved ", 6) == 0;
    screenshot_file = nullptr;
    frame_loop.screenshot_pending = 0;
    if (!drawn || !saved) return 0;
    printf("shot tick %d: %s\n", race_state.current_tick, s.file.c_str());
    return 1;
}

int race_shot_tick(std::vector<race_shot> &shots, int slot) {
    long long now = race_state.current_tick;
    if (finish_tick < 0 && race_state.running_count > 0 && rider_check_finished(race_state.running_order[0].slot))
        finish_tick = now;
    if (results_tick < 0 && results_written) results_tick = now;
    int good = 1;
    for (race_shot &s : shots) {
        if (s.done) continue;
        long long base = s.base == RACE_SHOT_FINISH ? finish_tick : s.base == RACE_SHOT_RESULTS ? results_tick : 0;
        if (base < 0 || now < base + s.ticks) continue;
        s.done = 1;
        if (!take(s, slot)) {
            fprintf(stderr, "ride-log: can't write %s\n", s.file.c_str());
            good = 0;
        }
    }
    return good;
}

int race_shot_viewed() {
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (rider_status[i] == 2 && rider_has_bike(i)) return i;
    return 0;
}

int race_shot_hook(void *context) {
    race_shot_tick(*(std::vector<race_shot> *)context, race_shot_viewed());
    return 1;
}

int race_shot_finish(std::vector<race_shot> &shots, int max_ticks) {
    int good = 1;
    for (int k = 0; k < max_ticks && race_shot_pending(shots); k++) {
        race_tick();
        good &= race_shot_tick(shots, race_shot_viewed());
    }
    for (const race_shot &s : shots)
        if (!s.done) {
            fprintf(stderr, "ride-log: the race ended before the tick of %s\n", s.file.c_str());
            good = 0;
        }
    return good;
}
