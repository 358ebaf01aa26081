// The receive pass and the dispatch of the race server's datagrams by type.
#include "net/packets.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "bike/packed_state.h"
#include "bike/rider.h"
#include "core/console.h"
#include "core/settings.h"
#include "core/util.h"
#include "net/client.h"
#include "net/reliable.h"
#include "net/wire.h"
#include "race/catalogue.h"
#include "race/demo.h"
#include "race/history.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "race/track_hash.h"
#include "terrain/erode.h"

long long net_foreign_datagrams = 0;
long long net_short_datagrams = 0;

static int race_reset_online(const int *roles, int race_time, int laps) {
    return race_reset(roles, 0, settings.record_demo.current, race_time, laps, -1);
}

const net_race_table NET_RACE = {
    race_reset_online,
    add_state_to_history,
    history_clear_all,
    [](int slot, int index, int tick) {
        if (rider_set_timing_tic(slot, index, tick)) rider_truncate_timing(slot, index + 1);
    },
    race_update_standings,
    erode_queue_message,
    demo_write_record,
    rider_has_bike,
    [](int slot) { return rider_status[slot]; },
    [](int slot) { bike_set_arcade(&rider_table[slot], 0); },
    rider_timing_count,
    rider_timing_tic,
    [](int slot, unsigned char out[39]) { bike_pack_state(&rider_table[slot], out); },
};
net_race_table net_race = NET_RACE;

// ---- The simulated loss: a generator of our own (xorshift), never the race's -------------
static uint32_t loss_state = 0x9e3779b9u;

void net_loss_seed(uint32_t seed) {
    loss_state = seed ? seed : 1u;
}

int net_loss_drops(int percent) {
    uint32_t x = loss_state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    loss_state = x;
    return (int)(x % 100u) < percent;
}

// ---- The delayed datagrams of the simulated lag: a ring in arrival order ------------------
struct delayed_packet {
    double arrival;
    int length;
    net_address from;
    unsigned char data[NET_DATAGRAM_MAX + 1];
};

static delayed_packet *delayed = nullptr;   // NET_DELAY_SLOTS, made on first use
static int delayed_first = 0, delayed_count = 0;

int net_delayed_count() {
    return delayed_count;
}

void net_delayed_clear() {
    delayed_first = delayed_count = 0;
}

// ---- Error names of a pass, each printed at most once a second ----------------------------
static void report_error(const char *name, double now) {
    static struct {
        const char *name;
        double time;
    } printed[8];
    static int next = 0;
    for (auto &p : printed) {
        if (!p.name || strcmp(p.name, name) != 0) continue;
        if (now - p.time < 1.0 && now >= p.time) return;
        p.time = now;
        console_printf("%s\n", name);
        return;
    }
    printed[next] = {name, now};
    next = (next + 1) % 8;
    console_printf("%s\n", name);
}

// Reads in batches (one system call for many datagrams) and dispatches each in turn.
static void receive_direct(const char **error) {
    constexpr int BATCH = 32;
    static unsigned char buffers[BATCH][NET_DATAGRAM_MAX + 1];
    int lengths[BATCH];
    net_address from[BATCH];
    for (int n = 0; n < NET_RECEIVE_MAX && net_client.socket >= 0;) {
        int want = NET_RECEIVE_MAX - n < BATCH ? NET_RECEIVE_MAX - n : BATCH;
        int got = net_receive_many(net_client.socket, &buffers[0][0], NET_DATAGRAM_MAX + 1, lengths,
                                   from, want);
        if (got <= 0) {
            if (got < 0 && net_last_error) *error = net_last_error;
            return;
        }
        n += got;
        for (int i = 0; i < got && net_client.socket >= 0; i++) {
            if (lengths[i] > NET_DATAGRAM_MAX) {
                *error = "WSAEMSGSIZE";
                continue;
            }
            net_dispatch(buffers[i], lengths[i], &from[i]);
        }
        if (got < want) return;
    }
}

