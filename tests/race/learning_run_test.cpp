// Line learning end to end on the practice track: a person scripted along the stock lines for
// two laps from the drop learns a line for every segment but the last, and the next reset writes
// them to the home folder.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/vfs.h"
#include "race/laps.h"
#include "race/lines.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"
#include "tools/ride-log/race_run.h"

namespace {

// The scripted ride: points with speeds, walked at the speed of the point behind.
struct scripted_path {
    std::vector<line_point> points;
    size_t at = 0;       // the segment being walked: points[at] -> points[at + 1]
    double along = 0;    // ft past points[at]
};
scripted_path ride;
int riding = 0;          // 0 until the drop

void add_line(const line_slot &slot, float beside) {
    for (int i = 0; i < slot.point_count; i++) {
        line_point p = slot.points[i];
        int j = i + 1 < slot.point_count ? i + 1 : i - 1;
        double dx = slot.points[j].x - p.x, dz = slot.points[j].z - p.z, d = std::hypot(dx, dz);
        if (d > 1e-6) {
            double s = (j > i ? 1 : -1) * beside / d;
            p.x += (float)(dz * s);   // the left of the direction of travel
            p.z -= (float)(dx * s);
        }
        ride.points.push_back(p);
    }
}

int scripted_gather(int slot, lap_sample_input *in) {
    (void)slot;
    *in = {};   // upright all the way: the bike's own state plays no part
    const std::vector<line_point> &p = ride.points;
    if (!riding || ride.at + 1 >= p.size()) {
        const line_point &q = riding ? p.back() : p.front();
        in->position[0] = q.x, in->position[1] = q.y, in->position[2] = q.z;
        in->forward[2] = -1;
        return 1;
    }
    const line_point &a = p[ride.at], &b = p[ride.at + 1];
    double len = std::hypot(b.x - a.x, b.z - a.z), f = len > 1e-6 ? ride.along / len : 1;
    in->position[0] = (float)(a.x + f * (b.x - a.x));
    in->position[1] = (float)(a.y + f * (b.y - a.y));
    in->position[2] = (float)(a.z + f * (b.z - a.z));
    in->forward[0] = len > 1e-6 ? (float)((b.x - a.x) / len) : 0;
    in->forward[2] = len > 1e-6 ? (float)((b.z - a.z) / len) : -1;
    in->speed = std::fabs(a.speed);
    in->airborne = a.speed < 0;
    in->tilt = a.tilt;
    return 1;
}

// One tick's walk along the path.
void walk() {
    if (!riding) return;
    double step = std::fmax(std::fabs(ride.points[ride.at].speed), 10.0) / RACE_TICKS_PER_SECOND;
    ride.along += step;
    while (ride.at + 1 < ride.points.size()) {
        const line_point &a = ride.points[ride.at], &b = ride.points[ride.at + 1];
        double len = std::hypot(b.x - a.x, b.z - a.z);
        if (ride.along < len) break;
        ride.along -= len;
        ride.at++;
    }
}

int used_slots(int row) {
    const line_slot *r = line_store_row(row);
    int n = 0;
    for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) n += r[k].point_count > 0;
    return n;
}

}  // namespace

TEST(race_learning, TwoScriptedLapsOnThePracticeTrack) {
    temp_dir home;
    test_isolate_home(home);
    std::string game = test_binary_dir() + "/game";
    setenv("ZR_HOME", game.c_str(), 1);
    std::string archive = test_read_file(game + "/zzzz.saf");
    vfs_build_index();
    gl_test_window window(320, 320);
    ASSERT_NE(window.w, nullptr) << plyx_last_error();
    game_settings.roost_frequency = 0;
    game_settings.autopilot_learning = 1;
    ASSERT_EQ(race_run_open(), 1);
    settings.track.options = nullptr;
    race_run_options o;
    o.robots = 0;
    ASSERT_EQ(race_run_reset(o), 1);   // selects the track
    for (int &role : race_lineup) role = 0;
    race_lineup[0] = 1;
    race_state.current_tick = 0;
    ASSERT_EQ(race_reset(race_lineup, 0, 0, 0, 2, 0), 1);
    ASSERT_EQ(race_state.final_lap, 2);
    ASSERT_EQ(line_store.row_count, 12);
    int f = timing_gates.first_lap_timed;
    std::vector<int> before;
    for (int r = 0; r < 12; r++) before.push_back(used_slots(r));
    EXPECT_EQ(before[0], 8);
    for (int r = 1; r < 12; r++) EXPECT_EQ(before[(size_t)r], 4) << "row " << r;

    // Beside gate 0's row-0 line, then the second lane from the left of every row for two laps.
    float gate[3], yaw;
    race_start_place(0, gate, &yaw);
    const line_slot *row0 = line_store_row(0);
    int first = 0;
    for (int k = 1; k < LINE_SLOTS_PER_SEGMENT; k++)
        if (row0[k].point_count > 0 && std::hypot(row0[k].points[0].x - gate[0], row0[k].points[0].z - gate[2]) <
                                           std::hypot(row0[first].points[0].x - gate[0], row0[first].points[0].z - gate[2]))
            first = k;
    ride = {};
    add_line(row0[first], 0.5f);
    for (int r = 1; r < 12; r++) add_line(line_store_row(r)[1], 0);
    for (int r = f; r < 12; r++) add_line(line_store_row(r)[1], 0);
    autopilot_gather_hook = scripted_gather;
    riding = 0;

    int drop = race_state.gate_drop_tick, finish_tick = -1;
    while (race_state.current_tick < drop + 120 * RACE_TICKS_PER_SECOND && !rider_table[0].finished) {
        riding = race_state.current_tick >= drop;
        race_tick();
        walk();
    }
    autopilot_gather_hook = autopilot_gather;
    ASSERT_TRUE(rider_table[0].finished);
    finish_tick = rider_timing_tic(0, rider_timing_count(0) - 1);
    int laps = 0, index = 0;
    rider_lap_progress(0, &laps, &index);
    EXPECT_EQ(laps, 2);
    // Lap 1 from the drop: the two laps add up to the drop-to-finish time.
    float total = (float)(finish_tick - drop) / RACE_TICKS_PER_SECOND;
    EXPECT_NEAR(rider_lap_time(0, 1) + rider_lap_time(0, 2), total, 0.02f);
    EXPECT_GT(rider_lap_time(0, 1), 5.0f);
    for (int r = 0; r < 12; r++)
        EXPECT_EQ(used_slots(r), before[(size_t)r] + (r < 11 ? 1 : 0)) << "row " << r;

    // The next reset writes the learned store to the home folder; read back and written again it
    // gives the same bytes, and the archive is untouched.
    race_state.current_tick = 0;
    ASSERT_EQ(race_reset(race_lineup, 0, 0, 0, 2, 0), 1);
    std::string folder = home.file("xdg/ZR Simulator/tracks/practice/");
    std::string written = test_read_file(folder + "lines_novice");
    ASSERT_FALSE(written.empty());
    EXPECT_TRUE(test_read_file(folder + "lines_novice.tmp").empty());
    for (int r = 0; r < 12; r++) EXPECT_EQ(used_slots(r), before[(size_t)r] + (r < 11 ? 1 : 0)) << "row " << r;
    autopilot_write_lines(0);
    EXPECT_EQ(test_read_file(folder + "lines_novice"), written);
    EXPECT_EQ(test_read_file(game + "/zzzz.saf"), archive);
    game_settings.autopilot_learning = 0;
    race_run_close();
}
