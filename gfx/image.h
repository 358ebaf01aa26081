// Image files: reading, mip chains and writing PNG images.
#pragma once

// Writes RGB pixels (rows bottom-up, as OpenGL reads them) as the PNG image name: 1 or 0.
int image_write_png_rgb(const char *name, const unsigned char *pixels, int width, int height);
