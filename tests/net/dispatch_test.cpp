// Which server packets the client takes in which state, the slots and ticks it refuses, and
// the simulated lag and loss of its receive path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/settings.h"
#include "race/catalogue.h"
#include "race/race.h"
#include "tests/net/net_fixture.h"

static std::string accept(uint32_t slot, std::string version = bytes_of({6, 0, 0, 0})) {
    return bytes_of({2}) + le32(slot) + le32(0x11223344) + version;
}
static std::string track(uint32_t race, const char *name = "tracks/practice") {
    return bytes_of({4}) + le32(race) + le32(0) + le32(3) + le32(1700) + std::string(20, '\0') + name;
}
static std::string rider_info(uint32_t race, uint32_t slot) {
    return bytes_of({6}) + le32(race) + le32(slot) + "250f|red|blue|black|helmet\n12\nRider";
}
static std::string race_start(uint32_t race, uint32_t local) {
    return bytes_of({8}) + le32(race) + le32(local) + "250f||||\n7\nMe";
}
static std::string race_info(uint32_t race, uint32_t tick) {
    return bytes_of({10}) + le32(race) + le32(tick) + le32(0);
}
static std::string restart(uint32_t race) {
    return bytes_of({14}) + le32(race);
}

// The tables the server's packets fill, to see that a dropped packet left them alone.
struct net_snapshot {
    int role[160], ping[160], tick[160];
    net_rider_info_record info[160];
    int slot, state, local_slot;
    uint32_t race_id, last_rider_index;
    static net_snapshot take() {
        net_snapshot s;
        memcpy(s.role, net_slot_role, sizeof s.role);
        memcpy(s.ping, net_slot_ping, sizeof s.ping);
        memcpy(s.tick, net_slot_state_tick, sizeof s.tick);
        memcpy(s.info, net_rider_info, sizeof s.info);
        s.slot = net_client.slot;
        s.state = net_client.state;
        s.local_slot = net_client.local_slot;
        s.race_id = net_client.race_id;
        s.last_rider_index = net_client.last_rider_index;
        return s;
    }
    bool operator==(const net_snapshot &o) const {
        return memcmp(role, o.role, sizeof role) == 0 && memcmp(ping, o.ping, sizeof ping) == 0 &&
               memcmp(tick, o.tick, sizeof tick) == 0 && memcmp(info, o.info, sizeof info) == 0 &&
               slot == o.slot && state == o.state && local_slot == o.local_slot &&
               race_id == o.race_id && last_rider_index == o.last_rider_index;
    }
};

class net_packets : public net_loopback {
  protected:
    char folder[32] = "tracks/practice";
    char description[32] = "Practice";
    char *folders[1] = {folder};
    char *descriptions[1] = {description};
    track_catalogue_record kept{};
    void SetUp() override {
        net_loopback::SetUp();
        kept = track_catalogue;
        track_catalogue = {1, folders, descriptions};
        memset(net_slot_role, 0, sizeof net_slot_role);
        memset(net_slot_state_tick, 0, sizeof net_slot_state_tick);
    }
    void TearDown() override {
        track_catalogue = kept;
        net_loopback::TearDown();
    }
};

