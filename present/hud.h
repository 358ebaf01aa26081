// The HUD over the race view, and the information and results board. Each element is a pure
// function from the race (its tables) and a snapshot of what the frame shows into a draw list;
// hud_draw and hud_draw_info take the snapshot and submit the list.
#pragma once

#include <cstdint>

#include "present/hud_list.h"

// The HUD's images (texture names, 0 when missing).
struct hud_image_set {
    uint32_t tach, shifter, pitboard;
};

extern hud_image_set hud_images;

// What the map knows of one slot.
struct hud_slot_view {
    int present;          // the slot holds a rider
    float x, z;           // its frame's position
    float back[3];        // its frame's backward axis in the world
};

// What one frame of the HUD shows besides the race's own tables.
struct hud_snapshot {
    float half_x, half_y;          // view half-extents at unit depth
    int slot;                      // the viewed slot
    int has_rider;                 // the viewed slot holds a rider
    float rpm;
    int gear;                      // 0 = first gear
    float lean;                    // the ground's tilt against the bike's lean, radians
    float speed;                   // ft/s of the frame body
    int lean_indicator;            // "Lean Indicator" is "Yes"
    int graph_on;                  // the suspension graphs
    const char *watched_name;      // display name of the remote rider watched, or null
    hud_slot_view slots[160];
    float terrain_extent;          // 0: no terrain
    uint32_t map_texture;
    float map_scale;
    const char *title;             // the series event's title, or null
    const char *track_title;       // the track's long name, or null
    // The information lines.
    double longest_frame;          // seconds since the last reading
    int draw_fps, draw_time, draw_ping, draw_speed, draw_render_stats;
    int online, client_slot, ping_ticks, server_tick;
    int dabbing;                   // "Sticky Sit/Dab" is "Yes" and the dab is held
    int stats[9];                  // ground, model polygons, billboards, decals, texture and
                                   // shader changes; texture age, reshades, erode buffered
};

// Running maxima of the first six statistics, kept across frames.
extern int hud_stat_maxima[6];
// The map arrow's last direction per slot (x, z): kept while the bike stands on its nose or
// tail.
extern float hud_arrow_direction[160][2];
// The frame loop's longest and shortest frame times (seconds), set by start-up; null: none.
struct hud_frame_time_record {
    double *longest, *shortest;
};
extern hud_frame_time_record hud_frame_times;
// The longest frame time since the last call (0 without the frame loop's record); the
// extremes then start again (longest 0, shortest 1 s).
double hud_take_frame_time();
// The frame of widget_push_lines_frame: n text lines a screen height, origin at the left edge
// one line below the top.
hud_frame hud_lines_frame(const hud_snapshot &snap, int n);

// Loads "!@tach.png", "!@shifter.png" and "!@pitboard.png".
void hud_load_images();
void hud_draw(int viewed_slot);
void hud_draw_info(int viewed_slot);
// The snapshot of the frame for the slot (from the bikes, settings and view).
void hud_take_snapshot(hud_snapshot *snap, int viewed_slot);

// The elements, each appended to the list.
void hud_build(hud_draw_list *list, const hud_snapshot &snap);
void hud_build_info(hud_draw_list *list, const hud_snapshot &snap);
void hud_build_rider_panel(hud_draw_list *list, const hud_snapshot &snap);
void hud_build_gauges(hud_draw_list *list, const hud_snapshot &snap);
void hud_build_map(hud_draw_list *list, const hud_snapshot &snap);
void hud_build_title(hud_draw_list *list, const hud_snapshot &snap);
// The banner's text for the slot (" %.5s (%.1f) " per rider about to lap it), at most 1023
// characters.
void hud_banner_text(int slot, char out[1024]);
// The pit board's gap in ticks for the slot's row of the running order.
long long hud_slot_gap(int slot);
// The race length text: "%d laps", "%d minutes + %d laps" or "%d minutes". Returns its length.
int hud_format_race_length(char *text, int size);
// A band of a ring as a quad strip (angles clockwise from straight up).
void hud_fill_ring_band(hud_draw_list *list, const hud_frame &frame, float from, float to,
                        float inner, float outer, const float inner_colour[4],
                        const float outer_colour[4]);
// The information lines and the results board; the frame time is read (and reset) once.
void hud_build_board(hud_draw_list *list, const hud_snapshot &snap, float *info_x);

constexpr float HUD_TICK = 1.0f / 128.0f;
