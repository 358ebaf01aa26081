// The HUD: the snapshot of a frame, the elements built into one draw list and its drawing.
#include "present/hud.h"

#include <cmath>
#include <cstring>

#include "bike/rider.h"
#include "core/net_state.h"
#include "core/settings.h"
#include "gfx/texture.h"
#include "present/scene.h"
#include "race/race.h"
#include "race/series.h"
#include "race/track.h"
#include "race/track_hash.h"
#include "terrain/erode.h"
#include "terrain/terrain.h"

hud_image_set hud_images = {0, 0, 0};

void hud_load_images() {
    hud_images.tach = tex_load("!@tach.png");
    hud_images.shifter = tex_load("!@shifter.png");
    hud_images.pitboard = tex_load("!@pitboard.png");
}

// The tilt of the ground under the frame against the frame's own up: atan2 of the ground
// normal's x and y in the frame's coordinates.
static float lean_angle(dBodyID body) {
    const terrain_field *f = terrain_current;
    if (!f || !f->heights) return 0;
    const dReal *p = dBodyGetPosition(body);
    const dReal *r = dBodyGetRotation(body);
    vec3 n;
    terrain_normal_at(f, (float)p[0], (float)p[2], &n);
    // The frame's axes are the rotation's columns; the normal in them is the transpose applied.
    double x = r[0] * n.x + r[4] * n.y + r[8] * n.z;
    double y = r[1] * n.x + r[5] * n.y + r[9] * n.z;
    float a = (float)std::atan2(x, y);
    return std::isfinite(a) ? a : 0;
}

static int reshades_pending(const terrain_field *f) {
    if (!f || !f->reshade_pending || f->m <= 0) return 0;
    int n = 0, bits = f->m * f->m;
    for (int i = 0; i < bits; i++) n += (f->reshade_pending[i >> 3] >> (i & 7)) & 1;
    return n;
}

void hud_take_snapshot(hud_snapshot *snap, int slot) {
    memset(snap, 0, sizeof *snap);
    snap->half_x = view_state.half_x;
    snap->half_y = view_state.half_y;
    snap->slot = slot;
    for (int i = 0; i < RIDER_SLOTS; i++) {
        if (!rider_has_bike(i)) continue;
        dBodyID body = bike_frame_body(rider_slot_at(i));
        const dReal *p = dBodyGetPosition(body);
        const dReal *r = dBodyGetRotation(body);
        hud_slot_view &v = snap->slots[i];
        v.present = 1;
        v.x = (float)p[0];
        v.z = (float)p[2];
        v.back[0] = (float)r[2];
        v.back[1] = (float)r[6];
        v.back[2] = (float)r[10];
    }
    if (rider_has_bike(slot)) {
        const rider_slot *s = rider_slot_at(slot);
        dBodyID body = bike_frame_body(s);
        snap->has_rider = 1;
        snap->rpm = s->engine_speed * RIDER_RPM_PER_RAD_S;
        snap->gear = rider_get_gear(s);
        snap->lean = lean_angle(body);
        const dReal *v = dBodyGetLinearVel(body);
        snap->speed = (float)std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (rider_status[slot] == 1) snap->watched_name = race_rider_names[slot];
        snap->dabbing = race_sticky_dab_held(slot);
    }
    snap->lean_indicator = strcmp(choice_text(&settings.lean_indicator), "Yes") == 0;
    snap->graph_on = suspension_graph_on;
    const terrain_field *f = terrain_current;
    snap->terrain_extent = f && f->heights ? f->extent : 0;
    snap->map_texture = track_map_texture;
    snap->map_scale = settings.map_scale;
    const series_list_record &sl = series_list;
    if (sl.current >= 0 && sl.current < sl.count && sl.items) {
        const series_record &sr = sl.items[sl.current];
        if (sl.current_event >= 0 && sl.current_event < sr.event_count && sr.events)
            snap->title = sr.events[sl.current_event].name;
    }
    snap->track_title = track_description;
    snap->draw_fps = settings.draw_fps;
    snap->draw_time = settings.draw_time;
    snap->draw_ping = settings.draw_ping;
    snap->draw_speed = settings.draw_speed;
    snap->draw_render_stats = game_settings.draw_render_stats;
    snap->online = net_client.socket >= 0;
    snap->client_slot = net_client.slot;
    snap->server_tick = net_client.server_tick;
    int stats[9] = {f ? f->vertices_drawn : 0, render_stats.triangles, render_stats.billboards,
                    f ? f->decals_drawn : 0, render_stats.texture_binds, render_stats.program_switches,
                    f ? f->texture_update_counter : 0, reshades_pending(f), erode_queue_count()};
    memcpy(snap->stats, stats, sizeof stats);
}

void hud_build(hud_draw_list *list, const hud_snapshot &snap) {
    if (snap.has_rider) hud_build_gauges(list, snap);
    hud_build_map(list, snap);
    hud_build_title(list, snap);
}

void hud_draw(int viewed_slot) {
    static hud_snapshot snap;
    static hud_draw_list list;
    hud_take_snapshot(&snap, viewed_slot);
    hud_list_clear(&list);
    hud_build(&list, snap);
    hud_submit(&list);
}

void hud_draw_info(int viewed_slot) {
    static hud_snapshot snap;
    static hud_draw_list list;
    hud_take_snapshot(&snap, viewed_slot);
    snap.longest_frame = hud_take_frame_time();
    hud_list_clear(&list);
    hud_build_info(&list, snap);
    hud_submit(&list);
}
