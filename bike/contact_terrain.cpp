// Contacts with the terrain's height grid: the cell searches for tyres and spheres, and the
// joints of spheres and shapes on the ground.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "bike/contact.h"
#include "terrain/terrain.h"

// The cells a search visits: x0 <= x < x1, z0 <= z < z1.
struct contact_cells {
    int x0, x1, z0, z1;
};

static bool finite3(vec3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

static bool terrain_usable(const terrain_field *f) {
    return f && f->heights && f->n > 0 && f->spacing > 0 && std::isfinite(f->spacing);
}

// A cell bound, worked out in double and clamped so that it always fits an int.
static int cell_bound(double v) {
    return (int)std::clamp(v, -CONTACT_CELL_LIMIT, CONTACT_CELL_LIMIT);
}

// A span of cells cut to CONTACT_SEARCH_SIDE_MAX about its middle.
static void cap_span(int *lo, int *hi) {
    if ((int64_t)*hi - *lo <= CONTACT_SEARCH_SIDE_MAX) return;
    int64_t first = *lo + ((int64_t)*hi - *lo) / 2 - CONTACT_SEARCH_SIDE_MAX / 2;
    *lo = (int)first;
    *hi = (int)(first + CONTACT_SEARCH_SIDE_MAX);
}

// The cells within reach of the centre, at most CONTACT_SEARCH_SIDE_MAX a side around it:
// false when there are none, or when the centre or the reach is not finite or the reach is
// negative.
static bool cell_range(const terrain_field *f, vec3 c, float reach, contact_cells *r) {
    if (!finite3(c) || !(reach >= 0) || !std::isfinite(reach)) return false;
    double s = f->spacing;
    r->x0 = cell_bound(std::floor(((double)c.x - reach) / s));
    r->x1 = cell_bound(std::ceil(((double)c.x + reach) / s));
    r->z0 = cell_bound(std::floor(((double)c.z - reach) / s));
    r->z1 = cell_bound(std::ceil(((double)c.z + reach) / s));
    cap_span(&r->x0, &r->x1);
    cap_span(&r->z0, &r->z1);
    return r->x1 > r->x0 && r->z1 > r->z0;
}

// Grid corner (i, j): its height is the sample's with both indices clamped to the grid.
static vec3 grid_corner(const terrain_field *f, int i, int j) {
    int n = f->n;
    int a = std::clamp(i, 0, n - 1), b = std::clamp(j, 0, n - 1);
    return {(float)i * f->spacing, f->heights[a + (size_t)n * b], (float)j * f->spacing};
}

// The two triangles of cell (x, z), whose diagonal alternates with the cell's parity; both
// have upward normals.
static void cell_triangles(const terrain_field *f, int x, int z, vec3 tri[2][3]) {
    bool same = ((x ^ z) & 1) == 0;
    vec3 c00 = grid_corner(f, x, z), c01 = grid_corner(f, x, z + 1);
    vec3 c10 = grid_corner(f, x + 1, z), c11 = grid_corner(f, x + 1, z + 1);
    tri[0][0] = c00;
    tri[0][1] = c01;
    tri[0][2] = same ? c11 : c10;
    tri[1][0] = c11;
    tri[1][1] = c10;
    tri[1][2] = same ? c00 : c01;
}

// The i-th of count rows (or columns) from first, from the middle outward: the middle one,
// the one after it, the one before it, and so on.
static int middle_out(int first, int64_t count, int64_t i) {
    int64_t mid = first + (count - 1) / 2;
    return (int)(i % 2 == 0 ? mid - i / 2 : mid + i / 2 + 1);
}

void contact_clean_normal(vec3 *normal) {
    vec3 n = *normal;
    if (n.y < 0) {
        if (n.x * n.x + n.z * n.z >= 1.0f / 1024) n.y = 0;
        else n = {0, 1, 0};
    }
    float l2 = vec3_length2(n);
    *normal = l2 > 0 && std::isfinite(l2) ? n * (1.0f / sqrtf(l2)) : vec3{0, 1, 0};
}

// Keeps a triangle result when it is deeper than the best so far and wholly finite.
static bool better(float depth, vec3 point, vec3 normal, float best) {
    return depth > best && std::isfinite(depth) && finite3(point) && finite3(normal);
}

// The deepest result of test over the cells, rows then columns ascending. A cell whose corners
// all lie below lowest (the lowest point the searched shape reaches) is skipped: the shape lies
// wholly above both its triangles, whose results could only be below zero.
template <class Test>
static int search_deepest(const terrain_field *f, const contact_cells &r, float lowest, Test test,
                          vec3 *point, vec3 *normal, float *depth) {
    float best = 0;
    vec3 best_point{}, best_normal{};
    vec3 tri[2][3];
    for (int z = r.z0; z < r.z1; z++)
        for (int x = r.x0; x < r.x1; x++) {
            cell_triangles(f, x, z, tri);
            float top = std::fmax(std::fmax(tri[0][0].y, tri[0][1].y), std::fmax(tri[1][0].y, tri[1][1].y));
            if (top < lowest) continue;
            for (const vec3 *t : tri) {
                vec3 p{}, n{};
                float d = test(&p, &n, t);
                if (!better(d, p, n, best)) continue;
                best = d;
                best_point = p;
                best_normal = n;
            }
        }
    if (!(best > 0)) return 0;
    contact_clean_normal(&best_normal);
    *point = best_point;
    *normal = best_normal;
    *depth = best;
    return 1;
}

// A tyre's search: its centre, world axle, radii and cells.
struct tyre_search {
    vec3 c, a;
    float R, r;
    contact_cells cells;
};

// false when there is nothing to search.
static bool tyre_search_start(const terrain_field *f, const wheel_contact &wheel, tyre_search *s) {
    s->R = wheel.ring_radius;
    s->r = wheel.section_radius;
    return terrain_usable(f) && wheel.body && wheel_world_frame(wheel, &s->c, &s->a) &&
           cell_range(f, s->c, s->R + s->r, &s->cells);
}

int collide_wheel_terrain(const terrain_field *f, const wheel_contact &wheel, vec3 *point,
                          vec3 *normal, float *depth) {
    tyre_search s;
    if (!tyre_search_start(f, wheel, &s)) return 0;
    const contact_cells &r = s.cells;
    int64_t rows = (int64_t)r.z1 - r.z0, columns = (int64_t)r.x1 - r.x0;
    vec3 tri[2][3];
    for (int64_t i = 0; i < rows; i++) {
        int z = middle_out(r.z0, rows, i);
        for (int64_t j = 0; j < columns; j++) {
            cell_triangles(f, middle_out(r.x0, columns, j), z, tri);
            for (const vec3 *t : tri) {
                vec3 p{}, n{};
                float d = collide_torus_triangle_face(&p, &n, s.c, s.a, s.R, s.r, t);
                if (!better(d, p, n, 0)) continue;
                contact_clean_normal(&n);
                *point = p;
                *normal = n;
                *depth = d;
                return 1;
            }
        }
    }
    return 0;
}

// True when the tyre cannot touch the triangle: its centre lies on the triangle's upper side and
// farther than the tyre reaches (R + r) from the triangle's bounding box. Such a triangle costs the
// full test its edge search and can only give a depth below zero.
static bool tyre_out_of_reach(const tyre_search &s, const vec3 tri[3]) {
    float reach = s.R + s.r;
    float d2 = 0;
    const float c[3] = {s.c.x, s.c.y, s.c.z};
    const float v[3][3] = {{tri[0].x, tri[1].x, tri[2].x}, {tri[0].y, tri[1].y, tri[2].y},
                           {tri[0].z, tri[1].z, tri[2].z}};
    for (int i = 0; i < 3; i++) {
        float lo = std::fmin(std::fmin(v[i][0], v[i][1]), v[i][2]);
        float hi = std::fmax(std::fmax(v[i][0], v[i][1]), v[i][2]);
        float d = c[i] < lo ? lo - c[i] : c[i] > hi ? c[i] - hi : 0;
        d2 += d * d;
    }
    if (!(d2 > reach * reach)) return false;
    vec3 n = vec3_cross(tri[1] - tri[0], tri[2] - tri[0]);
    return vec3_dot(s.c - tri[0], n) > 0;
}

int collide_wheel_terrain_joint(const terrain_field *f, const wheel_contact &wheel, vec3 *point,
                                vec3 *normal, float *depth) {
    tyre_search s;
    if (!tyre_search_start(f, wheel, &s)) return 0;
    return search_deepest(
        f, s.cells, s.c.y - (s.R + s.r),
        [&](vec3 *p, vec3 *n, const vec3 *t) {
            if (tyre_out_of_reach(s, t)) return 0.0f;
            return collide_torus_triangle(p, n, s.c, s.a, s.R, s.r, t);
        },
        point, normal, depth);
}

int collide_sphere_terrain(const terrain_field *f, vec3 centre, float radius, vec3 *point,
                           vec3 *normal, float *depth) {
    contact_cells r;
    if (!terrain_usable(f) || !cell_range(f, centre, radius, &r)) return 0;
    return search_deepest(
        f, r, centre.y - radius,
        [&](vec3 *p, vec3 *n, const vec3 *t) { return collide_sphere_triangle(p, n, centre, radius, t); },
        point, normal, depth);
}

// A terrain sphere's joint on the body, pushed out of the ground; with a direction, mu along
// normal x direction and mu2 across it.
static void sphere_ground_joint(dBodyID body, vec3 point, vec3 normal, float depth, float mu,
                                const vec3 *direction, float mu2) {
    dContact c{};
    if (!contact_surface(&c, TERRAIN_SPHERE_SPRING, TERRAIN_SPHERE_DAMPER, mu)) return;
    contact_set_geometry(&c, point, normal, depth);
    if (direction) {
        vec3 d = vec3_cross(normal, *direction);
        float l2 = vec3_length2(d);
        if (l2 > 0 && std::isfinite(l2)) {
            d = d * (1.0f / sqrtf(l2));
            c.surface.mode |= dContactFDir1 | dContactMu2;
            c.surface.mu2 = mu2;
            c.fdir1[0] = d.x;
            c.fdir1[1] = d.y;
            c.fdir1[2] = d.z;
        }
    }
    contact_joint_create(c, body, nullptr);
}

// A sphere on the ground: 1 when it touches, with its joint when a body is given.
static int sphere_on_ground(const terrain_field *f, vec3 centre, float radius, float mu,
                            dBodyID body, const vec3 *direction, float mu2) {
    vec3 point, normal;
    float depth;
    if (!collide_sphere_terrain(f, centre, radius, &point, &normal, &depth)) return 0;
    if (body) sphere_ground_joint(body, point, normal, depth, mu, direction, mu2);
    return 1;
}

int contact_sphere_terrain(const terrain_field *f, vec3 centre, float radius, float mu,
                           dBodyID body) {
    return sphere_on_ground(f, centre, radius, mu, body, nullptr, 0);
}

int contact_sphere_terrain_body(const terrain_field *f, vec3 centre, float radius, float mu,
                                float mu2, vec3 direction, dBodyID body) {
    return sphere_on_ground(f, centre, radius, mu, body, &direction, mu2);
}

int contact_shape_terrain(collision_shape *shape, dBodyID body, const shape_transform &t,
                          const terrain_field *f) {
    if (!finite3(t.position)) return 0;
    shape_place(shape, t);
    int touched = 0;
    for (int i = 0; i < shape->count; i++) {
        const collision_sphere &s = shape->rows[i];
        touched |= sphere_on_ground(f, s.centre, s.radius, s.mu, body, nullptr, 0);
    }
    return touched;
}
