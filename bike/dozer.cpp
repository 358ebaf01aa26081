// The earth-moving vehicle: its bodies and wheel motors, the blade, and the ground work of a
// tick (wheel contacts, cutting, pushing, filling and flattening under the blade edge).
#include "bike/dozer.h"

#include <cmath>
#include <new>

#include "bike/contact.h"
#include "bike/physics.h"
#include "terrain/dig.h"
#include "terrain/tile.h"

static vec3 dozer_rest(int i) {
    if (i == DOZER_CHASSIS) return {0, DOZER_REST_HEIGHT, 0};
    int pair = i / 2;
    float x = (i % 2 == 0 ? -0.5f : 0.5f) * DOZER_TRACK_WIDTH;
    float z = ((float)pair / 3.0f - 0.5f) * DOZER_TRACK_LENGTH;
    return {x, DOZER_WHEEL_Y, z};
}

static void dozer_motors(dozer *d, float speed) {
    for (int i = 0; i < DOZER_WHEELS; i++) {
        float v = i % 2 == 0 ? speed - d->steer : speed + d->steer;
        dJointSetHingeParam(d->wheel_joints[i], dParamVel, v);
        dJointSetHingeParam(d->wheel_joints[i], dParamFMax, DOZER_MOTOR_FORCE);
    }
}

dozer *dozer_create() {
    if (!physics_world) return nullptr;
    dozer *d = new (std::nothrow) dozer{};
    if (!d) return nullptr;
    for (int i = 0; i <= DOZER_CHASSIS; i++) {
        d->bodies[i] = physics_body_create();
        vec3 p = dozer_rest(i);
        dBodySetPosition(d->bodies[i], p.x, p.y, p.z);
    }
    // The wheels keep the engine's default mass; the chassis is a box.
    dMass m;
    dMassSetBoxTotal(&m, DOZER_CHASSIS_MASS, 10, 5, 10);
    dBodySetMass(d->bodies[DOZER_CHASSIS], &m);
    for (int i = 0; i < DOZER_WHEELS; i++) {
        dJointID j = dJointCreateHinge(physics_world, 0);
        dJointAttach(j, d->bodies[i], d->bodies[DOZER_CHASSIS]);
        vec3 p = dozer_rest(i);
        dJointSetHingeAnchor(j, p.x, p.y, p.z);
        dJointSetHingeAxis(j, 1, 0, 0);
        d->wheel_joints[i] = j;
    }
    dozer_reset(d);
    return d;
}

void dozer_destroy(dozer *d) {
    if (!d) return;
    for (dJointID j : d->wheel_joints)
        if (j) dJointDestroy(j);
    for (dBodyID b : d->bodies)
        if (b) physics_body_destroy(b);
    delete d;
}

void dozer_reset(dozer *d) {
    dMatrix3 identity;
    dRSetIdentity(identity);
    for (int i = 0; i <= DOZER_CHASSIS; i++) {
        vec3 p = dozer_rest(i);
        dBodySetPosition(d->bodies[i], p.x, p.y, p.z);
        dBodySetRotation(d->bodies[i], identity);
        dBodySetLinearVel(d->bodies[i], 0, 0, 0);
        dBodySetAngularVel(d->bodies[i], 0, 0, 0);
    }
    d->blade = d->blade_target = 0.5f;
    d->steer = d->blade_rate = 0;
    d->mode = 0;
    dozer_motors(d, 0);
}

void dozer_translate(dozer *d, float dx, float dy, float dz) {
    for (dBodyID b : d->bodies) {
        const dReal *p = dBodyGetPosition(b);
        dBodySetPosition(b, p[0] + dx, p[1] + dy, p[2] + dz);
    }
}

void dozer_drive(dozer *d, float speed) {
    dozer_motors(d, speed);
}

void dozer_set_steer(dozer *d, float steer) {
    d->steer = steer;
}
void dozer_set_blade_target(dozer *d, float target) {
    d->blade_target = target;
}
void dozer_set_blade_rate(dozer *d, float rate) {
    d->blade_rate = rate;
}
void dozer_set_mode(dozer *d, int mode) {
    d->mode = mode;
}
dBodyID dozer_get_chassis(dozer *d) {
    return d->bodies[DOZER_CHASSIS];
}

