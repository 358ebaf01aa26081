// The generator's modelling kit: vectors, a sine of its own (basic arithmetic only, so every
// machine prints the same digits), and solids added to a JM mesh with a rectangle of the
// part's picture and bone weights: sweeps, surfaces of revolution, ellipsoids, boxes, panels.
#pragma once

#include <vector>

#include "tools/zrdatagen/modelgen.h"

struct v3 {
    double x, y, z;
};

inline v3 operator+(v3 a, v3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline v3 operator-(v3 a, v3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline v3 operator*(v3 a, double k) {
    return {a.x * k, a.y * k, a.z * k};
}
inline v3 operator*(double k, v3 a) {
    return a * k;
}
inline double dot(v3 a, v3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline v3 cross(v3 a, v3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double solid_length(v3 a);
// The direction of a (a zero vector stays zero).
v3 solid_unit(v3 a);
// a mirrored across the centre plane (x negated).
inline v3 solid_mirror(v3 a) {
    return {-a.x, a.y, a.z};
}
inline v3 solid_v3(const double p[3]) {
    return {p[0], p[1], p[2]};
}

double solid_sin(double radians);
double solid_cos(double radians);
constexpr double SOLID_PI = 3.14159265358979323846;

// A rectangle of the picture in file texture coordinates (v counts from the bottom).
struct solid_rect {
    double u0, v0, u1, v1;
};
// The pixels x0..x1, y0..y1 (rows from the top) of a picture of the given size.
solid_rect solid_pixels(int x0, int y0, int x1, int y1, int width, int height);
// One point of the rectangle for fractions (0, 0) bottom left .. (1, 1) top right.
double solid_u(const solid_rect &r, double f);
double solid_v(const solid_rect &r, double f);

struct solid_builder {
    datagen_jm_mesh *mesh;
    std::vector<double> weights;  // of every vertex added without its own (empty: no bones)
    int vertex(v3 p, v3 n, double u, double v, const std::vector<double> *own = nullptr);
    // Wound counter-clockwise as seen from the side its corners' normals face; a triangle
    // without area is left out.
    void triangle(int a, int b, int c);
    void quad(int a, int b, int c, int d);
};

// One station of a sweep: the centre and the half sizes of the cross-section along the
// across direction (rx) and the other (ry); boxy sections are rounded rectangles.
struct solid_node {
    v3 p;
    double rx, ry;
    bool boxy = false;
    std::vector<double> weights;  // empty: the builder's
};

// A tube through the nodes. The cross-section's rx lies along across made perpendicular to
// the path; u runs around (from +across towards the path x across side), v along the path.
void solid_sweep(solid_builder *b, const std::vector<solid_node> &nodes, v3 across, int sides,
                 const solid_rect &rect, bool caps);
// Straight tube from a to b of one radius.
void solid_rod(solid_builder *b, v3 a, v3 c, double radius, v3 across, int sides,
               const solid_rect &rect, bool caps);

// A profile point of a surface of revolution about the x axis: radius and x, with the
// profile's outward normal (radial and x parts).
struct solid_profile_point {
    double r, x, nr, nx;
};
// Revolves the profile about the x axis through centre. u runs around, v along the profile;
// with planar_radius > 0 the picture is laid flat instead (u from z, v from y, the rectangle
// covering a disc of that radius).
void solid_revolve(solid_builder *b, v3 centre, const std::vector<solid_profile_point> &profile,
                   int segments, const solid_rect &rect, double planar_radius);

// An ellipsoid with radii along the axes X, Y, Z (unit, perpendicular): longitude around Y
// from +X, latitude from -Y to +Y; u by longitude, v by latitude.
void solid_ellipsoid(solid_builder *b, v3 centre, v3 radii, v3 X, v3 Y, v3 Z, int slices,
                     int stacks, const solid_rect &rect);
// A box with half sizes along the axes; every face shows the whole rectangle.
void solid_box(solid_builder *b, v3 centre, v3 half, v3 X, v3 Y, v3 Z, const solid_rect &rect);
// A flat plate through the four corners (in order around), thick along its normal: the front
// (the side (c1 - c0) x (c3 - c0) points to) shows the front rectangle, corner c0 at its
// bottom left and c1 at its bottom right; the back and the edges show the back rectangle.
void solid_panel(solid_builder *b, const v3 corners[4], double thickness, const solid_rect &front,
                 const solid_rect &back);
