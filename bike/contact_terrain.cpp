// Contacts with the terrain's height grid: the cell searches for tyres and spheres, and the
// joints of spheres and shapes on the ground.
#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdint>

#include "bike/contact.h"
#include "bike/contact_tyre_bound.h"
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

// cell_bound(floor(v)) and cell_bound(ceil(v)) without the library calls: inside the bounds
// the conversion truncates towards zero and one step corrects it; outside, the bound holds.
static int cell_floor(double v) {
    if (!(std::fabs(v) < CONTACT_CELL_LIMIT)) return cell_bound(v);
    int i = (int)v;
    return i > v ? i - 1 : i;
}

static int cell_ceil(double v) {
    if (!(std::fabs(v) < CONTACT_CELL_LIMIT)) return cell_bound(v);
    int i = (int)v;
    return i < v ? i + 1 : i;
}

// Every cell within reach of the centre (finite, reach >= 0).
static void cells_in_reach(const terrain_field *f, vec3 c, float reach, contact_cells *r) {
    double s = f->spacing;
    r->x0 = cell_floor(((double)c.x - reach) / s);
    r->x1 = cell_ceil(((double)c.x + reach) / s);
    r->z0 = cell_floor(((double)c.z - reach) / s);
    r->z1 = cell_ceil(((double)c.z + reach) / s);
}

