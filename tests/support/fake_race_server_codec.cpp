// The fake race server's own packet codec: the server's packets built byte by byte, the
// client's datagrams decoded and judged, and the hostile table.
#include <array>
#include <cstdio>
#include <cstring>

#include "core/digest.h"
#include "tests/support/fake_race_server.h"

const char FAKE_RIDER_INFO[] = "kx250f(2007)|gear_red.png|graphics_red.png|rims_red.png|helmet_red.png\n77\nEcho Rider";

static void put32(std::vector<uint8_t> &b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back((uint8_t)(v >> (8 * i)));
}

static uint32_t get32(const uint8_t *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void put_text(std::vector<uint8_t> &b, const std::string &text) {
    b.insert(b.end(), text.begin(), text.end());
}

std::string fake_le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; i++) s.push_back((char)(uint8_t)(v >> (8 * i)));
    return s;
}

std::vector<uint8_t> fake_words(int type, std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> b = {(uint8_t)type};
    for (uint32_t v : values) put32(b, v);
    return b;
}

std::vector<uint8_t> fake_full() {
    return {1};
}

std::vector<uint8_t> fake_accept(uint32_t slot, uint32_t word, uint32_t version) {
    std::vector<uint8_t> b = {2};
    put32(b, slot);
    put32(b, word);
    put32(b, version);
    return b;
}

std::vector<uint8_t> fake_track(uint32_t race_id, int32_t time, int32_t laps, int32_t word,
                                const uint8_t hash[20], const std::string &name) {
    std::vector<uint8_t> b = {4};
    put32(b, race_id);
    put32(b, (uint32_t)time);
    put32(b, (uint32_t)laps);
    put32(b, (uint32_t)word);
    b.insert(b.end(), hash, hash + 20);
    put_text(b, name);
    return b;
}

std::vector<uint8_t> fake_rider_info(uint32_t race_id, uint32_t slot, const std::string &text) {
    std::vector<uint8_t> b = {6};
    put32(b, race_id);
    put32(b, slot);
    put_text(b, text);
    return b;
}

std::vector<uint8_t> fake_race_start(uint32_t race_id, uint32_t local_slot,
                                     const std::string &text) {
    std::vector<uint8_t> b = {8};
    put32(b, race_id);
    put32(b, local_slot);
    put_text(b, text);
    return b;
}

std::vector<uint8_t> fake_race_info(uint32_t race_id, uint32_t server_tick, uint32_t echo) {
    std::vector<uint8_t> b = {10};
    put32(b, race_id);
    put32(b, server_tick);
    put32(b, echo);
    return b;
}

std::vector<uint8_t> fake_state_bundle(uint32_t race_id, uint32_t server_tick, uint32_t echo,
                                       const std::vector<fake_state_record> &records,
                                       int64_t count_claimed) {
    std::vector<uint8_t> b = {11};
    put32(b, race_id);
    put32(b, server_tick);
    put32(b, echo);
    put32(b, count_claimed < 0 ? (uint32_t)records.size() : (uint32_t)count_claimed);
    for (const fake_state_record &r : records) {
        b.push_back((uint8_t)r.slot);
        b.push_back((uint8_t)(r.slot >> 8));
        b.push_back((uint8_t)r.ping);
        b.push_back((uint8_t)(r.ping >> 8));
        put32(b, r.tick);
        b.insert(b.end(), r.state, r.state + 39);
    }
    return b;
}

std::vector<uint8_t> fake_restart(uint32_t race_id) {
    std::vector<uint8_t> b = {14};
    put32(b, race_id);
    return b;
}

std::vector<uint8_t> fake_disconnect() {
    return {15};
}

std::vector<uint8_t> fake_disconnect_text(const std::string &text) {
    std::vector<uint8_t> b = {16};
    put_text(b, text);
    return b;
}

std::vector<uint8_t> fake_reliable(uint32_t sequence, int message_type, const std::string &payload) {
    std::vector<uint8_t> b = {17};
    put32(b, sequence);
    b.push_back((uint8_t)message_type);
    put_text(b, payload);
    return b;
}

std::vector<uint8_t> fake_ack(uint32_t sequence) {
    std::vector<uint8_t> b = {18};
    put32(b, sequence);
    return b;
}

std::vector<uint8_t> fake_redirect(uint32_t nonce, const std::string &text) {
    std::vector<uint8_t> b = {25};
    put32(b, nonce);
    put_text(b, text);
    return b;
}

