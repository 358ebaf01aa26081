// The demo files start-up lists from the file index.
#pragma once

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

constexpr int DEMO_LIST_CAPACITY = 16;
