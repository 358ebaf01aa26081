// The broadcast overlay of the trackside cameras: the race order scrolling along the top of
// the screen and the lap counter at the top right, laid out first and then drawn.
#pragma once

// One entry of the strip, 21.5 units wide, its left edge at x (text-line units of a 40-line
// frame); a blank slot has no texts.
struct camera_strip_entry {
    float x;
    int blank;
    char place[12];
    char number[8];
    char name[64];
    char gap[24];    // "" for none
};

enum camera_lap_box { LAP_BOX_NONE, LAP_BOX_GREEN, LAP_BOX_WHITE, LAP_BOX_CHEQUERED };

// The overlay of one frame: the entries left to right (none when no row is shown) and the lap
// box with its text.
struct camera_strip_layout {
    int count;
    camera_strip_entry entries[64];
    int lap_box;
    char lap_text[16];
};

// Lays the overlay out from the race order at the frame clock (seconds) for a screen `width`
// units wide.
void camera_strip_build(camera_strip_layout *out, double clock_seconds, float width);
// Draws a layout in a 40-line frame over the view.
void camera_strip_draw(const camera_strip_layout *layout, float width);

constexpr float CAMERA_STRIP_ENTRY = 21.5f;
constexpr float CAMERA_STRIP_NAME_BOX = 15.0f;
constexpr int CAMERA_STRIP_LINES = 40;
