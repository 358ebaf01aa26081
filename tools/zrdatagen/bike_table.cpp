// The bike table's source: the 80 rows of values and files, from the example bike, the values
// of each engine class and the torque curves, written as C++ for the build to compile.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "bike/bike_models.h"
#include "tools/zrdatagen/bike_table.h"
#include "tools/zrdatagen/modelgen.h"

namespace {

// What a class of engines changes in the example's values.
struct engine_class_values {
    const char *engine_class;     // "" for the 350s, whose class the name decides
    double frame_mass, fork_mass, arm_mass, inertia, primary;
    double gears[6];
    double front_teeth, rear_teeth;
    double peak, peak_rpm, zero_rpm, idle_rpm;
    double down_rpm, up_rpm, top_rpm;
    int two_stroke;
};

enum { CLASS_250F, CLASS_450F, CLASS_350, CLASS_125, CLASS_250, CLASS_50 };

const engine_class_values CLASSES[] = {
    {"250f", 4.24, 0.703125, 0.504375, 0.0048828125, 3.35294,
     {2.14286, 1.75, 1.44444, 1.22222, 1.04167, -1}, 13, 50, 19.35, 9000, 14000, 1800, 8000,
     12500, 13250, 0},
    {"450f", 4.55, 0.72, 0.52, 0.0075, 2.7, {1.786, 1.5, 1.25, 1.05, 0.909, -1}, 13, 49, 35, 7000,
     11500, 1600, 6000, 9500, 10500, 0},
    {"", 4.40, 0.71, 0.51, 0.006, 3.0, {1.929, 1.571, 1.3, 1.1, 0.947, -1}, 13, 49, 27, 8000,
     13000, 1700, 7000, 11000, 12000, 0},
    {"125", 3.70, 0.66, 0.47, 0.0035, 3.3, {2.357, 1.867, 1.579, 1.294, 1.133, -1}, 13, 52, 15.5,
     10500, 13500, 1500, 9400, 12000, 12750, 1},
    {"250", 3.95, 0.70, 0.50, 0.0055, 3.0, {1.857, 1.5, 1.25, 1.05, 0.909, -1}, 13, 49, 29, 7500,
     10500, 1500, 6500, 8500, 9250, 1},
    {"50", 3.00, 0.55, 0.40, 0.002, 4.5, {2.8, 2.0, 1.6, 1.33, 1.15, 1.0}, 12, 55, 4.5, 9500, 13500,
     2000, 8000, 11500, 12500, 1},
};

bool starts_with(const char *s, const char *head) {
    return strncmp(s, head, strlen(head)) == 0;
}

int class_of(const char *name) {
    if (starts_with(name, "rs50")) return CLASS_50;
    if (strstr(name, "350")) return CLASS_350;
    if (strstr(name, "450")) return CLASS_450F;
    if (strstr(name, "125")) return CLASS_125;
    for (const char *two : {"cr250(", "kx250(", "rm250(", "yz250(", "250sx("})
        if (starts_with(name, two)) return CLASS_250;
    return CLASS_250F;
}

// The engine class text of a row: the 350s of 2011 and 2013 count as "250f", that of 2017 "450f".
const char *engine_class_text(const char *name, int cls) {
    if (cls != CLASS_350) return CLASSES[cls].engine_class;
    return strstr(name, "2017") ? "450f" : "250f";
}

// The year in "(YYYY)", or 2017 when the name has none.
int year_of(const char *name) {
    const char *p = strchr(name, '(');
    int y = 0;
    if (p && sscanf(p, "(%d)", &y) == 1) return y;
    return 2017;
}

double within_five_percent(double f) {
    return f < 0.95 ? 0.95 : f > 1.05 ? 1.05 : f;
}

const char *word_of(const char *name, const char *engine_class) {
    if (strcmp(name, "yz250f(2017)") == 0) return datagen_bike_words[0].word;
    for (int i = 1; i < datagen_bike_word_count; i++)
        if (strcmp(datagen_bike_words[i].engine_class, engine_class) == 0)
            return datagen_bike_words[i].word;
    return datagen_bike_words[0].word;
}

void put3(double *v, int at, const double p[3]) {
    for (int i = 0; i < 3; i++) v[at + i] = p[i];
}

void put3(double *v, int at, double x, double y, double z) {
    v[at] = x;
    v[at + 1] = y;
    v[at + 2] = z;
}

// The example's shared values (everything but the class columns, torque and files).
void example_values(double *v) {
    const datagen_bike_rest &r = datagen_rest;
    put3(v, 0, r.front_wheel);
    v[3] = r.front_ring, v[4] = r.front_section;
    v[5] = 0.40625, v[6] = 0.5, v[7] = 0.15625;
    put3(v, 8, r.rear_wheel);
    v[11] = r.rear_ring, v[12] = r.rear_section;
    v[13] = 0.46875, v[14] = 0.5, v[15] = 0.3125;
    put3(v, 16, r.frame);
    put3(v, 20, 0.8333, 1.6667, 1.6667);
    put3(v, 23, r.fork_upper);
    put3(v, 26, r.swingarm);
    put3(v, 29, r.swingarm_pivot);
    put3(v, 32, r.fork_lower);
    v[35] = r.fork_spacing, v[36] = 3.0;
    v[38] = 335.98, v[39] = 873.56, v[40] = 0, v[41] = 0.0833, v[42] = 0.4167, v[43] = 0.25;
    v[44] = 60, v[45] = 60, v[46] = 30, v[47] = 30, v[48] = 1.0;
    v[50] = 2217.5, v[51] = 4905.37, v[52] = 0, v[53] = 0.3333;
    v[54] = 800, v[55] = 200, v[56] = 600, v[57] = 150;
    v[58] = 0.28365, v[59] = 0.41339, v[60] = 0.5303;
    v[61] = 0.75, v[62] = 0.31504, v[63] = 0.46048, v[64] = 0.60705;
    v[75] = 7500, v[76] = 0.75;
    put3(v, 180, 0, 0.0833, 0.0833);
    put3(v, 183, r.rider);
    v[186] = -0.6667, v[187] = 0.5, v[188] = 4.6875;
    // Pose points from the rider's skeleton.
    const datagen_rider_skeleton &s = datagen_skeleton;
    const double *pelvis = s.bones[RIDER_BONE_TORSO].root, *neck = s.bones[RIDER_BONE_TORSO].end;
    auto along = [&](int at, double t) {
        for (int i = 0; i < 3; i++) v[at + i] = pelvis[i] + t * (neck[i] - pelvis[i]);
    };
    put3(v, 557, s.head);
    put3(v, 560, s.bones[RIDER_BONE_LEFT_FOREARM].end);
    put3(v, 563, s.bones[RIDER_BONE_RIGHT_FOREARM].end);
    put3(v, 566, s.bones[RIDER_BONE_LEFT_THIGH].root);
    put3(v, 569, s.bones[RIDER_BONE_RIGHT_THIGH].root);
    put3(v, 572, s.grips[0]);
    put3(v, 575, s.grips[1]);
    // The foot anchors are where the ankles go, in frame coordinates: the boots' soles then
    // rest on the pegs.
    for (int k = 0; k < 2; k++) {
        const double *ankle = s.bones[k ? RIDER_BONE_RIGHT_SHIN : RIDER_BONE_LEFT_SHIN].end;
        put3(v, 578 + 3 * k, r.rider[0] + ankle[0] - r.frame[0], r.rider[1] + ankle[1] - r.frame[1],
             r.rider[2] + ankle[2] - r.frame[2]);
    }
    v[584] = s.upper_arm, v[585] = s.forearm, v[586] = s.thigh, v[587] = s.shin;
    put3(v, 588, s.bones[RIDER_BONE_LEFT_UPPER_ARM].root);
    put3(v, 591, s.bones[RIDER_BONE_RIGHT_UPPER_ARM].root);
    along(594, 0.65);                                                 // chest
    for (int i = 0; i < 3; i++) v[597 + i] = (s.grips[0][i] + s.grips[1][i]) / 2;   // bar point
    put3(v, 600, pelvis);                                             // torso bone point
    along(603, 1.0 / 3);
    along(606, 2.0 / 3);                                              // spine points
    for (int i = 0; i < 3; i++)
        v[609 + i] = (s.bones[RIDER_BONE_LEFT_UPPER_ARM].root[i] +
                      s.bones[RIDER_BONE_RIGHT_UPPER_ARM].root[i]) / 2;   // arm reference
    put3(v, 612, 0, 0, 0);                                            // steering pivot
}

// Above the peak the open curve falls as 1 - x^fall over the way to its zero (x 0 to 1): a
// larger fall holds the torque longer before the rev limit.
void torque_tables(double *v, double peak, double peak_rpm, double zero_rpm, double idle,
                   int two_stroke, double fall) {
    double brake = (two_stroke ? 0.06 : 0.15) * peak;
    for (int i = 0; i < 50; i++) {
        double r = 500.0 * i;
        double open;
        if (r <= peak_rpm) {
            open = peak * (0.45 + 0.55 * std::pow(r / peak_rpm, 1.3));
        } else {
            double x = (r - peak_rpm) / (zero_rpm - peak_rpm);
            open = peak * (1 - std::pow(x, fall));
            if (open < -0.5 * peak) open = -0.5 * peak;
        }
        double closed;
        if (r <= idle) {
            closed = 0.08 * peak * (1 - r / idle);
        } else {
            double x = (r - idle) / 8000;
            closed = -brake * (x < 1 ? x : 1);
        }
        v[77 + i] = closed;
        v[127 + i] = open;
    }
}

std::string number(double x) {
    char text[40];
    snprintf(text, sizeof text, "%.9g", (double)(float)x);
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s + "f";
}

double distance(const double a[3], const double b[3]) {
    double d = 0;
    for (int i = 0; i < 3; i++) d += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(d);
}

}  // namespace

