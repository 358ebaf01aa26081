// The race server's datagrams as they arrive: the receive pass with its simulated lag and
// loss, and the dispatch of one datagram by its type.
#pragma once

#include <cstdint>

#include "core/net_state.h"

// Reads and dispatches the waiting datagrams: at most NET_RECEIVE_MAX a pass.
void net_receive();
// Acts on one datagram from the sender (the pass calls it; so do the fuzz target and tests).
// Datagrams from another address than the server's, too short for their type or in the wrong
// state are dropped.
void net_dispatch(const unsigned char *data, int length, const net_address *sender);
// The delayed-datagram queue of the simulated lag: how many wait, and emptying it.
int net_delayed_count();
void net_delayed_clear();
// Seeds the draw of the simulated loss (our own generator, never the race's).
void net_loss_seed(uint32_t seed);
// One draw of the simulated loss: 1 to drop a datagram at this loss percentage.
int net_loss_drops(int percent);
// Datagrams dropped for a wrong sender, and for being too short, since the program started.
extern long long net_foreign_datagrams;
extern long long net_short_datagrams;

constexpr int NET_RECEIVE_MAX = 1024;       // datagrams a pass reads at most
constexpr int NET_DATAGRAM_MAX = 1023;      // longer datagrams are dropped
constexpr int NET_DELAY_SLOTS = 1024;
constexpr int NET_STATE_RECORD_BYTES = 47;

// What the dispatch does to the race (the fuzz target puts a recorder here): the race reset of
// a race start, a state into a slot's history, every history emptied, one timing entry of a
// remote rider, the standings, erosion data, a demo record, and the slots' riders.
struct net_race_table {
    int (*reset)(const int *roles, int race_time, int laps);
    void (*add_state)(int slot, const unsigned char *state, int tick);
    void (*clear_histories)();
    void (*set_timing)(int slot, int index, int tick);
    void (*update_standings)();
    void (*queue_erosion)(const unsigned char *bytes, int length);
    void (*demo_record)(int type, const void *bytes, int length);
    int (*rider_present)(int slot);
    int (*rider_kind)(int slot);       // rider_status
    void (*arcade_off)(int slot);
    int (*timing_count)(int slot);
    int (*timing_tick)(int slot, int index);
    void (*pack)(int slot, unsigned char out[39]);   // the rider's packed state
};
extern net_race_table net_race;
// The race's own functions.
extern const net_race_table NET_RACE;
