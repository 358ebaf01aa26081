// The loading screen: the status screen (title picture, status line, build stamp), the
// progress screen (32 squares), the input drain and the slowest-step record.
#include "core/loading.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/controls.h"
#include "core/entry.h"
#include "core/frame_loop.h"
#include "core/globals.h"
#include "core/settings.h"
#include "gfx/font.h"
#include "platform/plyx.h"
#include "present/scene.h"
#include "ui/menu.h"
#include "ui/widget.h"

loading_state loading = {"", 0, 0, "", 0, 0, 0, -1, -1};
uint32_t loading_title_texture = 0;

void loading_drain_events() {
    uint32_t code;
    int pressed;
    for (int i = 0; i < LOADING_DRAIN_MAX && frame_io.next_event(game_window, &code, &pressed); i++)
        if (code == EVENT_CLOSE) frame_loop.quit_requested = 1;
}

// Drops pending input and releases every control and the left pointer button, so nothing
// pressed during loading stays pressed.
static void loading_drain_input() {
    loading_drain_events();
    controls_release_all();
    menu_left_button = 0;
}

static void loading_copy(char *out, const char *text) {
    snprintf(out, LOADING_TEXT_MAX + 1, "%s", text);
}

// Begins a frame with the projection set: 1, or 0 when no frame can be drawn now.
static int loading_begin_frame() {
    plyx_surface *surface = frame_io.begin_frame(game_window);
    if (!surface) return 0;
    scene_set_projection((float)surface->width, (float)surface->height, (float)settings.fov.value);
    return 1;
}

void loading_status(const char *text) {
    loading_drain_input();
    if (!loading_begin_frame()) return;
    loading_draw_screen(text);
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
    loading_draw_progress(loading.ticks);
    frame_io.end_frame(game_window);
}

static void loading_rect(float x0, float y0, float x1, float y1) {
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

// The model-view matrix reset to depth -1, depth and alpha tests off, and the whole view
// filled with an opaque grey.
static void loading_fill_view(float grey) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glTranslatef(0, 0, -1);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor4f(grey, grey, grey, 1);
    loading_rect(-view_state.half_x, -view_state.half_y, view_state.half_x, view_state.half_y);
}

void loading_draw_screen(const char *text) {
    const float w = view_state.half_x, h = view_state.half_y;
    loading_fill_view(0);
    // The title picture covers the view with its 2:1 shape kept.
    float x = w > 2 * h ? w : 2 * h, y = w > 2 * h ? w / 2 : h;
    if (loading_title_texture) {
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBindTexture(GL_TEXTURE_2D, loading_title_texture);
        glColor4f(1, 1, 1, 1);
        // Counter-clockwise, so back-face culling keeps it.
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1);
        glVertex2f(-x, -y);
        glTexCoord2f(1, 1);
        glVertex2f(x, -y);
        glTexCoord2f(1, 0);
        glVertex2f(x, y);
        glTexCoord2f(0, 0);
        glVertex2f(-x, y);
        glEnd();
    }
    if (*text) {
        // A frame of 25 lines a screen: origin at the left edge, one line below the top.
        widget_push_lines_frame(25);
        font_draw_white(text);
        widget_pop_frame();
    }
    glLoadIdentity();
    glTranslatef(w, -h, -1);
    glScalef(h / 16, h / 16, 1);
    font_draw_right_shadowed(0.75f, 0.75f, 0.75f, 1, 0, ZR_BUILD_STAMP);
}

void loading_draw_progress(uint32_t counter) {
    const float h = view_state.half_y;
    loading_fill_view(0.25f);
    // A soft radial backdrop.
    glBegin(GL_TRIANGLE_FAN);
    glColor4f(0.5f, 0.5f, 0.5f, 1);
    glVertex2f(0, 0);
    glColor4f(0.25f, 0.25f, 0.25f, 1);
    for (int i = 16; i >= 0; i--) {  // counter-clockwise
        double a = i * M_PI / 8;
        glVertex2f((float)(2 * h * std::sin(a)), (float)(2 * h * std::cos(a)));
    }
    glEnd();
    double t = frame_io.now();
    int phase = (int)((t / 2 - std::floor(t / 2)) * 64);
    if (loading.first_progress_time < 0) loading.first_progress_time = t;
    double f = (t - loading.first_progress_time - 0.25) * 4;
    f = f < 0 ? 0 : f > 1 ? 1 : f;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int i = 0; i < 32; i++) {
        float cx = h * (16 - i) / 16;
        float s = ((phase + i) & 32) ? 0.0234375f : 0.017578125f;
        float shadow = s * h, square = 0.75f * s * h;
        glColor4f(0, 0, 0, (float)(0.1 * f));
        loading_rect(cx - shadow, -shadow, cx + shadow, shadow);
        float grey = (counter >> i) & 1 ? 0.875f : 0.75f;
        glColor4f(grey, grey, grey, (float)f);
        loading_rect(cx - square, -square, cx + square, square);
    }
    glDisable(GL_BLEND);
}
