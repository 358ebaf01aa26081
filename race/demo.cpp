// Demo recording: the header of the riders, a frame of their sampled states every 1/8 s, the
// file kept under a temporary name until it is finished, and the names it is kept under.
#include "race/demo.h"

#include <cstring>
#include <string>

#include "bike/packed_state.h"
#include "bike/rider.h"
#include "core/console.h"
#include "core/net_state.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "race/demo_format.h"
#include "race/history.h"
#include "race/race.h"
#include "race/track.h"

static void pack_slot(int slot, unsigned char out[39]) {
    bike_pack_state(&rider_table[slot], out);
}

demo_rider_record demo_rider[160];
demo_source_table demo_source = {pack_slot, rider_has_bike};
demo_recording_summary demo_last_recording = {};

// The open recording.
static struct {
    file_stream *stream;          // null: not recording
    std::string kept, temporary;  // the '@' name it is kept under, and the one written
    uint32_t last_length;
    long long bytes;
    int frames;
    int time_trial;
    char name[1024];              // the name given by "namedemo" (empty: none)
} rec;

int demo_recording() {
    return rec.stream != nullptr;
}

// The riders a demo holds: the ones simulated here offline; online also the remote ones, and
// the local rider only when there is one.
static bool selected(int slot) {
    if (!demo_source.in_use || !demo_source.in_use(slot)) return false;
    int kind = rider_status[slot];
    if (net_client.socket < 0) return kind == 0 || kind == 2;
    if (net_client.local_slot == RIDER_NO_SLOT) return kind == 1 || kind == 2;
    return kind >= 0 && kind <= 2;
}

static std::string default_name(int k) {
    char name[64];
    snprintf(name, sizeof name, "@demos/default%02d.zrdemo", k);
    return name;
}

static const char *text_or_empty(const char *t) {
    return t ? t : "";
}

// Ends the recording after a failed write: the temporary file goes, the old demo stays.
static void abandon_recording() {
    stream_close(rec.stream);
    rec.stream = nullptr;
    path_remove(rec.temporary.c_str());
    console_print("Warning: demo not saved: write failed\n");
}

static bool write_bytes(const void *data, int count) {
    if (stream_write(rec.stream, data, count) != count) {
        abandon_recording();
        return false;
    }
    rec.bytes += count;
    return true;
}

static void keep_recording();

void demo_start_recording() {
    if (rec.stream) demo_finish_recording();
    rec.time_trial = race_state.time_trial;
    if (rec.time_trial) {
        if (!track_name) return;
        rec.kept = std::string("@") + track_name + "/lastlap.zrdemo";
    } else {
        int n = settings.demo_backups < 0 ? 0 : settings.demo_backups > 100 ? 100 : settings.demo_backups;
        for (int k = n - 2; k >= 0; k--) path_rename_replace(default_name(k).c_str(), default_name(k + 1).c_str());
        if (n > 0) path_rename_replace("@demos/default.zrdemo", default_name(0).c_str());
        rec.kept = "@demos/default.zrdemo";
    }
    rec.temporary = rec.kept + ".tmp";
    rec.stream = stream_open(rec.temporary.c_str(), "wb");
    if (!rec.stream) {
        console_printf("Warning: couldn't create '%.900s'\n", rec.temporary.c_str());
        return;
    }
    demo_header h;
    h.version = 6;
    h.finish_time = race_state.race_time;
    h.finish_laps = race_state.laps;
    h.gate_drop_tick = race_state.gate_drop_tick;
    h.track = text_or_empty(track_name);
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!selected(slot)) continue;
        const race_slot_look &l = race_slot_looks[slot];
        demo_header_rider r;
        r.model = text_or_empty(l.model);
        r.body = text_or_empty(l.body);
        r.bike = text_or_empty(l.bike);
        r.wheels = text_or_empty(l.wheels);
        r.head = text_or_empty(l.head);
        r.number = text_or_empty(l.number);
        r.name = text_or_empty(race_rider_names[slot]);
        h.riders.push_back(r);
    }
    std::string text = demo_header_text(h);
    rec.last_length = 0;
    rec.bytes = 0;
    rec.frames = 0;
    write_bytes(text.data(), (int)text.size());
}

