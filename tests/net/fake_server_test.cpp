// The fake race server itself: its track hash against the game's own, its judgement of client
// datagrams and its outgoing faults, over real loopback sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "core/console.h"
#include "core/util.h"
#include "core/vfs.h"
#include "race/track.h"
#include "race/track_hash.h"
#include "tests/support/fake_race_server.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

namespace {

// A plain UDP socket playing the client, bound to the loopback.
struct raw_client {
    int fd = -1;
    sockaddr_in server = {};
    explicit raw_client(int port) {
        fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, (sockaddr *)&a, sizeof a);
        server = a;
        server.sin_port = htons((uint16_t)port);
    }
    ~raw_client() { close(fd); }
    void send(const std::vector<uint8_t> &b) {
        sendto(fd, b.data(), b.size(), 0, (sockaddr *)&server, sizeof server);
    }
    std::vector<std::vector<uint8_t>> read_all() {
        std::vector<std::vector<uint8_t>> out;
        uint8_t buffer[2048];
        ssize_t n;
        while ((n = recv(fd, buffer, sizeof buffer, 0)) >= 0) out.emplace_back(buffer, buffer + n);
        return out;
    }
};

}  // namespace

// The server's hash of each stock track, from the archive's members, is the one track_load
// computes for the same track.
TEST(net_fake_server, TrackHashMatchesTheGame) {
    temp_dir home;
    test_isolate_home(home);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    track_lists_create();
    gl_test_window window(320, 320);
    ASSERT_NE(window.w, nullptr);
    for (const char *track : {"tracks/practice", "tracks/hillside"}) {
        uint8_t fake[20];
        ASSERT_EQ(fake_track_hash(track, fake), 1) << track;
        track_name = util_intern(track);
        ASSERT_EQ(track_load(), 1) << track;
        EXPECT_EQ(memcmp(fake, track_hash, 20), 0) << track;
        track_unload();
    }
    uint8_t none[20];
    EXPECT_EQ(fake_track_hash("tracks/nowhere", none), 0);
    track_lists_free();
    track_name = nullptr;
    vfs_shutdown();
}

// The server plays a raw client through the handshake and judges what it sends: a wrong slot,
// word, race id, length or sequence is recorded as malformed.
TEST(net_fake_server, PlaysTheHandshakeAndJudgesPackets) {
    fake_server s;
    fake_server_config c;
    ASSERT_EQ(fake_server_start(&s, c), 1);
    raw_client k(s.port);
    k.send(fake_words(0, {0, 0, 41, 777, 0}));
    fake_server_poll(&s, 0.0);
    auto got = k.read_all();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], fake_accept(c.client_slot, c.connection_word, 6));
    std::vector<uint8_t> info = fake_words(3, {c.client_slot, c.connection_word, 0, 0, 0, 0, 0, 0, 0, 0});
    std::string text = "generic||||\n7\nPlayer";
    info.insert(info.end(), text.begin(), text.end());
    k.send(info);
    fake_server_poll(&s, 0.1);
    got = k.read_all();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], fake_track(1, 0, 3, 1700, s.track_hash, "tracks/practice"));
    k.send(fake_words(5, {c.client_slot, c.connection_word, 1}));
    fake_server_poll(&s, 0.2);
    got = k.read_all();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], fake_rider_info(1, c.client_slot + 1, "generic||||\n7\nEcho Player"));
    k.send(fake_words(7, {c.client_slot, c.connection_word, 1, c.client_slot + 1}));
    fake_server_poll(&s, 0.3);
    got = k.read_all();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], 8);
    EXPECT_TRUE(s.errors.empty()) << s.errors[0];

    struct {
        const char *label;
        std::vector<uint8_t> bytes;
    } bad[] = {
        {"wrong slot", fake_words(9, {c.client_slot + 1, c.connection_word, 1})},
        {"wrong word", fake_words(9, {c.client_slot, c.connection_word ^ 1, 1})},
        {"wrong race", fake_words(9, {c.client_slot, c.connection_word, 2})},
        {"long ready", fake_words(9, {c.client_slot, c.connection_word, 1, 0})},
        {"bike ack for a rider never sent", fake_words(7, {c.client_slot, c.connection_word, 1, 9})},
        {"reliable ahead", fake_words(17, {c.client_slot, c.connection_word, 1})},
        {"ack never sent", fake_words(18, {c.client_slot, c.connection_word, 0})},
        {"unknown type", {99}},
        {"empty", {}},
        {"contact without 41", fake_words(0, {0, 0, 40, 777, 0})},
    };
    for (auto &b : bad) {
        size_t before = s.errors.size();
        k.send(b.bytes);
        fake_server_poll(&s, 0.4);
        EXPECT_EQ(s.errors.size(), before + 1) << b.label;
    }
    EXPECT_TRUE(k.read_all().empty());
    fake_server_stop(&s);
}

// Drop, duplicate and reorder act on the Nth datagram the server sends; withheld acks leave
// reliable packets unanswered, and the server's own reliable head is resent every 0.5 s.
TEST(net_fake_server, FaultsAndTheReliableChannel) {
    fake_server s;
    fake_server_config c;
    c.auto_play = 0;
    ASSERT_EQ(fake_server_start(&s, c), 1);
    raw_client k(s.port);
    k.send(fake_words(0, {0, 0, 41, 5, 0}));
    fake_server_poll(&s, 0.0);
    fake_server_send(&s, fake_accept(4, 0x1234, 6));
    k.read_all();
    s.faults = {{FAKE_DROP, 1}, {FAKE_DUPLICATE, 2}, {FAKE_REORDER, 3}};
    s.sent_count = 0;
    for (uint32_t i = 1; i <= 5; i++) fake_server_send(&s, fake_restart(100 + i), 0);
    auto got = k.read_all();
    std::vector<std::vector<uint8_t>> want = {fake_restart(102), fake_restart(102), fake_restart(104),
                                              fake_restart(103), fake_restart(105)};
    EXPECT_EQ(got, want);
    s.faults.clear();

    // The client's reliable message 0 is acknowledged and taken once; a copy only acknowledged.
    std::vector<uint8_t> r = fake_words(17, {4, 0x1234, 0});
    r.push_back(19);
    for (char ch : std::string("hello")) r.push_back((uint8_t)ch);
    k.send(r);
    k.send(r);
    fake_server_poll(&s, 1.0);
    EXPECT_EQ(k.read_all(), (std::vector<std::vector<uint8_t>>{fake_ack(0), fake_ack(0)}));
    ASSERT_EQ(s.messages.size(), 1u);
    EXPECT_EQ(s.messages[0].second, "hello");
    s.config.withhold_acks = 1;
    r[9] = 1;
    k.send(r);
    fake_server_poll(&s, 1.1);
    EXPECT_TRUE(k.read_all().empty());
    EXPECT_EQ(s.messages.size(), 2u);

    fake_server_queue_reliable(&s, 24, "sendready");
    fake_server_poll(&s, 2.0);
    fake_server_poll(&s, 2.4);
    fake_server_poll(&s, 2.5);
    EXPECT_EQ(k.read_all(), (std::vector<std::vector<uint8_t>>{fake_reliable(0, 24, "sendready"),
                                                               fake_reliable(0, 24, "sendready")}));
    k.send(fake_words(18, {4, 0x1234, 0}));
    fake_server_poll(&s, 3.5);
    EXPECT_TRUE(s.queue.empty());
    EXPECT_TRUE(k.read_all().empty());
    EXPECT_TRUE(s.errors.empty()) << s.errors[0];
    fake_server_stop(&s);
}
