// Robots racing the stock tracks under real physics: standing still without lines, the stock
// lines' plans, leaving the gate, one race twice alike, practice mode, hostile lines, recovery and
// the levels' order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "bike/bike_step.h"
#include "bike/contact.h"
#include "bike/shape.h"
#include "core/console.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "race/align.h"
#include "race/autopilot.h"
#include "race/lines.h"
#include "race/planner.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "terrain/terrain.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"
#include "tools/ride-log/race_run.h"

namespace {

// The game data, a window and the race runner's world; roost frequency 0 for repeatable races.
struct race_robot_race : ::testing::Test {
    temp_dir home;
    gl_test_window *window = nullptr;
    void SetUp() override {
        test_isolate_home(home);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        vfs_build_index();
        window = new gl_test_window(320, 320);
        ASSERT_NE(window->w, nullptr) << plyx_last_error();
        game_settings.roost_frequency = 0;
        ASSERT_EQ(race_run_open(), 1);
    }
    void TearDown() override {
        race_run_close();
        delete window;
    }
};

std::vector<int> robot_slots() {
    std::vector<int> v;
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (rider_has_bike(i) && rider_status[i] == 2) v.push_back(i);
    return v;
}

// One robot on the practice track racing one lap, with two minutes to spare: its slot, or -1.
int one_robot_one_lap(race_run_options *o) {
    o->robots = 1;
    o->laps = 1;
    o->extra_seconds = 120;
    if (race_run_reset(*o) != 1 || robot_slots().empty()) return -1;
    return robot_slots().front();
}

const float *frame_at(int slot) {
    static float p[3];
    const dReal *q = dBodyGetPosition(bike_frame_body(&rider_table[slot]));
    for (int i = 0; i < 3; i++) p[i] = (float)q[i];
    return p;
}

bool controls_sound(const rider_controls &c) {
    for (float v : {c.throttle, c.clutch, c.front_brake, c.rear_brake, c.sit_dab})
        if (!(v >= 0 && v <= 1)) return false;
    return c.steer >= -1 && c.steer <= 1;
}

bool console_has(const char *text) {
    for (int i = 0; i < CONSOLE_LINES; i++)
        if (strstr(console_log.lines[i], text)) return true;
    return false;
}

}  // namespace

// With no lines (level -1, or an emptied store) every robot stands at its start with both
// brakes on, and no line choice runs.
TEST_F(race_robot_race, NoLinesStandAtTheGate) {
    for (int emptied = 0; emptied < 2; emptied++) {
        SCOPED_TRACE(emptied ? "emptied store" : "level -1");
        race_run_options o;
        o.robots = 4;
        o.level = emptied ? 0 : -1;
        ASSERT_EQ(race_run_reset(o), 1);
        if (emptied) line_store_clear();
        std::vector<int> slots = robot_slots();
        ASSERT_EQ(slots.size(), 4u);
        float start[RIDER_SLOTS][3];
        for (int s : slots) memcpy(start[s], frame_at(s), sizeof start[s]);
        int end = race_state.gate_drop_tick + 60 * RACE_TICKS_PER_SECOND;
        while (race_state.current_tick < end) {
            race_tick();
            if (race_state.current_tick % 64) continue;
            for (int s : slots) {
                const float *p = frame_at(s);
                ASSERT_LT(std::hypot(p[0] - start[s][0], p[2] - start[s][2]), 1.0) << "slot " << s;
                EXPECT_EQ(rider_table[s].controls.front_brake, 1);
                EXPECT_EQ(rider_table[s].controls.rear_brake, 1);
                EXPECT_EQ(rider_table[s].working_line.count, 0);
            }
        }
    }
}

