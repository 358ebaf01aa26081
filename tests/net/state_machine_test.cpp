// The connection's own timing without a server: contact, racing sends, the silence bounds and
// leaving.
#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"
#include "core/widget_data.h"
#include "race/race.h"
#include "tests/net/net_fixture.h"

static int port_of(const net_address &a) {
    return a.area[2] << 8 | a.area[3];
}

TEST_F(net_loopback, ContactAtOnceThenOnceASecond) {
    std::string target = "127.0.0.1:" + std::to_string(port_of(server_address));
    connect_address = target.c_str();
    server_password = "secret";
    net_client_update();
    std::vector<std::string> out = sent();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], bytes_of({0, 1, 0, 0, 0, 0, 0, 0, 0, 41, 0, 0, 0}) + le32(1234) + le32(0));
    net_test_clock += 0.99;
    net_client_update();
    EXPECT_TRUE(sent().empty());
    net_test_clock += 0.01;
    net_client_update();
    EXPECT_EQ(sent().size(), 1u);
    EXPECT_EQ(net_console_count("Contacting server"), 2);
    // The accept moves on and the client info leaves in the same update.
    net_dispatch((const unsigned char *)(bytes_of({2, 3, 0, 0, 0}) + le32(77) + le32(6)).data(), 13,
                 &server_address);
    net_client_update();
    out = sent();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0][0], 3);
    EXPECT_EQ(net_console_count("Sending client info"), 1);
    server_password = nullptr;
}

TEST_F(net_loopback, SetupFailuresClearTheTarget) {
    net_hooks.fixed_files_match = [] { return 0; };
    connect_address = "127.0.0.1";
    net_client_update();
    EXPECT_EQ(net_console_count("Fixed file mismatch"), 1);
    EXPECT_EQ(connect_address, nullptr);
    net_hooks.fixed_files_match = nullptr;
    net_lookup_hook = [](const char *, uint32_t *) { return 0; };
    connect_address = "nowhere.invalid";
    net_client_update();
    EXPECT_EQ(net_console_count("Can't resolve address"), 1);
    EXPECT_EQ(connect_address, nullptr);
    EXPECT_FALSE(net_connected());
    net_lookup_hook = nullptr;
}

TEST_F(net_loopback, RacingSendsEveryFourthTickAndReportsTiming) {
    online(NET_STATE_RACING, 2, 7);
    net_client.local_slot = 2;
    net_client.latest_server_tick = 900;
    for (int tick = 0; tick < 8; tick++) {
        race_state.current_tick = tick;
        net_client_update();
    }
    std::vector<std::string> out = sent();
    ASSERT_EQ(out.size(), 2u);
    for (int k = 0; k < 2; k++) {
        ASSERT_EQ(out[k].size(), 60u);
        EXPECT_EQ(out[k].substr(0, 21), bytes_of({11, 2, 0, 0, 0, 0x0d, 0x0c, 0x0b, 0x0a}) + le32(7) +
                                            le32(900) + le32((uint32_t)(4 * k)));
        EXPECT_EQ(out[k].substr(21), std::string(39, (char)2));
    }
    // Two timing entries: index 1 reported once; falling to 0 reports nothing.
    race_state.current_tick = 9;
    net_recorded.timing_count = 2;
    net_client_update();
    net_client_update();
    ASSERT_EQ(net_reliable.queue_count, 1);
    const net_packet &p = net_reliable.queue[net_reliable.queue_first];
    EXPECT_EQ(std::string((const char *)p.data + 13, (size_t)p.length - 13),
              bytes_of({21}) + le32(7) + le32(1) + le32(1001));
    net_recorded.timing_count = 0;
    net_client_update();
    EXPECT_EQ(net_reliable.queue_count, 1);
    EXPECT_EQ(net_client.reported_timing_count, 0u);
    race_state.current_tick = 0;
}

