// Building the quads of a full console page, 25 lines of 80 characters with colour escapes,
// without drawing them (target: at most 0.25 ms, 1.5% of a 60 Hz frame).
#include <string>

#include "bench/bench.h"
#include "gfx/font.h"

static int quads = 0;

static void bench_count(int count, const float *, const float *, const float *) {
    quads += count;
}

int main() {
    font_main.gl_name = 1;  // no context: the state calls do nothing
    for (int c = 0; c < 256; c++) font_main.advance[c] = 0.55f;
    font_quad_hook = bench_count;
    std::string page;
    for (int line = 0; line < 25; line++) {
        page += "\x1b[1;3" + std::to_string(line % 8) + "m";
        for (int i = 0; i < 80; i++) page += (char)('!' + (line * 80 + i) % 94);
        page += "\n";
    }
    bench_stats t = bench_runs(200, [&] { font_draw_text(1, 1, 1, 1, page.c_str(), 0); });
    printf("%d quads a page\n", quads / 200);
    return bench_report_budget("console page quads", "build", t, "budget (1.5% of a frame)", 0.00025);
}
