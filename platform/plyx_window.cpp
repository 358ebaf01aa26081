// The game window with its OpenGL context, display modes, mode switches and the event pump.
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/plyx_sdl.h"

static display_mode *mode_list = nullptr;
static int options_logged = 0;

// Logs a failure of the window layer: the message as the last error, then SDL's reason.
static void window_error(const char *message) {
    const char *reason = SDL_GetError();
    char copy[1024];
    snprintf(copy, sizeof copy, "%s", reason ? reason : "");
    plyx_log_error(message);
    plyx_log("SDL: %s\n", copy);
    char more[1100];
    snprintf(more, sizeof more, "SDL: %s\n", copy);
    plyx_last_error_append(more);
}

static int video_start() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return 1;
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

static int depth_listed(int bits) {
    return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

display_mode *plyx_build_mode_list(const mode_report *desktop, const mode_report *reported,
                                   int count) {
    // The desktop row, every reported row and the end row.
    display_mode *list = (display_mode *)calloc((size_t)count + 2, sizeof(display_mode));
    if (!list) return nullptr;
    int n = 0;
    if (desktop) {
        const mode_report &d = *desktop;
        if (depth_listed(d.bits)) {
            list[n++] = {d.width, d.height, d.bits};
            plyx_log("Registry mode is %dx%dx%d@%dhz\n", d.width, d.height, d.bits, d.refresh);
        } else {
            plyx_log("Registry mode is %dx%dx%d@%dhz (ignored)\n", d.width, d.height, d.bits,
                     d.refresh);
        }
    }
    for (int r = 0; r < count; r++) {
        const mode_report &m = reported[r];
        if (!depth_listed(m.bits)) {
            plyx_log("Found mode %dx%dx%d@%dhz (ignored)\n", m.width, m.height, m.bits, m.refresh);
            continue;
        }
        int seen = 0;
        for (int i = 0; i < n && !seen; i++)
            seen = list[i].width == m.width && list[i].height == m.height && list[i].bits == m.bits;
        if (seen) continue;
        list[n++] = {m.width, m.height, m.bits};
        plyx_log("Found mode %dx%dx%d@%dhz\n", m.width, m.height, m.bits, m.refresh);
    }
    return list;
}

static mode_report report_of(const SDL_DisplayMode &m) {
    return {m.w, m.h, (int)SDL_BITSPERPIXEL(m.format), m.refresh_rate};
}

const display_mode *plyx_display_modes() {
    if (mode_list) return mode_list;
    mode_report desktop;
    int have_desktop = 0;
    std::vector<mode_report> reported;
    if (video_start()) {
        SDL_DisplayMode m;
        if (SDL_GetDesktopDisplayMode(0, &m) == 0) {
            desktop = report_of(m);
            have_desktop = 1;
        }
        int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; i++)
            if (SDL_GetDisplayMode(0, i, &m) == 0) reported.push_back(report_of(m));
        // SDL lists the largest first; the list is built smallest first.
        std::stable_sort(reported.begin(), reported.end(),
                         [](const mode_report &a, const mode_report &b) {
                             return a.width != b.width ? a.width < b.width : a.height < b.height;
                         });
    }
    mode_list = plyx_build_mode_list(have_desktop ? &desktop : nullptr, reported.data(),
                                     (int)reported.size());
    return mode_list;
}

void plyx_choose_mode(const display_mode *modes, int desktop_width, int desktop_height,
                      int width, int height, int *out_width, int *out_height) {
    *out_width = desktop_width;
    *out_height = desktop_height;
    if (width <= 0 || height <= 0 || !modes) return;
    long best = -1;
    for (const display_mode *m = modes; m->width || m->height || m->bits; m++) {
        if (m->width < width || m->height < height) continue;
        long excess = (long)m->width + m->height - width - height;
        if (best < 0 || excess < best) {
            best = excess;
            *out_width = m->width;
            *out_height = m->height;
        }
    }
}

