// The server's command words that set race rules, and sending a file to the server.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "net/client.h"
#include "net/packets.h"
#include "net/reliable.h"
#include "race/demo_format.h"
#include "race/race.h"
#include "race/track.h"

net_transfer_state net_transfer;

// After leading white space, the word followed by white space or the end: the rest, or null.
static const char *command_word(const char *text, const char *word) {
    while (isspace((unsigned char)*text)) text++;
    size_t n = strlen(word);
    if (strncmp(text, word, n) != 0) return nullptr;
    if (text[n] && !isspace((unsigned char)text[n])) return nullptr;
    return text + n;
}

static void bad_command(const char *text) {
    char line[160];
    snprintf(line, sizeof line, "Warning: bad server command '%.100s'\n", text);
    net_print(line);
}

// "NAME %f" within [low, high], finite: 1 with the number.
static int read_rule(const char *text, const char *name, float low, float high, float *out) {
    const char *rest = command_word(text, name);
    if (!rest) return 0;
    float v;
    char tail;
    if (sscanf(rest, "%f %c", &v, &tail) != 1 || !std::isfinite(v) || v < low || v > high) {
        bad_command(text);
        return -1;
    }
    *out = v;
    return 1;
}

// One decimal integer, saturated to [-limit, limit] while it is read: 1, or 0 when none.
static int read_saturated(const char **p, long long limit, long long *out) {
    const char *s = *p;
    while (isspace((unsigned char)*s)) s++;
    int negative = 0;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    if (!isdigit((unsigned char)*s)) return 0;
    long long v = 0;
    while (isdigit((unsigned char)*s)) {
        if (v <= limit) v = v * 10 + (*s - '0');
        s++;
    }
    if (v > limit) v = limit;
    *out = negative ? -v : v;
    *p = s;
    return 1;
}

static int only_space(const char *s) {
    while (isspace((unsigned char)*s)) s++;
    return *s == 0;
}

static void knockout(const char *text, const char *rest) {
    int table[16];
    long long last = 0;
    int k = 0;
    for (; k < 16; k++) {
        long long v;
        if (!read_saturated(&rest, NET_KNOCKOUT_MAX + 1LL, &v)) break;
        last = v < 0 ? 0 : v > NET_KNOCKOUT_MAX ? NET_KNOCKOUT_MAX : v;
        table[k] = (int)last;
    }
    if (k < 16 && !only_space(rest)) {
        bad_command(text);
        return;
    }
    for (; k < 16; k++) table[k] = (int)last;
    memcpy(fall_delay_table, table, sizeof table);
}

static void erode(const char *text, const char *rest) {
    long long race, rate;
    if (!read_saturated(&rest, 1LL << 40, &race) || !read_saturated(&rest, 1LL << 40, &rate)) {
        net_print("Malformed erode command received\n");
        return;
    }
    if (!only_space(rest) || race < 0 || race > 0xffffffffLL || rate < 0 || rate > NET_ERODE_RATE_MAX) {
        bad_command(text);
        return;
    }
    if ((uint32_t)race != net_client.race_id) return;
    if (race_state.erode_amount == -1 && rate == 0) {
        race_state.erode_amount = 0;
    } else {
        race_state.erode_amount = (int)rate;
        char record[32];
        int n = snprintf(record, sizeof record, "erode %d", (int)rate);
        net_race.demo_record(DEMO_FRAME_ERODE_COMMAND, record, n);
    }
    if (race_state.erode_amount > 0) track_reload_request = 1;
}

static void redirect(const char *text, const char *rest) {
    while (isspace((unsigned char)*rest)) rest++;
    char target[128];
    snprintf(target, sizeof target, "%s", rest);
    size_t n = strlen(target);
    while (n > 0 && isspace((unsigned char)target[n - 1])) target[--n] = 0;
    if (n == 0) {
        bad_command(text);
        return;
    }
    memcpy(net_client.redirect_target, target, sizeof target);
    net_client.redirect_time = net_now() + 10.0;
    char line[200];
    snprintf(line, sizeof line, "Redirecting to '%s' in 10 seconds\n", target);
    net_print(line);
}

