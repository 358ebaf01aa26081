// The loading screen's pictures: the status screen (title picture, status line, build stamp) and
// the progress screen (32 squares), and the hooks that give them to the loading screen.
#include "game/loading_screen.h"

#include <GL/gl.h>

#include <cmath>

#include "core/frame_io.h"
#include "core/globals.h"
#include "core/loading.h"
#include "core/settings.h"
#include "game/controls.h"
#include "game/entry.h"
#include "game/frame_loop.h"
#include "gfx/font.h"
#include "platform/plyx.h"
#include "present/scene.h"
#include "ui/menu.h"
#include "ui/widget.h"

uint32_t loading_title_texture = 0;

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

// Begins a frame with the projection set: 1, or 0 when no frame can be drawn now.
static int loading_screen_begin_frame() {
    plyx_surface *surface = frame_io.begin_frame(game_window);
    if (!surface) return 0;
    scene_set_projection((float)surface->width, (float)surface->height, (float)settings.fov.value);
    return 1;
}

// Nothing pressed during loading stays pressed: every control and the left pointer button.
static void loading_screen_release_input() {
    controls_release_all();
    menu_left_button = 0;
}

static void loading_screen_close_requested() {
    frame_loop.quit_requested = 1;
}

void loading_screen_install() {
    loading_hooks = {loading_screen_begin_frame, loading_draw_screen, loading_draw_progress,
                     loading_screen_release_input, loading_screen_close_requested};
}
