// The stock tracks' "timing_gates": starting gates across the start straight, checkpoints on the
// course centreline where it bends steadily, the lap lists; and the gate arm's model, picture
// and collision shape.
#include <cmath>
#include <cstdio>

#include "terrain/terrain.h"
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/modelgen.h"
#include "tools/zrdatagen/solids.h"
#include "tools/zrdatagen/trackgen.h"

datagen_ground::datagen_ground(const datagen_track &t) : heights((size_t)t.n * t.n), field(new terrain_field{}) {
    for (size_t i = 0; i < heights.size(); i++)
        heights[i] = terrain_sample_height(0.0f, (float)t.max_height, t.samples[i]);
    field->k = t.k;
    field->n = t.n;
    field->spacing = (float)t.spacing;
    field->extent = (float)((t.n - 1) * t.spacing);
    field->heights = heights.data();
}

datagen_ground::~datagen_ground() = default;

float datagen_ground::height(double x, double z) const {
    return terrain_height_at(field.get(), (float)x, (float)z);
}

int datagen_tile_kind_at(const datagen_track &t, double x, double z) {
    int q = 1 << t.k;
    int tx = (int)std::floor(x / (2.0 * t.spacing)), tz = (int)std::floor(z / (2.0 * t.spacing));
    if (tx < 0 || tz < 0 || tx >= q || tz >= q) return -1;
    return t.tile_map[(size_t)tx + (size_t)q * tz];
}

datagen_xz datagen_course_feet(const datagen_track &t, long i) {
    long n = (long)t.course.size();
    const datagen_course_point &p = t.course[(size_t)(((i % n) + n) % n)];
    return {p.x * t.spacing / 16.0, p.z * t.spacing / 16.0};
}

datagen_xz datagen_course_tangent(const datagen_track &t, long i) {
    datagen_xz a = datagen_course_feet(t, i - 4), b = datagen_course_feet(t, i + 4);
    double dx = b.x - a.x, dz = b.z - a.z, l = std::sqrt(dx * dx + dz * dz);
    return {dx / l, dz / l};
}

// How far the bend and the ground's slope change within 25 points (50 ft) either side of i:
// 0 on a plain straight or a steady turn, large at a corner's entry, a lip or a landing.
static double datagen_unsteadiness(const datagen_track &t, const datagen_ground &g, long i) {
    double lo = 1e9, hi = -1e9, rough = 0;
    for (long j = i - 25; j <= i + 25; j++) {
        datagen_xz a = datagen_course_tangent(t, j), b = datagen_course_tangent(t, j + 1);
        double bend = a.x * b.z - a.z * b.x;
        lo = std::min(lo, bend);
        hi = std::max(hi, bend);
        datagen_xz p0 = datagen_course_feet(t, j - 1), p1 = datagen_course_feet(t, j),
                   p2 = datagen_course_feet(t, j + 1);
        double h = g.height(p0.x, p0.z) - 2.0 * g.height(p1.x, p1.z) + g.height(p2.x, p2.z);
        rough = std::max(rough, std::fabs(h));
    }
    return (hi - lo) * 20 + rough;
}

