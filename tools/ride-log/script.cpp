// ride-log script: the first race of a track with its own script, or another file in its place,
// the tick hook every tick and the frame hook every second tick; once a second the windsock's
// yaw, the first flag's height and the crowd's volume, and the console lines as they come.
//
//   ride-log script --track TRACK [--script FILE] [--seconds S]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/console.h"
#include "platform/plyx.h"
#include "present/game_sound.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/statue.h"
#include "race/track.h"
#include "script/script.h"
#include "tools/ride-log/ride_log.h"

// The console lines printed since the last call.
static void print_new_console_lines(int *seen) {
    while (*seen != console_log.head) {
        printf("%s", console_log.lines[*seen]);
        size_t n = strlen(console_log.lines[*seen]);
        if (n == 0 || console_log.lines[*seen][n - 1] != '\n') printf("\n");
        *seen = (*seen + 1) % CONSOLE_LINES;
    }
}

// The file's text, or false after a line on standard error.
static bool read_script(const std::string &path, std::string *out) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) {
        fprintf(stderr, "ride-log: can't open %s\n", path.c_str());
        return false;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0 && out->size() < (64u << 20)) out->append(buffer, n);
    fclose(f);
    return true;
}

static void print_state() {
    const statue *windsock = track_statue_at(track_first_file_statue);
    const billboard *flag = track_first_file_billboard < track_billboards.count
                                ? (const billboard *)track_billboards.items + track_first_file_billboard
                                : nullptr;
    printf("t=%.1f windsock yaw=%.3f flag0 y=%.2f crowd vol=%.2f\n", script_time() / 128.0,
           windsock ? windsock->yaw : 0.0f, flag ? flag->y : 0.0f,
           script_sound_count > 0 ? script_sound_rows[0].volume : 0.0f);
}

int ride_log_script(const std::vector<std::string> &args) {
    std::string track, script;
    double seconds = 20;
    for (size_t i = 0; i < args.size(); i++) {
        bool has_value = i + 1 < args.size();
        if (args[i] == "--track" && has_value) {
            track = args[++i];
        } else if (args[i] == "--script" && has_value) {
            script = args[++i];
        } else if (args[i] == "--seconds" && has_value) {
            char *end;
            seconds = strtod(args[++i].c_str(), &end);
            if (*end || !std::isfinite(seconds) || seconds < 0 || seconds > 3600) {
                fprintf(stderr, "ride-log script: --seconds takes 0 .. 3600\n");
                return 2;
            }
        } else {
            fprintf(stderr, "usage: ride-log script --track TRACK [--script FILE] [--seconds S]\n");
            return 2;
        }
    }
    if (track.empty()) {
        fprintf(stderr, "usage: ride-log script --track TRACK [--script FILE] [--seconds S]\n");
        return 2;
    }
    std::string text;
    if (!script.empty() && !read_script(script, &text)) return 1;
    // Script sounds play into a device that only counts: the volumes are the script's own.
    void *sound = plyx_sound_open_readback(nullptr, 44100, 735);
    int seen = console_log.head;
    if (!ride_log_open(track.c_str())) {
        ride_log_close();
        if (sound) plyx_sound_close(sound);
        return 1;
    }
    print_new_console_lines(&seen);
    if (!script.empty()) {
        // The file runs in place of the track's own script, as a race reset would load it.
        script_unload();
        script_load_text(text.data(), text.size(), script.c_str());
    }
    control_record idle = {};
    long ticks = std::lround(seconds * 128);
    for (long t = 1; t <= ticks; t++) {
        ride_log_tick(idle);
        if (t % 2 == 0) script_frame_hook();
        print_new_console_lines(&seen);
        if (t % 128 == 0) print_state();
    }
    fflush(stdout);
    ride_log_close();
    if (sound) plyx_sound_close(sound);
    return 0;
}
