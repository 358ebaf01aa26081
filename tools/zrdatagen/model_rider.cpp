// The rider: the skeleton of the rest pose, the skinned body (torso, arms and legs, gloves and
// boots) with its first-person and far versions, the plate on the back, and the helmet.
#include <cmath>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/model_atlas.h"

// Seated, hands on the grips, soles on the pegs; left is -x. The elbows and knees are where
// the two-bone limb solver puts them for the rest pose (elbows out, down and back; knees
// forward and out), so every bone has its limb length.
const datagen_rider_skeleton datagen_skeleton = {
    {{"torso", {0, -1.3, 0.2}, {0, 0.55, -0.78}},
     {"left upper arm", {-0.62, 0.38, -0.72}, {-1.102664, -0.365926, -0.863633}},
     {"left forearm", {-1.102664, -0.365926, -0.863633}, {-0.95, -1.07, -1.76}},
     {"right upper arm", {0.62, 0.38, -0.72}, {1.102664, -0.365926, -0.863633}},
     {"right forearm", {1.102664, -0.365926, -0.863633}, {0.95, -1.07, -1.76}},
     {"left thigh", {-0.32, -1.3, 0.2}, {-0.699135, -1.891518, -0.926919}},
     {"left shin", {-0.699135, -1.891518, -0.926919}, {-0.55, -2.97, 0.38}},
     {"right thigh", {0.32, -1.3, 0.2}, {0.699135, -1.891518, -0.926919}},
     {"right shin", {0.699135, -1.891518, -0.926919}, {0.55, -2.97, 0.38}}},
    {0, 1.0, -0.95},
    0.9,
    1.15,
    1.328,
    1.701,
    {{-0.95, 0.53, 0.2}, {0.95, 0.53, 0.2}},
    {{-0.55, -0.73, 0.65}, {0.55, -0.73, 0.65}},
};

static solid_rect body_rect(atlas_box b) {
    return atlas_rect(b, BODY_SIDE);
}

static std::vector<double> bone_only(int bone) {
    std::vector<double> w(RIDER_BONES, 0.0);
    w[bone] = 1;
    return w;
}

// Two bones blended across a joint at distance `at` along a limb, over +-half: smooth.
static std::vector<double> blend(int first, int second, double s, double at, double half) {
    double t = (s - (at - half)) / (2 * half);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    t = t * t * (3 - 2 * t);
    std::vector<double> w(RIDER_BONES, 0.0);
    w[first] += 1 - t;
    w[second] += t;
    return w;
}

namespace {

// One limb: the torso, then two bones from root through the middle joint to the end.
struct limb {
    int upper, lower;
    v3 root, middle, end;
    double blend_root, blend_middle;  // half widths of the blends
};

// A radius profile along a limb: distance from the root and radius there.
struct limb_radius {
    double s, r;
};

}  // namespace

static limb limb_of(int upper_bone) {
    const datagen_rider_bone &a = datagen_skeleton.bones[upper_bone];
    const datagen_rider_bone &b = datagen_skeleton.bones[upper_bone + 1];
    bool arm = upper_bone <= RIDER_BONE_RIGHT_FOREARM;
    return {upper_bone, upper_bone + 1, solid_v3(a.root), solid_v3(a.end), solid_v3(b.end),
            arm ? 0.16 : 0.2, arm ? 0.12 : 0.15};
}

// The point at distance s along the limb (negative: back from the root into the body).
static v3 limb_point(const limb &l, double s) {
    double a = solid_length(l.middle - l.root);
    if (s <= a) return l.root + solid_unit(l.middle - l.root) * s;
    return l.middle + solid_unit(l.end - l.middle) * (s - a);
}

static double limb_total(const limb &l) {
    return solid_length(l.middle - l.root) + solid_length(l.end - l.middle);
}

static std::vector<double> limb_weights(const limb &l, double s) {
    double a = solid_length(l.middle - l.root);
    if (s < a * 0.5) return blend(RIDER_BONE_TORSO, l.upper, s, 0, l.blend_root);
    return blend(l.upper, l.lower, s, a, l.blend_middle);
}

static double radius_at(const std::vector<limb_radius> &radii, double s) {
    if (s <= radii.front().s) return radii.front().r;
    for (size_t i = 0; i + 1 < radii.size(); i++)
        if (s <= radii[i + 1].s) {
            double t = (s - radii[i].s) / (radii[i + 1].s - radii[i].s);
            return radii[i].r + (radii[i + 1].r - radii[i].r) * t;
        }
    return radii.back().r;
}