TEST_F(net_packets, AcceptanceTable) {
    struct row {
        const char *what;
        int state, slot;
        uint32_t race;
        std::string packet;
        bool taken;
        int state_after;
    } rows[] = {
        {"accept slot 0", 0, 160, 0, accept(0), true, 3},
        {"accept slot 159", 0, 160, 0, accept(159), true, 3},
        {"accept slot 160", 0, 160, 0, accept(160), false, 0},
        {"accept slot 161", 0, 160, 0, accept(161), false, 0},
        {"accept slot 0xFFFFFFFF", 0, 160, 0, accept(0xffffffffu), false, 0},
        {"accept in state 3", 3, 2, 0, accept(5), false, 3},
        {"accept version 7", 0, 160, 0, accept(1, bytes_of({7, 0, 0, 0})), true, 15},
        {"accept version 6.1", 0, 160, 0, accept(1, bytes_of({6, 1, 0, 0})), true, 15},
        {"track for race 9 while in race 8", 3, 2, 8, track(9), false, 3},
        {"track after a restart to 9", 14, 2, 9, track(9), true, 5},
        {"track in state 5", 5, 2, 1, track(1), false, 5},
        {"track before a slot", 3, 160, 0, track(1), false, 3},
        {"unknown track", 3, 2, 0, track(1, "tracks/nowhere"), true, 15},
        {"rider info slot 0", 5, 2, 1, rider_info(1, 0), true, 7},
        {"rider info slot 159", 5, 2, 1, rider_info(1, 159), true, 7},
        {"rider info slot 160", 5, 2, 1, rider_info(1, 160), false, 5},
        {"rider info slot 161", 7, 2, 1, rider_info(1, 161), false, 7},
        {"rider info slot 0xFFFFFFFF", 7, 2, 1, rider_info(1, 0xffffffffu), false, 7},
        {"rider info of another race", 5, 2, 1, rider_info(2, 3), false, 5},
        {"rider info in state 3", 3, 2, 1, rider_info(1, 3), false, 3},
        {"race start, watching", 7, 2, 1, race_start(1, 160), true, 9},
        {"race start, riding", 5, 2, 1, race_start(1, 2), true, 9},
        {"race start, another slot", 7, 2, 1, race_start(1, 0), false, 7},
        {"race start, slot 161", 7, 2, 1, race_start(1, 161), false, 7},
        {"race start, slot 0xFFFFFFFF", 7, 2, 1, race_start(1, 0xffffffffu), false, 7},
        {"race start of another race", 7, 2, 1, race_start(2, 2), false, 7},
        {"race info in state 9", 9, 2, 1, race_info(1, 500), true, 11},
        {"race info in state 7", 7, 2, 1, race_info(1, 500), false, 7},
        {"race info with tick 0x80000000", 9, 2, 1, race_info(1, 0x80000000u), false, 9},
        {"restart to a higher race", 11, 2, 1, restart(2), true, 14},
        {"restart to the same race", 11, 2, 1, restart(1), false, 11},
        {"restart in state 5", 5, 2, 1, restart(2), false, 5},
    };
    for (const row &r : rows) {
        online(r.state, r.slot, r.race);
        net_client.last_rider_index = NET_NO_SLOT;
        // The race reset finds the track's hash as the packet gave it (zero).
        net_snapshot before = net_snapshot::take();
        from_server(r.packet);
        net_snapshot after = net_snapshot::take();
        EXPECT_EQ(net_client.state, r.state_after) << r.what;
        if (!r.taken) EXPECT_TRUE(before == after) << r.what;
        if (r.taken) EXPECT_FALSE(before == after) << r.what;
    }
}

TEST_F(net_packets, TakenPacketsFillTheTables) {
    online(NET_STATE_CONTACTING, NET_NO_SLOT, 0);
    from_server(accept(4));
    EXPECT_EQ(net_client.slot, 4);
    EXPECT_EQ(net_client.connection_word, 0x11223344u);
    from_server(track(1));
    EXPECT_EQ(net_client.state, NET_STATE_TRACK_ACK);
    EXPECT_STREQ(net_client.track_name, "tracks/practice");
    EXPECT_EQ(net_client.race_laps, 3);
    EXPECT_EQ(net_client.race_word, 1700);
    from_server(rider_info(1, 6));
    EXPECT_EQ(net_slot_role[6], 5);
    EXPECT_STREQ(net_rider_info[6].model, "250f");
    EXPECT_STREQ(net_rider_info[6].head_texture, "helmet");
    EXPECT_STREQ(net_rider_info[6].number, "12");
    EXPECT_STREQ(net_rider_info[6].name, "Rider");
    // Not above the last index: ignored; a higher one is taken.
    from_server(rider_info(1, 5));
    EXPECT_EQ(net_slot_role[5], 0);
    from_server(rider_info(1, 8));
    EXPECT_EQ(net_client.last_rider_index, 8u);
    from_server(race_start(1, 4));
    EXPECT_EQ(net_recorded.resets, 1);
    EXPECT_EQ(net_slot_role[4], 1);
    EXPECT_EQ(net_client.local_slot, 4);
    EXPECT_EQ(race_server_gate_drop, 1700);
}

// A race start whose track cannot load goes to disconnecting, not to a hash of nothing.
TEST_F(net_packets, FailedRaceResetDisconnects) {
    online(NET_STATE_BIKE_ACK, 2, 1);
    net_client.track_name = "tracks/practice";
    net_recorded.reset_result = 0;
    from_server(race_start(1, 2));
    EXPECT_EQ(net_client.state, NET_STATE_DISCONNECTING);
    EXPECT_EQ(net_console_count("Can't find track 'tracks/practice'"), 1);
}

