// The track tools on the stock data: terrain-info --objects counts a track's trackside world and
// prints its hash; ride-log script runs the track's own script, or a hanging one that is stopped
// while the race goes on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

std::vector<std::string> tool_env(const temp_dir &t) {
    return {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + t.path, "SDL_AUDIODRIVER=dummy"};
}

int count_of(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

}  // namespace

TEST(tools_track, TerrainInfoObjects) {
    temp_dir t;
    std::string tool = test_binary_dir() + "/tools/terrain-info", out, again;
    ASSERT_EQ(test_run({tool, "@tracks/hillside", "--objects"}, tool_env(t), &out), 0) << out;
    EXPECT_NE(out.find("k=8 n=513 spacing=2 extent=1024"), std::string::npos) << out;
    EXPECT_NE(out.find("statues=71 arms="), std::string::npos) << out;
    EXPECT_NE(out.find("billboards=172 particles=2000 flaggers=6 cameras=8 flares=1 fog=0.0005 near=0.25 "
                       "far=6000 sky=6 grid_max="),
              std::string::npos)
        << out;
    size_t hash = out.find("hash=");
    ASSERT_NE(hash, std::string::npos) << out;
    std::string digits = out.substr(hash + 5, 40);
    EXPECT_EQ(digits.find_first_not_of("0123456789abcdef"), std::string::npos) << digits;
    // The same files give the same hash.
    ASSERT_EQ(test_run({tool, "@tracks/hillside", "--objects"}, tool_env(t), &again), 0) << again;
    EXPECT_NE(again.find("hash=" + digits), std::string::npos);
    ASSERT_EQ(test_run({tool, "@tracks/practice", "--objects"}, tool_env(t), &out), 0) << out;
    EXPECT_NE(out.find("statues=19 arms="), std::string::npos) << out;
    EXPECT_NE(out.find("cameras=3 flares=0 fog=0.0005 near=0.25 far=2000 sky=6"), std::string::npos) << out;
    EXPECT_NE(out.find("flaggers=0"), std::string::npos) << out;
}

TEST(tools_track, RideLogScript) {
    temp_dir t;
    std::string tool = test_binary_dir() + "/tools/ride-log", out;
    ASSERT_EQ(test_run({tool, "script", "--track", "practice", "--seconds", "3"}, tool_env(t), &out), 0) << out;
    EXPECT_EQ(count_of(out, "windsock yaw="), 3) << out;
    EXPECT_NE(out.find("t=3.0 windsock yaw=-"), std::string::npos) << out;
    EXPECT_NE(out.find("crowd vol=0.50"), std::string::npos) << out;
    EXPECT_EQ(count_of(out, "javascript error"), 0) << out;

    // A handler that never returns: stopped once, with its file and line; the race goes on.
    std::string hang = test_source_dir() + "/tests/script/data/hang_tick.js";
    ASSERT_EQ(test_run({tool, "script", "--track", "practice", "--script", hang, "--seconds", "2"}, tool_env(t),
                       &out),
              0)
        << out;
    EXPECT_EQ(count_of(out, "javascript error: " + hang + ":3: RangeError: execution timeout"), 1) << out;
    EXPECT_EQ(count_of(out, "Warning: track script stopped"), 1) << out;
    EXPECT_NE(out.find("t=2.0 windsock"), std::string::npos) << out;

    EXPECT_EQ(test_run({tool, "script"}, tool_env(t), &out), 2);
    EXPECT_EQ(test_run({tool, "script", "--track", "practice", "--seconds", "nan"}, tool_env(t), &out), 2);
}