// On both tracks at every level the plan strings whole laps, and every gate's front-row start
// point has a row-0 line starting within 10 ft.
TEST_F(race_robot_race, StockLinesPlanWholeLaps) {
    for (const char *track : {"tracks/practice", "tracks/hillside"}) {
        for (int level = 0; level < 3; level++) {
            SCOPED_TRACE(std::string(track) + " level " + std::to_string(level));
            race_run_options o;
            o.track = track;
            o.level = level;
            o.robots = 1;
            ASSERT_EQ(race_run_reset(o), 1);
            ASSERT_GT(line_store.row_count, 0);
            std::vector<line_slot *> list((size_t)line_store.row_count);
            plan_costs costs = autopilot_plan_line(list.data(), level);
            EXPECT_LT(costs.first_lap, PLAN_NO_CHAIN);
            EXPECT_LT(costs.normal_lap, PLAN_NO_CHAIN);
            for (int r = 0; r < line_store.row_count; r++) EXPECT_NE(list[(size_t)r], nullptr) << "row " << r;
            const line_slot *row0 = line_store_row(0);
            for (int g = 0; g < race_state.gate_count; g++) {
                float p[3], yaw;
                race_start_place(g, p, &yaw);
                double nearest = 1e9;
                for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++)
                    if (row0[k].point_count > 0)
                        nearest = std::fmin(nearest, std::hypot(row0[k].points[0].x - p[0], row0[k].points[0].z - p[2]));
                EXPECT_LT(nearest, 10.0) << "gate " << g;
            }
        }
    }
}

// Leaving the gate: nobody moves a foot before the launch, and every robot is 30 ft or more
// along the course five seconds after the drop.
TEST_F(race_robot_race, LeaveTheGateAtTheLaunch) {
    race_run_options o;
    o.robots = 6;
    ASSERT_EQ(race_run_reset(o), 1);
    std::vector<int> slots = robot_slots();
    ASSERT_EQ(slots.size(), 6u);
    float start[RIDER_SLOTS][3];
    for (int s : slots) memcpy(start[s], frame_at(s), sizeof start[s]);
    int drop = race_state.gate_drop_tick;
    while (race_state.current_tick < drop + 5 * RACE_TICKS_PER_SECOND) {
        race_tick();
        for (int s : slots) {
            const float *p = frame_at(s);
            double moved = std::hypot(p[0] - start[s][0], p[2] - start[s][2]);
            if (race_state.current_tick < drop) {
                ASSERT_LT(moved, 1.0) << "slot " << s << " before the drop";
            }
        }
    }
    for (int s : slots) {
        const float *p = frame_at(s);
        // Along the start straight: the gates' facing direction.
        float place[3], yaw;
        race_start_place(0, place, &yaw);
        double along = -(p[0] - start[s][0]) * std::sin(yaw) - (p[2] - start[s][2]) * std::cos(yaw);
        EXPECT_GE(along, 30.0) << "slot " << s;
    }
}

// One set-up in one binary gives one race: the same finish order and lap ticks twice; with
// practice mode every robot is "tester", weighs lines by trying them, and still finishes.
TEST_F(race_robot_race, SameRaceTwiceAndPracticeMode) {
    race_run_options o;
    o.robots = 3;
    o.laps = 1;
    std::vector<std::vector<int>> ticks;
    for (int run = 0; run < 2; run++) {
        ASSERT_EQ(race_run_reset(o), 1);
        race_run_result r = race_run_ride(o);
        std::vector<int> t;
        for (const race_run_robot &b : r.robots) {
            t.push_back(b.slot);
            t.push_back(rider_timing_tic(b.slot, rider_timing_count(b.slot) - 1));
            t.push_back(b.finished);
        }
        ticks.push_back(t);
    }
    EXPECT_EQ(ticks[0], ticks[1]);

    game_settings.practice_mode = 1;
    ASSERT_EQ(race_run_reset(o), 1);
    for (int s : robot_slots()) {
        int p = rider_table[s].autopilot_personality;
        ASSERT_TRUE(p >= 0 && p < AUTOPILOT_PERSONALITIES);
        EXPECT_STREQ(autopilot_personalities[p].name, "tester");
        EXPECT_EQ(autopilot_cost_type(&rider_table[s]), 3);
    }
    race_run_result r = race_run_ride(o);
    EXPECT_EQ(r.finished, 3);
    game_settings.practice_mode = 0;
}

