// The bike part models of every base word (all share one geometry): frame with engine, tank,
// seat, fenders, shrouds and exhaust; the upper fork with clamps, bar and the chrome tubes;
// the lower fork; the swingarm with the chain; the number plates; and their far versions.
#include <cmath>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/model_atlas.h"

// The example row's rest positions and tyre radii.
const datagen_bike_rest datagen_rest = {
    {0, 1.09, 1.11}, {0, 1.04, 6.0}, {0, 1.98, 3.6}, {0, 2.9, 2.16}, {0, 1.34, 4.99},
    {0, 1.6, 4.08},  {0, 1.77, 1.59}, {0, 4.5, 4.12}, 0.8333, 0.3333, 0.75, 0.3333, 0.8333,
};

const datagen_bike_word datagen_bike_words[] = {
#define DATAGEN_BIKE_WORD_ROW(index, word, engine_class) {word, engine_class},
    DATAGEN_BIKE_WORD_LIST(DATAGEN_BIKE_WORD_ROW)
#undef DATAGEN_BIKE_WORD_ROW
};
const int datagen_bike_word_count = (int)(sizeof datagen_bike_words / sizeof datagen_bike_words[0]);

static solid_rect bike_rect(atlas_box b) {
    return atlas_rect(b, BIKE_SIDE);
}

static v3 rest_of(const double p[3]) {
    return solid_v3(p);
}

// Materials of the parts: painted plastic, metal, rubber and cloth, and chrome.
static datagen_jm_mesh bike_mesh(double mode, double specular) {
    datagen_jm_mesh m;
    m.mode = mode;
    m.colour[0] = m.colour[1] = m.colour[2] = specular;
    return m;
}

static solid_node node(v3 p, double rx, double ry, bool boxy = false) {
    solid_node n;
    n.p = p;
    n.rx = rx;
    n.ry = ry;
    n.boxy = boxy;
    return n;
}

static std::vector<solid_node> nodes_of(const std::vector<v3> &points, double radius) {
    std::vector<solid_node> out;
    for (v3 p : points) out.push_back(node(p, radius, radius));
    return out;
}

// Both sides: the points given for the right (+x) and their mirror images.
template <class F>
static void both_sides(F f) {
    f(1.0);
    f(-1.0);
}

static v3 side(v3 p, double s) {
    return {p.x * s, p.y, p.z};
}

// ---- Frame ----------------------------------------------------------------------------------

// The steering axis in frame coordinates: through the upper fork's origin, pointing down the
// fork towards the front axle.
static v3 steering_axis() {
    return solid_unit(rest_of(datagen_rest.front_wheel) - rest_of(datagen_rest.fork_upper));
}

static void frame_tubes(solid_builder *metal, bool far) {
    v3 top = rest_of(datagen_rest.fork_upper) - rest_of(datagen_rest.frame);
    v3 axis = steering_axis();
    int sides = far ? 6 : 12;
    solid_rod(metal, top + axis * 0.06, top + axis * 0.52, 0.1, {1, 0, 0}, sides,
              bike_rect(BIKE_FRAME), true);
    both_sides([&](double s) {
        // The twin spars from the steering head over the engine down to the pivot.
        std::vector<solid_node> spar = {
            node(side({0.08, 0.76, -1.47}, s), 0.13, 0.045, true),
            node(side({0.27, 0.56, -0.95}, s), 0.14, 0.05, true),
            node(side({0.32, 0.33, -0.3}, s), 0.13, 0.05, true),
            node(side({0.3, 0.0, 0.25}, s), 0.13, 0.05, true),
            node(side({0.28, -0.35, 0.45}, s), 0.14, 0.05, true),
            node(side({0.26, -0.58, 0.35}, s), 0.1, 0.045, true)};
        solid_sweep(metal, spar, {0, 1, 0}, sides, bike_rect(BIKE_FRAME), true);
        // The cradle under the engine and the rear subframe.
        solid_sweep(metal,
                    nodes_of({side({0.06, -0.45, -1.15}, s), side({0.17, -0.74, -0.72}, s),
                              side({0.21, -0.8, 0.1}, s), side({0.25, -0.58, 0.4}, s)},
                             0.055),
                    {0, 1, 0}, sides, bike_rect(BIKE_FRAME), true);
        solid_rod(metal, side({0.3, 0.1, 0.2}, s), side({0.2, 0.62, 1.62}, s), 0.045, {0, 1, 0},
                  sides, bike_rect(BIKE_FRAME), true);
        solid_rod(metal, side({0.27, -0.3, 0.5}, s), side({0.2, 0.56, 1.35}, s), 0.04, {0, 1, 0},
                  sides, bike_rect(BIKE_FRAME), true);
    });
    solid_sweep(metal,
                nodes_of({top + axis * 0.45, {0, -0.1, -1.45}, {0, -0.47, -1.14}}, 0.07),
                {1, 0, 0}, sides, bike_rect(BIKE_FRAME), true);
}

