// The 2D text-line frames drawn over the 3D view (the widget records are core/widget_data.h).
#pragma once

#include "core/widget_data.h"

// A 2D frame in which the screen height holds n text lines: origin at the left edge one line
// below the top, one unit a line, y up. Pushes the model-view matrix; widget_pop_frame pops it.
void widget_push_lines_frame(int n);
void widget_pop_frame();
