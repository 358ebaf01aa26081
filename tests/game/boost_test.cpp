// The working-set request made after each race reset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "game/boost.h"
#include "tests/support/test_support.h"

TEST(game_boost, BoostProcessLogsTheWorkingSetRange) {
    temp_dir t;
    std::string log_path = t.file("log.txt");
    setenv("PLYX_LOGFILE", log_path.c_str(), 1);
    util_boost_process_for(4ull << 30);
    util_boost_process_for(64ull << 30);
    util_boost_process_for(32ull << 20);
    std::string log = test_read_file(log_path);
    auto count = [&](const std::string &what) {
        size_t n = 0;
        for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) n++;
        return n;
    };
    EXPECT_EQ(count("Setting working set range to 1073741824 - 2113929216\n"), 2u) << log;
    EXPECT_GE(count("Working set update failed\n"), 2u) << log;
    EXPECT_EQ(count("Working set left alone - less than 64 MB physical memory\n"), 1u) << log;
    EXPECT_EQ(count("Priority s"), 2u) << log;
    util_boost_process();  // the machine's own figures
    log = test_read_file(log_path);
    EXPECT_EQ(count("Priority s"), 3u) << log;
}
