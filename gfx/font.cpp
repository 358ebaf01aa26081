// Fonts. The font images are read by the font loader; until then no text is drawn.
#include "gfx/font.h"

void font_load_all() {}

void font_free_all() {}

void font_draw_centered_shadowed(float r, float g, float b, float a, float x0, float x1,
                                 const char *text) {
    (void)r;
    (void)g;
    (void)b;
    (void)a;
    (void)x0;
    (void)x1;
    (void)text;
}
