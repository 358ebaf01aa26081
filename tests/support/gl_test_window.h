// A small window with a current OpenGL context under the test X server, for every test program
// that draws or loads textures, models, bikes or tracks.
#pragma once

#include <GL/gl.h>

#include <cstdlib>

#include "gfx/shader.h"
#include "platform/plyx.h"

// A window (320 x 240 unless asked otherwise), its context current and a frame begun, probed;
// closed at the end.
// Environment for the driver (MESA_... overrides) must be set before one is made.
struct gl_test_window {
    window_context *w = nullptr;
    explicit gl_test_window(int width = 320, int height = 240) {
        setenv("LP_NATIVE_VECTOR_WIDTH", "128", 1);
        w = plyx_gl_open("test", width, height, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
        if (!w) return;
        for (int i = 0; i < 100 && !plyx_gl_begin_frame(w); i++) plyx_pump_messages(w);
        gl_probe();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    ~gl_test_window() {
        if (!w) return;
        plyx_gl_end_frame(w);
        plyx_gl_close(w);
        plyx_shutdown();
    }
    gl_test_window(const gl_test_window &) = delete;
    gl_test_window &operator=(const gl_test_window &) = delete;
};
