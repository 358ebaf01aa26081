// Fuzz target "texturelist": the tile kinds of "texturelist".
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "terrain/tile.h"

// The older "texturelist".
void fuzz_texturelist(const uint8_t *data, size_t size) {
    file_stream *s = fuzz_stream(data, size, "fz/texturelist");
    tile_load_texturelist(fuzz_terrain_field(), s);
    stream_close(s);
    fuzz_purge();
}
