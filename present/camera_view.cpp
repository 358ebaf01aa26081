// The views off the bike: a key-frame path, a trackside camera with the race order strip and
// the lap counter over it, or the free camera.
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/globals.h"
#include "core/net_state.h"
#include "core/widget_data.h"
#include "gfx/font.h"
#include "gfx/lines_frame.h"
#include "present/camera.h"
#include "present/camera_strip.h"
#include "present/keycam.h"
#include "present/scene.h"
#include "race/race.h"
#include "race/race_gap.h"
#include "race/timing.h"

// The text cut from its end until it fits the width (font units).
static void cut_to_width(char *text, float width) {
    size_t n = strlen(text);
    while (n > 0 && font_text_width(text) > width) text[--n] = 0;
}

static int slot_valid(int slot) {
    return slot >= 0 && slot < RIDER_SLOTS;
}

static void build_entry(camera_strip_entry &e, const running_order_entry *rows, const int *shown,
                        int index, int running_count) {
    const running_order_entry &row = rows[shown[index]];
    snprintf(e.place, sizeof e.place, "%d", index + 1);
    const char *number = rider_number_text(rider_slot_at(row.slot)), *name = race_rider_names[row.slot];
    snprintf(e.number, sizeof e.number, "%3s", number ? number : "");
    snprintf(e.name, sizeof e.name, "%s", name ? name : "");
    cut_to_width(e.name, CAMERA_STRIP_NAME_BOX - 0.5f);
    e.gap[0] = 0;
    if (index > 0 && running_count > 1) {
        long long gap = race_order_gap(&row, &rows[shown[0]]);
        if (gap < 0) snprintf(e.gap, sizeof e.gap, "%7.3f", race_tick_seconds(-gap));
    }
}

void camera_strip_build(camera_strip_layout *out, double clock_seconds, float width) {
    out->count = 0;
    out->lap_box = LAP_BOX_NONE;
    out->lap_text[0] = 0;
    int count;
    const running_order_entry *rows = race_shown_order(&count);
    // A watcher online sees only the riders that race.
    int watching = net_client.socket >= 0 && !slot_valid(net_client.slot);
    int shown[RIDER_SLOTS], n = 0;
    for (int i = 0; i < count; i++) {
        int slot = rows[i].slot;
        if (!slot_valid(slot) || (watching && rider_status[slot] == 0)) continue;
        shown[n++] = i;
    }
    if (n == 0) return;

    // One entry every 2 s scrolls off to the left; a blank slot follows the last row.
    double s = std::isfinite(clock_seconds) ? clock_seconds / 2 : 0;
    double page = std::floor(s);
    int first = (int)std::fmod(page, (double)(n + 1));
    if (first < 0) first += n + 1;
    float x = (float)((page - s) * CAMERA_STRIP_ENTRY);
    for (int k = first; x <= width && out->count < (int)(sizeof out->entries / sizeof out->entries[0]);
         k = (k + 1) % (n + 1), x += CAMERA_STRIP_ENTRY) {
        camera_strip_entry &e = out->entries[out->count++];
        e = {};
        e.x = x;
        e.blank = k == n;
        if (!e.blank) build_entry(e, rows, shown, k, count);
    }

    // The leader's lap against the final lap.
    long long position = rows[shown[0]].points, lap = 0;
    long long first_lap = timing_gates.first_lap_length, lap_length = timing_gates.lap_length;
    if (lap_length > 0 && position >= first_lap) lap = (position - first_lap) / lap_length + 1;
    long long final_lap = race_state.final_lap;
    out->lap_box = lap < final_lap - 1 ? LAP_BOX_GREEN : lap == final_lap - 1 ? LAP_BOX_WHITE
                                                                              : LAP_BOX_CHEQUERED;
    if (out->lap_box != LAP_BOX_CHEQUERED) snprintf(out->lap_text, sizeof out->lap_text, "Lap %lld", lap + 1);
}

