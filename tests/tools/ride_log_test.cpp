// ride-log gate: the first race as start-up runs it on both stock tracks; held at the gate
// until the drop, the arm falls within a quarter second and the bike rides off over it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/test_support.h"

TEST(tools_ride_log, GateStartOnBothStockTracks) {
    temp_dir t;
    std::string tool = test_binary_dir() + "/tools/ride-log";
    std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + t.path};
    struct {
        const char *track;
        int gates;
    } cases[] = {{"practice", 4}, {"tracks/hillside", 6}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.track);
        std::string out;
        ASSERT_EQ(test_run({tool, "gate", "--track", c.track}, env, &out, 300), 0) << out;
        size_t at = out.find("gate 0 of ");
        ASSERT_NE(at, std::string::npos) << out;
        int gates = 0, row = -1, drop = 0, down = 0;
        float x, z, angle, past = 0;
        ASSERT_EQ(sscanf(out.c_str() + at,
                         "gate 0 of %d at (%f, %f) angle %f; rider on row %d; drop at tick %d; arm down at "
                         "tick %d; %f ft past the gate 3 s later",
                         &gates, &x, &z, &angle, &row, &drop, &down, &past),
                  8)
            << out.substr(at);
        EXPECT_EQ(gates, c.gates);
        EXPECT_EQ(row, 0);
        EXPECT_GE(drop, 1664);
        EXPECT_LE(drop, 1919);
        EXPECT_GT(down, drop);
        EXPECT_LE(down, drop + 32);
        EXPECT_GE(past, 20);
        // Held: the arm stays up and the bike still until the drop.
        EXPECT_NE(out.find("tick 1600 at "), std::string::npos);
        size_t held = out.find("tick 1600 at ");
        std::string line = out.substr(held, out.find('\n', held) - held);
        EXPECT_NE(line.find("arm=1.00"), std::string::npos) << line;
        float speed = -1;
        ASSERT_EQ(sscanf(line.c_str() + line.find("speed"), "speed %f", &speed), 1) << line;
        EXPECT_LT(speed, 0.5f) << line;
    }
}

// The riding-control rides end in their result lines: a left turn with the bike leaning left, a
// crash into the rail and the rider back on with the joint's anchors together, a bike on its
// side without a reset, and the rider thrown off by the 64 ft drop only.
TEST(tools_ride_log, ControlRides) {
    temp_dir t;
    std::string tool = test_binary_dir() + "/tools/ride-log";
    std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + t.path};
    auto last_line = [](const std::string &out, const char *start) {
        size_t at = out.rfind(start);
        return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
    };
    std::string out;
    ASSERT_EQ(test_run({tool, "turn"}, env, &out, 300), 0) << out;
    std::string line = last_line(out, "turned ");
    float degrees = 0, tilt = 0;
    ASSERT_EQ(sscanf(line.c_str(), "turned %f degrees left, tilt %f", &degrees, &tilt), 2) << out;
    EXPECT_GE(degrees, 20);
    EXPECT_GT(tilt, 0);
    EXPECT_LT(tilt, 1);

    ASSERT_EQ(test_run({tool, "crash"}, env, &out, 300), 0) << out;
    line = last_line(out, "fell at tick ");
    int fell = 0, back = 0;
    ASSERT_EQ(sscanf(line.c_str(), "fell at tick %d, rejoined at tick %d", &fell, &back), 2) << out;
    EXPECT_GE(back - fell, 512);
    EXPECT_NE(line.find(", anchors equal"), std::string::npos) << line;

    ASSERT_EQ(test_run({tool, "side"}, env, &out, 300), 0) << out;
    EXPECT_NE(out.find("\n10 s on its side, no reset\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Warning: "), std::string::npos) << out;

    ASSERT_EQ(test_run({tool, "drop"}, env, &out, 300), 0) << out;
    EXPECT_NE(out.find("\n4 ft: rider on; 64 ft: rider off\n"), std::string::npos) << out;
}

// ride-log launch on a track: the wheels throw roost as in the game; every line counts the
// particles in the air, which rise while the rear wheel spins and fall back to none as it lands.
TEST(tools_ride_log, LaunchOnATrackCountsTheRoost) {
    temp_dir t;
    std::string tool = test_binary_dir() + "/tools/ride-log";
    std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + t.path};
    std::string out;
    ASSERT_EQ(test_run({tool, "launch", "--track", "tracks/hillside"}, env, &out, 300), 0) << out;
    int lines = 0, most = 0, after_most = -1;
    for (size_t at = out.find("t="); at != std::string::npos; at = out.find("\nt=", at + 1)) {
        size_t end = out.find('\n', at + 1);
        std::string line = out.substr(at, end - at);
        size_t p = line.find(" particles=");
        ASSERT_NE(p, std::string::npos) << line;
        int n = atoi(line.c_str() + p + 11);
        lines++;
        if (n > most) most = n, after_most = n;
        else if (after_most >= 0 && n < after_most) after_most = n;
    }
    EXPECT_GE(lines, 100);
    EXPECT_GT(most, 0) << out;
    EXPECT_LT(after_most, most) << out;   // the roost lands again
}
