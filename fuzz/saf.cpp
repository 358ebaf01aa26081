// Fuzz target "saf": the file index over a ".saf" archive and the start-up lists read through it.
#include <cstring>
#include <string>

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
