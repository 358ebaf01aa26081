// The client against a hostile race server: malformed, cut, oversized and spoofed datagrams,
// hostile reliable messages and a flood leave a racing client as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/net/online_support.h"

// Each row of the hostile table, sent to a racing client, changes nothing; the client keeps
// racing and answers the server's next packet as before.
TEST_F(net_online, HostileRowsChangeNothing) {
    race_online(fake_server_config());
    std::vector<fake_hostile_row> rows = fake_hostile_rows(&s);
    for (const fake_hostile_row &row : rows) {
        SCOPED_TRACE(row.label);
        client_snapshot before = online_snapshot();
        fake_server_send(&s, row.bytes, 0);
        step();
        EXPECT_EQ(online_compare(before, online_snapshot()), "");
        ASSERT_TRUE(net_connected());
        EXPECT_LE(net_reliable.held_count, 64);
    }
    // Every reliable row was taken in turn; none of those far ahead was held.
    EXPECT_EQ(net_client.expected_sequence, s.next_sequence);
    EXPECT_EQ(net_reliable.held_count, 0);
    EXPECT_LE((int)lines().size(), 200);
}

// Datagrams from another address are dropped, whatever they say.
TEST_F(net_online, StrangerIsIgnored) {
    race_online(fake_server_config());
    client_snapshot before = online_snapshot();
    long long foreign = net_foreign_datagrams;
    fake_state_record r = {};
    r.slot = 3;
    r.tick = 900;
    for (const std::vector<uint8_t> &b :
         {fake_disconnect(), fake_disconnect_text("spoofed"), fake_redirect(net_client.nonce, "127.0.0.1:9"),
          fake_state_bundle(net_client.race_id, 2, 0, {r}), fake_restart(net_client.race_id + 1),
          fake_reliable(net_client.expected_sequence, 24, "no_arcade")})
        fake_server_send_stranger(&s, b);
    step();
    EXPECT_EQ(online_compare(before, online_snapshot()), "");
    EXPECT_EQ(net_foreign_datagrams, foreign + 6);
}

// 100,000 datagrams while the client runs 100 updates: every update returns, nothing changes.
TEST_F(net_online, FloodChangesNothing) {
    race_online(fake_server_config());
    client_snapshot before = online_snapshot();
    int sent = 0;
    for (int u = 0; u < 100; u++) {
        for (int i = 0; i < 1000; i++) fake_server_send(&s, fake_flood_datagram(&s, sent++), 0);
        step();
    }
    step(10);
    EXPECT_EQ(online_compare(before, online_snapshot()), "");
    EXPECT_EQ(net_client.state, NET_STATE_RACING);
}