static void receive_delayed(double lag, int loss, double now, const char **error) {
    if (!delayed) delayed = new (std::nothrow) delayed_packet[NET_DELAY_SLOTS];
    if (!delayed) {
        receive_direct(error);
        return;
    }
    for (int n = 0; n < NET_RECEIVE_MAX && delayed_count < NET_DELAY_SLOTS; n++) {
        delayed_packet &d = delayed[(delayed_first + delayed_count) % NET_DELAY_SLOTS];
        int got = net_receive_from(net_client.socket, d.data, NET_DATAGRAM_MAX, &d.from);
        if (got < 0) {
            if (net_last_error) *error = net_last_error;
            break;
        }
        if (got > NET_DATAGRAM_MAX) {
            *error = "WSAEMSGSIZE";
            continue;
        }
        d.length = got;
        d.arrival = now;
        if (loss > 0 && net_loss_drops(loss)) continue;
        delayed_count++;
    }
    static unsigned char buffer[NET_DATAGRAM_MAX + 1];
    while (delayed_count > 0 && net_client.socket >= 0) {
        delayed_packet &d = delayed[delayed_first];
        if (!(d.arrival + lag < now)) break;
        int length = d.length;
        net_address from = d.from;
        memcpy(buffer, d.data, (size_t)length);
        delayed_first = (delayed_first + 1) % NET_DELAY_SLOTS;
        delayed_count--;
        net_dispatch(buffer, length, &from);
    }
}

void net_receive() {
    if (net_client.socket < 0) return;
    double now = net_now();
    double lag = game_settings.fake_lag;
    if (!std::isfinite(lag) || lag < 0.0) lag = 0.0;
    int loss = game_settings.fake_loss < 0 ? 0 : game_settings.fake_loss > 100 ? 100 : game_settings.fake_loss;
    const char *error = nullptr;
    if (lag > 0.0 || loss > 0)
        receive_delayed(lag, loss, now, &error);
    else
        receive_direct(&error);
    if (error) report_error(error, now);
}

// ---- Dispatch -------------------------------------------------------------------------------

// The shortest datagram of each server packet type that the client acts on.
static int minimum_length(int type) {
    switch (type) {
    case NET_ACCEPT:
    case NET_RACE_INFO: return 13;
    case NET_TRACK: return 37;
    case NET_RIDER_INFO:
    case NET_RACE_START: return 9;
    case NET_STATE: return 17;
    case NET_RESTART:
    case NET_ACK:
    case NET_REDIRECT: return 5;
    case NET_RELIABLE: return 6;
    default: return 1;
    }
}

// A server-caused change of state: the new state's packet leaves in the same update.
static void move_to(int state) {
    net_client.state = state;
    net_client.last_send_time = NET_SEND_NOW;
}

static void take_accept(const unsigned char *p) {
    if (net_client.state != NET_STATE_CONTACTING) return;
    uint32_t slot = wire_get32(p + 1);
    if (slot >= NET_NO_SLOT) return;
    net_client.slot = (int)slot;
    net_client.connection_word = wire_get32(p + 5);
    if (wire_get32(p + 9) == NET_PROTOCOL_VERSION) {
        move_to(NET_STATE_CLIENT_INFO);
    } else {
        net_print("Server version does not match client version\n");
        move_to(NET_STATE_DISCONNECTING);
    }
}

// The catalogue folder of exactly this name, or null.
static const char *catalogue_folder(const char *name) {
    for (int i = 0; i < track_catalogue.count; i++)
        if (strcmp(track_catalogue.folders[i], name) == 0) return track_catalogue.folders[i];
    return nullptr;
}