datagen_timing datagen_track_timing(const datagen_track &t, const datagen_timing_plan &plan) {
    datagen_timing out;
    datagen_ground ground(t);
    long n = (long)t.course.size();
    long start = datagen_start_line_index(t);
    datagen_xz d = datagen_course_tangent(t, start), c = datagen_course_feet(t, start);
    // Gate 0 on the inside of the first turn: the side the course turns to after the straight.
    datagen_xz after = datagen_course_tangent(t, t.straight_start[1 % t.straight_start.size()] + 10);
    datagen_xz side = {-d.z, d.x};
    if (side.x * after.x + side.z * after.z < 0) side = {-side.x, -side.z};
    float angle = (float)std::atan2(-d.x, -d.z);
    for (int g = 0; g < plan.gates; g++) {
        double across = ((plan.gates - 1) / 2.0 - g) * plan.gate_spacing;
        out.gates.push_back({(float)(c.x + side.x * across), 0.0f, (float)(c.z + side.z * across), angle});
    }
    // Checkpoint 0 the finish line 6 ft (3 points) behind the gate row; the others near even
    // shares of the lap where the course is steadiest, more than two radii from every other.
    std::vector<long> at = {start - 6 / t.spacing};
    for (int k = 1; k < plan.checkpoints; k++) {
        long target = start + n * k / plan.checkpoints, best = -1;
        double best_score = 1e18;
        for (long i = target - n / (3 * plan.checkpoints); i <= target + n / (3 * plan.checkpoints); i++) {
            datagen_xz p = datagen_course_feet(t, i);
            bool clear = true;
            for (long o : at) {
                datagen_xz q = datagen_course_feet(t, o);
                if (std::hypot(p.x - q.x, p.z - q.z) <= 2 * plan.radius + 1) clear = false;
            }
            double score = datagen_unsteadiness(t, ground, i) + std::fabs((double)(i - target)) * 1e-4;
            if (clear && score < best_score) best_score = score, best = i;
        }
        at.push_back(best);
    }
    for (long i : at) {
        datagen_xz p = datagen_course_feet(t, i), dir = datagen_course_tangent(t, i);
        datagen_checkpoint cp;
        cp.radius = (float)plan.radius;
        cp.centre[0] = (float)p.x;
        cp.centre[1] = ground.height(p.x, p.z);
        cp.centre[2] = (float)p.z;
        cp.direction[0] = (float)dir.x;
        cp.direction[1] = 0;
        cp.direction[2] = (float)dir.z;
        cp.course_index = ((i % n) + n) % n;
        out.checkpoints.push_back(cp);
    }
    // Both laps: 1 .. K-1, then the finish; the split (if any) is timed but ends no segment.
    for (int k = 1; k <= plan.checkpoints; k++) {
        int index = k % plan.checkpoints;
        out.lap.push_back(index == plan.split ? DATAGEN_NO_SEGMENT + index : index);
    }
    return out;
}

std::string datagen_timing_gates_file(const datagen_timing &timing) {
    std::string out;
    char line[256];
    if (!timing.gates.empty()) out += "startinggate:\n";
    for (const auto &g : timing.gates) {
        snprintf(line, sizeof line, "[%f %f %f] %f\n", (double)g[0], (double)g[1], (double)g[2], (double)g[3]);
        out += line;
    }
    if (!timing.checkpoints.empty()) out += "checkpoints:\n";
    for (const datagen_checkpoint &c : timing.checkpoints) {
        snprintf(line, sizeof line, "%f [%f %f %f] [%f %f %f]\n", (double)c.radius, (double)c.centre[0],
                 (double)c.centre[1], (double)c.centre[2], (double)c.direction[0], (double)c.direction[1],
                 (double)c.direction[2]);
        out += line;
    }
    for (const char *title : {"firstlap:\n", "normallap:\n"}) {
        out += title;
        for (int v : timing.lap) out += std::to_string(v) + " ";
        out += "\n";
    }
    return out;
}

datagen_xz datagen_start_place(const datagen_timing &timing, int k) {
    int gates = (int)timing.gates.size();
    const auto &g = timing.gates[(size_t)(k % gates)];
    float back = 10.0f * ((float)(k / gates) + 1.0f / 16.0f);
    return {g[0] + back * sinf(g[3]), g[2] + back * cosf(g[3])};
}

int datagen_in_pass_zone(const datagen_checkpoint &c, double x, double z) {
    double dx = x - c.centre[0], dz = z - c.centre[2];
    if (dx * dx + dz * dz > (double)c.radius * c.radius) return 0;
    return dx * c.direction[0] + dz * c.direction[2] >= 0;
}

