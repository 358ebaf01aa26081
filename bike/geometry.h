// Collision geometry: spheres and tyres against one triangle, and the ring and plane helpers.
#pragma once

#include "core/vec3.h"

// Triangles are three vertices T0, T1, T2; their normal (T1 - T0) x (T2 - T0) follows the
// vertex order. A tyre is the set of points within r (section radius) of the ring of radius R
// about the axle a through the centre c. Contact results return the depth (> 0 is a contact)
// and write the point and the unit normal, which points from the triangle towards the sphere or
// tyre.

// The point of the circle (centre, axis, radius) nearest p; a point on the axis takes the first
// of the axis-aligned trial directions that leaves the axis; the centre when none does.
void ring_closest_point(vec3 *out, vec3 centre, vec3 axis, float radius, vec3 p);
// |(p - o) . n| / |n|, for a plane normal n of any non-zero length.
float plane_distance(vec3 o, vec3 n, vec3 p);
// 1 and the intersection of the ray with the plane; 0 and the origin when the ray is parallel.
int ray_plane_intersect(vec3 *out, vec3 origin, vec3 direction, vec3 plane_point,
                        vec3 plane_normal);
// The circle point nearest *point, moved back along direction by distance.
void ring_point_offset(vec3 *point, vec3 direction, vec3 centre, vec3 axis, float radius,
                       float distance);

float collide_sphere_triangle(vec3 *point, vec3 *normal, vec3 centre, float radius,
                              const vec3 tri[3]);
// The tyre against the triangle's face only: 0 where only an edge or vertex could touch.
float collide_torus_triangle_face(vec3 *point, vec3 *normal, vec3 c, vec3 a, float R, float r,
                                  const vec3 tri[3]);
// The tyre against the whole triangle, edges and vertices included.
float collide_torus_triangle(vec3 *point, vec3 *normal, vec3 c, vec3 a, float R, float r,
                             const vec3 tri[3]);
// The smallest distance between the ring and the triangle's edges, or the wheel's disc and its
// vertices; n is the triangle's normal. For a plain edge result the normal written is the
// unnormalised vector from the edge point to the ring.
float torus_triangle_boundary(vec3 *point, vec3 *normal, vec3 c, vec3 a, float R, float r,
                              const vec3 tri[3], vec3 n);
