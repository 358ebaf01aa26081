// gfxshot's terrain scene: a track's ground drawn through the scene from a chosen camera.
#pragma once

#include <string>

#include "tools/terrain-info/edits.h"

struct terrain_shot {
    std::string track;            // "@tracks/name" or "tracks/name"
    bool eye_given = false, look_given = false;
    double eye[3] = {0, 0, 0}, look[3] = {0, 0, 0};
    int above_decal = -1;         // --above-decal I,H: decal I from H ft above
    double above_height = 0;
    int frames = 0;               // 0: until no slot in view is stale (at most 300)
    terrain_edits edits;          // --ruts, --dozer: applied after the load, before drawing
};

// Loads the track, draws the frames and prints the terrain's counters: 1, or 0 with a message.
int shot_terrain(const terrain_shot &shot, int width, int height);
