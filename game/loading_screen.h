// The loading screen's pictures (status, splash and progress screens) and their installation as
// the loading screen's hooks.
#pragma once

#include <cstdint>

// The title image of the status screen (0 until loaded at start-up).
extern uint32_t loading_title_texture;

// Draws the status screen into the current frame; an empty text gives the splash screen.
void loading_draw_screen(const char *text);
// Draws the progress screen into the current frame: a row of 32 squares showing the
// counter's low bits, with a moving wave.
void loading_draw_progress(uint32_t counter);
// Gives the loading screen these pictures, the projection, the input release and the close.
void loading_screen_install();
