// The OpenGL capability probe and the built-in shader programs.
#pragma once

// Records what the driver offers (the context must be current).
void gl_probe();
// Builds the shader programs: 1 when all were built, else 0 (fixed function only).
int shader_build_all();