// Hostile lines: one-point lines, repeated points, right-angle zig-zags and lines all in the
// air, ridden for 60 s: every control stays finite and in range and no bike is reset.
TEST_F(race_robot_race, HostileLinesKeepControlsSound) {
    race_run_options o;
    o.robots = 4;
    ASSERT_EQ(race_run_reset(o), 1);
    float gate[3], yaw;
    race_start_place(0, gate, &yaw);
    for (int r = 0; r < line_store.row_count; r++) {
        line_slot *row = line_store_row(r);
        for (int k = 0; k < 4; k++) {
            line_slot &t = row[k];
            line_slot_clear(&t);
            int n = k == 0 ? 1 : 12;
            t.points = (line_point *)mem_alloc_or_die(sizeof(line_point) * (size_t)n);
            t.point_count = n;
            for (int i = 0; i < n; i++) {
                float x = gate[0] + 5.0f * r, z = gate[2] + 5.0f * r;
                if (k == 2) x += 10.0f * (float)((i + 1) / 2), z += 10.0f * (float)(i / 2);   // 90-degree zig-zag
                if (k == 3) x += 8.0f * (float)i;
                t.points[i] = {x, 10, z, k == 3 ? -30.0f : 30.0f, k == 2 ? 0.5f : 0.0f};
            }
            t.passes = 5;
            t.total_time = 5000;
            t.recorded_time = 1000;
            t.serial = line_store_next_serial();
        }
    }
    autopilot_plan_lines();
    console_clear();
    std::vector<int> slots = robot_slots();
    int end = race_state.gate_drop_tick + 60 * RACE_TICKS_PER_SECOND;
    while (race_state.current_tick < end) {
        race_tick();
        for (int s : slots) ASSERT_TRUE(controls_sound(rider_table[s].controls)) << "slot " << s;
    }
    EXPECT_FALSE(console_has("reset after a non-finite value"));
}

// The realign target over the hillside's lap list, whose split entry ends no segment: every
// timing count of two laps at depths 0-2 reads only rows that exist (ASan watches), and with an
// empty store the target is the centre of the checkpoint ahead.
TEST_F(race_robot_race, AlignTargetOverTheHillsideLapList) {
    race_run_options o;
    o.track = "tracks/hillside";
    o.robots = 1;
    ASSERT_EQ(race_run_reset(o), 1);
    ASSERT_GT(line_store.row_count, 0);
    rider_slot *s = &rider_table[robot_slots().at(0)];
    s->autopilot_personality = 0;   // a person's look-ahead along the best lines
    int counts = timing_gates.first_lap_length + 2 * timing_gates.lap_length;
    ASSERT_GT(counts, 20);
    for (int store = 0; store < 2; store++) {
        if (store) line_store_clear();
        for (int c = 0; c <= counts; c++) {
            s->timing_count = c;
            for (int depth = 0; depth < 3; depth++) {
                float out[3] = {NAN, NAN, NAN};
                ASSERT_EQ(bike_align_target(s, depth, out), 1) << "count " << c << " depth " << depth;
                EXPECT_TRUE(std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2]));
                if (!store) continue;
                int entry = ((const int *)timing_gates.lap_list.items)[timing_lap_position(c)] % TIMING_NO_SEGMENT;
                EXPECT_EQ(out[0], timing_gates.checkpoints[entry].a[0]) << "count " << c;
                EXPECT_EQ(out[2], timing_gates.checkpoints[entry].a[2]) << "count " << c;
            }
        }
    }
}

namespace {

// Every sphere of a rider's parts in the world: centre and radius.
struct world_sphere {
    double c[3], r;
};
void rider_spheres(rider_slot *s, std::vector<world_sphere> *out) {
    out->clear();
    struct part {
        collision_shape *shape;
        dBodyID body;
    } parts[] = {{s->front_wheel_shape, bike_body_of(s, BIKE_BODY_FRONT_WHEEL)},
                 {s->rear_wheel_shape, bike_body_of(s, BIKE_BODY_REAR_WHEEL)},
                 {s->frame_shape, bike_frame_body(s)},
                 {s->fork_upper_shape, bike_body_of(s, BIKE_BODY_FORK_UPPER)},
                 {s->fork_lower_shape, bike_body_of(s, BIKE_BODY_FORK_LOWER)},
                 {s->swingarm_shape, bike_body_of(s, BIKE_BODY_SWINGARM)},
                 {s->rider_shape, bike_rider_body(s)}};
    for (const part &p : parts) {
        if (!p.shape || !p.body) continue;
        const collision_shape *source = p.shape->source_shape ? p.shape->source_shape : p.shape;
        shape_transform t = shape_transform_from_body(p.body);
        for (int i = 0; i < source->count; i++) {
            const vec3 &c = source->rows[i].centre;
            world_sphere w;
            for (int k = 0; k < 3; k++)
                w.c[k] = (double)t.rotation[k][0] * c.x + (double)t.rotation[k][1] * c.y +
                         (double)t.rotation[k][2] * c.z + (&t.position.x)[k];
            w.r = source->rows[i].radius;
            out->push_back(w);
        }
    }
}

}  // namespace