// A sleeve or trouser leg over the stretch s0..s1 of the limb, with stations every step (and
// at the joint), weighted by where they lie.
static void limb_tube(solid_builder *b, const limb &l, double s0, double s1, double step,
                      const std::vector<limb_radius> &radii, int sides, atlas_box pic) {
    double a = solid_length(l.middle - l.root);
    std::vector<double> stations;
    for (double s = s0; s < s1 - 1e-9; s += step) stations.push_back(s);
    stations.push_back(s1);
    if (a > s0 && a < s1) {
        size_t i = 0;
        while (i < stations.size() && stations[i] < a) i++;
        if (std::abs(stations[i] - a) > 0.02 && std::abs(stations[i - 1] - a) > 0.02)
            stations.insert(stations.begin() + (long)i, a);
    }
    std::vector<solid_node> nodes;
    for (double s : stations) {
        solid_node n;
        n.p = limb_point(l, s);
        n.rx = n.ry = radius_at(radii, s);
        n.weights = limb_weights(l, s);
        nodes.push_back(n);
    }
    solid_sweep(b, nodes, {0, 1, 0}, sides, body_rect(pic), false);
}

static void rider_arm(solid_builder *cloth, solid_builder *gear, int upper_bone, bool first_person,
                      int detail) {
    limb l = limb_of(upper_bone);
    double a = solid_length(l.middle - l.root), total = limb_total(l);
    int sides = detail ? 7 : 12;
    double step = detail ? 0.35 : 0.12;
    std::vector<limb_radius> radii = {{-0.1, 0.2}, {0.2, 0.19}, {a, 0.15}, {total - 0.2, 0.11}};
    limb_tube(cloth, l, first_person ? 0.45 : -0.12, total - 0.15, step, radii, sides, BODY_SLEEVE);
    // The glove: its cuff over the wrist, then the fist round the grip.
    gear->weights = bone_only(l.lower);
    limb_tube(gear, l, total - 0.3, total - 0.05, 0.25, {{0, 0.13}}, sides, BODY_GLOVE);
    v3 along = solid_unit(l.end - l.middle);
    v3 side = solid_unit(cross(along, {0, 1, 0}));
    v3 up = cross(side, along);
    solid_ellipsoid(gear, l.end + along * 0.06, {0.12, 0.1, 0.17}, side, up, along,
                    detail ? 8 : 12, detail ? 5 : 8, body_rect(BODY_GLOVE));
}

static void rider_leg(solid_builder *cloth, solid_builder *gear, int upper_bone, bool first_person,
                      int detail) {
    limb l = limb_of(upper_bone);
    double a = solid_length(l.middle - l.root), total = limb_total(l);
    int sides = detail ? 8 : 14;
    double step = detail ? 0.45 : 0.14;
    std::vector<limb_radius> radii = {{-0.15, 0.3}, {0.3, 0.28}, {a, 0.22}, {total, 0.17}};
    double boot_top = a + 0.8;
    limb_tube(cloth, l, first_person ? 0.35 : -0.15, boot_top + 0.1, step, radii, sides, BODY_PANTS);
    // The knee guard under the trousers shows as a pad over the knee.
    v3 shin = solid_unit(l.end - l.middle);
    v3 knee_out = l.middle - (l.root + l.end) * 0.5;
    knee_out = solid_unit(knee_out - shin * dot(knee_out, shin));
    cloth->weights = blend(l.upper, l.lower, 0, 0, 0.5);
    solid_ellipsoid(cloth, l.middle + knee_out * 0.12, {0.2, 0.17, 0.14}, cross(knee_out, shin),
                    shin, knee_out, detail ? 8 : 12, detail ? 5 : 8, body_rect(BODY_KNEE));
    // The boot: shaft from below the knee to the ankle, then the foot on the peg.
    gear->weights = bone_only(l.lower);
    limb_tube(gear, l, boot_top, total + 0.05, detail ? 1.0 : 0.2,
              {{boot_top, 0.215}, {total, 0.2}}, sides, BODY_BOOT);
    v3 ankle = l.end;
    double out = ankle.x < 0 ? -1 : 1;
    solid_node heel, ball, toe;
    heel.p = ankle + v3{0, -0.12, 0.12};
    ball.p = ankle + v3{out * 0.02, -0.15, -0.32};
    toe.p = ankle + v3{out * 0.04, -0.16, -0.6};
    heel.rx = 0.15, heel.ry = 0.14;
    ball.rx = 0.15, ball.ry = 0.1;
    toe.rx = 0.12, toe.ry = 0.07;
    heel.boxy = ball.boxy = toe.boxy = true;
    solid_sweep(gear, {heel, ball, toe}, {1, 0, 0}, detail ? 8 : 16, body_rect(BODY_BOOT), true);
    solid_box(gear, ankle + v3{out * 0.02, -0.255, -0.22}, {0.15, 0.025, 0.43}, {1, 0, 0}, {0, 1, 0},
              {0, 0, 1}, body_rect(BODY_SOLE));
    if (detail) return;
    // Two buckles on the outside of the shaft.
    for (double s : {boot_top + 0.25, boot_top + 0.55}) {
        v3 p = limb_point(l, s);
        v3 side = {out, 0, 0};
        solid_box(gear, p + side * 0.2, {0.02, 0.05, 0.09}, side, shin, cross(side, shin),
                  body_rect(BODY_BUCKLE));
    }
}

