// The race-server client: its values, the per-tick update, reliable messages and the socket.
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "bike/riding.h"

struct net_client_state {
    int socket;                    // -1 when offline
    int slot;                      // the client's rider slot, 160 for none
    uint32_t connection_word;      // given by the server's accept
    int server_tick;               // the server's latest tick
    char send_error[128];          // text of the last failed send, "" for none
    int arcade_forbidden;          // the server forbids arcade physics
    sockaddr_in server_address;
};

// One outgoing reliable message: the caller appends a type byte and its payload.
struct net_packet {
    int length;
    unsigned char data[512];
};

extern net_client_state net_client;
// The recent servers (configuration keys server_name_hist00..15) and the address given to
// --connect (null: none).
extern char net_recent_servers[16][128];
extern const char *connect_address;
// The password given to --password (interned), or null.
extern const char *server_password;

// 1 while a server connection is open.
int net_connected();
// Runs the client once per tick (nothing offline).
void net_client_update();
// The record of the next outgoing reliable message.
net_packet *net_new_reliable_packet();
// Erosion points of a local rider: online to the server, offline to the erosion queue.
void net_send_erode(const unsigned char *bytes, int length);
// A reliable message from the server.
void net_handle_reliable(const unsigned char *message, int length);
// Sends one datagram: 1 when all of it went, else 0 with send_error set.
int net_send_to(int socket, const void *data, int length, const sockaddr_in *address);
void net_close_socket(int socket);
// Sends the disconnect datagram (type 15, the client's slot, the connection word): 1 when sent.
int net_send_disconnect();
// Back to offline: socket -1, no slot, no server tick, no error.
void net_client_reset();
// Shuts the network library down.
void net_cleanup();

constexpr int NET_MSG_DISCONNECT = 15;
constexpr int NET_MSG_TEXT = 19;
constexpr int NET_RELIABLE_PAYLOAD_MAX = 480;   // bytes after a reliable message's type byte
constexpr int NET_DISCONNECT_BYTES = 9;
