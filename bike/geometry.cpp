// Collision geometry: spheres and tyres against one triangle, single precision, no allocation.
#include "bike/geometry.h"

#include <cmath>

// Depth given to a tyre that touches a triangle only along an edge, and the distance under
// which the boundary search counts an edge as touching the ring.
static const float TOUCH = 0x1p-20f;
// Newton steps accepted per start of the edge search. Near a grazing touch the two stationary
// points of the distance lie close together and Newton only halves the error each step, so
// four steps can leave the distance 0.03 ft off; sixteen bring it within 1e-5.
static const int NEWTON_STEPS = 16;

static float inverse_length2(vec3 v) {
    float l2 = vec3_length2(v);
    return l2 > 0 ? 1.0f / l2 : 0.0f;
}

static vec3 without_axis(vec3 v, vec3 axis, float inv_axis2) {
    return v - axis * (vec3_dot(v, axis) * inv_axis2);
}

// v scaled to unit length; fallback when v is zero.
static vec3 unit_or(vec3 v, vec3 fallback) {
    float l2 = vec3_length2(v);
    return l2 > 0 ? v * (1.0f / sqrtf(l2)) : fallback;
}

// The part of v across the axis. When that is (nearly) zero, the first of the trial vectors
// (radius on the axes picked by the bits of k = 0..7) whose part across the axis is not; when
// none is, the last trial, which may be zero (a ring of radius 0).
static vec3 ring_radial(vec3 v, vec3 axis, float radius) {
    float ia = inverse_length2(axis);
    v = without_axis(v, axis, ia);
    for (int k = 0; vec3_length2(v) < radius * 1e-6f && k < 8; k++) {
        vec3 trial = {k & 1 ? radius : 0.0f, k & 2 ? radius : 0.0f, k & 4 ? radius : 0.0f};
        v = without_axis(trial, axis, ia);
    }
    return v;
}

void ring_closest_point(vec3 *out, vec3 centre, vec3 axis, float radius, vec3 p) {
    vec3 v = ring_radial(p - centre, axis, radius);
    float l2 = vec3_length2(v);
    *out = l2 > 0 ? centre + v * (radius / sqrtf(l2)) : centre;
}

float plane_distance(vec3 o, vec3 n, vec3 p) {
    return fabsf(vec3_dot(p - o, n)) / sqrtf(vec3_length2(n));
}

int ray_plane_intersect(vec3 *out, vec3 origin, vec3 direction, vec3 plane_point,
                        vec3 plane_normal) {
    float h = vec3_dot(direction, plane_normal);
    if (h == 0) {
        *out = origin;
        return 0;
    }
    float t = vec3_dot(plane_point - origin, plane_normal) / h;
    *out = origin + direction * t;
    return 1;
}

void ring_point_offset(vec3 *point, vec3 direction, vec3 centre, vec3 axis, float radius,
                       float distance) {
    ring_closest_point(point, centre, axis, radius, *point);
    *point = *point - direction * distance;
}

// The triangle's normal n, its edges e_k and outward edge normals m_k = e_k x n.
struct triangle_frame {
    vec3 n;
    vec3 e[3];
    vec3 m[3];
};

static triangle_frame frame_of(const vec3 tri[3]) {
    triangle_frame f;
    f.n = vec3_cross(tri[1] - tri[0], tri[2] - tri[0]);
    for (int k = 0; k < 3; k++) {
        f.e[k] = tri[(k + 1) % 3] - tri[k];
        f.m[k] = vec3_cross(f.e[k], f.n);
    }
    return f;
}

// Inside the triangle's prism; points on an edge's plane count as inside.
static bool inside_prism(vec3 x, const vec3 tri[3], const triangle_frame &f) {
    for (int k = 0; k < 3; k++)
        if (vec3_dot(x - tri[k], f.m[k]) > 0) return false;
    return true;
}

// Inside the vertical prism over the triangle: the edge normals e_k x (0, 1, 0).
static bool inside_vertical_prism(vec3 x, const vec3 tri[3], const triangle_frame &f) {
    for (int k = 0; k < 3; k++) {
        vec3 h = {-f.e[k].z, 0.0f, f.e[k].x};
        if (vec3_dot(x - tri[k], h) > 0) return false;
    }
    return true;
}

// A sphere outside the triangle's prism: the first edge whose foot lies within it, else the
// nearest vertex. A centre exactly on the boundary takes the face normal.
static float sphere_boundary(vec3 *point, vec3 *normal, vec3 c, float rho, const vec3 tri[3],
                             const triangle_frame &f) {
    vec3 face = unit_or(f.n, vec3{0.0f, 1.0f, 0.0f});
    for (int j = 0; j < 3; j++) {
        vec3 w = c - tri[j];
        float along = vec3_dot(w, f.e[j]);
        float E = vec3_length2(f.e[j]);
        if (E > 0 && along >= 0 && along <= E) {
            vec3 d = w - f.e[j] * (along / E);
            *normal = unit_or(d, face);
            *point = c - *normal * rho;
            return rho - sqrtf(vec3_length2(d));
        }
    }
    int nearest = 0;
    float best = vec3_length2(c - tri[0]);
    for (int k = 1; k < 3; k++) {
        float d2 = vec3_length2(c - tri[k]);
        if (d2 < best) best = d2, nearest = k;
    }
    *normal = unit_or(c - tri[nearest], face);
    *point = c - *normal * rho;
    return rho - sqrtf(best);
}

