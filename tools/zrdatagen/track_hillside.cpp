// The stock track "tracks/hillside": a full course over rolling hills, 513 x 513 samples 2 ft
// apart. Thirteen corners make a closed course about 30 ft wide, carved to a smoothed level, with
// a long start straight, two tabletops, four whoops and berms on the outside of the corners.
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/trackgen.h"
#include "tools/zrdatagen/trackside.h"

datagen_track_plan datagen_hillside_plan() {
    datagen_track_plan p;
    p.k = 8;
    p.spacing = 2;
    p.max_height = 64;
    p.dynamic_lighting = 1;
    // Hills of value noise at lattices of 64, 32 and 16 samples, 8 to 53 ft high.
    p.ground = [](int x, int z) -> long {
        return 128 + datagen_value_noise(201, x, z, 64) * 448 / 255 +
               datagen_value_noise(202, x, z, 32) * 192 / 255 + datagen_value_noise(203, x, z, 16) * 80 / 255;
    };
    // The turn back north at the west end is two corners (about 95 and 60 degrees): one corner
    // there would be a hairpin of 9 ft radius that no lane rides at speed.
    p.corners = {{90, 430},  {360, 430}, {440, 380}, {430, 260}, {330, 200}, {400, 90}, {260, 60},
                 {150, 130}, {230, 230}, {110, 260}, {60, 180},  {20, 210},  {30, 330}};
    p.corner_cut = 36;
    p.level_window = 30;
    p.half_width = 120;
    p.shoulder = 160;
    p.berm_max = 64;
    // A 5 ft tabletop, 1:5 up, 24 ft flat, 1:5 down, 50 ft past the corner: robots straighten
    // up in the last seconds before a jump, so a jump right at a corner's exit sends them wide.
    p.features.push_back({5, 25, {{0, 0}, {200, 80}, {392, 80}, {592, 0}}});
    // A 3 ft tabletop, 1:5 up, 20 ft flat, 1:5 down.
    p.features.push_back({11, 20, {{0, 0}, {120, 48}, {280, 48}, {400, 0}}});
    // Four whoops 1 ft high, 20 ft apart: rolled over at a steady speed, not jumped.
    std::vector<std::pair<long, long>> whoops;
    for (long u = 0; u <= 160 * 4; u += 16)
        whoops.push_back({u, 16 * (65536 - datagen_cos256(u * 256 / 160)) / 131072});
    p.features.push_back({7, 4, whoops});
    p.mud_below = 16 * 16;
    p.sand = [](int tx, int tz) { return datagen_value_noise(204, tx, tz, 16) > 200; };
    return p;
}

const datagen_track &datagen_hillside_track() {
    static const datagen_track track = datagen_build_track(datagen_hillside_plan());
    return track;
}

std::string datagen_hillside_terrain() {
    return datagen_track_terrain(datagen_hillside_track());
}
std::string datagen_hillside_shadows() {
    return datagen_track_shadows(datagen_hillside_track());
}
std::string datagen_hillside_shading() {
    return datagen_track_shading(datagen_hillside_track());
}
std::string datagen_hillside_tilemap() {
    return datagen_track_tilemap(datagen_hillside_track());
}
std::string datagen_hillside_lighting() {
    return datagen_track_lighting(datagen_hillside_track()) + datagen_trackside_lighting(true) +
           datagen_hillside_tower_flare();
}
std::string datagen_hillside_desc() {
    return "Hillside\n";
}
std::string datagen_hillside_decals() {
    // Arrows before six of the main corners, worn dirt in nine berms.
    return datagen_track_decals(datagen_hillside_track(), datagen_hillside_plan(), {1, 3, 4, 6, 8, 10},
                                {2, 3, 4, 5, 6, 7, 8, 9, 11}, 40);
}
