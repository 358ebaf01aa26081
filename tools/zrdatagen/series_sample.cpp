// The stock points series "series/sample.series": nineteen robot entrants at Amateur skill and
// a few lap races on the stock tracks, the standings ranked after every event.
#include "tools/zrdatagen/datagen.h"

// Points by finishing place, 40 of them: 25, 22, 20, 18, 16, then 15 down to 1 for 20th.
static std::string points_line() {
    static const int TOP[] = {25, 22, 20, 18, 16};
    std::string out;
    for (int place = 0; place < 40; place++) {
        int points = place < 5 ? TOP[place] : place < 20 ? 20 - place : 0;
        out += std::to_string(points) + (place < 39 ? " " : "\n");
    }
    return out;
}

// The second list: a first value of 1 ranks the standings after the event.
static std::string ranking_line() {
    std::string out = "1";
    for (int i = 1; i < 40; i++) out += " 0";
    return out + "\n";
}

std::string datagen_sample_series() {
    static const int NUMBERS[19] = {3, 5, 7, 8, 12, 14, 17, 21, 23, 26,
                                    31, 33, 38, 41, 44, 52, 57, 63, 77};
    static const struct {
        const char *name, *track;
        int laps;
    } EVENTS[] = {
        {"Opening Round", "tracks/practice", 3},
        {"Second Round", "tracks/practice", 4},
        {"Final", "tracks/practice", 5},
    };
    std::string out = "\"Sample Series\"\n19 Amateur\n";
    for (int i = 0; i < 19; i++) out += std::to_string(NUMBERS[i]) + (i < 18 ? " " : "\n");
    out += std::to_string(sizeof EVENTS / sizeof EVENTS[0]) + "\n";
    for (const auto &e : EVENTS) {
        out += std::string("\"") + e.name + "\" " + e.track + " 0 " + std::to_string(e.laps) + "\n";
        out += points_line();
        out += ranking_line();
    }
    return out;
}
