// The UDP socket layer: server texts into addresses, the one non-blocking socket, single
// datagrams out and in, and the names of socket errors.
#pragma once

#include <cstdint>

#include "core/net_state.h"

// Looks a host name up (never a numeric address): 1 with the IPv4 address in network byte
// order, or 0. Tests install one so that no name server is asked; null: the system resolver.
extern int (*net_lookup_hook)(const char *host, uint32_t *address);
// The name of the last failed resolve, open, send or receive; null when there is nothing to
// report (set to null at the start of each).
extern const char *net_last_error;
// 1 once the socket layer has been started, until net_cleanup.
extern int net_started;

// Fills the address from "host" or "host:port" (the last colon; a part after it that is not a
// number makes the whole text the host): 1, or 0 when the host does not resolve.
int net_resolve(net_address *out, const char *text, int default_port);
// A non-blocking IPv4 datagram socket, or -1 with the error name set.
int net_open_socket();
// One datagram: the byte count, or -1 with the error name set.
int net_send_to(int socket, const void *data, int length, const net_address *address);
// One datagram into the buffer, the sender into from: the datagram's real length (above the
// buffer's size when it was cut), or -1 (nothing waiting, or an error named in net_last_error).
int net_receive_from(int socket, void *buffer, int size, net_address *from);
// Up to count datagrams at once, each into its own buffer of size bytes: how many were read
// (lengths as net_receive_from gives them), or -1 as net_receive_from.
int net_receive_many(int socket, unsigned char *buffers, int size, int *lengths, net_address *from,
                     int count);
void net_close_socket(int socket);
// Names the current errno as its socket error: sets net_last_error, returns the code.
int net_error_text();
// The socket error code of an errno value (the number itself when it has none).
int net_error_code(int error);
// The name of a socket error code: null for an interrupted call and an empty non-blocking
// socket, the constant's name in the table, else the decimal number (in a static buffer).
const char *net_error_name(int code);
// Ends the socket layer at shutdown.
void net_cleanup();
// 1 when both addresses name the same IPv4 host and port.
int net_same_address(const net_address *a, const net_address *b);
// An IPv4 address (host byte order) and port as a net_address.
net_address net_ipv4_address(uint32_t host, int port);

constexpr int NET_DEFAULT_PORT = 19800;
constexpr int NET_ERROR_WOULD_BLOCK = 10035;
constexpr int NET_ERROR_INTERRUPTED = 10004;
constexpr int NET_ERROR_MESSAGE_SIZE = 10040;
