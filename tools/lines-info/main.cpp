// lines-info: loads a track's timing gates and its three line files in a hidden window and
// checks that each file matches the gates and that its lines join from row to row.
//
//   lines-info TRACK   (TRACK: "tracks/practice", "practice" or "@tracks/practice")
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/digest.h"
#include "core/folders.h"
#include "core/mem.h"
#include "core/stream.h"
#include "core/util.h"
#include "race/lines.h"
#include "race/race.h"
#include "race/timing.h"
#include "race/track.h"
#include "tools/tool_window.h"

// One level's file: 1 when it matches and joins, else 0 after printing the problem.
static int check_level(int level) {
    const char *file = lines_file_name(level);
    std::string name = std::string("@") + track_name + "/" + file;
    char *text = file_to_string(name.c_str());
    if (!text) {
        printf("%s: missing\n", file);
        return 0;
    }
    char digest[41];
    ripemd160_hex_of(text, strlen(text), digest);
    int rows = -1;
    int header = stream_scan_text(text, "ct03 %d", &rows);
    mem_free(text);
    int f = timing_gates.first_lap_timed, n = timing_gates.lap_timed;
    if (header != 1 || rows != f + n) {
        printf("%s: header does not match %d + %d segments\n", file, f, n);
        return 0;
    }
    console_clear();
    autopilot_read_lines(level);
    for (int i = 0; i < CONSOLE_LINES; i++)
        if (strstr(console_log.lines[i], "Warning")) {
            printf("%s: %s", file, console_log.lines[i]);
            return 0;
        }
    std::string counts;
    for (int r = 0; r < line_store.row_count; r++) {
        int used = line_row_used(r);
        if (used == 0) {
            printf("%s: row %d has no line\n", file, r);
            return 0;
        }
        counts += (r ? " " : "") + std::to_string(used);
    }
    char problem[200];
    if (!autopilot_check_joins(problem, sizeof problem)) {
        printf("%s: %s\n", file, problem);
        return 0;
    }
    printf("%s: ct03 %d matches %d + %d segments; slots per row %s; every row joins the next; ripemd160 %s\n",
           file, rows, f, n, counts.c_str(), digest);
    return 1;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: lines-info TRACK\n");
        return 2;
    }
    std::string folder = argv[1] + (argv[1][0] == '@');
    if (folder.find('/') == std::string::npos) folder = "tracks/" + folder;
    window_context *w = tool_window_open("lines-info", 64, 48);
    if (!w) return 1;
    track_name = util_intern(folder.c_str());
    track_read_timing_gates(("@" + folder + "/timing_gates").c_str());
    int code = 0;
    if (timing_gates.count <= 0) {
        printf("%s: no timing\n", folder.c_str());
        code = 1;
    }
    for (int level = 0; level < 3 && code == 0; level++)
        if (!check_level(level)) code = 1;
    line_store_free();
    track_unload();
    track_name = nullptr;
    tool_window_close(w);
    return code;
}