// The torso: the seat of the trousers, then the jersey up to the collar, all on the torso bone.
static void rider_torso(solid_builder *cloth, int detail) {
    const datagen_rider_bone &t = datagen_skeleton.bones[RIDER_BONE_TORSO];
    v3 pelvis = solid_v3(t.root), neck = solid_v3(t.end);
    v3 spine = neck - pelvis;
    cloth->weights = bone_only(RIDER_BONE_TORSO);
    struct station {
        double s, rx, ry;
    };
    auto sweep = [&](const std::vector<station> &stations, atlas_box pic, int sides) {
        std::vector<solid_node> nodes;
        for (const station &st : stations) {
            solid_node n;
            n.p = pelvis + spine * st.s;
            n.rx = st.rx;
            n.ry = st.ry;
            nodes.push_back(n);
        }
        solid_sweep(cloth, nodes, {1, 0, 0}, sides, body_rect(pic), true);
    };
    int sides = detail ? 10 : 20;
    sweep({{-0.1, 0.36, 0.3}, {0.05, 0.44, 0.34}, {0.2, 0.45, 0.34}, {0.36, 0.42, 0.31}},
          BODY_SEAT, sides);
    if (detail)
        sweep({{0.3, 0.44, 0.32}, {0.7, 0.5, 0.34}, {0.93, 0.5, 0.3}, {1.0, 0.26, 0.2}}, BODY_JERSEY,
              sides);
    else
        sweep({{0.3, 0.44, 0.32}, {0.45, 0.43, 0.31}, {0.6, 0.47, 0.33}, {0.72, 0.51, 0.34},
               {0.84, 0.54, 0.33}, {0.93, 0.5, 0.3}, {0.98, 0.36, 0.24}, {1.02, 0.2, 0.17}},
              BODY_JERSEY, sides);
    // The collar up to the helmet.
    solid_rod(cloth, neck - spine * 0.03, solid_v3(datagen_skeleton.head) + v3{0, -0.3, 0.05}, 0.16,
              {1, 0, 0}, detail ? 8 : 12, body_rect(BODY_COLLAR), false);
}

datagen_jm_model datagen_rider_body_model(int kind, int detail) {
    datagen_jm_model model;
    model.version = 2;
    model.bone_count = RIDER_BONES;
    datagen_jm_mesh cloth, gear;
    cloth.mode = 4;
    cloth.colour[0] = cloth.colour[1] = cloth.colour[2] = 0.08;
    gear.mode = 20;
    gear.colour[0] = gear.colour[1] = gear.colour[2] = 0.35;
    solid_builder c{&cloth, bone_only(RIDER_BONE_TORSO)}, g{&gear, bone_only(RIDER_BONE_TORSO)};
    bool first_person = kind == 1;
    if (!first_person) rider_torso(&c, detail);
    rider_arm(&c, &g, RIDER_BONE_LEFT_UPPER_ARM, first_person, detail);
    rider_arm(&c, &g, RIDER_BONE_RIGHT_UPPER_ARM, first_person, detail);
    rider_leg(&c, &g, RIDER_BONE_LEFT_THIGH, first_person, detail);
    rider_leg(&c, &g, RIDER_BONE_RIGHT_THIGH, first_person, detail);
    model.meshes = {cloth, gear};
    return model;
}

// The number plate on the back: a thin plate across the upper back, on the torso bone.
datagen_jm_model datagen_rider_plate_model() {
    const datagen_rider_bone &t = datagen_skeleton.bones[RIDER_BONE_TORSO];
    v3 pelvis = solid_v3(t.root), neck = solid_v3(t.end);
    v3 up = solid_unit(neck - pelvis), across = {1, 0, 0};
    v3 back = cross(across, up);  // behind the rider
    v3 centre = pelvis + (neck - pelvis) * 0.68 + back * 0.36;
    const v3 corners[4] = {centre - across * 0.3 - up * 0.24, centre + across * 0.3 - up * 0.24,
                           centre + across * 0.3 + up * 0.24, centre - across * 0.3 + up * 0.24};
    datagen_jm_model model;
    model.version = 2;
    model.bone_count = RIDER_BONES;
    datagen_jm_mesh plate;
    plate.mode = 12;
    plate.colour[0] = plate.colour[1] = plate.colour[2] = 0.3;
    solid_builder b{&plate, bone_only(RIDER_BONE_TORSO)};
    solid_panel(&b, corners, 0.02, {0, 0, 1, 1}, {0.02, 0.02, 0.06, 0.06});
    model.meshes = {plate};
    return model;
}

