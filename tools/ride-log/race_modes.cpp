// ride-log race's other races: a series event, a time trial, the local rider ridden by the robot
// controller, a recorded race, a played-back demo with seeks; what each prints.
#include "tools/ride-log/race_modes.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include <sys/stat.h>

#include "bike/packed_state.h"
#include "core/console.h"
#include "core/digest.h"
#include "core/folders.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/widget_data.h"
#include "race/catalogue.h"
#include "race/demo.h"
#include "race/demo_format.h"
#include "race/history.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/series.h"
#include "race/standings.h"
#include "race/start_gate.h"
#include "race/time_trial.h"
#include "race/timing.h"
#include "race/track.h"
#include "ui/series_event.h"

static bool parse_seek(const char *text, std::pair<int, float> *out) {
    char *end = nullptr;
    long tick = strtol(text, &end, 10);
    if (end == text || *end != ':' || tick < 0 || tick > DEMO_TICK_MAX) return false;
    const char *s = end + 1;
    float seconds = strtof(s, &end);
    if (end == s || *end || !std::isfinite(seconds) || seconds == 0 || std::fabs(seconds) > 3600) return false;
    *out = {(int)tick, seconds};
    return true;
}

int race_mode_option(race_mode_options *m, const char *a, const char *v) {
    if (strcmp(a, "--time-trial") == 0) return m->time_trial = 1;
    if (strcmp(a, "--autoplayer") == 0) return m->autoplayer = 1;
    bool valued = strcmp(a, "--series") == 0 || strcmp(a, "--record") == 0 || strcmp(a, "--play") == 0 ||
                  strcmp(a, "--seek") == 0;
    if (!valued) return 0;
    if (!v || !*v) return -1;
    if (strcmp(a, "--series") == 0) m->series = v;
    if (strcmp(a, "--play") == 0) m->play = v;
    if (strcmp(a, "--record") == 0) {
        if (strchr(v, '/') || strstr(v, "..")) return -1;
        m->record = v;
    }
    if (strcmp(a, "--seek") == 0) {
        std::pair<int, float> s;
        if (!parse_seek(v, &s)) return -1;
        m->seeks.push_back(s);
    }
    return 2;
}

int race_mode_wanted(const race_mode_options &m) {
    return !m.series.empty() || m.time_trial || m.autoplayer || !m.record.empty() || !m.play.empty() ||
           !m.seeks.empty();
}

void race_mode_print_results() {
    if (!results_written) {
        printf("no results: the race is not complete\n");
        return;
    }
    printf("complete at tick %d\n", race_completed_tick);
    for (int k = 0; k < race_results.count; k++) {
        const running_order_entry &e = race_results.order[k];
        const char *number = rider_number_text(&rider_table[e.slot]);
        printf("result %d slot %d number %s laps %d points %d time %d%s\n", k + 1, e.slot, number ? number : "?",
               race_laps_of(e.points), e.points, e.time - race_state.gate_drop_tick,
               rider_check_finished(e.slot) ? "" : " unfinished");
    }
}

// ---- Starting the race ----------------------------------------------------------------------

static void select_track(const char *track) {
    static const char *options[1];
    options[0] = track;
    settings.track.options = options;
    settings.track.option_count = 1;
    settings.track.current = 0;
}

// The series given by its file ("series/sample.series") or its name: its index, or -1.
static int find_series(const std::string &name) {
    std::string standings = "@" + name + "_standings";
    for (int k = 0; k < series_list.count; k++) {
        const series_record &r = series_list.items[k];
        if (standings == r.standings_file || (r.name && name == r.name)) return k;
    }
    return -1;
}

static int start_series(const race_mode_options &m, int record) {
    track_scan_catalogue();
    series_read_all();
    int k = find_series(m.series);
    if (k < 0) {
        fprintf(stderr, "ride-log: no series '%s'\n", m.series.c_str());
        return 0;
    }
    const series_record &r = series_list.items[k];
    if (r.completed >= r.event_count) {
        printf("series '%s': all %d events raced\n", r.name, r.event_count);
        return 0;
    }
    printf("series '%s': event %d of %d, '%s'\n", r.name, r.completed + 1, r.event_count,
           r.events[r.completed].name ? r.events[r.completed].name : "");
    menu_series_chosen = k;
    settings.record_demo.current = record;
    return menu_enter_next_event() && track_name != nullptr;
}