// Every gate filled and a second row behind on the hillside: from the drop to 15 s after it no
// two riders' spheres overlap by more than 0.5 ft, and at most one robot falls from touching
// another rider.
TEST_F(race_robot_race, FullGatesLeaveWithoutPilingUp) {
    race_run_options o;
    o.track = "tracks/hillside";
    o.level = 2;
    o.robots = 12;
    ASSERT_EQ(race_run_reset(o), 1);
    ASSERT_EQ(race_state.gate_count * 2, 12);
    std::vector<int> slots = robot_slots();
    ASSERT_EQ(slots.size(), 12u);
    int drop = race_state.gate_drop_tick;
    while (race_state.current_tick < drop) race_tick();
    std::vector<std::vector<world_sphere>> spheres(slots.size());
    double worst = 0;
    int contact_falls = 0;
    std::vector<int> falls(slots.size());
    for (size_t i = 0; i < slots.size(); i++) falls[i] = rider_table[slots[i]].fall_count;
    while (race_state.current_tick < drop + 15 * RACE_TICKS_PER_SECOND) {
        race_tick();
        for (size_t i = 0; i < slots.size(); i++) {
            rider_slot &s = rider_table[slots[i]];
            if (s.fall_count != falls[i] &&
                race_state.current_tick - s.last_rider_contact_tic <= RACE_TICKS_PER_SECOND)
                contact_falls++;
            falls[i] = s.fall_count;
            rider_spheres(&s, &spheres[i]);
        }
        for (size_t i = 0; i < slots.size(); i++)
            for (size_t j = i + 1; j < slots.size(); j++)
                for (const world_sphere &a : spheres[i])
                    for (const world_sphere &b : spheres[j]) {
                        double d = std::sqrt((a.c[0] - b.c[0]) * (a.c[0] - b.c[0]) + (a.c[1] - b.c[1]) * (a.c[1] - b.c[1]) +
                                             (a.c[2] - b.c[2]) * (a.c[2] - b.c[2]));
                        worst = std::fmax(worst, a.r + b.r - d);
                    }
    }
    EXPECT_LE(worst, 0.5);
    EXPECT_LE(contact_falls, 1);
    printf("deepest overlap %.3f ft; falls after touching another rider %d\n", worst, contact_falls);
}

namespace {

// The horizontal distance from (x, z) to the robot's working line, and the nearest point of
// the line in near[0], near[1] when asked.
double line_distance(rider_slot *s, double x, double z, double *near = nullptr) {
    const line_point *p = (const line_point *)s->working_line.items;
    int n = s->working_line.count;
    double best = 1e9;
    for (int i = 0; i + 1 < n; i++) {
        double ax = p[i].x, az = p[i].z, bx = p[i + 1].x - ax, bz = p[i + 1].z - az;
        double len2 = bx * bx + bz * bz;
        double u = len2 > 1e-9 ? ((x - ax) * bx + (z - az) * bz) / len2 : 0;
        u = u < 0 ? 0 : u > 1 ? 1 : u;
        double d = std::hypot(x - ax - u * bx, z - az - u * bz);
        if (d >= best) continue;
        best = d;
        if (near) near[0] = ax + u * bx, near[1] = az + u * bz;
    }
    return best;
}

// The horizontal distance from the frame to the robot's working line.
double off_line(rider_slot *s) {
    const float *f = frame_at((int)(s - rider_table));
    return line_distance(s, f[0], f[2]);
}

// Every body of the robot's bike put where `place` (body index, body) sets it, at rest.
template <class F>
void bike_put_at_rest(rider_slot *s, F place) {
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        place(b, body);
        dBodySetLinearVel(body, 0, 0, 0);
        dBodySetAngularVel(body, 0, 0, 0);
    }
}

// One robot racing one lap on the practice track, raced on to the first tick from 20 s of race
// clock at which it rides faster than 5 ft/s (not slowed in a turn) having advanced along its
// line within the last second: its slot (-1 when there is no such tick), and its unit heading
// there in (dx, dz).
int robot_at_a_spot(race_run_options *o, double *dx, double *dz) {
    int slot = one_robot_one_lap(o);
    if (slot < 0) return -1;
    rider_slot *s = &rider_table[slot];
    const dReal *v = dBodyGetLinearVel(bike_frame_body(s));
    double h = 0;
    while (race_state.current_tick < 40 * RACE_TICKS_PER_SECOND) {
        race_tick();
        h = std::hypot(v[0], v[2]);
        if (race_state.current_tick >= 20 * RACE_TICKS_PER_SECOND && h > 5.0 &&
            race_state.current_tick - s->robot.last_advance_tic < RACE_TICKS_PER_SECOND)
            break;
    }
    *dx = h > 0 ? v[0] / h : 0;
    *dz = h > 0 ? v[2] / h : 0;
    return h > 5.0 ? slot : -1;
}

}  // namespace

