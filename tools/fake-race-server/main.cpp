// fake-race-server: the test suite's fake race server as a program on 127.0.0.1, for trying the
// game online. It plays one client through the handshake and a race on the track, replays the
// client's own moves 2 s late as a second rider, prints every client packet and ends by itself.
#include <poll.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/fake_race_server.h"

static const char USAGE[] =
    "usage: fake-race-server [--port N] [--track FOLDER] [--seconds S] [--hostile]\n"
    "  --port N        UDP port on 127.0.0.1 (default 19800)\n"
    "  --track FOLDER  stock track of the race (default tracks/practice)\n"
    "  --seconds S     run time, at most 600 (default 120)\n"
    "  --hostile       once the race runs: malformed and hostile packets, a flood of 100000\n"
    "                  datagrams, then silence\n"
    "       fake-race-server --write-seeds FOLDER\n"
    "  writes the server's packets as inputs of the fuzz target net_datagrams and exits\n";

static const char *type_name(int type) {
    switch (type) {
    case 0: return "contact";
    case 3: return "client info";
    case 5: return "track ack";
    case 7: return "bike ack";
    case 9: return "ready";
    case 11: return "state";
    case 13: return "restart request";
    case 14: return "restart ack";
    case 15: return "disconnect";
    case 17: return "reliable";
    case 18: return "ack";
    default: return "unknown";
    }
}

static void print_packet(const fake_packet &k) {
    printf("%8.3f %s%s (type %d, %zu bytes)", k.time, k.from_stranger ? "to the stranger socket: " : "",
           type_name(k.type), k.type, k.bytes.size());
    if (k.type == 0) printf(" password %u nonce %u", k.password_flag, k.nonce);
    if (k.type >= 3 && k.type <= 18) printf(" slot %u word 0x%08x", k.slot, k.word);
    if (k.type == 5 || k.type == 7 || k.type == 9 || k.type == 11 || k.type == 14)
        printf(" race %u", k.race_id);
    if (k.type == 7) printf(" rider %u", k.rider_index);
    if (k.type == 11) printf(" server tick %u tick %u", k.server_tick, k.client_tick);
    if (k.type == 17) printf(" sequence %u message %d", k.sequence, k.message_type);
    if (k.type == 18) printf(" sequence %u", k.sequence);
    if (k.type == 3 || (k.type == 17 && k.message_type != 21 && k.message_type != 27)) {
        std::string shown;
        for (char c : k.text.substr(0, 80)) shown += (unsigned char)c < 32 || (unsigned char)c > 126 ? '.' : c;
        printf(" \"%s\"", shown.c_str());
    }
    if (!k.error.empty()) printf(" MALFORMED: %s", k.error.c_str());
    printf("\n");
}

static volatile sig_atomic_t stop_requested = 0;

static void request_stop(int) {
    stop_requested = 1;
}

// The fuzz target's input: a byte picking the client state (its index among 0, 3, 5, 7, 9, 11,
// 14, 15), then datagrams each behind a 2-byte length.
static int write_seed(const std::string &path, int state, const std::vector<std::vector<uint8_t>> &datagrams) {
    static const int STATES[] = {0, 3, 5, 7, 9, 11, 14, 15};
    int pick = 0;
    while (STATES[pick] != state) pick++;
    std::string bytes(1, (char)pick);
    for (const std::vector<uint8_t> &d : datagrams) {
        if (d.size() > 1023) continue;
        bytes.push_back((char)(d.size() & 0xff));
        bytes.push_back((char)(d.size() >> 8));
        bytes.append(d.begin(), d.end());
    }
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// Every packet the codec builds, in the order a race brings them, for each client state; and
// the hostile table for a racing client.
static int write_seeds(const std::string &folder) {
    fake_server s;
    s.race_id = 1;
    s.session_slot = 2;
    s.session_word = 0x5a17c0deu;
    s.nonce = 1000;   // the fuzz target's nonce
    if (!fake_track_hash("tracks/practice", s.track_hash)) return 0;
    fake_state_record r = {};
    r.slot = 3;
    r.tick = 400;
    for (int i = 0; i < 39; i++) r.state[i] = (uint8_t)(i * 13);
    std::vector<std::vector<uint8_t>> race = {
        fake_full(), fake_accept(2, 0x5a17c0deu, 6), fake_redirect(1000, "127.0.0.1:19801"),
        fake_track(1, 0, 3, 1700, s.track_hash, "tracks/practice"),
        fake_rider_info(1, 3, FAKE_RIDER_INFO), fake_rider_info(1, 5, FAKE_RIDER_INFO),
        fake_race_start(1, 2, FAKE_RIDER_INFO), fake_race_info(1, 100, 0),
        fake_state_bundle(1, 104, 96, {r}), fake_reliable(0, 19, "Welcome to the practice track"),
        fake_reliable(2, 24, "knockout 100 200"), fake_reliable(1, 24, "off_course_bias 12.5"),
        fake_reliable(3, 21, fake_le32(1) + fake_le32(1) + fake_le32(3) + fake_le32(0) + fake_le32(900)),
        fake_reliable(4, 27, fake_le32(1) + std::string(24, '\x11')), fake_reliable(5, 24, "sendready"),
        fake_ack(0), fake_restart(2), fake_track(2, 76800, 2, 1700, s.track_hash, "tracks/practice"),
        fake_disconnect_text("kicked"), fake_disconnect()};
    for (int state : {0, 3, 5, 7, 9, 11, 14, 15})
        if (!write_seed(folder + "/codec_state" + std::to_string(state), state, race)) return 0;
    std::vector<std::vector<uint8_t>> hostile;
    for (const fake_hostile_row &row : fake_hostile_rows(&s)) hostile.push_back(row.bytes);
    return write_seed(folder + "/codec_hostile_state11", 11, hostile);
}

static int read_number(const char *text, int low, int high, int *out) {
    char *end;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno || end == text || *end || v < low || v > high) return 0;
    *out = (int)v;
    return 1;
}

