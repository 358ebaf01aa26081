// Geometry of learned lines: the circle through three points, the join of one line to the next,
// and a frame's progress along a line.
#include <cmath>
#include <cstdio>

#include "race/lines.h"
#include "race/timing.h"

line_centre autopilot_circle_through_points(const line_point *a, const line_point *b, const line_point *c) {
    double mx = ((double)a->x + b->x) / 2, mz = ((double)a->z + b->z) / 2;
    double ux = (double)b->z - a->z, uz = (double)a->x - b->x;
    double ex = ((double)c->x - b->x) / 2, ez = ((double)c->z - b->z) / 2;
    double nx = ((double)b->x + c->x) / 2, nz = ((double)b->z + c->z) / 2;
    double eu = ex * ux + ez * uz;
    double t = std::fabs(eu) <= 0.000001 ? 1000000.0 : ((ex * nx + ez * nz) - (ex * mx + ez * mz)) / eu;
    return {mx + t * ux, (double)a->y, mz + t * uz};
}

static double distance_xz(const line_centre &o, const line_point &p) {
    double dx = (double)p.x - o.x, dz = (double)p.z - o.z;
    return std::sqrt(dx * dx + dz * dz);
}

int autopilot_slots_connect(const line_slot *i, const line_slot *j) {
    if (i->point_count < 3 || j->point_count < 2) return 0;
    const line_point *e = i->points + i->point_count - 3;
    line_centre o = autopilot_circle_through_points(&e[0], &e[1], &e[2]);
    double r = distance_xz(o, e[2]);
    if (std::fabs((double)j->points[0].speed) + LINE_JOIN_SLOWER < std::fabs((double)e[2].speed)) return 0;
    double d1 = distance_xz(o, j->points[0]), d2 = distance_xz(o, j->points[1]);
    if (d1 < std::fmax(r - LINE_JOIN_BAND, 0.0) || d1 > r + LINE_JOIN_BAND) return 0;
    return std::fabs(d2 - d1) <= LINE_JOIN_ALONG;
}

// The signed distance of the point ahead of the frame along its forward axis.
static double ahead_of(const line_point &p, const float position[3], const float forward[3]) {
    return ((double)p.x - position[0]) * forward[0] + ((double)p.y - position[1]) * forward[1] +
           ((double)p.z - position[2]) * forward[2];
}

float autopilot_line_progress(const line_point *points, int n, int target, const float position[3],
                              const float forward[3]) {
    if (!points || n <= 0) return 0;
    int start = target - 1;
    if (start > n - 1) start = n - 1;
    if (start < 0) start = 0;
    int k = start;
    while (k > 0 && ahead_of(points[k], position, forward) >= 0) k--;
    double progress = k + 1;
    if (k != start && k + 1 < n) {
        double da = ahead_of(points[k], position, forward), db = ahead_of(points[k + 1], position, forward);
        double span = db - da;
        double f = std::fabs(span) >= 1e-6 ? -da / span : 0;   // points level with each other: 0
        progress += std::fmin(std::fmax(f, 0.0), 1.0);
    }
    return (float)progress;
}

int line_row_after(int row) {
    int f = timing_gates.first_lap_timed, rows = line_store.row_count;
    if (row < 0 || row >= rows) return -1;
    if (row == f - 1 || row == rows - 1) return f < rows ? f : 0;
    return row + 1;
}

static int joins_some(const line_slot *from, int row) {
    const line_slot *next = line_store_row(row);
    for (int k = 0; next && k < LINE_SLOTS_PER_SEGMENT; k++)
        if (next[k].point_count > 0 && autopilot_slots_connect(from, &next[k])) return 1;
    return 0;
}

int autopilot_check_joins(char *problem, int size) {
    for (int r = 0; r < line_store.row_count; r++) {
        const line_slot *row = line_store_row(r);
        int next = line_row_after(r);
        for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) {
            if (row[k].point_count == 0 || joins_some(&row[k], next)) continue;
            snprintf(problem, (size_t)size, "row %d slot %d joins no slot of row %d", r, k, next);
            return 0;
        }
    }
    for (int r = 1; r < line_store.row_count; r++) {
        const line_slot *row = line_store_row(r);
        for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) {
            if (row[k].point_count == 0) continue;
            bool reached = false;
            for (int p = 0; p < line_store.row_count && !reached; p++) {
                if (line_row_after(p) != r) continue;
                const line_slot *before = line_store_row(p);
                for (int m = 0; m < LINE_SLOTS_PER_SEGMENT && !reached; m++)
                    reached = before[m].point_count > 0 && autopilot_slots_connect(&before[m], &row[k]);
            }
            if (!reached) {
                snprintf(problem, (size_t)size, "row %d slot %d is reached from no row before it", r, k);
                return 0;
            }
        }
    }
    return 1;
}
