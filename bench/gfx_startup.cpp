// The graphics of start-up on the stock data: probe, the seven programs, the fonts and the
// four images (target: under 1 s in all, against a budget of 1 s).
#include <GL/gl.h>

#include "bench/bench.h"
#include "core/entry.h"
#include "core/folders.h"
#include "core/loading.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "gfx/font.h"
#include "gfx/texture.h"
#include "present/hud.h"
#include "race/track.h"

int main() {
    bench_dir dir;
    setenv("XDG_DATA_HOME", dir.path.c_str(), 1);
    if (!vfs_locate_game_data()) {
        fprintf(stderr, "no game data: set ZR_HOME to the build's game folder\n");
        return 1;
    }
    vfs_build_index();
    settings_apply_graphics_preset(0);
    settings_derive();
    track_lighting_reset();
    window_context *w = plyx_gl_open("bench", 640, 480, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    if (!w || !bench_begin_frame(w)) return 1;
    auto start = std::chrono::steady_clock::now();
    startup_graphics();
    glFinish();
    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int images = font_main.gl_name && hud_images.tach && hud_images.shifter && hud_images.pitboard &&
                 loading_title_texture;
    printf("shaders_active=%d, all fonts and images: %s\n", game_settings.shaders_active, images ? "yes" : "no");
    int failed = !images || bench_report("graphics start-up", "ours", total, "budget", 1.0, 1.0);
    font_free_all();
    tex_purge(1);
    plyx_gl_end_frame(w);
    plyx_gl_close(w);
    plyx_shutdown();
    vfs_shutdown();
    return failed;
}
