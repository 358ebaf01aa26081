// Decals: textured marks laid flat on the ground and baked into the ground textures, kept in a
// list with an 8 x 8 grid of bins over the field, read from and written to a track's "decals".
#pragma once

#include <cstdint>

#include "terrain/terrain.h"

struct decal {
    const unsigned char *pixels;  // in-memory RGBA image (render mode 1), else null
    int width, height;            // of that image
    uint32_t texture;             // GL texture (render modes 2 and 3), else 0
    uint32_t normal_texture;      // companion maps with extra maps, else 0
    uint32_t specular_texture;
    float x, z;                   // centre, world units
    float angle;                  // radians
    float size;                   // length along the decal's own z axis
    float aspect;                 // width / length
    float sin, cos;               // of the angle
    const char *name;             // the texture's name as read or given (interned)
};

// Reads a "decals" file into the field's list and bins (made even when the file is empty).
// Bad lines are warned about and kept as text; a file over DECAL_FILE_MAX is refused (no list
// is made): 1, or 0 when refused.
// Warnings name the file as 'shown' (else the stream's own name).
int decal_load_list(terrain_field *f, file_stream *s, const char *shown = nullptr);
// Writes every decal, then the kept lines: 1, or 0 when a write failed.
int decal_write_list(const terrain_field *f, file_stream *s);
// Makes the empty list, merge arrays and bins; frees them.
void decal_list_create(terrain_field *f);
void decal_list_free(terrain_field *f);
// Checks a decal's numbers against the field (finite, on or near it, sane size and aspect).
int decal_values_ok(const terrain_field *f, float x, float z, float angle, float size, float aspect);
// Loads a decal's image or textures by its name (the record keeps the name either way).
void decal_load_textures(const terrain_field *f, decal *d, const char *name);
// The decal at index i of the list.
decal *decal_at(terrain_field *f, int i);

// Bins.
void decal_bins_insert(terrain_field *f, int i);
void decal_bins_remove(terrain_field *f, int i);
void decal_bins_shift_indexes(terrain_field *f, int first, int delta);
void decal_bins_rebuild(terrain_field *f);
// The decal indexes of the bins covering the world rectangle (sorted, no repeats); *count.
const int *decal_bins_query(terrain_field *f, float x0, float z0, float x1, float z1, int *count);
// The bin of a coordinate (0..7).
int decal_bin_of(const terrain_field *f, float c);
// The decal's bounding box: half extents.
void decal_half_extents(const decal &d, float *hx, float *hz);
void decal_mark_textures_stale(terrain_field *f, int i);
// 'name' with its ending suffix replaced, or null when it does not end with suffix (the
// caller frees the result with mem_free).
char *terrain_replace_suffix(const char *name, const char *suffix, const char *replacement);

// Drawing into the ground textures (decal_draw.cpp).
// Modes 2 and 3: the decals over a block into the target (type 0 diffuse, 1 normal, 2 specular).
void decal_draw_gl(terrain_field *f, int x, int z, int d, int type);
// Mode 1: the decals over a block into the composition buffer (S x S RGB).
void decal_compose_software(terrain_field *f, int x, int z, int d, unsigned char *buffer, int S);
// One textured triangle into an S x S RGB buffer: positions (texels) p, image coordinates
// (texels of the w x h RGBA image) uv, three of each.
void decal_raster_triangle(unsigned char *buffer, int S, const float p[6], const float uv[6],
                           const unsigned char *image, int w, int h);
// Sub-quads a side for a decal of this size (1, or more under the large-decal workaround).
int decal_subdivisions(const terrain_field *f, float size);

constexpr int DECAL_LIST_MAX = 65536;
constexpr long DECAL_FILE_MAX = 4L << 20;
constexpr int DECAL_LINE_MAX = 1100;
