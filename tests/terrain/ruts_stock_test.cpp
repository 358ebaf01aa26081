// Ruts on a stock track come out the same in every build: a fixed run of the synthetic wheel of
// terrain-info --ruts on "tracks/practice" leaves heights of a known digest. (Renew the value
// when the stock data changes: terrain-info @tracks/practice --ruts 60 68 180 68 4 --digest.)
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "race/track.h"
#include "tests/terrain/terrain_test_support.h"
#include "tools/terrain-info/ruts.h"

TEST(terrain_erode, stock_ruts_digest) {
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    auto window = std::make_unique<gl_test_window>();
    std::unique_ptr<terrain_field> f(new terrain_field{});
    track_name = "tracks/practice";
    track_read_lighting();
    ASSERT_EQ(terrain_load(f.get(), "@tracks/practice", TILE_RENDER_TEXSUBIMAGE), 1);
    terrain_field *previous = terrain_current;
    terrain_current = f.get();
    ruts_result r;
    ASSERT_EQ(ruts_run(60, 68, 180, 68, 4, &r), 1);
    EXPECT_EQ(r.points, 484);
    EXPECT_EQ(r.messages, 8);
    EXPECT_LT(fabs(r.deposited - r.dug), 1e-3 * r.dug);
    char hex[41];
    ruts_heights_digest(f.get(), hex);
    EXPECT_STREQ(hex, "b20a3282899809ed2ee17b630b808db027b6ef30");
    terrain_current = previous;
    terrain_free(f.get());
    track_name = nullptr;
    tex_purge(1);
    vfs_shutdown();
}