// Datagrams from any other address or port, and datagrams too short for their type, change
// nothing and are counted.
TEST_F(net_packets, StrangersAndShortDatagramsAreDropped) {
    online(NET_STATE_CONTACTING, NET_NO_SLOT, 0);
    net_address stranger = server_address;
    stranger.area[3] ^= 1;   // another port
    long long foreign = net_foreign_datagrams;
    std::string a = accept(3);
    net_dispatch((const unsigned char *)a.data(), (int)a.size(), &stranger);
    std::string d = bytes_of({16}) + "go away";
    net_dispatch((const unsigned char *)d.data(), (int)d.size(), &stranger);
    EXPECT_EQ(net_foreign_datagrams, foreign + 2);
    EXPECT_EQ(net_client.state, NET_STATE_CONTACTING);
    EXPECT_EQ(net_client.slot, NET_NO_SLOT);

    struct cut {
        std::string packet;
        int minimum, state, slot;
    } cuts[] = {
        {accept(1), 13, 0, 160},        {track(1), 37, 3, 2},
        {rider_info(1, 3), 9, 5, 2},    {race_start(1, 2), 9, 5, 2},
        {race_info(1, 10), 13, 9, 2},   {bytes_of({11}) + le32(1) + le32(5) + le32(0) + le32(0), 17, 9, 2},
        {restart(5), 5, 11, 2},         {bytes_of({18}) + le32(0), 5, 11, 2},
        {bytes_of({25}) + le32(1234) + "x", 5, 0, 160},
        {bytes_of({17}) + le32(0) + bytes_of({19}), 6, 11, 2},
    };
    for (const cut &c : cuts) {
        for (int n = 1; n < c.minimum; n++) {
            online(c.state, c.slot, 1);
            net_snapshot before = net_snapshot::take();
            long long shorts = net_short_datagrams;
            from_server(c.packet.substr(0, (size_t)n));
            EXPECT_TRUE(before == net_snapshot::take()) << (int)c.packet[0] << " cut to " << n;
            EXPECT_EQ(net_short_datagrams, shorts + 1);
            EXPECT_TRUE(sent().empty());
            EXPECT_TRUE(net_connected());
        }
    }
}

// A redirect in state 0 with the client's nonce moves the client; another nonce does nothing.
TEST_F(net_packets, RedirectPacket) {
    online(NET_STATE_CONTACTING, NET_NO_SLOT, 0);
    from_server(bytes_of({25}) + le32(99) + "127.0.0.1:7000");
    EXPECT_TRUE(net_connected());
    from_server(bytes_of({25}) + le32(1234) + "127.0.0.1:7000" + std::string(200, 'x'));
    EXPECT_FALSE(net_connected());
    ASSERT_NE(connect_address, nullptr);
    EXPECT_EQ(strlen(connect_address), 127u);
    EXPECT_EQ(std::string(connect_address, 14), "127.0.0.1:7000");
}

// Rider info names that could reach outside the data folders, or hold control bytes, are
// emptied; long ones are cut to their buffers.
TEST(net_rider_info, UnsafeNamesBecomeEmpty) {
    memset(&net_rider_info[3], 0, sizeof net_rider_info[3]);
    net_parse_rider_info(3, "../bikes|/etc/passwd|a\\b|ok|\x07x\n12345\nA rider name");
    const net_rider_info_record &r = net_rider_info[3];
    EXPECT_STREQ(r.model, "");
    EXPECT_STREQ(r.rider_texture, "");
    EXPECT_STREQ(r.bike_texture, "");
    EXPECT_STREQ(r.wheel_texture, "ok");
    EXPECT_STREQ(r.head_texture, "");
    EXPECT_STREQ(r.number, "123");
    EXPECT_STREQ(r.name, "A rider name");
    // Missing fields keep what the slot had; a sixth field is dropped; long names are cut.
    net_parse_rider_info(3, ("450f|" + std::string(300, 'r') + "|x|y|z|sixth").c_str());
    EXPECT_STREQ(r.model, "450f");
    EXPECT_EQ(strlen(r.rider_texture), 127u);
    EXPECT_STREQ(r.head_texture, "z");
    EXPECT_STREQ(r.number, "123");
    net_parse_rider_info(3, "125");
    EXPECT_STREQ(r.model, "125");
    EXPECT_STREQ(r.wheel_texture, "y");
    net_parse_rider_info(160, "x");   // no such slot: nothing
}

// Our own seeded draw: 0 % drops nothing, 100 % everything, 30 % about 30 in 100.
TEST(net_loss, SeededDraw) {
    net_loss_seed(12345);
    int dropped[3] = {};
    for (int i = 0; i < 10000; i++) {
        dropped[0] += net_loss_drops(0);
        dropped[1] += net_loss_drops(100);
        dropped[2] += net_loss_drops(30);
    }
    EXPECT_EQ(dropped[0], 0);
    EXPECT_EQ(dropped[1], 10000);
    EXPECT_NEAR(dropped[2], 3000, 200);
}

