// Indexed triangles from arrays in memory.
#include "gfx/triangle_arrays.h"

#include <GL/gl.h>

void gfx_draw_triangle_arrays(int index_count, const float *positions, const float *texcoords,
                              const float *colours, const uint32_t *indices) {
    if (index_count <= 0) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions);
    glColorPointer(4, GL_FLOAT, 0, colours);
    if (texcoords) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 0, texcoords);
    }
    glDrawElements(GL_TRIANGLES, index_count, GL_UNSIGNED_INT, indices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}
