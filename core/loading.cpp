// The loading screen's event handling and timing. Its pictures (title image, status text,
// progress squares) are drawn by the graphics foundation; until then the splash screen is the
// clear colour and status and progress draw nothing.
#include "core/loading.h"

#include <GL/gl.h>

#include "core/controls.h"
#include "core/frame_loop.h"
#include "core/globals.h"
#include "platform/plyx.h"
#include "ui/menu.h"

unsigned loading_tick_count = 0;
uint32_t loading_title_texture = 0;
static double loading_last_progress = -1.0;

void loading_drain_events() {
    uint32_t code;
    int pressed;
    while (frame_io.next_event(game_window, &code, &pressed))
        if (code == EVENT_CLOSE) frame_loop.quit_requested = 1;
}

void loading_tick() {
    loading_tick_count++;
    loading_drain_events();
    double now = frame_io.now();
    if (loading_last_progress >= 0.0 && now - loading_last_progress < LOADING_TICK_INTERVAL)
        return;
    loading_last_progress = now;
    loading_draw_progress(loading_tick_count);
}

void loading_status(const char *text) {
    (void)text;
    loading_drain_events();
    controls_release_all();
    menu_left_button = 0;
}

void loading_status_log(const char *text) {
    loading_status(text);
    if (text[0]) plyx_log("%s\n", text);
}

void loading_draw_screen(const char *text) {
    (void)text;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void loading_draw_progress(unsigned mask) {
    (void)mask;
}
