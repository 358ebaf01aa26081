// The track editor's entry points. Its tools join with the editor Parts; the view is cleared.
#include "editor/editor.h"

#include <GL/gl.h>

void editor_draw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

int editor_handle_key(int code, int pressed) {
    (void)code;
    (void)pressed;
    return 0;
}

void editor_update() {}