static void frame_engine(solid_builder *metal, bool far) {
    int sides = far ? 8 : 16;
    // Crankcase.
    solid_sweep(metal,
                {node({0, -0.44, -0.88}, 0.23, 0.2, true), node({0, -0.42, -0.45}, 0.27, 0.3, true),
                 node({0, -0.44, 0.12}, 0.25, 0.24, true)},
                {1, 0, 0}, sides, bike_rect(BIKE_ENGINE), true);
    // Cylinder with cooling fins, leaning forward, and the head.
    v3 base = {0, -0.18, -0.58}, head = {0, 0.34, -0.72};
    std::vector<solid_node> cylinder;
    int fins = far ? 1 : 12;
    for (int i = 0; i <= fins; i++) {
        v3 p = base + (head - base) * ((double)i / fins);
        double r = far || i % 2 == 0 ? 0.2 : 0.235;
        cylinder.push_back(node(p, r, r * 0.9, true));
    }
    solid_sweep(metal, cylinder, {1, 0, 0}, sides, bike_rect(BIKE_CYLINDER), true);
    v3 up = solid_unit(head - base);
    solid_box(metal, head + up * 0.08, {0.2, 0.07, 0.2}, {1, 0, 0}, up, cross({1, 0, 0}, up),
              bike_rect(BIKE_COVER));
    // Clutch cover on the right, ignition cover on the left.
    solid_ellipsoid(metal, {0.27, -0.45, -0.25}, {0.07, 0.21, 0.25}, {1, 0, 0}, {0, 1, 0},
                    {0, 0, 1}, far ? 8 : 16, far ? 4 : 8, bike_rect(BIKE_COVER));
    solid_ellipsoid(metal, {-0.27, -0.42, -0.58}, {0.06, 0.16, 0.17}, {1, 0, 0}, {0, 1, 0},
                    {0, 0, 1}, far ? 8 : 14, far ? 4 : 7, bike_rect(BIKE_COVER));
    // Radiators either side of the down tube.
    both_sides([&](double s) {
        solid_box(metal, side({0.3, 0.14, -1.08}, s), {0.05, 0.32, 0.22}, {1, 0, 0}, {0, 1, 0},
                  {0, 0, 1}, bike_rect(BIKE_RADIATOR));
    });
}

static void frame_exhaust(solid_builder *metal, bool far) {
    int sides = far ? 6 : 12;
    solid_sweep(metal,
                nodes_of({{0.05, 0.24, -0.84}, {0.13, 0.11, -1.02}, {0.25, -0.15, -1.06},
                          {0.32, -0.44, -0.82}, {0.34, -0.56, -0.3}, {0.34, -0.4, 0.15},
                          {0.33, 0.0, 0.55}, {0.32, 0.24, 0.86}},
                         0.065),
                {0, 1, 0}, sides, bike_rect(BIKE_HEADER), false);
    solid_sweep(metal,
                {node({0.32, 0.22, 0.8}, 0.1, 0.1), node({0.32, 0.32, 1.15}, 0.16, 0.15),
                 node({0.32, 0.5, 1.95}, 0.16, 0.15), node({0.32, 0.55, 2.12}, 0.09, 0.09)},
                {0, 1, 0}, far ? 8 : 16, bike_rect(BIKE_MUFFLER), true);
}