float collide_sphere_triangle(vec3 *point, vec3 *normal, vec3 c, float rho, const vec3 tri[3]) {
    triangle_frame f = frame_of(tri);
    for (int k = 0; k < 3; k++)
        if (vec3_dot(c - tri[k], f.m[k]) > 0) return sphere_boundary(point, normal, c, rho, tri, f);
    float nl2 = vec3_length2(f.n);
    if (!(nl2 > 0)) return 0;  // a triangle without area
    vec3 nh = f.n * (1.0f / sqrtf(nl2));
    float s = vec3_dot(c - tri[0], nh);  // height of the centre above the plane
    // A centre sunk more than a radius counts only inside the vertical prism, so a steep face
    // never grabs a sphere passing beneath it.
    if (s < -rho && !inside_vertical_prism(c, tri, f)) return 0;
    *normal = nh;
    *point = c - nh * rho;
    return rho - s;
}

// ---- Tyres -----------------------------------------------------------------------------------

// The edge search of the boundary: Newton steps from a start point towards a root of the
// quartic Q(t) whose roots are the stationary distances from the edge point p(t) to the ring.
struct edge_quartic {
    float R2, E, ew, ea, W, wa, ia;

    float A(float t) const { return t * E - ew - (t * ea - wa) * ea * ia; }
    float B(float t) const {
        float u = t * ea - wa;
        return t * t * E - 2 * t * ew + W - u * u * ia;
    }
    float C(float t) const { return t * E - ew; }
    float Q(float t) const {
        float a = A(t), c = C(t);
        return R2 * a * a - B(t) * c * c;
    }
    float dQ(float t) const {
        float a = A(t), c = C(t);
        float da = E - ea * ea * ia;
        float db = 2 * t * E - 2 * ew - 2 * ea * (t * ea - wa) * ia;
        return 2 * R2 * a * da - db * c * c - 2 * B(t) * c * E;
    }
    // A step that would raise |Q| ends the search, as does a step that no longer moves t.
    float newton(float t) const {
        float q = Q(t);
        for (int accepted = 0; accepted < NEWTON_STEPS; accepted++) {
            float d = dQ(t);
            if (!(fabsf(d) >= 0x1p-30f)) break;
            float t2 = t - q / d;
            float q2 = Q(t2);
            if (!(fabsf(q2) <= fabsf(q)) || t2 == t) break;
            t = t2;
            q = q2;
        }
        return t;
    }
};

struct boundary_candidate {
    float distance;
    int index;       // edge 0..2 or vertex 3..5
    vec3 p;          // point on the edge (or the vertex)
    vec3 q;          // nearest ring point (edges)
};

static boundary_candidate edge_candidate(vec3 c, vec3 a, float R, vec3 T, vec3 e, int k) {
    edge_quartic eq;
    vec3 w0 = c - T;
    eq.R2 = R * R;
    eq.E = vec3_length2(e);
    eq.ew = vec3_dot(e, w0);
    eq.ea = vec3_dot(e, a);
    eq.W = vec3_length2(w0);
    eq.wa = vec3_dot(w0, a);
    eq.ia = inverse_length2(a);
    float starts[2] = {0.0f, 0.0f};
    if (eq.E > 0) {
        float t0 = eq.ew / eq.E;
        vec3 s = -vec3_cross(a, vec3_cross(e, a));
        float s2 = vec3_length2(s);
        float delta = s2 >= R * 1e-6f ? fabsf(vec3_dot(s * (R / sqrtf(s2)), e)) / eq.E
                                      : 0.001f * R;
        starts[0] = eq.newton(t0 - delta);
        starts[1] = eq.newton(t0 + delta);
    }
    boundary_candidate best = {0.0f, k, {}, {}};
    for (int i = 0; i < 2; i++) {
        float t = fminf(fmaxf(starts[i], 0.0f), 1.0f);  // a NaN start clamps to 0
        vec3 p = T + e * t;
        vec3 q;
        ring_closest_point(&q, c, a, R, p);
        float dist = sqrtf(vec3_length2(q - p));
        if (i == 0 || dist < best.distance) best = {dist, k, p, q};
    }
    return best;
}

