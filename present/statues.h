// Statues in the scene: both passes over the track's statue rows, the distance cull, statues
// that turn to face the viewer, and poses from the rows' joints.
#pragma once

#include <cstdint>

// One statue model draw: the row, its colour texture, the pass, whether the row's joints posed
// it (0: its rest pose) and the orientation it was drawn with (row-major).
struct statue_draw_call {
    int row;
    uint32_t texture;
    int reflection;
    int posed;
    float orientation[9];
};

// Sees every statue model draw in place of drawing the model, when set (tests, benchmarks).
extern void (*statue_draw_hook)(const statue_draw_call &call);

// Draws one statue row from the eye in the ordinary pass or (reflection 1) the reflection pass;
// the caller has bound its textures.
void scene_draw_statue(int row, const float eye[3], int reflection);
// The turn about the vertical axis that points a statue's z axis at the eye from d = eye -
// position (row-major); 0 when d has no horizontal length to speak of.
int statue_facing(float out[9], float dx, float dz);
