// Fuzz target "lighting": a track's "lighting".
#include "fuzz/fuzz.h"
#include "race/track.h"

// A track's "lighting" file.
void fuzz_lighting(const uint8_t *data, size_t size) {
    fuzz_write("fz/lighting", data, size);
    track_name = "fz";
    track_read_lighting();
    fuzz_purge();
}
