// Platform options, growable arrays, the clock and sleep, and the error box.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/plyx.h"
#include "tests/support/test_support.h"

TEST(platform_options, Table) {
    temp_dir dir;
    std::string log = dir.file("log.txt");
    setenv("PLYX_LOGFILE", log.c_str(), 1);
    setenv("PLYX_OPTIONS",
           "junk [threaded:on] [dsnd:NO] [waveout:maybe] [sound-rate:44100junk] "
           "[sound-channels:x] [sound-mixahead:99999999999] [dinput:off][dinputsticksonly:yes]",
           1);
    EXPECT_EQ(plyx_option_bool("threaded", 0), 1);
    EXPECT_EQ(plyx_option_bool("dsnd", 1), 1);      // case-sensitive words
    EXPECT_EQ(plyx_option_bool("waveout", 0), 0);
    EXPECT_EQ(plyx_option_bool("dinput", 1), 0);
    EXPECT_EQ(plyx_option_bool("dinputsticksonly", 0), 1);
    EXPECT_EQ(plyx_option_bool("absent", 1), 1);
    EXPECT_EQ(plyx_option_int("sound-rate", 22050), 44100);
    EXPECT_EQ(plyx_option_int("sound-channels", 16), 16);
    EXPECT_EQ(plyx_option_int("sound-mixahead", 125), 125);  // beyond int: not wrapped
    EXPECT_EQ(plyx_option_int("absent", 7), 7);
    std::string text = test_read_file(log);
    for (const char *name : {"dsnd", "waveout", "sound-channels", "sound-mixahead"})
        EXPECT_NE(text.find(std::string("unrecognized setting for ") + name + "\n"),
                  std::string::npos)
            << name;
    EXPECT_EQ(text.find("unrecognized setting for threaded"), std::string::npos);
}

TEST(platform_array, DoublesAndKeepsElements) {
    growable_array a;
    ASSERT_EQ(plyx_array_init(&a, sizeof(int), 16), 1);
    for (int i = 0; i < 16; i++) ASSERT_EQ(plyx_array_append(&a, &i), 1);
    EXPECT_EQ(a.capacity, 16);
    int v = 16;
    ASSERT_EQ(plyx_array_append(&a, &v), 1);
    EXPECT_EQ(a.capacity, 32);
    EXPECT_EQ(a.count, 17);
    for (int i = 0; i < 17; i++) EXPECT_EQ(((int *)a.items)[i], i);
    ASSERT_EQ(plyx_array_append(&a, nullptr), 1);
    EXPECT_EQ(((int *)a.items)[17], 0);
    plyx_array_free(&a);
}

TEST(platform_array, CapacityZeroIsRefused) {
    growable_array a;
    EXPECT_EQ(plyx_array_init(&a, sizeof(int), 0), 0);
    int v = 1;
    EXPECT_EQ(plyx_array_append(&a, &v), 0);
    EXPECT_EQ(a.count, 0);
    // A hand-made array whose doubled size would overflow is left as it was.
    char element[8] = {0};
    growable_array big = {element, 0x40000000, 0x40000000, 8};
    EXPECT_EQ(plyx_array_append(&big, element), 0);
    EXPECT_EQ(big.count, 0x40000000);
}

TEST(platform_clock, SleepReachesItsDeadline) {
    for (int us : {1000, 2500, 62500}) {
        int s0, u0, s1, u1, late_s, late_us;
        plyx_time(&s0, &u0);
        plyx_sleep(0, us, &late_s, &late_us);
        plyx_time(&s1, &u1);
        long elapsed = (long)(s1 - s0) * 1000000 + (u1 - u0);
        EXPECT_GE(late_s * 1000000L + late_us, 0);
        // The clock has millisecond steps: a wait of d has seen the clock move by at least d
        // rounded down to whole milliseconds.
        EXPECT_GE(elapsed, us / 1000 * 1000) << us;
        EXPECT_EQ(u1 % 1000, 0);
    }
    int late_s = -1, late_us = -1;
    plyx_sleep(0, 0, &late_s, &late_us);
    EXPECT_EQ(late_s, 0);
    EXPECT_EQ(late_us, 0);
}

TEST(platform_error_box, WithoutDisplayItReturnsAndTextReachesStandardError) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    testing::internal::CaptureStderr();
    plyx_error_box("title", "text %d", 5);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "title: text 5\n");
}
