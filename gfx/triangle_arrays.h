// Indexed triangles drawn straight from arrays in memory, the way text and 2D batches reach
// OpenGL in one call.
#pragma once

#include <cstdint>

// Draws index_count indices (three a triangle) of the vertices: positions x, y, z; texture
// coordinates s, t (null: none); colours r, g, b, a. The arrays are switched off again after.
void gfx_draw_triangle_arrays(int index_count, const float *positions, const float *texcoords,
                              const float *colours, const uint32_t *indices);
