// The modelling kit's solids: each adds its vertices and triangles to the builder's mesh.
#include "tools/zrdatagen/solids.h"

#include <cmath>

double solid_length(v3 a) {
    return std::sqrt(dot(a, a));
}

v3 solid_unit(v3 a) {
    double l = solid_length(a);
    return l > 0 ? a * (1 / l) : a;
}

// Taylor series on [-pi/2, pi/2] after an exact reduction: only +, -, x, / and floor, so the
// digits never depend on the maths library.
double solid_sin(double x) {
    const double two_pi = 2 * SOLID_PI;
    x -= std::floor(x / two_pi + 0.5) * two_pi;
    if (x > SOLID_PI / 2) x = SOLID_PI - x;
    if (x < -SOLID_PI / 2) x = -SOLID_PI - x;
    double x2 = x * x, term = x, sum = x;
    for (int n = 1; n < 10; n++) {
        term = -term * x2 / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double solid_cos(double x) {
    return solid_sin(x + SOLID_PI / 2);
}

solid_rect solid_pixels(int x0, int y0, int x1, int y1, int width, int height) {
    return {(double)x0 / width, 1.0 - (double)y1 / height, (double)x1 / width,
            1.0 - (double)y0 / height};
}

double solid_u(const solid_rect &r, double f) {
    return r.u0 + (r.u1 - r.u0) * f;
}

double solid_v(const solid_rect &r, double f) {
    return r.v0 + (r.v1 - r.v0) * f;
}

int solid_builder::vertex(v3 p, v3 n, double u, double v, const std::vector<double> *own) {
    datagen_jm_vertex vx;
    vx.position[0] = p.x;
    vx.position[1] = p.y;
    vx.position[2] = p.z;
    v3 d = solid_unit(n);
    vx.normal[0] = d.x;
    vx.normal[1] = d.y;
    vx.normal[2] = d.z;
    vx.uv[0] = u;
    vx.uv[1] = v;
    vx.weights = own && !own->empty() ? *own : weights;
    mesh->vertices.push_back(vx);
    return (int)mesh->vertices.size() - 1;
}

static v3 solid_position(const datagen_jm_vertex &v) {
    return {v.position[0], v.position[1], v.position[2]};
}

static v3 solid_normal(const datagen_jm_vertex &v) {
    return {v.normal[0], v.normal[1], v.normal[2]};
}

void solid_builder::triangle(int a, int b, int c) {
    const auto &va = mesh->vertices[a], &vb = mesh->vertices[b], &vc = mesh->vertices[c];
    v3 pa = solid_position(va);
    v3 face = cross(solid_position(vb) - pa, solid_position(vc) - pa);
    // Well above what six decimals can turn into a sliver.
    if (dot(face, face) < 1e-12) return;
    v3 n = solid_normal(va) + solid_normal(vb) + solid_normal(vc);
    if (dot(face, n) < 0)
        mesh->triangles.push_back({a, c, b});
    else
        mesh->triangles.push_back({a, b, c});
}

void solid_builder::quad(int a, int b, int c, int d) {
    triangle(a, b, c);
    triangle(a, c, d);
}

// A perpendicular of t as close to the wanted direction as can be.
static v3 solid_across(v3 t, v3 wanted) {
    v3 x = wanted - t * dot(wanted, t);
    if (solid_length(x) < 1e-6) x = cross(t, std::fabs(t.y) < 0.9 ? v3{0, 1, 0} : v3{1, 0, 0});
    return solid_unit(x);
}

// Point and normal of a cross-section at angle a: an ellipse, or a rounded rectangle (the
// superellipse of power 4, which needs only square roots).
static void solid_section(const solid_node &n, double a, double *px, double *py, double *nx,
                          double *ny) {
    double c = solid_cos(a), s = solid_sin(a);
    if (!n.boxy) {
        *px = n.rx * c;
        *py = n.ry * s;
        *nx = c / n.rx;
        *ny = s / n.ry;
        return;
    }
    double rc = std::sqrt(std::fabs(c)), rs = std::sqrt(std::fabs(s));
    *px = n.rx * (c < 0 ? -rc : rc);
    *py = n.ry * (s < 0 ? -rs : rs);
    *nx = c * rc / n.rx;
    *ny = s * rs / n.ry;
}

void solid_sweep(solid_builder *b, const std::vector<solid_node> &nodes, v3 across, int sides,
                 const solid_rect &rect, bool caps) {
    int n = (int)nodes.size();
    if (n < 2) return;
    std::vector<double> along(n, 0.0);
    for (int i = 1; i < n; i++) along[i] = along[i - 1] + solid_length(nodes[i].p - nodes[i - 1].p);
    double total = along[n - 1] > 0 ? along[n - 1] : 1;
    std::vector<v3> tangents(n), xs(n), ys(n);
    int first = (int)b->mesh->vertices.size();
    for (int i = 0; i < n; i++) {
        v3 t = solid_unit(nodes[i < n - 1 ? i + 1 : i].p - nodes[i > 0 ? i - 1 : i].p);
        v3 x = solid_across(t, across);
        tangents[i] = t;
        xs[i] = x;
        ys[i] = cross(t, x);
        for (int j = 0; j <= sides; j++) {
            double px, py, nx, ny;
            solid_section(nodes[i], 2 * SOLID_PI * j / sides, &px, &py, &nx, &ny);
            b->vertex(nodes[i].p + xs[i] * px + ys[i] * py, xs[i] * nx + ys[i] * ny,
                      solid_u(rect, (double)j / sides), solid_v(rect, along[i] / total),
                      &nodes[i].weights);
        }
    }
    for (int i = 0; i + 1 < n; i++)
        for (int j = 0; j < sides; j++) {
            int a = first + i * (sides + 1) + j, c = a + sides + 1;
            b->quad(a, a + 1, c + 1, c);
        }
    if (!caps) return;
    for (int end = 0; end < 2; end++) {
        int i = end ? n - 1 : 0;
        v3 normal = tangents[i] * (end ? 1.0 : -1.0);
        // A small ellipse of the picture near the tube's end of the rectangle.
        double cu = solid_u(rect, 0.5), cv = solid_v(rect, end ? 0.9 : 0.1);
        double hu = (rect.u1 - rect.u0) * 0.25, hv = (rect.v1 - rect.v0) * 0.08;
        int centre = b->vertex(nodes[i].p, normal, cu, cv, &nodes[i].weights);
        int ring = (int)b->mesh->vertices.size();
        for (int j = 0; j <= sides; j++) {
            double a = 2 * SOLID_PI * j / sides, px, py, nx, ny;
            solid_section(nodes[i], a, &px, &py, &nx, &ny);
            b->vertex(nodes[i].p + xs[i] * px + ys[i] * py, normal, cu + hu * solid_cos(a),
                      cv + hv * solid_sin(a), &nodes[i].weights);
        }
        for (int j = 0; j < sides; j++) b->triangle(centre, ring + j, ring + j + 1);
    }
}

void solid_rod(solid_builder *b, v3 a, v3 c, double radius, v3 across, int sides,
               const solid_rect &rect, bool caps) {
    solid_node n0, n1;
    n0.p = a;
    n1.p = c;
    n0.rx = n0.ry = n1.rx = n1.ry = radius;
    solid_sweep(b, {n0, n1}, across, sides, rect, caps);
}

void solid_revolve(solid_builder *b, v3 centre, const std::vector<solid_profile_point> &profile,
                   int segments, const solid_rect &rect, double planar_radius) {
    int n = (int)profile.size();
    int first = (int)b->mesh->vertices.size();
    for (int j = 0; j <= segments; j++) {
        double a = 2 * SOLID_PI * j / segments, c = solid_cos(a), s = solid_sin(a);
        for (int i = 0; i < n; i++) {
            const solid_profile_point &q = profile[i];
            v3 p = centre + v3{q.x, q.r * c, q.r * s};
            double u, v;
            if (planar_radius > 0) {
                u = solid_u(rect, 0.5 + 0.5 * q.r * s / planar_radius);
                v = solid_v(rect, 0.5 + 0.5 * q.r * c / planar_radius);
            } else {
                u = solid_u(rect, (double)j / segments);
                v = solid_v(rect, n > 1 ? (double)i / (n - 1) : 0.5);
            }
            b->vertex(p, {q.nx, q.nr * c, q.nr * s}, u, v);
        }
    }
    for (int j = 0; j < segments; j++)
        for (int i = 0; i + 1 < n; i++) {
            int a = first + j * n + i, c = a + n;
            b->quad(a, a + 1, c + 1, c);
        }
}

void solid_ellipsoid(solid_builder *b, v3 centre, v3 radii, v3 X, v3 Y, v3 Z, int slices,
                     int stacks, const solid_rect &rect) {
    int first = (int)b->mesh->vertices.size();
    for (int i = 0; i <= stacks; i++) {
        double lat = -SOLID_PI / 2 + SOLID_PI * i / stacks;
        double cl = solid_cos(lat), sl = solid_sin(lat);
        for (int j = 0; j <= slices; j++) {
            double lon = 2 * SOLID_PI * j / slices;
            double lx = cl * solid_cos(lon), ly = sl, lz = cl * solid_sin(lon);
            v3 p = centre + X * (radii.x * lx) + Y * (radii.y * ly) + Z * (radii.z * lz);
            v3 n = X * (lx / radii.x) + Y * (ly / radii.y) + Z * (lz / radii.z);
            b->vertex(p, n, solid_u(rect, (double)j / slices), solid_v(rect, (double)i / stacks));
        }
    }
    for (int i = 0; i < stacks; i++)
        for (int j = 0; j < slices; j++) {
            int a = first + i * (slices + 1) + j, c = a + slices + 1;
            b->quad(a, a + 1, c + 1, c);
        }
}

// One flat face: corners in order around, the rectangle's corners in the same order.
static void solid_face(solid_builder *b, const v3 corners[4], v3 normal, const solid_rect &r) {
    const double us[4] = {r.u0, r.u1, r.u1, r.u0}, vs[4] = {r.v0, r.v0, r.v1, r.v1};
    int first = (int)b->mesh->vertices.size();
    for (int k = 0; k < 4; k++) b->vertex(corners[k], normal, us[k], vs[k]);
    b->quad(first, first + 1, first + 2, first + 3);
}

void solid_box(solid_builder *b, v3 centre, v3 half, v3 X, v3 Y, v3 Z, const solid_rect &rect) {
    const v3 axes[3] = {X, Y, Z};
    const double h[3] = {half.x, half.y, half.z};
    for (int k = 0; k < 3; k++)
        for (int sign = -1; sign <= 1; sign += 2) {
            v3 n = axes[k] * sign, u = axes[(k + 1) % 3] * h[(k + 1) % 3],
               v = axes[(k + 2) % 3] * h[(k + 2) % 3];
            v3 c = centre + n * h[k];
            const v3 corners[4] = {c - u - v, c + u - v, c + u + v, c - u + v};
            solid_face(b, corners, n, rect);
        }
}

void solid_panel(solid_builder *b, const v3 corners[4], double thickness, const solid_rect &front,
                 const solid_rect &back) {
    v3 n = solid_unit(cross(corners[1] - corners[0], corners[3] - corners[0]));
    v3 half = n * (thickness / 2);
    v3 f[4], k[4];
    for (int i = 0; i < 4; i++) {
        f[i] = corners[i] + half;
        k[i] = corners[i] - half;
    }
    solid_face(b, f, n, front);
    const v3 rear[4] = {k[1], k[0], k[3], k[2]};
    solid_face(b, rear, n * -1.0, back);
    for (int i = 0; i < 4; i++) {
        int j = (i + 1) % 4;
        v3 out = solid_unit(cross(f[j] - f[i], n));
        const v3 edge[4] = {k[i], k[j], f[j], f[i]};
        solid_face(b, edge, out, back);
    }
}
