// The HUD's gauges: suspension graphs, the tachometer with the gear and the lean indicator.
#include <cmath>

#include "present/hud.h"
#include "race/race.h"

static const float white[4] = {1, 1, 1, 1};
static const float green[4] = {0, 1, 0, 1};
static const float red[4] = {1, 0, 0, 1};

void hud_fill_ring_band(hud_draw_list *list, const hud_frame &frame, float from, float to,
                        float inner, float outer, const float inner_colour[4],
                        const float outer_colour[4]) {
    if (!std::isfinite(from) || !std::isfinite(to)) return;
    int n = (int)std::floor(std::fabs(to - from) * 31.0f / (float)M_PI);
    if (n > 1000) n = 1000;
    hud_begin(list, HUD_QUAD_STRIP, frame, 1);
    for (int i = 0; i <= n + 1; i++) {
        float t = from + (to - from) * (float)i / (float)(n + 1);
        float s = std::sin(t), c = std::cos(t);
        hud_add_vertex(list, inner * s, inner * c, inner_colour);
        hud_add_vertex(list, outer * s, outer * c, outer_colour);
    }
}

// One trace of a ring centred at (cx, cy): oldest sample first from the head; flat at 0 while
// the graph has no samples (the head still at 1024).
static void graph_trace(hud_draw_list *list, const hud_frame &frame, float cx, float cy,
                        const float *values, const float *weights, const float a[4],
                        const float b[4], float scale) {
    const int count = 1024;
    int head = suspension_graph.index;
    bool started = head >= 0 && head < count;
    hud_begin(list, HUD_LINE_STRIP, frame, 1);
    for (int i = 0; i < count; i++) {
        int k = started ? (head + i) % count : 0;
        float v = started ? scale * values[k] : 0;
        v = std::isfinite(v) ? (v < -1 ? -1 : v > 1 ? 1 : v) : 0;
        float c[4] = {a[0], a[1], a[2], a[3]};
        if (weights) {
            float w = started ? weights[k] : 0;
            if (!std::isfinite(w)) w = 0;
            for (int j = 0; j < 4; j++) c[j] = a[j] + (b[j] - a[j]) * w;
        }
        hud_add_vertex(list, cx + 2.0f * (float)i / count - 1, cy + v, c);
    }
}

static void graph_frame(hud_draw_list *list, const hud_frame &frame, float cx, float cy) {
    hud_begin(list, HUD_LINE_STRIP, frame, 1);
    const float square[5][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {-1, -1}};
    for (auto &p : square) hud_add_vertex(list, cx + p[0], cy + p[1], white);
    hud_begin(list, HUD_LINES, frame, 1);
    hud_add_vertex(list, cx - 1, cy, white);
    hud_add_vertex(list, cx + 1, cy, white);
}

static void telemetry(hud_draw_list *list, const hud_frame &frame) {
    const suspension_graph_record &g = suspension_graph;
    // Swingarm (rings 3..5) at (-4, 1), fork (rings 0..2) at (-7, 1).
    graph_frame(list, frame, -4, 1);
    graph_trace(list, frame, -4, 1, g.rings[3], nullptr, white, white, 1);
    graph_trace(list, frame, -4, 1, g.rings[4], g.rings[5], green, red, -1);
    graph_frame(list, frame, -7, 1);
    graph_trace(list, frame, -7, 1, g.rings[0], nullptr, white, white, 1);
    graph_trace(list, frame, -7, 1, g.rings[1], g.rings[2], green, red, -0.25f);
    const float line = 1.0f / 12;
    const char *labels[2][3] = {{" Fork Position", " Fork Speed (High)", " Fork Speed (Low)"},
                                {" Swingarm Position", " Shock Speed (High)", " Shock Speed (Low)"}};
    const float *colours[3] = {white, green, red};
    for (int graph = 0; graph < 2; graph++)
        for (int k = 0; k < 3; k++)
            hud_add_text(list, frame, graph == 0 ? -6.0f : -3.0f, 2 - (2 + 2 * k) * line, line,
                         colours[k], HUD_ALIGN_LEFT, 0, 0, labels[graph][k]);
}

// The needle turned clockwise by its angle about the dial centre.
static void needle(hud_draw_list *list, const hud_frame &frame, float rpm) {
    float r = std::isfinite(rpm) ? rpm : 0;
    float angle = (r * 0.000046875f - 0.375f) * 2.0f * (float)M_PI;
    float s = std::sin(angle), c = std::cos(angle);
    const float points[3][2] = {{0, 0.75f}, {-0.1f, 0.25f}, {0.1f, 0.25f}};
    hud_vertex v[3];
    for (int i = 0; i < 3; i++) {
        float x = points[i][0], y = points[i][1];
        v[i] = {-1 + x * c + y * s, 1 - x * s + y * c, 0, 0, {0.75f, 0, 0, 1}};
    }
    hud_add_triangles(list, frame, 0, 0, v, 3);
}

static void lean_indicator(hud_draw_list *list, const hud_snapshot &snap) {
    float a = snap.lean;
    if (!std::isfinite(a)) return;
    hud_frame centre = {0, 0, 0.9336101f * snap.half_y};
    bool over = std::fabs(a) > (float)M_PI / 5;
    const float inner[4] = {over ? 1.0f : 0.0f, 0, 0, 0};
    const float outer[4] = {over ? 1.0f : 0.0f, 0, 0, 0.25f};
    const float half = (float)M_PI / 2;
    if (a >= 0)
        hud_fill_ring_band(list, centre, a - half, -half, 0.5f, 1, inner, outer);
    else
        hud_fill_ring_band(list, centre, half, a + half, 0.5f, 1, inner, outer);
}

void hud_build_gauges(hud_draw_list *list, const hud_snapshot &snap) {
    hud_frame corner = {snap.half_x, -snap.half_y, 0.2334025f * snap.half_y};
    if (snap.graph_on) telemetry(list, corner);
    hud_add_quad(list, corner, hud_images.tach, -2, 0, 0, 2, 0, 1, 1, 0, white);
    needle(list, corner, snap.rpm);
    int g = ((snap.gear % 9) + 9) % 9;
    float column = (float)(g % 3), row = (float)(g / 3 % 3);
    hud_add_quad(list, corner, hud_images.shifter, -1 - 1.0f / 3, 1 - 1.0f / 3, -1 + 1.0f / 3,
                 1 + 1.0f / 3, column / 3, (row + 1) / 3, (column + 1) / 3, row / 3, white);
    hud_build_rider_panel(list, snap);
    if (snap.watched_name && snap.watched_name[0] && snap.half_y > 0) {
        float a = 2.0f * snap.half_y / 30;
        hud_frame lines = {-snap.half_x, snap.half_y - a - 28 * a, a};
        hud_add_text(list, lines, 0, 0, 1, white, HUD_ALIGN_CENTRE, 30 * snap.half_x / snap.half_y, 1,
                     snap.watched_name);
    }
    if (snap.lean_indicator) lean_indicator(list, snap);
}