static void take_track(const unsigned char *p) {
    int state = net_client.state;
    uint32_t race = wire_get32(p + 1);
    if (state != NET_STATE_CLIENT_INFO && state != NET_STATE_RESTARTING) return;
    if (net_client.race_id != 0 && net_client.race_id != race) return;
    uint32_t time = wire_get32(p + 5), laps = wire_get32(p + 9), word = wire_get32(p + 13);
    if (time > NET_TICK_LIMIT || laps > 1000 || word > NET_TICK_LIMIT) return;
    net_client.race_id = race;
    net_client.race_time = (int32_t)time;
    net_client.race_laps = (int32_t)laps;
    net_client.race_word = (int32_t)word;
    memcpy(net_client.track_hash, p + 17, 20);
    const char *name = (const char *)p + 37;
    const char *folder = catalogue_folder(name);
    if (!folder) {
        char text[200];
        snprintf(text, sizeof text, "Can't find track '%.150s'\n", name);
        net_print(text);
        move_to(NET_STATE_DISCONNECTING);
        return;
    }
    net_client.track_name = util_intern(folder);
    move_to(NET_STATE_TRACK_ACK);
    memset(net_rider_info, 0, sizeof net_rider_info);
    memset(net_slot_role, 0, sizeof net_slot_role);
    memset(net_slot_ping, 0, sizeof net_slot_ping);
    memset(net_slot_state_tick, 0, sizeof net_slot_state_tick);
    net_client.local_slot = NET_NO_SLOT;
    net_client.last_rider_index = NET_NO_SLOT;
    net_client.latest_server_tick = 0;
    net_client.server_tick_estimate = 0;
    net_client.reported_timing_count = 0;
    net_race.clear_histories();
}

static void take_rider_info(const unsigned char *p) {
    int state = net_client.state;
    if (state != NET_STATE_TRACK_ACK && state != NET_STATE_BIKE_ACK) return;
    if (wire_get32(p + 1) != net_client.race_id) return;
    uint32_t slot = wire_get32(p + 5);
    if (slot >= NET_NO_SLOT) return;
    if (net_client.last_rider_index != NET_NO_SLOT && slot <= net_client.last_rider_index) return;
    net_parse_rider_info((int)slot, (const char *)p + 9);
    net_client.last_rider_index = slot;
    net_slot_role[slot] = 5;
    move_to(NET_STATE_BIKE_ACK);
}

static void take_race_start(const unsigned char *p) {
    int state = net_client.state;
    if (state != NET_STATE_TRACK_ACK && state != NET_STATE_BIKE_ACK) return;
    if (wire_get32(p + 1) != net_client.race_id) return;
    uint32_t local = wire_get32(p + 5);
    if (local != NET_NO_SLOT && local != (uint32_t)net_client.slot) return;
    int own = net_client.slot;
    net_slot_role[own] = 1;
    net_parse_rider_info(own, (const char *)p + 9);
    net_client.local_slot = (int)local;
    race_server_track = net_client.track_name;
    race_server_gate_drop = net_client.race_word;
    if (!net_race.reset(net_slot_role, net_client.race_time, net_client.race_laps)) {
        char text[200];
        snprintf(text, sizeof text, "Can't find track '%.150s'\n",
                 net_client.track_name ? net_client.track_name : "");
        net_print(text);
        move_to(NET_STATE_DISCONNECTING);
        return;
    }
    move_to(NET_STATE_READY);
    if (memcmp(track_hash, net_client.track_hash, sizeof track_hash) != 0) {
        char text[200];
        snprintf(text, sizeof text, "Client track modified - does not match server's track (%.100s)\n",
                 net_client.track_name ? net_client.track_name : "");
        net_print(text);
        move_to(NET_STATE_DISCONNECTING);
    }
}

static void print_race_length() {
    char text[64];
    if (race_state.race_time < 1) {
        snprintf(text, sizeof text, "%d laps\n", race_state.laps);
    } else {
        int minutes = (int)std::lround((double)race_state.race_time / RACE_TICKS_PER_SECOND / 60.0);
        if (race_state.laps >= 1)
            snprintf(text, sizeof text, "%d minutes + %d laps\n", minutes, race_state.laps);
        else
            snprintf(text, sizeof text, "%d minutes\n", minutes);
    }
    console_print(text);
}