std::string datagen_timing_check(const datagen_track &t, const datagen_timing &timing, double half_width,
                                 int rows) {
    int gates = (int)timing.gates.size();
    int timed = 0;
    for (int v : timing.lap) timed += v < DATAGEN_NO_SEGMENT;
    if (timing.checkpoints.size() < 3 || timing.lap.size() < 3 || timed < 3) return "timing would be rejected";
    for (size_t i = 0; i < timing.checkpoints.size(); i++)
        for (size_t j = i + 1; j < timing.checkpoints.size(); j++) {
            const datagen_checkpoint &a = timing.checkpoints[i], &b = timing.checkpoints[j];
            if (std::hypot(a.centre[0] - b.centre[0], a.centre[2] - b.centre[2]) <= a.radius + b.radius)
                return "checkpoints " + std::to_string(i) + " and " + std::to_string(j) + " too close";
        }
    for (int k = 0; k < gates * rows; k++) {
        datagen_xz p = datagen_start_place(timing, k);
        std::string where = "start place " + std::to_string(k);
        if (datagen_tile_kind_at(t, p.x, p.z) != 0) return where + " is not on dirt";
        double nearest = 1e18;
        for (long i = 0; i < (long)t.course.size(); i++) {
            datagen_xz c = datagen_course_feet(t, i);
            nearest = std::min(nearest, std::hypot(p.x - c.x, p.z - c.z));
        }
        if (nearest > half_width) return where + " is off the course";
        for (int position = 0; position < 3; position++) {
            int cp = timing.lap[(size_t)position] % DATAGEN_NO_SEGMENT;
            if (datagen_in_pass_zone(timing.checkpoints[(size_t)cp], p.x, p.z))
                return where + " is in the pass zone of checkpoint " + std::to_string(cp);
        }
    }
    return "";
}

// ---- The gate arm ---------------------------------------------------------------------------

// A steel plate hinged across x at the origin, reaching 3 ft towards +z, 3.25 ft wide and 0.1 ft
// thick; its free edge painted in stripes.
std::string datagen_startgate_jm() {
    datagen_jm_model m;
    m.meshes.resize(1);
    m.meshes[0].mode = 24;
    solid_builder b{&m.meshes[0], {}};
    solid_rect steel = solid_pixels(0, 0, 32, 64, 64, 64), stripes = solid_pixels(32, 0, 64, 64, 64, 64);
    v3 X = {1, 0, 0}, Y = {0, 1, 0}, Z = {0, 0, 1};
    solid_box(&b, {0, 0.05, 1.4}, {1.625, 0.05, 1.4}, X, Y, Z, steel);
    solid_box(&b, {0, 0.06, 2.9}, {1.625, 0.06, 0.1}, X, Y, Z, stripes);
    // Two hinge knuckles on the ground.
    solid_box(&b, {1.45, 0.08, 0}, {0.12, 0.08, 0.08}, X, Y, Z, steel);
    solid_box(&b, {-1.45, 0.08, 0}, {0.12, 0.08, 0.08}, X, Y, Z, steel);
    return datagen_jm(m);
}

// Left half brushed steel, right half yellow and black stripes.
std::string datagen_startgate_ppm() {
    std::vector<int> rgb;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            int r, g, b;
            if (x < 32) {
                int grain = (int)(datagen_hash(77, x / 2, y) % 13);
                r = 150 + grain, g = 154 + grain, b = 160 + grain;
            } else if (((x + y) / 8) % 2 == 0) {
                r = 240, g = 200, b = 20;
            } else {
                r = 20, g = 20, b = 20;
            }
            rgb.insert(rgb.end(), {r, g, b});
        }
    return datagen_pnm("P6", 64, 64, 255, rgb);
}

void datagen_startgate_spheres(double out[DATAGEN_GATE_SPHERES][3]) {
    static const double rows[3] = {1.0, 2.0, 2.85};
    for (int r = 0; r < 3; r++)
        for (int k = 0; k < 5; k++) {
            double *p = out[r * 5 + k];
            p[0] = -1.3 + 0.65 * k;
            p[1] = 0.05;
            p[2] = rows[r];
        }
}

