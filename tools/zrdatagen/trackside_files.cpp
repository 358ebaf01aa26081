// Each stock track's "statues", "billboards", "cameras" and "flaggers", placed from its course:
// bales outside the main corners, banners and flags along the start straight, spectators by the
// start and the jumps, trees on the grass away from the course, cameras outside corners and
// jumps. Positions are sixteenths of a foot; numbers are written as the game writes them.
#include <cmath>
#include <cstdio>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/trackgen.h"
#include "tools/zrdatagen/trackside.h"

namespace {
// What differs between the tracks.
struct trackside_plan {
    datagen_track_plan plan;
    std::vector<int> bale_corners;
    int bales_per_row;
    int banners, trees, spectators, flags, checkpoints;
    std::vector<int> camera_corners;
    std::vector<int> camera_jumps;   // features
    bool tent, flaggers;
};
}  // namespace

static long wrap(const datagen_track &t, long i) {
    long n = (long)t.course.size();
    return ((i % n) + n) % n;
}

static datagen_course_point at(const datagen_track &t, long i) {
    return t.course[(size_t)wrap(t, i)];
}

// The direction of travel at course point i, in sixteenths of a sample, and its length.
static void direction(const datagen_track &t, long i, long *dx, long *dz, long *length) {
    datagen_course_point a = at(t, i - 3), b = at(t, i + 3);
    *dx = b.x - a.x;
    *dz = b.z - a.z;
    *length = datagen_isqrt((long long)*dx * *dx + (long long)*dz * *dz);
    if (*length == 0) *length = 1;
}

// Course point i moved side feet across the course: positive to the right of travel.
static datagen_place across(const datagen_track &t, long i, long side_feet) {
    long dx, dz, length;
    direction(t, i, &dx, &dz, &length);
    datagen_course_point p = at(t, i);
    datagen_place out;
    out.x16 = p.x * t.spacing - side_feet * 16 * dz / length;
    out.z16 = p.z * t.spacing + side_feet * 16 * dx / length;
    out.yaw = 0;
    return out;
}

// An angle rounded to 1/4096 rad, so libm's last bit never shows.
static double rounded(double a) {
    return std::round(a * 4096) / 4096;
}

// The yaw that lays a statue's x axis along the course at i.
static double along_yaw(const datagen_track &t, long i) {
    long dx, dz, length;
    direction(t, i, &dx, &dz, &length);
    return rounded(std::atan2((double)-dz, (double)dx));
}

// The yaw that turns a statue's front (+z) from place p towards course point i.
static double facing_yaw(const datagen_track &t, long i, const datagen_place &p) {
    datagen_course_point c = at(t, i);
    return rounded(std::atan2((double)(c.x * t.spacing - p.x16), (double)(c.z * t.spacing - p.z16)));
}

// Upright, keeping the turn: the same angle at or below -2 pi.
static double upright(double yaw) {
    return rounded(yaw <= 0 ? yaw - 2 * M_PI : yaw - 4 * M_PI);
}

// +1 when the outside of the turn at i is to the right of travel, else -1.
static long outside_sign(const datagen_track &t, long i) {
    long ax, az, bx, bz, l;
    direction(t, i - 12, &ax, &az, &l);
    direction(t, i + 12, &bx, &bz, &l);
    long long turn = (long long)ax * bz - (long long)az * bx;
    return turn > 0 ? -1 : 1;
}

static long feature_start(const datagen_track &t, const datagen_feature &f) {
    return t.straight_start[(size_t)f.segment] + f.offset;
}

static long feature_end(const datagen_track &t, const datagen_feature &f) {
    return feature_start(t, f) + f.knots.back().first / 16;
}

// The course index of checkpoint j: the first 6 ft behind the start line, the rest spread
// evenly round the course in race direction.
// The two checkpoints of the track's timing gates nearest course index i, along the course.
static std::vector<int> nearest_checkpoints(const datagen_track &t, long i,
                                            const std::vector<datagen_checkpoint> &checkpoints) {
    long n = (long)t.course.size();
    int count = (int)checkpoints.size();
    int best[2] = {-1, -1};
    long best_d[2] = {n, n};
    for (int j = 0; j < count; j++) {
        long d = wrap(t, checkpoints[(size_t)j].course_index - i);
        d = d < n - d ? d : n - d;
        if (d < best_d[0]) {
            best[1] = best[0], best_d[1] = best_d[0];
            best[0] = j, best_d[0] = d;
        } else if (d < best_d[1]) {
            best[1] = j, best_d[1] = d;
        }
    }
    return {best[0] < best[1] ? best[0] : best[1], best[0] < best[1] ? best[1] : best[0]};
}