static void frame_plastics(solid_builder *plastic, bool far) {
    int sides = far ? 8 : 16;
    // Tank.
    solid_sweep(plastic,
                {node({0, 0.55, -1.38}, 0.2, 0.14, true), node({0, 0.62, -1.1}, 0.36, 0.22, true),
                 node({0, 0.62, -0.7}, 0.38, 0.24, true), node({0, 0.62, -0.36}, 0.3, 0.2, true),
                 node({0, 0.66, -0.2}, 0.2, 0.12, true)},
                {1, 0, 0}, sides, bike_rect(BIKE_PLASTIC), true);
    both_sides([&](double s) {
        // Shrouds over the radiators, and the side panels under the seat.
        solid_sweep(plastic,
                    {node(side({0.43, 0.3, -1.52}, s), 0.3, 0.02, true),
                     node(side({0.47, 0.22, -1.05}, s), 0.42, 0.025, true),
                     node(side({0.45, 0.28, -0.55}, s), 0.32, 0.025, true),
                     node(side({0.42, 0.4, -0.28}, s), 0.14, 0.02, true)},
                    {0, 1, 0}, far ? 4 : 8, bike_rect(BIKE_SHROUD), true);
        solid_sweep(plastic,
                    {node(side({0.29, 0.42, 0.15}, s), 0.24, 0.025, true),
                     node(side({0.3, 0.46, 0.8}, s), 0.22, 0.025, true),
                     node(side({0.27, 0.55, 1.35}, s), 0.12, 0.02, true)},
                    {0, 1, 0}, far ? 4 : 8, bike_rect(BIKE_SIDE_PANEL), true);
    });
    // Rear fender.
    solid_sweep(plastic,
                {node({0, 0.72, 1.25}, 0.26, 0.025, true), node({0, 0.78, 1.9}, 0.3, 0.025, true),
                 node({0, 0.74, 2.5}, 0.23, 0.025, true), node({0, 0.62, 2.95}, 0.15, 0.02, true)},
                {1, 0, 0}, far ? 6 : 12, bike_rect(BIKE_FENDER), true);
}

static void frame_seat(solid_builder *soft, bool far) {
    solid_sweep(soft,
                {node({0, 0.78, -0.45}, 0.16, 0.06, true), node({0, 0.8, -0.1}, 0.22, 0.09, true),
                 node({0, 0.8, 0.6}, 0.24, 0.1, true), node({0, 0.78, 1.3}, 0.2, 0.09, true),
                 node({0, 0.8, 1.62}, 0.14, 0.06, true)},
                {1, 0, 0}, far ? 8 : 16, bike_rect(BIKE_SEAT), true);
}

static void frame_details(solid_builder *metal) {
    // Shock absorber with its spring, from the frame down towards the linkage.
    v3 top = {0, 0.3, 0.4}, bottom = {0, -0.45, 0.55};
    solid_rod(metal, top, bottom, 0.07, {1, 0, 0}, 10, bike_rect(BIKE_METAL), true);
    std::vector<solid_node> spring;
    for (int i = 0; i <= 16; i++) {
        double r = i % 2 ? 0.085 : 0.115;
        spring.push_back(node(top + (bottom - top) * (0.15 + 0.7 * i / 16), r, r));
    }
    solid_sweep(metal, spring, {1, 0, 0}, 12, bike_rect(BIKE_SPRING), false);
    solid_rod(metal, top + v3{-0.12, -0.05, 0.05}, top + v3{-0.12, -0.1, 0.45}, 0.06, {0, 1, 0}, 10,
              bike_rect(BIKE_SPRING), true);
    // Foot pegs, the shift lever on the left and the brake pedal on the right.
    for (int k = 0; k < 2; k++) {
        v3 peg = solid_v3(datagen_skeleton.pegs[k]);
        double s = peg.x < 0 ? -1 : 1;
        solid_box(metal, peg + v3{s * 0.06, 0, 0}, {0.12, 0.025, 0.065}, {1, 0, 0}, {0, 1, 0},
                  {0, 0, 1}, bike_rect(BIKE_METAL));
        v3 pivot = peg + v3{-s * 0.14, 0.02, -0.02}, tip = peg + v3{s * 0.02, 0.1, -0.55};
        v3 along = solid_unit(tip - pivot);
        solid_box(metal, (pivot + tip) * 0.5, {0.02, 0.03, solid_length(tip - pivot) / 2}, {1, 0, 0},
                  solid_unit(cross(along, {1, 0, 0})), along, bike_rect(BIKE_METAL));
    }
}

