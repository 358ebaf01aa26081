// The fake race server: sockets on the loopback, the protocol played with one client, the
// reliable channel, file receiving, the replay rider and the outgoing faults.
#include "tests/support/fake_race_server.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

static uint32_t get32(const uint8_t *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static int open_bound(int port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, (sockaddr *)&a, sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int fake_server_start(fake_server *s, const fake_server_config &config) {
    *s = fake_server();
    s->config = config;
    if (!fake_track_hash(config.track.c_str(), s->track_hash)) return 0;
    s->socket = open_bound(config.port);
    s->stranger = open_bound(0);
    if (s->socket < 0 || s->stranger < 0) {
        fake_server_stop(s);
        return 0;
    }
    sockaddr_in a = {};
    socklen_t n = sizeof a;
    getsockname(s->socket, (sockaddr *)&a, &n);
    s->port = ntohs(a.sin_port);
    return 1;
}

void fake_server_stop(fake_server *s) {
    if (s->socket >= 0) close(s->socket);
    if (s->stranger >= 0) close(s->stranger);
    s->socket = s->stranger = -1;
}

uint32_t fake_server_tick(const fake_server *s, double now) {
    if (s->race_start_time < 0 || now <= s->race_start_time) return 0;
    return (uint32_t)((now - s->race_start_time) * FAKE_TICKS_PER_SECOND);
}

// What a datagram the server sends tells the client, and so what its answers must carry.
static void note_sent(fake_server *s, const std::vector<uint8_t> &b) {
    if (b.empty()) return;
    switch (b[0]) {
    case 2:
        if (b.size() >= 13) {
            s->accepted = 1;
            s->session_slot = get32(&b[1]);
            s->session_word = get32(&b[5]);
        }
        break;
    case 4:
        if (b.size() >= 37) {
            s->race_id = get32(&b[1]);
            s->rider_slots_sent.clear();
            s->newest_tick_sent = 0;
        }
        break;
    case 6:
        if (b.size() >= 9) s->rider_slots_sent.push_back(get32(&b[5]));
        break;
    case 10:
    case 11:
        if (b.size() >= 13 && get32(&b[1]) == s->race_id && get32(&b[5]) > s->newest_tick_sent)
            s->newest_tick_sent = get32(&b[5]);
        break;
    case 14:
        if (b.size() >= 5 && get32(&b[1]) > s->race_id) s->race_id = get32(&b[1]);
        break;
    }
}

static void send_raw(int fd, const sockaddr_in &to, const std::vector<uint8_t> &b) {
    sendto(fd, b.data(), b.size(), 0, (const sockaddr *)&to, sizeof to);
}

void fake_server_send(fake_server *s, const std::vector<uint8_t> &bytes, int note) {
    if (note) note_sent(s, bytes);
    if (bytes.size() >= 6 && bytes[0] == 17) s->sequences_sent.push_back(get32(&bytes[1]));
    if (s->socket < 0 || !s->have_client) return;
    s->sent_count++;
    for (const fake_fault &f : s->faults) {
        if (f.nth != s->sent_count) continue;
        if (f.kind == FAKE_DROP) return;
        if (f.kind == FAKE_DUPLICATE) send_raw(s->socket, s->client, bytes);
        if (f.kind == FAKE_REORDER) {
            s->held_back = bytes;
            return;
        }
    }
    send_raw(s->socket, s->client, bytes);
    if (!s->held_back.empty()) {
        send_raw(s->socket, s->client, s->held_back);
        s->held_back.clear();
    }
}

void fake_server_send_stranger(fake_server *s, const std::vector<uint8_t> &bytes) {
    if (s->stranger >= 0 && s->have_client) send_raw(s->stranger, s->client, bytes);
}

void fake_server_queue_reliable(fake_server *s, int message_type, const std::string &payload) {
    s->queue.push_back({fake_reliable(s->next_sequence++, message_type, payload), 0});
}

void fake_server_restart(fake_server *s, uint32_t race_id) {
    s->phase = FAKE_RESTARTING;
    fake_server_send(s, fake_restart(race_id));
}

std::vector<const fake_packet *> fake_server_packets(const fake_server *s, int type) {
    std::vector<const fake_packet *> out;
    for (const fake_packet &k : s->received)
        if (k.type == type && !k.from_stranger) out.push_back(&k);
    return out;
}

std::string fake_replay_info(const std::string &client_info) {
    size_t name = client_info.rfind('\n');
    if (name == std::string::npos) return FAKE_RIDER_INFO;
    return client_info.substr(0, name + 1) + ("Echo " + client_info.substr(name + 1)).substr(0, 63);
}

static void send_track(fake_server *s, uint32_t race_id) {
    const fake_server_config &c = s->config;
    fake_server_send(s, fake_track(race_id, c.race_time, c.race_laps, c.gate_drop_tick,
                                   s->track_hash, c.track));
    s->phase = FAKE_RIDERS;
}

// The next rider info after the given index, or the race start when every rider is known.
static void send_next_rider(fake_server *s, uint32_t after) {
    uint32_t rider = s->session_slot + 1;
    if (rider < 160 && (after == 160 || after < rider)) {
        fake_server_send(s, fake_rider_info(s->race_id, rider, fake_replay_info(s->client_info)));
        return;
    }
    fake_server_send(s, fake_race_start(s->race_id, s->config.local_slot, s->client_info));
    s->phase = FAKE_STARTING;
}

// The client's reliable message, taken once and in order.
static void take_message(fake_server *s, const fake_packet &k) {
    s->messages.push_back({k.message_type, k.text});
    if (k.message_type == 3) s->client_info = k.text;
    if (k.message_type != 24) return;
    const std::string &t = k.text;
    if (t == "sendfile") {
        s->file_open = !s->config.send_denied;
        s->file_bytes.clear();
        s->file_name.clear();
        s->file_parts.clear();
        fake_server_queue_reliable(s, 24, s->config.send_denied ? "senddenied" : "sendready");
    } else if (t.compare(0, 10, "sendpart -") == 0) {
        if (!s->file_open) s->errors.push_back("file part without a transfer");
        s->file_bytes += t.substr(10);
        s->file_parts.push_back((int)t.size() - 10);
    } else if (t.compare(0, 9, "namefile ") == 0) {
        if (!s->file_open) s->errors.push_back("file name without a transfer");
        s->file_name = t.substr(9);
        s->file_open = 0;
    }
}

static void answer(fake_server *s, const fake_packet &k, double now) {
    const fake_server_config &c = s->config;
    switch (k.type) {
    case 0:
        if (!s->accepted || k.nonce != s->nonce) {
            s->nonce = k.nonce;
            s->phase = FAKE_IDLE;
        }
        if (c.accept == FAKE_FULL) fake_server_send(s, fake_full());
        else if (c.accept == FAKE_REDIRECT) fake_server_send(s, fake_redirect(k.nonce, c.redirect_text));
        else {
            fake_server_send(s, fake_accept(c.client_slot, c.connection_word,
                                            c.accept == FAKE_VERSION_7 ? 7 : 6));
            s->phase = FAKE_INFO;
        }
        break;
    case 3:
        s->client_info = k.text;
        if (s->phase == FAKE_INFO || s->phase == FAKE_RIDERS) send_track(s, s->race_id ? s->race_id : c.race_id);
        break;
    case 5:
        if (s->phase == FAKE_RIDERS || s->phase == FAKE_STARTING) send_next_rider(s, 160);
        break;
    case 7:
        if (s->phase == FAKE_RIDERS || s->phase == FAKE_STARTING) send_next_rider(s, k.rider_index);
        break;
    case 9:
        if (s->race_start_time < 0) s->race_start_time = now;
        s->phase = FAKE_RACING;
        fake_server_send(s, fake_race_info(s->race_id, fake_server_tick(s, now), 0));
        break;
    case 11: {
        s->phase = FAKE_RACING;
        if (k.client_tick > s->last_client_tick) s->last_client_tick = k.client_tick;
        fake_state_record r = {};
        r.slot = (uint16_t)(s->session_slot + 1);
        uint32_t tick = fake_server_tick(s, now);
        r.ping = (uint16_t)(tick > k.client_tick ? (tick - k.client_tick) & 0xffff : 0);
        r.tick = k.client_tick + (uint32_t)(c.replay_delay * FAKE_TICKS_PER_SECOND);
        memcpy(r.state, k.bytes.data() + 21, 39);
        std::vector<fake_state_record> records;
        if (s->session_slot + 1 < 160) records.push_back(r);
        fake_server_send(s, fake_state_bundle(s->race_id, tick, k.client_tick, records));
        break;
    }
    case 13:
        fake_server_restart(s, s->race_id + 1);
        break;
    case 14:
        if (s->phase == FAKE_RESTARTING || s->phase == FAKE_RIDERS) send_track(s, s->race_id);
        break;
    case 15:
        s->phase = FAKE_GONE;
        fake_server_send(s, fake_disconnect());
        break;
    case 17:
        if (!c.withhold_acks) fake_server_send(s, fake_ack(k.sequence));
        if (k.sequence == s->expected_sequence) {
            s->expected_sequence++;
            take_message(s, k);
        }
        break;
    case 18:
        if (!s->queue.empty() && get32(&s->queue[0].bytes[1]) == k.sequence)
            s->queue.erase(s->queue.begin());
        break;
    }
}

static int read_socket(fake_server *s, int fd, int stranger, double now) {
    int count = 0;
    static uint8_t buffer[65536];
    for (;;) {
        sockaddr_in from = {};
        socklen_t n = sizeof from;
        ssize_t got = recvfrom(fd, buffer, sizeof buffer, 0, (sockaddr *)&from, &n);
        if (got < 0) break;
        count++;
        fake_packet k = fake_decode(s, buffer, (int)got, now);
        k.sender = from;
        k.from_stranger = stranger;
        if (stranger) k.error = "datagram to the stranger socket";
        if (!stranger && k.type == 0 && k.error.empty()) {
            // A contact names the client: a new address or nonce starts a new session.
            if (!s->have_client || from.sin_port != s->client.sin_port ||
                from.sin_addr.s_addr != s->client.sin_addr.s_addr) {
                s->accepted = 0;
                s->session_slot = 160;
                s->session_word = 0;
            }
            s->client = from;
            s->have_client = 1;
        } else if (!stranger && s->have_client &&
                   (from.sin_port != s->client.sin_port ||
                    from.sin_addr.s_addr != s->client.sin_addr.s_addr) &&
                   k.error.empty()) {
            k.error = "datagram from an address that sent no contact";
        }
        if (!k.error.empty())
            s->errors.push_back("type " + std::to_string(k.type) + " (" +
                                std::to_string(k.bytes.size()) + " bytes): " + k.error);
        s->received.push_back(k);
        // The reliable channel runs even for a scripted server.
        if (k.error.empty() && !stranger && !s->silent &&
            (s->config.auto_play || k.type == 17 || k.type == 18))
            answer(s, s->received.back(), now);
    }
    return count;
}

int fake_server_poll(fake_server *s, double now) {
    if (s->socket < 0) return 0;
    int count = read_socket(s, s->socket, 0, now) + read_socket(s, s->stranger, 1, now);
    if (!s->silent && !s->queue.empty() && now >= s->queue[0].resend_time) {
        s->queue[0].resend_time = now + 0.5;
        fake_server_send(s, s->queue[0].bytes, 0);
    }
    return count;
}
