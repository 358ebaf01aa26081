// The text-line frames drawn over the 3D view.
#include "gfx/lines_frame.h"

#include <GL/gl.h>

#include "core/widget_data.h"

void widget_push_lines_frame(int n) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    float a = 2.0f * view_state.half_y / (float)n;
    glTranslatef(-view_state.half_x, view_state.half_y - a, -1.0f);
    glScalef(a, a, a);
}

void widget_pop_frame() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
