// The start tower of the hillside: a 30 ft pole with a panel of self-lit lamps at the far end
// of the start straight, facing the gates; its model, picture and pole shape, its statue row,
// the flare at its lamps, the lens-flare pictures, and the check that the lamps are in sight
// from behind the gates.
#include <cmath>
#include <cstdio>
#include <string>

#include "terrain/terrain.h"
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/modelgen.h"
#include "tools/zrdatagen/solids.h"
#include "tools/zrdatagen/trackgen.h"

namespace {

constexpr int TOWER_SIDE = 128;
// "lighttower.png": the lamp panel's face on the top half, its frame and the pole below.
constexpr solid_rect TOWER_LAMPS = {0, 0.5, 1, 1};
constexpr solid_rect TOWER_FRAME = {0, 0.25, 0.5, 0.5};
constexpr solid_rect TOWER_POLE = {0.5, 0, 1, 0.5};

constexpr double POLE_HEIGHT = 30, POLE_RADIUS = 0.35;
constexpr double PANEL_BOTTOM = 27, PANEL_TOP = 30, PANEL_HALF_WIDTH = 2;
constexpr double PANEL_FRONT = 0.85, PANEL_THICKNESS = 0.4;   // the face, in front of the pole
constexpr double LAMP_HEIGHT = (PANEL_BOTTOM + PANEL_TOP) / 2;
constexpr double FLARE_AHEAD = 2;                              // the flare point before the face

// Course points ahead of the start line and feet outside the course's edge.
constexpr long TOWER_AHEAD = 170;
constexpr long TOWER_OUTSIDE = 40;

struct tower_place {
    long x, z;          // samples
    double yaw;         // the statue file's yaw: upright, the panel facing back down the straight
    double dx, dz;      // the straight's direction there
    double ground;      // feet
    bool ok;
};

double sample_height(const datagen_track &t, long x, long z) {
    x = x < 0 ? 0 : x >= t.n ? t.n - 1 : x;
    z = z < 0 ? 0 : z >= t.n ? t.n - 1 : z;
    return terrain_sample_height(0.0f, (float)t.max_height, t.samples[(size_t)x + (size_t)t.n * z]);
}

// Bilinear ground height at (x, z) feet.
double ground_at(const datagen_track &t, double x, double z) {
    double u = x / t.spacing, v = z / t.spacing;
    long i = (long)std::floor(u), j = (long)std::floor(v);
    double fu = u - i, fv = v - j;
    return (1 - fu) * (1 - fv) * sample_height(t, i, j) + fu * (1 - fv) * sample_height(t, i + 1, j) +
           (1 - fu) * fv * sample_height(t, i, j + 1) + fu * fv * sample_height(t, i + 1, j + 1);
}

// The unit direction of the course at index i (from the points 8 either side), in samples.
void course_direction(const datagen_track &t, long i, double *dx, double *dz) {
    long n = (long)t.course.size();
    const datagen_course_point &a = t.course[(size_t)((i - 8 + n) % n)];
    const datagen_course_point &b = t.course[(size_t)((i + 8) % n)];
    double x = (double)(b.x - a.x), z = (double)(b.z - a.z), l = std::sqrt(x * x + z * z);
    *dx = l > 0 ? x / l : 1;
    *dz = l > 0 ? z / l : 0;
}

// The start line in feet, the straight's direction, and the eye of a chase camera behind the
// inside gates.
struct start_view {
    double x, z, dx, dz, eye[3];
};

start_view start_view_of(const datagen_track &t) {
    long i = datagen_start_line_index(t);
    const datagen_course_point &c = t.course[(size_t)i];
    start_view s;
    s.x = (double)c.x * t.spacing / 16;
    s.z = (double)c.z * t.spacing / 16;
    course_direction(t, i, &s.dx, &s.dz);
    // 14 ft back and 10 ft toward the inside of the first turn (either side is checked), 6 ft up.
    s.eye[0] = s.x - 14 * s.dx;
    s.eye[2] = s.z - 14 * s.dz;
    s.eye[1] = ground_at(t, s.eye[0], s.eye[2]) + 6;
    return s;
}

// Whether the lamps are in a 110-degree view down the straight from the eye, with no ground
// across the line of sight.
bool in_sight(const datagen_track &t, const double eye[3], double dx, double dz, const double p[3]) {
    double v[3] = {p[0] - eye[0], p[1] - eye[1], p[2] - eye[2]};
    double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(l > 0) || (v[0] * dx + v[2] * dz) / l < std::cos(55 * SOLID_PI / 180)) return false;
    for (double s = 2; s < l - 4; s += 1) {
        double f = s / l, x = eye[0] + f * v[0], y = eye[1] + f * v[1], z = eye[2] + f * v[2];
        if (ground_at(t, x, z) > y - 0.5) return false;
    }
    return true;
}

