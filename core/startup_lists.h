// The lists start-up builds from the file index: the demo files and the points series.
#pragma once

struct series_record;

// The demo files: their index names ("demos/....zrdemo") and display names.
struct demo_list_record {
    int count;
    const char **paths;     // the file index's names; the list is owned, the names are not
    char **names;           // owned
};

extern demo_list_record demo_list;

// Lists the demo files of the file index in its order.
void demo_list_build();
// Frees the demo list.
void demo_list_free();
// The display name of a demo path: the text after the last '/' up to the last '.'. Owned by
// the caller (mem_free).
char *demo_display_name(const char *path);

// Reads every points series file of the file index with its standings.
void series_read_all();
// Reads one series file (an index name) with its standings into *out: 1 when it is kept.
int series_read_file(const char *file, series_record *out);

constexpr int DEMO_LIST_CAPACITY = 16;