void dozer_update_blade(dozer *d) {
    const float h = (float)PHYSICS_TICK;
    const dReal *v = dBodyGetLinearVel(d->bodies[DOZER_CHASSIS]);
    float speed = (float)sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!std::isfinite(speed)) speed = 0;
    float step = speed * h * d->blade_target / 7.0f;
    float c = d->blade + step / 2;
    bool short_of = (step > 0 && c < d->blade_target) || (step < 0 && c > d->blade_target);
    d->blade = short_of ? c : d->blade_target;
    if (d->blade_rate != 0) d->blade += h * d->blade_rate;
    if (!(d->blade > -1)) d->blade = -1;   // (NaN too)
    if (d->blade > 1) d->blade = 1;
}

// ---- Ground work ----------------------------------------------------------------------------

static bool dozer_body_finite(dBodyID b) {
    const dReal *p = dBodyGetPosition(b), *r = dBodyGetRotation(b);
    for (int i = 0; i < 3; i++)
        if (!std::isfinite(p[i])) return false;
    for (int i = 0; i < 12; i++)
        if (!std::isfinite(r[i])) return false;
    return true;
}

static float dozer_h(const terrain_field *f, int col, int row) {
    return f->heights[col + (size_t)f->n * row];
}

// The rectangle of samples changed this tick.
struct dozer_changes {
    int x0 = 1 << 30, z0 = 1 << 30, x1 = -1, z1 = -1;
    void add(int x, int z) {
        if (x < x0) x0 = x;
        if (z < z0) z0 = z;
        if (x > x1) x1 = x;
        if (z > z1) z1 = z;
    }
};

static void dozer_set(dozer *d, terrain_field *f, int col, int row, float height, dozer_changes *ch) {
    float before = dozer_h(f, col, row);
    terrain_set_height(f, col, row, height);
    if (dozer_h(f, col, row) == before) return;
    d->totals.samples++;
    ch->add(col, row);
}

static void dozer_paint(dozer *d, terrain_field *f, int col, int row) {
    int q = f->tile_map && f->k >= 0 ? 1 << f->k : 0;
    int tc = col / 2, tr = row / 2;
    if (tc >= q || tr >= q || f->tile_map[tc + (size_t)q * tr] == 0) return;
    if (tile_paint_cell(f, tc, tr, 0)) d->totals.tiles++;
}

// Mode 0: the cut goes onto the neighbour one spacing farther from the edge, then slides on to
// the lowest neighbour while the drop is steeper than DOZER_SLIDE_SLOPE.
static void dozer_push(dozer *d, terrain_field *f, int col, int row, float dir_x, float dir_z,
                       float amount, dozer_changes *ch) {
    float length = sqrtf(dir_x * dir_x + dir_z * dir_z);
    int c = col + (int)lroundf(dir_x / length), r = row + (int)lroundf(dir_z / length);
    int n = f->n;
    if (c < 0 || r < 0 || c >= n || r >= n) return;
    dozer_set(d, f, c, r, dozer_h(f, c, r) + amount, ch);
    for (int step = 0; step < n; step++) {
        int best_c = c, best_r = r;
        float best = 0;
        for (int dz = -1; dz <= 1; dz++)
            for (int dx = -1; dx <= 1; dx++) {
                int x = c + dx, z = r + dz;
                if ((dx == 0 && dz == 0) || x < 0 || z < 0 || x >= n || z >= n) continue;
                float distance = f->spacing * (dx != 0 && dz != 0 ? 1.41421356f : 1.0f);
                float slope = (dozer_h(f, c, r) - dozer_h(f, x, z)) / distance;
                if (slope > best) {
                    best = slope;
                    best_c = x;
                    best_r = z;
                }
            }
        if (!(best > DOZER_SLIDE_SLOPE)) break;
        dozer_set(d, f, c, r, dozer_h(f, c, r) - amount, ch);
        dozer_set(d, f, best_c, best_r, dozer_h(f, best_c, best_r) + amount, ch);
        c = best_c;
        r = best_r;
    }
}

