// The stock tracks' robot line files: lanes beside the course centreline ridden at a planned
// speed for each level, sampled four times a second and cut into the segments of the track's
// own timing gates; start lines from the front two start rows that ease into the nearest lane.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/trackgen.h"

namespace {

// The level's speed plan: top speed, the share of the grip limit in turns, the acceleration.
struct level_plan {
    double top, grip_share, accelerate;
};
const level_plan LEVELS[3] = {{40, 0.6, 20}, {50, 0.68, 22}, {60, 0.76, 24}};
const double DIRT_GRIP = 1.2;      // the stock dirt's friction
const double BRAKING = 16;
const double GRAVITY = 32;
const double FRAME_HEIGHT = 1.98;  // the frame above the ground at rest
const int TICKS = 128;
const double BEND_FLIGHT = 1.0 / 400;   // ft^-1: bends sharper than this are ridden on the ground
const double CREST_RUN_UP = 30;         // ft before a take-off in a bend where the speed is cut
const double CREST_CUT = 0.9;
const int FLIGHT_TICKS = 24;
const int LONGEST_FLIGHT = 64;          // ticks: a longer flight lands too hard and too far off line
const double STEADY_BEFORE_JUMP = 3;    // s of run-up ridden slower before a long flight
const int SERIES_GAP = 256;             // ticks: a flight this soon after the last is whoops, not a jump
// Lanes 4 ft apart: robots on neighbouring lanes ride side by side without touching, and the
// start line from each gate (4 ft apart on the hillside, 4.5 ft on the practice track) runs
// into a lane of its own.
const double LANE_SPACING = 4;

struct stock_point {
    float x, y, z, speed, tilt;
};
struct stock_line {
    std::vector<stock_point> points;
    int time = 0, time_two = 0;
};

// A path of points with its arc lengths, signed curvature (left turns positive) and speeds.
struct path {
    std::vector<datagen_xz> p;
    std::vector<double> arc, bend, speed;
    std::vector<double> crest;   // the most speed that keeps the wheels on the ground in a bend
    bool closed = false;
    double length() const { return arc.back(); }
};

double cross_y(datagen_xz a, datagen_xz b) {
    return a.z * b.x - a.x * b.z;
}

// The course's left-hand normal at point i.
datagen_xz left_of(const datagen_track &t, long i) {
    datagen_xz d = datagen_course_tangent(t, i);
    return {d.z, -d.x};
}

void finish_path(path *q) {
    size_t n = q->p.size();
    q->arc.assign(n, 0);
    for (size_t i = 1; i < n; i++)
        q->arc[i] = q->arc[i - 1] + std::hypot(q->p[i].x - q->p[i - 1].x, q->p[i].z - q->p[i - 1].z);
    // Curvature from the circle through the points four either side.
    q->bend.assign(n, 0);
    for (size_t i = 0; i < n; i++) {
        size_t a = i >= 4 ? i - 4 : (q->closed ? i + n - 4 : 0);
        size_t c = i + 4 < n ? i + 4 : (q->closed ? i + 4 - n : n - 1);
        datagen_xz A = q->p[a], B = q->p[i], C = q->p[c];
        double ab = std::hypot(B.x - A.x, B.z - A.z), bc = std::hypot(C.x - B.x, C.z - B.z),
               ca = std::hypot(A.x - C.x, A.z - C.z);
        if (ab * bc * ca <= 0) continue;
        double twice_area = cross_y({B.x - A.x, B.z - A.z}, {C.x - B.x, C.z - B.z});
        q->bend[i] = 2 * twice_area / (ab * bc * ca);
    }
}

// Speeds: the top speed, the grip limit in turns, then braking backwards and accelerating
// forwards (from rest at the first point of an open path; round and round for a closed one).
void plan_speeds(path *q, const level_plan &level) {
    size_t n = q->p.size();
    std::vector<double> limit(n);
    for (size_t i = 0; i < n; i++) {
        double r = std::fabs(q->bend[i]) > 1e-9 ? 1 / std::fabs(q->bend[i]) : 1e9;
        limit[i] = std::min(level.top, level.grip_share * std::sqrt(DIRT_GRIP * GRAVITY * r));
        if (i < q->crest.size()) limit[i] = std::min(limit[i], q->crest[i]);
    }
    q->speed = limit;
    auto step = [&](size_t i) { return q->arc[i] - q->arc[i - 1]; };
    int rounds = q->closed ? 3 : 1;
    for (int round = 0; round < rounds; round++)
        for (size_t k = n; k-- > 0;) {
            size_t next = k + 1 < n ? k + 1 : 0;
            if (!q->closed && k + 1 >= n) continue;
            double ds = k + 1 < n ? step(k + 1) : std::hypot(q->p[0].x - q->p[k].x, q->p[0].z - q->p[k].z);
            q->speed[k] = std::min(q->speed[k], std::sqrt(q->speed[next] * q->speed[next] + 2 * BRAKING * ds));
        }
    if (!q->closed) q->speed[0] = 0;
    for (int round = 0; round < rounds; round++)
        for (size_t k = 0; k < n; k++) {
            if (k == 0 && !q->closed) continue;
            size_t prev = k > 0 ? k - 1 : n - 1;
            double ds = k > 0 ? step(k) : std::hypot(q->p[0].x - q->p[n - 1].x, q->p[0].z - q->p[n - 1].z);
            q->speed[k] = std::min(q->speed[k], std::sqrt(q->speed[prev] * q->speed[prev] + 2 * level.accelerate * ds));
        }
}

// Where the path is at arc length s: the point, its speed and curvature.
struct path_at {
    datagen_xz p;
    double speed, bend;
};
path_at locate(const path &q, double s, size_t *hint) {
    size_t i = *hint;
    while (i + 1 < q.p.size() && q.arc[i + 1] < s) i++;
    *hint = i;
    if (i + 1 >= q.p.size()) return {q.p.back(), q.speed.back(), q.bend.back()};
    double f = (s - q.arc[i]) / (q.arc[i + 1] - q.arc[i]);
    auto mix = [f](double a, double b) { return a + (b - a) * f; };
    return {{mix(q.p[i].x, q.p[i + 1].x), mix(q.p[i].z, q.p[i + 1].z)},
            mix(q.speed[i], q.speed[i + 1]), mix(q.bend[i], q.bend[i + 1])};
}

// A bike can't follow a bend through the air, and a long flight lands hard and off line: rides
// the path at its planned speeds and, where it would leave the ground in a bend or for longer
// than half a second, cuts the speed over the run-up; again until no such flight is left (or
// the rounds run out).
void keep_bends_on_the_ground(path *q, const datagen_ground &g, const level_plan &level) {
    q->crest.assign(q->p.size(), 1e9);
    for (int round = 0; round < 40; round++) {
        plan_speeds(q, level);
        double s = 0, y = 0, vy = 0, length = q->length();
        size_t hint = 0;
        bool flying = false, cut = false;
        int took_off = 0, last_landing = -SERIES_GAP - 1;
        double take_off_s = 0, take_off_speed = 0, take_off_bend = 0;
        for (int tick = 0; s < length && tick < 200000; tick++) {
            path_at a = locate(*q, s, &hint);
            double ground = g.height(a.p.x, a.p.z), dt = 1.0 / TICKS;
            double ballistic = y + vy * dt - GRAVITY / 2 * dt * dt;
            if (tick > 0 && ground < ballistic) {
                if (!flying) took_off = tick, take_off_s = s, take_off_speed = a.speed, take_off_bend = a.bend;
                take_off_bend = std::max(take_off_bend, std::fabs(a.bend));
                flying = true;
                vy -= GRAVITY * dt;
                y = ballistic;
            } else {
                // A flight long enough to show in the samples, in a bend: slower over the run-up.
                // A long flight anywhere: slower from well before the take-off, as robots hold
                // their speed over the last seconds before a jump.
                // Flights one after another (whoops) are ridden through on the ground: a robot
                // holds its speed before a jump and would leave them far too fast.
                bool bent = take_off_bend > BEND_FLIGHT, long_flight = tick - took_off > LONGEST_FLIGHT;
                bool counted = flying && tick - took_off >= FLIGHT_TICKS;
                bool series = counted && took_off - last_landing <= SERIES_GAP;
                if (counted) last_landing = tick;
                if (counted && (bent || long_flight || series)) {
                    double run_up = long_flight ? std::max(CREST_RUN_UP, STEADY_BEFORE_JUMP * take_off_speed) : CREST_RUN_UP;
                    for (size_t i = 0; i < q->p.size(); i++)
                        if (q->arc[i] <= take_off_s + 1 && q->arc[i] > take_off_s - run_up)
                            q->crest[i] = std::min(q->crest[i], CREST_CUT * std::max(take_off_speed, 1.0));
                    cut = true;
                }
                flying = false;
                vy = tick > 0 ? (ground - y) * TICKS : 0;
                y = ground;
            }
            s += std::max(a.speed, 0.5) / TICKS;
        }
        if (!cut) return;
    }
    plan_speeds(q, level);
}

// The ride along a path: a sample every 32 ticks, cut into segments at the lap entries passed.
struct ride_result {
    std::vector<std::vector<stock_point>> segments;   // samples of each segment ridden in turn
    std::vector<int> ticks;                           // each segment's ticks
};
// Rides from the path's start with the lap entry at position `entry` next; the samples taken
// before `keep_from` segments have ended are dropped; stops after `segments` segments more.
// `flights` (when given) records whether the ride is in the air at each tick; `long_flights`
// (when given) says which ticks belong to a flight long enough to count as a jump: only those
// samples are taken as airborne (a hop over a ripple is ridden through on the suspension).
ride_result ride_once(const path &q, const datagen_ground &g, const datagen_timing &timing, size_t entry,
                      int keep_from, int segments, std::vector<char> *flights, const std::vector<char> *long_flights) {
    ride_result out;
    double s = 0, y = 0, vy = 0;
    bool flying = false;
    size_t hint = 0;
    int ended = 0, segment_start = 0;
    std::vector<stock_point> current;
    for (int tick = 0; tick < 100000 && (int)out.ticks.size() < segments; tick++) {
        if (q.closed && s >= q.length()) s -= q.length(), hint = 0;
        path_at a = locate(q, s, &hint);
        double ground = g.height(a.p.x, a.p.z) + FRAME_HEIGHT;
        if (tick == 0) {
            y = ground;
        } else {
            // The ground falling away faster than the parabola at this speed: a flight.
            double dt = 1.0 / TICKS, ballistic = y + vy * dt - GRAVITY / 2 * dt * dt;
            if (ground < ballistic) {
                flying = true;
                vy -= GRAVITY * dt;
                y = ballistic;
            } else {
                flying = false;
                vy = (ground - y) * TICKS;
                y = ground;
            }
        }
        if (flights) flights->push_back(flying);
        if (tick % 32 == 0 && ended >= keep_from) {
            double speed = std::max(a.speed, 0.0);
            float tilt = (float)std::atan(speed * speed * a.bend / GRAVITY);
            bool jump = long_flights ? tick < (int)long_flights->size() && (*long_flights)[(size_t)tick] : flying;
            current.push_back({(float)a.p.x, (float)y, (float)a.p.z, (float)(jump ? -speed : speed), tilt});
        }
        // The next lap entry passed?
        int value = timing.lap[entry % timing.lap.size()];
        const datagen_checkpoint &cp = timing.checkpoints[(size_t)(value % DATAGEN_NO_SEGMENT)];
        if (datagen_in_pass_zone(cp, a.p.x, a.p.z)) {
            entry++;
            if (value < DATAGEN_NO_SEGMENT) {
                if (ended >= keep_from) {
                    out.segments.push_back(current);
                    out.ticks.push_back(tick + 1 - segment_start);
                }
                current.clear();
                ended++;
                segment_start = tick + 1;
            }
        }
        s += std::max(a.speed, 0.5) / TICKS;
        if (!q.closed && s > q.length()) break;
    }
    return out;
}

ride_result ride(const path &q, const datagen_ground &g, const datagen_timing &timing, size_t entry, int keep_from,
                 int segments) {
    std::vector<char> flights;
    ride_once(q, g, timing, entry, keep_from, segments, &flights, nullptr);
    std::vector<char> long_flights(flights.size(), 0);
    for (size_t i = 0; i < flights.size();) {
        size_t j = i;
        while (j < flights.size() && flights[j]) j++;
        if (j - i >= (size_t)FLIGHT_TICKS) std::fill(long_flights.begin() + (long)i, long_flights.begin() + (long)j, 1);
        i = j > i ? j : i + 1;
    }
    return ride_once(q, g, timing, entry, keep_from, segments, nullptr, &long_flights);
}

// A lane: the centreline moved sideways by the offset (left positive), closed, starting
// `back` points before the course point `from`.
path lane_path(const datagen_track &t, double offset, long from, long back) {
    path q;
    q.closed = true;
    long n = (long)t.course.size();
    for (long k = 0; k < n; k++) {
        long i = from - back + k;
        datagen_xz c = datagen_course_feet(t, i), l = left_of(t, i);
        q.p.push_back({c.x + l.x * offset, c.z + l.z * offset});
    }
    finish_path(&q);
    return q;
}

// From a start place straight down the course, easing into the lane over `blend` points, then
// on along the lane for most of a lap.
path start_path(const datagen_track &t, datagen_xz start, double lane, long blend) {
    long n = (long)t.course.size(), nearest = 0;
    double best = 1e18;
    for (long i = 0; i < n; i++) {
        datagen_xz c = datagen_course_feet(t, i);
        double d = std::hypot(c.x - start.x, c.z - start.z);
        if (d < best) best = d, nearest = i;
    }
    datagen_xz c0 = datagen_course_feet(t, nearest), l0 = left_of(t, nearest);
    double offset0 = (start.x - c0.x) * l0.x + (start.z - c0.z) * l0.z;
    path q;
    q.p.push_back(start);
    for (long k = 1; k < n * 3 / 4; k++) {
        double f = k >= blend ? 1.0 : (double)k / blend;
        f = f * f * (3 - 2 * f);
        double offset = offset0 + (lane - offset0) * f;
        datagen_xz c = datagen_course_feet(t, nearest + k), l = left_of(t, nearest + k);
        q.p.push_back({c.x + l.x * offset, c.z + l.z * offset});
    }
    finish_path(&q);
    return q;
}

struct stock_track {
    const datagen_track *t;
    const datagen_timing *timing;
    int lanes;
    double half_width;
};

// The store's rows: row 0 the start lines, rows 1 .. F-1 and F .. F+N-1 one line per lane.
std::vector<std::vector<stock_line>> stock_rows(const stock_track &st, int level) {
    const datagen_track &t = *st.t;
    const datagen_timing &timing = *st.timing;
    datagen_ground g(t);
    int per_lap = 0;
    for (int v : timing.lap) per_lap += v < DATAGEN_NO_SEGMENT;
    int F = per_lap, N = per_lap;
    std::vector<std::vector<stock_line>> rows((size_t)(F + N));
    std::vector<double> lanes;
    for (int m = 0; m < st.lanes; m++) lanes.push_back(LANE_SPACING * ((st.lanes - 1) / 2.0 - m));   // left to right
    long finish = timing.checkpoints[0].course_index;
    for (double lane : lanes) {
        path q = lane_path(t, lane, finish, 20);
        keep_bends_on_the_ground(&q, g, LEVELS[level]);
        // Up to the finish line, then one lap: the normal lap's segments in order.
        ride_result r = ride(q, g, timing, timing.lap.size() - 1, 1, N);
        for (int k = 0; k < N; k++) {
            stock_line line;
            line.points = r.segments[(size_t)k];
            line.time = r.ticks[(size_t)k];
            line.time_two = line.time + r.ticks[(size_t)((k + 1) % N)];
            rows[(size_t)(F + k)].push_back(line);
            if (k > 0) rows[(size_t)k].push_back(line);
        }
    }
    int gates = (int)timing.gates.size();
    for (int k = 0; k < 2 * gates; k++) {
        datagen_xz start = datagen_start_place(timing, k);
        datagen_xz c = datagen_course_feet(t, timing.checkpoints[0].course_index),
                   l = left_of(t, timing.checkpoints[0].course_index);
        double across = (start.x - c.x) * l.x + (start.z - c.z) * l.z, lane = lanes[0];
        for (double candidate : lanes)
            if (std::fabs(candidate - across) < std::fabs(lane - across)) lane = candidate;
        path q = start_path(t, start, lane, 24);
        keep_bends_on_the_ground(&q, g, LEVELS[level]);
        ride_result r = ride(q, g, timing, 0, 0, 2);
        stock_line line;
        line.points = r.segments[0];
        line.time = r.ticks[0];
        line.time_two = r.ticks[0] + r.ticks[1];
        rows[0].push_back(line);
    }
    return rows;
}

std::string stock_file(const std::vector<std::vector<stock_line>> &rows) {
    std::string out = "ct03 " + std::to_string(rows.size()) + "\n";
    char text[256];
    for (const auto &row : rows) {
        out += std::to_string(row.size()) + "\n";
        for (const stock_line &l : row) {
            snprintf(text, sizeof text, "%d %d %d %d %d %d %d %d %d\n", (int)l.points.size(), l.time,
                     l.time_two, 5, l.time, l.time_two, 5 * l.time, 5 * l.time_two, 0);
            out += text;
            for (const stock_point &p : l.points) {
                snprintf(text, sizeof text, "[%f %f %f] %f %f\n", (double)p.x, (double)p.y, (double)p.z,
                         (double)p.speed, (double)p.tilt);
                out += text;
            }
        }
    }
    return out;
}

// The robots' connection rule: j's first point within 2.5 ft of the arc through i's last three
// points, starting along it, and not more than 15 ft/s slower.
bool connects(const stock_line &i, const stock_line &j) {
    size_t n = i.points.size();
    if (n < 3 || j.points.size() < 2) return false;
    const stock_point &a = i.points[n - 3], &b = i.points[n - 2], &c = i.points[n - 1];
    double mx = (a.x + (double)b.x) / 2, mz = (a.z + (double)b.z) / 2;
    double ux = (double)b.z - a.z, uz = (double)a.x - b.x;
    double ex = ((double)c.x - b.x) / 2, ez = ((double)c.z - b.z) / 2;
    double eu = ex * ux + ez * uz;
    double tpar = std::fabs(eu) <= 0.000001
                      ? 1000000
                      : (ex * ((b.x + (double)c.x) / 2) + ez * ((b.z + (double)c.z) / 2) - (ex * mx + ez * mz)) / eu;
    double cx = mx + tpar * ux, cz = mz + tpar * uz;
    double R = std::hypot(c.x - cx, c.z - cz);
    if (std::fabs(j.points[0].speed) + 15 < std::fabs(c.speed)) return false;
    double d0 = std::hypot(j.points[0].x - cx, j.points[0].z - cz), d1 = std::hypot(j.points[1].x - cx, j.points[1].z - cz);
    return d0 >= std::max(R - 2.5, 0.0) && d0 <= R + 2.5 && std::fabs(d0 - d1) <= 2.0;
}

std::string stock_check(const stock_track &st, const std::vector<std::vector<stock_line>> &rows) {
    const datagen_track &t = *st.t;
    datagen_ground g(t);
    int F = (int)rows.size() / 2, total = (int)rows.size();
    std::vector<std::vector<bool>> reached(rows.size());
    for (int r = 0; r < total; r++) reached[(size_t)r].assign(rows[(size_t)r].size(), false);
    for (int r = 0; r < total; r++) {
        int next = r + 1 < total ? r + 1 : F;
        for (size_t i = 0; i < rows[(size_t)r].size(); i++) {
            const stock_line &l = rows[(size_t)r][i];
            std::string where = "row " + std::to_string(r) + " slot " + std::to_string(i);
            if (l.points.size() < 3) return where + " has fewer than 3 points";
            bool any = false;
            for (size_t j = 0; j < rows[(size_t)next].size(); j++)
                if (connects(l, rows[(size_t)next][j])) any = true, reached[(size_t)next][j] = true;
            if (!any) return where + " joins no line of the next row";
            for (const stock_point &p : l.points) {
                double nearest = 1e18;
                for (long c = 0; c < (long)t.course.size(); c++) {
                    datagen_xz q = datagen_course_feet(t, c);
                    nearest = std::min(nearest, std::hypot(p.x - q.x, p.z - q.z));
                }
                if (nearest > st.half_width + 2) return where + " leaves the course";
                if (p.y < g.height(p.x, p.z) + 1) return where + " is under the ground";
            }
            for (size_t j = 0; j < i; j++) {
                const stock_line &o = rows[(size_t)r][j];
                bool same = o.points.size() == l.points.size();
                for (size_t k = 0; same && k < l.points.size(); k++) {
                    const stock_point &p = l.points[k], &q = o.points[k];
                    double d = (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z);
                    same = std::fabs(p.speed - q.speed) <= 0.0625f && d <= 0.00390625;
                }
                if (same) return where + " repeats slot " + std::to_string(j);
            }
        }
    }
    for (int r = 1; r < total; r++)
        for (size_t j = 0; j < reached[(size_t)r].size(); j++)
            if (!reached[(size_t)r][j]) return "row " + std::to_string(r) + " slot " + std::to_string(j) + " is never reached";
    int gates = (int)st.timing->gates.size();
    for (int k = 0; k < gates; k++) {
        datagen_xz p = datagen_start_place(*st.timing, k);
        bool found = false;
        for (const stock_line &l : rows[0])
            found = found || std::hypot(l.points[0].x - p.x, l.points[0].z - p.z) <= 1;
        if (!found) return "no start line at gate " + std::to_string(k);
    }
    return "";
}

const stock_track &practice() {
    static const stock_track st = {&datagen_practice_track(), &datagen_practice_timing(), 4, 10};
    return st;
}
const stock_track &hillside() {
    static const stock_track st = {&datagen_hillside_track(), &datagen_hillside_timing(), 6, 15};
    return st;
}

const std::vector<std::vector<stock_line>> &rows_of(int track, int level) {
    static std::vector<std::vector<stock_line>> cache[2][3];
    static bool made[2][3];
    if (!made[track][level]) {
        cache[track][level] = stock_rows(track ? hillside() : practice(), level);
        made[track][level] = true;
    }
    return cache[track][level];
}

}  // namespace

std::string datagen_stock_lines(int track, int level) {
    return stock_file(rows_of(track, level));
}

std::string datagen_lines_self_check() {
    for (int track = 0; track < 2; track++)
        for (int level = 0; level < 3; level++) {
            std::string e = stock_check(track ? hillside() : practice(), rows_of(track, level));
            if (!e.empty())
                return std::string(track ? "hillside" : "practice") + " lines of level " + std::to_string(level) + ": " + e;
        }
    return "";
}
