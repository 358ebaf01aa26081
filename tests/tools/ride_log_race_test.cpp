// ride-log race end to end on the stock data: a robot race recorded, its results file, the demo
// played back and sought in, a points series event and a time trial ridden by the robot
// controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

struct home {
    temp_dir t;
    std::string dir() const { return t.path + "/ZR Simulator/"; }
    int run(std::vector<std::string> args, std::string *out, double timeout = 280) const {
        args.insert(args.begin(), {test_binary_dir() + "/tools/ride-log", "race"});
        std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + t.path};
        return test_run(args, env, out, timeout);
    }
};

// One "result" line of the tool.
struct row {
    std::string number;
    int laps, time;
};

std::vector<row> result_rows(const std::string &out) {
    std::vector<row> rows;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        int place, slot, laps, points, time;
        char number[16];
        if (sscanf(line.c_str(), "result %d slot %d number %15s laps %d points %d time %d", &place, &slot, number,
                   &laps, &points, &time) == 6)
            rows.push_back({number, laps, time});
    }
    return rows;
}

// The text after `prefix` on its line, or "".
std::string line_after(const std::string &out, const std::string &prefix) {
    std::string text = "\n" + out;
    size_t at = text.find("\n" + prefix);
    if (at == std::string::npos) return "";
    at += 1 + prefix.size();
    return text.substr(at, text.find('\n', at) - at);
}

// "@results.txt" parsed: the rows (number, laps, total ms) and every finisher's splits (s).
struct results_file {
    std::string first_line;
    std::vector<row> rows;
    std::vector<std::vector<double>> splits;
    bool crlf = true;
};

results_file read_results(const std::string &path) {
    results_file r;
    std::string text = test_read_file(path);
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (line.empty() || line.back() != '\r')
            r.crlf = false;
        else
            line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    if (lines.empty()) return r;
    r.first_line = lines[0];
    size_t i = 2;
    for (; i < lines.size() && !lines[i].empty(); i++) {
        char number[16];
        int laps, m, s, ms;
        if (sscanf(lines[i].c_str(), "%15s | %*s | %d | %d:%d.%d", number, &laps, &m, &s, &ms) == 5)
            r.rows.push_back({number, laps, (m * 60 + s) * 1000 + ms});
    }
    while (++i < lines.size()) {
        int count = atoi(lines[i].c_str());
        std::vector<double> splits;
        while ((int)splits.size() < count && ++i < lines.size()) {
            std::istringstream in(lines[i]);
            double v;
            while (in >> v) splits.push_back(v);
        }
        r.splits.push_back(splits);
        i++;   // the blank line after the block
    }
    return r;
}

// A race of 6 robots over 2 laps of the hillside recorded as "race1": its output.
std::string record_race(const home &h) {
    std::string out;
    EXPECT_EQ(h.run({"--track", "tracks/hillside", "--robots", "6", "--laps", "2", "--record", "race1"}, &out), 0)
        << out;
    return out;
}

// Five ticks: the record spacing and the tick a history rider passes a point after the race did.
constexpr int TOLERANCE_TICKS = 5;

void expect_same_finish(const std::vector<row> &a, const std::vector<row> &b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t k = 0; k < a.size(); k++) {
        EXPECT_EQ(a[k].number, b[k].number) << "place " << k + 1;
        EXPECT_EQ(a[k].laps, b[k].laps) << "place " << k + 1;
        EXPECT_LE(std::abs(a[k].time - b[k].time), TOLERANCE_TICKS) << "place " << k + 1;
    }
}

}  // namespace

