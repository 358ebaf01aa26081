// Demo playback: the header into the race and the demo_rider table, the frames fed into the
// riders' histories (with console text and erosion), and seeking by a number of seconds.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bike/packed_state.h"
#include "core/console.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/util.h"
#include "core/vfs.h"
#include "race/demo.h"
#include "race/demo_carry.h"
#include "race/demo_format.h"
#include "race/history.h"
#include "race/race.h"
#include "race/standings.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "race/track.h"
#include "terrain/erode.h"

const char *demo_playback_track = nullptr;
const char *demo_chosen_file = nullptr;
int demo_rider_count = 0;
void (*demo_queue_erosion)(const unsigned char *bytes, int length) = erode_queue_message;

static struct {
    file_stream *stream;      // null: not playing
    std::string name;
    int version, rider_count;
    int next_rider;           // the next demo rider the race reset places
    int next_tick;            // frames are read while next_tick - 64 <= the current tick
    int first_frame_tick;     // -1: no frame read yet
    int tick_offset;
    int previous_frame_tick;  // recorded ticks never decrease
    uint32_t last_length;
    int32_t next_position;    // of the next frame (version 6) or block (4, 5)
    int32_t first_frame;      // the header's length
    int64_t last_erode_position;   // -1: none applied
    int blocks_read;          // versions 4 and 5
    int ended;                // a bad frame ended the demo
} play;

int demo_playing() {
    return play.stream != nullptr;
}

int demo_playback_version() {
    return play.stream ? play.version : 5;
}

static const char *intern_or_null(const std::string &t) {
    return t.empty() ? nullptr : util_intern(t.c_str());
}

// An installed track: a folder of the data holding a terrain, named without climbing out.
static bool track_installed(const std::string &folder) {
    if (folder.empty() || demo_safe_name(folder) != folder || folder.back() == '/') return false;
    return vfs_exists((folder + "/terrain.hf").c_str()) || vfs_exists((folder + "/terrain.hf.gz").c_str());
}

static std::string chosen_file() {
    if (demo_chosen_file) return demo_chosen_file;
    if (run_options.demo_file) return run_options.demo_file;
    if (race_state.time_trial && track_name) return std::string("@") + track_name + "/fastlap.zrdemo";
    return "@demos/default.zrdemo";
}

int demo_open_playback() {
    demo_close_playback();
    std::string name = chosen_file();
    file_stream *s = stream_open(name.c_str(), "rb");
    if (!s) return 0;
    demo_header h;
    int32_t length = 0;
    if (!demo_header_read(s, &h, &length)) {
        console_printf("Warning: bad demo header in '%.900s'\n", name.c_str());
        stream_close(s);
        return 0;
    }
    if (!track_installed(h.track)) {
        console_printf("Warning: demo track '%.900s' is not installed\n", h.track.c_str());
        stream_close(s);
        return 0;
    }
    play = {};
    play.stream = s;
    play.name = name;
    play.version = h.version;
    play.rider_count = (int)h.riders.size();
    play.next_tick = INT_MIN / 2;
    play.first_frame_tick = -1;
    play.previous_frame_tick = INT_MIN;
    play.next_position = length;
    play.first_frame = length;
    play.last_erode_position = -1;
    race_state.race_time = h.finish_time;
    race_state.laps = h.finish_laps;
    race_state.gate_drop_tick = h.gate_drop_tick;
    demo_playback_track = util_intern(h.track.c_str());
    for (int i = 0; i < play.rider_count; i++) {
        const demo_header_rider &r = h.riders[i];
        demo_rider[i] = {intern_or_null(r.model), intern_or_null(r.number), intern_or_null(r.name),
                         intern_or_null(r.body), intern_or_null(r.head), intern_or_null(r.bike),
                         intern_or_null(r.wheels), -1};
    }
    demo_rider_count = play.rider_count;
    return 1;
}

void demo_close_playback() {
    if (play.stream) stream_close(play.stream);
    play.stream = nullptr;
    for (int i = 0; i < demo_rider_count; i++) demo_rider[i] = demo_rider_record{nullptr, nullptr, nullptr, nullptr,
                                                                                nullptr, nullptr, nullptr, -1};
    demo_rider_count = 0;
    demo_carry_clear();
    play.rider_count = 0;
    play.next_rider = 0;
}

int32_t demo_playback_position() {
    return play.stream ? play.next_position : -1;
}

