// Fuzz target "tileinfo": the tile kinds of "tileinfo".
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "terrain/tile.h"

// "tileinfo" into the kinds (names only: no texture is loaded).
void fuzz_tileinfo(const uint8_t *data, size_t size) {
    file_stream *s = fuzz_stream(data, size, "fz/tileinfo");
    tile_load_tileinfo(fuzz_terrain_field(), s);
    stream_close(s);
    fuzz_purge();
}
