// Demo fixtures for the race tests: a private home with an installed fake track, fake riders
// whose packed states carry their slot and tick, and demos built with the shared encoding.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/folders.h"
#include "core/vfs.h"
#include "race/demo.h"
#include "race/demo_format.h"
#include "race/history.h"
#include "race/race.h"
#include "race/track.h"
#include "tests/support/test_support.h"

inline int demo_fake_used[RIDER_SLOTS];

// Byte 0 the slot, bytes 1-4 the tick, the rest a pattern of both.
inline void demo_fake_state(int slot, int tick, unsigned char out[39]) {
    for (int i = 0; i < 39; i++) out[i] = (unsigned char)(slot * 7 + tick * 3 + i);
    out[0] = (unsigned char)slot;
    for (int i = 0; i < 4; i++) out[1 + i] = (unsigned char)((unsigned)tick >> (8 * i));
}

inline void demo_fake_pack(int slot, unsigned char out[39]) {
    demo_fake_state(slot, race_state.current_tick, out);
}

inline int demo_fake_in_use(int slot) {
    return demo_fake_used[slot];
}

// A home folder and a game folder holding the track "tracks/fake"; no riders.
struct demo_env {
    temp_dir dir;
    std::string home;   // the first search path, ending in '/'
    demo_env() {
        test_isolate_home(dir);
        test_write_file(dir.file("game/tracks/fake/terrain.hf"), "fake");
        vfs_build_index();
        home = path_search_dir(0);
        track_name = "tracks/fake";
        demo_source = {demo_fake_pack, demo_fake_in_use};
        memset(demo_fake_used, 0, sizeof demo_fake_used);
        for (int &k : rider_status) k = 1;
        race_state.current_tick = 0;
        race_state.time_trial = 0;
        history_clear_all();
        console_clear();
    }
    ~demo_env() {
        demo_close_playback();
        demo_finish_recording();
        demo_chosen_file = nullptr;
        track_name = nullptr;
        vfs_shutdown();
    }
    // Fake robots in these slots.
    void robots(std::initializer_list<int> slots) {
        for (int s : slots) {
            demo_fake_used[s] = 1;
            rider_status[s] = 2;
        }
    }
};

// A version-6 demo made with the shared encoding.
struct demo_builder {
    demo_header header;
    std::string frames;
    uint32_t last = 0;
    explicit demo_builder(int riders, const char *track = "tracks/fake") {
        header.version = 6;
        header.finish_time = 0;
        header.finish_laps = 3;
        header.gate_drop_tick = 1792;
        header.track = track;
        for (int i = 0; i < riders; i++) {
            demo_header_rider r;
            r.model = "yz250f";
            r.number = std::to_string(20 + i);
            r.name = "Rider " + std::to_string(i);
            header.riders.push_back(r);
        }
    }
    void frame(int tick, int type, const std::string &payload) {
        demo_frame_append(frames, last, tick, type, payload);
    }
    // A states frame: for every rider the records at these ticks.
    void states(int tick, const std::vector<int> &ticks) {
        std::vector<demo_state_record> records;
        for (int o = 0; o < (int)header.riders.size(); o++)
            for (int t : ticks) {
                demo_state_record r;
                r.ordinal = o;
                r.tick = (uint32_t)t;
                demo_fake_state(o, t, r.state);
                records.push_back(r);
            }
        frame(tick, DEMO_FRAME_STATES, demo_states_payload(records));
    }
    std::string bytes() const { return demo_header_text(header) + frames; }
};

// Writes the demo into the home's demos folder, opens it and places rider i in slot i.
inline bool demo_play_bytes(const demo_env &env, const std::string &bytes, const char *name = "t.zrdemo") {
    static std::string path;
    path = env.home + "demos/" + name;
    test_write_file(path, bytes);
    demo_chosen_file = path.c_str();
    if (!demo_open_playback()) return false;
    for (int i = 0; i < demo_rider_count; i++) demo_place_next_rider(i);
    return true;
}

// The ticks of a slot's history, newest first.
inline std::vector<int> demo_history_ticks(int slot) {
    std::vector<int> out;
    const rider_history_record &h = rider_history[slot];
    for (int k = 0; k < HISTORY_RECORDS; k++) {
        int i = (h.head - k + HISTORY_RECORDS) % HISTORY_RECORDS;
        if (h.ticks[i] < 0) break;
        out.push_back(h.ticks[i]);
    }
    return out;
}

inline bool demo_console_has(const char *text) {
    for (int i = 0; i < CONSOLE_LINES; i++)
        if (strstr(console_log.lines[i], text)) return true;
    return false;
}
