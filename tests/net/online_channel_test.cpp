// The racing client against the fake race server: state bundles, being kicked, and redirects
// to a second server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/net/online_support.h"
#include "tests/support/test_support.h"

namespace {

fake_state_record record(int slot, uint32_t tick, int ping = 9) {
    fake_state_record r = {};
    r.slot = (uint16_t)slot;
    r.ping = (uint16_t)ping;
    r.tick = tick;
    for (int i = 0; i < 39; i++) r.state[i] = (uint8_t)(i * 7 + slot);
    return r;
}

}  // namespace

// Bundle records go into the histories of the server's riders only, newest tick first; a count
// beyond the datagram applies the complete records, then says so; an echoed tick gives the ping.
TEST_F(net_online, StateBundles) {
    race_online(fake_server_config());
    const uint32_t race = net_client.race_id;
    ASSERT_EQ(net_slot_role[3], 5);
    std::vector<uint8_t> cut = fake_state_bundle(race, 1, 0, {record(3, 600), record(3, 604)}, 3);
    dispatch(cut);
    ASSERT_EQ(online_race.states.size(), 2u);
    EXPECT_EQ(online_race.states[1].tick, 604);
    EXPECT_EQ(net_slot_state_tick[3], 604);
    EXPECT_EQ(net_slot_ping[3], 9);
    EXPECT_EQ(online_count_lines(lines(), "State packet too small"), 1);
    // The own slot, a slot without a server rider, slot 160 and an older tick add nothing.
    dispatch(fake_state_bundle(race, 1, 0, {record(2, 700), record(7, 700), record(160, 700), record(3, 604)}));
    EXPECT_EQ(online_race.states.size(), 2u);
    // A robot in a server slot takes nothing either.
    online_race.remote_kind = 0;
    dispatch(fake_state_bundle(race, 1, 0, {record(3, 800)}));
    EXPECT_EQ(online_race.states.size(), 2u);
    online_race.remote_kind = 1;
    // The ping of the client's own slot from the echoed tick.
    race_state.current_tick = 5000;
    dispatch(fake_race_info(race, 1, 4963));
    EXPECT_EQ(net_slot_ping[2], 37);
    // A newer server tick moves the estimate, which then runs with the client's ticks.
    dispatch(fake_race_info(race, 9000, 0));
    EXPECT_EQ(net_client.latest_server_tick, 9000u);
    step(3);
    EXPECT_EQ(net_client.server_tick_estimate, 9003);
}

// A disconnect text: its line, state 15, a disconnect a second; the server's disconnect then
// puts every value back to offline.
TEST_F(net_online, KickedThenDisconnected) {
    race_online(fake_server_config());
    s.silent = 1;
    off_course_bias = 3;
    net_client.arcade_forbidden = 1;
    fake_server_send(&s, fake_disconnect_text("kicked"), 0);
    step();
    EXPECT_EQ(online_count_lines(lines(), "kicked"), 1);
    EXPECT_EQ(net_client.state, NET_STATE_DISCONNECTING);
    ASSERT_EQ(fake_server_packets(&s, 15).size(), 1u);
    EXPECT_EQ(fake_server_packets(&s, 15)[0]->bytes, fake_words(15, {s.config.client_slot, s.config.connection_word}));
    step(128);
    EXPECT_EQ(fake_server_packets(&s, 15).size(), 2u);
    fake_server_send(&s, fake_disconnect(), 0);
    step();
    EXPECT_FALSE(net_connected());
    EXPECT_EQ(connect_address, nullptr);
    EXPECT_EQ(net_client.state, 0);
    EXPECT_EQ(net_client.slot, 160);
    EXPECT_EQ(net_client.connection_word, 0u);
    EXPECT_EQ(net_client.race_id, 0u);
    EXPECT_EQ(net_client.race_laps, 0);
    EXPECT_EQ(net_client.latest_server_tick, 0u);
    EXPECT_EQ(net_client.server_tick_estimate, 0);
    EXPECT_EQ(net_client.reported_timing_count, 0u);
    EXPECT_EQ(net_client.next_sequence, 0u);
    EXPECT_EQ(net_client.expected_sequence, 0u);
    EXPECT_EQ(net_client.local_slot, 160);
    EXPECT_EQ(net_client.arcade_forbidden, 0);
    EXPECT_EQ(off_course_bias, 10.0f);
    EXPECT_EQ(off_course_scale, 1.5f);
    EXPECT_EQ(net_reliable.queue_count, 0);
    EXPECT_EQ(online_count_lines(lines(), "Disconnected"), 1);
    // Offline, the update sends nothing.
    size_t seen = s.received.size();
    step(300);
    EXPECT_EQ(s.received.size(), seen);
}

// The redirect command: trimmed, due in 10 s, then state 15, the disconnect, and a new contact
// to the named server; a redirect packet in state 0 moves at once.
TEST_F(net_online, Redirects) {
    fake_server second;
    ASSERT_EQ(fake_server_start(&second, fake_server_config()), 1);
    std::string there = "127.0.0.1:" + std::to_string(second.port);
    race_online(fake_server_config());
    fake_server_queue_reliable(&s, 24, "redirect " + there + "   ");
    step(2);
    EXPECT_EQ(online_count_lines(lines(), "Redirecting to '" + there + "' in 10 seconds"), 1);
    step(128 * 9);
    EXPECT_EQ(net_client.state, NET_STATE_RACING);
    for (int i = 0; i < 128 * 2 && fake_server_packets(&second, 0).empty(); i++) {
        step();
        fake_server_poll(&second, online_now);
    }
    EXPECT_EQ(online_count_lines(lines(), "Redirecting to '" + there + "'"), 1);
    EXPECT_EQ(fake_server_packets(&s, 15).size(), 1u);
    ASSERT_EQ(fake_server_packets(&second, 0).size(), 1u);
    EXPECT_EQ(net_client.state, NET_STATE_CONTACTING);

    fake_server_stop(&second);
    for (const std::string &e : second.errors) ADD_FAILURE() << e;
}

// A redirect packet answering the contact: the client contacts the named server next.
TEST_F(net_online, RedirectPacket) {
    fake_server second;
    ASSERT_EQ(fake_server_start(&second, fake_server_config()), 1);
    fake_server_config c;
    c.accept = FAKE_REDIRECT;
    c.redirect_text = "127.0.0.1:" + std::to_string(second.port);
    start(c);
    for (int i = 0; i < 20 && net_client.state != NET_STATE_RACING; i++) {
        step();
        fake_server_poll(&second, online_now);
    }
    EXPECT_EQ(fake_server_packets(&s, 0).size(), 1u);
    EXPECT_EQ(fake_server_packets(&second, 0).size(), 1u);
    EXPECT_EQ(net_client.state, NET_STATE_RACING);
    fake_server_stop(&second);
    for (const std::string &e : second.errors) ADD_FAILURE() << e;
}