static datagen_jm_model frame_model(bool far) {
    datagen_jm_mesh plastic = bike_mesh(40, 0.5), metal = bike_mesh(30, 0.6), soft = bike_mesh(6, 0.1);
    solid_builder p{&plastic, {}}, m{&metal, {}}, s{&soft, {}};
    frame_tubes(&m, far);
    frame_engine(&m, far);
    frame_exhaust(&m, far);
    if (!far) frame_details(&m);
    frame_plastics(&p, far);
    frame_seat(&s, far);
    datagen_jm_model model;
    model.meshes = {plastic, metal, soft};
    return model;
}

// ---- Forks ----------------------------------------------------------------------------------

// A point on a fork leg (side s) at t along the steering axis from the upper fork's origin,
// in upper-fork coordinates.
static v3 fork_leg(double s, double t) {
    return v3{s * datagen_rest.fork_spacing / 2, 0, 0} + steering_axis() * t;
}

// Forward and up across the fork: perpendicular to the axis, in the centre plane.
static v3 fork_forward() {
    v3 a = steering_axis();
    return {0, -a.z, a.y};
}

// The handlebar's line for the right side (mirrored for the left); grips at the ends.
static const v3 BAR_POINTS[] = {{0.3, 0.3, 0.08}, {0.45, 0.33, 0.1}, {0.62, 0.42, 0.16},
                                {0.86, 0.5, 0.19}, {1.1, 0.58, 0.22}};

static v3 bar_at(double x) {
    v3 a = BAR_POINTS[2], b = BAR_POINTS[4];
    return a + (b - a) * ((x - a.x) / (b.x - a.x));
}

static void fork_upper_metal(solid_builder *metal, bool far) {
    v3 a = steering_axis(), up = a * -1.0, back = cross({1, 0, 0}, up);
    solid_box(metal, a * 0.02, {0.56, 0.045, 0.15}, {1, 0, 0}, up, back, bike_rect(BIKE_CLAMP));
    solid_box(metal, a * 0.5, {0.57, 0.06, 0.16}, {1, 0, 0}, up, back, bike_rect(BIKE_CLAMP));
    std::vector<solid_node> bar;
    for (int k = 4; k >= 0; k--) bar.push_back(node(side(BAR_POINTS[k], -1), 0.042, 0.042));
    for (int k = 0; k <= 4; k++) bar.push_back(node(BAR_POINTS[k], 0.042, 0.042));
    solid_sweep(metal, bar, {0, 1, 0}, far ? 6 : 10, bike_rect(BIKE_BAR), true);
    if (far) return;
    both_sides([&](double s) {
        solid_box(metal, side({0.2, 0.16, 0.05}, s), {0.05, 0.12, 0.06}, {1, 0, 0}, {0, 1, 0},
                  {0, 0, 1}, bike_rect(BIKE_CLAMP));
        // The lever in front of the grip, on its perch.
        v3 perch = side(bar_at(0.7), s), tip = perch + v3{s * 0.32, 0.02, -0.26};
        v3 along = solid_unit(tip - perch);
        solid_box(metal, perch, {0.04, 0.05, 0.05}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                  bike_rect(BIKE_METAL));
        solid_box(metal, (perch + tip) * 0.5 + v3{0, 0, -0.04}, {solid_length(tip - perch) / 2, 0.015, 0.03},
                  along, {0, 1, 0}, cross(along, {0, 1, 0}), bike_rect(BIKE_METAL));
    });
}

