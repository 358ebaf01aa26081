// Reading the points series files and their standings at start-up.
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/util.h"
#include "core/vfs.h"
#include "platform/plyx.h"
#include "race/catalogue.h"
#include "race/series.h"

static int is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A text in double quotes (up to the closing quote, at most SERIES_NAME_MAX characters kept)
// or one word of at most SERIES_NAME_MAX characters: 1, or 0 when there is none.
static int read_name(file_stream *s, char out[SERIES_NAME_MAX + 1]) {
    int c;
    while (is_blank(c = stream_peekc(s))) stream_getc(s);
    if (c < 0) return 0;
    int n = 0;
    if (c == '"') {
        stream_getc(s);
        while ((c = stream_getc(s)) >= 0 && c != '"')
            if (n < SERIES_NAME_MAX) out[n++] = (char)c;
        if (c < 0) return 0;
    } else {
        while (n < SERIES_NAME_MAX && (c = stream_peekc(s)) >= 0 && !is_blank(c))
            out[n++] = (char)stream_getc(s);
    }
    out[n] = 0;
    return n > 0;
}

static int read_int(file_stream *s, int *v) {
    return stream_scanf(s, "%d", v) == 1;
}

static int catalogue_index(const char *folder) {
    for (int i = 0; i < track_catalogue.count; i++)
        if (strcmp(track_catalogue.folders[i], folder) == 0) return i;
    return -1;
}

static int skill_index(const char *word) {
    if (strcmp(word, "Novice") == 0) return 0;
    if (strcmp(word, "Amateur") == 0) return 1;
    return 2;
}

// One event: 1 when all of it read and its track is installed.
static int read_event(file_stream *s, series_event *e) {
    char name[SERIES_NAME_MAX + 1], track[SERIES_NAME_MAX + 1];
    if (!read_name(s, name) || !read_name(s, track)) return 0;
    e->track = catalogue_index(track);
    if (e->track < 0) return 0;
    e->name = util_intern(name);
    if (game_settings.debug_level) plyx_log("  event %.500s (%.500s)\n", track, name);
    if (stream_scanf(s, "%d %d", &e->race_time, &e->laps) != 2) return 0;
    for (int i = 0; i < SERIES_POINTS_GIVEN; i++)
        if (!read_int(s, &e->points[i])) return 0;
    for (int i = 0; i < SERIES_POINTS_GIVEN; i++)
        if (!read_int(s, &e->ranking[i])) return 0;
    return 1;
}

// The series file itself: 1 when it is kept; 0 after closing it (with a warning for counts
// out of range).
static int read_series_body(file_stream *s, const char *file, series_record *r) {
    char name[SERIES_NAME_MAX + 1], skill[SERIES_NAME_MAX + 1];
    if (!read_name(s, name)) return 0;
    r->name = util_intern(name);
    if (game_settings.debug_level) plyx_log("series %.500s (%.500s)\n", file, name);
    int n;
    if (stream_scanf(s, "%d %1023s", &n, skill) != 2) return 0;
    if (n < 0 || n > SERIES_ENTRANTS_MAX) {
        console_printf("Warning: bad series file '%.200s'\n", file);
        return 0;
    }
    r->entrant_count = n;
    r->robot_skill = skill_index(skill);
    for (int i = 0; i < n; i++)
        if (!read_int(s, &r->entrant_numbers[i])) return 0;
    int m;
    if (!read_int(s, &m) || m < 0 || m > SERIES_EVENTS_MAX) {
        console_printf("Warning: bad series file '%.200s'\n", file);
        return 0;
    }
    if (m > 0) {
        r->events = (series_event *)mem_alloc_or_die(sizeof(series_event) * (size_t)m);
        memset(r->events, 0, sizeof(series_event) * (size_t)m);
    }
    // An event that does not read, or whose track is not installed, ends the list.
    while (r->event_count < m && read_event(s, &r->events[r->event_count])) r->event_count++;
    return 1;
}

// The standings: one line of 1-based places per completed event, one place per rider.
static void read_standings(series_record *r) {
    file_stream *s = stream_open(r->standings_file, "rb");
    if (!s) return;
    int riders = r->entrant_count + 1;
    while (r->completed < r->event_count) {
        int places[SERIES_SLOTS];
        int i = 0;
        for (; i < riders; i++) {
            int got = stream_scanf(s, "%d", &places[i]);
            if (got == 1 && places[i] >= 1 && places[i] <= riders) continue;
            // The end of the file ends the standings quietly; anything else is damage.
            if (got != -1) console_printf("Warning: bad standings in '%.200s'\n", r->standings_file);
            break;
        }
        if (i < riders) break;
        series_event &e = r->events[r->completed++];
        for (i = 0; i < riders; i++) e.places[i] = places[i] - 1;
    }
    stream_close(s);
}

int series_read_file(const char *file, series_record *out) {
    series_record *r = out;
    memset(r, 0, sizeof *r);
    std::string name = std::string("@") + file;
    file_stream *s = stream_open(name.c_str(), "rb");
    if (!s) return 0;
    int kept = read_series_body(s, file, r);
    stream_close(s);
    if (!kept) {
        mem_free(r->events);
        r->events = nullptr;
        return 0;
    }
    std::string standings = name + "_standings";
    r->standings_file = (char *)mem_alloc_or_die(standings.size() + 1);
    memcpy(r->standings_file, standings.c_str(), standings.size() + 1);
    read_standings(r);
    series_rank(r);
    return 1;
}

static int is_series(const char *name) {
    size_t n = strlen(name);
    return n >= 7 && strcmp(name + n - 7, ".series") == 0;
}

void series_read_all() {
    series_free_all();
    const char **names = vfs_build_index();
    int files = 0;
    for (int i = 0; names && names[i]; i++) files += is_series(names[i]);
    if (files > 0) {
        series_list.items = (series_record *)mem_alloc_or_die(sizeof(series_record) * (size_t)files);
        for (int i = 0; names[i]; i++)
            if (is_series(names[i]) && series_read_file(names[i], &series_list.items[series_list.count]))
                series_list.count++;
    }
    if (series_list.count == 0) {
        mem_free(series_list.items);
        series_list.items = nullptr;
    }
    series_list.current = -1;
    series_list.current_event = -1;
}
