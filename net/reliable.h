// The reliable message channel: the outgoing queue, the server's reliable packets in order,
// the server's messages and commands, and sending a file to the server.
#pragma once

#include <cstdint>

// One outgoing reliable packet: the datagram as sent (header written, length 13), the caller
// appends a type byte and its payload and adds their size.
struct net_packet {
    double resend_time;   // 0: sent at the next update
    uint32_t sequence;
    int length;
    unsigned char data[484];
};

// A reliable packet from the server held until its turn.
struct net_held_packet {
    uint32_t sequence;
    int length;
    unsigned char data[1024];
};

// The queue (oldest first, the head on the wire) and the held list (ascending sequence).
struct net_reliable_state {
    net_packet queue[256];
    int queue_first, queue_count;
    net_held_packet held[64];
    int held_count;
    int refused_warned;   // "server is not taking messages" printed on this connection
};
extern net_reliable_state net_reliable;

// The file transfer: the text sent after the last part, the file, the sending flag, the time
// the next part is due.
struct net_transfer_state {
    char text[1024];
    void *file;   // file_stream
    int sending;
    double next_part_time;
};
extern net_transfer_state net_transfer;

// A new packet at the end of the queue with the next sequence, or null when offline or when
// the queue is full (the caller drops its message; a warning once per connection).
net_packet *net_new_reliable_packet();
// Queues one message (type and payload, cut to the packet's room): 1, or 0 when refused.
int net_queue_message(int type, const void *payload, int length);
// Erosion points of a local rider: online to the server, offline to the erosion queue.
void net_send_erode(const unsigned char *bytes, int length);
// A reliable packet (17) and an acknowledgement (18) from the server.
void net_receive_reliable(const unsigned char *data, int length);
void net_receive_ack(const unsigned char *data, int length);
// Acts on one in-order reliable packet from the server (the whole datagram).
void net_handle_reliable(const unsigned char *data, int length);
// A command text from the server.
void net_handle_command(const char *text);
// The resend step and the file-transfer step of an update.
void net_reliable_resend();
void net_transfer_step();
// Starts sending the file (the console's "sendfile"): 1 when the request was queued.
int net_start_file_transfer(const char *path);
// Closes the transfer: no file, no text, not sending.
void net_transfer_close();
// Empties the queue and the held list.
void net_reliable_reset();

constexpr int NET_MSG_CLIENT_INFO = 3;
constexpr int NET_MSG_TEXT = 19;
constexpr int NET_MSG_RIDER_VALUES = 21;
constexpr int NET_MSG_COMMAND = 24;
constexpr int NET_MSG_ERODE = 27;
constexpr int NET_RELIABLE_HEAD = 13;          // bytes before a client message's type byte
constexpr int NET_RELIABLE_MAX = 480;          // bytes of a client reliable packet
constexpr int NET_RELIABLE_PAYLOAD_MAX = 466;  // bytes of payload after the type byte
constexpr int NET_QUEUE_MAX = 256;
constexpr int NET_HELD_MAX = 64;
constexpr int NET_FILE_PART = 256;
constexpr int NET_KNOCKOUT_MAX = 460800;
constexpr int NET_ERODE_RATE_MAX = 102400;