// The recorded robot race writes its results; played back it finishes the same, every rider
// posed from the very records the race wrote, and the results file is written once more.
TEST(tools_ride_log_race, RecordedRacePlaysBackTheSame) {
    home h;
    std::string recorded = record_race(h);
    std::vector<row> rows = result_rows(recorded);
    ASSERT_EQ(rows.size(), 6u) << recorded;
    std::string demo = h.dir() + "demos/race1.zrdemo";
    EXPECT_NE(line_after(recorded, "recorded to '" + demo + "' ("), "") << recorded;
    std::string states = line_after(recorded, "states ");
    ASSERT_EQ(states.size(), 40u) << recorded;

    results_file first = read_results(h.dir() + "results.txt");
    EXPECT_TRUE(first.crlf);
    EXPECT_EQ(first.first_line.rfind("Time=0.00|Laps=2|Track=tracks/hillside|Date=", 0), 0u) << first.first_line;
    ASSERT_EQ(first.rows.size(), 6u);
    ASSERT_EQ(first.splits.size(), 6u);
    for (size_t k = 0; k < 6; k++) {
        EXPECT_EQ(first.rows[k].number, rows[k].number) << k;
        if (k > 0) {
            EXPECT_GE(first.rows[k].time, first.rows[k - 1].time) << k;
        }
        double last = 0;
        for (double v : first.splits[k]) {
            if (v < 0) continue;   // a missed point
            EXPECT_GT(v, last) << "row " << k;
            last = v;
        }
    }

    std::string played;
    ASSERT_EQ(h.run({"--play", demo}, &played), 0) << played;
    expect_same_finish(rows, result_rows(played));
    EXPECT_EQ(line_after(played, "states "), states) << played;
    int differ = -1, checked = 0;
    ASSERT_EQ(sscanf(line_after(played, "positions packed again: ").c_str(), "%d of %d", &differ, &checked), 2)
        << played;
    EXPECT_EQ(differ, 0);
    EXPECT_GT(checked, 6 * 2000);
    EXPECT_NE(played.find("results file written 1 time\n"), std::string::npos) << played;
    results_file again = read_results(h.dir() + "results.txt");
    ASSERT_EQ(again.rows.size(), 6u);
    ASSERT_EQ(again.splits.size(), 6u);
    for (size_t k = 0; k < 6; k++) {
        EXPECT_EQ(again.rows[k].number, first.rows[k].number) << k;
        EXPECT_LE(std::abs(again.rows[k].time - first.rows[k].time), TOLERANCE_TICKS * 125 / 16 + 1) << k;
        ASSERT_EQ(again.splits[k].size(), first.splits[k].size()) << k;
        for (size_t i = 0; i < first.splits[k].size(); i++)
            EXPECT_LE(std::abs(again.splits[k][i] - first.splits[k][i]), TOLERANCE_TICKS / 128.0 + 1e-3)
                << "row " << k << " split " << i;
    }
}

// Seeks back and forward land where playing straight through goes; a seek back past the
// completion completes the race again without writing its results twice.
TEST(tools_ride_log_race, SeeksLandWhereStraightPlayGoes) {
    home h;
    std::string recorded = record_race(h);
    std::vector<row> rows = result_rows(recorded);
    ASSERT_EQ(rows.size(), 6u) << recorded;
    int complete = atoi(line_after(recorded, "complete at tick ").c_str());
    ASSERT_GT(complete, 9000) << recorded;
    std::string after = std::to_string(complete + 300) + ":-5";

    // 3000:-8 lands just after the gate drops, while the riders lift their feet: a seek must put
    // back how far each foot is down, which no record holds.
    std::string played;
    ASSERT_EQ(h.run({"--play", h.dir() + "demos/race1.zrdemo", "--seek", "3000:-8", "--seek", "8000:-10", "--seek",
                     "9000:+20", "--seek", after},
                    &played),
              0)
        << played;
    expect_same_finish(rows, result_rows(played));
    EXPECT_EQ(line_after(played, "states "), line_after(recorded, "states ")) << played;
    int seeks = -1, revisited = -1, differ = -1;
    ASSERT_EQ(sscanf(line_after(played, "seeks ").c_str(), "%d: revisited %d ticks, %d differ", &seeks, &revisited,
                     &differ),
              3)
        << played;
    int positions_differ = -1;
    EXPECT_EQ(sscanf(line_after(played, "positions packed again: ").c_str(), "%d of", &positions_differ), 1);
    EXPECT_EQ(positions_differ, 0) << "a seek's own ticks checked against the riders after it";
    EXPECT_EQ(seeks, 4);
    EXPECT_GE(revisited, 1024 + 1280 + 300);
    EXPECT_EQ(differ, 0);
    EXPECT_NE(played.find("results file written 1 time\n"), std::string::npos) << played;
}