datagen_bike_row datagen_bike_row_values(int index) {
    datagen_bike_row row = {};
    const char *name = bike_model_names[index];
    int cls = class_of(name);
    const engine_class_values &c = CLASSES[cls];
    row.name = name;
    row.engine_class = engine_class_text(name, cls);
    double *v = row.v;
    example_values(v);
    int year_gap = 2017 - year_of(name);
    v[19] = c.frame_mass * within_five_percent(1 + 0.004 * year_gap);
    v[37] = c.fork_mass;
    v[49] = c.arm_mass;
    v[74] = c.inertia;
    v[65] = c.primary;
    for (int g = 0; g < 6; g++) v[68 + g] = c.gears[g];
    v[66] = c.front_teeth;
    v[67] = c.rear_teeth;
    double peak = c.peak * within_five_percent(1 - 0.005 * year_gap);
    // The 250 four-strokes keep near their peak torque up to about 12000 rpm, as such engines do.
    double fall = cls == CLASS_250F ? 4 : 2;
    torque_tables(v, peak, c.peak_rpm, c.zero_rpm, c.idle_rpm, c.two_stroke, fall);
    v[177] = c.down_rpm, v[178] = c.up_rpm, v[179] = c.top_rpm;
    std::string w = std::string("@") + word_of(name, row.engine_class);
    const char *own[] = {"_frame.jm", nullptr, ".png", "_fork_upper.jm", nullptr,
                         "_fork_lower.jm", nullptr, "_swingarm.jm"};
    static const char *const shared[23] = {
        nullptr,           "@generic_frame.shp", nullptr,           nullptr,
        "@generic_fork_upper.shp", nullptr,      "@generic_fork_lower.shp", nullptr,
        "@generic_swingarm.shp", "@front_wheel.jm", "@front_wheel.shp", "@rear_wheel.jm",
        "@rear_wheel.shp", "@wheels.png",        "@rider_head.jm",  "@rider_head.png",
        "@rider_body.jm",  "@rider_body_fp.jm",  "@generic_rider.shp", "@rider_body.png",
        nullptr,           nullptr,              "@rider_plate.jm"};
    for (int i = 0; i < 23; i++) {
        if (shared[i]) row.files[i] = shared[i];
        else if (i < 8) row.files[i] = w + own[i];
    }
    row.files[20] = w + "_side_plates.jm";
    row.files[21] = w + "_front_plate.jm";
    return row;
}

