// The allocation wrappers and the tracker switched on by ZR_CHECK_ALLOC.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/entry.h"
#include "core/mem.h"
#include "tests/support/test_support.h"

TEST(core_mem, TrackingOffForNonPositiveValues) {
    for (const char *value : {(const char *)nullptr, "0", "-3", "abc"}) {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (value)
            setenv("ZR_CHECK_ALLOC", value, 1);
        else
            unsetenv("ZR_CHECK_ALLOC");
        // A fresh process decides the state again.
        EXPECT_EXIT(
            {
                void *a = mem_alloc(10);  // live at the report: with tracking off, not listed
                mem_report_leaks();
                mem_free(a);
                exit(mem_tracker.state == 0 && mem_tracker.live_count == 0 ? 0 : 1);
            },
            testing::ExitedWithCode(0), "^$")
            << (value ? value : "(unset)");
    }
}

TEST(core_mem, DoubleFreeIsReportedOnce) {
    setenv("ZR_CHECK_ALLOC", "2", 1);
    char *p = (char *)mem_alloc(16);
    ASSERT_EQ(mem_tracker.state, 1);
    mem_free(p);
    testing::internal::CaptureStderr();
    mem_free(p);  // not tracked any more: reported, not freed a second time
    std::string err = testing::internal::GetCapturedStderr();
    char want[64];
    snprintf(want, sizeof want, "Allocation not found for %p!\n", (void *)p);
    EXPECT_EQ(err, want);
    mem_free(nullptr);
}

TEST(core_mem, ExitListInTableOrder) {
    setenv("ZR_CHECK_ALLOC", "1", 1);
    void *a = mem_alloc(8);                 // serial 0
    void *b = mem_calloc(2, 8);             // serial 1
    void *c = mem_alloc(8);                 // serial 2
    void *b2 = mem_realloc(b, 64);          // serial 3, entered last
    mem_free(a);
    testing::internal::CaptureStderr();
    mem_report_leaks();
    std::string err = testing::internal::GetCapturedStderr();
    char want[128];
    snprintf(want, sizeof want, "%p:2\n%p:3\n", c, b2);
    EXPECT_EQ(err, want);
    mem_free(c);
    mem_free(b2);
}

TEST(core_mem, FailedReallocKeepsTheOldBlockTracked) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("ZR_CHECK_ALLOC", "1", 1);
    setenv("ASAN_OPTIONS", "allocator_may_return_null=1", 1);
    EXPECT_EXIT(
        {
            void *p = mem_alloc(16);
            void *q = mem_realloc(p, (size_t)1 << 62);
            int ok = q == nullptr && mem_tracker.live_count == 1 && mem_tracker.pointers[0] == p;
            mem_free(p);  // still tracked: freed without a report
            exit(ok && mem_tracker.live_count == 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(core_mem, TooManyAllocationsStopsTracking) {
    setenv("ZR_CHECK_ALLOC", "1", 1);
    std::vector<void *> blocks;
    blocks.reserve(MEM_TRACK_MAX + 2);
    testing::internal::CaptureStderr();
    for (int i = 0; i < MEM_TRACK_MAX + 2; i++) blocks.push_back(mem_alloc(1));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Too many allocations to check!\n");
    EXPECT_EQ(mem_tracker.state, 0);
    EXPECT_EQ(mem_tracker.live_count, MEM_TRACK_MAX);
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) mem_free(*it);
    // Frees now go straight to the heap; the table keeps its entries for the exit report.
    EXPECT_EQ(mem_tracker.live_count, MEM_TRACK_MAX);
}

// The exit lists what the table holds even after it filled and tracking stopped.
TEST(core_mem, ExitListsTheTrackedBlocksAfterTheTableFilled) {
    temp_dir t;
    test_isolate_home(t);
    setenv("PLYX_LOGFILE", t.file("log.txt").c_str(), 1);
    setenv("ZR_CHECK_ALLOC", "1", 1);
    std::vector<void *> blocks;
    blocks.reserve(MEM_TRACK_MAX + 1);
    testing::internal::CaptureStderr();
    for (int i = 0; i < MEM_TRACK_MAX + 1; i++) blocks.push_back(mem_alloc(1));
    ASSERT_EQ(mem_tracker.state, 0);
    game_shutdown(1);
    std::string err = testing::internal::GetCapturedStderr();
    char first[64], last[64];
    snprintf(first, sizeof first, "\n%p:0\n", blocks[0]);
    snprintf(last, sizeof last, "\n%p:%d\n", blocks[MEM_TRACK_MAX - 1], MEM_TRACK_MAX - 1);
    EXPECT_EQ(err.find("Too many allocations to check!\n"), 0u);
    EXPECT_NE(err.find(first), std::string::npos);
    EXPECT_NE(err.find(last), std::string::npos);
    for (void *b : blocks) mem_free(b);
}

TEST(core_mem, OutOfMemoryExitsWithItsBox) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("ASAN_OPTIONS", "allocator_may_return_null=1", 1);
    EXPECT_EXIT(mem_alloc_or_die((size_t)1 << 62), testing::ExitedWithCode(1),
                "Error: Out of virtual memory");
}