static void desktop_size(int *w, int *h) {
    SDL_DisplayMode d;
    if (SDL_GetDesktopDisplayMode(0, &d) == 0) {
        *w = d.w;
        *h = d.h;
    } else {
        *w = 640;
        *h = 480;
    }
}

// Goes fullscreen at the best listed mode for width x height; 1 on success.
static int window_go_fullscreen(window_context *w, int width, int height) {
    w->flags &= (unsigned char)~WINDOW_FLAG_FULLSCREEN;
    int dw, dh;
    desktop_size(&dw, &dh);
    int mw, mh;
    plyx_choose_mode(plyx_display_modes(), dw, dh, width, height, &mw, &mh);
    w->mode_width = mw;
    w->mode_height = mh;
    int ok;
    if (mw == dw && mh == dh) {
        ok = SDL_SetWindowFullscreen(w->window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
    } else {
        SDL_DisplayMode want = {0, mw, mh, 0, nullptr};
        SDL_DisplayMode got;
        ok = SDL_GetClosestDisplayMode(0, &want, &got) != nullptr &&
             SDL_SetWindowDisplayMode(w->window, &got) == 0 &&
             SDL_SetWindowFullscreen(w->window, SDL_WINDOW_FULLSCREEN) == 0;
    }
    if (ok) w->flags |= WINDOW_FLAG_FULLSCREEN;
    return ok;
}

static void window_go_windowed(window_context *w, int width, int height) {
    w->flags &= (unsigned char)~WINDOW_FLAG_FULLSCREEN;
    if (!(w->flags & WINDOW_FLAG_SWITCHES_MODES)) return;
    SDL_SetWindowFullscreen(w->window, 0);
    if (width <= 0 || height <= 0) desktop_size(&width, &height);
    SDL_SetWindowResizable(w->window, SDL_TRUE);
    SDL_SetWindowSize(w->window, width, height);
    SDL_ShowWindow(w->window);
}

static void window_set_switching(window_context *w, int on) {
    plyx_mutex_lock(w->window_mutex);
    w->mode_switching = on;
    plyx_mutex_unlock(w->window_mutex);
}

int plyx_window_request_mode(window_context *w, int width, int height, int flags) {
    w->request_width = width;
    w->request_height = height;
    w->request_flags = flags;
    w->request_pending = 1;
    return 1;
}

static void window_apply_request(window_context *w) {
    w->request_pending = 0;
    window_set_switching(w, 1);
    if (w->request_flags & OPEN_FULLSCREEN)
        window_go_fullscreen(w, w->request_width, w->request_height);
    else
        window_go_windowed(w, w->request_width, w->request_height);
    window_set_switching(w, 0);
}

static void window_foreground(window_context *w) {
    SDL_RaiseWindow(w->window);
    plyx_log("Foregrounded and locked\n");
}

static int create_window(window_context *w, int width, int height) {
    w->window_thread = std::this_thread::get_id();
    Uint32 style = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (w->flags & WINDOW_FLAG_SWITCHES_MODES) style |= SDL_WINDOW_RESIZABLE;
    if (width <= 0 || height <= 0) desktop_size(&width, &height);
    plyx_log("Creating window\n");
    w->window = SDL_CreateWindow(w->title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                 height, style);
    if (!w->window) {
        window_error("Can't create window!\n");
        return 0;
    }
    w->window_mutex = plyx_mutex_create();
    w->queue_mutex = plyx_mutex_create();
    if (!w->window_mutex || !w->queue_mutex) {
        plyx_log_error("Can't create mutex\n");
        return 0;
    }
    if (w->flags & WINDOW_FLAG_FULLSCREEN) {
        w->flags &= (unsigned char)~WINDOW_FLAG_FULLSCREEN;
        SDL_ShowWindow(w->window);
        window_go_fullscreen(w, width, height);
        w->flags |= WINDOW_FLAG_FULLSCREEN;
    } else {
        SDL_ShowWindow(w->window);
    }
    SDL_SetWindowData(w->window, "plyx", w);
    if (SDL_GetWindowData(w->window, "plyx") != w) {
        plyx_log_error("Can't set window user data\n");
        return 0;
    }
    window_foreground(w);
    return 1;
}

static void destroy_window(window_context *w) {
    if (w->window_mutex) plyx_mutex_destroy(w->window_mutex);
    if (w->queue_mutex) plyx_mutex_destroy(w->queue_mutex);
    w->window_mutex = w->queue_mutex = nullptr;
    free(w->axis_names);
    w->axis_names = nullptr;
    if (w->devices) {
        plyx_log("Closing input devices\n");
        plyx_input_close_devices(w);
    }
    if (w->window) {
        plyx_log("Destroying window\n");
        SDL_DestroyWindow(w->window);  // leaves fullscreen and restores the desktop mode
        w->window = nullptr;
    }
    plyx_log("Window shutdown complete\n");
}

// Sanitizer builds keep Mesa's software driver loaded, so its memory stays reachable at the
// leak check instead of being reported from an unloaded module.
static void keep_gl_driver_loaded() {
#ifdef ZR_SWRAST_PATH
    static int done = 0;
    if (!done) {
        done = 1;
        dlopen(ZR_SWRAST_PATH, RTLD_NOW | RTLD_NODELETE);
    }
#endif
}

window_context *plyx_window_open(const char *title, int width, int height, int flags) {
    keep_gl_driver_loaded();
    window_context *w = (window_context *)calloc(1, sizeof(window_context));
    plyx_display_modes();
    if (!options_logged) {
        options_logged = 1;
        // The window always runs on the calling thread; the option is read and shown only.
        int threaded = plyx_option_bool("threaded", 0);
        plyx_log("Options:\n");
        plyx_log("%10s [%s]\n", "threaded:", threaded ? "on" : "off");
    }
    if (!w) return nullptr;
    w->width = width;
    w->height = height;
    w->colour_bits = flags & 0xFF;
    snprintf(w->title, sizeof w->title, "%s", title ? title : "");
    w->flags = WINDOW_FLAG_ALWAYS;
    if (!(flags & OPEN_NO_MODE_SWITCH)) w->flags |= WINDOW_FLAG_SWITCHES_MODES;
    if (flags & OPEN_FULLSCREEN) w->flags |= WINDOW_FLAG_FULLSCREEN;
    w->opener_thread = std::this_thread::get_id();

    if (!create_window(w, width, height)) {
        destroy_window(w);
        free(w);
        return nullptr;
    }
    if (width <= 0 || height <= 0) SDL_GetWindowSize(w->window, &w->width, &w->height);

    plyx_array_init(&w->axis_name_list, sizeof(const char *), 16);
    plyx_input_open_devices(w);
    plyx_array_append(&w->axis_name_list, nullptr);
    w->axis_names = (const char **)w->axis_name_list.items;
    w->axis_name_list.items = nullptr;
    w->axis_name_list.capacity = w->axis_name_list.count = 0;

    plyx_alias_add("cursor-left", "Mouse Left");
    plyx_alias_add("cursor-middle", "Mouse Middle");
    plyx_alias_add("cursor-right", "Mouse Right");
    return w;
}

void plyx_window_close(window_context *w) {
    if (!w) return;
    w->close_flag = 1;
    destroy_window(w);
    free(w);
}

static void set_gl_attributes(int colour_bits, int alpha, int depth, int stencil, int accum) {
    int r = 8, g = 8, b = 8;
    if (colour_bits == 16) r = 5, g = 6, b = 5;
    if (colour_bits == 15) r = 5, g = 5, b = 5;
    // A compatibility context of any version (the driver gives its highest): the game draws
    // with the fixed-function pipeline, and older drivers offer only 1.x.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, r);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, g);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, b);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencil);
    int per_channel = accum / 4;
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, per_channel);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, per_channel);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, per_channel);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, per_channel);
}