// The tower's sample, on the outside of the straight TOWER_AHEAD points past the start line,
// nearer in steps of 10 when the ground hides it.
tower_place tower_place_of(const datagen_track &t) {
    start_view s = start_view_of(t);
    long n = (long)t.course.size();
    long start = datagen_start_line_index(t);
    for (long ahead = TOWER_AHEAD; ahead >= 100; ahead -= 10) {
        long i = (start + ahead) % n;
        const datagen_course_point &c = t.course[(size_t)i];
        double dx, dz;
        course_direction(t, i, &dx, &dz);
        double out = 7.5 + (double)TOWER_OUTSIDE / t.spacing;   // half the course, then outside
        for (int side : {1, -1}) {
            tower_place p;
            p.x = std::lround((double)c.x / 16 + side * dz * out);
            p.z = std::lround((double)c.z / 16 - side * dx * out);
            p.ground = sample_height(t, p.x, p.z);
            // The panel's face (local +z) turned back down the straight: (sin a, cos a) = -d.
            p.yaw = std::atan2(-dx, -dz) - 2 * SOLID_PI;
            p.dx = dx;
            p.dz = dz;
            double wx = (double)p.x * t.spacing, wz = (double)p.z * t.spacing;
            double point[3] = {wx - (PANEL_FRONT + FLARE_AHEAD) * dx, p.ground + LAMP_HEIGHT,
                               wz - (PANEL_FRONT + FLARE_AHEAD) * dz};
            double gap = std::hypot(wx - s.x, wz - s.z);
            p.ok = gap <= 480 && in_sight(t, s.eye, s.dx, s.dz, point);
            if (p.ok) return p;
        }
    }
    return {0, 0, 0, 1, 0, 0, false};
}

const tower_place &hillside_tower() {
    static const tower_place p = tower_place_of(datagen_hillside_track());
    return p;
}

std::string feet(double v) {
    char text[32];
    snprintf(text, sizeof text, "%.4f", v);
    return text;
}

}  // namespace

std::string datagen_lighttower_jm() {
    datagen_jm_mesh pole, lamps;
    pole.mode = 24;
    pole.colour[0] = pole.colour[1] = pole.colour[2] = 0.4;
    solid_builder b{&pole, {}};
    solid_rod(&b, {0, 0, 0}, {0, POLE_HEIGHT, 0}, POLE_RADIUS, {1, 0, 0}, 8, TOWER_POLE, true);
    // A bracket from the pole to the panel's back.
    solid_box(&b, {0, LAMP_HEIGHT, (POLE_RADIUS + PANEL_FRONT - PANEL_THICKNESS) / 2},
              {0.25, 0.25, (PANEL_FRONT - PANEL_THICKNESS - POLE_RADIUS) / 2 + 0.05}, {1, 0, 0}, {0, 1, 0},
              {0, 0, 1}, TOWER_POLE);
    lamps.mode = -2;   // self-lit: the lamps glow whatever the sun
    solid_builder l{&lamps, {}};
    double z = PANEL_FRONT - PANEL_THICKNESS / 2;
    const v3 corners[4] = {{-PANEL_HALF_WIDTH, PANEL_BOTTOM, z}, {PANEL_HALF_WIDTH, PANEL_BOTTOM, z},
                           {PANEL_HALF_WIDTH, PANEL_TOP, z}, {-PANEL_HALF_WIDTH, PANEL_TOP, z}};
    solid_panel(&l, corners, PANEL_THICKNESS, TOWER_LAMPS, TOWER_FRAME);
    datagen_jm_model m;
    m.meshes = {pole, lamps};
    return datagen_jm(m);
}

