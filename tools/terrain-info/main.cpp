// terrain-info: loads a track folder's terrain in a hidden window, with the render mode of the
// settings ("@config"), and prints what it holds; on request the height and normal at a point
// and a check of the stored shading against the shading the terrain computes; edits applied
// after the load (ruts of a synthetic wheel, a run of the earth-moving vehicle), the digest of
// the heights, and a save of the edited track into the home folder. With --objects the whole
// track loads as a race loads it, and its trackside objects and hash are counted.
//
//   terrain-info FOLDER [--height X Z] [--reshade-check] [--ruts X0 Z0 X1 Z1 PASSES]
//                [--dozer MODE SECONDS X Z] [--save] [--digest] [--objects]
//                (FOLDER: "@tracks/hillside")
#include <SDL2/SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/folders.h"
#include "core/globals.h"
#include "core/settings.h"
#include "core/util.h"
#include "core/vfs.h"
#include "game/config.h"
#include "game/entry.h"
#include "game/settings_table.h"
#include "gfx/font.h"
#include "gfx/texture.h"
#include "platform/plyx.h"
#include "present/scene.h"
#include "race/contacts.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/particles.h"
#include "race/track.h"
#include "race/track_hash.h"
#include "terrain/terrain.h"
#include "tools/terrain-info/edits.h"
#include "tools/terrain-info/ruts.h"
#include "tools/tool_window.h"

struct info_args {
    std::string folder;
    bool height = false;
    float x = 0, z = 0;
    bool reshade_check = false;
    terrain_edits edits;
    bool save = false;
    bool digest = false;
    bool objects = false;
};

static int usage() {
    fprintf(stderr,
            "usage: terrain-info FOLDER [--height X Z] [--reshade-check] [--ruts X0 Z0 X1 Z1 PASSES]\n"
            "                    [--dozer MODE SECONDS X Z] [--save] [--digest] [--objects]\n");
    return 2;
}

static bool info_parse(int argc, char **argv, info_args *a) {
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--height") == 0) {
            if (i + 2 >= argc || !edits_number(argv[i + 1], &a->x) || !edits_number(argv[i + 2], &a->z)) return false;
            a->height = true;
            i += 2;
        } else if (int taken = edits_parse(argc, argv, &i, &a->edits)) {
            if (taken < 0) return false;
        } else if (strcmp(argv[i], "--save") == 0) {
            a->save = true;
        } else if (strcmp(argv[i], "--digest") == 0) {
            a->digest = true;
        } else if (strcmp(argv[i], "--objects") == 0) {
            a->objects = true;
        } else if (strcmp(argv[i], "--reshade-check") == 0) {
            a->reshade_check = true;
        } else if (argv[i][0] == '-' || !a->folder.empty()) {
            return false;
        } else {
            a->folder = argv[i];
        }
    }
    return !a->folder.empty();
}

// The samples whose stored shading differs from what the terrain computes now.
static long info_reshade_differences(terrain_field *f) {
    long differ = 0;
    for (int z = 0; z < f->n; z++)
        for (int x = 0; x < f->n; x++) {
            unsigned char rgb[3];
            terrain_shade_sample(f, x, z, rgb);
            if (memcmp(rgb, f->shading + 3 * (x + (size_t)f->n * z), 3) != 0) differ++;
        }
    return differ;
}

static void info_digest(const terrain_field *f) {
    char hex[41];
    ruts_heights_digest(f, hex);
    printf("digest %s\n", hex);
}

// The name of the tile kind under a world point ("" without a tile map).
static const char *info_kind_name(const terrain_field *f, float x, float z) {
    if (!f->tile_map) return "";
    int q = 1 << f->k;
    double size = 2.0 * f->spacing;
    double c = floor(x / size), r = floor(z / size);
    int col = (int)(c < 0 ? 0 : c > q - 1 ? q - 1 : c), row = (int)(r < 0 ? 0 : r > q - 1 ? q - 1 : r);
    return f->kinds[f->tile_map[col + (size_t)q * row]].name;
}

