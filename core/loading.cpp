// The loading screen's status lines and progress ticks: when to redraw, the input drain and the
// slowest-step record. The drawing itself comes through loading_hooks.
#include "core/loading.h"

#include <cstdio>
#include <cstring>

#include "core/frame_io.h"
#include "core/globals.h"
#include "platform/plyx.h"

loading_state loading = {"", 0, 0, "", 0, 0, 0, -1, -1};
loading_hook_table loading_hooks = {};

void loading_drain_events() {
    uint32_t code;
    int pressed;
    for (int i = 0; i < LOADING_DRAIN_MAX && frame_io.next_event(game_window, &code, &pressed); i++)
        if (code == EVENT_CLOSE && loading_hooks.close_requested) loading_hooks.close_requested();
}

// Drops pending input and releases every control and the left pointer button, so nothing
// pressed during loading stays pressed.
static void loading_drain_input() {
    loading_drain_events();
    if (loading_hooks.release_input) loading_hooks.release_input();
}

static void loading_copy(char *out, const char *text) {
    snprintf(out, LOADING_TEXT_MAX + 1, "%s", text);
}

// Begins a frame with the projection set: 1, or 0 when no frame can be drawn now.
static int loading_begin_frame() {
    return loading_hooks.begin_frame && loading_hooks.begin_frame();
}

void loading_status(const char *text) {
    loading_drain_input();
    if (!loading_begin_frame()) return;
    if (loading_hooks.draw_screen) loading_hooks.draw_screen(text);
    frame_io.end_frame(game_window);
    double now = frame_io.now();
    double gap = now - loading.last_status_time;
    if (gap > loading.slowest_gap) {
        loading.slowest_gap = gap;
        memcpy(loading.slowest_text, loading.status, sizeof loading.slowest_text);
    }
    loading.last_status_time = now;
    loading_copy(loading.status, text);
}

void loading_begin(const char *text) {
    loading_status(text);
    if (*text) plyx_log("%s\n", text);
    loading.dots = 0;
}

void loading_progress(const char *text) {
    double now = frame_io.now();
    if (now - loading.last_dots_time < LOADING_DOTS_INTERVAL) return;
    char line[80];
    snprintf(line, sizeof line, "%.64s%.*s", text, loading.dots, "...");
    loading.dots = (loading.dots + 1) % 4;
    loading.last_dots_time = now;
    loading_status(line);
}

void loading_done(const char *text) {
    char line[80];
    snprintf(line, sizeof line, "%.64s...done", text);
    loading_status(line);
}

void loading_status_log(const char *text) {
    loading_status(text);
    if (*text) plyx_log("%s\n", text);
}

void loading_tick() {
    loading.ticks++;
    loading_drain_input();
    double now = frame_io.now();
    if (loading.last_tick_time >= 0 && now - loading.last_tick_time < LOADING_TICK_INTERVAL) return;
    loading.last_tick_time = now;
    if (!loading_begin_frame()) return;
    if (loading_hooks.draw_progress) loading_hooks.draw_progress(loading.ticks);
    frame_io.end_frame(game_window);
}
