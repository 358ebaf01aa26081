// The current track's lighting record, at the built-in defaults until a track sets it.
#include "gfx/lighting.h"

track_lighting_record track_lighting = {{1, 1, 1}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, {0.2f, 0.2f, 0.2f},
                                        0.25f,     5000.0f,   0.0f, 0, {1, 1, 1, 1}, {0, 0, 0, 0, 0}, 0};
