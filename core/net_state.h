// The race-server client's values that the lower layers read (the client in net/ fills them):
// the connection record, the per-slot tables the server's packets fill and the rider infos the
// race reset loads remote riders with.
#pragma once

#include <cstdint>

// One socket address as the send and receive calls take it: the length (16 for IPv4) and an
// area holding a sockaddr_in, the rest zero.
struct net_address {
    int32_t length;
    unsigned char area[32];
};

// The one connection record. Offline: socket -1, state 0, slot 160.
struct net_client_state {
    int socket;                     // -1 when offline
    int slot;                       // the client's rider slot from the accept, 160 for none
    uint32_t connection_word;       // given by the server's accept, repeated in every packet
    int server_tick_estimate;       // the latest server tick advanced every tick; 0 until known
    int arcade_forbidden;           // the server's "no_arcade" command
    net_address server_address;
    int local_slot;                 // the slot the local controls drive, 160 while watching
    int state;                      // 0, 3, 5, 7, 9, 11, 14 or 15
    uint32_t nonce;                 // calendar seconds when the connection began
    uint32_t race_id;               // 0 when none
    int32_t race_time, race_laps, race_word;   // the track packet's race words
    uint8_t track_hash[20];         // the server's track hash
    const char *track_name;         // the catalogue folder of the server's track (interned)
    uint32_t last_rider_index;      // the highest rider info taken, 160 for none
    uint32_t latest_server_tick;    // 0 when none
    double last_send_time;          // when the state's packet last went; 0 sends at once
    double resend_interval;         // 1 s
    uint32_t reported_timing_count; // timing entries of the local rider already reported
    double next_info_time;          // when "server,info" is next due while watching
    int client_info_changed;        // the menus changed the rider's bike, gear or name
    uint32_t next_sequence;         // the next outgoing reliable sequence
    uint32_t expected_sequence;     // the next server sequence to handle
    char redirect_target[128];      // a pending move to another server ("" none)
    double redirect_time;           // when it is due; 0 when not pending
    double last_heard;              // when the last datagram came from the server
    int disconnect_sends;           // disconnects sent in state 15
};

// What the server says of one rider: the file names its bike is loaded with, its number and
// name. Empty fields are the defaults.
struct net_rider_info_record {
    char model[128], rider_texture[128], bike_texture[128], wheel_texture[128], head_texture[128];
    char number[4];
    char name[64];
};

extern net_client_state net_client;
// Per slot: the tick of the newest state record the server sent, the role handed to the race
// reset (1 the local rider, 5 a remote one, 0 none), the round trip in ticks, the rider info.
extern int net_slot_state_tick[160];
extern int net_slot_role[160];
extern int net_slot_ping[160];
extern net_rider_info_record net_rider_info[160];

constexpr int NET_NO_SLOT = 160;