// A two-event series of three robots raced with the robot controller riding the player: the
// event is scored, the standings file written, and the next run races the next event.
TEST(tools_ride_log_race, SeriesEventScoredAndTheNextOneRaced) {
    home h;
    std::string points = "25 22 20 18";
    for (int i = 4; i < 40; i++) points += " 0";
    std::string zeros = "0";
    for (int i = 1; i < 40; i++) zeros += " 0";
    ASSERT_TRUE(test_write_file(h.dir() + "series/short.series",
                                "\"Short Series\"\n3 Expert\n21 24 33\n2\n"
                                "\"Moto 1\" tracks/hillside 0 1\n" + points + "\n" + zeros + "\n"
                                "\"Moto 2\" tracks/hillside 0 1\n" + points + "\n" + points + "\n"));
    std::string out;
    ASSERT_EQ(h.run({"--series", "series/short.series", "--autoplayer"}, &out), 0) << out;
    EXPECT_NE(out.find("series 'Short Series': event 1 of 2, 'Moto 1'"), std::string::npos) << out;
    EXPECT_EQ(result_rows(out).size(), 4u) << out;
    std::string standings = test_read_file(h.dir() + "series/short.series_standings");
    int places[4] = {};
    ASSERT_EQ(sscanf(standings.c_str(), "%d %d %d %d", &places[0], &places[1], &places[2], &places[3]), 4)
        << standings;
    std::vector<int> seen(places, places + 4);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4})) << standings;

    ASSERT_EQ(h.run({"--series", "series/short.series", "--autoplayer"}, &out), 0) << out;
    EXPECT_NE(out.find("series 'Short Series': event 2 of 2, 'Moto 2'"), std::string::npos) << out;
    EXPECT_NE(out.find("series 'Short Series' event 2 'Moto 2' places:"), std::string::npos) << out;
    standings = test_read_file(h.dir() + "series/short.series_standings");
    EXPECT_EQ(std::count(standings.begin(), standings.end(), '\n'), 2) << standings;
}

// Three timed laps: each crossing of the lap line counts one lap, the first recorded lap
// becomes the ghost, which rides in slot 1 from the second timed lap on.
TEST(tools_ride_log_race, TimeTrialKeepsTheLapsAndRidesTheGhost) {
    home h;
    std::string out;
    ASSERT_EQ(h.run({"--time-trial", "--track", "hillside", "--autoplayer", "--laps", "3"}, &out), 0) << out;
    std::vector<std::string> ghosts;
    std::istringstream in(out);
    std::string line;
    int laps = 0, best = 0;
    while (std::getline(in, line)) {
        if (line.rfind("ghost riders ", 0) == 0) ghosts.push_back(line.substr(13));
        int lap, last;
        char fast[16];
        if (sscanf(line.c_str(), "lap %d last %d best %d fast %15s", &lap, &last, &best, fast) == 4) {
            EXPECT_EQ(lap, ++laps);
            if (lap == 1) {
                EXPECT_STREQ(fast, "new") << "the first recorded lap becomes the fast lap";
            }
        }
    }
    EXPECT_EQ(laps, 3) << out;
    EXPECT_GT(best, 0) << out;
    ASSERT_EQ(ghosts.size(), 4u) << out;   // the crossing that starts the first timed lap, then one a lap
    EXPECT_EQ(ghosts[0], "0, slot 1 empty");
    for (size_t k = 1; k < ghosts.size(); k++) EXPECT_EQ(ghosts[k], "1, slot 1 ridden") << k;
    EXPECT_TRUE(test_file_exists(h.dir() + "tracks/hillside/fastlap.zrdemo"));
    EXPECT_TRUE(test_file_exists(h.dir() + "tracks/hillside/lastlap.zrdemo"));
    EXPECT_FALSE(test_file_exists(h.dir() + "tracks/hillside/lastlap.zrdemo.tmp"));
}
