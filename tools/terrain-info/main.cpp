// terrain-info: loads a track folder's terrain in a hidden window, with the render mode of the
// settings ("@config"), and prints what it holds; on request the height and normal at a point
// and a check of the stored shading against the shading the terrain computes; edits applied
// after the load (ruts of a synthetic wheel, a run of the earth-moving vehicle), the digest of
// the heights, and a save of the edited track into the home folder.
//
//   terrain-info FOLDER [--height X Z] [--reshade-check] [--ruts X0 Z0 X1 Z1 PASSES]
//                [--dozer MODE SECONDS X Z] [--save] [--digest]   (FOLDER: "@tracks/hillside")
#include <SDL2/SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bike/dozer.h"
#include "bike/physics.h"
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
#include "race/track.h"
#include "terrain/terrain.h"
#include "tools/terrain-info/ruts.h"

struct info_args {
    std::string folder;
    bool height = false;
    float x = 0, z = 0;
    bool reshade_check = false;
    bool ruts = false;
    float ruts_segment[4] = {};
    int ruts_passes = 0;
    bool dozer = false;
    int dozer_mode = 0;
    float dozer_seconds = 0, dozer_x = 0, dozer_z = 0;
    bool save = false;
    bool digest = false;
};

static int usage() {
    fprintf(stderr,
            "usage: terrain-info FOLDER [--height X Z] [--reshade-check] [--ruts X0 Z0 X1 Z1 PASSES]\n"
            "                    [--dozer MODE SECONDS X Z] [--save] [--digest]\n");
    return 2;
}

static bool info_number(const char *text, float *out) {
    char *end;
    *out = strtof(text, &end);
    return end != text && *end == 0 && std::isfinite(*out);
}

static bool info_int(const char *text, int lo, int hi, int *out) {
    char *end;
    long v = strtol(text, &end, 10);
    if (end == text || *end != 0 || v < lo || v > hi) return false;
    *out = (int)v;
    return true;
}