TEST_F(net_loopback, WatchingAsksForInfoEveryTenSeconds) {
    online(NET_STATE_RACING, 2, 7);
    int queued = 0;
    for (int tick = 0; tick < 2600; tick++) {   // 20.3 s
        race_state.current_tick = tick;
        net_client.last_heard = net_test_clock;
        net_client_update();
        net_test_clock += 1.0 / 128;
        while (net_reliable.queue_count > 0) {
            const net_packet &p = net_reliable.queue[net_reliable.queue_first];
            EXPECT_EQ(std::string((const char *)p.data + 13, (size_t)p.length - 13), bytes_of({19}) + "server,info");
            queued++;
            net_reliable.queue_first = (net_reliable.queue_first + 1) % NET_QUEUE_MAX;
            net_reliable.queue_count--;
        }
    }
    EXPECT_EQ(queued, 3);
    for (const std::string &d : sent()) EXPECT_NE(d[0], 11);
    race_state.current_tick = 0;
}

// A silent server: "Server not responding" after 30 s, three disconnects a second apart, then
// offline.
TEST_F(net_loopback, SilentServerEndsTheConnection) {
    online(NET_STATE_CLIENT_INFO);
    net_client.last_send_time = net_test_clock;
    double start = net_test_clock;
    int disconnects = 0;
    for (int k = 1; k <= 35 * 8 && net_connected(); k++) {
        net_test_clock = start + k / 8.0;
        net_client_update();
        for (const std::string &d : sent()) disconnects += d[0] == 15;
        if (net_test_clock < start + 30.0) EXPECT_EQ(net_client.state, NET_STATE_CLIENT_INFO);
    }
    EXPECT_EQ(net_console_count("Server not responding"), 1);
    EXPECT_EQ(disconnects, 3);
    EXPECT_FALSE(net_connected());
    EXPECT_EQ(net_console_count("Disconnected"), 1);
    EXPECT_NEAR(net_test_clock - start, 33.0, 0.2);
}

TEST_F(net_loopback, DisconnectSendsOneDatagram) {
    online(NET_STATE_RACING, 5);
    net_client.race_id = 3;
    net_disconnect();
    std::vector<std::string> out = sent();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], bytes_of({15, 5, 0, 0, 0, 0x0d, 0x0c, 0x0b, 0x0a}));
    EXPECT_EQ(net_console_count("Disconnecting"), 1);
    EXPECT_FALSE(net_connected());
    EXPECT_EQ(connect_address, nullptr);
    EXPECT_EQ(net_client.slot, NET_NO_SLOT);
    EXPECT_EQ(net_client.race_id, 0u);
    EXPECT_EQ(net_client.local_slot, NET_NO_SLOT);
    EXPECT_EQ(off_course_bias, 10.0f);
    net_disconnect();   // offline: nothing more
    EXPECT_TRUE(sent().empty());
}

// The client info text: the full form, and the short one when it does not fit.
TEST(net_client_info, FullAndShortForms) {
    snprintf(settings.rider_number_text, sizeof settings.rider_number_text, "42");
    snprintf(settings.rider_name_text, sizeof settings.rider_name_text, "Sam");
    snprintf(settings.rider_texture, sizeof settings.rider_texture, "red");
    snprintf(settings.bike_texture, sizeof settings.bike_texture, "blue");
    settings.wheel_texture[0] = settings.head_texture[0] = 0;
    char text[1024];
    int n = net_client_info_text(text, 982);
    std::string model = choice_text(&settings.bike) ? choice_text(&settings.bike) : "";
    EXPECT_EQ(std::string(text, (size_t)n), model + "|red|blue||\n42\nSam");
    std::string lng(600, 'w');
    snprintf(settings.wheel_texture, sizeof settings.wheel_texture, "%s", lng.c_str());
    n = net_client_info_text(text, 982);
    EXPECT_EQ(std::string(text, (size_t)n), model + "|red|blue|" + lng + "|\n42\nSam");
    n = net_client_info_text(text, 464);
    EXPECT_EQ(std::string(text, (size_t)n), model + "\n42\nSam");
}