static trackside_plan plan_of(bool hillside) {
    if (hillside)
        return {datagen_hillside_plan(), {2, 3, 4, 6, 8, 9}, 10, 8, 150, 12, 10, DATAGEN_HILLSIDE_CHECKPOINTS,
                {1, 3, 4, 6, 8, 11}, {0, 1}, true, true};
    return {datagen_practice_plan(), {1, 2}, 8, 2, 20, 4, 4, DATAGEN_PRACTICE_CHECKPOINTS, {1, 3}, {0}, false, false};
}

// Trees on grass at least 40 ft from every course point, from seeded integer noise; none ahead of
// the start line within 110 ft (70 degrees either side of the straight), so the sky stays open
// above the riders at the gates.
static void place_trees(const datagen_track &t, int count, datagen_trackside *s) {
    const long n = t.n, q = 1L << t.k, extent16 = (n - 1) * t.spacing * 16;
    const datagen_xz start = datagen_course_feet(t, datagen_start_line_index(t));
    const datagen_xz ahead = datagen_course_tangent(t, datagen_start_line_index(t));
    for (uint32_t k = 0; (int)s->trees.size() < count && k < 200000; k++) {
        long x16 = 64 * 16 + (long)(datagen_hash(301, k, 0) % (uint32_t)(extent16 - 128 * 16));
        long z16 = 64 * 16 + (long)(datagen_hash(301, k, 1) % (uint32_t)(extent16 - 128 * 16));
        long tx = x16 / (16 * t.spacing) / 2, tz = z16 / (16 * t.spacing) / 2;
        if (tx >= q || tz >= q || t.tile_map[(size_t)(tx + q * tz)] != 1) continue;
        bool clear = true;
        for (size_t i = 0; clear && i < t.course.size(); i += 2) {
            long long dx = x16 - t.course[i].x * t.spacing, dz = z16 - t.course[i].z * t.spacing;
            clear = dx * dx + dz * dz >= (long long)(42 * 16) * (42 * 16);
        }
        double sx = x16 / 16.0 - start.x, sz = z16 / 16.0 - start.z;
        double d2 = sx * sx + sz * sz, along = sx * ahead.x + sz * ahead.z;
        bool in_view = d2 < 110.0 * 110 && along > 0 && along * along > d2 * (0.342 * 0.342);
        if (!clear || in_view) continue;
        s->trees.push_back({x16 & ~15L, z16 & ~15L, 0});
        s->tree_kinds.push_back((int)(datagen_hash(302, k, 0) % 3 == 0));
    }
}