int main(int argc, char **argv) {
    fake_server_config config;
    config.port = 19800;
    int seconds = 120, hostile = 0;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        bool has_value = i + 1 < argc;
        if (strcmp(a, "--port") == 0 && has_value) {
            if (!read_number(argv[++i], 1, 65535, &config.port)) {
                fprintf(stderr, "fake-race-server: bad port '%s'\n", argv[i]);
                return 2;
            }
        } else if (strcmp(a, "--track") == 0 && has_value) {
            config.track = argv[++i];
        } else if (strcmp(a, "--seconds") == 0 && has_value) {
            if (!read_number(argv[++i], 1, 600, &seconds)) {
                fprintf(stderr, "fake-race-server: --seconds takes 1 to 600, not '%s'\n", argv[i]);
                return 2;
            }
        } else if (strcmp(a, "--write-seeds") == 0 && has_value) {
            if (!write_seeds(argv[++i])) {
                fprintf(stderr, "fake-race-server: can't write the seeds into '%s'\n", argv[i]);
                return 1;
            }
            return 0;
        } else if (strcmp(a, "--hostile") == 0) {
            hostile = 1;
        } else {
            fputs(USAGE, strcmp(a, "--help") == 0 ? stdout : stderr);
            return strcmp(a, "--help") == 0 ? 0 : 2;
        }
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    signal(SIGTERM, request_stop);
    signal(SIGINT, request_stop);
    fake_server s;
    if (!fake_server_start(&s, config)) {
        fprintf(stderr, "fake-race-server: can't start: track '%s' not in the stock archive, or "
                        "127.0.0.1:%d not free\n", config.track.c_str(), config.port);
        return 1;
    }
    printf("fake-race-server: 127.0.0.1:%d, track '%s', %d s%s\n", s.port, config.track.c_str(),
           seconds, hostile ? ", hostile" : "");

    auto start = std::chrono::steady_clock::now();
    auto now = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<fake_hostile_row> rows;
    size_t next_row = 0;
    int flood = 0;
    double racing_since = -1, last_row = 0;
    size_t printed = 0;
    while (!stop_requested && now() < seconds) {
        pollfd fds[2] = {{s.socket, POLLIN, 0}, {s.stranger, POLLIN, 0}};
        poll(fds, 2, 5);
        double t = now();
        fake_server_poll(&s, t);
        for (; printed < s.received.size(); printed++) print_packet(s.received[printed]);
        if (!hostile || s.silent) continue;
        if (s.phase == FAKE_RACING && racing_since < 0) racing_since = t;
        if (racing_since < 0 || t < racing_since + 3) continue;
        if (rows.empty() && next_row == 0) {
            rows = fake_hostile_rows(&s);
            printf("%8.3f hostile: %zu rows\n", t, rows.size());
        }
        if (next_row < rows.size()) {
            if (t >= last_row + 0.05) {
                printf("%8.3f hostile: %s\n", t, rows[next_row].label.c_str());
                fake_server_send(&s, rows[next_row++].bytes, 0);
                fake_server_send_stranger(&s, fake_disconnect_text("stranger"));
                last_row = t;
            }
        } else if (flood < 100000) {
            for (int i = 0; i < 2000; i++) fake_server_send(&s, fake_flood_datagram(&s, flood++), 0);
            if (flood >= 100000) printf("%8.3f hostile: flood of 100000 sent; silence\n", t);
        } else {
            s.silent = 1;
        }
    }
    int disconnects = (int)fake_server_packets(&s, 15).size();
    printf("fake-race-server: %zu client packets, %zu malformed, %d disconnects\n", s.received.size(),
           s.errors.size(), disconnects);
    fake_server_stop(&s);
    return 0;
}