// A robot put 30 ft beside its line once it rides after 20 s of race clock, facing backwards
// and at rest, starts recovering within 3 s of its last advance, is back within 4 ft of its line
// and past its next checkpoint within 30 s, and finishes.
TEST_F(race_robot_race, OffItsLineItRecovers) {
    race_run_options o;
    double dx, dz;
    int slot = robot_at_a_spot(&o, &dx, &dz);
    ASSERT_GE(slot, 0);
    rider_slot *s = &rider_table[slot];
    // Half a turn about the frame's vertical, 30 ft to the right, every body at rest.
    const float *p = frame_at(slot);
    double cx = p[0], cz = p[2];
    dMatrix3 turn;
    dRFromAxisAndAngle(turn, 0, 1, 0, M_PI);
    bike_put_at_rest(s, [&](int, dBodyID body) {
        const dReal *q = dBodyGetPosition(body), *r = dBodyGetRotation(body);
        dMatrix3 turned;
        dMultiply0_333(turned, turn, r);
        dBodySetRotation(body, turned);
        dBodySetPosition(body, 2 * cx - q[0] - 30 * dz, q[1], 2 * cz - q[2] + 30 * dx);
    });
    int moved = race_state.current_tick, count = s->timing_count, recovering = -1, back = -1;
    while (race_state.current_tick < moved + 30 * RACE_TICKS_PER_SECOND && back < 0) {
        race_tick();
        if (recovering < 0 && s->robot.recovery > 0) {
            recovering = race_state.current_tick;
            // Seen after the tick that set it, on the clock that tick moved on.
            EXPECT_LE(recovering - s->robot.last_advance_tic, 3 * RACE_TICKS_PER_SECOND + 2);
        }
        if (s->timing_count > count && off_line(s) < 4) back = race_state.current_tick;
    }
    EXPECT_GE(recovering, 0);
    EXPECT_GE(back, 0);
    race_run_result r = race_run_ride(o);
    EXPECT_EQ(r.finished, 1);
}

// A robot held still for 45 s: it goes into recovery, its target jumps 40 s after its last
// advance, and once let go it passes its next checkpoint and finishes.
TEST_F(race_robot_race, PinnedItJumpsOnAndFinishes) {
    race_run_options o;
    int slot = one_robot_one_lap(&o);
    ASSERT_GE(slot, 0);
    rider_slot *s = &rider_table[slot];
    while (race_state.current_tick < 20 * RACE_TICKS_PER_SECOND) race_tick();
    dReal held[BIKE_BODIES][3 + 12];
    for (int b = 0; b < BIKE_BODIES; b++) {
        memcpy(held[b], dBodyGetPosition(bike_body_of(s, b)), 3 * sizeof(dReal));
        memcpy(held[b] + 3, dBodyGetRotation(bike_body_of(s, b)), 12 * sizeof(dReal));
    }
    auto hold = [&] {
        bike_put_at_rest(s, [&](int b, dBodyID body) {
            dBodySetPosition(body, held[b][0], held[b][1], held[b][2]);
            dBodySetRotation(body, held[b] + 3);
        });
    };
    int pinned = race_state.current_tick, count = s->timing_count, most = 0, jumped = -1;
    while (race_state.current_tick < pinned + 45 * RACE_TICKS_PER_SECOND) {
        hold();
        int last = s->robot.last_advance_tic, target = s->target_index;
        race_tick();
        most = std::max(most, s->robot.recovery);
        if (jumped < 0 && s->robot.last_advance_tic != last && race_state.current_tick - 1 - last > 40 * RACE_TICKS_PER_SECOND) {
            jumped = race_state.current_tick - 1;
            EXPECT_EQ(s->target_index, jumped % s->working_line.count) << "from " << target;
            EXPECT_EQ(s->robot.recovery, 3);
        }
    }
    EXPECT_EQ(most, 3);
    EXPECT_GE(jumped, 0);
    race_run_result r = race_run_ride(o);
    EXPECT_GT(s->timing_count, count);
    EXPECT_EQ(r.finished, 1);
}

