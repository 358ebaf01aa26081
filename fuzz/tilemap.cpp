// Fuzz target "tilemap": the tile map.
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "terrain/terrain.h"

// "tilemap" of a field whose size (k) and kind count the first two bytes give. A field has at
// most four times as many tiles as the input has bytes (and 4096 more), so that small inputs
// stay fast; the stock tile maps keep their own sizes.
void fuzz_tilemap(const uint8_t *data, size_t size) {
    terrain_field *f = fuzz_terrain_field();
    f->k = TERRAIN_K_MIN + (size > 0 ? data[0] : 0) % (TERRAIN_K_MAX - TERRAIN_K_MIN + 1);
    while (f->k > TERRAIN_K_MIN && ((size_t)1 << (2 * f->k)) > 4 * (size + 1024)) f->k--;
    f->kind_count = 1 + (size > 1 ? data[1] : 0);
    size_t skip = size < 2 ? size : 2;
    file_stream *s = fuzz_stream(data + skip, size - skip, "fz/tilemap");
    terrain_read_tile_map(f, s);
    stream_close(s);
    fuzz_purge();
}
