// Stale marks of the ground textures over an edited area.
#include "terrain/dig.h"

void terrain_mark_textures_stale(terrain_field *f, int x0, int z0, int x1, int z1) {
    // The ground-texture tiles are composed with the terrain drawing, which stamps them here.
    (void)f;
    (void)x0;
    (void)z0;
    (void)x1;
    (void)z1;
}
