// The demo file's encoding: header text, frame heads and state records.
#include "race/demo_format.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/stream.h"

static void put(unsigned char *out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) out[i] = (unsigned char)(v >> (8 * i));
}

static uint32_t get(const unsigned char *in, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++) v |= (uint32_t)in[i] << (8 * i);
    return v;
}

void demo_frame_head_encode(const demo_frame_head &f, unsigned char out[9]) {
    put(out, f.stored_length, 4);
    put(out + 4, (uint32_t)f.tick, 4);
    out[8] = (unsigned char)f.type;
}

demo_frame_head demo_frame_head_decode(const unsigned char in[9]) {
    demo_frame_head f;
    f.stored_length = get(in, 4);
    f.tick = (int32_t)get(in + 4, 4);
    f.type = in[8];
    return f;
}

void demo_record_encode(const demo_state_record &r, unsigned char out[44]) {
    out[0] = (unsigned char)r.ordinal;
    put(out + 1, r.tick, 4);
    memcpy(out + 5, r.state, 39);
}

demo_state_record demo_record_decode(const unsigned char in[44]) {
    demo_state_record r;
    r.ordinal = in[0];
    r.tick = get(in + 1, 4);
    memcpy(r.state, in + 5, 39);
    return r;
}

void demo_frame_append(std::string &out, uint32_t &last_length, int32_t tick, int type,
                       const std::string &payload) {
    unsigned char head[DEMO_FRAME_HEAD_BYTES];
    demo_frame_head_encode({(uint32_t)payload.size() ^ last_length, tick, type}, head);
    out.append((const char *)head, sizeof head);
    out += payload;
    last_length = (uint32_t)payload.size();
}

std::string demo_states_payload(const std::vector<demo_state_record> &records) {
    std::string out;
    unsigned char bytes[DEMO_RECORD_BYTES];
    for (const demo_state_record &r : records) {
        demo_record_encode(r, bytes);
        out.append((const char *)bytes, sizeof bytes);
    }
    return out;
}

int bike_state_record_size(int version) {
    return version == 4 ? 26 : version == 5 ? 39 : 0;
}

std::string demo_header_text(const demo_header &h) {
    std::string out = "ZR06 " + std::to_string(h.riders.size()) + " " + std::to_string(h.finish_time) +
                      " " + std::to_string(h.finish_laps) + " " + std::to_string(h.gate_drop_tick) +
                      "\n" + h.track + "\n";
    for (const demo_header_rider &r : h.riders)
        out += r.model + "|" + r.body + "|" + r.bike + "|" + r.wheels + "|" + r.head + "\n" + r.number +
               "\n" + r.name + "\n\n";
    return out;
}

std::string demo_safe_name(const std::string &name) {
    if (name.find("..") != std::string::npos || (!name.empty() && name[0] == '/')) return "";
    for (unsigned char c : name)
        if (c < 32 || c == 127) return "";
    return name;
}

// One line without its end: 1, or 0 when the stream ends before the end of the line or the line
// is longer than DEMO_LINE_MAX bytes. length counts the bytes taken.
static int read_line(file_stream *s, std::string &line, int32_t *length) {
    line.clear();
    for (;;) {
        int c = stream_getc(s);
        if (c < 0) return 0;
        (*length)++;
        if (c == '\n') break;
        if ((int)line.size() >= DEMO_LINE_MAX) return 0;
        line += (char)c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return 1;
}

// "ZR%d %d %d %d %d": the numbers after "ZR", at most five; the count read.
static int read_numbers(const std::string &line, long long out[5]) {
    if (line.compare(0, 2, "ZR") != 0) return 0;
    const char *p = line.c_str() + 2;
    int n = 0;
    while (n < 5) {
        if (n > 0) {
            if (*p != ' ' && *p != '\t') break;
            while (*p == ' ' || *p == '\t') p++;
        }
        if (!(*p == '-' || *p == '+' || (*p >= '0' && *p <= '9'))) break;
        char *end;
        errno = 0;
        long long v = strtoll(p, &end, 10);
        if (end == p) break;
        if (errno == ERANGE) v = v < 0 ? -1 : 1LL << 40;  // out of every range below
        out[n++] = v;
        p = end;
    }
    return n;
}

static void split_names(const std::string &line, demo_header_rider &r) {
    std::string *fields[] = {&r.model, &r.body, &r.bike, &r.wheels, &r.head};
    size_t start = 0;
    for (int k = 0; k < 5; k++) {
        size_t bar = k < 4 ? line.find('|', start) : std::string::npos;
        if (start <= line.size()) *fields[k] = demo_safe_name(line.substr(start, bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
}

int demo_header_read(file_stream *s, demo_header *h, int32_t *length) {
    *h = demo_header();
    *length = 0;
    std::string line;
    if (!read_line(s, line, length)) return 0;
    long long n[5] = {0, 0, 0, 0, DEMO_DEFAULT_GATE_DROP};
    int count = read_numbers(line, n);
    if (count < 3) return 0;
    if (n[0] < 4 || n[0] > 6 || n[1] < 0 || n[1] > DEMO_RIDERS_MAX) return 0;
    if (n[2] < 0 || n[2] > DEMO_TICK_MAX || n[3] < 0 || n[3] > DEMO_LAPS_MAX || n[4] < 0 ||
        n[4] > DEMO_TICK_MAX)
        return 0;
    h->version = (int)n[0];
    h->finish_time = (int)n[2];
    h->finish_laps = (int)n[3];
    h->gate_drop_tick = (int)n[4];
    if (!read_line(s, h->track, length)) return 0;
    for (int i = 0; i < (int)n[1]; i++) {
        demo_header_rider r;
        if (!read_line(s, line, length)) return 0;
        split_names(line, r);
        if (!read_line(s, r.number, length)) return 0;
        if (r.number.size() > 3) r.number.resize(3);
        if (h->version == 6) {
            if (!read_line(s, r.name, length)) return 0;
            do {
                if (!read_line(s, line, length)) return 0;
            } while (!line.empty());
        }
        h->riders.push_back(r);
    }
    return 1;
}
