// The reliable message channel: the outgoing queue, the server's packets in sequence order and
// the server's messages.
#include "net/reliable.h"

#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "net/client.h"
#include "net/packets.h"
#include "net/wire.h"
#include "race/race.h"
#include "race/demo_format.h"
#include "terrain/erode.h"

net_reliable_state net_reliable;

void net_reliable_reset() {
    net_reliable.queue_first = net_reliable.queue_count = 0;
    net_reliable.held_count = 0;
    net_reliable.refused_warned = 0;
}

net_packet *net_new_reliable_packet() {
    if (!net_connected()) return nullptr;
    net_reliable_state &r = net_reliable;
    if (r.queue_count >= NET_QUEUE_MAX) {
        if (!r.refused_warned) console_print("Warning: server is not taking messages\n");
        r.refused_warned = 1;
        return nullptr;
    }
    net_packet *p = &r.queue[(r.queue_first + r.queue_count) % NET_QUEUE_MAX];
    r.queue_count++;
    p->resend_time = 0.0;
    p->sequence = net_client.next_sequence++;
    p->data[0] = NET_RELIABLE;
    wire_put32(p->data + 1, (uint32_t)net_client.slot);
    wire_put32(p->data + 5, net_client.connection_word);
    wire_put32(p->data + 9, p->sequence);
    p->length = NET_RELIABLE_HEAD;
    return p;
}

int net_queue_message(int type, const void *payload, int length) {
    net_packet *p = net_new_reliable_packet();
    if (!p) return 0;
    if (length > NET_RELIABLE_PAYLOAD_MAX) length = NET_RELIABLE_PAYLOAD_MAX;
    if (length < 0) length = 0;
    p->data[p->length++] = (unsigned char)type;
    if (length > 0) memcpy(p->data + p->length, payload, (size_t)length);
    p->length += length;
    return 1;
}

void net_send_erode(const unsigned char *bytes, int length) {
    if (!net_connected()) {
        erode_queue_message(bytes, length);
        return;
    }
    if (length < 0 || length > NET_RELIABLE_PAYLOAD_MAX - 4) return;
    unsigned char m[NET_RELIABLE_PAYLOAD_MAX];
    wire_put32(m, net_client.race_id);
    memcpy(m + 4, bytes, (size_t)length);
    net_queue_message(NET_MSG_ERODE, m, length + 4);
}

void net_reliable_resend() {
    net_reliable_state &r = net_reliable;
    if (r.queue_count == 0 || net_client.socket < 0) return;
    double now = net_now();
    net_packet &head = r.queue[r.queue_first];
    if (now < head.resend_time) return;
    head.resend_time = now + 0.5;
    if (net_send_to(net_client.socket, head.data, head.length, &net_client.server_address) !=
            head.length &&
        net_last_error)
        console_printf("sendto error (%.100s)", net_last_error);
}

void net_receive_ack(const unsigned char *data, int length) {
    net_reliable_state &r = net_reliable;
    if (length < 5 || r.queue_count == 0) return;
    if (wire_get32(data + 1) != r.queue[r.queue_first].sequence) return;
    r.queue_first = (r.queue_first + 1) % NET_QUEUE_MAX;
    r.queue_count--;
}

static void send_ack(uint32_t sequence) {
    unsigned char p[13];
    p[0] = NET_ACK;
    wire_put32(p + 1, (uint32_t)net_client.slot);
    wire_put32(p + 5, net_client.connection_word);
    wire_put32(p + 9, sequence);
    if (net_send_to(net_client.socket, p, sizeof p, &net_client.server_address) != (int)sizeof p &&
        net_last_error)
        console_printf("sendto error (%.100s)", net_last_error);
}

void net_receive_reliable(const unsigned char *data, int length) {
    net_reliable_state &r = net_reliable;
    if (length < 6 || length > NET_DATAGRAM_MAX) return;
    uint32_t sequence = wire_get32(data + 1);
    uint32_t expected = net_client.expected_sequence;
    // Far ahead: neither held nor acknowledged; the server sends it again.
    if (sequence > expected && sequence - expected > NET_HELD_MAX) return;
    send_ack(sequence);
    if (sequence < expected) return;
    if (sequence > expected) {
        int at = 0;
        while (at < r.held_count && r.held[at].sequence < sequence) at++;
        if (at < r.held_count && r.held[at].sequence == sequence) return;
        if (r.held_count >= NET_HELD_MAX) return;
        memmove(&r.held[at + 1], &r.held[at], (size_t)(r.held_count - at) * sizeof r.held[0]);
        r.held[at].sequence = sequence;
        r.held[at].length = length;
        memcpy(r.held[at].data, data, (size_t)length);
        r.held[at].data[length] = 0;
        r.held_count++;
        return;
    }
    net_client.expected_sequence++;
    net_handle_reliable(data, length);
    static net_held_packet next;
    while (r.held_count > 0 && net_client.socket >= 0 &&
           r.held[0].sequence <= net_client.expected_sequence) {
        next = r.held[0];
        r.held_count--;
        memmove(&r.held[0], &r.held[1], (size_t)r.held_count * sizeof r.held[0]);
        if (next.sequence != net_client.expected_sequence) continue;
        net_client.expected_sequence++;
        net_handle_reliable(next.data, next.length);
    }
}

// Timing entries of other riders (21): race id, count, then records of slot, index and tick.
static void take_rider_values(const unsigned char *p, int n) {
    if (n < 8 || wire_get32(p) != net_client.race_id) return;
    uint32_t count = wire_get32(p + 4);
    const unsigned char *r = p + 8;
    for (uint32_t i = 0; i < count && (r - p) + 12 <= n; i++, r += 12) {
        uint32_t slot = wire_get32(r), index = wire_get32(r + 4), tick = wire_get32(r + 8);
        if (slot >= NET_NO_SLOT || (int)slot == net_client.slot || !net_race.rider_present((int)slot))
            continue;
        if (index >= 65536 || tick > NET_TICK_LIMIT) continue;
        net_race.set_timing((int)slot, (int)index, (int)tick);
    }
    net_race.update_standings();
}

void net_handle_reliable(const unsigned char *data, int length) {
    if (length < 6 || length > NET_DATAGRAM_MAX) return;
    int type = data[5];
    const unsigned char *payload = data + 6;
    int n = length - 6;
    char text[NET_DATAGRAM_MAX + 2];
    memcpy(text, payload, (size_t)n);
    text[n] = 0;
    switch (type) {
    case NET_MSG_TEXT:
        net_print(text);
        net_race.demo_record(DEMO_FRAME_TEXT, payload, n);
        break;
    case NET_MSG_RIDER_VALUES: take_rider_values(payload, n); break;
    case NET_MSG_ERODE:
        if (n < 4) break;
        if (wire_get32(payload) == net_client.race_id) net_race.queue_erosion(payload + 4, n - 4);
        net_race.demo_record(DEMO_FRAME_ERODE_DATA, payload + 4, n - 4);
        break;
    case NET_MSG_COMMAND: net_handle_command(text); break;
    default: break;
    }
}
