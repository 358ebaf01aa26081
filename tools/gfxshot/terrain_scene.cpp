// gfxshot's terrain scene: the track loaded as the race loads it, drawn through scene_draw
// frame after frame until every ground texture in view is composed; edits of the ground (ruts,
// the earth-moving vehicle) are applied between the load and the first frame.
#include "tools/gfxshot/terrain_scene.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>

#include "core/settings.h"
#include "core/util.h"
#include "present/scene.h"
#include "race/track.h"
#include "terrain/decal.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"
#include "ui/widget.h"

namespace {
struct v3 {
    double x, y, z;
};
v3 sub(v3 a, v3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
v3 cross(v3 a, v3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
v3 unit(v3 a) {
    double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return l > 0 ? v3{a.x / l, a.y / l, a.z / l} : a;
}
}  // namespace

// The camera's rotation (row-major; columns right, up, back) from its back and up axes.
static void shot_rotation(v3 back, v3 up, float r[9]) {
    back = unit(back);
    v3 right = unit(cross(up, back));
    if (!(right.x * right.x + right.y * right.y + right.z * right.z > 0.5)) right = {1, 0, 0};
    up = cross(back, right);
    const v3 columns[3] = {right, up, back};
    for (int c = 0; c < 3; c++) {
        r[c] = (float)columns[c].x;
        r[3 + c] = (float)columns[c].y;
        r[6 + c] = (float)columns[c].z;
    }
}

// 1 when every slot in view (levels finest..5) is ready and nothing is stale.
static int shot_settled(const terrain_field *f) {
    if (terrain_texture_age(f) != 0) return 0;
    for (int e = tile_finest_level(); e <= 5; e++)
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++) {
                int count = 1 << (f->k - e);
                if (f->slot_origin[e][0] + c >= count || f->slot_origin[e][1] + r >= count) continue;
                if (!f->slot_ready[e][r][c]) return 0;
            }
    return 1;
}

int shot_terrain(const terrain_shot &shot, int width, int height) {
    std::string name = shot.track[0] == '@' ? shot.track.substr(1) : shot.track;
    track_name = util_intern(name.c_str());
    if (!track_load()) {
        fprintf(stderr, "gfxshot: can't load track %s\n", shot.track.c_str());
        return 0;
    }
    if (!edits_apply(shot.edits, "gfxshot")) return 0;
    terrain_field *f = terrain_current;
    float r[9];
    float eye[3];
    if (shot.above_decal >= 0) {
        if (!f->decals.items || shot.above_decal >= f->decals.count) {
            fprintf(stderr, "gfxshot: the track has no decal %d\n", shot.above_decal);
            return 0;
        }
        const decal &d = *decal_at(f, shot.above_decal);
        eye[0] = d.x;
        eye[2] = d.z;
        eye[1] = terrain_height_at(f, d.x, d.z) + (float)shot.above_height;
        // Straight down, the top of the picture along the decal's own z axis.
        shot_rotation({0, 1, 0}, {d.sin, 0, d.cos}, r);
    } else {
        double e = f->extent;
        v3 look = shot.look_given ? v3{shot.look[0], shot.look[1], shot.look[2]}
                                  : v3{e / 2, terrain_height_at(f, (float)(e / 2), (float)(e / 2)), e / 2};
        v3 from = shot.eye_given ? v3{shot.eye[0], shot.eye[1], shot.eye[2]}
                                 : v3{0.02 * e, f->max_height + 0.3 * e, 0.02 * e};
        for (int i = 0; i < 3; i++) eye[i] = (float)(i == 0 ? from.x : i == 1 ? from.y : from.z);
        shot_rotation(sub(from, look), {0, 1, 0}, r);
    }
    view_state.width = width;
    view_state.height = height;
    int frames = 0, decals = 0, limit = shot.frames > 0 ? shot.frames : 300;
    glClearColor(0.55f, 0.7f, 0.85f, 1);
    for (; frames < limit; frames++) {
        scene_draw(eye, r, (float)settings.fov.value, -1);
        decals += f->decals_drawn;
        terrain_update_frame_field(f, 0);
        if (shot.frames == 0 && shot_settled(f)) {
            frames++;
            break;
        }
    }
    printf("frames=%d\n", frames);
    printf("mode=%d extra_maps=%d size=%d vertices=%d decals=%d age=%d pending=%d\n", f->render_mode,
           f->extra_maps, f->ground_texture_size, f->vertices_drawn, decals, terrain_texture_age(f),
           terrain_count_pending_reshades(f));
    return 1;
}