// The password proof as the client must send it: digest bytes 3, 2, 1, 0 in bytes 9-12.
static uint32_t password_proof(const std::string &password, uint32_t word) {
    ripemd160_state d;
    ripemd160_init(&d);
    ripemd160_update(&d, password.data(), password.size());
    std::string w = fake_le32(word);
    ripemd160_update(&d, w.data(), 4);
    ripemd160_final(&d);
    return (uint32_t)d.digest[3] | (uint32_t)d.digest[2] << 8 | (uint32_t)d.digest[1] << 16 |
           (uint32_t)d.digest[0] << 24;
}

// A client or rider info text: "a|b|c|d|e\nnumber\nname" or the short "model\nnumber\nname".
static std::string info_text_error(const std::string &text) {
    size_t first = text.find('\n');
    if (first == std::string::npos) return "info text without a newline";
    size_t second = text.find('\n', first + 1);
    if (second == std::string::npos) return "info text without its name line";
    if (text.find('\n', second + 1) != std::string::npos) return "info text with a fourth line";
    std::string head = text.substr(0, first);
    int bars = 0;
    for (char c : head) bars += c == '|';
    if (bars != 0 && bars != 4) return "info text's first line has " + std::to_string(bars) + " '|'";
    if (second - first - 1 > 3) return "rider number longer than 3 characters";
    for (unsigned char c : text)
        if (c < 32 && c != '\n') return "control byte in an info text";
    return "";
}

static std::string hex_word(uint32_t v) {
    char t[16];
    snprintf(t, sizeof t, "0x%08x", v);
    return t;
}

fake_packet fake_decode(const fake_server *s, const uint8_t *p, int n, double now) {
    fake_packet k = {};
    k.time = now;
    k.bytes.assign(p, p + n);
    k.type = n > 0 ? p[0] : -1;
    k.message_type = -1;
    auto fail = [&k](const std::string &why) {
        if (k.error.empty()) k.error = why;
    };
    auto length_is = [&](int want) {
        if (n != want) fail("type " + std::to_string(k.type) + " of " + std::to_string(n) +
                            " bytes, not " + std::to_string(want));
        return n == want;
    };
    auto at_least = [&](int want) {
        if (n < want) fail("type " + std::to_string(k.type) + " of " + std::to_string(n) +
                           " bytes, below " + std::to_string(want));
        return n >= want;
    };
    // Client slot and connection word: the accepted ones, or 160 and 0 before an accept.
    auto header = [&]() {
        k.slot = get32(p + 1);
        k.word = get32(p + 5);
        uint32_t slot = s->accepted ? s->session_slot : 160;
        uint32_t word = s->accepted ? s->session_word : 0;
        if (k.slot != slot) fail("client slot " + std::to_string(k.slot) + ", not " + std::to_string(slot));
        if (k.word != word) fail("connection word " + hex_word(k.word) + ", not " + hex_word(word));
    };
    auto race_is = [&](uint32_t id, uint32_t want) {
        k.race_id = id;
        if (id != want) fail("race id " + std::to_string(id) + ", not " + std::to_string(want));
    };
    if (n > 1023) fail("datagram of " + std::to_string(n) + " bytes");
    switch (k.type) {
    case -1:
        fail("empty datagram");
        break;
    case 0:
        if (!length_is(21)) break;
        k.password_flag = get32(p + 1);
        k.nonce = get32(p + 13);
        if (k.password_flag != (s->config.password.empty() ? 0u : 1u))
            fail("password flag " + std::to_string(k.password_flag));
        if (get32(p + 5) != 0 || get32(p + 17) != 0) fail("reserved contact bytes not 0");
        if (get32(p + 9) != 41) fail("contact bytes 9-12 are " + std::to_string(get32(p + 9)) + ", not 41");
        break;
    case 3: {
        if (!at_least(41)) break;
        header();
        k.proof = get32(p + 9);
        uint32_t want = s->config.password.empty() ? 0 : password_proof(s->config.password, k.word);
        if (k.proof != want) fail("password proof " + hex_word(k.proof) + ", not " + hex_word(want));
        for (int i = 13; i < 41; i++)
            if (p[i]) fail("reserved client info bytes not 0");
        k.text.assign((const char *)p + 41, (size_t)(n - 41));
        if (k.text.size() > 981) fail("client info text of " + std::to_string(k.text.size()) + " characters");
        std::string why = info_text_error(k.text);
        if (!why.empty()) fail(why);
        break;
    }
    case 5:
    case 9:
        if (!length_is(13)) break;
        header();
        race_is(get32(p + 9), s->race_id);
        break;
    case 7: {
        if (!length_is(17)) break;
        header();
        race_is(get32(p + 9), s->race_id);
        k.rider_index = get32(p + 13);
        bool sent = false;
        for (uint32_t slot : s->rider_slots_sent) sent = sent || slot == k.rider_index;
        if (!sent) fail("bike ack for rider " + std::to_string(k.rider_index) + ", never sent");
        break;
    }
    case 11:
        if (!length_is(60)) break;
        header();
        race_is(get32(p + 9), s->race_id);
        k.server_tick = get32(p + 13);
        k.client_tick = get32(p + 17);
        if (k.server_tick > s->newest_tick_sent)
            fail("server tick " + std::to_string(k.server_tick) + " never sent");
        break;
    case 13:
        if (!length_is(13)) break;
        header();
        if (get32(p + 9) != 1) fail("restart request without the value 1");
        break;
    case 14:
        if (!length_is(13)) break;
        header();
        race_is(get32(p + 9), s->race_id);
        break;
    case 15:
        if (!length_is(9)) break;
        header();
        break;
    case 17: {
        if (!at_least(14)) break;
        header();
        if (n > 480) fail("reliable packet of " + std::to_string(n) + " bytes");
        k.sequence = get32(p + 9);
        k.message_type = p[13];
        k.text.assign((const char *)p + 14, (size_t)(n - 14));
        if (k.sequence > s->expected_sequence)
            fail("reliable sequence " + std::to_string(k.sequence) + " ahead of " +
                 std::to_string(s->expected_sequence));
        switch (k.message_type) {
        case 3: {
            std::string why = info_text_error(k.text);
            if (!why.empty()) fail(why);
            break;
        }
        case 19:
        case 24:
            break;
        case 21:
            if (k.text.size() != 12) {
                fail("rider values of " + std::to_string(k.text.size()) + " bytes");
                break;
            }
            race_is(get32(p + 14), s->race_id);
            if (get32(p + 18) >= 65536) fail("timing index " + std::to_string(get32(p + 18)));
            break;
        case 27:
            if (k.text.size() < 4 || k.text.size() > 4 + 269) {
                fail("erosion message of " + std::to_string(k.text.size()) + " bytes");
                break;
            }
            race_is(get32(p + 14), s->race_id);
            break;
        default:
            fail("reliable message type " + std::to_string(k.message_type));
        }
        break;
    }
    case 18: {
        if (!length_is(13)) break;
        header();
        k.sequence = get32(p + 9);
        bool sent = false;
        for (uint32_t q : s->sequences_sent) sent = sent || q == k.sequence;
        if (!sent) fail("ack of sequence " + std::to_string(k.sequence) + ", never sent");
        break;
    }
    default:
        fail("unknown type " + std::to_string(k.type));
    }
    return k;
}