int demo_place_next_rider(int slot) {
    if (!play.stream || play.next_rider >= demo_rider_count) return -1;
    int k = play.next_rider++;
    demo_rider[k].slot = slot;
    return k;
}

// Ends reading of a demo whose frames cannot be trusted from here on.
static void end_demo() {
    console_printf("Warning: bad demo frame in '%.900s'\n", play.name.c_str());
    play.ended = 1;
}

// Puts the stream at the next frame: 1, or 0 when it cannot go there.
static bool at_next_frame() {
    file_stream *s = play.stream;
    return s->position == play.next_position || stream_seek(s, play.next_position);
}

// Reads up to DEMO_TEXT_MAX bytes of a payload of n bytes into buffer (terminated): the count.
static int read_text(char *buffer, uint32_t n) {
    int want = n < 1023 ? (int)n : 1023;
    int got = stream_read(play.stream, buffer, want);
    buffer[got < 0 ? 0 : got] = 0;
    return got;
}

static void apply_erode_command(const char *text) {
    if (strncmp(text, "erode ", 6) != 0) return;
    char *end;
    long v = strtol(text + 6, &end, 10);
    if (end == text + 6 || v < -1 || v > 102400) return;
    race_state.erode_amount = (int)v;
}

// The records of a type-1 frame, one at a time.
static bool read_states(int32_t tick, uint32_t length) {
    for (uint32_t k = 0; k < length / DEMO_RECORD_BYTES; k++) {
        unsigned char bytes[DEMO_RECORD_BYTES];
        if (stream_read(play.stream, bytes, sizeof bytes) != (int)sizeof bytes) return false;
        demo_state_record r = demo_record_decode(bytes);
        if (r.ordinal >= demo_rider_count || demo_rider[r.ordinal].slot < 0) continue;
        long long gap = (long long)r.tick - tick;
        if (gap < -2048 || gap > 2048) continue;   // no rider's record is that far from its frame
        add_state_to_history(demo_rider[r.ordinal].slot, r.state, (int)((long long)r.tick + play.tick_offset));
    }
    return true;
}

// One version-6 frame: 1 when it was taken, 0 when reading stops for this tick.
static bool read_frame() {
    file_stream *s = play.stream;
    if (!at_next_frame()) return false;
    unsigned char bytes[DEMO_FRAME_HEAD_BYTES];
    if (stream_read(s, bytes, sizeof bytes) != (int)sizeof bytes) return false;
    demo_frame_head f = demo_frame_head_decode(bytes);
    uint32_t length = f.stored_length ^ play.last_length;
    int64_t end = (int64_t)play.next_position + DEMO_FRAME_HEAD_BYTES + length;
    if (f.tick < 0 || f.tick > DEMO_TICK_MAX || f.tick < play.previous_frame_tick || end > DEMO_FILE_MAX) {
        end_demo();
        return false;
    }
    // A frame not yet whole in the file is read once it is (a demo still being written).
    if (stream_remaining(s) < (int64_t)length) return false;
    char text[1024];
    if (f.type == DEMO_FRAME_STATES && length % DEMO_RECORD_BYTES == 0) {
        if (play.first_frame_tick < 0) {
            play.first_frame_tick = f.tick;
            if (race_state.time_trial)
                play.tick_offset = race_state.current_tick - f.tick;
            else
                race_state.current_tick = f.tick;
        }
        if (!read_states(f.tick, length)) return false;
    } else if (f.type == DEMO_FRAME_TEXT) {
        read_text(text, length);
        console_print(text);
    } else if (f.type == DEMO_FRAME_ERODE_COMMAND) {
        if (read_text(text, length) == (int)length) apply_erode_command(text);
    } else if (f.type == DEMO_FRAME_ERODE_DATA && length <= 1023 && play.next_position > play.last_erode_position) {
        unsigned char data[1024];
        if (stream_read(s, data, (int)length) != (int)length) return false;
        demo_queue_erosion(data, (int)length);
        play.last_erode_position = play.next_position;
    }
    play.last_length = length;
    play.next_position = (int32_t)end;
    play.previous_frame_tick = f.tick;
    play.next_tick = f.tick + play.tick_offset;
    return true;
}