std::string datagen_bike_rider_reach_check() {
    const datagen_rider_skeleton &s = datagen_skeleton;
    const datagen_bike_rest &r = datagen_rest;
    for (int side = 0; side < 2; side++) {
        double shoulder[3], grip[3], hip[3], peg[3];
        for (int i = 0; i < 3; i++) {
            shoulder[i] = r.rider[i] + s.bones[side ? RIDER_BONE_RIGHT_UPPER_ARM
                                                    : RIDER_BONE_LEFT_UPPER_ARM].root[i];
            grip[i] = r.fork_upper[i] + s.grips[side][i];
            hip[i] = r.rider[i] + s.bones[side ? RIDER_BONE_RIGHT_THIGH : RIDER_BONE_LEFT_THIGH].root[i];
            peg[i] = r.frame[i] + s.pegs[side][i];
        }
        double arm = distance(shoulder, grip) / (s.upper_arm + s.forearm);
        double leg = distance(hip, peg) / (s.thigh + s.shin);
        if (arm < 0.85 || arm > 0.95) return "the rider's arms don't reach the grips";
        if (leg < 0.6 || leg > 0.8) return "the rider's legs don't reach the pegs";
    }
    return "";
}

std::string datagen_bike_table_source() {
    std::string out =
        "// Generated by zrdatagen: the built-in bike table, one row per bike model.\n"
        "#include \"bike/bike_info.h\"\n\n"
        "const bike_info bike_info_table[80] = {\n";
    for (int r = 0; r < BIKE_MODEL_COUNT; r++) {
        datagen_bike_row row = datagen_bike_row_values(r);
        out += "    {\"" + std::string(row.name) + "\", \"" + row.engine_class + "\",\n     {";
        for (int i = 0; i < 189; i++) out += (i ? (i % 8 ? ", " : ",\n      ") : "") + number(row.v[i]);
        out += "},\n     {";
        for (int i = 0; i < 23; i++) out += (i ? ",\n      \"" : "\"") + row.files[i] + "\"";
        out += "},\n     {";
        for (int i = 557; i < 615; i++)
            out += (i > 557 ? (i % 8 ? ", " : ",\n      ") : "") + number(row.v[i]);
        out += "}},\n";
    }
    out += "};\n";
    return out;
}
