// The program's entry point.
#include <SDL_opengl.h>

#include <cstdio>

#include "platform/plyx.h"

int main(int argc, char **argv) {
    (void)argc;
    (void)argv;
    window_context *w = plyx_gl_open("ZR Simulator", 640, 480, 16 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    if (!w) {
        fprintf(stderr, "%s", plyx_last_error());
        plyx_shutdown();
        return 1;
    }
    for (;;) {
        uint32_t code;
        int pressed, quit = 0;
        while (plyx_input_next_event(w, &code, &pressed))
            if (code == EVENT_CLOSE) quit = 1;
        if (quit) break;
        if (plyx_gl_begin_frame(w)) {
            glClearColor(0.196078f, 0.6f, 0.8f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            plyx_gl_end_frame(w);
        }
        int late_s, late_us;
        plyx_sleep(0, 10000, &late_s, &late_us);
    }
    plyx_gl_close(w);
    plyx_shutdown();
    return 0;
}
