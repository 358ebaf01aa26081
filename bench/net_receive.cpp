// The race-server client's receive path on the loopback: one pass over 1024 waiting full state
// bundles within half a tick, and a racing client with 40 remote riders within 1% of a tick per
// tick.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "net/client.h"
#include "net/packets.h"
#include "net/reliable.h"
#include "net/wire.h"
#include "race/history.h"
#include "race/race.h"

static const double TICK = 1.0 / 128;
static double clock_now = 100.0;

// A state bundle of the race at a server tick, with records for slots first..first+count-1.
static std::string bundle(uint32_t tick, int first, int count) {
    std::string d(17 + 47 * count, '\0');
    unsigned char *p = (unsigned char *)d.data();
    p[0] = NET_STATE;
    wire_put32(p + 1, 1);
    wire_put32(p + 5, tick);
    wire_put32(p + 9, 0);
    wire_put32(p + 13, (uint32_t)count);
    for (int i = 0; i < count; i++) {
        unsigned char *r = p + 17 + 47 * i;
        r[0] = (unsigned char)(first + i);
        r[2] = 3;
        wire_put32(r + 4, tick);
        for (int k = 0; k < 39; k++) r[8 + k] = (unsigned char)(k * 7 + i);
    }
    return d;
}

int main() {
    net_hooks = {[] { return clock_now; }, [] { return 1u; }, nullptr, nullptr};
    net_race = NET_RACE;
    net_race.rider_present = [](int) { return 1; };
    net_race.rider_kind = [](int slot) { return slot == 0 ? 0 : 1; };
    net_race.timing_count = [](int) { return 0; };
    net_race.pack = [](int, unsigned char out[39]) { memset(out, 1, 39); };

    int server = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (server < 0 || bind(server, (sockaddr *)&a, sizeof a) != 0 || getsockname(server, (sockaddr *)&a, &n) != 0)
        return 1;
    int big = 8 << 20;
    setsockopt(server, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
    net_client.socket = net_open_socket();
    sockaddr_in own = a;
    own.sin_port = 0;
    if (net_client.socket < 0 || bind(net_client.socket, (sockaddr *)&own, sizeof own) != 0) return 1;
    setsockopt(net_client.socket, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
    n = sizeof own;
    getsockname(net_client.socket, (sockaddr *)&own, &n);
    net_client.server_address = net_ipv4_address(0x7f000001u, ntohs(a.sin_port));
    net_client.state = NET_STATE_RACING;
    net_client.slot = 0;
    net_client.local_slot = 0;
    net_client.race_id = 1;
    net_client.connection_word = 5;
    connect_address = "127.0.0.1";
    auto to_client = [&](const std::string &d) {
        sendto(server, d.data(), d.size(), 0, (sockaddr *)&own, sizeof own);
    };
    auto drain_server = [&] {
        char b[2048];
        while (recv(server, b, sizeof b, MSG_DONTWAIT) >= 0) {
        }
    };
    int code = 0;

    // One pass over 1024 waiting 1023-byte bundles of 21 records.
    uint32_t tick = 1000;
    std::vector<double> times;
    for (int run = 0; run < 9; run++) {
        for (int i = 0; i < NET_RECEIVE_MAX; i++) {
            std::string d = bundle(tick++, 1 + (i % 7) * 21, 21);
            d.resize(1023, '\0');
            to_client(d);
        }
        usleep(20000);
        history_clear_all();
        memset(net_slot_state_tick, 0, sizeof net_slot_state_tick);
        auto start = std::chrono::steady_clock::now();
        net_receive();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        drain_server();
    }
    bench_stats pass = bench_stats_of(times);
    code |= bench_report_budget("receive pass", "1024 bundles of 21 records", pass,
                                "half a tick", 0.5 * TICK);
    printf("receive pass: %.3g of a tick (target at most 0.5)\n", pass.median / TICK);

    // A racing client with 40 remote riders: two bundles every 4 ticks, 10 reliable texts a
    // second from the server, the client's own state packet every 4 ticks.
    times.clear();
    uint32_t sequence = net_client.expected_sequence;
    for (int run = 0; run < 9; run++) {
        double spent = 0.0;
        const int ticks = 512;
        for (int t = 0; t < ticks; t++) {
            race_state.current_tick = t;
            clock_now += TICK;
            if (t % 4 == 0) {
                to_client(bundle(tick, 1, 20));
                to_client(bundle(tick, 21, 20));
                tick += 4;
            }
            if (t % 13 == 0) {
                std::string m = std::string(1, (char)NET_RELIABLE) + std::string(4, '\0') +
                                std::string(1, (char)NET_MSG_RIDER_VALUES) + std::string(8, '\0');
                wire_put32((unsigned char *)m.data() + 1, sequence++);
                to_client(m);
            }
            auto start = std::chrono::steady_clock::now();
            net_client_update();
            spent += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (t % 64 == 0) drain_server();
        }
        times.push_back(spent / ticks);
    }
    bench_stats racing = bench_stats_of(times);
    code |= bench_report_budget("racing client", "a tick's update with 40 riders", racing,
                                "1% of a tick", 0.01 * TICK);
    printf("racing client: %.3g%% of a tick per tick (target at most 1%%)\n", 100 * racing.median / TICK);
    net_client.last_heard = clock_now;
    net_reset_connection();
    close(server);
    return code;
}
