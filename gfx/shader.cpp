// The built-in shader programs. None is built yet, so drawing keeps to fixed function.
#include "gfx/gl_probe.h"

int shader_build_all() {
    return 0;
}