namespace {

// A square pit in the current ground, centred on a sample and aligned with the grid: its floor
// 12 ft across and 10 ft below the ground around it, its walls at 60 degrees. (A bike rides out
// of a shallower one, climbing the walls aslant, where the ground beside the course slopes.)
struct ground_pit {
    double x, z;
    static constexpr double floor_half = 6, depth = 10;
    static double wall() { return depth / std::tan(M_PI / 3); }
    double reach(double px, double pz) const { return std::fmax(std::fabs(px - x), std::fabs(pz - z)); }
    bool holds(double px, double pz) const { return reach(px, pz) < floor_half + wall(); }
};

// Digs the pit at the sample nearest (x, z) into the heights the physics reads: false when it
// would not fit in the grid.
bool dig_pit(double x, double z, ground_pit *p) {
    terrain_field *f = terrain_current;
    double sp = f->spacing;
    int ci = (int)std::lround(x / sp), cj = (int)std::lround(z / sp);
    int reach = (int)std::ceil((ground_pit::floor_half + ground_pit::wall()) / sp);
    if (ci - reach < 0 || cj - reach < 0 || ci + reach >= f->n || cj + reach >= f->n) return false;
    *p = {ci * sp, cj * sp};
    for (int j = cj - reach; j <= cj + reach; j++)
        for (int i = ci - reach; i <= ci + reach; i++) {
            double w = (ground_pit::floor_half + ground_pit::wall() - p->reach(i * sp, j * sp)) / ground_pit::wall();
            double d = ground_pit::depth * (w < 0 ? 0 : w > 1 ? 1 : w);
            terrain_set_height(f, i, j, f->heights[i + (size_t)f->n * j] - (float)d);
        }
    return true;
}

// How far the ground's height varies around the rim of a pit centred at (x, z), in feet.
double rim_relief(double x, double z) {
    double r = ground_pit::floor_half + ground_pit::wall(), lo = 1e9, hi = -1e9;
    for (double a = -r; a <= r; a += 1)
        for (double b : {-r, r})
            for (float h : {terrain_height_at(terrain_current, (float)(x + a), (float)(z + b)),
                            terrain_height_at(terrain_current, (float)(x + b), (float)(z + a))})
                lo = std::fmin(lo, h), hi = std::fmax(hi, h);
    return hi - lo;
}

}  // namespace