// Race info (10) and a state bundle (11).
static void take_race_states(const unsigned char *p, int length, int type) {
    int state = net_client.state;
    if (state != NET_STATE_READY && state != NET_STATE_RACING) return;
    if (wire_get32(p + 1) != net_client.race_id) return;
    uint32_t server_tick = wire_get32(p + 5), echoed = wire_get32(p + 9);
    if (server_tick > NET_TICK_LIMIT || echoed > NET_TICK_LIMIT) return;
    if (type == NET_STATE) {
        uint32_t count = wire_get32(p + 13);
        int at = 17;
        for (uint32_t i = 0; i < count; i++, at += NET_STATE_RECORD_BYTES) {
            if (at + NET_STATE_RECORD_BYTES > length) {
                net_print("State packet too small\n");
                break;
            }
            const unsigned char *r = p + at;
            int slot = wire_get16(r);
            int ping = wire_get16(r + 2);
            uint32_t tick = wire_get32(r + 4);
            if (slot >= NET_NO_SLOT || slot == net_client.slot || tick > NET_TICK_LIMIT) continue;
            if (net_race.rider_kind(slot) != 1 || !net_race.rider_present(slot)) continue;
            if ((int)tick <= net_slot_state_tick[slot]) continue;
            net_slot_state_tick[slot] = (int)tick;
            net_slot_ping[slot] = ping;
            net_race.add_state(slot, r + 8, (int)tick);
        }
    }
    if (echoed != 0) net_slot_ping[net_client.slot] = race_state.current_tick - (int)echoed;
    if (net_client.latest_server_tick == 0) race_state.current_tick = (int)server_tick;
    if (net_client.latest_server_tick < server_tick) {
        net_client.latest_server_tick = server_tick;
        net_client.server_tick_estimate = (int)server_tick;
    }
    if (state == NET_STATE_READY) {
        print_race_length();
        net_client.state = NET_STATE_RACING;
    }
}

static void take_restart(const unsigned char *p) {
    int state = net_client.state;
    if (state != NET_STATE_READY && state != NET_STATE_RACING) return;
    uint32_t race = wire_get32(p + 1);
    if (race <= net_client.race_id) return;
    net_client.race_id = race;
    net_client.state = NET_STATE_RESTARTING;
}

static void take_redirect(const unsigned char *p, int length) {
    if (net_client.state != NET_STATE_CONTACTING || wire_get32(p + 1) != net_client.nonce) return;
    char target[128];
    int n = length - 5 < 127 ? length - 5 : 127;
    memcpy(target, p + 5, (size_t)n);
    target[n] = 0;
    net_take_redirect(target);
}

void net_dispatch(const unsigned char *data, int length, const net_address *sender) {
    if (!sender || !net_same_address(sender, &net_client.server_address)) {
        net_foreign_datagrams++;
        return;
    }
    if (length < 1 || length > NET_DATAGRAM_MAX) return;
    int type = data[0];
    if (length < minimum_length(type)) {
        net_short_datagrams++;
        return;
    }
    net_client.last_heard = net_now();
    // A copy with a terminating zero, so that a text ends at the datagram's end.
    unsigned char p[NET_DATAGRAM_MAX + 1];
    memcpy(p, data, (size_t)length);
    p[length] = 0;
    if (type >= NET_TRACK && type <= NET_RESTART && net_client.slot == NET_NO_SLOT) return;
    switch (type) {
    case NET_SERVER_FULL: net_print("Server is full\n"); break;
    case NET_ACCEPT: take_accept(p); break;
    case NET_TRACK: take_track(p); break;
    case NET_RIDER_INFO: take_rider_info(p); break;
    case NET_RACE_START: take_race_start(p); break;
    case NET_RACE_INFO:
    case NET_STATE: take_race_states(p, length, type); break;
    case NET_RESTART: take_restart(p); break;
    case NET_DISCONNECT:
        console_print("Disconnected\n");
        net_reset_connection();
        break;
    case NET_DISCONNECT_TEXT: {
        char text[NET_DATAGRAM_MAX + 2];
        snprintf(text, sizeof text, "%s\n", (const char *)p + 1);
        net_print(text);
        move_to(NET_STATE_DISCONNECTING);
        break;
    }
    case NET_RELIABLE: net_receive_reliable(p, length); break;
    case NET_ACK: net_receive_ack(p, length); break;
    case NET_REDIRECT: take_redirect(p, length); break;
    default: break;
    }
}
