// Dig and deposit: the two smooth brushes on the height field and the invalidation that
// schedules the textures and shading over an edited area for rebuilding.
#pragma once

#include "terrain/terrain.h"

// The falloff of a sample at distance t (cells) from a brush of radius r (cells):
// 2u^3 - 3u^2 + 1 with u = t / r inside, 0 beyond, 1 when t is not a number.
float terrain_falloff(float t, float r);
// Raises (or lowers, for a negative amount) the ground around world (x, z) by amount times the
// falloff; returns the sum of what every visited sample was given (also the samples outside the
// grid or refused while heights are frozen). Non-finite input, a zero amount or a radius above
// DIG_RADIUS_CELLS_MAX spacings changes nothing and returns 0.
float terrain_add_bump(terrain_field *f, float x, float z, float radius, float amount);
// Adds the volume spread with the same falloff (weights normalised when they sum to 1 or more).
// Non-finite input, a zero volume or an oversized radius changes nothing.
void terrain_spread_volume(terrain_field *f, float x, float z, float radius, float volume);
// Schedules rebuilding over the cells x0..x1, z0..z1 (inclusive): the stale textures in render
// mode 1, the low-detail textures' reshade bits in modes 2 and 3.
void terrain_invalidate_rect(terrain_field *f, int x0, int z0, int x1, int z1);
// As terrain_invalidate_rect, with the four values clamped to the grid first.
void terrain_invalidate_rect_clamped(terrain_field *f, int x0, int z0, int x1, int z1);

constexpr float DIG_RADIUS_CELLS_MAX = 64.0f;     // larger brushes visit nothing
constexpr double DIG_CENTRE_CELLS_MAX = 16777216.0; // centre cells clamped to +-2^24
constexpr int DIG_LOW_DETAIL_CORE = 384;           // samples a low-detail texture's core covers
