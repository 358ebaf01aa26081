// The bound on how near a tyre's ring comes to a triangle's edges and corners.
//
// A point's distance to the ring has two legs: its distance along the axle from the ring's
// plane, and its radial gap (distance from the axle line less R). Over a span of an edge each
// leg is at least its own smallest value: the axial leg is linear in the edge's parameter and
// the radial distance squared is a convex quadratic. Halving the span tightens the bound where
// the two smallest values fall at different points.
#include "bike/contact_tyre_bound.h"

#include <cmath>

static double dot3(const double u[3], const double v[3]) {
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

static double larger(double a, double b) { return a > b ? a : b; }
static double smaller(double a, double b) { return a < b ? a : b; }

tyre_bound tyre_bound_make(vec3 c, vec3 a, float R, float r) {
    tyre_bound b{};
    double a2 = (double)a.x * a.x + (double)a.y * a.y + (double)a.z * a.z;
    b.usable = R > 0 && r > 0 && std::isfinite(R + r) && a2 > 0.25 && std::isfinite(a2) &&
               std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z);
    if (!b.usable) return b;
    double ia = 1 / std::sqrt(a2);
    b.c[0] = c.x, b.c[1] = c.y, b.c[2] = c.z;
    b.a[0] = a.x * ia, b.a[1] = a.y * ia, b.a[2] = a.z * ia;
    b.R = R;
    // The edge search works in single precision on world coordinates: a few roundings of the
    // largest coordinate, well covered by 32 units in the last place of it.
    double m = larger(larger(std::fabs(b.c[0]), std::fabs(b.c[1])), std::fabs(b.c[2])) + 2.0 * (R + r);
    b.slack = 0x1p-14 + m * 0x1p-18;
    return b;
}

// An edge from a corner w (relative to the centre): axial(t) = a0 + ea t and the radial
// distance squared r0 + t (qb2 + t qa), for 0 <= t <= 1.
struct edge_legs {
    double a0, ea, r0, qb2, qa;
    double radial2(double t) const { return r0 + t * (qb2 + t * qa); }
};

// The bound squared over the span t0..t1.
static double span_floor2(const edge_legs &e, double R, double t0, double t1) {
    double x0 = e.a0 + e.ea * t0, x1 = e.a0 + e.ea * t1;
    double along = x0 * x1 <= 0 ? 0 : smaller(std::fabs(x0), std::fabs(x1));
    double r0 = e.radial2(t0), r1 = e.radial2(t1);
    double lo = smaller(r0, r1), hi = larger(r0, r1);
    if (e.qa > 0) {
        double t = -e.qb2 / (2 * e.qa);
        if (t > t0 && t < t1) lo = smaller(lo, e.radial2(t));
    }
    double R2 = R * R, gap = 0;   // the ring's radius inside lo..hi: no radial gap
    if (lo > R2) gap = std::sqrt(lo) - R;
    else if (hi < R2) gap = R - std::sqrt(larger(hi, 0));
    return along * along + gap * gap;
}

// True when a point of the span may lie within sqrt(limit2) of the ring (and for NaN).
static bool span_within(const edge_legs &e, double R, double t0, double t1, double limit2, int splits) {
    double floor2 = span_floor2(e, R, t0, t1);
    if (floor2 > limit2) return false;
    if (splits == 0 || !(floor2 <= limit2)) return true;
    double tm = (t0 + t1) / 2;
    return span_within(e, R, t0, tm, limit2, splits - 1) || span_within(e, R, tm, t1, limit2, splits - 1);
}

bool tyre_edges_within(const tyre_bound &b, const vec3 tri[3], double limit) {
    if (!b.usable || !(limit >= 0)) return true;
    double w[3][3], axial[3], radial2[3];
    double limit2 = limit * limit;
    for (int k = 0; k < 3; k++) {
        w[k][0] = tri[k].x - b.c[0], w[k][1] = tri[k].y - b.c[1], w[k][2] = tri[k].z - b.c[2];
        axial[k] = dot3(w[k], b.a);
    }
    double sum = 0;
    for (const double *v : w) sum += std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]);
    if (!std::isfinite(sum)) return true;
    // The whole triangle on one side of the ring's plane, farther than limit along the axle.
    if ((axial[0] > limit && axial[1] > limit && axial[2] > limit) ||
        (axial[0] < -limit && axial[1] < -limit && axial[2] < -limit))
        return false;
    for (int k = 0; k < 3; k++) {
        radial2[k] = dot3(w[k], w[k]) - axial[k] * axial[k];
        // The corner against the disc: its axial leg and its radial distance beyond R.
        double out = larger(std::sqrt(larger(radial2[k], 0)) - b.R, 0);
        if (!(axial[k] * axial[k] + out * out > limit2)) return true;
    }
    for (int k = 0; k < 3; k++) {
        int j = (k + 1) % 3;
        double e[3] = {w[j][0] - w[k][0], w[j][1] - w[k][1], w[j][2] - w[k][2]};
        double ea = dot3(e, b.a);
        edge_legs legs{axial[k], ea, radial2[k], 2 * (dot3(w[k], e) - axial[k] * ea), dot3(e, e) - ea * ea};
        if (span_within(legs, b.R, 0, 1, limit2, TYRE_BOUND_SPLITS)) return true;
    }
    return false;
}
