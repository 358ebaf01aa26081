// The online tests' fixture: fake clock, race recorder, stepping client and server together.
#include "tests/net/online_support.h"

#include <arpa/inet.h>

#include <algorithm>

#include "core/vfs.h"
#include "race/catalogue.h"
#include "race/race.h"
#include "race/track.h"

online_recorder online_race;
double online_now = 1000.0;

static double hook_now() {
    return online_now;
}
static uint32_t hook_calendar() {
    return 0x6570a1b2u;
}
static int hook_match() {
    return 1;
}

static const net_race_table RECORDER = {
    [](const int *roles, int race_time, int laps) {
        online_race.resets++;
        memcpy(online_race.roles, roles, sizeof online_race.roles);
        online_race.race_time = race_time;
        online_race.laps = laps;
        race_state.race_time = race_time;
        race_state.laps = laps;
        race_state.current_tick = 0;
        memcpy(track_hash, online_race.hash, sizeof track_hash);
        return online_race.reset_result;
    },
    [](int slot, const unsigned char *, int tick) { online_race.states.push_back({slot, tick}); },
    [] { online_race.clears++; },
    [](int slot, int index, int tick) { online_race.timings.push_back({slot, index, tick}); },
    [] { online_race.standings++; },
    [](const unsigned char *bytes, int length) {
        online_race.erosion.emplace_back((const char *)bytes, (size_t)length);
    },
    [](int type, const void *, int) { online_race.demo_records.push_back(type); },
    // The local rider has no bike here (no state packets); the server's riders do.
    [](int slot) { return online_race.roles[slot] == 5 ? 1 : 0; },
    [](int slot) { return online_race.roles[slot] == 5 ? online_race.remote_kind : 0; },
    [](int) {},
    [](int) { return 0; },
    [](int, int index) { return 1000 + index; },
    [](int slot, unsigned char out[39]) { memset(out, slot, 39); },
};

void net_online::SetUp() {
    test_isolate_home(home);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    track_lists_create();
    track_scan_catalogue();
    online_race = online_recorder();
    online_now = 1000.0;
    console_clear();
    net_hooks = {hook_now, hook_calendar, nullptr, hook_match};
    net_race = RECORDER;
    net_client.redirect_target[0] = 0;
    net_reset_connection();
    race_state.current_tick = 0;
}

void net_online::TearDown() {
    net_reset_connection();
    net_transfer_close();
    fake_server_stop(&s);
    for (const std::string &e : s.errors) ADD_FAILURE() << "malformed client packet: " << e;
    net_race = NET_RACE;
    net_hooks = {};
    track_catalogue_free();
    track_lists_free();
    vfs_shutdown();
}

void net_online::start(const fake_server_config &config) {
    ASSERT_EQ(fake_server_start(&s, config), 1);
    memcpy(online_race.hash, s.track_hash, 20);
    target = "127.0.0.1:" + std::to_string(s.port);
    connect_address = target.c_str();
}

void net_online::step(int ticks) {
    for (int i = 0; i < ticks; i++) {
        online_now += 1.0 / 128;
        race_state.current_tick++;
        net_client_update();
        fake_server_poll(&s, online_now);
    }
}

int net_online::step_until_state(int state, int ticks) {
    for (int i = 0; i < ticks && net_client.state != state; i++) step();
    return net_client.state == state;
}

void net_online::race_online(const fake_server_config &config) {
    start(config);
    ASSERT_TRUE(step_until_state(NET_STATE_RACING, 200)) << "state " << net_client.state << " received " << s.received.size() << ::testing::PrintToString(all_lines());
}

std::vector<std::string> net_online::all_lines() {
    std::vector<std::string> out;
    for (int i = 0; i < console_log.head; i++) {
        std::string line = console_log.lines[i];
        if (!line.empty() && line.back() == '\n') line.pop_back();
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> net_online::lines() {
    std::vector<std::string> all = all_lines();
    std::vector<std::string> out(all.begin() + std::min((size_t)console_mark, all.size()), all.end());
    console_mark = (int)all.size();
    return out;
}

void net_online::dispatch(const std::vector<uint8_t> &bytes) {
    net_dispatch(bytes.data(), (int)bytes.size(), &net_client.server_address);
}

int online_count_lines(const std::vector<std::string> &lines, const std::string &text) {
    return (int)std::count(lines.begin(), lines.end(), text);
}

client_snapshot online_snapshot() {
    client_snapshot c;
    memset(&c, 0, sizeof c);
    c.client = net_client;
    memcpy(c.role, net_slot_role, sizeof c.role);
    memcpy(c.ping, net_slot_ping, sizeof c.ping);
    memcpy(c.state_tick, net_slot_state_tick, sizeof c.state_tick);
    memcpy(c.info, net_rider_info, sizeof c.info);
    c.current_tick = race_state.current_tick;
    c.bias = off_course_bias;
    c.scale = off_course_scale;
    c.states = online_race.states.size();
    c.timings = online_race.timings.size();
    return c;
}

std::string online_compare(const client_snapshot &a, const client_snapshot &b) {
    const net_client_state &x = a.client, &y = b.client;
    if (x.socket != y.socket) return "socket";
    if (x.state != y.state) return "state " + std::to_string(x.state) + " -> " + std::to_string(y.state);
    if (x.slot != y.slot) return "client slot";
    if (x.local_slot != y.local_slot) return "local slot";
    if (x.connection_word != y.connection_word) return "connection word";
    if (x.race_id != y.race_id) return "race id";
    if (x.race_time != y.race_time || x.race_laps != y.race_laps || x.race_word != y.race_word)
        return "race words";
    if (x.latest_server_tick != y.latest_server_tick) return "latest server tick";
    if (x.last_rider_index != y.last_rider_index) return "last rider index";
    if (x.arcade_forbidden != y.arcade_forbidden) return "no-arcade flag";
    if (strcmp(x.redirect_target, y.redirect_target) != 0) return "redirect target";
    if (memcmp(a.role, b.role, sizeof a.role) != 0) return "slot roles";
    if (memcmp(a.state_tick, b.state_tick, sizeof a.state_tick) != 0) return "slot state ticks";
    if (memcmp(a.info, b.info, sizeof a.info) != 0) return "rider infos";
    if (a.bias != b.bias || a.scale != b.scale) return "off-course rules";
    if (a.states != b.states) return "history states added";
    if (a.timings != b.timings) return "timing entries set";
    return "";
}