window_context *plyx_gl_open(const char *title, int width, int height, int flags, int alpha_bits,
                             int depth_bits, int stencil_bits, int accum_bits) {
    // SDL picks the visual when the window is made, so the format is asked for first.
    if (video_start())
        set_gl_attributes(flags & 0xFF, alpha_bits, depth_bits, stencil_bits, accum_bits);
    window_context *w = plyx_window_open(title, width, height, flags);
    if (!w) return nullptr;
    plyx_log("Choosing pixel format\n");
    plyx_log("Setting pixel format %d\n", 0);
    plyx_log("Creating OpenGL context\n");
    SDL_GLContext ctx = SDL_GL_CreateContext(w->window);
    if (!ctx) {
        window_error("Couldn't create OpenGL context\n");
        plyx_window_close(w);
        return nullptr;
    }
    if (SDL_GL_MakeCurrent(w->window, ctx) != 0) {
        window_error("Couldn't create OpenGL context\n");
        SDL_GL_DeleteContext(ctx);
        plyx_window_close(w);
        return nullptr;
    }
    w->gl = (gl_context *)calloc(1, sizeof(gl_context));
    if (!w->gl) {
        SDL_GL_DeleteContext(ctx);
        plyx_window_close(w);
        return nullptr;
    }
    w->gl->context = ctx;
    w->gl->format = 0;
    SDL_GL_GetDrawableSize(w->window, &w->width, &w->height);
    return w;
}

