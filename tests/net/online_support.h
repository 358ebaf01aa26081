// The online tests' fixture: the client on a fake clock against the fake race server over the
// loopback, with a recorder in place of the race.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/net_state.h"
#include "net/client.h"
#include "net/packets.h"
#include "net/reliable.h"
#include "net/socket.h"
#include "race/race.h"
#include "race/track_hash.h"
#include "tests/support/fake_race_server.h"
#include "tests/support/test_support.h"

// What the client did to the race.
struct online_recorder {
    int resets = 0, reset_result = 1;
    int roles[160] = {};
    int race_time = 0, laps = 0;
    int clears = 0;
    struct state {
        int slot, tick;
    };
    std::vector<state> states;
    struct timing {
        int slot, index, tick;
    };
    std::vector<timing> timings;
    int standings = 0;
    std::vector<std::string> erosion;
    std::vector<int> demo_records;
    int remote_kind = 1;          // rider_status of the slots the server rides
    uint8_t hash[20] = {};        // what the "loaded" track hashes to
};
extern online_recorder online_race;
extern double online_now;

struct net_online : ::testing::Test {
    temp_dir home;
    fake_server s;
    std::string target;
    int console_mark = 0;

    void SetUp() override;
    void TearDown() override;
    // Starts the server and names it as the connect target.
    void start(const fake_server_config &config);
    // Ticks of 1/128 s: the clock, the race's tick, one client update, one server poll.
    void step(int ticks = 1);
    // Steps until the client's state is the given one (at most the ticks): 1 when it was.
    int step_until_state(int state, int ticks = 2000);
    // Runs the handshake with the auto-playing server up to racing.
    void race_online(const fake_server_config &config);
    // Console lines printed since the last call (or since SetUp).
    std::vector<std::string> lines();
    // Every line since SetUp, in order.
    std::vector<std::string> all_lines();
    // A datagram to the client's socket from the server's address, dispatched at once.
    void dispatch(const std::vector<uint8_t> &bytes);
};

// How many of the lines are exactly the text.
int online_count_lines(const std::vector<std::string> &lines, const std::string &text);

// A copy of what a dropped packet must leave alone.
struct client_snapshot {
    net_client_state client;
    int role[160], ping[160], state_tick[160];
    net_rider_info_record info[160];
    int current_tick;
    float bias, scale;
    size_t states, timings;
};
client_snapshot online_snapshot();
// Empty when equal; else the first field that differs.
std::string online_compare(const client_snapshot &a, const client_snapshot &b);
