// Statues: solid track objects (the start gates' arms among them), a model with its texture, an
// optional collision shape and a pose on the ground.
#pragma once

#include <cstdint>

#include "bike/shape.h"
#include "gfx/model.h"

struct track_statue {
    model_mesh *model;         // null: none
    collision_shape *shape;    // the statue's own copy, or null (then not solid)
    uint32_t texture, normal_map, specular_map;
    float x, y, z;             // y: the ground's height plus the offset
    float height_offset;
    float yaw;
    float orientation[9];      // row-major; columns right, up, forward
    float rotation_free;       // 2^yaw for yaw >= 3.25, else 0
    int last_hit_tick;
    int joint_count;
    float *joint_centres;
    float *joint_translations;
    float *joint_rotations;
};

// Adds a statue standing at (x, ground + height offset, z) turned by yaw; each name may be null.
// A shape that can't be loaded says "Warning: missing shape file". The new row, or -1.
int track_add_statue(float x, float height_offset, float z, float yaw, const char *model,
                     const char *texture, const char *shape);
// Frees the row's shape copy and joint arrays.
void track_free_statue(int row);
// The row, or null for a row outside the table.
track_statue *track_statue_at(int row);
// The orientation (row-major, columns right, up, forward) of an object at (x, z) turned by yaw
// and tilted to the ground; yaw >= 3.25 gives the identity, yaw <= -2 pi keeps it upright.
void track_orient_to_ground(float m[9], float x, float z, float yaw);
