// The message log, the string pool and the heapsort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/globals.h"
#include "core/util.h"
#include "tests/support/test_support.h"

TEST(core_console, RingWrapsAndCutsLongLines) {
    console_clear();
    for (int i = 0; i < 1000; i++) console_print(("line " + std::to_string(i)).c_str());
    EXPECT_EQ(console_log.head, 0);
    EXPECT_STREQ(console_log.lines[999], "line 999");
    console_print(std::string(300, 'y').c_str());
    EXPECT_EQ(console_log.head, 1);
    EXPECT_EQ(std::string(console_log.lines[0]), std::string(255, 'y'));
    EXPECT_STREQ(console_log.lines[1], "line 1");
}

TEST(core_console, LogFileLines) {
    temp_dir dir;
    std::string log = dir.file("log.txt");
    setenv("PLYX_LOGFILE", log.c_str(), 1);
    console_clear();
    console_print("plain");
    console_print("ends\n");
    console_print("\033[31mred");
    console_print("100% sure");
    console_print("a [SPAM] line");
    spam_filter = 0;
    console_print("b [SPAM] line");
    std::string text = test_read_file(log);
    EXPECT_NE(text.find("] plain\n"), std::string::npos);
    EXPECT_NE(text.find("] ends\n"), std::string::npos);
    EXPECT_EQ(text.find("ends\n\n"), std::string::npos);
    EXPECT_NE(text.find("\033[31mred\033[0m\n"), std::string::npos);
    EXPECT_NE(text.find("] 100% sure\n"), std::string::npos);
    EXPECT_EQ(text.find("a [SPAM]"), std::string::npos);
    EXPECT_NE(text.find("b [SPAM]"), std::string::npos);
    // The filtered line never reached the ring either.
    EXPECT_STREQ(console_log.lines[3], "100% sure");
    EXPECT_STREQ(console_log.lines[4], "b [SPAM] line");
}

TEST(core_console, VisibleCountOverTime) {
    struct {
        int lines;
        int counts[5];  // after the three messages at t = 0, then at t = 1.9, 2.1, 7.1, 12.1
    } cases[] = {{3, {3, 3, 2, 2, 1}}, {0, {0, 0, 0, 0, 0}}};
    for (auto &c : cases) {
        console_clear();
        message_lines = c.lines;
        frame_clock = 0;
        for (int i = 0; i < 3; i++) console_print("m");
        EXPECT_EQ(console_log.visible_count, c.counts[0]);
        double times[] = {1.9, 2.1, 7.1, 12.1};
        for (int i = 0; i < 4; i++) {
            frame_clock = times[i];
            console_expire();
            EXPECT_EQ(console_log.visible_count, c.counts[i + 1]) << c.lines << " at " << times[i];
        }
    }
}

TEST(core_util, InternGivesOnePointerPerText) {
    std::string a = "Texture", b = "Texture";
    const char *p = util_intern(a.c_str());
    EXPECT_EQ(p, util_intern(b.c_str()));
    EXPECT_NE(p, util_intern("texture"));
    EXPECT_NE(p, a.c_str());
    for (int i = 0; i < 100; i++) util_intern(("name" + std::to_string(i)).c_str());
    EXPECT_EQ(p, util_intern("Texture"));
    util_intern_free_all();
}

static int compare_ints(const void *a, const void *b) {
    int x = *(const int *)a, y = *(const int *)b;
    return (x > y) - (x < y);
}

TEST(core_util, HeapsortEqualsStdSort) {
    std::mt19937 rng(7);
    for (int n : {0, 1, 2, 3, 10, 100, 1000}) {
        std::vector<int> v(n);
        for (int &x : v) x = (int)(rng() % 50);
        std::vector<int> want = v;
        std::sort(want.begin(), want.end());
        util_heapsort(v.data(), n, sizeof(int), compare_ints);
        EXPECT_EQ(v, want) << n;
    }
    int two[2] = {5, 3};
    util_heapsort(two, 1, sizeof(int), compare_ints);
    EXPECT_EQ(two[0], 5);
}
