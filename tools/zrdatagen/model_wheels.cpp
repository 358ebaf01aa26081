// The wheel models: knobbly tyre, rim, spokes, hub with the brake disc (and the sprocket on
// the rear), axle along x at the origin; the versions for 32 ft (no spokes, no knobs) and
// 128 ft (a flat disc).
#include <cmath>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/model_atlas.h"

namespace {

struct wheel_size {
    double ring, section;  // the tyre's ring and section radii
    double half_width;     // of the tyre across
    double rim_half_width;
    double disc_radius;    // brake disc
};

}  // namespace

static wheel_size wheel_size_of(int rear) {
    if (rear) return {datagen_rest.rear_ring, datagen_rest.rear_section, 0.2, 0.11, 0.39};
    return {datagen_rest.front_ring, datagen_rest.front_section, 0.16, 0.09, 0.44};
}

static solid_rect wheels_rect(atlas_box b) {
    return atlas_rect(b, WHEELS_SIDE);
}

// The height of the knobs above the carcass, and how far they sink into it.
static const double KNOB_HEIGHT = 0.045, KNOB_SINK = 0.005, KNOB_HALF = 0.045;

static double carcass_radius(const wheel_size &w, bool knobs) {
    return w.section - (knobs ? KNOB_HEIGHT : 0.0);
}

// The carcass's cross-section at angle phi from the outward direction: radius and x, with the
// normal's parts.
static solid_profile_point carcass_point(const wheel_size &w, double a, double phi) {
    double c = solid_cos(phi), s = solid_sin(phi);
    v3 n = solid_unit({s / w.half_width, c / a, 0});
    return {w.ring + a * c, w.half_width * s, n.y, n.x};
}

// From bead to bead round the outside: -150 to +150 degrees.
static void wheel_carcass(solid_builder *b, const wheel_size &w, bool knobs, int segments,
                          int steps) {
    double a = carcass_radius(w, knobs);
    std::vector<solid_profile_point> profile;
    for (int i = 0; i <= steps; i++)
        profile.push_back(carcass_point(w, a, SOLID_PI * (-150.0 + 300.0 * i / steps) / 180));
    solid_revolve(b, {0, 0, 0}, profile, segments, wheels_rect(WHEELS_TREAD), 0);
}

// Rows of knobs round the tread, three and two across in turn.
static void wheel_knobs(solid_builder *b, const wheel_size &w, int rows) {
    double a = carcass_radius(w, true);
    for (int row = 0; row < rows; row++) {
        double theta = 2 * SOLID_PI * row / rows;
        double ct = solid_cos(theta), st = solid_sin(theta);
        std::vector<double> across = row % 2 ? std::vector<double>{-30, 30}
                                             : std::vector<double>{-62, 0, 62};
        for (double degrees : across) {
            solid_profile_point q = carcass_point(w, a, SOLID_PI * degrees / 180);
            v3 p = {q.x, q.r * ct, q.r * st};
            v3 n = solid_unit({q.nx, q.nr * ct, q.nr * st});
            v3 t = {0, -st, ct};
            v3 l = solid_unit(cross(n, t));
            t = cross(l, n);
            // Lower a knob until its outer corners stay within the tyre's outer radius.
            double height = KNOB_HEIGHT, limit = w.ring + w.section - 0.0005;
            for (int pass = 0; pass < 8; pass++) {
                double reach = 0;
                for (double dt : {-KNOB_HALF, KNOB_HALF})
                    for (double dl : {-KNOB_HALF, KNOB_HALF}) {
                        v3 c = p + n * height + t * dt + l * dl;
                        reach = std::fmax(reach, std::sqrt(c.y * c.y + c.z * c.z));
                    }
                if (reach <= limit) break;
                height -= (reach - limit) / std::fmax(std::fabs(n.y * ct + n.z * st), 0.3);
            }
            double half_height = (height + KNOB_SINK) / 2;
            solid_box(b, p + n * (half_height - KNOB_SINK), {KNOB_HALF, half_height, KNOB_HALF}, t,
                      n, l, wheels_rect(WHEELS_KNOB));
        }
    }
}

// A ring of rectangular section between the radii and +-half along x, hard edged.
static std::vector<solid_profile_point> ring_profile(double r0, double r1, double x0, double x1) {
    return {{r1, x0, 1, 0}, {r1, x1, 1, 0}, {r1, x1, 0, 1},  {r0, x1, 0, 1},
            {r0, x1, -1, 0}, {r0, x0, -1, 0}, {r0, x0, 0, -1}, {r1, x0, 0, -1}};
}

// A profile along the points (radius, x) with each segment's own outward normal.
static std::vector<solid_profile_point> hard_profile(const std::vector<std::array<double, 2>> &pts) {
    std::vector<solid_profile_point> out;
    for (size_t i = 0; i + 1 < pts.size(); i++) {
        double dr = pts[i + 1][0] - pts[i][0], dx = pts[i + 1][1] - pts[i][1];
        double len = std::sqrt(dr * dr + dx * dx);
        double nr = dx / len, nx = -dr / len;
        out.push_back({pts[i][0], pts[i][1], nr, nx});
        out.push_back({pts[i + 1][0], pts[i + 1][1], nr, nx});
    }
    return out;
}

static double rim_outer(const wheel_size &w, bool knobs) {
    return w.ring - 0.866 * carcass_radius(w, knobs) + 0.01;
}

static void wheel_rim(solid_builder *b, const wheel_size &w, bool knobs, int segments) {
    double r1 = rim_outer(w, knobs);
    solid_revolve(b, {0, 0, 0}, ring_profile(r1 - 0.08, r1, -w.rim_half_width, w.rim_half_width),
                  segments, wheels_rect(WHEELS_RIM), 0);
}

