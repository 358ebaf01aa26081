// The stock track "tracks/hillside" as the contact and bike-tick benchmarks load it (needs a
// window: its ground textures), and the seeded spots along its course where they set bikes down.
#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "race/track.h"
#include "terrain/terrain.h"
#include "tools/zrdatagen/trackgen.h"

// A spot on the course: world position (x, z) and the heading along the course, as a turn
// about the vertical of a bike whose z axis points back.
struct bench_spot {
    float x, z;
    double heading;
};

// Loads "tracks/hillside" into the field: 1, or 0 with a line on standard error.
inline int bench_hillside_load(terrain_field *f) {
    track_name = "tracks/hillside";
    track_read_lighting();
    if (terrain_load(f, "@tracks/hillside", TILE_RENDER_TEXSUBIMAGE)) return 1;
    fprintf(stderr, "the stock track would not load\n");
    return 0;
}

// Course point i of the generated track as a spot.
inline bench_spot bench_course_spot(const datagen_track &track, size_t i) {
    const auto &course = track.course;
    const auto &a = course[(i + course.size() - 1) % course.size()], &b = course[(i + 1) % course.size()];
    float scale = (float)track.spacing / 16;
    return {course[i].x * scale, course[i].z * scale, std::atan2(-(double)(b.x - a.x), -(double)(b.z - a.z))};
}

// The seeded course points, in order of drawing (the same on every run).
inline std::vector<size_t> bench_course_points(const datagen_track &track, int count) {
    std::mt19937 rng(8);
    std::uniform_int_distribution<size_t> along(0, track.course.size() - 1);
    std::vector<size_t> points;
    for (int i = 0; i < count; i++) points.push_back(along(rng));
    return points;
}
