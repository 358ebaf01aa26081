// The demo file's encoding, one set of pure functions for the recorder, the player, tests,
// benchmarks and fuzz seeds: the text header, the 9-byte frame head and the 44-byte state
// record, integers little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct file_stream;

// One rider block of the header; names are empty when absent.
struct demo_header_rider {
    std::string model, body, bike, wheels, head;
    std::string number;   // at most 3 characters
    std::string name;     // version 6 only
};

struct demo_header {
    int version;          // 4, 5 or 6
    int finish_time;      // ticks; 0 for a lap race
    int finish_laps;
    int gate_drop_tick;
    std::string track;
    std::vector<demo_header_rider> riders;
};

// A frame's head: the stored length (the payload length XOR the previous frame's), tick, type.
struct demo_frame_head {
    uint32_t stored_length;
    int32_t tick;
    int type;
};

// One state record of a type-1 frame.
struct demo_state_record {
    int ordinal;          // the rider's block in the header, from 0
    uint32_t tick;
    unsigned char state[39];
};

// The header as the recorder writes it (version 6).
std::string demo_header_text(const demo_header &h);
// Reads the header from the stream's current position: 1, or 0 with a reason (bad first line,
// rider count, numbers out of range, a line without its end or too long, a missing block).
// length gets the header's size in bytes: the offset of the first frame.
int demo_header_read(file_stream *s, demo_header *h, int32_t *length);
// A bike or texture name as the player may use it: empty when it climbs out of the data
// folders (".."), is absolute or holds control bytes.
std::string demo_safe_name(const std::string &name);

void demo_frame_head_encode(const demo_frame_head &f, unsigned char out[9]);
demo_frame_head demo_frame_head_decode(const unsigned char in[9]);
void demo_record_encode(const demo_state_record &r, unsigned char out[44]);
demo_state_record demo_record_decode(const unsigned char in[44]);
// Appends a whole version-6 frame (head and payload) to out; last_length is the previous
// frame's payload length and becomes this one's.
void demo_frame_append(std::string &out, uint32_t &last_length, int32_t tick, int type,
                       const std::string &payload);
// The payload of a type-1 frame holding these records.
std::string demo_states_payload(const std::vector<demo_state_record> &records);

// Bytes of one rider's record in a version 4 or 5 demo: 26, 39, else 0.
int bike_state_record_size(int version);

constexpr int DEMO_FRAME_HEAD_BYTES = 9;
constexpr int DEMO_RECORD_BYTES = 44;
constexpr int DEMO_FRAME_STATES = 1;
constexpr int DEMO_FRAME_TEXT = 2;
constexpr int DEMO_FRAME_ERODE_COMMAND = 3;
constexpr int DEMO_FRAME_ERODE_DATA = 5;
constexpr int DEMO_RIDERS_MAX = 160;
constexpr int DEMO_LINE_MAX = 1023;          // bytes of a header line without its end
constexpr int DEMO_TICK_MAX = 16777216;
constexpr int DEMO_LAPS_MAX = 1000;
constexpr int DEMO_DEFAULT_GATE_DROP = 1792; // 14 s