static solid_rect head_rect(atlas_box b) {
    return atlas_rect(b, HEAD_SIDE);
}

// A band round the head at the height y, just outside the shell, of the given angles (0 the
// right side, a quarter turn the back).
static std::vector<solid_node> head_band(double y, double from, double to, int steps,
                                         double grow, double height, double thickness) {
    std::vector<solid_node> nodes;
    for (int i = 0; i <= steps; i++) {
        double a = from + (to - from) * i / steps;
        solid_node n;
        n.p = {(0.4 + grow) * solid_cos(a), y, 0.03 + (0.48 + grow) * solid_sin(a)};
        n.rx = height;
        n.ry = thickness;
        n.boxy = true;
        nodes.push_back(n);
    }
    return nodes;
}

datagen_jm_model datagen_rider_head_model(int detail) {
    const bool far = detail > 0;
    datagen_jm_model model;
    datagen_jm_mesh shell, parts, lens;
    shell.mode = 64;
    shell.colour[0] = shell.colour[1] = shell.colour[2] = 0.8;
    parts.mode = 24;
    parts.colour[0] = parts.colour[1] = parts.colour[2] = 0.35;
    lens.mode = 100;
    solid_builder s{&shell, {}}, p{&parts, {}}, l{&lens, {}};
    solid_ellipsoid(&s, {0, 0.02, 0.03}, {0.4, 0.44, 0.48}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, far ? 12 : 28,
                    far ? 8 : 18, head_rect(HEAD_SHELL));
    // The chin bar juts out below the goggles.
    std::vector<solid_node> chin;
    const int chin_steps = far ? 4 : 8;
    for (int i = 0; i <= chin_steps; i++) {
        double a = SOLID_PI * (1.1 + 0.8 * i / chin_steps);
        double front = solid_sin(a);  // -1 at the front
        solid_node n;
        n.p = {0.36 * solid_cos(a), -0.24 + 0.02 * front, 0.03 + (0.42 - 0.18 * front) * front};
        n.rx = 0.11;
        n.ry = 0.07;
        n.boxy = true;
        chin.push_back(n);
    }
    solid_sweep(&p, chin, {0, 1, 0}, far ? 4 : 12, head_rect(HEAD_CHIN), true);
    // The peak over the forehead.
    const v3 peak[4] = {{-0.3, 0.2, -0.4}, {0.3, 0.2, -0.4}, {0.33, 0.27, -0.74}, {-0.33, 0.27, -0.74}};
    solid_panel(&p, peak, 0.025, head_rect(HEAD_VISOR), head_rect(HEAD_VISOR));
    // The goggles: the strap round the back, the frame and the lens in front.
    solid_sweep(&p, head_band(0.02, -0.15 * SOLID_PI, 1.15 * SOLID_PI, far ? 6 : 16, 0.015, 0.085, 0.02),
                {0, 1, 0}, far ? 4 : 8, head_rect(HEAD_STRAP), true);
    std::vector<solid_node> frame, glass;
    const int lens_steps = far ? 3 : 6;
    for (int i = 0; i <= lens_steps; i++) {
        double x = -0.32 + 0.64 * i / lens_steps;
        double z = -0.44 - 0.1 * (1 - x * x / 0.1);
        solid_node n;
        n.p = {x, 0.02, z};
        n.rx = 0.12;
        n.ry = 0.05;
        n.boxy = true;
        frame.push_back(n);
        n.p.z -= 0.03;
        n.rx = 0.09;
        n.ry = 0.03;
        glass.push_back(n);
    }
    solid_sweep(&p, frame, {0, 1, 0}, far ? 4 : 12, head_rect(HEAD_FRAME), true);
    solid_sweep(&l, glass, {0, 1, 0}, far ? 4 : 12, head_rect(HEAD_LENS), true);
    model.meshes = {shell, parts, lens};
    return model;
}

std::string datagen_rider_head_jm() {
    return datagen_jm(datagen_rider_head_model(0));
}

std::string datagen_rider_head_lod6_jm() {
    return datagen_jm(datagen_rider_head_model(1));
}

std::string datagen_rider_body_jm() {
    return datagen_jm(datagen_rider_body_model(0, 0));
}

std::string datagen_rider_body_lod6_jm() {
    return datagen_jm(datagen_rider_body_model(0, 1));
}

std::string datagen_rider_body_fp_jm() {
    return datagen_jm(datagen_rider_body_model(1, 0));
}

std::string datagen_rider_plate_jm() {
    return datagen_jm(datagen_rider_plate_model());
}