static bool info_parse(int argc, char **argv, info_args *a) {
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--height") == 0) {
            if (i + 2 >= argc || !info_number(argv[i + 1], &a->x) || !info_number(argv[i + 2], &a->z)) return false;
            a->height = true;
            i += 2;
        } else if (strcmp(argv[i], "--ruts") == 0) {
            if (i + 5 >= argc) return false;
            for (int j = 0; j < 4; j++)
                if (!info_number(argv[i + 1 + j], &a->ruts_segment[j])) return false;
            if (!info_int(argv[i + 5], 1, 10000, &a->ruts_passes)) return false;
            a->ruts = true;
            i += 5;
        } else if (strcmp(argv[i], "--dozer") == 0) {
            if (i + 4 >= argc || !info_int(argv[i + 1], 0, 3, &a->dozer_mode) ||
                !info_number(argv[i + 2], &a->dozer_seconds) || !info_number(argv[i + 3], &a->dozer_x) ||
                !info_number(argv[i + 4], &a->dozer_z) || a->dozer_seconds < 0 || a->dozer_seconds > 3600)
                return false;
            a->dozer = true;
            i += 4;
        } else if (strcmp(argv[i], "--save") == 0) {
            a->save = true;
        } else if (strcmp(argv[i], "--digest") == 0) {
            a->digest = true;
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

// The ruts of the synthetic wheel: 1, or 0 when it could not run.
static int info_ruts(const info_args &a) {
    ruts_result r;
    const float *s = a.ruts_segment;
    if (!ruts_run(s[0], s[1], s[2], s[3], a.ruts_passes, &r)) {
        fprintf(stderr, "terrain-info: --ruts could not run (empty segment or no physics)\n");
        return 0;
    }
    double balance = r.dug > 0 ? (r.deposited - r.dug) / r.dug : 0;
    printf("points %d messages %d dug %.4f deposited %.4f balance %.2e deepest %.2f in\n", r.points,
           r.messages, r.dug, r.deposited, balance, r.deepest * 12);
    return 1;
}

// The earth-moving vehicle set down at (x, z) heading -z and driven at about 4 ft/s.
static int info_dozer(const info_args &a) {
    terrain_field *f = terrain_current;
    if (!physics_open()) {
        fprintf(stderr, "terrain-info: --dozer: the physics engine can't start\n");
        return 0;
    }
    dozer *d = dozer_create();
    if (!d) {
        physics_close();
        fprintf(stderr, "terrain-info: --dozer: out of memory\n");
        return 0;
    }
    const float targets[4] = {-0.1f, -0.1f, 0.05f, 0.0f};
    float ground = terrain_height_at(f, a.dozer_x, a.dozer_z);
    dozer_translate(d, a.dozer_x, ground, a.dozer_z);
    dozer_set_mode(d, a.dozer_mode);
    dozer_set_blade_target(d, targets[a.dozer_mode]);
    dozer_drive(d, -4.0f);
    const dReal *start = dBodyGetPosition(dozer_get_chassis(d));
    double sx = start[0], sz = start[2], moved = 0;
    long ticks = lround(a.dozer_seconds * 128.0);
    for (long i = 0; i < ticks; i++) {
        if (!dozer_tick(d, f)) {
            // Tipped over or not finite: set it down again where it stood.
            const dReal *p = dBodyGetPosition(dozer_get_chassis(d));
            double x = std::isfinite(p[0]) ? p[0] : sx, z = std::isfinite(p[2]) ? p[2] : sz;
            moved += sqrt((x - sx) * (x - sx) + (z - sz) * (z - sz));
            printf("tipped over at tick %ld: reset\n", i);
            int mode = d->mode;
            dozer_reset(d);
            dozer_translate(d, (float)x, terrain_height_at(f, (float)x, (float)z), (float)z);
            dozer_set_mode(d, mode);
            dozer_set_blade_target(d, targets[mode]);
            dozer_drive(d, -4.0f);
            sx = x;
            sz = z;
        }
    }
    const dReal *end = dBodyGetPosition(dozer_get_chassis(d));
    moved += sqrt((end[0] - sx) * (end[0] - sx) + (end[2] - sz) * (end[2] - sz));
    double area = (double)f->spacing * f->spacing;
    printf("moved %.1f samples %d cut %.3f filled %.3f tiles %d\n", moved, d->totals.samples,
           d->totals.cut * area, d->totals.filled * area, d->totals.tiles);
    dozer_destroy(d);
    physics_close();
    return 1;
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

static int info_run(const info_args &a) {
    terrain_field *f = terrain_current;
    int code = 0;
    printf("k=%d n=%d spacing=%g extent=%g min=%g max=%g kinds=%d mode=%d no_save=%d\n", f->k, f->n,
           f->spacing, f->extent, f->min_height, f->max_height, f->kind_count, f->render_mode, f->no_save);
    if (a.height) {
        vec3 normal;
        terrain_normal_at(f, a.x, a.z, &normal);
        // (+ 0.0f turns a negative zero into a plain one for printing)
        printf("height=%g normal=%g %g %g kind=%s\n", terrain_height_at(f, a.x, a.z), normal.x + 0.0f,
               normal.y + 0.0f, normal.z + 0.0f, info_kind_name(f, a.x, a.z));
    }
    if (a.ruts && !info_ruts(a)) code = 1;
    if (a.dozer && !info_dozer(a)) code = 1;
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
    if (!vfs_locate_game_data()) {
        fprintf(stderr, "terrain-info: can't find game data (set ZR_HOME)\n");
        return 1;
    }
    vfs_build_index();
    settings_apply_graphics_preset(0);
    track_lighting_reset();
    config_read();
    settings_derive();
    window_context *w = plyx_gl_open("terrain-info", 256, 256, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    if (!w) {
        fprintf(stderr, "terrain-info: %s", plyx_last_error());
        vfs_shutdown();
        return 1;
    }
    SDL_HideWindow(w->window);
    game_window = w;
    startup_graphics();

    const char *name = a.folder.c_str() + (a.folder[0] == '@');
    track_name = util_intern(name);
    track_read_lighting();
    std::string folder = std::string("@") + name;
    int code = 1;
    if (terrain_load(terrain_current, folder.c_str(), track_render_mode()))
        code = info_run(a);
    else
        fprintf(stderr, "terrain-info: can't load the terrain of %s (see the log)\n", folder.c_str());
    terrain_free(terrain_current);
    track_name = nullptr;
    font_free_all();
    tex_purge(1);
    game_window = nullptr;
    plyx_gl_close(w);
    util_intern_free_all();
    vfs_shutdown();
    plyx_log(nullptr);
    plyx_shutdown();
    return code;
}
