// The client against the fake race server over the loopback, on a fake clock: the handshake
// with its packets and lines, the race lengths, the password proof and the client info's forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/digest.h"
#include "core/settings.h"
#include "core/widget_data.h"
#include "tests/net/online_support.h"
#include "tests/support/test_support.h"

namespace {

// The lines in this order, others between them allowed.
void expect_in_order(const std::vector<std::string> &lines, const std::vector<std::string> &want) {
    size_t at = 0;
    for (const std::string &w : want) {
        while (at < lines.size() && lines[at] != w) at++;
        ASSERT_LT(at, lines.size()) << "missing or out of order: \"" << w << "\"";
        at++;
    }
}

// The client's messages as the server took them, texts only.
std::vector<std::string> taken_texts(const fake_server &s, int type) {
    std::vector<std::string> out;
    for (auto &m : s.messages)
        if (m.first == type) out.push_back(m.second);
    return out;
}

void set_rider(const char *gear, const char *number, const char *name) {
    snprintf(settings.rider_texture, sizeof settings.rider_texture, "%s", gear);
    snprintf(settings.head_texture, sizeof settings.head_texture, "helmet_white.png");
    snprintf(settings.bike_texture, sizeof settings.bike_texture, "graphics_red.png");
    snprintf(settings.wheel_texture, sizeof settings.wheel_texture, "rims_black.png");
    snprintf(settings.rider_number_text, sizeof settings.rider_number_text, "%s", number);
    snprintf(settings.rider_name_text, sizeof settings.rider_name_text, "%s", name);
}

std::string model_text() {
    const char *m = choice_text(&settings.bike);
    return m ? m : "";
}

}  // namespace

// Contact at once and then once a second; each step of the scripted server moves the client on
// and its packet leaves in the same update, except the restart ack, which waits its interval.
// Every packet is checked byte by byte, and the lines come in order.
TEST_F(net_online, HandshakeUnderTheFakeClock) {
    set_rider("gear_blue.png", "12", "Ace");
    fake_server_config c;
    c.auto_play = 0;
    start(c);
    const uint32_t W = 0xc0ffee01u;
    step();
    auto contacts = fake_server_packets(&s, 0);
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0]->bytes, fake_words(0, {0, 0, 41, 0x6570a1b2u, 0}));
    step(127);
    EXPECT_EQ(fake_server_packets(&s, 0).size(), 1u);
    step();
    EXPECT_EQ(fake_server_packets(&s, 0).size(), 2u);

    fake_server_send(&s, fake_accept(2, W, 6));
    step();
    EXPECT_EQ(net_client.state, NET_STATE_CLIENT_INFO);
    auto infos = fake_server_packets(&s, 3);
    ASSERT_EQ(infos.size(), 1u);
    std::vector<uint8_t> want_info = fake_words(3, {2, W, 0, 0, 0, 0, 0, 0, 0, 0});
    std::string text = model_text() + "|gear_blue.png|graphics_red.png|rims_black.png|helmet_white.png\n12\nAce";
    want_info.insert(want_info.end(), text.begin(), text.end());
    EXPECT_EQ(infos[0]->bytes, want_info);

    fake_server_send(&s, fake_track(1, 0, 3, 1700, s.track_hash, "tracks/practice"));
    step();
    EXPECT_EQ(net_client.state, NET_STATE_TRACK_ACK);
    ASSERT_EQ(fake_server_packets(&s, 5).size(), 1u);
    EXPECT_EQ(fake_server_packets(&s, 5)[0]->bytes, fake_words(5, {2, W, 1}));
    EXPECT_EQ(online_race.clears, 1);

    fake_server_send(&s, fake_rider_info(1, 3, FAKE_RIDER_INFO));
    step();
    EXPECT_EQ(net_client.state, NET_STATE_BIKE_ACK);
    ASSERT_EQ(fake_server_packets(&s, 7).size(), 1u);
    EXPECT_EQ(fake_server_packets(&s, 7)[0]->bytes, fake_words(7, {2, W, 1, 3}));
    EXPECT_STREQ(net_rider_info[3].name, "Echo Rider");
    EXPECT_STREQ(net_rider_info[3].number, "77");
    EXPECT_STREQ(net_rider_info[3].model, "kx250f(2007)");
    // An index not above the last one is ignored; a higher one is acknowledged at once.
    fake_server_send(&s, fake_rider_info(1, 3, FAKE_RIDER_INFO));
    step();
    EXPECT_EQ(fake_server_packets(&s, 7).size(), 1u);
    fake_server_send(&s, fake_rider_info(1, 5, FAKE_RIDER_INFO));
    step();
    ASSERT_EQ(fake_server_packets(&s, 7).size(), 2u);
    EXPECT_EQ(fake_server_packets(&s, 7)[1]->bytes, fake_words(7, {2, W, 1, 5}));

    fake_server_send(&s, fake_race_start(1, 2, "generic||||\n12\nAce"));
    step();
    EXPECT_EQ(net_client.state, NET_STATE_READY);
    EXPECT_EQ(online_race.resets, 1);
    EXPECT_EQ(online_race.roles[2], 1);
    EXPECT_EQ(online_race.roles[3], 5);
    EXPECT_EQ(online_race.roles[5], 5);
    EXPECT_EQ(online_race.laps, 3);
    EXPECT_EQ(race_server_gate_drop, 1700);
    EXPECT_EQ(net_client.local_slot, 2);
    ASSERT_EQ(fake_server_packets(&s, 9).size(), 1u);
    EXPECT_EQ(fake_server_packets(&s, 9)[0]->bytes, fake_words(9, {2, W, 1}));

    fake_server_send(&s, fake_race_info(1, 500, 0));
    step();
    EXPECT_EQ(net_client.state, NET_STATE_RACING);
    EXPECT_EQ(net_client.latest_server_tick, 500u);
    EXPECT_EQ(race_state.current_tick, 500);

    // The restart request of the Multiplayer page.
    ASSERT_EQ(net_request_restart(), 1);
    fake_server_poll(&s, online_now);
    ASSERT_EQ(fake_server_packets(&s, 13).size(), 1u);
    EXPECT_EQ(fake_server_packets(&s, 13)[0]->bytes, fake_words(13, {2, W, 1}));

    // A restart to a higher race id: the ack waits for the interval, then the track comes again.
    fake_server_send(&s, fake_restart(2));
    step();
    EXPECT_EQ(net_client.state, NET_STATE_RESTARTING);
    EXPECT_EQ(fake_server_packets(&s, 14).size(), 0u);
    step(200);
    auto restarts = fake_server_packets(&s, 14);
    ASSERT_GE(restarts.size(), 1u);
    EXPECT_EQ(restarts[0]->bytes, fake_words(14, {2, W, 2}));
    fake_server_send(&s, fake_track(2, 0, 3, 1700, s.track_hash, "tracks/practice"));
    step();
    EXPECT_EQ(net_client.state, NET_STATE_TRACK_ACK);
    EXPECT_EQ(fake_server_packets(&s, 5).back()->bytes, fake_words(5, {2, W, 2}));

    expect_in_order(all_lines(), {"Contacting server", "Contacting server", "Sending client info",
                                  "Sending track acknowledgment", "Sending bike acknowledgment 3",
                                  "Sending bike acknowledgment 5", "3 laps", "Requesting restart", "Sending restart",
                                  "Sending track acknowledgment"});
    EXPECT_EQ(online_count_lines(all_lines(), "Sending bike acknowledgment 3"), 1);
}

