// The 2D text-line frames drawn over the 3D view (the widget records are core/widget_data.h).
#pragma once

#include "core/widget_data.h"
#include "gfx/lines_frame.h"
