// The drawing step of a pass: the view of view_mode, the boards, the captions and the menus,
// then the buffer swap.
#include <GL/gl.h>

#include <cstdio>

#include "core/globals.h"
#include "core/loading.h"
#include "core/settings.h"
#include "editor/editor.h"
#include "game/chase_camera.h"
#include "game/frame_capture.h"
#include "game/frame_loop.h"
#include "game/loading_screen.h"
#include "gfx/font.h"
#include "net/client.h"
#include "platform/plyx.h"
#include "present/hud.h"
#include "present/scene.h"
#include "race/race.h"
#include "ui/menu.h"
#include "ui/widget.h"

// White text with a shadow, centred across the screen on a line of a 30-line frame.
static void draw_caption(const char *text, float line) {
    const int lines = 30;
    widget_push_lines_frame(lines);
    glTranslatef(0.0f, line, 0.0f);
    float width = view_state.half_y > 0 ? lines * view_state.half_x / view_state.half_y : 0;
    font_draw_centered_shadowed(1, 1, 1, 1, 0.0f, width, text);
    widget_pop_frame();
}

int frame_draw() {
    plyx_surface *surface = frame_io.begin_frame(game_window);
    if (!surface) return 1;
    if (frame_loop.windowed && game_window) {
        settings.xres = game_window->width;
        settings.yres = game_window->height;
    }
    float fov = (float)settings.fov.value;
    scene_set_projection((float)surface->width, (float)surface->height, fov);
    view_state.width = surface->width;
    view_state.height = surface->height;
    int slot = viewed_slot, hud = run_options.show_hud;
    switch (frame_loop.view_mode) {
    case VIEW_ONBOARD:
        // The camera rides on the frame: the rider body sways on its springs and leaves the
        // bike in a fall.
        scene_draw_rider_view(bike_frame_body(rider_slot_at(slot)), slot);
        if (hud) hud_draw(slot);
        break;
    case VIEW_EDITOR:
        editor_draw();
        break;
    case VIEW_CHASE:
        camera_draw_chase(slot, fov);
        if (hud) hud_draw(slot);
        break;
    case VIEW_CAMERA:
        scene_draw_camera_view();
        break;
    default:
        loading_draw_screen("");
        break;
    }
    if (hud) hud_draw_info(slot);
    if (run_options.record_video && !frame_loop.paused && frame_loop.view_mode != VIEW_SPLASH)
        video_write_frame(stdout, surface->width, surface->height);
    if (frame_loop.paused && run_options.show_pause_text) draw_caption("Paused", -1.0f);
    if (frame_player_view() && net_connected() && net_client.slot == RIDER_NO_SLOT)
        draw_caption("Warmup mode - collisions disabled", -28.0f);
    menu_draw_page();
    screenshot_finish_frame(surface->width, surface->height);
    frame_stage("draw");
    if (run_options.glfinish) glFinish();
    if (!frame_io.end_frame(game_window)) return 0;
    frame_stage("flip");
    return 1;
}
