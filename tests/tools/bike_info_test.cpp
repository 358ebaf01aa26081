// The bike table's files in the stock archive, and the bike-info tool's lines and exit codes.
#include <gtest/gtest.h>

#include <string>

#include "bike/bike_info.h"
#include "core/folders.h"
#include "core/vfs.h"
#include "tests/support/test_support.h"

TEST(tools_bike_info, EveryFileOfEveryRowIsInTheArchive) {
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    ASSERT_EQ(vfs_locate_game_data(), 1);
    vfs_build_index();
    for (const bike_info &row : bike_info_table)
        for (int i = 0; i < BIKE_INFO_FILES; i++) {
            const char *name = bike_file(&row, i);
            ASSERT_EQ(name[0], '@');
            EXPECT_GE(vfs_index_find(name + 1), 0) << row.name << " file " << i << " " << name;
        }
    vfs_shutdown();
}

TEST(tools_bike_info, LinesAndExitCodes) {
    temp_dir t;
    std::string tool = test_binary_dir() + "/tools/bike-info";
    std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game",
                                    "XDG_DATA_HOME=" + t.path};
    std::string out;
    ASSERT_EQ(test_run({tool, "yz250f(2017)"}, env, &out), 0) << out;
    EXPECT_NE(out.find("row 49 class 250f total_mass 12.68625 final_drive 3.846154 setup_flags 0x8d "
                       "joints 0 rider seated"), std::string::npos) << out;
    ASSERT_EQ(test_run({tool, "zz450x"}, env, &out), 0) << out;
    EXPECT_NE(out.find("bike info for 'zz450x' not found using 'kx250f(2007)' instead"), std::string::npos) << out;
    ASSERT_EQ(test_run({tool, "--pack", "cr125"}, env, &out), 0) << out;
    EXPECT_NE(out.find("round trip: equal"), std::string::npos) << out;
    ASSERT_EQ(test_run({tool, "--all"}, env, &out), 0) << out;
    EXPECT_NE(out.find("80 rows loaded, 0 warnings"), std::string::npos) << out;
    EXPECT_EQ(test_run({tool}, env, &out), 2);
    EXPECT_EQ(test_run({tool, "--bogus", "x", "y"}, env, &out), 2);
}
