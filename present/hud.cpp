// The HUD. Its gauges, timing and boards join with their drawing; nothing is drawn yet.
#include "present/hud.h"

#include "gfx/texture.h"

hud_image_set hud_images = {0, 0, 0};

void hud_load_images() {
    hud_images.tach = tex_load("!@tach.png");
    hud_images.shifter = tex_load("!@shifter.png");
    hud_images.pitboard = tex_load("!@pitboard.png");
}

void hud_draw(int viewed_slot) {
    (void)viewed_slot;
}

void hud_draw_info(int viewed_slot) {
    (void)viewed_slot;
}