// One quad of a box; called between glBegin(GL_QUADS) and glEnd.
static void box(float r, float g, float b, float x0, float y0, float x1, float y1) {
    glColor4f(r, g, b, 1);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

static void text(float r, float g, float b, float x0, float x1, float y, const char *s) {
    glPushMatrix();
    glTranslatef(0, y, 0);
    font_draw_centered(r, g, b, 1, x0, x1, s);
    glPopMatrix();
}

// The boxes of every entry in one batch, then the texts over them: a black box from a line
// below to a line above, the place in white, the number and the name in black on white boxes
// (a black bar between them), the gap below.
static void draw_entries(const camera_strip_layout *layout) {
    const float w = CAMERA_STRIP_ENTRY;
    glBegin(GL_QUADS);
    for (int i = 0; i < layout->count; i++) {
        const camera_strip_entry &e = layout->entries[i];
        box(0, 0, 0, e.x, -1, e.x + w, 2);
        if (e.blank) continue;
        box(1, 1, 1, e.x + 3, 0, e.x + 6, 1);
        box(1, 1, 1, e.x + 6.5f, 0, e.x + w, 1);
    }
    glEnd();
    for (int i = 0; i < layout->count; i++) {
        const camera_strip_entry &e = layout->entries[i];
        if (e.blank) continue;
        glPushMatrix();
        glTranslatef(e.x, 0, 0);
        text(1, 1, 1, 0, 3, 0, e.place);
        text(0, 0, 0, 3, 6, 0, e.number);
        glPushMatrix();
        glTranslatef(6.75f, 0, 0);
        font_draw_color(0, 0, 0, 1, e.name);
        glPopMatrix();
        if (e.gap[0]) text(1, 1, 1, 3, 6.5f + CAMERA_STRIP_NAME_BOX / 2, -1, e.gap);
        glPopMatrix();
    }
}

// The lap box, 5 by 1 under the strip's right end.
static void draw_lap_box(const camera_strip_layout *layout, float width) {
    glTranslatef(width - 5, -1.0f, 0);
    glBegin(GL_QUADS);
    if (layout->lap_box == LAP_BOX_CHEQUERED) {
        box(1, 1, 1, 0, 0, 5, 1);
        for (int k = 0; k < 4; k++) {
            float y0 = k % 2 ? 0 : 0.5f;
            box(0, 0, 0, 1.25f * k, y0, 1.25f * (k + 1), y0 + 0.5f);
        }
    } else {
        float r = layout->lap_box == LAP_BOX_WHITE ? 1.0f : 0.0f;
        box(r, 1, r, 0, 0, 5, 1);
    }
    glEnd();
    if (layout->lap_box != LAP_BOX_CHEQUERED) text(0, 0, 0, 0, 5, 0, layout->lap_text);
}

void camera_strip_draw(const camera_strip_layout *layout, float width) {
    if (layout->count <= 0) return;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    widget_push_lines_frame(CAMERA_STRIP_LINES);
    glTranslatef(0, -0.25f, 0);
    draw_entries(layout);
    // Font drawing turns texturing and blending on.
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    if (layout->lap_box != LAP_BOX_NONE) draw_lap_box(layout, width);
    widget_pop_frame();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}

void scene_draw_camera_view() {
    // Cameras off the bike stand still for the listener.
    for (float &v : scene_viewer.velocity) v = 0;
    float eye[3], rotation[9], fov;
    if (keycam_mode && !camera_keys.empty() &&
        keycam_view(race_state.current_tick, eye, rotation, &fov)) {
        scene_draw(eye, rotation, fov, -1);
        return;
    }
    const camera *c = camera_in_use();
    eye[0] = c->x;
    eye[1] = c->y;
    eye[2] = c->z;
    camera_matrix_from_angles(rotation, c->pitch, c->yaw);
    scene_draw(eye, rotation, c->fov, -1);
    if (c == &free_camera) return;
    float width = view_state.half_y > 0 ? CAMERA_STRIP_LINES * view_state.half_x / view_state.half_y : 0;
    static camera_strip_layout layout;
    camera_strip_build(&layout, frame_clock, width);
    camera_strip_draw(&layout, width);
}