static void fork_upper_plastics(solid_builder *plastic, solid_builder *rubber, bool far) {
    solid_sweep(plastic, {node({-0.28, 0.31, 0.08}, 0.07, 0.08, true), node({0.28, 0.31, 0.08}, 0.07, 0.08, true)},
                {0, 1, 0}, far ? 6 : 12, bike_rect(BIKE_PAD), true);
    // The front fender on an arc round the wheel, under the bottom clamp.
    v3 centre = rest_of(datagen_rest.front_wheel) - rest_of(datagen_rest.fork_upper);
    v3 up = steering_axis() * -1.0, forward = fork_forward();
    std::vector<solid_node> fender;
    int steps = far ? 4 : 10;
    for (int i = 0; i <= steps; i++) {
        double angle = SOLID_PI * (-35.0 + 110.0 * i / steps) / 180;
        v3 p = centre + (up * solid_cos(angle) + forward * solid_sin(angle)) * 1.5;
        fender.push_back(node(p, 0.26 - 0.06 * i / steps, 0.022, true));
    }
    solid_sweep(plastic, fender, {1, 0, 0}, far ? 6 : 12, bike_rect(BIKE_FENDER), true);
    both_sides([&](double s) {
        solid_rod(rubber, side(bar_at(0.76), s), side(bar_at(1.13), s), 0.062, {0, 1, 0},
                  far ? 6 : 12, bike_rect(BIKE_GRIP), true);
    });
}

// The two chrome tubes: one reflective mesh, last in the file.
static datagen_jm_mesh fork_chrome(bool far) {
    datagen_jm_mesh chrome;
    chrome.mode = -1;
    chrome.factor = 0.8;
    solid_builder b{&chrome, {}};
    both_sides([&](double s) {
        solid_rod(&b, fork_leg(s, -0.06), fork_leg(s, 1.2), 0.085, {1, 0, 0}, far ? 6 : 14,
                  bike_rect(BIKE_CHROME), true);
    });
    return chrome;
}

static datagen_jm_model fork_upper_model(bool far) {
    datagen_jm_mesh metal = bike_mesh(40, 0.6), plastic = bike_mesh(40, 0.5), rubber = bike_mesh(6, 0.1);
    solid_builder m{&metal, {}}, p{&plastic, {}}, r{&rubber, {}};
    fork_upper_metal(&m, far);
    fork_upper_plastics(&p, &r, far);
    datagen_jm_model model;
    model.meshes = {metal, plastic, rubber, fork_chrome(far)};
    return model;
}

static datagen_jm_model fork_lower_model(bool far) {
    datagen_jm_mesh metal = bike_mesh(36, 0.6), plastic = bike_mesh(40, 0.5);
    solid_builder m{&metal, {}}, p{&plastic, {}};
    v3 to_lower = rest_of(datagen_rest.fork_upper) - rest_of(datagen_rest.fork_lower);
    v3 axle = rest_of(datagen_rest.front_wheel) - rest_of(datagen_rest.fork_lower);
    v3 up = steering_axis() * -1.0, forward = fork_forward(), back = forward * -1.0;
    int sides = far ? 6 : 14;
    both_sides([&](double s) {
        solid_sweep(&m, {node(fork_leg(s, 0.92) + to_lower, 0.125, 0.125),
                         node(fork_leg(s, 1.0) + to_lower, 0.12, 0.12),
                         node(fork_leg(s, 2.2) + to_lower, 0.11, 0.11)},
                    {1, 0, 0}, sides, bike_rect(BIKE_SLIDER), true);
        v3 lug = v3{s * datagen_rest.fork_spacing / 2, axle.y, axle.z};
        solid_box(&m, lug, {0.08, 0.12, 0.12}, {1, 0, 0}, up, back, bike_rect(BIKE_SLIDER));
        // Guards in front of the sliders.
        solid_sweep(&p, {node(fork_leg(s, 1.0) + to_lower + forward * 0.13, 0.13, 0.03, true),
                         node(fork_leg(s, 1.95) + to_lower + forward * 0.13, 0.11, 0.03, true)},
                    {1, 0, 0}, far ? 4 : 8, bike_rect(BIKE_PLASTIC), true);
    });
    solid_rod(&m, axle + v3{-0.5, 0, 0}, axle + v3{0.5, 0, 0}, 0.055, {0, 1, 0}, sides,
              bike_rect(BIKE_METAL), true);
    if (!far)  // the brake caliper on the left, behind the axle over the disc
        solid_box(&m, axle + v3{-0.235, 0, 0} + back * 0.36 + up * 0.12, {0.07, 0.14, 0.09}, {1, 0, 0},
                  up, back, bike_rect(BIKE_CLAMP));
    datagen_jm_model model;
    model.meshes = {metal, plastic};
    return model;
}

