// The HUD and the information lines at 1024 x 768 with 160 riders in the running order on
// "tracks/hillside": the board, 160 map marks, the banner of 159 lappers, every information line
// and five console lines (target: at most 0.1 of a 60 Hz frame).
#include "bench/bench_hillside.h"
#include "core/console.h"
#include "present/hud.h"
#include "race/timing.h"

// Slot 159 has passed F + 2 timing positions; every other rider is a lap ahead, 1-2 s behind
// it on the course, and the first 80 have finished.
static void fill_timing() {
    int f = timing_gates.first_lap_length, n = timing_gates.lap_length;
    int p = f + 2;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        rider_truncate_timing(slot, 0);
        int count = slot == 159 ? p : p + n;
        for (int i = 0; i < count; i++) {
            int tick = slot == 159 ? 1000 + 100 * i : 10 + i;
            if (slot != 159 && i == count - 1) tick = 1000 + 100 * (p - 1) + 128 + slot;
            rider_set_timing_tic(slot, i, tick);
        }
        rider_table[slot].timing_count = count;
    }
    race_state.current_tick = 20000;
    race_update_standings();
    for (int slot = 0; slot < 80; slot++) rider_table[slot].finished = 1;
}

int main() {
    bench_dir dir;
    bench_hillside h;
    if (!bench_hillside_open(dir, 1024, 768, &h)) return 1;
    for (int &role : race_lineup) role = 2;
    if (!race_reset(race_lineup, 0, 0, 0, 5, 0)) {
        fprintf(stderr, "no race of 160 robots\n");
        return 1;
    }
    fill_timing();
    settings.draw_fps = settings.draw_time = settings.draw_ping = settings.draw_speed = 1;
    game_settings.draw_render_stats = 1;
    for (int i = 0; i < 5; i++) console_printf("Console line %d of the benchmark", i);
    console_log.visible_count = 5;
    scene_set_projection(1024, 768, 90);
    int slot = 159;
    char banner[1024];
    hud_banner_text(slot, banner);
    int riders = 0;
    for (int i = 0; i < RIDER_SLOTS; i++) riders += rider_has_bike(i);
    printf("%d riders in the order, %d on the map, banner of %zu characters\n", race_state.running_count, riders,
           strlen(banner));
    auto frame = [&] {
        glFinish();
        hud_draw(slot);
        hud_draw_info(slot);
        glFinish();
    };
    bench_runs(5, frame);   // warm the caches
    bench_stats hud = bench_runs(30, [&] {
        glFinish();
        hud_draw(slot);
        glFinish();
    });
    bench_stats info = bench_runs(30, [&] {
        glFinish();
        hud_draw_info(slot);
        glFinish();
    });
    // The lists alone, without OpenGL.
    static hud_snapshot snap;
    static hud_draw_list list;
    bench_stats build = bench_runs(30, [&] {
        hud_take_snapshot(&snap, slot);
        hud_list_clear(&list);
        hud_build(&list, snap);
        hud_build_info(&list, snap);
    });
    printf("hud_draw %s, hud_draw_info %s; the lists built alone %s (%zu items, %zu vertices)\n",
           bench_spread(hud).c_str(), bench_spread(info).c_str(), bench_spread(build).c_str(), list.items.size(),
           list.vertices.size());
    bench_stats t = bench_runs(50, frame);
    bench_stats empty = bench_runs(30, [] {
        glFinish();
        glFinish();
    });
    printf("glFinish around nothing %s\n", bench_spread(empty).c_str());
    // Where the time goes on a software renderer: the same frame with every pixel kept out (a
    // 1 x 1 scissor box: the lists, the calls and the vertices), and with the font's mipmapped
    // texture swapped for one unfiltered texel (the glyphs' texture filtering left out).
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    bench_stats no_pixels = bench_runs(50, frame);
    glDisable(GL_SCISSOR_TEST);
    GLuint plain = 0;
    const unsigned char texel[4] = {255, 255, 255, 255};
    glGenTextures(1, &plain);
    glBindTexture(GL_TEXTURE_2D, plain);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    uint32_t font_texture = font_main.gl_name;
    font_main.gl_name = plain;
    bench_stats unfiltered = bench_runs(50, frame);
    font_main.gl_name = font_texture;
    glDeleteTextures(1, &plain);
    printf("no pixels drawn %s (ratio to drawn %.3g); glyphs unfiltered %s (ratio to drawn %.3g)\n",
           bench_spread(no_pixels).c_str(), no_pixels.median / t.median, bench_spread(unfiltered).c_str(),
           unfiltered.median / t.median);
    int code = glGetError() == GL_NO_ERROR ? 0 : 1;
    if (code) fprintf(stderr, "a GL error\n");
    code |= bench_report_budget("hud_draw + hud_draw_info, 160 riders", "drawn", t,
                                "budget (0.1 of a 60 Hz frame)", 0.1 / 60);
    bench_hillside_close(&h);
    return code;
}