// A robot dropped at rest into a pit dug beside its line, too deep to ride out of: it is still
// in 19 s after its last advance, is then carried toward its target at 4-6 ft/s, and is out
// and within 4 ft of its line 40 s after its last advance; then it finishes.
TEST_F(race_robot_race, InAPitItIsCarriedOut) {
    race_run_options o;
    double dx, dz;
    int slot = robot_at_a_spot(&o, &dx, &dz);
    ASSERT_GE(slot, 0);
    rider_slot *s = &rider_table[slot];
    const float *f = frame_at(slot);
    double fx = f[0], fz = f[2];
    float ground = terrain_height_at(terrain_current, (float)fx, (float)fz);
    // 12 ft from the line, on the side where the ground around the pit is flattest (the course,
    // not the slope beside it, which a bike climbs out by itself); on its floor the robot is off
    // the line.
    double near[2], off = line_distance(s, fx, fz, near);
    ASSERT_GT(off, 0.1);
    double ux = (fx - near[0]) / off, uz = (fz - near[1]) / off;
    double side = rim_relief(near[0] + 12 * ux, near[1] + 12 * uz) <= rim_relief(near[0] - 12 * ux, near[1] - 12 * uz)
                      ? 1
                      : -1;
    ground_pit pit;
    ASSERT_TRUE(dig_pit(near[0] + side * 12 * ux, near[1] + side * 12 * uz, &pit));
    for (double a = -pit.floor_half; a <= pit.floor_half; a += 1)
        for (double b = -pit.floor_half; b <= pit.floor_half; b += 1)
            ASSERT_GT(line_distance(s, pit.x + a, pit.z + b), 4.0) << a << " " << b;
    // Every body moved into the pit as it was, at rest, a quarter foot above the floor.
    double drop = terrain_height_at(terrain_current, (float)pit.x, (float)pit.z) - ground + 0.25;
    bike_put_at_rest(s, [&](int, dBodyID body) {
        const dReal *q = dBodyGetPosition(body);
        dBodySetPosition(body, q[0] + pit.x - fx, q[1] + drop, q[2] + pit.z - fz);
    });
    const int second = RACE_TICKS_PER_SECOND;
    const dReal *v = dBodyGetLinearVel(bike_frame_body(s));
    int dropped = race_state.current_tick, from = -1, carried = -1, carry_ticks = 0, out = -1;
    double toward = 0, fastest = 0;
    while (race_state.current_tick < dropped + 60 * second && out < 0) {
        int now = race_state.current_tick, last = s->robot.last_advance_tic;
        f = frame_at(slot);
        if (now == last + 19 * second) {
            EXPECT_TRUE(pit.holds(f[0], f[2])) << "19 s after advancing at " << last;
        }
        // The target of this tick, before the tick moves it on.
        int target = s->target_index;
        const line_point g = ((const line_point *)s->working_line.items)[target];
        race_tick();
        f = frame_at(slot);
        if (s->robot.last_advance_tic == last && now - last > 19 * second) {
            if (carried < 0) carried = now, from = last;
            double h = std::hypot(v[0], v[2]), tx = g.x - f[0], tz = g.z - f[2], d = std::hypot(tx, tz);
            toward += (v[0] * tx + v[2] * tz) / d;
            fastest = std::fmax(fastest, h);
            carry_ticks++;
        }
        if (!pit.holds(f[0], f[2]) && off_line(s) < 4) out = now;
    }
    ASSERT_GE(carried, 0);
    ASSERT_GT(carry_ticks, 0);
    toward /= carry_ticks;
    EXPECT_GE(toward, 4.0);
    EXPECT_LE(fastest, 6.0);
    ASSERT_GE(out, 0);
    EXPECT_LE(out - from, 40 * second);
    printf("carried from %.2f s after its last advance for %.2f s, %.2f ft/s toward its target "
           "(at most %.2f ft/s); out %.2f s after its last advance\n",
           (double)(carried - from) / second, (double)carry_ticks / second, toward, fastest,
           (double)(out - from) / second);
    race_run_result r = race_run_ride(o);
    EXPECT_EQ(r.finished, 1);
}

namespace {

// The median finish time (s from the drop) of a 2-lap race at a level, with every robot
// finishing.
float median_finish(const char *track, int level, int robots) {
    race_run_options o;
    o.track = track;
    o.level = level;
    o.robots = robots;
    o.laps = 2;
    if (race_run_reset(o) != 1) return 0;
    race_run_result r = race_run_ride(o);
    std::vector<float> totals;
    for (const race_run_robot &b : r.robots) {
        EXPECT_TRUE(b.finished) << track << " level " << level << " slot " << b.slot;
        totals.push_back(b.total);
    }
    return race_run_median(totals);
}

void expect_skill_order(const char *track, int robots) {
    float novice = median_finish(track, 0, robots), amateur = median_finish(track, 1, robots),
          expert = median_finish(track, 2, robots);
    EXPECT_GT(expert, 0) << track;
    EXPECT_LT(expert, amateur) << track;
    EXPECT_LT(amateur, novice) << track;
}

}  // namespace

// The levels order the riders: per track, the median finish time of a 2-lap race is shortest at
// Expert and longest at Novice (the same roster rows at every level).
TEST_F(race_robot_race, SkillOrdersThePracticeRace) {
    expect_skill_order("tracks/practice", 6);
}

TEST_F(race_robot_race, SkillOrdersTheHillsideRace) {
    expect_skill_order("tracks/hillside", 4);
}

