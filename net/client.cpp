// The race-server client's least form: offline values, the datagram and socket calls used at
// shutdown. Connecting and the protocol join with the networking Parts.
#include "net/client.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "terrain/erode.h"

net_client_state net_client = {-1, 160, 0, 0, "", 0, {}};
char net_recent_servers[16][128];
const char *connect_address = nullptr;
const char *server_password = nullptr;

static net_packet reliable_packet;

int net_connected() {
    return net_client.socket >= 0;
}

void net_client_update() {}

net_packet *net_new_reliable_packet() {
    reliable_packet.length = 0;
    return &reliable_packet;
}

void net_send_erode(const unsigned char *bytes, int length) {
    // Offline the message goes straight into the erosion queue; online it travels with the
    // reliable messages once the protocol is in place.
    if (!net_connected()) erode_queue_message(bytes, length);
}

void net_handle_reliable(const unsigned char *message, int length) {
    (void)message;
    (void)length;
}

int net_send_to(int socket, const void *data, int length, const sockaddr_in *address) {
    ssize_t sent = sendto(socket, data, (size_t)length, 0, (const sockaddr *)address,
                          sizeof *address);
    if (sent == length) return 1;
    snprintf(net_client.send_error, sizeof net_client.send_error, "%s",
             sent < 0 ? strerror(errno) : "short send");
    return 0;
}

void net_close_socket(int socket) {
    if (socket >= 0) close(socket);
}

static void put_le32(unsigned char *p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> (8 * i));
}

int net_send_disconnect() {
    unsigned char datagram[NET_DISCONNECT_BYTES];
    datagram[0] = NET_MSG_DISCONNECT;
    put_le32(datagram + 1, (uint32_t)net_client.slot);
    put_le32(datagram + 5, net_client.connection_word);
    return net_send_to(net_client.socket, datagram, NET_DISCONNECT_BYTES,
                       &net_client.server_address);
}

void net_client_reset() {
    net_client.socket = -1;
    net_client.slot = 160;
    net_client.connection_word = 0;
    net_client.server_tick = 0;
    net_client.send_error[0] = 0;
    net_client.arcade_forbidden = 0;
    memset(&net_client.server_address, 0, sizeof net_client.server_address);
}

void net_cleanup() {}