// The race length as the client prints it when the race begins.
TEST_F(net_online, RaceLengthLines) {
    struct {
        int32_t time, laps;
        const char *line;
    } rows[] = {
        {0, 3, "3 laps"},
        {10 * 60 * 128, 0, "10 minutes"},
        {10 * 60 * 128, 2, "10 minutes + 2 laps"},
    };
    for (auto &r : rows) {
        SCOPED_TRACE(r.line);
        fake_server_config c;
        c.race_time = r.time;
        c.race_laps = r.laps;
        race_online(c);
        EXPECT_EQ(online_count_lines(all_lines(), r.line), 1);
        EXPECT_EQ(online_race.race_time, r.time);
        net_disconnect();
        fake_server_stop(&s);
        console_clear();
        console_mark = 0;
    }
}

// With a password the contact says so and the client info carries the proof: bytes 3..0 of
// RIPEMD-160 over the password and the connection word.
TEST_F(net_online, PasswordProof) {
    fake_server_config c;
    c.password = "gate-drop";
    c.connection_word = 0x01020304u;
    server_password = "gate-drop";
    race_online(c);
    server_password = nullptr;
    EXPECT_EQ(fake_server_packets(&s, 0)[0]->password_flag, 1u);
    ripemd160_state d;
    ripemd160_init(&d);
    const uint8_t message[] = {'g', 'a', 't', 'e', '-', 'd', 'r', 'o', 'p', 4, 3, 2, 1};
    ripemd160_update(&d, message, sizeof message);
    ripemd160_final(&d);
    const std::vector<uint8_t> &info = fake_server_packets(&s, 3)[0]->bytes;
    for (int i = 0; i < 4; i++) EXPECT_EQ(info[9 + i], d.digest[3 - i]) << i;
}

// A client info too long for its room goes in the short form, in packet 3 and in a reliable
// message after a change.
TEST_F(net_online, LongClientInfoTakesTheShortForm) {
    set_rider(std::string(600, 'g').c_str(), "7", "Longname");
    snprintf(settings.bike_texture, sizeof settings.bike_texture, "%s", std::string(600, 'b').c_str());
    race_online(fake_server_config());
    std::string short_form = model_text() + "\n7\nLongname";
    EXPECT_EQ(fake_server_packets(&s, 3)[0]->text, short_form);
    // A text that packet 3 would hold whole goes in the short form in a reliable message.
    snprintf(settings.bike_texture, sizeof settings.bike_texture, "%s", std::string(100, 'b').c_str());
    snprintf(settings.rider_texture, sizeof settings.rider_texture, "%s", std::string(400, 'g').c_str());
    net_client.client_info_changed = 1;
    step(4);
    auto texts = taken_texts(s, 3);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], short_form);
    EXPECT_EQ(net_client.client_info_changed, 0);
}