namespace {

// How robots leave the gate and follow their working lines: a foot moved before the launch the
// start procedure drew, the way along the start straight 5 s after the drop; the ticks of normal
// driving (from 2 s after a robot first moves until it finishes, leaving out its falls and its
// recovery driving) and those of them with the frame within 4 ft of the line.
struct line_following {
    std::vector<int> slots;
    float yaw = 0;              // the start gates' facing
    float start[RIDER_SLOTS][3];
    int moved[RIDER_SLOTS];
    int early[RIDER_SLOTS];
    double along[RIDER_SLOTS];
    long ticks = 0, near = 0;
};

int count_following(void *context) {
    line_following &f = *(line_following *)context;
    int now = race_state.current_tick, drop = race_state.gate_drop_tick;
    for (int slot : f.slots) {
        rider_slot *s = &rider_table[slot];
        const float *p = frame_at(slot);
        double moved = std::hypot(p[0] - f.start[slot][0], p[2] - f.start[slot][2]);
        double launch = s->robot.start_timer * RACE_TICKS_PER_SECOND;
        if ((launch < drop || now < launch) && moved >= 1) f.early[slot]++;
        if (now == drop + 5 * RACE_TICKS_PER_SECOND)
            f.along[slot] = -(p[0] - f.start[slot][0]) * std::sin(f.yaw) - (p[2] - f.start[slot][2]) * std::cos(f.yaw);
        if (f.moved[slot] < 0 && moved > 1) f.moved[slot] = now;
        if (f.moved[slot] < 0 || now < f.moved[slot] + 2 * RACE_TICKS_PER_SECOND) continue;
        if (s->finished || s->robot.recovery > 0 || s->respawn_counter > 0) continue;
        f.ticks++;
        f.near += line_distance(s, p[0], p[2]) < 4;
    }
    return 1;
}

// A 2-lap race at a level: no robot moves a foot before its launch and each is 30 ft or more
// along the start straight 5 s after the drop; every robot finishes within 1.5 x the lines' own
// race + 30 s, each of its laps (the first from the gate) within 1.5 x the best robot's time for
// that lap; at most one fall in ten robot-laps and no bike reset; the frame within 4 ft of the
// working line in 95% of normal driving; at least 0.8 of the rated segments passed.
void expect_laps(const char *track, int level, int robots) {
    SCOPED_TRACE(std::string(track) + " level " + std::to_string(level));
    race_run_options o;
    o.track = track;
    o.level = level;
    o.robots = robots;
    o.laps = 2;
    ASSERT_EQ(race_run_reset(o), 1);
    line_following f;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) f.moved[slot] = -1, f.early[slot] = 0, f.along[slot] = 0;
    f.slots = robot_slots();
    for (int slot : f.slots) memcpy(f.start[slot], frame_at(slot), sizeof f.start[slot]);
    float place[3];
    race_start_place(0, place, &f.yaw);
    race_run_result r = race_run_ride(o, count_following, &f);
    ASSERT_EQ((int)r.robots.size(), robots);
    float best[2] = {1e9f, 1e9f};
    int falls = 0, laps = 0, passes = 0, failures = 0;
    for (const race_run_robot &b : r.robots) {
        EXPECT_EQ(f.early[b.slot], 0) << "slot " << b.slot;
        EXPECT_GE(f.along[b.slot], 30.0) << "slot " << b.slot;
        EXPECT_TRUE(b.finished) << "slot " << b.slot;
        EXPECT_LE(b.total, 1.5f * r.lines_race + 30) << "slot " << b.slot;
        EXPECT_EQ(b.resets, 0) << "slot " << b.slot;
        ASSERT_EQ(b.laps.size(), 2u) << "slot " << b.slot;
        for (int l = 0; l < 2; l++) best[l] = std::fmin(best[l], b.laps[(size_t)l]);
        falls += b.falls;
        laps += (int)b.laps.size();
        passes += b.passes;
        failures += b.failures;
    }
    for (const race_run_robot &b : r.robots)
        for (int l = 0; l < 2; l++)
            EXPECT_LE(b.laps[(size_t)l], 1.5f * best[l]) << "slot " << b.slot << " lap " << l + 1;
    EXPECT_LE(falls * 10, laps);
    ASSERT_GT(f.ticks, 0);
    double near = (double)f.near / f.ticks;
    EXPECT_GE(near, 0.95);
    EXPECT_GE(passes, 0.8 * (passes + failures));
    printf("%s level %d: best laps %.2f %.2f s, lines' race %.2f s, falls %d in %d laps, within 4 ft %.3f, "
           "passes %d of %d\n",
           track, level, best[0], best[1], r.lines_race, falls, laps, near, passes, passes + failures);
}

}  // namespace

// Robots race 2 laps at every level on each stock track and keep to their lines: 6 robots on
// the practice track, 4 on the hillside.
TEST_F(race_robot_race, LapsOnThePracticeTrack) {
    for (int level = 0; level < 3; level++) expect_laps("tracks/practice", level, 6);
}

TEST_F(race_robot_race, LapsOnTheHillside) {
    for (int level = 0; level < 3; level++) expect_laps("tracks/hillside", level, 4);
}
