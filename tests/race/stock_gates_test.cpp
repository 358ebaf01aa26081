// The stock tracks' timing gates through the game's reader and writer, and the track hash over
// the files that make a track ride as it does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/digest.h"
#include "core/folders.h"
#include "core/mem.h"
#include "core/stream.h"
#include "core/util.h"
#include "core/vfs.h"
#include "race/lines.h"
#include "race/objects.h"
#include "race/robots.h"
#include "bike/shape.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "race/track.h"
#include "race/track_hash.h"
#include "terrain/terrain.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

namespace {

struct stock_fixture {
    temp_dir home;
    stock_fixture() {
        test_isolate_home(home);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        vfs_shutdown();
        vfs_build_index();
        track_lists_create();
        console_clear();
    }
    ~stock_fixture() {
        track_lists_free();
        track_name = nullptr;
        vfs_shutdown();
    }
};

// The file's bytes as the game reads them ("" when missing).
std::string member(const std::string &name) {
    file_stream *s = stream_open(name.c_str(), "rb");
    if (!s) return "";
    std::string bytes;
    char buffer[4096];
    int n;
    while ((n = stream_read(s, buffer, (int)sizeof buffer)) > 0) bytes.append(buffer, (size_t)n);
    stream_close(s);
    return bytes;
}

int lap_entry(int i) {
    return ((const int *)timing_gates.lap_list.items)[i];
}

}  // namespace

TEST(race_stock_gates, AcceptedWrittenBackAlikeAndStartPlacesClear) {
    stock_fixture f;
    struct {
        const char *track;
        int checkpoints, gates, timed, rows;
        float radius;
        int lanes;
    } cases[] = {{"tracks/practice", 6, 4, 6, 6, 15, 4}, {"tracks/hillside", 12, 6, 11, 7, 20, 6}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.track);
        track_name = util_intern(c.track);
        std::string file = std::string("@") + c.track + "/timing_gates";
        track_read_timing_gates(file.c_str());
        ASSERT_EQ(timing_gates.count, c.checkpoints);
        EXPECT_EQ(race_state.gate_count, c.gates);
        EXPECT_EQ(timing_gates.first_lap_length, c.checkpoints);
        EXPECT_EQ(timing_gates.lap_length, c.checkpoints);
        EXPECT_EQ(timing_gates.first_lap_timed, c.timed);
        EXPECT_EQ(timing_gates.lap_timed, c.timed);
        EXPECT_EQ(lap_entry(c.checkpoints - 1), 0);   // each lap ends at the finish line
        for (int g = 0; g < c.gates; g++) {
            EXPECT_GE(starting_gates[g].statue, 0);
            EXPECT_STREQ(starting_gates[g].shape, "@startgate.shp");
            const statue &arm = ((const statue *)track_statues.items)[starting_gates[g].statue];
            ASSERT_NE(arm.shape, nullptr);
            EXPECT_EQ(arm.shape->count, 15);
        }
        // Every start place of the rows lies outside the pass zones of the first three entries.
        for (int k = 0; k < c.gates * c.rows; k++) {
            float p[3], yaw;
            race_start_place(k, p, &yaw);
            EXPECT_FLOAT_EQ(yaw, starting_gates[0].angle);
            for (int position = 0; position < 3; position++) {
                const checkpoint &cp = timing_gates.checkpoints[lap_entry(position) % TIMING_NO_SEGMENT];
                EXPECT_FLOAT_EQ(cp.value, c.radius);
                double dx = p[0] - cp.a[0], dz = p[2] - cp.a[2];
                bool inside = dx * dx + dz * dz <= (double)cp.value * cp.value;
                EXPECT_FALSE(inside && dx * cp.b[0] + dz * cp.b[2] >= 0) << "start " << k;
            }
        }
        // Gate 0 stands on the inside of the first turn: the course turns towards it.
        const checkpoint *turned = nullptr;
        for (int i = 0; i < timing_gates.count && !turned; i++) {
            const checkpoint &cp = timing_gates.checkpoints[lap_entry(i) % TIMING_NO_SEGMENT];
            if (std::fabs(cp.b[0] * cos(starting_gates[0].angle) - cp.b[2] * sin(starting_gates[0].angle)) > 0.1)
                turned = &cp;
        }
        ASSERT_NE(turned, nullptr);
        const checkpoint &next = *turned;
        float centre_x = 0, centre_z = 0;
        for (int g = 0; g < c.gates; g++) {
            centre_x += starting_gates[g].position[0] / (float)c.gates;
            centre_z += starting_gates[g].position[2] / (float)c.gates;
        }
        float to_gate0_x = starting_gates[0].position[0] - centre_x,
              to_gate0_z = starting_gates[0].position[2] - centre_z;
        EXPECT_GT(to_gate0_x * next.b[0] + to_gate0_z * next.b[2], 0.0f);
        // The three line files fit the gates and read back to the same bytes.
        for (int level = 0; level < 3; level++) {
            std::string lines = std::string("@") + c.track + "/" + lines_file_name(level);
            file_stream *in = stream_open(lines.c_str(), "rb");
            ASSERT_NE(in, nullptr) << lines;
            console_clear();
            lines_read(in, lines.c_str());
            stream_close(in);
            EXPECT_STREQ(console_log.lines[0], "") << lines;
            EXPECT_EQ(line_row_used(0), 2 * c.gates) << lines;
            for (int r = 1; r < line_store.row_count; r++) EXPECT_EQ(line_row_used(r), c.lanes) << lines << " row " << r;
            char problem[200] = "";
            EXPECT_EQ(autopilot_check_joins(problem, sizeof problem), 1) << problem;
            std::string copy = f.home.file("copy");
            file_stream *out = stream_open(copy.c_str(), "wb");
            ASSERT_NE(out, nullptr);
            EXPECT_EQ(lines_write(out), 1);
            stream_close(out);
            EXPECT_EQ(test_read_file(copy), member(lines)) << lines;
        }
        line_store_clear();
        // Saving the loaded gates gives the stock bytes.
        std::string stock = member(file);
        ASSERT_EQ(track_write_timing_gates(), 1);
        EXPECT_EQ(test_read_file(f.home.file("xdg/ZR Simulator/" + std::string(c.track) + "/timing_gates")), stock);
        for (int i = 0; i < track_statues.count; i++) track_free_statue(i);
        track_statues.count = 0;
    }
}

