// The 2D text-line frames drawn over the 3D view: the HUD, the boards, the menus and captions.
#pragma once

// A 2D frame in which the screen height holds n text lines: origin at the left edge one line
// below the top, one unit a line, y up. Pushes the model-view matrix; widget_pop_frame pops it.
void widget_push_lines_frame(int n);
void widget_pop_frame();