// Every type cut at every length below its minimum, from a well-formed packet of the type.
static void add_cut_rows(std::vector<fake_hostile_row> &rows, const fake_server *s) {
    uint8_t hash[20] = {};
    fake_state_record r = {};
    r.slot = (uint16_t)(s->session_slot + 1);
    struct {
        int minimum;
        std::vector<uint8_t> whole;
    } types[] = {
        {1, fake_full()},
        {13, fake_accept(s->session_slot, s->session_word, 6)},
        {37, fake_track(s->race_id, 0, 3, 1700, hash, s->config.track)},
        {9, fake_rider_info(s->race_id, s->session_slot + 1, FAKE_RIDER_INFO)},
        {9, fake_race_start(s->race_id, s->session_slot, FAKE_RIDER_INFO)},
        {13, fake_race_info(s->race_id, 1, 1)},
        {17, fake_state_bundle(s->race_id, 1, 1, {r})},
        {5, fake_restart(s->race_id + 1)},
        {1, fake_disconnect()},
        {1, fake_disconnect_text("kicked")},
        {6, fake_reliable(s->next_sequence, 19, "hello")},
        {5, fake_ack(0)},
        {5, fake_redirect(s->nonce, "127.0.0.1:1")},
    };
    for (auto &t : types)
        for (int n = 0; n < t.minimum; n++) {
            if (n == 0 && t.whole[0] != 1) continue;   // one empty datagram is enough
            rows.push_back({"type " + std::to_string(t.whole[0]) + " cut to " + std::to_string(n),
                            std::vector<uint8_t>(t.whole.begin(), t.whole.begin() + n)});
        }
}

