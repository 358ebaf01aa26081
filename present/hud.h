// The HUD over the race view, and the information and results board.
#pragma once

#include <cstdint>

// The HUD's images (texture names, 0 when missing).
struct hud_image_set {
    uint32_t tach, shifter, pitboard;
};

extern hud_image_set hud_images;

// Loads "!@tach.png", "!@shifter.png" and "!@pitboard.png".
void hud_load_images();
void hud_draw(int viewed_slot);
void hud_draw_info(int viewed_slot);