datagen_trackside datagen_trackside_of(const datagen_track &t, bool hillside) {
    trackside_plan p = plan_of(hillside);
    const datagen_timing &timing = hillside ? datagen_hillside_timing() : datagen_practice_timing();
    const long half = p.plan.half_width * t.spacing / 16;   // feet from the centreline to the edge
    const long start = datagen_start_line_index(t);
    datagen_trackside s;
    s.windsock = across(t, start - 25, -(half + 30));
    s.windsock.yaw = -7.5;

    // Banners both sides of the start straight, 4 ft outside the edge, facing the course.
    for (int b = 0; b < p.banners; b++) {
        long i = start + 14 + (b / 2) * 9;
        datagen_place place = across(t, i, (b % 2 ? 1 : -1) * (half + 4));
        place.yaw = upright(facing_yaw(t, i, place));
        s.banners.push_back(place);
    }
    if (p.tent) {
        datagen_place tent = across(t, start - 40, half + 60);
        tent.yaw = upright(facing_yaw(t, start - 40, tent));
        s.tents.push_back(tent);
    }
    // Rows of bales outside the corners, a bale every 4 ft, tilted to the ground.
    for (int c : p.bale_corners) {
        long a = datagen_course_apex(t, p.plan.corners[(size_t)c]);
        long side = outside_sign(t, a);
        for (int k = 0; k < p.bales_per_row; k++) {
            long i = a + 2 * (k - p.bales_per_row / 2);
            datagen_place place = across(t, i, side * (half + 5));
            place.yaw = along_yaw(t, i);
            s.bales.push_back(place);
        }
    }
    // Flags both sides of the start line; spectators by the start, then by the jumps.
    for (int f = 0; f < p.flags; f++) s.flags.push_back(across(t, start - 6 + (f / 2) * 6, (f % 2 ? 1 : -1) * (half + 3)));
    for (int g = 0; g < p.spectators; g++) {
        long i = start + 4 + g * 5, side = g % 2 ? 1 : -1;
        if (g >= 4) {
            const datagen_feature &f = p.plan.features[(size_t)((g - 4) / 4 % 2)];
            i = (g % 4 < 2 ? feature_start(t, f) : feature_end(t, f)) + (g % 2) * 4;
        }
        s.spectators.push_back(across(t, i, side * (half + 15 + (long)(datagen_hash(311, g, 0) % 11))));
    }
    place_trees(t, p.trees, &s);

    // Cameras 12 ft up, 40 ft outside corners and jumps, each with its nearest checkpoints.
    std::vector<long> camera_points;
    for (int c : p.camera_corners) camera_points.push_back(datagen_course_apex(t, p.plan.corners[(size_t)c]));
    for (int j : p.camera_jumps) camera_points.push_back(feature_start(t, p.plan.features[(size_t)j]) + 10);
    for (long i : camera_points) {
        s.cameras.push_back(across(t, i, outside_sign(t, i) * (half + 40)));
        s.camera_gates.push_back(nearest_checkpoints(t, i, timing.checkpoints));
    }

    s.flaggers = p.flaggers;
    if (p.flaggers) {
        // The starter stands beside gate 0's end of the gate row, a little ahead of it, in view of
        // the riders behind it, and walks off back and away from the course; the lap flagger
        // stands at the line on the far side.
        s.start_flagger = across(t, start + 3, -(half + 5));
        s.start_flagger_end = across(t, start - 12, -(half + 30));
        s.lap_flagger = across(t, start - 3, half + 5);
        for (int j = 0; j < 2; j++) {
            const datagen_feature &f = p.plan.features[(size_t)j];
            for (long i : {feature_start(t, f) - 4, feature_end(t, f) + 4}) {
                s.gate_flaggers.push_back(across(t, i, outside_sign(t, i) * (half + 6)));
                s.gate_flagger_checkpoints.push_back(nearest_checkpoints(t, i, timing.checkpoints));
            }
        }
    }
    return s;
}

// ---- Writers --------------------------------------------------------------------------------

// A position as the game writes it: "%f" of the float.
static std::string number(double v) {
    char text[64];
    snprintf(text, sizeof text, "%f", (double)(float)v);
    return text;
}

static std::string feet(long sixteenths) {
    return number((double)sixteenths / 16.0);
}

static std::string statue_line(const datagen_place &p, const char *model, const char *texture, const char *shape) {
    return "[" + feet(p.x16) + " 0.000000 " + feet(p.z16) + "] " + number(p.yaw) + " " + model + " " + texture +
           " " + shape + "\n";
}

std::string datagen_trackside_statues(const datagen_trackside &s, bool hillside) {
    (void)hillside;
    std::string out = statue_line(s.windsock, "@windsock.jm", "@windsock.png", "null");
    // The banners in pairs across the straight, "ZR SIMULATOR" and "MX" by turns; written by
    // picture, so drawing binds each picture once.
    for (int mx = 0; mx < 2; mx++)
        for (size_t i = 0; i < s.banners.size(); i++)
            if ((i % 4 >= 2) == (mx == 1))
                out += statue_line(s.banners[i], "@banner.jm", mx ? "@banner-mx.png" : "@banner-zr.png",
                                   "@banner.shp");
    for (const datagen_place &p : s.tents) out += statue_line(p, "@tent.jm", "@tent.png", "@tent.shp");
    for (const datagen_place &p : s.bales) out += statue_line(p, "@haybale.jm", "@haybale.png", "@haybale.shp");
    return out;
}

static std::string billboard_line(const datagen_place &p, double size, double aspect, const std::string &texture) {
    return "[" + feet(p.x16) + " 0.000000 " + feet(p.z16) + "] " + number(size) + " " + number(aspect) + " " +
           texture + "\n";
}