void plyx_gl_close(window_context *w) {
    if (!w) return;
    if (w->gl) {
        if (w->gl->context) {
            plyx_log("Deleting OpenGL context\n");
            SDL_GL_MakeCurrent(w->window, nullptr);
            SDL_GL_DeleteContext((SDL_GLContext)w->gl->context);
        }
        free(w->gl);
        w->gl = nullptr;
    }
    plyx_window_close(w);
}

plyx_surface *plyx_gl_begin_frame(window_context *w) {
    if (!w || !w->gl) return nullptr;
    Uint32 state = SDL_GetWindowFlags(w->window);
    if (state & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) return nullptr;
    plyx_mutex_lock(w->window_mutex);
    if (w->mode_switching) {
        plyx_mutex_unlock(w->window_mutex);
        return nullptr;
    }
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(w->window, &width, &height);
    if (width <= 0 || height <= 0) {
        width = w->width;
        height = w->height;
    }
    w->surface = {nullptr, width, height, 0};
    return &w->surface;
}

int plyx_gl_end_frame(window_context *w) {
    if (!w || !w->gl) return 0;
    SDL_GL_SwapWindow(w->window);
    plyx_mutex_unlock(w->window_mutex);
    return 1;
}

void *plyx_gl_proc_address(const char *name) {
    return SDL_GL_GetProcAddress(name);
}

static void window_event(window_context *w, const SDL_WindowEvent &e) {
    switch (e.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (w->gl) {
            int width, height;
            SDL_GL_GetDrawableSize(w->window, &width, &height);
            plyx_mutex_lock(w->window_mutex);
            w->width = width;
            w->height = height;
            plyx_mutex_unlock(w->window_mutex);
            plyx_log("WM_SIZE message %dx%d\n", width, height);
        }
        break;
    case SDL_WINDOWEVENT_CLOSE:
        plyx_window_post_event_now(w, EVENT_CLOSE, 1);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (w->flags & WINDOW_FLAG_FULLSCREEN) window_foreground(w);
        break;
    default:
        break;
    }
}

void plyx_pump_messages(window_context *w) {
    if (!w || w->close_flag) return;
    if (w->request_pending) window_apply_request(w);
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_QUIT:
            plyx_window_post_event_now(w, EVENT_CLOSE, 1);
            break;
        case SDL_WINDOWEVENT:
            if (SDL_GetWindowFromID(e.window.windowID) == w->window) window_event(w, e.window);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_TEXTINPUT:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            input_event out[32];
            int n = plyx_translate_event(&e, out, 32, SDL_GetTicks64());
            for (int i = 0; i < n; i++)
                plyx_window_post_event(w, out[i].code, out[i].pressed, out[i].seconds,
                                       out[i].microseconds);
            plyx_input_device_event(w, &e);
            break;
        }
        default:
            plyx_input_device_event(w, &e);
            break;
        }
    }
}

void plyx_shutdown() {
    SDL_Quit();
}