static int start_race(const race_run_options &o, const race_mode_options &m) {
    int record = !m.record.empty();
    race_state.current_tick = 0;
    select_track(o.track);
    if (!m.play.empty()) {
        static std::string file;
        file = m.play;
        demo_chosen_file = file.c_str();
        memset(race_lineup, 0, sizeof race_lineup);
        return race_reset(race_lineup, 1, record, 0, o.laps, -1) && demo_playing();
    }
    if (!m.series.empty()) return start_series(m, record);
    if (m.time_trial) return race_reset(nullptr, 0, 0, 0, o.laps, o.level);
    int robots = o.robots;
    memset(race_lineup, 0, sizeof race_lineup);
    for (int i = 0; i < robots && i < RIDER_SLOTS; i++) race_lineup[i] = 2;
    if (m.autoplayer && robots < RIDER_SLOTS) race_lineup[robots] = 1;
    return race_reset(race_lineup, 0, record, 0, o.laps, o.level);
}

// ---- What the race is watched for -----------------------------------------------------------

// The record each history rider was posed from at the ticks that hold one, first visit only.
static std::map<std::pair<int, int>, std::array<unsigned char, PACKED_STATE_BYTES>> posed;

// The riders posed from a record in the last tick run, checked once it is done (a seek runs
// ticks of its own: only the last one's poses are the riders' poses now).
static std::vector<std::pair<int, std::array<unsigned char, PACKED_STATE_BYTES>>> posed_now;
static int posed_now_tick = -1;   // the race's tick when they were posed

static void pose_spy(int slot, int view_tick, const history_pose_record *pose) {
    if (pose->exact < 0 || rider_history[slot].ticks[pose->exact] != view_tick) return;
    std::array<unsigned char, PACKED_STATE_BYTES> state;
    memcpy(state.data(), pose->current, PACKED_STATE_BYTES);
    posed.emplace(std::make_pair(view_tick, slot), state);
    if (race_state.current_tick != posed_now_tick) posed_now.clear();
    posed_now_tick = race_state.current_tick;
    posed_now.push_back({slot, state});
}

// The stored height of a packed state (bytes 3-5): it rises with the height.
static uint32_t height_code(const unsigned char *state) {
    return state[3] | (uint32_t)state[4] << 8 | (uint32_t)state[5] << 16;
}

// Each rider posed from a record this tick, packed again: its position bytes as recorded? A
// record may put the rear tyre under the ground (a swingarm pressed past its stop on a hard
// landing is stored at the stop), and posing lifts such a bike onto the ground: its height may
// come out higher, never lower.
static void check_positions(int *checked, int *differ) {
    if (posed_now_tick != race_state.current_tick - 1) posed_now.clear();
    for (const auto &p : posed_now) {
        unsigned char again[PACKED_STATE_BYTES];
        const unsigned char *recorded = p.second.data();
        bike_pack_state(&rider_table[p.first], again);
        (*checked)++;
        *differ += memcmp(again, recorded, 3) != 0 || memcmp(again + 6, recorded + 6, 3) != 0 ||
                   height_code(again) < height_code(recorded);
    }
    posed_now.clear();
}

static std::string digest_of(const std::map<std::pair<int, int>, std::array<unsigned char, PACKED_STATE_BYTES>> &m) {
    ripemd160_state d;
    ripemd160_init(&d);
    for (const auto &e : m) ripemd160_update(&d, e.second.data(), e.second.size());
    ripemd160_final(&d);
    char hex[41];
    ripemd160_hex(&d, hex);
    return hex;
}

// Every state record of a demo file, by tick and then rider; false when it cannot be read.
static bool recorded_states(const char *name,
                            std::map<std::pair<int, int>, std::array<unsigned char, PACKED_STATE_BYTES>> *out) {
    file_stream *s = stream_open(name, "rb");
    if (!s) return false;
    demo_header h;
    int32_t length = 0;
    bool good = demo_header_read(s, &h, &length) != 0;
    uint32_t last = 0;
    unsigned char head[DEMO_FRAME_HEAD_BYTES];
    while (good && stream_read(s, head, sizeof head) == (int)sizeof head) {
        demo_frame_head f = demo_frame_head_decode(head);
        uint32_t n = f.stored_length ^ last;
        last = n;
        if (f.type != DEMO_FRAME_STATES || n % DEMO_RECORD_BYTES != 0) {
            good = stream_seek(s, s->position + (int32_t)n) != 0;
            continue;
        }
        for (uint32_t k = 0; good && k < n / DEMO_RECORD_BYTES; k++) {
            unsigned char bytes[DEMO_RECORD_BYTES];
            good = stream_read(s, bytes, sizeof bytes) == (int)sizeof bytes;
            demo_state_record r = demo_record_decode(bytes);
            std::array<unsigned char, PACKED_STATE_BYTES> state;
            memcpy(state.data(), r.state, PACKED_STATE_BYTES);
            if (good) out->emplace(std::make_pair((int)r.tick, r.ordinal), state);
        }
    }
    stream_close(s);
    return good;
}

