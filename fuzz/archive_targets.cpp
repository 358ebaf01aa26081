// Fuzz targets of the file index and what start-up reads through it: a ".saf" archive with every
// member opened and read, the track catalogue, the demo list and the points series.
#include <cstring>
#include <string>

#include "core/mem.h"
#include "core/startup_lists.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "fuzz/fuzz.h"
#include "race/catalogue.h"
#include "race/series.h"

// Reads the named stream to its end (bounded).
static void fuzz_read_all(const char *name) {
    file_stream *s = stream_open(name, "rb");
    if (!s) return;
    unsigned char block[16384];
    int taken = 0;
    for (int n; taken < FUZZ_READ_MAX && (n = stream_read(s, block, (int)sizeof block)) > 0;)
        taken += n;
    stream_getc(s);
    stream_close(s);
}

// The input as the archive "fz.saf" of the game folder, indexed as at start-up.
void fuzz_saf(const uint8_t *data, size_t size) {
    fuzz_write("fz.saf", data, size);
    vfs_shutdown();
    const char **names = vfs_build_index();
    for (int i = 0; names && names[i]; i++) {
        std::string name = std::string("@") + names[i];
        fuzz_read_all(name.c_str());
        // A gzip member is also reached by its name without ".gz", decompressed.
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0)
            fuzz_read_all(name.substr(0, name.size() - 3).c_str());
    }
    track_scan_catalogue();
    demo_list_build();
    series_read_all();
    series_free_all();
    demo_list_free();
    track_catalogue_free();
    fuzz_purge();
}

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
