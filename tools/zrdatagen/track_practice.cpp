// The stock track "tracks/practice": a small oval about 20 ft wide on gently rolling ground,
// with a tabletop on the back straight and three rollers on the front one. Small enough for
// the tests: 129 x 129 samples 2 ft apart.
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/trackgen.h"
#include "tools/zrdatagen/trackside.h"

// A wave of bumps of the given height (sixteenths of a foot), period (samples) and count.
static std::vector<std::pair<long, long>> datagen_bumps(long height, long period, int count) {
    std::vector<std::pair<long, long>> knots;
    for (long u = 0; u <= period * 16 * count; u += 16)
        knots.push_back({u, height * (65536 - datagen_cos256(u * 256 / (period * 16))) / 131072});
    return knots;
}

datagen_track_plan datagen_practice_plan() {
    datagen_track_plan p;
    p.k = 6;
    p.spacing = 2;
    p.max_height = 16;
    p.dynamic_lighting = 0;
    p.ground = [](int x, int z) -> long {
        return 64 + datagen_value_noise(101, x, z, 32) * 32 / 255 + datagen_value_noise(102, x, z, 16) * 16 / 255;
    };
    p.corners = {{14, 34}, {114, 34}, {114, 94}, {14, 94}};
    p.corner_cut = 30;
    p.level_window = 20;
    p.half_width = 80;
    p.shoulder = 96;
    p.berm_max = 32;
    // A 3 ft tabletop: 1:3 up, 16 ft flat, 1:2 down.
    p.features.push_back({2, 6, {{0, 0}, {72, 48}, {200, 48}, {248, 0}}});
    // Three rollers 1 ft high, 20 ft apart.
    p.features.push_back({0, 2, datagen_bumps(16, 10, 3)});
    p.mud_below = 74;
    p.sand = [](int tx, int tz) { return datagen_value_noise(103, tx, tz, 8) > 190; };
    return p;
}

const datagen_track &datagen_practice_track() {
    static const datagen_track track = datagen_build_track(datagen_practice_plan());
    return track;
}

std::string datagen_practice_terrain() {
    return datagen_track_terrain(datagen_practice_track());
}
std::string datagen_practice_shadows() {
    return datagen_track_shadows(datagen_practice_track());
}
std::string datagen_practice_shading() {
    return datagen_track_shading(datagen_practice_track());
}
std::string datagen_practice_tilemap() {
    return datagen_track_tilemap(datagen_practice_track());
}
std::string datagen_practice_lighting() {
    return datagen_track_lighting(datagen_practice_track()) + datagen_trackside_lighting(false);
}
std::string datagen_practice_desc() {
    return "Practice Track\n";
}
std::string datagen_practice_decals() {
    // Arrows at both ends of the oval, worn dirt in one berm.
    return datagen_track_decals(datagen_practice_track(), datagen_practice_plan(), {1, 3}, {2}, 12);
}
