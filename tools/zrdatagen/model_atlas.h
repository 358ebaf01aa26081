// Where each surface of the stock models finds its part of the model textures: pixel boxes
// (rows from the top) shared by the model builders and the pictures.
#pragma once

#include "tools/zrdatagen/solids.h"

struct atlas_box {
    int x0, y0, x1, y1;
};

inline solid_rect atlas_rect(atlas_box b, int side) {
    return solid_pixels(b.x0, b.y0, b.x1, b.y1, side, side);
}

// "wheels.png", 256 x 256.
constexpr int WHEELS_SIDE = 256;
constexpr atlas_box WHEELS_FACE = {0, 0, 128, 128};        // the whole wheel from the side
constexpr atlas_box WHEELS_TREAD = {128, 0, 256, 64};      // carcass: u around, v bead to bead
constexpr atlas_box WHEELS_KNOB = {128, 64, 192, 96};
constexpr atlas_box WHEELS_RIM = {192, 64, 256, 96};
constexpr atlas_box WHEELS_HUB = {128, 96, 192, 128};
constexpr atlas_box WHEELS_SPOKE = {192, 96, 256, 128};
constexpr atlas_box WHEELS_ROTOR = {0, 128, 128, 256};     // laid flat over the disc
constexpr atlas_box WHEELS_SPROCKET = {128, 128, 256, 256};

// "rider_head.png", 256 x 256.
constexpr int HEAD_SIDE = 256;
constexpr atlas_box HEAD_SHELL = {0, 0, 256, 160};         // u: longitude from the right side
constexpr atlas_box HEAD_VISOR = {0, 160, 128, 224};
constexpr atlas_box HEAD_STRAP = {128, 160, 256, 192};
constexpr atlas_box HEAD_LENS = {128, 192, 256, 224};
constexpr atlas_box HEAD_CHIN = {0, 224, 128, 256};
constexpr atlas_box HEAD_FRAME = {128, 224, 256, 256};

// "rider_body.png", 512 x 512.
constexpr int BODY_SIDE = 512;
constexpr atlas_box BODY_JERSEY = {0, 0, 256, 256};        // u around from the right side
constexpr atlas_box BODY_SLEEVE = {256, 0, 512, 128};      // u around, v shoulder to wrist
constexpr atlas_box BODY_GLOVE = {256, 128, 384, 192};
constexpr atlas_box BODY_COLLAR = {384, 128, 512, 192};
constexpr atlas_box BODY_PANTS = {0, 256, 256, 384};       // v hip to ankle
constexpr atlas_box BODY_SEAT = {256, 192, 512, 256};
constexpr atlas_box BODY_KNEE = {256, 256, 384, 320};
constexpr atlas_box BODY_BOOT = {0, 384, 256, 512};        // v sole to top of the shaft
constexpr atlas_box BODY_SOLE = {256, 384, 384, 448};
constexpr atlas_box BODY_BUCKLE = {384, 384, 512, 448};

// "W.png" of a base word, 512 x 512.
constexpr int BIKE_SIDE = 512;
constexpr atlas_box BIKE_PLASTIC = {0, 0, 256, 128};
constexpr atlas_box BIKE_SHROUD = {256, 0, 512, 128};      // the big graphic of the shrouds
constexpr atlas_box BIKE_SEAT = {0, 128, 256, 192};
constexpr atlas_box BIKE_FRAME = {256, 128, 384, 192};
constexpr atlas_box BIKE_ENGINE = {384, 128, 512, 192};
constexpr atlas_box BIKE_COVER = {0, 192, 128, 256};
constexpr atlas_box BIKE_HEADER = {128, 192, 256, 256};
constexpr atlas_box BIKE_MUFFLER = {256, 192, 384, 256};
constexpr atlas_box BIKE_RUBBER = {384, 192, 448, 256};
constexpr atlas_box BIKE_GRIP = {448, 192, 512, 256};
constexpr atlas_box BIKE_CLAMP = {0, 256, 128, 320};
constexpr atlas_box BIKE_BAR = {128, 256, 256, 320};
constexpr atlas_box BIKE_CHROME = {256, 256, 384, 320};
constexpr atlas_box BIKE_SLIDER = {384, 256, 512, 320};
constexpr atlas_box BIKE_RADIATOR = {0, 320, 128, 384};
constexpr atlas_box BIKE_CHAIN = {128, 320, 256, 352};
constexpr atlas_box BIKE_SWINGARM = {256, 320, 384, 384};
constexpr atlas_box BIKE_METAL = {384, 320, 512, 384};
constexpr atlas_box BIKE_SPRING = {0, 384, 128, 448};
constexpr atlas_box BIKE_PAD = {128, 384, 256, 448};
constexpr atlas_box BIKE_FENDER = {256, 384, 512, 448};
constexpr atlas_box BIKE_SIDE_PANEL = {0, 448, 256, 512};
constexpr atlas_box BIKE_CYLINDER = {256, 448, 384, 512};
constexpr atlas_box BIKE_BLACK = {384, 448, 512, 512};
