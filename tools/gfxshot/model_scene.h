// gfxshot's model scene: one model lit, seen from a camera at a distance.
#pragma once

#include <string>

struct model_shot {
    std::string name;
    std::string texture;       // empty: plain white
    double distance = 0;       // from the model's origin; 0: far enough to see it whole
    double bend_degrees = 0;   // a two-bone model's second bone turns about z at the middle
};

// Draws the model into the back buffer and prints "lod %g" and the draw counters: 1, or 0
// (with a message) when the model or its texture cannot be loaded.
int shot_model(const model_shot &shot, int width, int height);
