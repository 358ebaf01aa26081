// Points series: their events, results and standings.
#pragma once

constexpr int SERIES_SLOTS = 160;          // riders of a series: entrants plus the player
constexpr int SERIES_ENTRANTS_MAX = 159;
constexpr int SERIES_EVENTS_MAX = 1000;
constexpr int SERIES_POINTS_GIVEN = 40;    // points by place read from the file
constexpr int SERIES_NAME_MAX = 1023;

struct series_event {
    const char *name;                 // interned
    int track;                        // index in the track catalogue
    int race_time, laps;              // the event's race settings
    int points[SERIES_SLOTS];         // by 0-based finishing place
    int ranking[SERIES_SLOTS];        // a first value other than 0: rank after this event
    int places[SERIES_SLOTS];         // 0-based place of each rider (entrants, then the player)
    int ranks[SERIES_SLOTS];          // standing of each rider after this event (ranked events)
};

struct series_record {
    const char *name;                 // interned
    char *standings_file;             // "@" + the series file's name + "_standings", owned
    int event_count;
    series_event *events;             // owned
    int completed;                    // events with standings
    int robot_skill;                  // 0 Novice, 1 Amateur, 2 Expert
    int entrant_count;                // n, at most 159; the player is rider n
    int entrant_numbers[SERIES_SLOTS];
};

struct series_list_record {
    int count;
    series_record *items;             // owned; null when there is no series
    int current;                      // the series being raced, -1 none
    int current_event;                // its event being raced, -1 none
};

extern series_list_record series_list;

// Enters the race into the event being raced (series_list.current and current_event, which
// must be that series' next event): places from the results order once the results are
// written, else from the running order; the next event, the ranking and the standings file
// follow. The series being raced becomes -1 in any case.
void series_enter_results();
// Ranks the riders after every ranked event among the completed ones: by points since the
// previous ranked event, a tie going to the better place in that event, then to the lower rider.
void series_rank(series_record *r);
// Writes the standings file: per completed event a line of the riders' 1-based places. 1, or 0
// with a warning and the old file left whole.
int series_write_standings(const series_record *r);
// Frees every series read at start-up with its events.
void series_free_all();
// Reads every points series file of the file index with its standings.
void series_read_all();
// Reads one series file (an index name) with its standings into *out: 1 when it is kept.
int series_read_file(const char *file, series_record *out);
