// The fatal-error path shared by out-of-memory and the physics engine's error handlers.
#include "core/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "core/globals.h"
#include "platform/plyx.h"

[[noreturn]] void fatal_error(const char *format, ...) {
    // Formatted before anything is closed, into a fixed buffer: the heap may be exhausted.
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (game_sound_open) {
        game_sound_open = 0;
        plyx_sound_close(plyx_sound_current());
    }
    if (game_window) {
        window_context *w = game_window;
        game_window = nullptr;
        plyx_gl_close(w);
    }
    plyx_error_box("Error", "%s", text);
    exit(1);
}