float torus_triangle_boundary(vec3 *point, vec3 *normal, vec3 c, vec3 a, float R, float r,
                              const vec3 tri[3], vec3 n) {
    boundary_candidate best = edge_candidate(c, a, R, tri[0], tri[1] - tri[0], 0);
    for (int k = 1; k < 3; k++) {
        boundary_candidate cand = edge_candidate(c, a, R, tri[k], tri[(k + 1) % 3] - tri[k], k);
        if (cand.distance < best.distance) best = cand;
    }
    float ia = inverse_length2(a);
    for (int k = 0; k < 3; k++) {
        // Distance to the wheel's disc: the vertex's part across the axle, at most R long.
        vec3 w = without_axis(tri[k] - c, a, ia);
        float w2 = vec3_length2(w);
        if (w2 > R * R) w = w * (R / sqrtf(w2));
        float dist = sqrtf(vec3_length2(c + w - tri[k]));
        if (dist < best.distance) best = {dist, 3 + k, tri[k], {}};
    }
    if (best.index >= 3) {
        vec3 T = tri[best.index - 3];
        *point = T;
        *normal = vec3_dot(T - c, a) > 0 ? -a : a;
    } else if (best.distance > TOUCH) {
        *point = best.p;
        *normal = best.q - best.p;
    } else {
        vec3 e = tri[(best.index + 1) % 3] - tri[best.index];
        vec3 g = vec3_cross(best.q - c, a);
        if (vec3_dot(g, n) < 0) g = -g;
        vec3 m = vec3_cross(e, g);
        if (vec3_length2(m) < TOUCH) m = n;
        m = unit_or(m, vec3{0.0f, 1.0f, 0.0f});
        vec3 q;
        ring_closest_point(&q, c, a, R, best.p);
        *normal = m;
        *point = q - m * r;
    }
    return best.distance;
}

// The tyre against the triangle. Where the face test alone finds nothing, the full test asks
// the boundary (with_boundary), the face test returns 0.
static float torus_triangle(vec3 *point, vec3 *normal, vec3 c, vec3 a, float R, float r,
                            const vec3 tri[3], bool with_boundary) {
    triangle_frame f = frame_of(tri);
    float nl2 = vec3_length2(f.n);
    if (!(nl2 > 0)) return 0;  // a triangle without area
    vec3 nh = f.n * (1.0f / sqrtf(nl2));

    // Direction to the plane within the wheel's plane. An axle along the normal leaves it open:
    // the ring's first trial direction then stands in.
    vec3 d = vec3_cross(vec3_cross(f.n, a), a);
    if (vec3_dot(d, f.n) > 0) d = -d;
    d = vec3_length2(d) > 0 ? unit_or(d, d) : unit_or(ring_radial(vec3{}, a, R), vec3{});
    vec3 top = c + d * R;      // P+, the ring point deepest towards the plane
    vec3 bottom = c - d * R;   // P-, the farthest from it
    float h_top = vec3_dot(top - tri[0], f.n);
    float h_bottom = vec3_dot(bottom - tri[0], f.n);

    if (h_top <= 0 && h_bottom > 0) {
        // The ring crosses the plane.
        vec3 x;
        ray_plane_intersect(&x, c, d, tri[0], f.n);
        if (inside_prism(x, tri, f)) {
            vec3 q;
            ring_closest_point(&q, c, a, R, top);
            *normal = nh;
            *point = q - nh * r;
            return plane_distance(tri[0], f.n, top) + r;
        }
        bool below[3];
        for (int k = 0; k < 3; k++) below[k] = vec3_dot(tri[k] - c, a) <= 0;
        for (int k = 0; k < 3; k++) {
            if (vec3_dot(x - tri[k], f.m[k]) <= 0 || below[k] == below[(k + 1) % 3]) continue;
            // The edge crosses the wheel's plane inside the ring: it touches the tyre.
            vec3 y;
            ray_plane_intersect(&y, tri[k], f.e[k], c, a);
            vec3 q = y - c;
            if (!(vec3_length2(q) < R * R)) continue;
            vec3 g = vec3_cross(q, a);
            if (vec3_dot(g, f.n) < 0) g = -g;
            vec3 m = unit_or(vec3_cross(f.e[k], g), nh);
            vec3 ring;
            ring_closest_point(&ring, c, a, R, y);
            *normal = m;
            *point = ring - m * r;
            return r - TOUCH;
        }
    } else if (h_top <= 0) {
        // The whole ring under the plane.
        if (inside_vertical_prism(c, tri, f)) {
            *point = top;
            *normal = vec3{0.0f, 1.0f, 0.0f};
            return 2 * R;
        }
    } else if (inside_prism(top, tri, f)) {
        // The ring above the plane, its nearest point over the face.
        vec3 foot = top - f.n * (h_top / nl2);
        vec3 q;
        ring_closest_point(&q, c, a, R, foot);
        *normal = nh;
        *point = q - nh * r;
        return r - sqrtf(vec3_length2(foot - top));
    }
    if (!with_boundary) return 0;
    float dist = torus_triangle_boundary(point, normal, c, a, R, r, tri, f.n);
    *normal = unit_or(*normal, nh);
    return r - dist;
}

float collide_torus_triangle_face(vec3 *point, vec3 *normal, vec3 c, vec3 a, float R, float r,
                                  const vec3 tri[3]) {
    return torus_triangle(point, normal, c, a, R, r, tri, false);
}

float collide_torus_triangle(vec3 *point, vec3 *normal, vec3 c, vec3 a, float R, float r,
                             const vec3 tri[3]) {
    return torus_triangle(point, normal, c, a, R, r, tri, true);
}
