// The reliable channel: the server's packets in order exactly once, the outgoing queue one
// packet in flight, the server's commands, and a file sent in parts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "bike/riding.h"
#include "race/race.h"
#include "race/track.h"
#include "tests/net/net_fixture.h"
#include "tests/support/test_support.h"

static std::string reliable(uint32_t sequence, int type, const std::string &payload) {
    return bytes_of({17}) + le32(sequence) + std::string(1, (char)type) + payload;
}

// The sequences the client acknowledged, in order.
static std::vector<uint32_t> acks(const std::vector<std::string> &datagrams) {
    std::vector<uint32_t> out;
    for (const std::string &d : datagrams) {
        if (d.size() != 13 || d[0] != 18) continue;
        EXPECT_EQ(wire_get32((const unsigned char *)d.data() + 1), 2u);
        EXPECT_EQ(wire_get32((const unsigned char *)d.data() + 5), 0x0a0b0c0du);
        out.push_back(wire_get32((const unsigned char *)d.data() + 9));
    }
    return out;
}

// The console lines holding text, oldest first.
static std::vector<std::string> lines_with(const char *text) {
    std::vector<std::string> out;
    for (int k = 0; k < CONSOLE_LINES; k++) {
        const char *line = console_log.lines[(console_log.head + k) % CONSOLE_LINES];
        if (strstr(line, text)) out.emplace_back(line);
    }
    return out;
}

TEST_F(net_loopback, ServerSequencesAreHandledInOrderOnce) {
    online(NET_STATE_RACING);
    from_server(reliable(0, 19, "message 0"));
    from_server(reliable(2, 19, "message 2"));
    from_server(reliable(1, 19, "message 1"));
    from_server(reliable(1, 19, "message 1"));
    EXPECT_EQ(lines_with("message"), (std::vector<std::string>{"message 0", "message 1", "message 2"}));
    EXPECT_EQ(acks(sent()), (std::vector<uint32_t>{0, 2, 1, 1}));
    EXPECT_EQ(net_client.expected_sequence, 3u);
    EXPECT_EQ(net_reliable.held_count, 0);
    // expected + 64 is held, expected + 65 neither held nor acknowledged.
    from_server(reliable(3 + 65, 19, "far"));
    from_server(reliable(3 + 64, 19, "near"));
    EXPECT_EQ(acks(sent()), (std::vector<uint32_t>{67}));
    EXPECT_EQ(net_reliable.held_count, 1);
    // Every sequence up to it: at most 64 held, then all handled in order.
    for (uint32_t s = 66; s >= 4; s--) from_server(reliable(s, 99, "x"));   // a type of no effect
    EXPECT_EQ(net_reliable.held_count, 64);
    from_server(reliable(3, 99, "x"));
    EXPECT_EQ(net_reliable.held_count, 0);
    EXPECT_EQ(net_client.expected_sequence, 68u);
    EXPECT_EQ(lines_with("near").size(), 1u);
    EXPECT_EQ(lines_with("far").size(), 0u);
}

TEST_F(net_loopback, OutgoingQueueOneInFlight) {
    online(NET_STATE_RACING);
    ASSERT_EQ(net_send_chat("first"), 1);
    ASSERT_EQ(net_send_chat("second"), 1);
    net_reliable_resend();
    std::vector<std::string> out = sent();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], bytes_of({17, 2, 0, 0, 0, 0x0d, 0x0c, 0x0b, 0x0a, 0, 0, 0, 0, 19}) + "first");
    // A wrong acknowledgement is ignored; the head goes again 0.5 s later, not before.
    from_server(bytes_of({18}) + le32(1));
    net_test_clock += 0.49;
    net_reliable_resend();
    EXPECT_TRUE(sent().empty());
    net_test_clock += 0.01;
    net_reliable_resend();
    EXPECT_EQ(sent().size(), 1u);
    from_server(bytes_of({18}) + le32(0));
    net_reliable_resend();
    out = sent();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(wire_get32((const unsigned char *)out[0].data() + 9), 1u);
    EXPECT_EQ(out[0].substr(13), bytes_of({19}) + "second");
    // Texts are cut to the packet's room.
    net_send_chat(std::string(600, 'c').c_str());
    EXPECT_EQ(net_reliable.queue[(net_reliable.queue_first + 1) % NET_QUEUE_MAX].length, 480);
}

