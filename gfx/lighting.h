// The track's lighting: the record the track's "lighting" file fills before the terrain loads,
// read by the terrain shading, model drawing and the scene.
#pragma once

#include <cmath>
#include <cstdint>

struct track_lighting_record {
    float sun_vector[3];      // unit length once read
    float sun_color[3];
    float ambient[3];
    float global_ambient[3];
    float near_plane;
    float far_plane;
    float fog_density;        // fog is on above 0
    int dynamic_lighting;     // normal and specular ground maps wanted
    float fog_color[4];       // kept from track to track unless a file sets it
    uint32_t sky[5];          // sky box faces north, east, south, west, up (0: not drawn)
    uint32_t sky_env;         // environment map of reflections (0: none)
};

enum { SKY_NORTH, SKY_EAST, SKY_SOUTH, SKY_WEST, SKY_UP };

// The track's lighting, at the built-in defaults until a track's "lighting" file is read.
extern track_lighting_record track_lighting;

// Divides the sun vector by its length; a zero or non-finite one points straight up. Inline
// so that the stock-data generator normalises its sun exactly as the reader does.
inline void track_lighting_unit_sun(float v[3]) {
    float length = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0) || !std::isfinite(length)) {
        v[0] = 0;
        v[1] = 1;
        v[2] = 0;
        return;
    }
    for (int i = 0; i < 3; i++) v[i] /= length;
}
