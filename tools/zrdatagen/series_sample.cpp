// The stock points series "series/sample.series": nineteen robot entrants at Amateur skill and
// two rounds of two motos on the stock tracks, the standings ranked after each round.
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

// The second list: all 0 for the first moto of a round; the round's points by standing for the
// moto that closes it (a first value other than 0 ranks the standings after the event).
static std::string ranking_line(bool closes_round) {
    if (closes_round) return points_line();
    std::string out = "0";
    for (int i = 1; i < 40; i++) out += " 0";
    return out + "\n";
}

std::string datagen_sample_series() {
    // Numbers the robots' roster carries (20 to 99), so every entrant rides its own bike.
    static const int NUMBERS[19] = {21, 23, 24, 26, 29, 31, 33, 35, 38, 41,
                                    44, 48, 52, 57, 63, 66, 71, 77, 88};
    static const struct {
        const char *name, *track;
        int laps;
        bool closes_round;
    } EVENTS[] = {
        {"Round 1 Moto 1", "tracks/practice", 3, false},
        {"Round 1 Moto 2", "tracks/practice", 3, true},
        {"Round 2 Moto 1", "tracks/hillside", 3, false},
        {"Round 2 Moto 2", "tracks/hillside", 3, true},
    };
    std::string out = "\"Sample Series\"\n19 Amateur\n";
    for (int i = 0; i < 19; i++) out += std::to_string(NUMBERS[i]) + (i < 18 ? " " : "\n");
    out += std::to_string(sizeof EVENTS / sizeof EVENTS[0]) + "\n";
    for (const auto &e : EVENTS) {
        out += std::string("\"") + e.name + "\" " + e.track + " 0 " + std::to_string(e.laps) + "\n";
        out += points_line();
        out += ranking_line(e.closes_round);
    }
    return out;
}
