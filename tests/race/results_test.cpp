// Race completion: penalties for missed timing points, the results order and "@results.txt".
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <vector>

#include "race/track.h"
#include "tests/race/results_fixture.h"

// One table over the penalty rule: slot 0 is the rider charged, slots 1 and 2 the field (an
// empty list: no rider). Gate drop 0.
TEST(race_results, PenaltyTable) {
    struct {
        const char *name;
        std::vector<int> lists[3];
        long long penalty;
        int points, time;
    } cases[] = {
        {"one missed point: the field's average + 1 s - own time",
         {{100, -1, 250, 400, 500, 600, 700}, {100, 200, 300, 400, 500, 600, 700},
          {110, 210, 310, 410, 510, 610, 710}},
         178, 7, 878},
        {"a stretch nobody else passed allows 60 s",
         {{100, -1, 250}, {100, -1, 300}, {}},
         7808 - 150, 3, 250 + 7658},
        {"a penalty longer than the best lap costs whole laps first",
         {{100, -1, 250, 300, 350, 400, 450, 500, 550, 600, 650, 700, 750, 800, 850}, {100, 500, 600}, {}},
         478, 7, 850 + 78},
        {"no positive best lap: the penalty stays time",
         {{100, 200, -1, 400, 500, 600, 700}, {100, 200, 300, 400, 500, 600, 700}, {}},
         128, 7, 828},
        {"a run from index 0 is measured from tick 0 on both sides",
         {{-1, 200, 300}, {100, 180, 300}, {}},
         108, 3, 408},
        {"a later stretch averages each rider's laps; a rider with none is left out",
         {{100, 200, 300, 400, -1, 600, 700},
          {100, 200, 300, 400, 500, 550, 700, 800, 900, 1050, 1100},
          {100, 200, 300, 400, 500}},
         128, 7, 828},
    };
    for (auto &c : cases) {
        results_race(5, 0);
        for (int slot = 0; slot < 3; slot++) {
            if (c.lists[slot].empty()) continue;
            results_rider(slot, 2, "1", 0, {});
            for (int i = 0; i < (int)c.lists[slot].size(); i++) rider_set_timing_tic(slot, i, c.lists[slot][i]);
            rider_table[slot].timing_count = (int)c.lists[slot].size();
        }
        race_update_standings();   // the running order the averages walk
        EXPECT_EQ(race_rider_penalty(0), c.penalty) << c.name;
        race_build_results();
        const running_order_entry *e = results_entry(0);
        ASSERT_NE(e, nullptr) << c.name;
        EXPECT_EQ(e->points, c.points) << c.name;
        EXPECT_EQ(e->time, c.time) << c.name;
        results_free();
    }
    // Nobody at all: the fallback span.
    results_race(5, 0);
    EXPECT_EQ(race_average_span(0, 2), RACE_SPAN_NOBODY);
    results_free();
}

// The text with the digits after "Date=" replaced by one 0.
static std::string masked_date(std::string text) {
    size_t at = text.find("Date=");
    if (at == std::string::npos) return text;
    size_t end = at + 5;
    while (end < text.size() && isdigit((unsigned char)text[end])) end++;
    return text.replace(at + 5, end - at - 5, "0");
}

// Three finished riders and one that cannot finish: the file a completed race writes.
static void golden_race() {
    results_race(2, 1000);
    track_name = "tracks/hillside";
    // The leader, over 10 minutes.
    results_rider(1, 2, "12", 3, {11000, 21000, 31000, 41000, 51000, 61000, 78000});
    // A missed point charged as time (its best lap is longer than the charge).
    results_rider(0, 0, "3", 14, {2000, 3000, 4000, 5000, -1, 7000, 90000});
    // A demo rider that can no longer finish: no row.
    results_rider(2, 1, "99", 28, {1500, 2500, 3500, 4500, 5500});
    // One lap, 1 tick after the drop, no best lap.
    results_rider(3, 2, "7", 0, {1000, 1000, 1001});
    for (int slot : {0, 1, 3}) rider_table[slot].finished = 1;
}

TEST(race_results, GoldenResultsFile) {
    results_home home;
    golden_race();
    race_update_standings();
    ASSERT_EQ(results_written, 1);
    int want[] = {1, 0, 2, 3};
    ASSERT_EQ(race_results.count, 4);
    for (int k = 0; k < 4; k++) EXPECT_EQ(race_results.order[k].slot, want[k]) << k;
    std::string written = test_read_file(home.file("results.txt"));
    std::string golden = test_read_file(test_source_dir() + "/tests/race/data/results.txt");
    EXPECT_EQ(masked_date(written), golden);
    EXPECT_NE(written.find("Date="), std::string::npos);
    EXPECT_FALSE(test_file_exists(home.file("results.txt.tmp")));
    track_name = nullptr;
    results_free();
}

// Penalties that put an unfinished rider first: the race completes, but no file is written.
TEST(race_results, UnfinishedWinnerWritesNoFile) {
    results_home home;
    results_race(2, 0);
    results_rider(0, 2, "1", 0, {100, 200, 300, 400, -1, 600, 700});
    rider_table[0].finished = 1;
    // A demo rider in its second lap since before the finish: it can no longer finish.
    results_rider(1, 1, "2", 0, {100, 200, 300, 400, 5000, 9000});
    race_update_standings();
    EXPECT_EQ(results_written, 1);
    EXPECT_EQ(race_results.order[0].slot, 1);
    EXPECT_EQ(race_results.order[1].points, 3);   // a lap lost
    EXPECT_FALSE(test_file_exists(home.file("results.txt")));
    results_free();
}

// A write that fails part way, or cannot start: the old file stays whole, with a warning.
TEST(race_results, FailedWriteKeepsTheOldFile) {
    results_home home;
    std::string old = "Time=0.00|Laps=1|Track=old|Date=1\r\n";
    ASSERT_TRUE(test_write_file(home.file("results.txt"), old));
    golden_race();
    race_update_standings();   // complete: writes the file once
    ASSERT_EQ(results_written, 1);
    ASSERT_TRUE(test_write_file(home.file("results.txt"), old));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        console_clear();
        int written = race_write_results();
        _exit(written == 0 && console_count("Warning: couldn't write '@results.txt'") == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test_read_file(home.file("results.txt")), old);
    EXPECT_FALSE(test_file_exists(home.file("results.txt.tmp")));

    test_make_dirs(home.file("results.txt.tmp"));   // a folder where the temporary file goes
    console_clear();
    EXPECT_EQ(race_write_results(), 0);
    EXPECT_EQ(console_count("Warning: couldn't write '@results.txt'"), 1);
    EXPECT_EQ(test_read_file(home.file("results.txt")), old);
    track_name = nullptr;
    results_free();
}
