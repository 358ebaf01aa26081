// Fuzz target "heightfield": the header and ':' block of "terrain.hf".
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "terrain/terrain.h"

// "terrain.hf": the header, then the ':' block (the load's later steps, whose arrays a k = 11
// field makes beyond any one allocation limit, are not reached).
void fuzz_heightfield(const uint8_t *data, size_t size) {
    file_stream *s = fuzz_stream(data, size, "fz/terrain.hf");
    terrain_field *f = fuzz_terrain_field();
    float lo = 0, hi = 0;
    if (terrain_read_header(f, s, &lo, &hi) > 0) terrain_read_heights(f, s, lo, hi, nullptr);
    stream_close(s);
    fuzz_purge();
}
