// Fuzz target "net_datagrams": datagrams from the race server fed through the client's dispatch
// in any of its states, with the race side replaced by a recorder that checks what reaches it.
#include <cstdlib>
#include <cstring>

#include "core/net_state.h"
#include "fuzz/fuzz.h"
#include "net/client.h"
#include "net/packets.h"
#include "net/reliable.h"
#include "race/catalogue.h"

static void check_slot(int slot) {
    if (slot < 0 || slot >= NET_NO_SLOT) abort();
}

static int record_reset(const int *roles, int race_time, int laps) {
    if (!roles || race_time < 0 || laps < 0) abort();
    return race_time % 2 == 0;   // some resets fail, as a track that cannot load does
}

static void record_state(int slot, const unsigned char *state, int tick) {
    check_slot(slot);
    if (!state || tick < 0) abort();
}

static void record_timing(int slot, int index, int tick) {
    check_slot(slot);
    if (index < 0 || index >= 65536 || tick < 0) abort();
}

static void record_erosion(const unsigned char *bytes, int length) {
    if (!bytes || length < 0 || length > 1023) abort();
}

static void record_demo(int, const void *bytes, int length) {
    if (length < 0 || length > 1023 || (length > 0 && !bytes)) abort();
}

static int record_present(int slot) {
    check_slot(slot);
    return slot % 4 != 3;
}

static int record_kind(int slot) {
    check_slot(slot);
    return slot % 5 == 0 ? 2 : 1;
}

static const net_race_table RECORDER = {
    record_reset, record_state, [] {}, record_timing, [] {}, record_erosion, record_demo,
    record_present, record_kind, check_slot,
    [](int slot) { return check_slot(slot), 1; },
    [](int slot, int) { return check_slot(slot), 0; },
    [](int slot, unsigned char out[39]) { check_slot(slot), memset(out, 0, 39); },
};

static void check_invariants() {
    static const int STATES[] = {0, 3, 5, 7, 9, 11, 14, 15};
    int known = 0;
    for (int s : STATES) known |= net_client.state == s;
    if (!known) abort();
    if (net_reliable.held_count < 0 || net_reliable.held_count > NET_HELD_MAX) abort();
    if (net_reliable.queue_count < 0 || net_reliable.queue_count > NET_QUEUE_MAX) abort();
    if (net_client.slot < 0 || net_client.slot > NET_NO_SLOT) abort();
    if (net_client.local_slot < 0 || net_client.local_slot > NET_NO_SLOT) abort();
}

// The client online in the state the first byte picks, talking to 127.0.0.1:9.
static net_address start_client(uint8_t pick) {
    static const int STATES[] = {0, 3, 5, 7, 9, 11, 14, 15};
    if (net_client.socket < 0) net_client.socket = net_open_socket();
    net_reliable_reset();
    net_delayed_clear();
    net_transfer_close();
    net_client.server_address = net_ipv4_address(0x7f000001u, 9);
    net_client.state = STATES[pick % 8];
    net_client.slot = net_client.state == 0 ? NET_NO_SLOT : 2;
    net_client.local_slot = NET_NO_SLOT;
    net_client.connection_word = 0x01020304u;
    net_client.nonce = 1000;
    net_client.race_id = net_client.state >= 5 ? 1 : 0;
    net_client.last_rider_index = NET_NO_SLOT;
    net_client.latest_server_tick = 0;
    net_client.server_tick_estimate = 0;
    net_client.next_sequence = net_client.expected_sequence = 0;
    net_client.redirect_target[0] = 0;
    net_client.redirect_time = 0.0;
    net_client.track_name = nullptr;
    memset(net_slot_state_tick, 0, sizeof net_slot_state_tick);
    memset(net_slot_role, 0, sizeof net_slot_role);
    return net_client.server_address;
}

void fuzz_net_datagrams(const uint8_t *data, size_t size) {
    if (size < 1) return;
    // One catalogue track for the track packets to find.
    static char folder[] = "tracks/practice";
    static char description[] = "Practice";
    static char *folders[] = {folder};
    static char *descriptions[] = {description};
    track_catalogue_record kept = track_catalogue;
    track_catalogue = {1, folders, descriptions};
    net_race = RECORDER;
    net_address server = start_client(data[0]);
    size_t at = 1;
    while (at + 2 <= size && net_client.socket >= 0) {
        size_t n = (size_t)data[at] | (size_t)data[at + 1] << 8;
        at += 2;
        if (n > size - at) n = size - at;
        net_dispatch(data + at, (int)n, &server);
        at += n;
        check_invariants();
    }
    net_race = NET_RACE;
    track_catalogue = kept;
    connect_address = nullptr;
}