TEST_F(net_loopback, FullQueueRefusesWithOneWarning) {
    online(NET_STATE_RACING);
    for (int i = 0; i < NET_QUEUE_MAX; i++) ASSERT_NE(net_new_reliable_packet(), nullptr);
    EXPECT_EQ(net_new_reliable_packet(), nullptr);
    EXPECT_EQ(net_send_chat("more"), 0);
    EXPECT_EQ(net_console_count("Warning: server is not taking messages"), 1);
    EXPECT_EQ(net_reliable.queue_count, NET_QUEUE_MAX);
    // Offline nothing is queued.
    net_reset_connection();
    EXPECT_EQ(net_new_reliable_packet(), nullptr);
    EXPECT_EQ(net_send_chat("offline"), 0);
    EXPECT_EQ(net_console_count("Not connected to server"), 1);
}

TEST_F(net_loopback, Commands) {
    struct row {
        const char *text;
        float bias, scale;
        int knockout_first, knockout_rest;
        int erode;       // race_state.erode_amount afterwards
        bool warned;
    } rows[] = {
        {"off_course_bias 12.5", 12.5f, 1.5f, 0, 0, -1, false},
        {"off_course_bias", 10.0f, 1.5f, 0, 0, -1, true},
        {"off_course_bias 4000", 10.0f, 1.5f, 0, 0, -1, true},
        {"off_course_scale nan", 10.0f, 1.5f, 0, 0, -1, true},
        {"off_course_scale 1e39", 10.0f, 1.5f, 0, 0, -1, true},
        {"off_course_scale 2", 10.0f, 2.0f, 0, 0, -1, false},
        {"knockout 100 200", 10.0f, 1.5f, 100, 200, -1, false},
        {"knockout", 10.0f, 1.5f, 0, 0, -1, false},
        {"knockout 999999", 10.0f, 1.5f, 460800, 460800, -1, false},
        {"knockout 99999999999", 10.0f, 1.5f, 460800, 460800, -1, false},
        {"knockout -5 7", 10.0f, 1.5f, 0, 7, -1, false},
        {"knockout 5 x", 10.0f, 1.5f, 0, 0, -1, true},
        {"erode 5 0", 10.0f, 1.5f, 0, 0, 0, false},
        {"erode 5", 10.0f, 1.5f, 0, 0, -1, false},      // malformed
        {"erode 5 200000", 10.0f, 1.5f, 0, 0, -1, true},
        {"erode 6 30", 10.0f, 1.5f, 0, 0, -1, false},   // another race
        {"erode 5 30", 10.0f, 1.5f, 0, 0, 30, false},
        {"unknown words", 10.0f, 1.5f, 0, 0, -1, false},
    };
    for (const row &r : rows) {
        online(NET_STATE_RACING, 2, 5);
        console_clear();
        race_state.erode_amount = -1;
        track_reload_request = 0;
        net_recorded.demo_types.clear();
        net_handle_command(r.text);
        EXPECT_EQ(off_course_bias, r.bias) << r.text;
        EXPECT_EQ(off_course_scale, r.scale) << r.text;
        EXPECT_EQ(fall_delay_table[0], r.knockout_first) << r.text;
        for (int i = 1; i < 16; i++) EXPECT_EQ(fall_delay_table[i], r.knockout_rest) << r.text;
        EXPECT_EQ(race_state.erode_amount, r.erode) << r.text;
        EXPECT_EQ(net_console_count("Warning: bad server command"), r.warned ? 1 : 0) << r.text;
        EXPECT_EQ(track_reload_request, r.erode > 0) << r.text;
        // Only a set rate other than the first 0 is written to a demo.
        EXPECT_EQ(net_recorded.demo_types.size(), r.erode > 0 ? 1u : 0u) << r.text;
    }
    EXPECT_EQ(net_console_count("Malformed erode command received"), 0);
    online(NET_STATE_RACING, 2, 5);
    net_handle_command("erode 5");
    EXPECT_EQ(net_console_count("Malformed erode command received"), 1);
    race_state.erode_amount = 1024;
    track_reload_request = 0;

    net_handle_command("no_arcade");
    EXPECT_EQ(net_client.arcade_forbidden, 1);
    net_handle_command("sendready");
    EXPECT_EQ(net_transfer.sending, 1);
    net_handle_command("senddenied");
    EXPECT_EQ(net_transfer.sending, 0);
    EXPECT_EQ(net_console_count("Send file denied"), 1);
}

