// Screenshots and video frames read back from OpenGL.
#include "game/frame_capture.h"

#include <GL/gl.h>

#include "core/console.h"
#include "core/globals.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "game/frame_loop.h"
#include "gfx/image.h"
#include "platform/plyx.h"

int screenshot_next_number(int *counter, const char *const *names) {
    if (*counter <= 0) {
        for (int i = 0; names && names[i]; i++) {
            // The standard scanner stores the number before the literal ".ppm" fails to match a
            // ".png"; at most nine digits keep the number within an int.
            unsigned n;
            if (sscanf(names[i], "screenshot%9u.ppm", &n) >= 1 && (int)n > *counter)
                *counter = (int)n;
        }
    }
    *counter += 1;
    return *counter;
}

// A block of width x height RGB pixels read from the current read buffer, or null.
static unsigned char *read_rgb(int width, int height) {
    if (width < 1 || height < 1 || width > CAPTURE_MAX_SIDE || height > CAPTURE_MAX_SIDE)
        return nullptr;
    unsigned char *pixels = (unsigned char *)mem_alloc((size_t)width * (size_t)height * 3);
    if (!pixels) return nullptr;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    return pixels;
}

const char *screenshot_file = nullptr;

int screenshot_save_file(const char *name, int width, int height) {
    char text[1100];
    // The finished picture, still in the back buffer: the front buffer's contents after a swap
    // are not for reading back on every driver (Mesa under Xvfb gives black).
    glReadBuffer(GL_BACK);
    unsigned char *pixels = read_rgb(width, height);
    int written = pixels && image_write_png_rgb(name, pixels, width, height);
    mem_free(pixels);
    const char *shown = name[0] == '@' ? name + 1 : name;
    if (written)
        snprintf(text, sizeof text, "Saved \"%.1000s\"", shown);
    else
        snprintf(text, sizeof text, "Warning: can't save \"%.1000s\"", shown);
    console_print(text);
    return written;
}

void screenshot_save(int width, int height) {
    int number = screenshot_next_number(&frame_loop.screenshot_counter, vfs_build_index());
    char name[64];
    snprintf(name, sizeof name, "@screenshot%03d.png", number);
    screenshot_save_file(name, width, height);
}

void screenshot_take() {
    frame_loop.screenshot_pending = 1;
}

void screenshot_finish_frame(int width, int height) {
    if (!frame_loop.screenshot_pending) return;
    frame_loop.screenshot_pending = 0;
    if (screenshot_file) {
        screenshot_save_file(screenshot_file, width, height);
        screenshot_file = nullptr;
        return;
    }
    screenshot_save(width, height);
}

int video_write_frame(FILE *out, int width, int height) {
    unsigned char *pixels = read_rgb(width, height);
    if (!pixels) return 0;
    // OpenGL gives the bottom row first; PPM starts at the top.
    int ok = fprintf(out, "P6\n%d %d\n255\n", width, height) > 0;
    size_t row = (size_t)width * 3;
    for (int y = height - 1; ok && y >= 0; y--)
        ok = fwrite(pixels + (size_t)y * row, 1, row, out) == row;
    ok = ok && fflush(out) == 0;
    mem_free(pixels);
    return ok;
}
