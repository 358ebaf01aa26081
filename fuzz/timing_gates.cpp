// Fuzz target "timing_gates": a track's "timing_gates", read and written back.
#include "fuzz/fuzz.h"
#include "race/robots.h"
#include "race/statue.h"
#include "race/timing.h"
#include "race/track.h"

// A track's "timing_gates" file with its gate statues, then the writer over what was read.
void fuzz_timing_gates(const uint8_t *data, size_t size) {
    if (!track_statues.items) track_lists_create();
    fuzz_write("fz/timing_gates", data, size);
    track_name = "fz";
    track_read_timing_gates("@fz/timing_gates");
    track_write_timing_gates();
    for (int i = 0; i < track_statues.count; i++) track_free_statue(i);
    track_statues.count = 0;
    line_store_free();
    timing_gates_clear();
    fuzz_purge();
}
