// The HUD's track map with every rider's mark and the viewed rider's arrow, and the race's
// title at its start.
#include <cmath>
#include <cstdio>

#include "present/hud.h"
#include "race/race.h"
#include "race/timing.h"

float hud_arrow_direction[160][2];
static int arrow_known[160];

static const float white[4] = {1, 1, 1, 1};

// The slot's arrow direction on the ground (x, z), unit length: the frame's backward axis
// projected, or the last one while that is too short (+z before any).
static void arrow_direction(int slot, const float back[3], float out[2]) {
    float x = back[0], z = back[2];
    float length = std::sqrt(x * x + z * z);
    if (std::isfinite(length) && length >= 1e-6f) {
        hud_arrow_direction[slot][0] = x / length;
        hud_arrow_direction[slot][1] = z / length;
        arrow_known[slot] = 1;
    } else if (!arrow_known[slot]) {
        hud_arrow_direction[slot][0] = 0;
        hud_arrow_direction[slot][1] = 1;
    }
    out[0] = hud_arrow_direction[slot][0];
    out[1] = hud_arrow_direction[slot][1];
}

// A square mark of half-size h at map point (u, v) (v along world z, drawn downward).
static void mark(hud_draw_list *list, const hud_frame &frame, float u, float v, float h,
                 const float colour[4]) {
    hud_add_box(list, frame, u - h, -v - h, u + h, -v + h, colour);
    list->items.back().blend = 0;
}

static void arrow(hud_draw_list *list, const hud_frame &frame, const hud_snapshot &snap) {
    const hud_slot_view &v = snap.slots[snap.slot];
    float d[2];
    arrow_direction(snap.slot, v.back, d);
    float u = v.x / snap.terrain_extent, w = v.z / snap.terrain_extent;
    float k = 3.0f / (128 * snap.map_scale), e = 3.0f / (256 * snap.map_scale);
    const float shapes[2][6][2] = {
        {{0, -(k + e)}, {-(k + e), k + e}, {k + e, k + e}, {0, -(k + e)}, {-k / 2 - e, 2 * k + e}, {k / 2 + e, 2 * k + e}},
        {{0, -k}, {-k, k}, {k, k}, {0, -k}, {-k / 2, 2 * k}, {k / 2, 2 * k}}};
    const float colours[2][4] = {{0, 0, 0, 1}, {1, 0, 0, 1}};
    for (int s = 0; s < 2; s++) {
        hud_vertex t[6];
        for (int i = 0; i < 6; i++) {
            float lx = shapes[s][i][0], lz = shapes[s][i][1];
            // Local z along the backward direction, local x at right angles to it.
            float mx = u + lx * d[1] + lz * d[0], mz = w - lx * d[0] + lz * d[1];
            t[i] = {mx, -mz, 0, 0, {colours[s][0], colours[s][1], colours[s][2], colours[s][3]}};
        }
        hud_add_triangles(list, frame, 0, 0, t, 6);
    }
}

void hud_build_map(hud_draw_list *list, const hud_snapshot &snap) {
    if (!snap.map_texture) return;
    float scale = std::isfinite(snap.map_scale) && snap.map_scale > 0 ? snap.map_scale : 1;
    hud_snapshot s = snap;
    s.map_scale = scale;
    float m = scale * snap.half_y * 0.4668050f;
    hud_frame frame = {snap.half_x - m, snap.half_y, m};
    hud_add_quad(list, frame, snap.map_texture, 0, -1, 1, 0, 0, 1, 1, 0, white);
    float extent = snap.terrain_extent;
    if (!(extent > 0) || !std::isfinite(extent)) return;
    const float black[4] = {0, 0, 0, 1};
    float big = 1.0f / (64 * scale), small = 1.0f / (128 * scale);
    for (int i = 0; i < 160; i++) {
        const hud_slot_view &v = snap.slots[i];
        if (!v.present || race_rider_is_ghost(i)) continue;
        mark(list, frame, v.x / extent, v.z / extent, big, black);
    }
    int n = race_state.running_count < 0 ? 0 : race_state.running_count > 160 ? 160 : race_state.running_count;
    for (int k = n - 1; k >= 0; k--) {
        int slot = race_state.running_order[k].slot;
        if (slot < 0 || slot >= 160) continue;
        const hud_slot_view &v = snap.slots[slot];
        const float grey[4] = {0.25f, 0.25f, 0.25f, 1}, green[4] = {0, 1, 0, 1};
        const float *c = rider_check_finished(slot) ? grey : k == 0 ? green : white;
        mark(list, frame, v.x / extent, v.z / extent, small, c);
    }
    if (snap.has_rider && snap.slot >= 0 && snap.slot < 160) arrow(list, frame, s);
}

void hud_build_title(hud_draw_list *list, const hud_snapshot &snap) {
    float time = (float)((race_state.current_tick) * (double)HUD_TICK);
    if (!(time < 3)) return;
    float alpha = 3 - time;
    alpha = alpha < 0 ? 0 : alpha > 1 ? 1 : alpha;
    const float colour[4] = {1, 1, 1, alpha};
    hud_frame centre = {0, 0, 0.1f};
    if (snap.title) {
        hud_add_text(list, centre, -10, 0, 1, colour, HUD_ALIGN_CENTRE, 10, 1, snap.title);
        return;
    }
    if (snap.track_title) hud_add_text(list, centre, -10, 0, 1, colour, HUD_ALIGN_CENTRE, 10, 1, snap.track_title);
    char length[128];
    hud_format_race_length(length, sizeof length);
    hud_add_text(list, centre, -10, -1, 1, colour, HUD_ALIGN_CENTRE, 10, 1, length);
}