static void no_arcade() {
    net_client.arcade_forbidden = 1;
    if (settings.arcade.current) net_print("Arcade physics disabled\n");
    for (int slot = 0; slot < NET_NO_SLOT; slot++)
        if (net_race.rider_kind(slot) == 0 && net_race.rider_present(slot)) net_race.arcade_off(slot);
}

void net_handle_command(const char *text) {
    const char *rest;
    float v;
    int read;
    if (strcmp(text, "no_arcade") == 0) {
        no_arcade();
    } else if ((read = read_rule(text, "off_course_bias", 0.0f, 3600.0f, &v)) != 0) {
        if (read == 1) off_course_bias = v;
    } else if ((read = read_rule(text, "off_course_scale", 0.0f, 1000.0f, &v)) != 0) {
        if (read == 1) off_course_scale = v;
    } else if ((rest = command_word(text, "knockout"))) {
        knockout(text, rest);
    } else if ((rest = command_word(text, "erode"))) {
        erode(text, rest);
    } else if (strcmp(text, "sendready") == 0) {
        net_transfer.sending = 1;
    } else if (command_word(text, "senddenied")) {
        net_print("Send file denied\n");
        net_transfer_close();
    } else if ((rest = command_word(text, "redirect"))) {
        redirect(text, rest);
    }
}

void net_transfer_close() {
    if (net_transfer.file) stream_close((file_stream *)net_transfer.file);
    net_transfer.file = nullptr;
    net_transfer.text[0] = 0;
    net_transfer.sending = 0;
}

int net_start_file_transfer(const char *path) {
    if (!net_connected()) {
        console_print("Not connected to server");
        return 0;
    }
    if (!path || !*path) return 0;
    file_stream *s = stream_open(path, "rb");
    if (!s) {
        console_printf("Can't open '%.200s'", path);
        return 0;
    }
    net_transfer_close();
    const char *name = strrchr(path, '/');
    name = name ? name + 1 : path;
    snprintf(net_transfer.text, sizeof net_transfer.text, "namefile %.1000s", name);
    if (!net_queue_message(NET_MSG_COMMAND, "sendfile", 8)) {
        stream_close(s);
        net_transfer.text[0] = 0;
        return 0;
    }
    net_transfer.file = s;
    net_transfer.next_part_time = 0.0;
    return 1;
}

// 1 while a message of the transfer waits in the outgoing queue.
static int transfer_waiting() {
    const net_reliable_state &r = net_reliable;
    for (int i = 0; i < r.queue_count; i++) {
        const net_packet &p = r.queue[(r.queue_first + i) % NET_QUEUE_MAX];
        if (p.length > NET_RELIABLE_HEAD && p.data[NET_RELIABLE_HEAD] == NET_MSG_COMMAND) return 1;
    }
    return 0;
}

void net_transfer_step() {
    net_transfer_state &t = net_transfer;
    if (!t.sending || !t.file || net_client.socket < 0) return;
    double now = net_now();
    if (now < t.next_part_time || transfer_waiting() || net_reliable.queue_count >= NET_QUEUE_MAX)
        return;
    t.next_part_time = now + 0.25;
    static const char PART[] = "sendpart -";
    unsigned char m[sizeof PART - 1 + NET_FILE_PART];
    memcpy(m, PART, sizeof PART - 1);
    int n = stream_read((file_stream *)t.file, m + sizeof PART - 1, NET_FILE_PART);
    if (n > 0) {
        net_queue_message(NET_MSG_COMMAND, m, (int)(sizeof PART - 1) + n);
        return;
    }
    stream_close((file_stream *)t.file);
    t.file = nullptr;
    net_queue_message(NET_MSG_COMMAND, t.text, (int)strlen(t.text));
    t.text[0] = 0;
    t.sending = 0;
}