// A redirect is kept trimmed and cut, falls due in 10 s, and then leaves for the new server.
TEST_F(net_loopback, RedirectCommand) {
    online(NET_STATE_RACING);
    net_handle_command(("redirect " + std::string(200, 'r')).c_str());
    EXPECT_EQ(strlen(net_client.redirect_target), 127u);
    net_handle_command("redirect   127.0.0.1:19801   ");
    EXPECT_STREQ(net_client.redirect_target, "127.0.0.1:19801");
    EXPECT_EQ(net_client.redirect_time, net_test_clock + 10.0);
    net_test_clock += 9.9;
    net_client_update();
    EXPECT_EQ(net_client.state, NET_STATE_RACING);
    net_test_clock += 0.1;
    sent();
    net_client_update();
    EXPECT_EQ(net_client.state, NET_STATE_DISCONNECTING);
    std::vector<std::string> out = sent();
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), bytes_of({15, 2, 0, 0, 0, 0x0d, 0x0c, 0x0b, 0x0a}));
    // The server's disconnect: offline, and the next update contacts the target.
    from_server(bytes_of({15}));
    EXPECT_FALSE(net_connected());
    ASSERT_NE(connect_address, nullptr);
    EXPECT_STREQ(connect_address, "127.0.0.1:19801");
    EXPECT_EQ(net_client.redirect_target[0], 0);
}

TEST_F(net_loopback, FileSentInAcknowledgedParts) {
    temp_dir dir;
    std::string bytes;
    for (int i = 0; i < 600; i++) bytes += (char)(i * 7 + 3);
    ASSERT_TRUE(test_write_file(dir.file("lap.txt"), bytes));
    online(NET_STATE_RACING);
    ASSERT_EQ(net_start_file_transfer(dir.file("lap.txt").c_str()), 1);
    net_reliable_resend();
    std::vector<std::string> out = sent();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].substr(13), bytes_of({24}) + "sendfile");
    net_transfer_step();   // not yet ready
    EXPECT_EQ(net_reliable.queue_count, 1);
    from_server(bytes_of({18}) + le32(0));
    from_server(reliable(0, 24, "sendready"));
    std::string got;
    std::vector<int> parts;
    std::string name;
    for (int step = 0; step < 40 && name.empty(); step++) {
        net_test_clock += 0.25;
        net_transfer_step();
        net_transfer_step();   // a part waits for its acknowledgement
        EXPECT_LE(net_reliable.queue_count, 1);
        net_reliable_resend();
        for (const std::string &d : sent()) {
            if (d[0] != 17) continue;
            std::string m = d.substr(14);
            if (m.rfind("sendpart -", 0) == 0) {
                parts.push_back((int)m.size() - 10);
                got += m.substr(10);
            } else if (m.rfind("namefile ", 0) == 0) {
                name = m.substr(9);
            }
            from_server(bytes_of({18}) + d.substr(9, 4));
        }
    }
    EXPECT_EQ(parts, (std::vector<int>{256, 256, 88}));
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(name, "lap.txt");
    EXPECT_EQ(net_transfer.file, nullptr);

    // A reset in the middle closes the file: nothing goes to the next server.
    ASSERT_EQ(net_start_file_transfer(dir.file("lap.txt").c_str()), 1);
    net_handle_command("sendready");
    net_reset_connection();
    EXPECT_EQ(net_transfer.file, nullptr);
    EXPECT_EQ(net_transfer.sending, 0);
    EXPECT_STREQ(net_transfer.text, "");
}

// Lines from the network: 10 a second reach the console, the rest are counted once a second.
TEST_F(net_loopback, NetworkLinesAreLimited) {
    online(NET_STATE_RACING);
    for (int i = 0; i < 25; i++) from_server(reliable((uint32_t)i, 19, "chat line"));
    EXPECT_EQ(net_console_count("chat line"), 10);
    net_test_clock += 1.0;
    net_client_update();
    EXPECT_EQ(net_console_count("Warning: 15 network messages not shown"), 1);
}

// Timing entries of other riders: only real slots, indices below 65,536 and ticks in range.
TEST_F(net_loopback, RiderValues) {
    online(NET_STATE_RACING, 2, 1);
    std::string m = le32(1) + le32(0xffffffffu);
    auto record = [&](uint32_t slot, uint32_t index, uint32_t tick) { m += le32(slot) + le32(index) + le32(tick); };
    record(3, 4, 500);           // taken
    record(2, 4, 500);           // the client's own slot
    record(7, 4, 500);           // no rider there
    record(160, 4, 500);
    record(0xffffffffu, 4, 500);
    record(3, 65536, 500);
    record(3, 0xffffffffu, 500);
    record(3, 5, 0x80000000u);
    record(4, 65535, 16777216);  // taken
    from_server(reliable(0, 21, m + "\x01\x02"));   // a record cut short at the end
    EXPECT_EQ(net_recorded.timing, (std::vector<int>{3, 4, 500, 4, 65535, 16777216}));
    net_recorded.timing.clear();
    from_server(reliable(1, 21, le32(2) + le32(1) + le32(3) + le32(1) + le32(1)));   // another race
    EXPECT_TRUE(net_recorded.timing.empty());
}
