// Collision shapes: sphere sets read from ".shp" files, cached by name, handed out as copies.
#pragma once

#include <cstdint>

#include "bike/geometry.h"
#include "platform/plyx.h"

// One sphere of a shape: centre in the body's frame (in a cached shape) or in the world (in a
// copy after a contact pass), radius, and the contact's friction, spring rate and damping.
struct collision_sphere {
    vec3 centre;
    float radius;
    float mu;
    float spring;
    float damper;
};

// One block: this header, then count rows, then the name with its zero. A copy is a byte copy
// of the cached block with its pointers redirected to its own rows and name.
struct collision_shape {
    char *name;                     // the file name, inside the block after the rows
    int32_t count;
    collision_sphere *rows;         // right after the header
    collision_shape *source_shape;  // in a copy, the cached shape (body-frame centres)
    float bounding_radius;          // largest |centre| + radius in the body frame, 0 without rows
};

// The cached shapes (pointers) in load order: room for 16 at first use, doubled when full.
extern growable_array shape_cache;

// The cached shape for the name (exact, case-sensitive), read on first request; null when the
// file can't be opened or read, or holds a bad count or row ("Warning: " on the console).
collision_shape *shape_load(const char *name);
// A new private copy of the cached shape (released by its holder with mem_free), or null.
collision_shape *shape_copy(const char *name);
const char *shape_name(const collision_shape *shape);
float shape_bounding_radius(const collision_shape *shape);
// 1 and the row's centre and radius as they stand now; 0 when i is outside 0..count-1.
int shape_sphere(const collision_shape *shape, int i, vec3 *centre, float *radius);
// Frees every cached shape and the table (shutdown).
void shape_free_cache();

constexpr int SHAPE_CACHE_INITIAL = 16;
constexpr int SHAPE_SPHERES_MAX = 4096;
constexpr float SHAPE_CENTRE_MAX = 1024.0f;   // ft from the body's origin, each component
constexpr float SHAPE_RADIUS_MAX = 256.0f;    // ft
