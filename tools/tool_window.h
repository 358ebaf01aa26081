// The developer tools' start-up and end: the game data and its index, the settings as the game
// reads them, a hidden window with the game's graphics start-up; and all of it closed again.
#pragma once

#include <SDL2/SDL.h>

#include <cstdio>

#include "core/folders.h"
#include "core/globals.h"
#include "core/util.h"
#include "core/vfs.h"
#include "game/config.h"
#include "game/entry.h"
#include "game/settings_table.h"
#include "gfx/font.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "platform/plyx.h"
#include "race/track.h"

// Opens the tool named `name` with a hidden width x height window as the game window: the window,
// or null with the reason on standard error.
inline window_context *tool_window_open(const char *name, int width, int height) {
    if (!vfs_locate_game_data()) {
        fprintf(stderr, "%s: can't find game data (set ZR_HOME)\n", name);
        return nullptr;
    }
    vfs_build_index();
    settings_apply_graphics_preset(0);
    track_lighting_reset();
    config_read();
    settings_derive();
    window_context *w = plyx_gl_open(name, width, height, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    if (!w) {
        fprintf(stderr, "%s: %s", name, plyx_last_error());
        vfs_shutdown();
        return nullptr;
    }
    SDL_HideWindow(w->window);
    game_window = w;
    startup_graphics();
    return w;
}

// Frees the caches, closes the window and the index and ends the platform library.
inline void tool_window_close(window_context *w) {
    font_free_all();
    tex_purge(1);
    model_purge(1);
    game_window = nullptr;
    plyx_gl_close(w);
    util_intern_free_all();
    vfs_shutdown();
    plyx_log(nullptr);
    plyx_shutdown();
}
