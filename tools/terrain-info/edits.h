// Terrain edits applied after a track loads, shared by terrain-info and gfxshot: ruts of the
// synthetic wheel (--ruts X0 Z0 X1 Z1 PASSES) and a run of the earth-moving vehicle
// (--dozer MODE SECONDS X Z), each with its checked values and its printed line.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/dozer.h"
#include "bike/physics.h"
#include "terrain/terrain.h"
#include "tools/terrain-info/ruts.h"

struct terrain_edits {
    bool ruts = false;
    float ruts_segment[4] = {};
    int ruts_passes = 0;
    bool dozer = false;
    int dozer_mode = 0;
    float dozer_seconds = 0, dozer_x = 0, dozer_z = 0;
};

// A finite number filling the whole text.
inline bool edits_number(const char *text, float *out) {
    char *end;
    *out = strtof(text, &end);
    return end != text && *end == 0 && std::isfinite(*out);
}

// A whole number in [lo, hi] filling the whole text.
inline bool edits_int(const char *text, int lo, int hi, int *out) {
    char *end;
    long v = strtol(text, &end, 10);
    if (end == text || *end != 0 || v < lo || v > hi) return false;
    *out = (int)v;
    return true;
}

// Reads --ruts or --dozer at argv[*i] with its values, moving *i to the last value: 1 taken,
// 0 not an edit option, -1 missing or bad values.
inline int edits_parse(int argc, char **argv, int *i, terrain_edits *e) {
    int at = *i;
    if (strcmp(argv[at], "--ruts") == 0) {
        if (at + 5 >= argc) return -1;
        for (int j = 0; j < 4; j++)
            if (!edits_number(argv[at + 1 + j], &e->ruts_segment[j])) return -1;
        if (!edits_int(argv[at + 5], 1, 10000, &e->ruts_passes)) return -1;
        e->ruts = true;
        *i = at + 5;
        return 1;
    }
    if (strcmp(argv[at], "--dozer") == 0) {
        if (at + 4 >= argc || !edits_int(argv[at + 1], 0, 3, &e->dozer_mode) ||
            !edits_number(argv[at + 2], &e->dozer_seconds) || !edits_number(argv[at + 3], &e->dozer_x) ||
            !edits_number(argv[at + 4], &e->dozer_z) || e->dozer_seconds < 0 || e->dozer_seconds > 3600)
            return -1;
        e->dozer = true;
        *i = at + 4;
        return 1;
    }
    return 0;
}

// The ruts of the synthetic wheel on the current terrain: 1, or 0 when it could not run.
inline int edits_ruts(const terrain_edits &e, const char *program) {
    ruts_result r;
    const float *s = e.ruts_segment;
    if (!ruts_run(s[0], s[1], s[2], s[3], e.ruts_passes, &r)) {
        fprintf(stderr, "%s: --ruts could not run (empty segment or no physics)\n", program);
        return 0;
    }
    double balance = r.dug > 0 ? (r.deposited - r.dug) / r.dug : 0;
    printf("points %d messages %d dug %.4f deposited %.4f balance %.2e deepest %.2f in\n", r.points,
           r.messages, r.dug, r.deposited, balance, r.deepest * 12);
    return 1;
}

// The earth-moving vehicle set down at (x, z) on the current terrain heading -z and driven at
// about 4 ft/s: 1, or 0 when it could not run.
inline int edits_dozer(const terrain_edits &e, const char *program) {
    terrain_field *f = terrain_current;
    if (!physics_open()) {
        fprintf(stderr, "%s: --dozer: the physics engine can't start\n", program);
        return 0;
    }
    dozer *d = dozer_create();
    if (!d) {
        physics_close();
        fprintf(stderr, "%s: --dozer: out of memory\n", program);
        return 0;
    }
    const float targets[4] = {-0.1f, -0.1f, 0.05f, 0.0f};
    float ground = terrain_height_at(f, e.dozer_x, e.dozer_z);
    dozer_translate(d, e.dozer_x, ground, e.dozer_z);
    dozer_set_mode(d, e.dozer_mode);
    dozer_set_blade_target(d, targets[e.dozer_mode]);
    dozer_drive(d, -4.0f);
    const dReal *start = dBodyGetPosition(dozer_get_chassis(d));
    double sx = start[0], sz = start[2], moved = 0;
    long ticks = lround(e.dozer_seconds * 128.0);
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

// The requested edits in order (ruts, then the vehicle): 1, or 0 when one could not run.
inline int edits_apply(const terrain_edits &e, const char *program) {
    int ok = 1;
    if (e.ruts && !edits_ruts(e, program)) ok = 0;
    if (e.dozer && !edits_dozer(e, program)) ok = 0;
    return ok;
}