// ---- Swingarm -------------------------------------------------------------------------------

// asin by Newton's method on the kit's own sine (|x| well below 1).
static double solid_asin(double x) {
    double t = x;
    for (int i = 0; i < 20; i++) t -= (solid_sin(t) - x) / solid_cos(t);
    return t;
}

// Directions in the plane x = const turning from `from` by angles 0..angle towards `via`, as
// points round c at radius r.
static void arc_points(std::vector<v3> *out, v3 c, double r, v3 from, v3 via, double angle,
                       int steps) {
    v3 perpendicular = cross({1, 0, 0}, from);
    if (dot(perpendicular, via) < 0) perpendicular = perpendicular * -1.0;
    for (int i = 0; i <= steps; i++) {
        double t = angle * i / steps;
        out->push_back(c + (from * solid_cos(t) + perpendicular * solid_sin(t)) * r);
    }
}

// The chain's loop in the sprockets' plane: round the rear sprocket (r2 round c2) from the top
// run to the bottom run, then round the front one (r1 round c1), on their outer tangents.
static std::vector<solid_node> chain_loop(v3 c1, double r1, v3 c2, double r2, int arc_steps) {
    v3 d = c2 - c1;
    v3 u = solid_unit(d), n = {0, -u.z, u.y};  // n: up across the run
    double sa = (r2 - r1) / solid_length(d), ca = std::sqrt(1 - sa * sa), wrap = solid_asin(sa);
    v3 top = u * -sa + n * ca, bottom = u * -sa - n * ca;
    std::vector<v3> points;
    arc_points(&points, c2, r2, top, u, SOLID_PI + 2 * wrap, arc_steps);
    arc_points(&points, c1, r1, bottom, u * -1.0, SOLID_PI - 2 * wrap, arc_steps / 2 + 1);
    std::vector<solid_node> out;
    for (v3 p : points) out.push_back(node(p, 0.025, 0.03, true));
    out.push_back(out.front());
    return out;
}