std::string datagen_startgate_shp() {
    double s[DATAGEN_GATE_SPHERES][3];
    datagen_startgate_spheres(s);
    std::string out = std::to_string(DATAGEN_GATE_SPHERES) + "\n";
    for (auto &p : s) {
        const double row[7] = {p[0], p[1], p[2], DATAGEN_GATE_SPHERE_RADIUS, 0.8, 10000, 1000};
        for (int i = 0; i < 7; i++) out += datagen_decimal(row[i]) + (i < 6 ? " " : "\n");
    }
    return out;
}

// ---- The stock tracks' files ----------------------------------------------------------------

const datagen_timing &datagen_practice_timing() {
    static const datagen_timing timing = datagen_track_timing(datagen_practice_track(), {6, 15, 4, 4.5, -1});
    return timing;
}

const datagen_timing &datagen_hillside_timing() {
    static const datagen_timing timing = [] {
        const datagen_track &t = datagen_hillside_track();
        datagen_timing plain = datagen_track_timing(t, {12, 20, 6, 4, -1});
        // The split: the checkpoint on the steepest climb over the 30 ft before it.
        datagen_ground g(t);
        int split = 1;
        double best = -1e9;
        for (int k = 1; k < 12; k++) {
            long i = plain.checkpoints[(size_t)k].course_index;
            datagen_xz a = datagen_course_feet(t, i - 15), b = datagen_course_feet(t, i);
            double rise = g.height(b.x, b.z) - g.height(a.x, a.z);
            if (rise > best) best = rise, split = k;
        }
        return datagen_track_timing(t, {12, 20, 6, 4, split});
    }();
    return timing;
}

std::string datagen_practice_timing_gates() {
    return datagen_timing_gates_file(datagen_practice_timing());
}

std::string datagen_hillside_timing_gates() {
    return datagen_timing_gates_file(datagen_hillside_timing());
}

// The gate arm against a bike at rest on row 0, in the gate's own frame (x across, u back toward
// the riders, y up from the ground): raised (3/16 of a half turn) no sphere comes within 0.5 ft
// of the front tyre; dropped, every sphere centre is below 0.2 ft.
static std::string startgate_check() {
    const double hinge = -3, row0 = 0.625, raised = 3 * M_PI / 16;
    const datagen_bike_rest &b = datagen_rest;
    double wheel[3] = {b.front_wheel[0], b.front_wheel[1], row0 + b.front_wheel[2]};
    double s[DATAGEN_GATE_SPHERES][3];
    datagen_startgate_spheres(s);
    for (const double *p : s) {
        double up = p[2] * std::sin(raised) + p[1] * std::cos(raised);
        double back = hinge + p[2] * std::cos(raised) - p[1] * std::sin(raised);
        // Distance to the tyre's torus: its ring in the wheel's plane (y-u), the axle along x.
        double ring = std::hypot(up - wheel[1], back - wheel[2]) - b.front_ring;
        double clear = std::hypot(ring, p[0] - wheel[0]) - b.front_section - DATAGEN_GATE_SPHERE_RADIUS;
        if (clear < 0.5) return "the raised gate arm comes within 0.5 ft of a row-0 front tyre";
        if (p[1] >= 0.2) return "the dropped gate arm stands above 0.2 ft";
    }
    return "";
}

std::string datagen_timing_self_check() {
    std::string e = startgate_check();
    if (!e.empty()) return "start gate: " + e;
    e = datagen_timing_check(datagen_practice_track(), datagen_practice_timing(), 10, 6);
    if (!e.empty()) return "practice timing gates: " + e;
    e = datagen_timing_check(datagen_hillside_track(), datagen_hillside_timing(), 15, 7);
    if (!e.empty()) return "hillside timing gates: " + e;
    return "";
}