std::string datagen_trackside_billboards(const datagen_trackside &s) {
    static const char *const tags[4] = {"#d02020#", "#2050d0#", "#e0c020#", "#20a040#"};
    std::string out;
    for (size_t i = 0; i < s.flags.size(); i++)
        out += billboard_line(s.flags[i], 10, 0.5, std::string(tags[i % 4]) + "@flag.png");
    for (const datagen_place &p : s.spectators) out += billboard_line(p, 6, 2, "@spectators.png");
    for (size_t i = 0; i < s.trees.size(); i++) {
        double size = 24 + (double)(datagen_hash(321, (long)i, 0) % 16);
        out += s.tree_kinds[i] ? billboard_line(s.trees[i], size, 1, "@tree-broadleaf.png")
                               : billboard_line(s.trees[i], size + 6, 0.5, "@tree-pine.png");
    }
    return out;
}

std::string datagen_trackside_cameras(const datagen_trackside &s) {
    std::string out;
    for (size_t i = 0; i < s.cameras.size(); i++) {
        out += "gate";
        for (int g : s.camera_gates[i]) out += " " + std::to_string(g);
        out += i % 2 ? "\nautofovsize 12\n" : "\nfov 50\n";
        out += "addcamera " + feet(s.cameras[i].x16) + " 12.000000 " + feet(s.cameras[i].z16) + "\n";
    }
    return out;
}

std::string datagen_trackside_flaggers(const datagen_trackside &s) {
    if (!s.flaggers) return "";
    const datagen_place &a = s.start_flagger, &b = s.start_flagger_end, &l = s.lap_flagger;
    std::string out = "[ " + feet(a.x16) + " 0.000000 " + feet(a.z16) + " ] [ " + feet(b.x16) + " 0.000000 " +
                      feet(b.z16) + " ] 7.000000 0.500000 2.000000\n";
    out += "@flagger-start-1.png @flagger-start-2.png @flagger-start-3.png @flagger-start-4.png @flagger-start-5.png\n";
    out += "[ " + feet(l.x16) + " 0.000000 " + feet(l.z16) + " ] 7.000000 0.500000\n";
    out += "@flagger-lap-green.png @flagger-lap-halfway.png @flagger-lap-white.png @flagger-lap-chequered.png\n";
    for (size_t i = 0; i < s.gate_flaggers.size(); i++) {
        const datagen_place &g = s.gate_flaggers[i];
        out += "[ " + feet(g.x16) + " 0.000000 " + feet(g.z16) + " ] 7.000000 0.500000";
        for (int c : s.gate_flagger_checkpoints[i]) out += " " + std::to_string(c);
        out += " -1 -1 @flagger-yellow.png @flagger-yellow-wave.png\n";
    }
    return out;
}

std::string datagen_trackside_lighting(bool hillside) {
    std::string out = "near_plane 0.250000\n";
    out += hillside ? "far_plane 6000.000000\n" : "far_plane 2000.000000\n";
    if (!hillside) return out;
    out += "sky_n @sky-n.ppm\nsky_e @sky-e.ppm\nsky_s @sky-s.ppm\nsky_w @sky-w.ppm\nsky_u @sky-u.ppm\n"
           "sky_env @sky-env.ppm\n";
    // The lens flare is the start tower's (datagen_hillside_tower_flare).
    return out;
}

std::string datagen_practice_statues() {
    return datagen_trackside_statues(datagen_trackside_of(datagen_practice_track(), false), false);
}
std::string datagen_practice_cameras() {
    return datagen_trackside_cameras(datagen_trackside_of(datagen_practice_track(), false));
}
// The hillside's trackside statues, the windsock first (its script moves statue 0), then the start
// tower.
std::string datagen_hillside_statues() {
    return datagen_trackside_statues(datagen_trackside_of(datagen_hillside_track(), true), true) +
           datagen_hillside_tower_statue();
}
std::string datagen_hillside_cameras() {
    return datagen_trackside_cameras(datagen_trackside_of(datagen_hillside_track(), true));
}
std::string datagen_hillside_flaggers() {
    return datagen_trackside_flaggers(datagen_trackside_of(datagen_hillside_track(), true));
}