// The trackside objects of a track loaded whole, and its hash.
static void info_objects() {
    const flagger_setup &f = track_flagger_setup;
    int flaggers = (f.start_billboard >= 0) + (f.lap_billboard >= 0) + track_flaggers.count;
    int sky = track_lighting.sky_env != 0;
    for (uint32_t face : track_lighting.sky) sky += face != 0;
    int grid_max = 0;
    for (auto &row : statue_grid)
        for (const growable_array &bucket : row) grid_max = bucket.count > grid_max ? bucket.count : grid_max;
    int particles = 0;
    for (int i = 0; i < PARTICLE_COUNT; i++) particles += particle_pool[i].billboard >= 0;
    printf("statues=%d arms=%d billboards=%d particles=%d flaggers=%d cameras=%d flares=%d fog=%g near=%g "
           "far=%g sky=%d grid_max=%d\n",
           track_statues.count - track_first_file_statue, track_first_file_statue,
           track_billboards.count - track_first_file_billboard, particles, flaggers, camera_trackside_count(),
           scene_flares.count, track_lighting.fog_density, track_lighting.near_plane, track_lighting.far_plane,
           sky, grid_max);
    char hex[41];
    for (int i = 0; i < 20; i++) snprintf(hex + 2 * i, 3, "%02x", track_hash[i]);
    printf("hash=%s\n", hex);
}

static int info_run(const info_args &a) {
    terrain_field *f = terrain_current;
    int code = 0;
    printf("k=%d n=%d spacing=%g extent=%g min=%g max=%g kinds=%d mode=%d no_save=%d\n", f->k, f->n,
           f->spacing, f->extent, f->min_height, f->max_height, f->kind_count, f->render_mode, f->no_save);
    if (a.objects) info_objects();
    if (a.height) {
        vec3 normal;
        terrain_normal_at(f, a.x, a.z, &normal);
        // (+ 0.0f turns a negative zero into a plain one for printing)
        printf("height=%g normal=%g %g %g kind=%s\n", terrain_height_at(f, a.x, a.z), normal.x + 0.0f,
               normal.y + 0.0f, normal.z + 0.0f, info_kind_name(f, a.x, a.z));
    }
    if (!edits_apply(a.edits, "terrain-info")) code = 1;
    if (a.digest) info_digest(f);
    if (a.save) {
        if (terrain_save(f)) {
            printf("Saved\n");
        } else {
            fprintf(stderr, "terrain-info: the save failed (see the log)\n");
            code = 1;
        }
    }
    if (a.reshade_check) {
        long differ = info_reshade_differences(f);
        if (differ == 0) {
            printf("shading matches\n");
        } else {
            printf("%ld samples differ\n", differ);
            code = 1;
        }
    }
    return code;
}

int main(int argc, char **argv) {
    info_args a;
    if (!info_parse(argc, argv, &a)) return usage();
    window_context *w = tool_window_open("terrain-info", 256, 256);
    if (!w) return 1;

    const char *name = a.folder.c_str() + (a.folder[0] == '@');
    track_name = util_intern(name);
    std::string folder = std::string("@") + name;
    int code = 1;
    if (a.objects) {
        track_lists_create();
        scene_lists_create();
        if (track_load())
            code = info_run(a);
        else
            fprintf(stderr, "terrain-info: can't load the track %s (see the log)\n", folder.c_str());
        if (track_name) track_unload();
        scene_lists_free();
        track_lists_free();
    } else {
        track_read_lighting();
        if (terrain_load(terrain_current, folder.c_str(), track_render_mode()))
            code = info_run(a);
        else
            fprintf(stderr, "terrain-info: can't load the terrain of %s (see the log)\n", folder.c_str());
        terrain_free(terrain_current);
    }
    track_name = nullptr;
    tool_window_close(w);
    return code;
}