// Versions 4 and 5: one block of every rider's record per tick, in header order.
static void read_blocks() {
    int size = bike_state_record_size(play.version);
    int bytes = play.rider_count * size;
    static unsigned char block[DEMO_RIDERS_MAX * PACKED_STATE_BYTES];
    while (play.next_tick - 8 <= race_state.current_tick) {
        if (play.blocks_read == 0) play.next_tick = race_state.current_tick;
        if (play.stream->position != play.next_position && !stream_seek(play.stream, play.next_position)) return;
        if (bytes > 0 && stream_read(play.stream, block, bytes) != bytes) return;
        for (int i = 0; i < play.rider_count; i++) {
            if (demo_rider[i].slot < 0) continue;
            unsigned char record[PACKED_STATE_BYTES] = {};
            memcpy(record, block + i * size, (size_t)size);
            add_state_to_history(demo_rider[i].slot, record, play.next_tick);
        }
        play.next_position += bytes;
        play.blocks_read++;
        play.next_tick++;
    }
}

void demo_read_frames() {
    if (!play.stream) return;
    demo_carry_note(race_state.current_tick);
    if (play.ended) return;
    if (play.version != 6) {
        read_blocks();
        return;
    }
    for (int n = 0; n < 128 && (long long)play.next_tick - 64 <= race_state.current_tick; n++)
        if (!read_frame()) break;
}

// The frame to resume at for a backward seek: walks back from the next frame over the frames'
// heads to the first whose tick is at most the limit, never before the first frame.
static void walk_back(int limit) {
    int32_t position = play.next_position;
    uint32_t last = play.last_length;
    while (position > play.first_frame) {
        int64_t earlier = (int64_t)position - ((int64_t)last + DEMO_FRAME_HEAD_BYTES);
        if (earlier < play.first_frame || earlier >= position) {
            position = play.first_frame;
            last = 0;
            break;
        }
        unsigned char bytes[DEMO_FRAME_HEAD_BYTES];
        if (!stream_seek(play.stream, (int32_t)earlier) ||
            stream_read(play.stream, bytes, sizeof bytes) != (int)sizeof bytes)
            break;
        demo_frame_head f = demo_frame_head_decode(bytes);
        position = (int32_t)earlier;
        last = f.stored_length ^ last;
        if ((long long)f.tick + play.tick_offset <= limit) break;
    }
    if (position == play.first_frame) last = 0;
    play.next_position = position;
    play.last_length = last;
    play.previous_frame_tick = INT_MIN;
}

// Every rider's timing list cut back to the last point passed before the race reached the tick
// (a point is stamped with the tick it was passed in, which ends at the next tick). Points skipped
// after it were left unstamped by a later one and go with it.
static void cut_timing(int tick) {
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        int n = rider_timing_count(slot), keep = 0;
        for (int i = 0; i < n; i++) {
            int t = rider_timing_tic(slot, i);
            if (t >= tick) break;
            if (t >= 0) keep = i + 1;
        }
        if (keep < n) rider_truncate_timing(slot, keep);
    }
}

void demo_seek(float seconds) {
    if (!play.stream || demo_recording() || !std::isfinite(seconds) || seconds == 0) return;
    if (play.stream->gzip) return;   // a compressed demo cannot be repositioned
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        if (demo_source.in_use(slot) && rider_status[slot] != 1) return;
    int c = race_state.current_tick;
    double moved = c + (double)seconds * RACE_TICKS_PER_SECOND;
    if (seconds > 0 && (play.version == 6 || game_settings.accurate_skip)) {
        int target = (int)(moved < DEMO_TICK_MAX ? moved : DEMO_TICK_MAX);
        int roost = game_settings.roost_frequency;
        game_settings.roost_frequency = 0;
        while (race_state.current_tick < target) race_tick();
        game_settings.roost_frequency = roost;
        return;
    }
    double back = moved - 1;
    int target = back <= 0 ? 0 : back >= DEMO_TICK_MAX ? DEMO_TICK_MAX : (int)back;
    if (play.version == 6) {
        walk_back(target - 64 > 0 ? target - 64 : 0);
    } else {
        long long at = play.first_frame + (long long)target * play.rider_count * bike_state_record_size(play.version);
        if (at > DEMO_FILE_MAX || !stream_seek(play.stream, (int32_t)at)) return;
        play.next_position = (int32_t)at;
        play.blocks_read = 1;
    }
    play.ended = 0;
    play.next_tick = target;
    if (target < c) cut_timing(target);
    // Back before the race completed: it runs on and completes again (nothing written twice).
    if (race_completed_tick >= 0 && target < race_completed_tick) {
        results_written = 0;
        race_results.count = 0;
    }
    race_state.current_tick = target;
    demo_carry_restore(target);
    history_clear_all();
    demo_read_frames();
    if (target < c) race_update_standings();
    race_tick();
}
