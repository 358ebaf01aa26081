// Lens flares: each flare of the track's lighting tested against the finished frame (on screen,
// a bright pixel, nothing nearer in the depth buffer) and drawn as a chain of glow quads.
#pragma once

struct flare;

// Pixels read back from the frame buffer by flare tests since start-up (colour and depth reads
// each count one).
extern long flare_pixel_reads;

// View coordinates of the flare from the eye with the view rotation (row-major, columns right,
// up, backward): 1 with the screen position at unit depth when it lies inside the half-extents
// in front of the eye, else 0.
int flare_project(const flare *f, const float eye[3], const float rotation[9], float hx, float hy,
                  float *sx, float *sy, float *z);
// The window pixel of a screen position: 0 when it falls outside the window.
int flare_pixel(float sx, float sy, float hx, float hy, int width, int height, int *px, int *py);
// The fade near the screen's edges: 1 inside, falling to 0 over min(hx, hy) / 32.
float flare_edge_fade(float sx, float sy, float hx, float hy);
// The fraction of the way from the near to the far plane of a depth-buffer value.
float flare_depth_fraction(float depth, double near_plane, double far_plane);
// Whether a flare with a bright pixel of depth fraction d is in view: a direction needs the
// sky (d >= 0.4), a point at view depth -z nothing nearer than itself.
int flare_unhidden(int kind, float d, float z, double near_plane, double far_plane);
