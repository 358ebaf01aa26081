// The client online on the loopback without a race server: a socket of the test stands for
// the server, the clock is the test's, and the race side is a recorder.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/net_state.h"
#include "net/client.h"
#include "net/packets.h"
#include "net/reliable.h"
#include "net/wire.h"

inline double net_test_clock = 100.0;

// What the race side was asked to do.
struct net_test_race {
    int resets = 0, reset_result = 1;
    std::vector<int> states;           // slots given a history record
    std::vector<int> timing;           // slot, index, tick
    std::vector<int> demo_types;
    int erosion = 0;
    int timing_count = 0;              // the local rider's timing entries
};
inline net_test_race net_recorded;

inline const net_race_table NET_TEST_RACE = {
    [](const int *, int, int) { return ++net_recorded.resets, net_recorded.reset_result; },
    [](int slot, const unsigned char *, int) { net_recorded.states.push_back(slot); },
    [] {},
    [](int slot, int index, int tick) { net_recorded.timing.insert(net_recorded.timing.end(), {slot, index, tick}); },
    [] {},
    [](const unsigned char *, int) { net_recorded.erosion++; },
    [](int type, const void *, int) { net_recorded.demo_types.push_back(type); },
    [](int slot) { return (int)(slot != 7); },          // slot 7 holds no rider
    [](int slot) { return slot == 9 ? 2 : slot == 2 ? 0 : 1; },   // 9 a robot, 2 local
    [](int) {},
    [](int) { return net_recorded.timing_count; },
    [](int, int index) { return 1000 + index; },
    [](int slot, unsigned char out[39]) { memset(out, slot, 39); },
};

inline int net_console_count(const char *text) {
    int n = 0;
    for (int i = 0; i < CONSOLE_LINES; i++) n += strstr(console_log.lines[i], text) != nullptr;
    return n;
}

inline std::string le32(uint32_t v) {
    unsigned char b[4];
    wire_put32(b, v);
    return std::string((const char *)b, 4);
}

inline std::string bytes_of(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += (char)b;
    return s;
}

class net_loopback : public ::testing::Test {
  protected:
    int server = -1;
    net_address server_address{};

    void SetUp() override {
        console_clear();
        net_test_clock = 100.0;
        net_hooks = {[] { return net_test_clock; }, [] { return 1234u; }, nullptr, nullptr};
        net_race = NET_TEST_RACE;
        net_recorded = {};
        server = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        ASSERT_GE(server, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(server, (sockaddr *)&a, sizeof a), 0);
        socklen_t n = sizeof a;
        ASSERT_EQ(getsockname(server, (sockaddr *)&a, &n), 0);
        server_address = net_ipv4_address(0x7f000001u, ntohs(a.sin_port));
    }

    void TearDown() override {
        net_reset_connection();
        connect_address = nullptr;
        net_race = NET_RACE;
        net_hooks = {};
        close(server);
    }

    // The client online in a state, as if the handshake had come that far.
    void online(int state, int slot = 2, uint32_t race = 1) {
        net_reset_connection();
        net_client.socket = net_open_socket();
        ASSERT_GE(net_client.socket, 0);
        sockaddr_in own = {};
        own.sin_family = AF_INET;
        own.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(net_client.socket, (sockaddr *)&own, sizeof own), 0);
        net_client.server_address = server_address;
        net_client.state = state;
        net_client.slot = slot;
        net_client.connection_word = 0x0a0b0c0d;
        net_client.nonce = 1234;
        net_client.race_id = race;
        net_client.last_heard = net_test_clock;
        connect_address = "127.0.0.1";
    }

    void from_server(const std::string &d) {
        net_dispatch((const unsigned char *)d.data(), (int)d.size(), &server_address);
    }

    // Every datagram the client sent to the server so far.
    std::vector<std::string> sent() {
        std::vector<std::string> out;
        char b[2048];
        for (ssize_t n; (n = recv(server, b, sizeof b, 0)) >= 0;) out.emplace_back(b, (size_t)n);
        return out;
    }

    // Sends a datagram from the server's socket to the client.
    void send_to_client(const std::string &d) {
        sockaddr_in to = {};
        socklen_t n = sizeof to;
        ASSERT_EQ(getsockname(net_client.socket, (sockaddr *)&to, &n), 0);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(sendto(server, d.data(), d.size(), 0, (sockaddr *)&to, sizeof to), (ssize_t)d.size());
    }
};
