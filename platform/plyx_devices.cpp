// Input devices of the window: the roll call when it opens, and the cursor device.
#include <cstdlib>
#include <cstring>

#include "platform/plyx_sdl.h"

void plyx_input_open_devices(window_context *w) {
    plyx_dinput_open(w);
    plyx_cursor_device_open(w);
}

static int cursor_acquire(input_device *) {
    return 1;
}

static void cursor_release(input_device *) {}

static void cursor_poll(input_device *) {}

static void cursor_destroy(input_device *d) {
    free(d);
}

// Where the system keeps a pointer position of its own, outside the window too.
static int cursor_global_state() {
    const char *driver = SDL_GetCurrentVideoDriver();
    return driver && (strcmp(driver, "x11") == 0 || strcmp(driver, "windows") == 0 ||
                      strcmp(driver, "cocoa") == 0);
}

// The pointer in the window's client area, in pixels; outside the window beyond its edges.
static int cursor_read_axis(input_device *d, int index) {
    int x = 0, y = 0;
    if (cursor_global_state()) {
        int wx = 0, wy = 0;
        SDL_GetGlobalMouseState(&x, &y);
        if (d->window && d->window->window) SDL_GetWindowPosition(d->window->window, &wx, &wy);
        x -= wx;
        y -= wy;
    } else {
        SDL_GetMouseState(&x, &y);
    }
    return index == 1 ? y : x;
}

int plyx_cursor_device_open(window_context *w) {
    input_device *d = (input_device *)calloc(1, sizeof(input_device));
    if (!d) return 0;
    d->window = w;
    snprintf(d->name, sizeof d->name, "cursor");
    d->id = plyx_input_new_device_id(w, d->name);
    d->key_count = 0;
    d->axis_count = 2;
    d->acquire_keys = cursor_acquire;
    d->acquire_axes = cursor_acquire;
    d->release = cursor_release;
    d->read_axis = cursor_read_axis;
    d->poll = cursor_poll;
    d->destroy = cursor_destroy;
    plyx_input_add_device(w, d);
    plyx_alias_add("cursor-x", "cursor.axis[0]");
    plyx_alias_add("cursor-y", "cursor.axis[1]");
    return 1;
}
