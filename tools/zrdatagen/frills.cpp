// The stock tracks' "billboards" (two checkered flags either side of the start line) and their
// "frills.js", one template with the flags' places written in: the flags bob, turn green for 5 s
// from the gate drop and white while the leader is on the last lap.
#include <cstdio>
#include <string>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/trackgen.h"

// The start line in feet and the unit vector across the course there, in sixteenths.
struct datagen_flag_places {
    long x[2], z[2];   // sixteenths of a foot
};

static datagen_flag_places datagen_flags_at_start(const datagen_track &t) {
    long i = datagen_start_line_index(t);
    long n = (long)t.course.size();
    const datagen_course_point &a = t.course[(size_t)i];
    const datagen_course_point &b = t.course[(size_t)((i + 1) % n)];
    long dx = b.x - a.x, dz = b.z - a.z;
    // Across the course: (dz, -dx), brought to 25 ft with integer arithmetic (the course moves
    // one sample, 16 sixteenths, per step at most along each axis).
    long len = dx * dx + dz * dz, root = 1;
    while ((root + 1) * (root + 1) <= len) root++;
    if (root == 0) root = 1;
    datagen_flag_places p;
    for (int side = 0; side < 2; side++) {
        long sign = side == 0 ? 1 : -1;
        p.x[side] = a.x * t.spacing + sign * dz * 25 * 16 / root;
        p.z[side] = a.z * t.spacing - sign * dx * 25 * 16 / root;
    }
    return p;
}

// A value in sixteenths of a foot as "%ld.%04ld" feet, with no floating point.
static std::string datagen_feet(long sixteenths) {
    long whole = sixteenths / 16, rest = sixteenths % 16;
    if (rest < 0) {
        whole -= 1;
        rest += 16;
    }
    char text[64];
    snprintf(text, sizeof text, "%ld.%04ld", whole, rest * 625);
    return text;
}

std::string datagen_track_billboards(const datagen_track &t) {
    datagen_flag_places p = datagen_flags_at_start(t);
    std::string out;
    for (int i = 0; i < 2; i++)
        out += "[ " + datagen_feet(p.x[i]) + " 0.0000 " + datagen_feet(p.z[i]) +
               " ] 5.0000 1.0000 flags/checkered.seq\n";
    return out;
}

std::string datagen_track_frills(const datagen_track &t) {
    datagen_flag_places p = datagen_flags_at_start(t);
    std::string out =
        "// The track's frills: the start flags bob in the wind, turn green for five seconds\n"
        "// from the gate drop and white while the leader is on the last lap.\n"
        "var flags = [\n";
    for (int i = 0; i < 2; i++)
        out += "  { x: " + datagen_feet(p.x[i]) + ", z: " + datagen_feet(p.z[i]) + ", phase: " +
               std::to_string(i * 2) + ".0 },\n";
    out +=
        "];\n"
        "var ticks = 0;\n"
        "\n"
        "function flag_colour(t) {\n"
        "  var drop = zr.get_gate_drop_time();\n"
        "  if (drop >= 0 && t >= drop && t < drop + 5) return [0.3, 1, 0.3, 1];\n"
        "  var laps = zr.get_finish_laps();\n"
        "  if (laps > 0 && zr.get_running_count() > 0 &&\n"
        "      zr.index_to_lap(zr.get_running_order_position(0)) == laps - 1) return [1, 1, 1, 1];\n"
        "  return [1, 0.85, 0.85, 1];\n"
        "}\n"
        "\n"
        "zr.tic_handler = function (t) {\n"
        "  ticks++;\n"
        "  if (ticks % 4 != 0) return;\n"
        "  var c = flag_colour(t);\n"
        "  for (var i = 0; i < flags.length; i++) {\n"
        "    var f = flags[i];\n"
        "    // A refused call changes nothing: the flag keeps its place.\n"
        "    if (!zr.move_billboard(i, f.x, 0.3 * Math.sin(1.7 * t + f.phase), f.z)) continue;\n"
        "    zr.color_billboard(i, c[0], c[1], c[2], c[3]);\n"
        "  }\n"
        "};\n";
    return out;
}

std::string datagen_practice_billboards() {
    return datagen_track_billboards(datagen_practice_track());
}

std::string datagen_practice_frills() {
    return datagen_track_frills(datagen_practice_track());
}

std::string datagen_hillside_billboards() {
    return datagen_track_billboards(datagen_hillside_track());
}

std::string datagen_hillside_frills() {
    return datagen_track_frills(datagen_hillside_track());
}
