// The stock tracks' "billboards" and their "frills.js", one template with the track's numbers
// written in: the windsock swings in the wind, the start flags bob, turn green for 5 s from the
// gate drop and white while the leader is on the last lap, and the crowd murmurs by the start,
// louder after the drop.
#include <cstdio>
#include <string>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/trackgen.h"
#include "tools/zrdatagen/trackside.h"

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

std::string datagen_track_frills(const datagen_track &t, bool hillside) {
    datagen_trackside s = datagen_trackside_of(t, hillside);
    const datagen_place &crowd = s.spectators[0];
    std::string out =
        "// The track's frills: the windsock swings in the wind, the start flags bob, turn green for\n"
        "// five seconds from the gate drop and white while the leader is on the last lap, and the\n"
        "// crowd by the start murmurs, louder after the drop. Every refused call changes nothing.\n"
        "var windsock = { statue: 0, x: " +
        datagen_feet(s.windsock.x16) + ", z: " + datagen_feet(s.windsock.z16) +
        ", yaw: -7.5 };\n"
        "var flags = [\n";
    for (size_t i = 0; i < s.flags.size(); i++)
        out += "  { billboard: " + std::to_string(i) + ", x: " + datagen_feet(s.flags[i].x16) +
               ", z: " + datagen_feet(s.flags[i].z16) + ", phase: " + std::to_string(i * 7 % 10) + ".0 },\n";
    out += "];\n"
           "var ticks = 0;\n"
           "var crowd = zr.add_sound(\"@sounds/crowd.raw\");\n"
           "if (crowd >= 0) {\n"
           "  zr.set_sound_loop(crowd, 1);\n"
           "  zr.set_sound_freq(crowd, 11025);\n"
           "  zr.set_sound_vol(crowd, 0.5);\n"
           "  zr.set_sound_pos(crowd, " +
           datagen_feet(crowd.x16) + ", " + "6.0, " + datagen_feet(crowd.z16) +
           ");\n"
           "  zr.start_sound(crowd);\n"
           "}\n"
           "\n"
           "function after_drop(t) {\n"
           "  var drop = zr.get_gate_drop_time();\n"
           "  return drop >= 0 && t >= drop && t < drop + 5;\n"
           "}\n"
           "\n"
           "function flag_colour(t) {\n"
           "  if (after_drop(t)) return [0.3, 1, 0.3, 1];\n"
           "  var laps = zr.get_finish_laps();\n"
           "  if (laps > 0 && zr.get_running_count() > 0 &&\n"
           "      zr.index_to_lap(zr.get_running_order_position(0)) == laps - 1) return [1, 1, 1, 1];\n"
           "  return [1, 0.85, 0.85, 1];\n"
           "}\n"
           "\n"
           "zr.tic_handler = function (t) {\n"
           "  ticks++;\n"
           "  if (ticks % 4 != 0) return;\n"
           "  var yaw = windsock.yaw + 0.5 * Math.sin(0.23 * t) + 0.2 * Math.sin(0.71 * t);\n"
           "  zr.move_statue(windsock.statue, windsock.x, 0, windsock.z, yaw);\n"
           "  var c = flag_colour(t);\n"
           "  for (var i = 0; i < flags.length; i++) {\n"
           "    var f = flags[i];\n"
           "    if (!zr.move_billboard(f.billboard, f.x, 0.3 * Math.sin(1.7 * t + f.phase), f.z)) continue;\n"
           "    zr.color_billboard(f.billboard, c[0], c[1], c[2], c[3]);\n"
           "  }\n"
           "  if (crowd >= 0) zr.set_sound_vol(crowd, after_drop(t) ? 1.0 : 0.5);\n"
           "};\n";
    return out;
}

std::string datagen_practice_billboards() {
    return datagen_trackside_billboards(datagen_trackside_of(datagen_practice_track(), false));
}

std::string datagen_practice_frills() {
    return datagen_track_frills(datagen_practice_track(), false);
}

std::string datagen_hillside_billboards() {
    return datagen_trackside_billboards(datagen_trackside_of(datagen_hillside_track(), true));
}

std::string datagen_hillside_frills() {
    return datagen_track_frills(datagen_hillside_track(), true);
}