int dozer_work_ground(dozer *d, terrain_field *f) {
    for (dBodyID b : d->bodies)
        if (!dozer_body_finite(b)) {
            d->totals.skipped++;
            return 0;
        }
    for (int i = 0; i < DOZER_WHEELS; i++) {
        const dReal *p = dBodyGetPosition(d->bodies[i]), *r = dBodyGetRotation(d->bodies[i]);
        vec3 centre = {(float)p[0], (float)p[1], (float)p[2]};
        vec3 down = {(float)-r[1], (float)-r[5], (float)-r[9]};
        contact_sphere_terrain_body(f, centre, DOZER_WHEEL_RADIUS, 1, 1, down, d->bodies[i]);
    }
    if (!f || !f->heights || !(f->spacing > 0)) return 1;
    dBodyID chassis = d->bodies[DOZER_CHASSIS];
    const dReal *rot = dBodyGetRotation(chassis);
    float fx = (float)-rot[2], fz = (float)-rot[10];
    float flen = sqrtf(fx * fx + fz * fz);
    if (!(flen >= DOZER_FORWARD_MIN)) {   // on its nose or its back: no forward on the ground
        d->totals.skipped++;
        return 0;
    }
    fx /= flen;
    fz /= flen;
    float elen = sqrtf(fx * fx + d->blade * d->blade + fz * fz);
    vec3 e = {fx / elen, d->blade / elen, fz / elen};
    dVector3 pivot;
    dBodyGetRelPointPos(chassis, 0, -DOZER_BLADE_PIVOT, 0, pivot);
    vec3 centre = {(float)pivot[0] + DOZER_BLADE_DISTANCE * e.x, (float)pivot[1] + DOZER_BLADE_DISTANCE * e.y,
                   (float)pivot[2] + DOZER_BLADE_DISTANCE * e.z};
    vec3 side = {DOZER_BLADE_HALF_WIDTH * e.z, 0, -DOZER_BLADE_HALF_WIDTH * e.x};
    vec3 a = centre - side, b = centre + side;

    float s = f->spacing, reach = 2 * s;
    int last = f->n - 1;
    auto cell = [&](float v, bool up) {
        double c = (up ? ceil((double)v / s) : floor((double)v / s));
        return (int)(c < 0 ? 0 : c > last ? last : c);
    };
    int x0 = cell(fminf(a.x, b.x) - reach, false), x1 = cell(fmaxf(a.x, b.x) + reach, true);
    int z0 = cell(fminf(a.z, b.z) - reach, false), z1 = cell(fmaxf(a.z, b.z) + reach, true);
    float abx = b.x - a.x, abz = b.z - a.z, ab2 = abx * abx + abz * abz;
    dozer_changes changes;
    for (int row = z0; row <= z1; row++)
        for (int col = x0; col <= x1; col++) {
            float px = (float)col * s, pz = (float)row * s;
            float t = ab2 > 0 ? ((px - a.x) * abx + (pz - a.z) * abz) / ab2 : 0;
            t = t < 0 ? 0 : t > 1 ? 1 : t;
            float qx = a.x + t * abx, qz = a.z + t * abz, qy = a.y + t * (b.y - a.y);
            float dx = px - qx, dz = pz - qz;
            float r = sqrtf(dx * dx + dz * dz);
            float ground = dozer_h(f, col, row);
            if (d->mode == 0 || d->mode == 1) {
                if (r > reach) continue;
                float floor_height = qy + reach - sqrtf(reach * reach - r * r);
                if (!(ground > floor_height)) continue;
                float removed = ground - floor_height;
                dozer_set(d, f, col, row, floor_height, &changes);
                d->totals.cut += removed;
                dozer_paint(d, f, col, row);
                if (d->mode == 0) {
                    if (r < 1e-4f) {
                        dx = fx;
                        dz = fz;
                    }
                    dozer_push(d, f, col, row, dx, dz, removed, &changes);
                }
            } else if (d->mode == 2) {
                if (r > DOZER_FLAT_REACH || !(qy > ground)) continue;
                dozer_set(d, f, col, row, qy, &changes);
                d->totals.filled += qy - ground;
                dozer_paint(d, f, col, row);
            } else if (d->mode == 3) {
                if (r > DOZER_FLAT_REACH || qy == ground) continue;
                dozer_set(d, f, col, row, qy, &changes);
                if (qy > ground) d->totals.filled += qy - ground;
                else d->totals.cut += ground - qy;
            }
        }
    if (changes.x1 >= 0) {
        terrain_invalidate_rect_clamped(f, changes.x0, changes.z0, changes.x1, changes.z1);
        f->edit_generation++;
    }
    return 1;
}

int dozer_tick(dozer *d, terrain_field *f) {
    dozer_update_blade(d);
    int worked = dozer_work_ground(d, f);
    physics_step();
    return worked;
}