// The hash is RIPEMD-160 over terrain.hf, terrain.png, texturelist, tilemap, tileinfo,
// timing_gates, statues and each distinct statue shape, a missing file adding nothing.
TEST(race_stock_gates, TrackHash) {
    stock_fixture f;
    gl_test_window window(320, 320);
    ASSERT_NE(window.w, nullptr);
    std::vector<std::string> shapes;   // the distinct statue shapes of the last load, in row order
    auto load = [&shapes] {
        track_name = util_intern("tracks/practice");
        vfs_shutdown();
        vfs_build_index();
        EXPECT_EQ(track_load(), 1);
        std::string hash((const char *)track_hash, 20);
        shapes.clear();
        const statue *rows = (const statue *)track_statues.items;
        for (int i = 0; i < track_statues.count; i++)
            if (rows[i].shape && rows[i].shape->name &&
                std::find(shapes.begin(), shapes.end(), rows[i].shape->name) == shapes.end())
                shapes.push_back(rows[i].shape->name);
        track_unload();
        return hash;
    };
    // The practice track has no "terrain.png" or "texturelist"; its statues follow the four
    // gate arms, which share one shape.
    ASSERT_EQ(member("@tracks/practice/terrain.png"), "");
    ASSERT_EQ(member("@tracks/practice/texturelist"), "");
    std::string stock = load();
    ASSERT_FALSE(shapes.empty());
    EXPECT_EQ(shapes[0], "@startgate.shp");
    std::string bytes;
    for (const char *file : {"terrain.hf", "tilemap", "tileinfo", "timing_gates", "statues"})
        bytes += member(std::string("@tracks/practice/") + file);
    for (const std::string &shape : shapes) bytes += member(shape);
    ripemd160_state s;
    ripemd160_init(&s);
    ripemd160_update(&s, bytes.data(), bytes.size());
    ripemd160_final(&s);
    EXPECT_EQ(stock, std::string((const char *)s.digest, 20));
    EXPECT_STREQ(track_description, nullptr);

    // Files outside the hash change nothing; a changed gate shape does.
    std::string track_home = f.home.file("xdg/ZR Simulator/tracks/practice");
    ASSERT_TRUE(test_write_file(track_home + "/decals", "\n"));
    ASSERT_TRUE(test_write_file(track_home + "/lines_novice", "ct03 12\n"));
    EXPECT_EQ(load(), stock);
    ASSERT_TRUE(test_write_file(f.home.file("xdg/ZR Simulator/startgate.shp"), member("@startgate.shp") + "\n"));
    EXPECT_NE(load(), stock);
}