static datagen_jm_model swingarm_model(bool far) {
    datagen_jm_mesh metal = bike_mesh(40, 0.6), dark = bike_mesh(10, 0.2);
    solid_builder m{&metal, {}}, k{&dark, {}};
    v3 pivot = rest_of(datagen_rest.swingarm_pivot) - rest_of(datagen_rest.swingarm);
    v3 axle = rest_of(datagen_rest.rear_wheel) - rest_of(datagen_rest.swingarm);
    v3 d = solid_unit(axle - pivot);
    int sides = far ? 6 : 12;
    both_sides([&](double s) {
        solid_sweep(&m, {node(pivot + v3{s * 0.3, 0, 0} - d * 0.05, 0.13, 0.05, true),
                         node(pivot + v3{s * 0.33, 0, 0} + d * 0.5, 0.12, 0.05, true),
                         node(pivot + v3{s * 0.34, 0, 0} + d * 1.2, 0.1, 0.05, true),
                         node(axle + v3{s * 0.34, 0, 0} + d * 0.15, 0.07, 0.045, true)},
                    {0, 1, 0}, sides, bike_rect(BIKE_SWINGARM), true);
        solid_box(&m, axle + v3{s * 0.36, 0, 0}, {0.04, 0.07, 0.1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                  bike_rect(BIKE_CLAMP));
    });
    solid_rod(&m, pivot + v3{-0.36, 0, 0}, pivot + v3{0.36, 0, 0}, 0.09, {0, 1, 0}, sides,
              bike_rect(BIKE_SWINGARM), true);
    solid_sweep(&m, {node(pivot + d * 0.45 + v3{-0.33, 0, 0}, 0.1, 0.05, true),
                     node(pivot + d * 0.45 + v3{0.33, 0, 0}, 0.1, 0.05, true)},
                {0, 1, 0}, sides, bike_rect(BIKE_SWINGARM), true);
    solid_rod(&m, axle + v3{-0.42, 0, 0}, axle + v3{0.42, 0, 0}, 0.05, {0, 1, 0}, sides,
              bike_rect(BIKE_METAL), true);
    v3 front_sprocket = pivot + v3{-0.235, 0.05, -0.28};
    solid_sweep(&k, chain_loop(front_sprocket, 0.11, axle + v3{-0.235, 0, 0}, 0.41, far ? 4 : 10),
                {1, 0, 0}, 4, bike_rect(BIKE_CHAIN), false);
    if (!far) {
        v3 up = solid_unit(cross({1, 0, 0}, d));
        solid_sweep(&k, {node(pivot + v3{-0.33, 0, 0} + d * 0.05 + up * 0.13, 0.03, 0.055, true),
                         node(pivot + v3{-0.34, 0, 0} + d * 0.8 + up * 0.11, 0.03, 0.055, true)},
                    {0, 1, 0}, 8, bike_rect(BIKE_RUBBER), true);
        solid_box(&m, pivot + v3{0, -0.25, 0.3}, {0.12, 0.05, 0.2}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                  bike_rect(BIKE_METAL));
        solid_box(&m, axle + v3{0.235, 0.33, -0.08}, {0.06, 0.12, 0.08}, {1, 0, 0}, {0, 1, 0},
                  {0, 0, 1}, bike_rect(BIKE_CLAMP));
    }
    datagen_jm_model model;
    model.meshes = {metal, dark};
    return model;
}

// ---- Plates ---------------------------------------------------------------------------------

// The number-plate picture on the front of each plate, read the right way round from outside.
static const solid_rect PLATE_FRONT = {0, 0, 1, 1}, PLATE_BACK = {0.02, 0.02, 0.06, 0.06};

static datagen_jm_model side_plates_model() {
    datagen_jm_mesh plate = bike_mesh(20, 0.3);
    solid_builder b{&plate, {}};
    both_sides([&](double s) {
        v3 c = {s * 0.34, 0.44, 0.9};
        // Seen from outside, the picture's left edge is towards the rear on the right plate
        // and towards the front on the left one; the plate rises towards the rear.
        auto corner = [&](double z, double up) { return c + v3{0, up + (z > 0 ? 0.06 : 0), z}; };
        double left = 0.47 * s;
        const v3 corners[4] = {corner(left, -0.32), corner(-left, -0.32), corner(-left, 0.32),
                               corner(left, 0.32)};
        solid_panel(&b, corners, 0.02, PLATE_FRONT, PLATE_BACK);
    });
    datagen_jm_model model;
    model.meshes = {plate};
    return model;
}

static datagen_jm_model front_plate_model() {
    datagen_jm_mesh plate = bike_mesh(20, 0.3);
    solid_builder b{&plate, {}};
    v3 a = steering_axis();
    v3 c = a * 0.15 + fork_forward() * 0.3, x = {1, 0, 0};
    const v3 corners[4] = {c + x * 0.425 + a * 0.375, c - x * 0.425 + a * 0.375,
                           c - x * 0.425 - a * 0.375, c + x * 0.425 - a * 0.375};
    solid_panel(&b, corners, 0.02, PLATE_FRONT, PLATE_BACK);
    datagen_jm_model model;
    model.meshes = {plate};
    return model;
}

datagen_jm_model datagen_bike_part_model(int file) {
    switch (file) {
    case BIKE_FILE_FRAME:
    case BIKE_FILE_FRAME_LOD:
        return frame_model(file == BIKE_FILE_FRAME_LOD);
    case BIKE_FILE_FORK_UPPER:
    case BIKE_FILE_FORK_UPPER_LOD:
        return fork_upper_model(file == BIKE_FILE_FORK_UPPER_LOD);
    case BIKE_FILE_FORK_LOWER:
    case BIKE_FILE_FORK_LOWER_LOD:
        return fork_lower_model(file == BIKE_FILE_FORK_LOWER_LOD);
    case BIKE_FILE_SWINGARM:
    case BIKE_FILE_SWINGARM_LOD:
        return swingarm_model(file == BIKE_FILE_SWINGARM_LOD);
    case BIKE_FILE_SIDE_PLATES:
        return side_plates_model();
    default:
        return front_plate_model();
    }
}

std::string datagen_bike_file_bytes(int word, int file) {
    if (file == BIKE_FILE_TEXTURE) return datagen_png(datagen_bike_image(word));
    return datagen_jm(datagen_bike_part_model(file));
}
