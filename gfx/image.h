// Image files and mip chains: PNG (libpng over the file streams), PPM, PGM and the program's
// predictive J6/J7 formats. Colour images come back as mip chains: level 0 (rows top-down,
// channels R, G, B[, A]) followed directly by every halved level down to 1 x 1. Callers free
// the buffers with mem_free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/stream.h"

struct png_struct_def;

// Bytes of the whole chain for level 0 of width x height.
size_t image_chain_bytes(int width, int height, int channels);
// 1 when both sides are from 1 to IMAGE_SIDE_MAX.
int image_sides_valid(long width, long height);

// Writes the next level behind the given one. Flag IMAGE_MIP_MAX_ALPHA: the alpha of each
// output pixel is the largest of its sources instead of their average.
void image_halve(unsigned char *pixels, int width, int height, int channels, int flags);
// RGBA level one pixel high or wide: pairs of pixels; output behind the level.
void image_halve_line(unsigned char *pixels, int length, int flags);
// Fills all lower levels of a chain whose level 0 is present.
void image_build_mips(unsigned char *pixels, int width, int height, int channels, int flags);
void image_build_mips_rgb(unsigned char *pixels, int width, int height);
void image_build_mips_rgba(unsigned char *pixels, int width, int height);
// A new chain of new_width x new_height resampled from level 0 by nearest pixel (alpha
// averaged in the lower levels), or null when memory runs out.
unsigned char *image_resample(const unsigned char *pixels, int width, int height, int channels,
                              int new_width, int new_height);

// Readers: 1 and a new buffer, or 0 with nothing allocated.
int image_read_ppm(const char *magic, file_stream *s, unsigned char **pixels, int *width,
                   int *height);
int image_read_predictive(const char *magic, file_stream *s, unsigned char **pixels, int *width,
                          int *height, int channels);
int image_read_pgm(file_stream *s, unsigned char **bytes, int *width, int *height);
int image_read_rgb(file_stream *s, unsigned char **pixels, int *width, int *height);
// info: the texts of the text chunks (before, then after the image data) and the side file
// "<name>.info", or null when there is none; owned by the caller.
int image_read_png(const char *name, unsigned char **pixels, int *width, int *height,
                   int *channels, char **info);
int image_load_rgba(const char *name, unsigned char **pixels, int *width, int *height);
int image_read_png_grey(const char *name, uint16_t **samples, int *width, int *height);

// Writers: through "<name>.tmp" renamed into place; 1, or 0 with any old file left whole.
// RGB rows are given bottom-up (as OpenGL reads the frame buffer) and stored upright.
int image_write_png_rgb(const char *name, const unsigned char *pixels, int width, int height);
int image_write_png_grey(const char *name, const uint16_t *samples, int width, int height);

// libpng's input and output functions over a file_stream.
void image_png_read_cb(png_struct_def *png, unsigned char *data, size_t length);
void image_png_write_cb(png_struct_def *png, unsigned char *data, size_t length);
void image_png_flush_cb(png_struct_def *png);

constexpr int IMAGE_MIP_MAX_ALPHA = 1;
constexpr int IMAGE_SIDE_MAX = 16384;
constexpr int IMAGE_INFO_MAX = 65536;    // bytes read of a ".info" side file
constexpr int IMAGE_PNG_ALLOC_MAX = 16 << 20;  // bytes of one block libpng allocates when reading