// What a revisited tick is compared by: every rider's packed state, timing list and down flag,
// and the running order.
static std::string race_snapshot() {
    ripemd160_state d;
    ripemd160_init(&d);
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!rider_has_bike(slot)) continue;
        unsigned char state[PACKED_STATE_BYTES];
        bike_pack_state(&rider_table[slot], state);
        int count = rider_timing_count(slot);
        ripemd160_update(&d, &slot, sizeof slot);
        ripemd160_update(&d, state, sizeof state);
        ripemd160_update(&d, &count, sizeof count);
        ripemd160_update(&d, &rider_table[slot].down_flag, sizeof rider_table[slot].down_flag);
        for (int i = 0; i < count; i++) {
            int t = rider_timing_tic(slot, i);
            ripemd160_update(&d, &t, sizeof t);
        }
    }
    ripemd160_update(&d, &race_state.running_count, sizeof race_state.running_count);
    ripemd160_update(&d, race_state.running_order, sizeof(running_order_entry) * (size_t)race_state.running_count);
    ripemd160_final(&d);
    char hex[41];
    ripemd160_hex(&d, hex);
    return hex;
}

// The fast lap file's digest, or "" when there is none.
static std::string fast_lap_digest() {
    file_stream *s = stream_open(time_trial_file("fastlap.zrdemo").c_str(), "rb");
    if (!s) return "";
    ripemd160_state d;
    ripemd160_init(&d);
    char block[4096];
    int n;
    while ((n = stream_read(s, block, sizeof block)) > 0) ripemd160_update(&d, block, (size_t)n);
    stream_close(s);
    ripemd160_final(&d);
    char hex[41];
    ripemd160_hex(&d, hex);
    return hex;
}

// The race clock's bound in ticks after now.
static long long bound_ticks(const race_run_options &o, const race_mode_options &m) {
    float first = 0, normal = 0;
    race_run_plan_laps(race_state.robot_level, &first, &normal);
    float lap = normal > 0 ? 3 * normal : 0;
    if (lap < 240) lap = 240;
    float seconds = m.play.empty() ? (race_state.laps + 1) * lap + 120 : 3600;
    if (m.time_trial) seconds = (o.laps + 1) * lap + 120;
    return (long long)(seconds * RACE_TICKS_PER_SECOND) + (race_state.current_tick < race_state.gate_drop_tick
                                                                ? race_state.gate_drop_tick - race_state.current_tick
                                                                : 0);
}

static void print_series_places(int series, int before) {
    if (series < 0 || series >= series_list.count) return;
    const series_record &r = series_list.items[series];
    if (r.completed <= before) {
        printf("series '%s': event not scored\n", r.name);
        return;
    }
    const series_event &e = r.events[r.completed - 1];
    printf("series '%s' event %d '%s' places:", r.name, r.completed, e.name ? e.name : "");
    for (int i = 0; i <= r.entrant_count; i++) {
        if (i < r.entrant_count)
            printf(" %d:%d", r.entrant_numbers[i], e.places[i] + 1);
        else
            printf(" player:%d", e.places[i] + 1);
    }
    printf("\nstandings in '%s%s'\n", path_search_dir(0), r.standings_file + 1);
}

// The results file as it is now: its inode and size (0 when there is none).
static std::pair<long long, long long> results_file_id() {
    struct stat st;
    std::string name = std::string(path_search_dir(0)) + "results.txt";
    if (stat(name.c_str(), &st) != 0) return {0, 0};
    return {(long long)st.st_ino, (long long)st.st_size};
}