static void wheel_hub(solid_builder *b, int segments) {
    solid_revolve(b, {0, 0, 0},
                  hard_profile({{0.0, -0.30}, {0.06, -0.30}, {0.06, -0.22}, {0.10, -0.22},
                                {0.10, -0.19}, {0.19, -0.19}, {0.19, -0.16}, {0.10, -0.16},
                                {0.10, 0.16}, {0.19, 0.16}, {0.19, 0.19}, {0.10, 0.19},
                                {0.10, 0.22}, {0.06, 0.22}, {0.06, 0.30}, {0.0, 0.30}}),
                  segments, wheels_rect(WHEELS_HUB), 0);
}

// A flat disc at x (brake disc, sprocket) with its picture laid over it.
static void wheel_disc(solid_builder *b, double x, double r0, double r1, int segments, atlas_box pic) {
    solid_revolve(b, {0, 0, 0}, ring_profile(r0, r1, x - 0.006, x + 0.006), segments,
                  wheels_rect(pic), r1);
}

// Spokes from the hub flanges to the rim, crossing: half on each side.
static void wheel_spokes(solid_builder *b, const wheel_size &w, int count) {
    double rim_inner = rim_outer(w, true) - 0.08;
    for (int i = 0; i < count; i++) {
        double side = i % 2 ? 1.0 : -1.0;
        double hub_angle = 2 * SOLID_PI * i / count;
        double rim_angle = hub_angle + (i % 4 < 2 ? 0.38 : -0.38);
        v3 from = {side * 0.175, 0.17 * solid_cos(hub_angle), 0.17 * solid_sin(hub_angle)};
        v3 to = {side * 0.03, (rim_inner + 0.01) * solid_cos(rim_angle),
                 (rim_inner + 0.01) * solid_sin(rim_angle)};
        solid_rod(b, from, to, 0.011, {1, 0, 0}, 4, wheels_rect(WHEELS_SPOKE), false);
    }
}

static datagen_jm_mesh wheel_mesh(double mode, double specular) {
    datagen_jm_mesh m;
    m.mode = mode;
    m.colour[0] = m.colour[1] = m.colour[2] = specular;
    return m;
}

// The far version: a disc showing the side view on both faces, and a band of tread.
static void wheel_flat(solid_builder *b, const wheel_size &w, int sides) {
    double r = w.ring + w.section - 0.002;
    solid_rect face = wheels_rect(WHEELS_FACE);
    for (int s = -1; s <= 1; s += 2) {
        double x = s * w.half_width * 0.8;
        int centre = b->vertex({x, 0, 0}, {(double)s, 0, 0}, solid_u(face, 0.5), solid_v(face, 0.5));
        int first = (int)b->mesh->vertices.size();
        for (int j = 0; j <= sides; j++) {
            double a = 2 * SOLID_PI * j / sides, c = solid_cos(a), sn = solid_sin(a);
            b->vertex({x, r * c, r * sn}, {(double)s, 0, 0}, solid_u(face, 0.5 + 0.5 * sn),
                      solid_v(face, 0.5 + 0.5 * c));
        }
        for (int j = 0; j < sides; j++) b->triangle(centre, first + j, first + j + 1);
    }
    solid_revolve(b, {0, 0, 0}, {{r, -w.half_width * 0.8, 1, 0}, {r, w.half_width * 0.8, 1, 0}},
                  sides, wheels_rect(WHEELS_TREAD), 0);
}

datagen_jm_model datagen_wheel_model(int rear, int detail) {
    wheel_size w = wheel_size_of(rear);
    datagen_jm_model model;
    if (detail >= 2) {
        datagen_jm_mesh m = wheel_mesh(4, 0.1);
        solid_builder b{&m, {}};
        wheel_flat(&b, w, 12);
        model.meshes.push_back(m);
        return model;
    }
    bool full = detail == 0;
    datagen_jm_mesh tyre = wheel_mesh(6, 0.06), rim = wheel_mesh(48, 0.7), hub = wheel_mesh(32, 0.5);
    solid_builder bt{&tyre, {}}, br{&rim, {}}, bh{&hub, {}};
    wheel_carcass(&bt, w, full, full ? 64 : 20, full ? 14 : 8);
    if (full) wheel_knobs(&bt, w, rear ? 40 : 36);
    wheel_rim(&br, w, full, full ? 64 : 20);
    wheel_hub(&bh, full ? 24 : 10);
    if (full) wheel_spokes(&bh, w, 32);
    double side = rear ? 1.0 : -1.0;  // the disc: front on the left, rear on the right
    wheel_disc(&bh, side * 0.235, 0.1, w.disc_radius, full ? 48 : 16, WHEELS_ROTOR);
    if (rear) wheel_disc(&bh, -0.235, 0.1, 0.42, full ? 48 : 16, WHEELS_SPROCKET);
    model.meshes = {tyre, rim, hub};
    return model;
}

std::string datagen_front_wheel_jm() {
    return datagen_jm(datagen_wheel_model(0, 0));
}

std::string datagen_rear_wheel_jm() {
    return datagen_jm(datagen_wheel_model(1, 0));
}

std::string datagen_front_wheel_lod5_jm() {
    return datagen_jm(datagen_wheel_model(0, 1));
}

std::string datagen_rear_wheel_lod5_jm() {
    return datagen_jm(datagen_wheel_model(1, 1));
}

std::string datagen_front_wheel_lod7_jm_gz() {
    return datagen_gzip(datagen_jm(datagen_wheel_model(0, 2)));
}

std::string datagen_rear_wheel_lod7_jm_gz() {
    return datagen_gzip(datagen_jm(datagen_wheel_model(1, 2)));
}
