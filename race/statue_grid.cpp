// The statue grid: 8 x 8 buckets over the track, and the contacts of a rider with the statues
// of the buckets around it.
#include <cmath>
#include <cstring>

#include "bike/bike_step.h"
#include "bike/contact.h"
#include "bike/part_contacts.h"
#include "core/mem.h"
#include "race/contacts.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"

growable_array statue_grid[8][8];
// The merged list of a search over several buckets, and the list being merged into it.
static growable_array grid_merged, grid_scratch;

int track_grid_cell(double p, double extent) {
    double c = extent > 0 ? std::floor((p / extent - 0.125) * 4.0 / 3.0 * 8.0) : 0.0;
    if (std::isnan(c)) c = 0;
    if (c < 0) c = 0;
    if (c > 7) c = 7;
    return (int)c;
}

static double grid_extent() {
    return terrain_current ? terrain_current->extent : 0.0;
}

static int grid_append(growable_array *a, int value) {
    if (!a->items && !plyx_array_init(a, sizeof(int), 16)) return 0;
    return plyx_array_append(a, &value);
}

void track_grid_add_statue(int i) {
    if (i < 0 || i >= track_statues.count) return;
    const statue &s = ((const statue *)track_statues.items)[i];
    if (!s.shape) return;
    double r = shape_bounding_radius(s.shape), S = grid_extent();
    int x0 = track_grid_cell(s.x - r, S), x1 = track_grid_cell(s.x + r, S);
    int z0 = track_grid_cell(s.z - r, S), z1 = track_grid_cell(s.z + r, S);
    for (int cz = z0; cz <= z1; cz++)
        for (int cx = x0; cx <= x1; cx++) grid_append(&statue_grid[cz][cx], i);
}

void track_rebuild_statue_grid() {
    for (auto &row : statue_grid)
        for (growable_array &bucket : row) bucket.count = 0;
    for (int i = 0; i < track_statues.count; i++) track_grid_add_statue(i);
}

void track_grid_free() {
    for (auto &row : statue_grid)
        for (growable_array &bucket : row) plyx_array_free(&bucket);
    plyx_array_free(&grid_merged);
    plyx_array_free(&grid_scratch);
}

// out = merge of out and the ascending bucket, without duplicates.
static void grid_merge(const growable_array &bucket) {
    grid_scratch.count = 0;
    const int *a = (const int *)grid_merged.items, *b = (const int *)bucket.items;
    int i = 0, j = 0, na = grid_merged.count, nb = bucket.count;
    while (i < na || j < nb) {
        int v;
        if (j >= nb || (i < na && a[i] < b[j]))
            v = a[i++];
        else if (i >= na || b[j] < a[i])
            v = b[j++];
        else {
            v = a[i++];
            j++;
        }
        if (!grid_append(&grid_scratch, v)) break;
    }
    growable_array t = grid_merged;
    grid_merged = grid_scratch;
    grid_scratch = t;
}

const growable_array *track_grid_statues_near(float x, float z) {
    double S = grid_extent();
    int x0 = track_grid_cell((double)x - RACE_GRID_REACH, S), x1 = track_grid_cell((double)x + RACE_GRID_REACH, S);
    int z0 = track_grid_cell((double)z - RACE_GRID_REACH, S), z1 = track_grid_cell((double)z + RACE_GRID_REACH, S);
    if (x0 == x1 && z0 == z1) return &statue_grid[z0][x0];
    grid_merged.count = 0;
    for (int cz = z0; cz <= z1; cz++)
        for (int cx = x0; cx <= x1; cx++)
            if (statue_grid[cz][cx].count) grid_merge(statue_grid[cz][cx]);
    return &grid_merged;
}

float race_bike_reach(const rider_slot *s) {
    dBodyID frame = s ? bike_frame_body(s) : nullptr;
    if (!frame) return 0;
    const dReal *o = dBodyGetPosition(frame);
    const struct {
        int body;
        const collision_shape *shape;
        float tyre;
    } parts[] = {
        {BIKE_BODY_FRAME, s->frame_shape, 0},
        {BIKE_BODY_FRONT_WHEEL, s->front_wheel_shape, s->front_contact.ring_radius + s->front_contact.section_radius},
        {BIKE_BODY_REAR_WHEEL, s->rear_wheel_shape, s->rear_contact.ring_radius + s->rear_contact.section_radius},
        {BIKE_BODY_FORK_UPPER, s->fork_upper_shape, 0},
        {BIKE_BODY_FORK_LOWER, s->fork_lower_shape, 0},
        {BIKE_BODY_SWINGARM, s->swingarm_shape, 0},
        {BIKE_BODY_RIDER, s->rider_shape, 0},
    };
    double reach = 0;
    for (const auto &p : parts) {
        dBodyID body = bike_body_of(s, p.body);
        if (!p.shape || !body) continue;
        const dReal *q = dBodyGetPosition(body);
        double d = std::sqrt((q[0] - o[0]) * (q[0] - o[0]) + (q[1] - o[1]) * (q[1] - o[1]) +
                             (q[2] - o[2]) * (q[2] - o[2]));
        reach = std::fmax(reach, d + std::fmax((double)p.shape->bounding_radius, (double)p.tyre));
    }
    return (float)reach;
}

// One statue against the rider; its last hit tick on a touch.
static void collide_one_statue(rider_slot *rider, statue &st, const dReal *frame, double reach) {
    if (!st.shape) return;
    if (frame) {
        double dx = st.x - frame[0], dy = st.y - frame[1], dz = st.z - frame[2];
        double r = reach + st.shape->bounding_radius;
        if (!(dx * dx + dy * dy + dz * dz <= r * r)) return;
    }
    shape_transform t;
    t.position = {st.x, st.y, st.z};
    static const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float *m = st.rotation_free == 0 ? st.orientation : identity;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) t.rotation[i][j] = m[3 * i + j];
    if (bike_rider_contacts(rider, st.shape, nullptr, t)) st.last_hit_tick = race_state.current_tick;
}

void race_collide_statues_with(rider_slot *s, int early_out) {
    if (!s) return;
    bike_ground_contacts(s);
    dBodyID frame = bike_frame_body(s);
    if (!frame) return;
    const dReal *p = dBodyGetPosition(frame);
    const growable_array *list = track_grid_statues_near((float)p[0], (float)p[2]);
    double reach = early_out ? race_bike_reach(s) : 0;
    statue *rows = (statue *)track_statues.items;
    const int *indices = (const int *)list->items;
    for (int k = 0; k < list->count; k++) {
        int i = indices[k];
        if (i < 0 || i >= track_statues.count) continue;
        collide_one_statue(s, rows[i], early_out ? p : nullptr, reach);
    }
}

void race_collide_statues(rider_slot *s) {
    race_collide_statues_with(s, 1);
}

void race_collide_statue_row(rider_slot *s, int row, float reach) {
    if (!s || row < 0 || row >= track_statues.count || !bike_frame_body(s)) return;
    collide_one_statue(s, ((statue *)track_statues.items)[row], dBodyGetPosition(bike_frame_body(s)), reach);
}

int race_compare_speed(const void *a, const void *b) {
    const rider_slot *ra = *(const rider_slot *const *)a, *rb = *(const rider_slot *const *)b;
    dBodyID fa = bike_frame_body(ra), fb = bike_frame_body(rb);
    auto speed2 = [](dBodyID f) {
        if (!f) return 0.0;
        const dReal *v = dBodyGetLinearVel(f);
        return (double)(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    };
    double va = speed2(fa), vb = speed2(fb);
    return va < vb ? 1 : va > vb ? -1 : 0;
}