// The cells within reach of the centre, at most CONTACT_SEARCH_SIDE_MAX a side around it:
// false when there are none, or when the centre or the reach is not finite or the reach is
// negative.
static bool cell_range(const terrain_field *f, vec3 c, float reach, contact_cells *r) {
    if (!finite3(c) || !(reach >= 0) || !std::isfinite(reach)) return false;
    cells_in_reach(f, c, reach, r);
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

// The larger of a and b, a NaN giving way to the other (as fmax, without the library call).
static float larger(float a, float b) {
    return a < b || a != a ? b : a;
}

// The smaller of a and b, a NaN giving way to the other (as fmin).
static float smaller(float a, float b) {
    return b < a || a != a ? b : a;
}

// The four corners of cell (x, z).
struct cell_corners {
    vec3 c00, c01, c10, c11;
};

static cell_corners corners_of(const terrain_field *f, int x, int z) {
    return {grid_corner(f, x, z), grid_corner(f, x, z + 1), grid_corner(f, x + 1, z), grid_corner(f, x + 1, z + 1)};
}

// The two triangles of cell (x, z), whose diagonal alternates with the cell's parity; both
// have upward normals.
static void cell_triangles(const cell_corners &k, int x, int z, vec3 tri[2][3]) {
    bool same = ((x ^ z) & 1) == 0;
    tri[0][0] = k.c00;
    tri[0][1] = k.c01;
    tri[0][2] = same ? k.c11 : k.c10;
    tri[1][0] = k.c11;
    tri[1][1] = k.c10;
    tri[1][2] = same ? k.c00 : k.c01;
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

// Calls visit(tri) for the two triangles of every cell in r, rows then columns ascending, except
// cells whose corners all lie below lowest (the lowest point the searched shape reaches): the
// shape lies wholly above both their triangles, whose results could only be below zero.
template <class Visit>
static void for_each_triangle(const terrain_field *f, const contact_cells &r, float lowest, Visit visit) {
    vec3 tri[2][3];
    for (int z = r.z0; z < r.z1; z++)
        for (int x = r.x0; x < r.x1; x++) {
            cell_corners k = corners_of(f, x, z);
            if (larger(larger(k.c00.y, k.c01.y), larger(k.c11.y, k.c10.y)) < lowest) continue;
            cell_triangles(k, x, z, tri);
            for (const vec3 *t : tri) visit(t);
        }
}

// The deepest of the results offered, the first of equal depths kept.
struct deepest_result {
    float depth = 0;
    vec3 point{}, normal{};

    void offer(float d, vec3 p, vec3 n) {
        if (!better(d, p, n, depth)) return;
        depth = d;
        point = p;
        normal = n;
    }
    // 1 and the outputs (the normal cleaned) when the deepest lies above 0, else 0.
    int answer(vec3 *p, vec3 *n, float *d) {
        if (!(depth > 0)) return 0;
        contact_clean_normal(&normal);
        *p = point;
        *n = normal;
        *d = depth;
        return 1;
    }
};

// The deepest result of test(point, normal, triangle, best so far) over the cells, in the order
// of for_each_triangle.
template <class Test>
static int search_deepest(const terrain_field *f, const contact_cells &r, float lowest, Test test,
                          vec3 *point, vec3 *normal, float *depth) {
    deepest_result found;
    for_each_triangle(f, r, lowest, [&](const vec3 *t) {
        vec3 p{}, n{};
        float d = test(&p, &n, t, found.depth);
        found.offer(d, p, n);
    });
    return found.answer(point, normal, depth);
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
            int x = middle_out(r.x0, columns, j);
            cell_triangles(corners_of(f, x, z), x, z, tri);
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
        float lo = smaller(smaller(v[i][0], v[i][1]), v[i][2]);
        float hi = larger(larger(v[i][0], v[i][1]), v[i][2]);
        float d = c[i] < lo ? lo - c[i] : c[i] > hi ? c[i] - hi : 0;
        d2 += d * d;
    }
    if (!(d2 > reach * reach)) return false;
    vec3 n = vec3_cross(tri[1] - tri[0], tri[2] - tri[0]);
    return vec3_dot(s.c - tri[0], n) > 0;
}

// A triangle's face test for the tyre: its result (depth 0 where only the edges could touch),
// or out_of_reach when the tyre cannot touch the triangle at all.
struct tyre_face {
    float depth;
    vec3 point, normal;
    bool out_of_reach;
};

static tyre_face tyre_face_test(const tyre_search &s, const vec3 tri[3]) {
    tyre_face face{0, {}, {}, tyre_out_of_reach(s, tri)};
    if (!face.out_of_reach)
        face.depth = collide_torus_triangle_face(&face.point, &face.normal, s.c, s.a, s.R, s.r, tri);
    return face;
}

// Triangles and face results a tyre search keeps between its two passes; beyond these it goes
// over the cells again.
constexpr int TYRE_TRIANGLES_KEPT = 32;

struct tyre_triangle {
    vec3 tri[3];
    tyre_face face;
};

bool contact_search_exhaustive = false;

int collide_wheel_terrain_joint(const terrain_field *f, const wheel_contact &wheel, vec3 *point,
                                vec3 *normal, float *depth) {
    tyre_search s;
    if (!tyre_search_start(f, wheel, &s)) return 0;
    float lowest = s.c.y - (s.R + s.r);
    if (contact_search_exhaustive)
        return search_deepest(
            f, s.cells, lowest,
            [&](vec3 *p, vec3 *n, const vec3 *t, float) { return collide_torus_triangle(p, n, s.c, s.a, s.R, s.r, t); },
            point, normal, depth);

    // First the faces: where a face test finds a contact, the whole test gives the same result.
    // Their deepest is a floor under the search's result.
    tyre_triangle kept[TYRE_TRIANGLES_KEPT];
    float face_floor = 0;
    int count = 0;
    for_each_triangle(f, s.cells, lowest, [&](const vec3 *t) {
        tyre_face face = tyre_face_test(s, t);
        if (better(face.depth, face.point, face.normal, face_floor)) face_floor = face.depth;
        if (count < TYRE_TRIANGLES_KEPT) kept[count] = {{t[0], t[1], t[2]}, face};
        count++;
    });
    // Then every triangle in order, the edge search only where the edges and corners come near
    // enough to reach below the floor or the deepest so far (the edge search gives r less the
    // distance it measures).
    tyre_bound bound = tyre_bound_make(s.c, s.a, s.R, s.r);
    deepest_result found;
    auto judge = [&](const vec3 *t, const tyre_face &face) {
        if (face.depth != 0) return found.offer(face.depth, face.point, face.normal);
        if (face.out_of_reach) return;
        double least = larger(face_floor, found.depth);
        if (!tyre_edges_within(bound, t, s.r - least + bound.slack)) return;
        vec3 p{}, n{};
        float d = collide_torus_triangle(&p, &n, s.c, s.a, s.R, s.r, t);
        found.offer(d, p, n);
    };
    if (count <= TYRE_TRIANGLES_KEPT) {
        for (int i = 0; i < count; i++) judge(kept[i].tri, kept[i].face);
    } else {
        int i = 0;
        for_each_triangle(f, s.cells, lowest, [&](const vec3 *t) {
            judge(t, i < TYRE_TRIANGLES_KEPT ? kept[i].face : tyre_face_test(s, t));
            i++;
        });
    }
    return found.answer(point, normal, depth);
}

int collide_sphere_terrain(const terrain_field *f, vec3 centre, float radius, vec3 *point,
                           vec3 *normal, float *depth) {
    contact_cells r;
    if (!terrain_usable(f) || !cell_range(f, centre, radius, &r)) return 0;
    return search_deepest(
        f, r, centre.y - radius,
        [&](vec3 *p, vec3 *n, const vec3 *t, float) { return collide_sphere_triangle(p, n, centre, radius, t); },
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

// Grid samples a shape's ground check reads at most.
constexpr int64_t SHAPE_CLEAR_SAMPLES = 256;

// True when every sample of the cells any sphere of the placed shape would search lies below
// the shape's lowest point: every sphere's search then skips all its cells. False when unsure.
static bool shape_clear_of_ground(const terrain_field *f, const collision_shape *shape) {
    if (!terrain_usable(f) || shape->count <= 0) return false;
    contact_cells all = {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN};
    float lowest = INFINITY;
    for (int i = 0; i < shape->count; i++) {
        const collision_sphere &s = shape->rows[i];
        if (!finite3(s.centre) || !(s.radius >= 0) || !std::isfinite(s.radius)) return false;
        contact_cells r;
        cells_in_reach(f, s.centre, s.radius, &r);
        all = {std::min(all.x0, r.x0), std::max(all.x1, r.x1), std::min(all.z0, r.z0), std::max(all.z1, r.z1)};
        lowest = std::min(lowest, s.centre.y - s.radius);
    }
    // A cell's corners run from its own index to the next; indices beyond the grid read its edge.
    int last = f->n - 1;
    int x0 = std::clamp(all.x0, 0, last), x1 = std::clamp(all.x1, 0, last);
    int z0 = std::clamp(all.z0, 0, last), z1 = std::clamp(all.z1, 0, last);
    if ((int64_t)(x1 - x0 + 1) * (z1 - z0 + 1) > SHAPE_CLEAR_SAMPLES) return false;
    for (int z = z0; z <= z1; z++)
        for (int x = x0; x <= x1; x++)
            if (!(f->heights[x + (size_t)f->n * z] < lowest)) return false;
    return true;
}

int contact_shape_terrain(collision_shape *shape, dBodyID body, const shape_transform &t,
                          const terrain_field *f) {
    if (!finite3(t.position)) return 0;
    shape_place(shape, t);
    if (shape_clear_of_ground(f, shape)) return 0;
    int touched = 0;
    for (int i = 0; i < shape->count; i++) {
        const collision_sphere &s = shape->rows[i];
        touched |= sphere_on_ground(f, s.centre, s.radius, s.mu, body, nullptr, 0);
    }
    return touched;
}
