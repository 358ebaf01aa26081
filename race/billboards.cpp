// Billboard rows: adding them with their colour tag, the depth-sort space, the ground height.
#include <cstring>

#include "gfx/model.h"
#include "gfx/texture.h"
#include "race/objects.h"
#include "race/track.h"
#include "terrain/terrain.h"

track_loader_table track_loaders = {tex_load, model_load, tex_name, model_name};
growable_array billboard_order;
int track_first_file_statue = 0;
int track_first_file_billboard = 0;

float track_ground_height(float x, float z) {
    const terrain_field *f = terrain_current;
    if (!f || !f->heights || f->n < 1 || !(f->spacing > 0)) return 0;
    return terrain_height_at(f, x, z);
}

static int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int track_billboard_colour_tag(const char *text, uint8_t rgb[3], const char **name) {
    if (!text || strlen(text) <= 7 || text[0] != '#' || text[7] != '#') return 0;
    int d[6];
    for (int i = 0; i < 6; i++)
        if ((d[i] = hex_digit(text[1 + i])) < 0) return 0;
    for (int i = 0; i < 3; i++) rgb[i] = (uint8_t)(d[2 * i] * 16 + d[2 * i + 1]);
    *name = text + 8;
    return 1;
}

int track_add_billboard(float x, float height_offset, float z, float size, float aspect,
                        const char *texture) {
    billboard b = {};
    b.r = b.g = b.b = b.a = 255;
    const char *name = texture;
    uint8_t rgb[3];
    if (track_billboard_colour_tag(texture, rgb, &name)) {
        b.r = rgb[0];
        b.g = rgb[1];
        b.b = rgb[2];
    }
    b.texture = name && *name && track_loaders.texture ? (int32_t)track_loaders.texture(name) : 0;
    b.x = x;
    b.z = z;
    b.height_offset = height_offset;
    b.y = track_ground_height(x, z) + height_offset;
    b.size = size;
    b.aspect = aspect;
    if (!billboard_order.items && !plyx_array_init(&billboard_order, sizeof(int32_t), 32)) return -1;
    int before = billboard_order.count;
    int32_t zero = 0;
    if (!plyx_array_append(&billboard_order, &zero) || !plyx_array_append(&billboard_order, &zero)) {
        billboard_order.count = before;
        return -1;
    }
    if (!track_billboards.items || !plyx_array_append(&track_billboards, &b)) {
        billboard_order.count = before;
        return -1;
    }
    return track_billboards.count - 1;
}