int race_mode_run(const race_run_options &o, const race_mode_options &m) {
    if (!start_race(o, m)) {
        fprintf(stderr, "ride-log: can't start the race\n");
        return 1;
    }
    int series = series_list.current, series_done = series >= 0 ? series_list.items[series].completed : 0;
    int player = -1;
    for (int i = 0; i < RIDER_SLOTS && player < 0; i++)
        if (rider_status[i] == 0 && rider_has_bike(i)) player = i;
    if (m.autoplayer && player >= 0) rider_set_personality(&rider_table[player], autopilot_personalities[1].name);
    if (!m.record.empty()) console_cmd_namedemo(m.record.c_str());
    posed.clear();
    if (!m.play.empty()) history_pose_spy = pose_spy;

    std::vector<int> seek_done(m.seeks.size(), 0);
    std::map<int, std::string> visits;
    int seeks = 0, revisited = 0, differ = 0;
    int crossings = 0, timed_laps = 0;
    int positions = 0, positions_differ = 0;
    posed_now.clear();
    std::string fast = m.time_trial ? fast_lap_digest() : "";
    long long end = race_state.current_tick + bound_ticks(o, m);
    int f = timing_gates.first_lap_length;
    std::pair<long long, long long> results_file = results_file_id();
    int results_writes = 0;
    console_clear();
    while (race_state.current_tick < end) {
        bool seek_due = false;
        for (int done : seek_done) seek_due = seek_due || !done;
        if (m.time_trial ? timed_laps >= o.laps : results_written != 0 && !seek_due) break;
        for (size_t k = 0; k < m.seeks.size(); k++) {
            if (seek_done[k] || race_state.current_tick < m.seeks[k].first) continue;
            seek_done[k] = 1;
            demo_seek(m.seeks[k].second);
            seeks++;
        }
        if (m.autoplayer && player >= 0 && rider_has_bike(player)) autopilot_drive(&rider_table[player]);
        race_tick();
        check_positions(&positions, &positions_differ);
        if (results_file_id() != results_file) {
            results_file = results_file_id();
            results_writes++;
        }
        if (!m.seeks.empty()) {
            std::string now = race_snapshot();
            auto at = visits.find(race_state.current_tick);
            if (at == visits.end()) {
                visits.emplace(race_state.current_tick, now);
            } else {
                revisited++;
                differ += at->second != now;
            }
        }
        // A lap line crossing: the cycle cut the list and passed the line again in this tick.
        if (m.time_trial && f > 0 && rider_timing_count(0) == f && rider_timing_tic(0, f - 1) == race_state.current_tick) {
            crossings++;
            std::string now = fast_lap_digest();
            if (crossings > 1) {
                timed_laps++;
                printf("lap %d last %d best %d fast %s\n", timed_laps, last_lap_ticks, best_lap_ticks,
                       now.empty() ? "none" : now != fast ? "new" : "kept");
            }
            fast = now;
            printf("ghost riders %d, slot 1 %s\n", demo_rider_count,
                   rider_has_bike(1) && rider_status[1] == 1 ? "ridden" : "empty");
            fflush(stdout);
        }
    }
    history_pose_spy = nullptr;
    int code = 0;
    if (m.time_trial) {
        printf("time trial: %d timed laps, best %d ticks\n", timed_laps, best_lap_ticks);
        code = timed_laps >= o.laps ? 0 : 1;
        demo_close_playback();
        demo_finish_recording();
    } else {
        race_mode_print_results();
        printf("results file written %d time%s\n", results_writes, results_writes == 1 ? "" : "s");
        code = results_written ? 0 : 1;
    }
    print_series_places(series, series_done);
    if (!m.record.empty()) {
        demo_finish_recording();
        const demo_recording_summary &s = demo_last_recording;
        std::map<std::pair<int, int>, std::array<unsigned char, PACKED_STATE_BYTES>> states;
        if (!s.path[0] || !recorded_states(s.path, &states)) {
            printf("not recorded\n");
            code = 1;
        } else {
            printf("recorded to '%s%s' (%d frames, %lld bytes)\n", path_search_dir(0), s.path + 1, s.frames,
                   s.bytes);
            printf("states %s\n", digest_of(states).c_str());
        }
    }
    if (!m.play.empty()) {
        printf("states %s\n", digest_of(posed).c_str());
        printf("positions packed again: %d of %d differ\n", positions_differ, positions);
    }
    if (!m.seeks.empty()) printf("seeks %d: revisited %d ticks, %d differ\n", seeks, revisited, differ);
    for (int i = 0; i < CONSOLE_LINES; i++)
        if (strncmp(console_log.lines[i], "Warning", 7) == 0) printf("%.255s\n", console_log.lines[i]);
    return code;
}