// With a lag of 0.2 s each datagram is acted on in the first pass more than 0.2 s after it
// arrived; 100 % loss drops everything; a reset empties the queue.
TEST_F(net_loopback, SimulatedLagAndLoss) {
    online(NET_STATE_RACING, 2, 1);
    game_settings.fake_lag = 0.2;
    game_settings.fake_loss = 0;
    send_to_client(bytes_of({1}));
    usleep(20000);
    net_receive();   // arrives at 100.0
    EXPECT_EQ(net_console_count("Server is full"), 0);
    EXPECT_EQ(net_delayed_count(), 1);
    net_test_clock = 100.2;
    net_receive();
    EXPECT_EQ(net_console_count("Server is full"), 0);
    net_test_clock = 100.2078125;
    net_receive();
    EXPECT_EQ(net_console_count("Server is full"), 1);

    game_settings.fake_loss = 100;
    for (int i = 0; i < 20; i++) send_to_client(bytes_of({1}));
    usleep(20000);
    net_receive();
    EXPECT_EQ(net_delayed_count(), 0);

    game_settings.fake_loss = 0;
    send_to_client(bytes_of({1}));
    usleep(20000);
    net_receive();
    EXPECT_EQ(net_delayed_count(), 1);
    net_reset_connection();
    EXPECT_EQ(net_delayed_count(), 0);
    game_settings.fake_lag = 0.0;
}

// A state bundle: complete records for remote riders go into their histories; the client's
// own slot, a robot, a slot without a rider, slot 160 and an older tick add nothing; a count
// larger than the datagram applies the complete records, then says so.
TEST_F(net_packets, StateBundle) {
    online(NET_STATE_READY, 2, 1);
    race_state.current_tick = 0;
    auto record = [](int slot, int ping, uint32_t tick) {
        return std::string(1, (char)(slot & 255)) + std::string(1, (char)(slot >> 8)) +
               std::string(1, (char)ping) + std::string(1, '\0') + le32(tick) + std::string(39, 'r');
    };
    std::string d = bytes_of({11}) + le32(1) + le32(800) + le32(0) + le32(8) + record(3, 5, 790) +
                    record(2, 5, 790) + record(9, 5, 790) + record(7, 5, 790) + record(160, 5, 790) +
                    record(3, 5, 780) + record(4, 6, 0x80000000u) + record(4, 6, 791) +
                    record(5, 1, 1).substr(0, 20);
    d.replace(13, 4, le32(9));
    from_server(d);
    EXPECT_EQ(net_recorded.states, (std::vector<int>{3, 4}));
    EXPECT_EQ(net_slot_state_tick[3], 790);
    EXPECT_EQ(net_slot_ping[4], 6);
    EXPECT_EQ(net_console_count("State packet too small"), 1);
    EXPECT_EQ(net_client.state, NET_STATE_RACING);
    EXPECT_EQ(race_state.current_tick, 800);   // the first server tick sets the race clock
    EXPECT_EQ(net_client.server_tick_estimate, 800);
    EXPECT_EQ(net_console_count("3 laps"), 0);   // the race state here has no laps set
    // The echoed tick gives the client's own ping; an older server tick moves nothing.
    race_state.current_tick = 830;
    from_server(bytes_of({10}) + le32(1) + le32(700) + le32(810));
    EXPECT_EQ(net_slot_ping[2], 20);
    EXPECT_EQ(net_client.latest_server_tick, 800u);
    race_state.current_tick = 0;
}

// The race length as the race reset left it.
TEST_F(net_packets, RaceLengthLines) {
    struct row {
        int race_time, laps;
        const char *line;
    } rows[] = {{0, 3, "3 laps"}, {10 * 60 * 128, 0, "10 minutes"}, {10 * 60 * 128 + 40, 2, "10 minutes + 2 laps"}};
    for (const row &r : rows) {
        online(NET_STATE_READY, 2, 1);
        console_clear();
        race_state.race_time = r.race_time;
        race_state.laps = r.laps;
        from_server(race_info(1, 100));
        EXPECT_EQ(net_console_count(r.line), 1) << r.line;
        EXPECT_EQ(net_console_count("laps"), r.laps > 0 ? 1 : 0) << r.line;
    }
    race_state.race_time = 0;
    race_state.laps = 0;
}
