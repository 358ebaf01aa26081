// The graphics of start-up on the stock data: probe, the seven programs, the fonts and the
// four images (target: under 1 s in all, against a budget of 1 s).
#include <GL/gl.h>

#include "bench/bench.h"
#include "core/folders.h"
#include "core/loading.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "game/entry.h"
#include "game/loading_screen.h"
#include "gfx/font.h"
#include "gfx/texture.h"
#include "present/hud.h"
#include "race/track.h"

int main() {
    bench_dir dir;
    window_context *w = bench_game_window(dir);
    if (!w) return 1;
    // Once: the start-up runs once a process (a second one would find everything made).
    bench_stats total = bench_runs(1, [] {
        startup_graphics();
        glFinish();
    });
    int images = font_main.gl_name && hud_images.tach && hud_images.shifter && hud_images.pitboard &&
                 loading_title_texture;
    printf("shaders_active=%d, all fonts and images: %s\n", game_settings.shaders_active, images ? "yes" : "no");
    int failed = !images || bench_report_budget("graphics start-up", "ours", total, "budget", 1.0);
    font_free_all();
    tex_purge(1);
    plyx_gl_end_frame(w);
    plyx_gl_close(w);
    plyx_shutdown();
    vfs_shutdown();
    return failed;
}