std::string datagen_lighttower_png() {
    datagen_image img = datagen_image_new(TOWER_SIDE, TOWER_SIDE, 3, {40, 40, 44, 255});
    // The lamps: a near-white face with twelve round lamps (four by three) of pure white in
    // thin warm rims.
    datagen_fill(&img, 0, 0, TOWER_SIDE, TOWER_SIDE / 2, [](long, long) { return true; }, {250, 250, 248, 255});
    for (int row = 0; row < 3; row++)
        for (int col = 0; col < 4; col++) {
            datagen_point c = {(16 + 32 * col) * DATAGEN_SUB, (11 + 21 * row) * DATAGEN_SUB};
            datagen_fill_ellipse(&img, c, 12 * DATAGEN_SUB, 9 * DATAGEN_SUB, 10 * DATAGEN_SUB, 7 * DATAGEN_SUB,
                                 {236, 228, 200, 255});
            datagen_fill_ellipse(&img, c, 10 * DATAGEN_SUB, 7 * DATAGEN_SUB, 0, 0, {255, 255, 255, 255});
        }
    // The frame: dark grey steel; the pole: galvanised grey, lighter down its middle.
    datagen_fill(&img, 0, TOWER_SIDE / 2, TOWER_SIDE / 2, TOWER_SIDE * 3 / 4, [](long, long) { return true; },
                 {58, 60, 64, 255});
    for (int x = TOWER_SIDE / 2; x < TOWER_SIDE; x++) {
        int u = x - TOWER_SIDE / 2, shade = 120 + 60 * (32 - (u > 32 ? u - 32 : 32 - u)) / 32;
        datagen_fill(&img, x, TOWER_SIDE / 2, x + 1, TOWER_SIDE, [](long, long) { return true; },
                     {shade, shade + 2, shade + 6, 255});
    }
    return datagen_png(img);
}

std::string datagen_lighttower_shp() {
    // Four stiff spheres up the pole, as high as a rider reaches.
    std::string out = "4\n";
    for (int i = 0; i < 4; i++)
        out += datagen_decimal(0) + " " + datagen_decimal(0.5 + i) + " " + datagen_decimal(0) + " " +
               datagen_decimal(0.5) + " " + datagen_decimal(0.5) + " " + datagen_decimal(20000) + " " +
               datagen_decimal(2000) + "\n";
    return out;
}

std::string datagen_hillside_tower_statue() {
    const tower_place &p = hillside_tower();
    const datagen_track &t = datagen_hillside_track();
    // As the game writes a statue row, so a saved track gives the same bytes.
    char line[256];
    snprintf(line, sizeof line, "[%f 0.000000 %f] %f @lighttower.jm @lighttower.png @lighttower.shp\n",
             (double)p.x * t.spacing, (double)p.z * t.spacing, (double)p.yaw);
    return line;
}

std::string datagen_hillside_tower_flare() {
    const tower_place &p = hillside_tower();
    const datagen_track &t = datagen_hillside_track();
    double ahead = PANEL_FRONT + FLARE_AHEAD;   // the face looks back along -d
    return "flare_element [ 0.000000 1.000000 ] [ 1.000000 0.960000 0.860000 ] 0.120000 @flare-glow.png\n"
           "flare_element [ 0.000000 0.550000 ] [ 0.350000 0.450000 0.800000 ] 0.050000 @flare-ring.png\n"
           "flare_element [ 0.000000 -0.250000 ] [ 0.450000 0.700000 0.450000 ] 0.070000 @flare-hex.png\n"
           "flare_element [ 0.000000 -0.700000 ] [ 0.800000 0.450000 0.300000 ] 0.110000 @flare-ring.png\n"
           "flare_point [ " +
           datagen_decimal((double)p.x * t.spacing - ahead * p.dx) + " " + datagen_decimal(p.ground + LAMP_HEIGHT) +
           " " + datagen_decimal((double)p.z * t.spacing - ahead * p.dz) + " ]\n";
}

std::string datagen_tower_check() {
    return hillside_tower().ok ? "" : "the start tower's lamps are hidden from the gates";
}

