// Points series: the list read at start-up. Entering results joins with the race's standings.
#include "race/series.h"

#include "core/mem.h"

series_list_record series_list = {0, nullptr, -1, -1};

void series_enter_results() {}

void series_free_all() {
    for (int i = 0; i < series_list.count; i++) {
        mem_free(series_list.items[i].standings_file);
        mem_free(series_list.items[i].events);
    }
    mem_free(series_list.items);
    series_list = {0, nullptr, -1, -1};
}
