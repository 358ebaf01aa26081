// Decals: textured marks baked into the ground textures, kept in a list with 8 x 8 bins. The
// list, its bins and its file join with the decals; until then a track loads without a decal
// list, so that a save never writes over a track's "decals".
#pragma once

#include "terrain/terrain.h"

// Reads a "decals" file into the field's list and bins: 1.
int decal_load_list(terrain_field *f, file_stream *s);
// Writes the field's decal list, one line a decal: 1, or 0 when a write failed.
int decal_write_list(const terrain_field *f, file_stream *s);
