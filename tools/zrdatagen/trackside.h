// The stock tracks' trackside world: statue models, shapes and pictures, billboard, sky, flare
// and flag-marshal pictures, the crowd's sound, and each track's object files placed from its
// course.
#pragma once

#include <string>
#include <vector>

#include "tools/zrdatagen/imagegen.h"

struct datagen_track;

// Statues (trackside_models.cpp).
std::string datagen_haybale_jm();
std::string datagen_haybale_png();
std::string datagen_haybale_norm_png();
std::string datagen_haybale_shp();
std::string datagen_banner_jm();
std::string datagen_banner_zr_png();
std::string datagen_banner_mx_png();
std::string datagen_banner_shp();
std::string datagen_tent_jm();
std::string datagen_tent_png();
std::string datagen_tent_shp();
std::string datagen_windsock_jm();
std::string datagen_windsock_png();
datagen_image datagen_haybale_image();
datagen_image datagen_haybale_norm_image();
datagen_image datagen_banner_zr_image();
datagen_image datagen_banner_mx_image();
datagen_image datagen_tent_image();
datagen_image datagen_windsock_image();

// Pictures (trackside_images.cpp). Sky faces 0..4: north, east, south, west, up. Flares 0..2:
// glow, ring, hexagon. Flag marshals 0..10: start 1-5, lap green, half-way, white, chequered,
// yellow, yellow waving.
std::string datagen_tree_pine_png();
std::string datagen_tree_broadleaf_png();
std::string datagen_spectators_png();
std::string datagen_flag_png();
std::string datagen_sky_ppm(int face);
std::string datagen_sky_env_ppm();
std::string datagen_flare_png(int kind);
std::string datagen_flagger_png(int which);
datagen_image datagen_tree_pine_image();
datagen_image datagen_tree_broadleaf_image();
datagen_image datagen_spectators_image();
datagen_image datagen_flag_image();

// "sounds/crowd.raw": 4 s of crowd murmur, 16-bit little-endian mono at 11,025 Hz, looping
// without a click (crowd_sound.cpp).
std::string datagen_crowd_raw();

// A point of a track in feet, sixteenths exactly.
struct datagen_place {
    long x16, z16;       // sixteenths of a foot
    double yaw;          // radians
};

// What a track's object files hold, placed from its course (trackside_files.cpp).
struct datagen_trackside {
    std::vector<datagen_place> bales, banners, tents, trees, spectators, flags, cameras;
    datagen_place windsock;
    std::vector<int> tree_kinds;                 // 0 pine, 1 broadleaf
    std::vector<std::vector<int>> camera_gates;  // the checkpoints each camera covers
    bool flaggers;
    datagen_place start_flagger, start_flagger_end, lap_flagger;
    std::vector<datagen_place> gate_flaggers;
    std::vector<std::vector<int>> gate_flagger_checkpoints;
};
// hillside: the full track's numbers, else the practice track's.
datagen_trackside datagen_trackside_of(const datagen_track &t, bool hillside);

std::string datagen_trackside_statues(const datagen_trackside &s, bool hillside);
std::string datagen_trackside_billboards(const datagen_trackside &s);
std::string datagen_trackside_cameras(const datagen_trackside &s);
std::string datagen_trackside_flaggers(const datagen_trackside &s);
// The lines the full track's "lighting" adds after the landed ones: clip planes, sky faces
// and one flare along the sun; the practice track only the clip planes.
std::string datagen_trackside_lighting(bool hillside);

// Members of both tracks.
std::string datagen_practice_statues();
std::string datagen_practice_cameras();
std::string datagen_hillside_statues();
std::string datagen_hillside_cameras();
std::string datagen_hillside_flaggers();

constexpr int DATAGEN_PRACTICE_CHECKPOINTS = 6;
constexpr int DATAGEN_HILLSIDE_CHECKPOINTS = 12;