std::vector<fake_hostile_row> fake_hostile_rows(fake_server *s) {
    std::vector<fake_hostile_row> rows;
    add_cut_rows(rows, s);
    const uint32_t race = s->race_id, slot = s->session_slot;
    const uint32_t tick = s->newest_tick_sent;   // what the client already has
    uint8_t hash[20] = {};
    // Slots at the edges, in packets the racing client must drop.
    for (uint32_t bad : {159u, 160u, 161u, 0xffffffffu}) {
        std::string b = std::to_string(bad);
        rows.push_back({"accept slot " + b, fake_accept(bad, 1, 6)});
        rows.push_back({"rider info slot " + b, fake_rider_info(race, bad, FAKE_RIDER_INFO)});
        rows.push_back({"race start local slot " + b, fake_race_start(race, bad, FAKE_RIDER_INFO)});
    }
    fake_state_record r = {};
    for (uint16_t bad : {(uint16_t)159, (uint16_t)160, (uint16_t)161, (uint16_t)0xffff, (uint16_t)slot}) {
        r.slot = bad;
        r.tick = 0x7fffff;
        rows.push_back({"state record slot " + std::to_string(bad), fake_state_bundle(race, tick, 0, {r})});
    }
    r.slot = (uint16_t)(slot + 1);
    r.tick = 0x80000000u;
    rows.push_back({"state record tick 0x80000000", fake_state_bundle(race, tick, 0, {r})});
    rows.push_back({"race info tick 0x80000000", fake_race_info(race, 0x80000000u, 0)});
    rows.push_back({"race info echo 0x80000000", fake_race_info(race, tick, 0x80000000u)});
    r.slot = (uint16_t)slot;
    rows.push_back({"state count 0xffffffff", fake_state_bundle(race, tick, 0, {r, r}, 0xffffffffu)});
    rows.push_back({"track for another race", fake_track(race + 7, 0, 3, 1700, hash, "tracks/practice")});
    rows.push_back({"track name '..'", fake_track(race, 0, 3, 1700, hash, "../../etc/passwd")});
    rows.push_back({"rider info '..' names",
                    fake_rider_info(race, slot + 1, "../x|/etc|a\\b|\x01|..\n\x02\x03\x04\n\x1b[2J")});
    rows.push_back({"restart to the same race", fake_restart(race)});
    rows.push_back({"type 13", {13, 1, 2, 3}});
    rows.push_back({"unknown type 200", {200, 0, 0, 0, 0, 0, 0}});
    // Oversized datagrams: a taken disconnect text would end the race.
    for (int n : {1024, 1500, 65507}) {
        std::vector<uint8_t> big(n, 'x');
        big[0] = 16;
        rows.push_back({"disconnect text of " + std::to_string(n) + " bytes", big});
    }
    std::vector<uint8_t> most(1023, 0);
    most[0] = 13;
    rows.push_back({"type 13 of 1023 bytes", most});
    // Reliable messages: each is taken in turn, acknowledged and must change nothing.
    auto reliable = [&](const std::string &label, int type, const std::string &payload) {
        rows.push_back({label, fake_reliable(s->next_sequence++, type, payload)});
    };
    auto values = [&](uint32_t count, std::vector<std::array<uint32_t, 3>> recs) {
        std::string p = fake_le32(race) + fake_le32(count);
        for (auto &v : recs) p += fake_le32(v[0]) + fake_le32(v[1]) + fake_le32(v[2]);
        return p;
    };
    reliable("rider values count 0xffffffff", 21, values(0xffffffffu, {{slot, 0, 100}}));
    reliable("rider values index 0xffffffff", 21, values(1, {{slot + 1, 0xffffffffu, 100}}));
    reliable("rider values index 65536", 21, values(1, {{slot + 1, 65536, 100}}));
    reliable("rider values tick 0x80000000", 21, values(1, {{slot + 1, 0, 0x80000000u}}));
    reliable("rider values slot 160", 21, values(1, {{160, 0, 100}}));
    reliable("rider values slot 0xffffffff", 21, values(1, {{0xffffffffu, 0, 100}}));
    reliable("erosion for another race", 27, fake_le32(race + 1000) + std::string(40, '\x7f'));
    reliable("erosion cut", 27, fake_le32(race).substr(0, 2));
    reliable("command off_course_bias nan", 24, "off_course_bias nan");
    reliable("command off_course_scale 1e39", 24, "off_course_scale 1e39");
    reliable("command erode 5 200000", 24, "erode " + std::to_string(race) + " 200000");
    reliable("command without an end", 24, std::string(300, 'k'));
    reliable("unknown message type", 99, "x");
    reliable("text with control bytes", 19, std::string("\x1b[2J\x07\x00\x08" "bell", 11));
    // Sequences far ahead are neither held nor acknowledged.
    for (uint32_t ahead : {65u, 1000u, 0x7fffffffu})
        rows.push_back({"sequence +" + std::to_string(ahead),
                        fake_reliable(s->next_sequence + ahead, 24, "no_arcade")});
    rows.push_back({"sequence 0xffffffff", fake_reliable(0xffffffffu, 24, "no_arcade")});
    rows.push_back({"ack never sent", fake_ack(0xfffffff0u)});
    return rows;
}

std::vector<uint8_t> fake_flood_datagram(const fake_server *s, int i) {
    return fake_race_info(s->race_id + 1 + (uint32_t)(i & 0xff), (uint32_t)i, (uint32_t)i);
}
