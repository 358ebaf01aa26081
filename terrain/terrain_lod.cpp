// The level-of-detail data of the field: the quadtree's error bounds and the low-detail
// textures' images.
#include <cstring>

#include "terrain/terrain.h"

int terrain_update_lod_errors(terrain_field *f, int budget) {
    // The error bounds are computed with the level-of-detail mesh; until then they stay as
    // allocated and every generation counts as finished.
    (void)budget;
    f->lod.generation = f->edit_generation;
    return 1;
}

void terrain_low_detail_image(terrain_field *f, int x0, int z0, int width, int height,
                              unsigned char *out) {
    int last = f->n - 1;
    for (int j = 0; j < height; j++) {
        int z = z0 + j < 0 ? 0 : z0 + j > last ? last : z0 + j;
        for (int i = 0; i < width; i++) {
            int x = x0 + i < 0 ? 0 : x0 + i > last ? last : x0 + i;
            size_t s = x + (size_t)f->n * z;
            unsigned char *texel = out + 3 * ((size_t)j * width + i);
            if (f->extra_maps && f->normal_map) {
                if (terrain_bit(f->normal_dirty, s)) {
                    terrain_normal_texel(f, x, z, f->normal_map + 3 * s);
                    terrain_bit_clear(f->normal_dirty, s);
                }
                memcpy(texel, f->normal_map + 3 * s, 3);
            } else {
                if (terrain_bit(f->shading_dirty, s)) {
                    terrain_shade_sample(f, x, z, f->shading + 3 * s);
                    terrain_bit_clear(f->shading_dirty, s);
                }
                memcpy(texel, f->shading + 3 * s, 3);
            }
        }
    }
}
