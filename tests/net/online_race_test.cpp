// A real race against the fake race server: the stock track loads with the server's hash, the
// local rider's state goes out on every 4th tick and the server's replay rider fills its
// history 2 s behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/settings.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tests/net/online_support.h"
#include "tests/race/practice_race.h"
#include "tests/support/gl_test_window.h"

namespace {

const char *TRACKS[] = {"tracks/practice"};

struct net_online_race : net_online {
    gl_test_window *window = nullptr;
    void SetUp() override {
        net_online::SetUp();
        window = new gl_test_window(320, 320);
        race_test_world_open(TRACKS, 1);
        net_race = NET_RACE;
    }
    void TearDown() override {
        net_online::TearDown();
        race_test_world_close();
        delete window;
    }
    // One frame-loop tick: the client's update, then the world's tick while racing.
    void tick() {
        online_now += 1.0 / 128;
        net_client_update();
        if (net_client.state == NET_STATE_RACING) race_tick();
        fake_server_poll(&s, online_now);
    }
};

}  // namespace

TEST_F(net_online_race, RacingAgainstTheFakeServer) {
    ASSERT_NE(window->w, nullptr);
    start(fake_server_config());
    for (int i = 0; i < 50 && net_client.state != NET_STATE_RACING; i++) tick();
    ASSERT_EQ(net_client.state, NET_STATE_RACING) << ::testing::PrintToString(all_lines());
    EXPECT_STREQ(track_name, "tracks/practice");
    EXPECT_EQ(race_state.laps, 3);
    EXPECT_EQ(race_state.gate_drop_tick, 1700);
    EXPECT_EQ(net_client.local_slot, 2);
    ASSERT_TRUE(rider_has_bike(2));
    for (int i = 0; i < 512; i++) tick();

    // State packets on ticks divisible by 4 only, one each.
    auto states = fake_server_packets(&s, 11);
    ASSERT_GE(states.size(), 120u);
    ASSERT_LE(states.size(), 129u);
    for (size_t i = 0; i < states.size(); i++) {
        EXPECT_EQ(states[i]->client_tick % 4, 0u) << i;
        if (i) {
            EXPECT_EQ(states[i]->client_tick, states[i - 1]->client_tick + 4) << i;
        }
    }
    // The replay rider in the next slot rides the client's bike and holds its states, 2 s later.
    EXPECT_EQ(net_slot_role[3], 5);
    EXPECT_TRUE(rider_has_bike(3));
    EXPECT_STREQ(net_rider_info[3].model, net_rider_info[2].model);
    EXPECT_EQ(std::string(net_rider_info[3].name), "Echo " + std::string(net_rider_info[2].name));
    // (The answer to the last state may still be on its way.)
    int newest = net_slot_state_tick[3];
    EXPECT_TRUE(newest == (int)states.back()->client_tick + 256 ||
                newest == (int)states[states.size() - 2]->client_tick + 256)
        << newest;
    EXPECT_GE(net_slot_ping[2], 0);
    for (const std::string &line : all_lines()) EXPECT_EQ(line.find("Client track modified"), std::string::npos);
    net_disconnect();
}
