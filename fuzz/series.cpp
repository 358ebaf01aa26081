// Fuzz target "series": points series files with their standings.
#include <cstring>
#include <string>

#include "core/mem.h"
#include "core/startup_lists.h"
#include "fuzz/fuzz.h"
#include "race/catalogue.h"
#include "race/series.h"

// A points series file and its standings (the parts of the input), against a catalogue of the
// two stock tracks.
void fuzz_series(const uint8_t *data, size_t size) {
    std::vector<std::string> parts = fuzz_split(data, size, 2);
    fuzz_write("fz/s.series", (const uint8_t *)parts[0].data(), parts[0].size());
    if (parts.size() > 1)
        fuzz_write("fz/s.series_standings", (const uint8_t *)parts[1].data(), parts[1].size());
    else
        fuzz_remove("fz/s.series_standings");
    static const char *const folders[] = {"tracks/practice", "tracks/hillside"};
    track_catalogue.folders = (char **)mem_alloc_or_die(sizeof(char *) * 2);
    track_catalogue.descriptions = (char **)mem_alloc_or_die(sizeof(char *) * 2);
    for (int i = 0; i < 2; i++) {
        size_t n = strlen(folders[i]) + 1;
        track_catalogue.folders[i] = (char *)mem_alloc_or_die(n);
        memcpy(track_catalogue.folders[i], folders[i], n);
        track_catalogue.descriptions[i] = (char *)mem_alloc_or_die(n);
        memcpy(track_catalogue.descriptions[i], folders[i], n);
        track_catalogue.count++;
    }
    series_record r;
    if (series_read_file("fz/s.series", &r)) {
        mem_free(r.standings_file);
        mem_free(r.events);
    }
    track_catalogue_free();
    fuzz_purge();
}
