// Bitmap fonts and text drawing.
#pragma once

// Loads the main font and the two digit fonts (start-up); frees them (shutdown).
void font_load_all();
void font_free_all();
// Draws the text centred between x0 and x1 (units of one glyph height) with a shadow.
void font_draw_centered_shadowed(float r, float g, float b, float a, float x0, float x1,
                                 const char *text);
