// The capability probe. The extension flags, texture units and entry points are read by the
// graphics foundation; until then nothing is recorded.
#include "gfx/gl_probe.h"

void gl_probe() {}
