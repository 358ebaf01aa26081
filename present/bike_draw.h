// Drawing a rider slot's bike and rider: the parts at their bodies, the posed rider, the head,
// the number plates and the chrome's reflection pass.
#pragma once

#include <cstdint>

#include <ode/ode.h>

#include "bike/rider.h"

// The part models of a slot, in the slot's order.
enum bike_draw_part {
    DRAW_FRAME, DRAW_SIDE_PLATES, DRAW_FORK_UPPER, DRAW_FORK_LOWER, DRAW_FRONT_PLATE,
    DRAW_SWINGARM, DRAW_FRONT_WHEEL, DRAW_REAR_WHEEL, DRAW_HEAD, DRAW_BODY, DRAW_BODY_FP,
    DRAW_RIDER_PLATE, DRAW_PARTS
};

// One model drawn: the part, the body it is placed on (bike body order; -1 the head), the
// colour texture, the material alpha, whether bones posed it and whether it was the reflection.
struct bike_draw_call {
    int part;
    int body;
    uint32_t texture;
    float alpha;
    int skinned;
    int reflection;
};

// Sees every model draw when set (tests).
extern void (*bike_draw_hook)(const bike_draw_call &call);

// Pushes the model-view matrix, moves to the body and turns by its rotation; gives the body's
// position and row-major rotation in single precision. The caller pops.
void draw_push_body_matrix(dBodyID body, float position[3], float rotation[9]);
// Lighting and light 0 on, the material at draw_alpha, blending by source alpha, modulated
// texturing: the state of a lit model pass.
void draw_begin_lit_pass();
// Binds a texture on the active unit, counting the bind in the frame's statistics.
void draw_bind_texture(uint32_t texture);
// Texture unit 1 or 2 on with the texture, or off for 0; back to unit 0 is the caller's.
void draw_bind_unit(int unit, uint32_t texture);
// Draws the slot's bike and rider. Mode 0 normal, 1 onboard with the rider hidden, 2 onboard
// with the first-person body. Reads the bodies, never writes them.
void draw_bike_and_rider(rider_slot *s, int mode, const float eye[3]);

constexpr int DRAW_MODE_NORMAL = 0;
constexpr int DRAW_MODE_ONBOARD_HIDDEN = 1;
constexpr int DRAW_MODE_ONBOARD = 2;
