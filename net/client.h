// The race-server client: the connection state machine the frame loop runs once per tick,
// leaving a server, and the calls the menus and the console make.
#pragma once

#include <cstdint>

#include "bike/riding.h"
#include "core/net_state.h"
#include "net/reliable.h"
#include "net/socket.h"

// What the client reads from outside the network: the clock it times with (frame_clock, which
// stands still on a loading screen), the calendar seconds of a nonce (time(NULL)), whether the
// menus hold the client info back (the Bike Setup and chooser pages), and whether the stock
// collision shapes matched their digests at start-up. Tests replace them; a null entry means
// the default (frame_clock, time(NULL), not held, matched).
struct net_hook_table {
    double (*now)();
    uint32_t (*calendar_time)();
    int (*info_held)();
    int (*fixed_files_match)();
};
extern net_hook_table net_hooks;

// The recent servers (configuration keys server_name_hist00..15) and the connect target: the
// server text given to --connect, the Multiplayer page or a redirect (null: none). Setting it
// starts a connection at the next update.
extern char net_recent_servers[16][128];
extern const char *connect_address;
// The password given to --password (interned), or null.
extern const char *server_password;

// 1 while a server connection is open.
int net_connected();
// Runs the client once per tick: connect, receive, file transfer, resend, redirect, send.
void net_client_update();
// Leaves the server: one disconnect datagram, "Disconnecting", the socket closed, then
// net_reset_connection. Nothing when offline.
void net_disconnect();
// Every connection value back to offline (the socket closed); a due redirect becomes the next
// connect target.
void net_reset_connection();
// The current clock of the client (net_hooks.now).
double net_now();
// Writes the client info text (the full form, or the short one when it does not fit below
// room characters) into the buffer: its length.
int net_client_info_text(char *buffer, int room);
// Splits a rider info text into the slot's net_rider_info (slot 0..159).
void net_parse_rider_info(int slot, const char *text);
// A line from the network on the console: at most 10 a second, the rest counted and summed
// up once a second.
void net_print(const char *text);
// Sends a chat line to the server as a reliable text: 1 when queued ("Not connected to server"
// offline).
int net_send_chat(const char *text);
// Asks for a restart of the server's race (state 11 only): 1 when sent.
int net_request_restart();
// The disconnect datagram now: 1 when sent.
int net_send_disconnect();
// Sends the contact packet (state 0).
void net_send_contact();
// Moves to another server at the next update: the connection reset, the target kept.
void net_take_redirect(const char *target);

// The client's states.
constexpr int NET_STATE_CONTACTING = 0;
constexpr int NET_STATE_CLIENT_INFO = 3;
constexpr int NET_STATE_TRACK_ACK = 5;
constexpr int NET_STATE_BIKE_ACK = 7;
constexpr int NET_STATE_READY = 9;
constexpr int NET_STATE_RACING = 11;
constexpr int NET_STATE_RESTARTING = 14;
constexpr int NET_STATE_DISCONNECTING = 15;

// Packet types.
constexpr int NET_CONTACT = 0;
constexpr int NET_SERVER_FULL = 1;
constexpr int NET_ACCEPT = 2;
constexpr int NET_CLIENT_INFO = 3;
constexpr int NET_TRACK = 4;
constexpr int NET_TRACK_ACK = 5;
constexpr int NET_RIDER_INFO = 6;
constexpr int NET_BIKE_ACK = 7;
constexpr int NET_RACE_START = 8;
constexpr int NET_READY = 9;
constexpr int NET_RACE_INFO = 10;
constexpr int NET_STATE = 11;
constexpr int NET_RESTART_REQUEST = 13;
constexpr int NET_RESTART = 14;
constexpr int NET_DISCONNECT = 15;
constexpr int NET_DISCONNECT_TEXT = 16;
constexpr int NET_RELIABLE = 17;
constexpr int NET_ACK = 18;
constexpr int NET_REDIRECT = 25;

constexpr int NET_PROTOCOL_VERSION = 6;
constexpr int NET_DISCONNECT_BYTES = 9;
constexpr int NET_STATE_PACKET_BYTES = 60;
constexpr int NET_CONTACT_BYTES = 21;
constexpr int NET_CLIENT_INFO_HEAD = 41;
constexpr int NET_CLIENT_INFO_ROOM = 982;     // characters of the client info text in packet 3
constexpr double NET_SILENCE_SECONDS = 30.0;   // without a datagram: "Server not responding"
constexpr int NET_DISCONNECT_TRIES = 3;        // disconnects sent in state 15 before giving up
// A last send time that makes the next update send at once.
constexpr double NET_SEND_NOW = -1.0e30;
constexpr uint32_t NET_TICK_LIMIT = 16777216;  // ticks from the server above this are refused
