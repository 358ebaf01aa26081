// The stock tracks: a plan (ground, course corners, jumps) becomes a height field with the
// course carved in, a tile map, shadows and shading, and the track files made from them.
// Heights, course and tile map come from integer arithmetic only: they enter the track hash.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <functional>
#include <string>
#include <vector>

// A point in sixteenths of a sample (x, z as in the field).
struct datagen_course_point {
    long x, z;
};

// A jump or bump along the course: knots of (distance along the course from its start, height
// above the course level), in sixteenths of a sample and sixteenths of a foot, joined by lines.
struct datagen_feature {
    int segment;        // the straight after this corner
    int offset;         // samples from the straight's start
    std::vector<std::pair<long, long>> knots;
};

// What a track is made from.
struct datagen_track_plan {
    int k;
    int spacing;                   // feet between samples
    int max_height;                // feet; heights span 0 .. max_height
    int dynamic_lighting;
    std::function<long(int x, int z)> ground;   // sixteenths of a foot at a sample
    std::vector<datagen_course_point> corners;  // samples; the course is closed
    int corner_cut;                // samples of each segment a rounded corner takes at most
    int level_window;              // course points averaged on each side for the level
    long half_width;               // sixteenths of a sample
    long shoulder;                 // sixteenths of a sample blending the course into the ground
    long berm_max;                 // sixteenths of a foot at the outer edge of the tightest turn
    std::vector<datagen_feature> features;
    long mud_below;                // ground below this (sixteenths of a foot) is mud
    std::function<bool(int tx, int tz)> sand;   // sand patches by tile
};

// A built track.
struct datagen_track {
    int k, n, spacing, max_height, dynamic_lighting;
    std::vector<uint16_t> samples;             // n*n, 0..65535 over 0..max_height
    std::vector<unsigned char> tile_map;       // q*q: 0 dirt, 1 grass, 2 sand, 3 mud
    std::vector<datagen_course_point> course;  // the centreline, one point a sample, closed
    std::vector<long> straight_start;          // course index where each corner's straight starts
};

datagen_track datagen_build_track(const datagen_track_plan &plan);
// The course index of the start line: 20 samples into the first straight.
long datagen_start_line_index(const datagen_track &t);
// Sixteenths of a sample around the start line that stay free of sand and mud (100 ft).
long datagen_start_clear_radius(int spacing);

// The track's files.
std::string datagen_track_terrain(const datagen_track &t);   // "terrain.hf" with ':' samples
std::string datagen_track_shadows(const datagen_track &t);   // "shadows.pgm", 255 lit
std::string datagen_track_shading(const datagen_track &t);   // "shadingx2.ppm"
std::string datagen_track_tilemap(const datagen_track &t);
std::string datagen_track_lighting(const datagen_track &t);
std::string datagen_track_tileinfo();
// The script that animates the track's windsock, start flags and crowd (frills.cpp).
std::string datagen_track_frills(const datagen_track &t, bool hillside);

// Helpers of the plans: a hash of a lattice point, value noise (0..255, smooth, lattice cell
// samples apart, repeating every period cells when period > 0), the integer square root.
uint32_t datagen_hash(uint32_t seed, long x, long z);
long datagen_value_noise(uint32_t seed, long x, long z, long cell, long period = 0);
long datagen_isqrt(long long v);

// The stock tracks' plans, and the tracks built once.
datagen_track_plan datagen_practice_plan();
datagen_track_plan datagen_hillside_plan();
const datagen_track &datagen_practice_track();
const datagen_track &datagen_hillside_track();

// The course point nearest a plan corner (samples): the corner's apex.
long datagen_course_apex(const datagen_track &t, datagen_course_point corner);

// The track's "decals": the start line, arrows before corners, worn patches at the jumps and
// in the berms (one line a decal, as the game writes them).
// Arrows stand arrow_back course points before their corner's apex.
std::string datagen_track_decals(const datagen_track &t, const datagen_track_plan &plan,
                                 const std::vector<int> &arrow_corners, const std::vector<int> &berm_corners,
                                 long arrow_back);

// ---- The HUD's map (track_map.cpp) ---------------------------------------------------------

// The course from above, DATAGEN_MAP_SIZE square: pixel (i, j) covers x from i S / size and z
// from j S / size (S the field's extent); light dirt with a dark one-pixel edge, the start
// line white, the field around it.
struct datagen_image;
datagen_image datagen_track_map_image(const datagen_track &t, long half_width);
// "" or the first course-coloured pixel farther than the width plus one pixel from the
// centreline.
std::string datagen_map_check(const datagen_track &t, long half_width, const datagen_image &img);
constexpr int DATAGEN_MAP_SIZE = 256;

// ---- Timing gates (timing_gates.cpp) --------------------------------------------------------

struct terrain_field;

// The ground of a built track as the game reads it (its own height function).
struct datagen_ground {
    explicit datagen_ground(const datagen_track &t);
    ~datagen_ground();
    float height(double x, double z) const;
    std::vector<float> heights;
    std::unique_ptr<terrain_field> field;
};

// A point or direction on the ground plane, feet.
struct datagen_xz {
    double x, z;
};
// Course point i (taken round the loop) in feet, and the unit tangent there in race direction.
datagen_xz datagen_course_feet(const datagen_track &t, long i);
datagen_xz datagen_course_tangent(const datagen_track &t, long i);
// The tile kind under (x, z) feet (0 dirt), -1 off the map.
int datagen_tile_kind_at(const datagen_track &t, double x, double z);

struct datagen_checkpoint {
    float radius;
    float centre[3];
    float direction[3];
    long course_index;
};
struct datagen_timing_plan {
    int checkpoints;
    double radius;
    int gates;
    double gate_spacing;
    int split;          // the checkpoint timed without ending a segment, -1 none
};
// A track's starting gates (x, y, z, angle), checkpoints and lap list (both laps alike).
struct datagen_timing {
    std::vector<std::array<float, 4>> gates;
    std::vector<datagen_checkpoint> checkpoints;
    std::vector<int> lap;
};
datagen_timing datagen_track_timing(const datagen_track &t, const datagen_timing_plan &plan);
// The file as the game writes it.
std::string datagen_timing_gates_file(const datagen_timing &timing);
// Start index k's place, as the race puts it (gate k mod G, row k div G).
datagen_xz datagen_start_place(const datagen_timing &timing, int k);
// 1 when (x, z) is within the checkpoint's radius and on or past its centre.
int datagen_in_pass_zone(const datagen_checkpoint &c, double x, double z);
// "" or the first problem: timing accepted, checkpoints apart, every start place of the rows
// on dirt within the course and outside the pass zones of the first three lap entries.
std::string datagen_timing_check(const datagen_track &t, const datagen_timing &timing, double half_width,
                                 int rows);
const datagen_timing &datagen_practice_timing();
const datagen_timing &datagen_hillside_timing();
// The gate arm's sphere centres (x across, y up, z towards the riders from the hinge).
void datagen_startgate_spheres(double out[][3]);

constexpr int DATAGEN_NO_SEGMENT = 100000;
constexpr int DATAGEN_GATE_SPHERES = 15;
constexpr double DATAGEN_GATE_SPHERE_RADIUS = 0.15;

// The stock sun, as the lighting file writes it (before the reader divides it by its length).
constexpr float DATAGEN_SUN[3] = {-0.5f, 0.75f, 0.375f};
constexpr float DATAGEN_SUN_COLOR[3] = {1.0f, 0.96875f, 0.875f};
constexpr float DATAGEN_AMBIENT[3] = {0.40625f, 0.4375f, 0.5f};
