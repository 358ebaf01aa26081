// The texture manager: textures cached by name.
#pragma once

#include <cstdint>

// The GL texture name of the image file (a leading '!': no detail reduction), 0 on failure.
uint32_t tex_load(const char *name);
// Deletes the textures of older generations (all = 0), or every texture (all = 1).
void tex_purge(int all);