void demo_write_frame(int force) {
    if (!rec.stream) return;
    int t = race_state.current_tick;
    if (force || t % 4 == 0) {
        for (int slot = 0; slot < RIDER_SLOTS; slot++) {
            int kind = rider_status[slot];
            if ((kind != 0 && kind != 2) || !selected(slot)) continue;
            unsigned char state[PACKED_STATE_BYTES];
            demo_source.pack(slot, state);
            add_state_to_history(slot, state, t);
        }
    }
    if (!force && t % 16 != 0) return;
    long long d = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        if (selected(slot)) d += rider_history[slot].pending;
    if (d == 0) return;
    long long length = d * DEMO_RECORD_BYTES;
    if (rec.bytes + DEMO_FRAME_HEAD_BYTES + length > DEMO_FILE_MAX) {
        console_print("Warning: demo too long; recording stopped\n");
        keep_recording();
        return;
    }
    unsigned char head[DEMO_FRAME_HEAD_BYTES];
    demo_frame_head_encode({(uint32_t)length ^ rec.last_length, t, DEMO_FRAME_STATES}, head);
    if (!write_bytes(head, sizeof head)) return;
    rec.last_length = (uint32_t)length;
    int ordinal = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!selected(slot)) continue;
        rider_history_record &h = rider_history[slot];
        // The unsent records, oldest first: from the entry after the head round to the head.
        for (int k = 1; k <= HISTORY_RECORDS && h.pending > 0; k++) {
            int i = (h.head + k) % HISTORY_RECORDS;
            if (!h.unsent[i]) continue;
            h.unsent[i] = 0;
            if (h.ticks[i] < 0) continue;
            demo_state_record r;
            r.ordinal = ordinal;
            r.tick = (uint32_t)h.ticks[i];
            memcpy(r.state, h.states[i], PACKED_STATE_BYTES);
            unsigned char bytes[DEMO_RECORD_BYTES];
            demo_record_encode(r, bytes);
            if (!write_bytes(bytes, sizeof bytes)) return;
        }
        h.pending = 0;
        memset(h.unsent, 0, sizeof h.unsent);
        ordinal++;
    }
    rec.frames++;
    if (stream_flush(rec.stream) != 0) abandon_recording();
}

void demo_write_record(int type, const void *bytes, int length) {
    if (!rec.stream || length < 0) return;
    if (rec.bytes + DEMO_FRAME_HEAD_BYTES + length > DEMO_FILE_MAX) return;
    unsigned char head[DEMO_FRAME_HEAD_BYTES];
    demo_frame_head_encode({(uint32_t)length ^ rec.last_length, race_state.current_tick, type}, head);
    if (!write_bytes(head, sizeof head)) return;
    rec.last_length = (uint32_t)length;
    if (length > 0) write_bytes(bytes, length);
}

void demo_finish_recording() {
    if (!rec.stream) return;
    demo_write_frame(1);   // the states still pending: a finish in them replays as raced
    keep_recording();
}

static void keep_recording() {
    if (!rec.stream) return;
    file_stream *s = rec.stream;
    rec.stream = nullptr;
    int good = stream_flush(s) == 0;
    if (!stream_close(s)) good = 0;
    if (good) good = path_rename_replace(rec.temporary.c_str(), rec.kept.c_str());
    if (!good) {
        path_remove(rec.temporary.c_str());
        console_print("Warning: demo not saved: write failed\n");
        return;
    }
    std::string kept = rec.kept;
    if (rec.name[0] && !rec.time_trial) {
        std::string named = std::string("@demos/") + rec.name;
        if (path_rename_replace(kept.c_str(), named.c_str()))
            kept = named;
        else
            console_printf("Warning: couldn't rename the demo to '%.900s'\n", named.c_str());
    }
    rec.name[0] = 0;
    snprintf(demo_last_recording.path, sizeof demo_last_recording.path, "%s", kept.c_str());
    demo_last_recording.frames = rec.frames;
    demo_last_recording.bytes = rec.bytes;
}

void console_cmd_namedemo(const char *text) {
    if (!rec.stream) {
        console_print("Not currently recording a demo");
        return;
    }
    if (!text) text = "";
    while (*text == ' ' || *text == '\t') text++;
    size_t n = strcspn(text, " \t\r\n");
    if (n + 8 > sizeof rec.name) {
        console_print("Name too long");
        return;
    }
    std::string name(text, n);
    // The name is a file in the demos folder: nothing that climbs out of it.
    if (name.empty() || name.find('/') != std::string::npos || name.find("..") != std::string::npos ||
        name.find('\\') != std::string::npos) {
        console_print("Warning: bad demo name");
        return;
    }
    const std::string ext = ".zrdemo";
    if (name.size() < ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0) name += ext;
    snprintf(rec.name, sizeof rec.name, "%s", name.c_str());
    console_print("Demo name updated");
}
