// The texture manager: file names become OpenGL textures through a cache with generations;
// a second cache keeps RGBA images in memory for code that reads pixels.
#pragma once

#include <cstdint>

#include "platform/plyx.h"

// One cached texture; the name is stored in the same allocation, behind the record.
struct texture_entry {
    uint32_t gl_name;        // 0: the load gave nothing (never answered from the cache)
    int32_t generation;      // texture_generation at load or last reuse; 0: before the first reset
    int32_t bytes;           // growth of texture_memory_bytes while it was loaded
    char *info;              // a PNG's info text (owned), or null
    const char *name;        // after the '!' was dropped and links were followed
};

// One cached in-memory image (always RGBA), the name behind the record.
struct image_entry {
    int32_t width, height;
    int32_t channels;
    unsigned char *pixels;   // owned RGBA mip chain
    int32_t generation;
    int32_t bytes;           // width x height x 4
    const char *name;
};

// A texture name redirected to another (both interned).
struct texture_link {
    const char *name;
    const char *target;
};

// Tables of pointers (texture_entry *, image_entry *, texture_anim *) and link pairs by value.
extern growable_array texture_table;
extern growable_array anim_table;
extern growable_array texture_link_table;
extern growable_array image_table;
extern int32_t texture_generation;
extern uint32_t texture_memory_bytes;

uint32_t tex_load(const char *name);
const char *tex_name(uint32_t gl_name);
const char *tex_info(uint32_t gl_name);
// 1 and the cached RGBA chain (owned by the cache), or 0.
int image_load(const char *name, unsigned char **pixels, int *width, int *height);
const char *image_name(const unsigned char *pixels);
// Deletes what neither the current generation nor generation 0 holds; everything with all.
void tex_purge(int all);

uint32_t tex_upload(const unsigned char *pixels, int width, int height, int channels, int flags);
uint32_t tex_create(const unsigned char *pixels, int width, int height, int channels);
uint32_t tex_create_nomip(const unsigned char *pixels, int width, int height, int channels);
// The caller keeps and frees its pixels; name null prints nothing.
uint32_t tex_create_reduced(const unsigned char *pixels, int width, int height, int channels,
                            int reduce_count, int flags, const char *name);
// Power-of-two sides and top levels dropped while the area exceeds max_area (or the reduce
// count lasts), never below 128 x 128. Replaces the caller's buffer when it changes anything:
// 1, or 0 (buffer untouched) when memory runs out.
int image_fit_power_of_two(unsigned char **pixels, int *width, int *height, int channels,
                           long max_area, int reduce_count);
// A number plate: the text painted centred in the digit fonts, recoloured between the two
// colours, uploaded with a clear one-pixel ring on every level.
uint32_t tex_create_text_plate(const char *text, int width, int height,
                               const unsigned char white_colour[3],
                               const unsigned char black_colour[3]);

// The level decisions of tex_create_reduced, without OpenGL.
// The largest power of two not above the side / strictly below it (1 for sides of 1 or 2).
int tex_power_of_two_at_most(int side);
int tex_power_of_two_below(int side);
int tex_is_power_of_two(int side);
// Steps down a chain of power-of-two sides: the reduce count (never to a level with a side of
// 128 or less), then the levels that add no detail to the next one (while a side is above 16).
// Returns the new top level and its sides; *flat_dropped counts the second kind.
const unsigned char *tex_choose_top_level(const unsigned char *pixels, int *width, int *height,
                                          int channels, int reduce_count, int *flat_dropped);
// 1 when every channel of the level is within 4 of the next level upsampled to its size.
int tex_level_adds_no_detail(const unsigned char *level, int width, int height, int channels);
// The border colour of an RGB upload: the fullest bin of an 8 x 8 x 8 histogram of the edge
// pixels (the first bin in scan order on a tie); RGBA uploads use (0, 0, 0, 0).
void tex_border_colour(const unsigned char *pixels, int width, int height, int channels,
                       float colour[4]);

constexpr int TEX_HREPEAT = 1;
constexpr int TEX_VREPEAT = 2;
constexpr int TEX_COMPRESS = 4;
constexpr int TEX_NO_MIPMAP = 8;
constexpr int TEX_TABLE_CAPACITY = 16;
constexpr int TEX_GL_ERROR_READS = 32;   // bound on draining glGetError
constexpr int TEX_DETAIL_MIN_SIDE = 128;
constexpr int TEX_FLAT_MIN_SIDE = 16;
constexpr long TEX_FIT_MIN_AREA = 16384;
