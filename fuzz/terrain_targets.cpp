// Fuzz targets of the track folder's terrain, lighting and shape readers: tile kinds, the
// height field's header and ':' block, the tile map, "lighting" and collision shapes.
#include <cstring>

#include "bike/shape.h"
#include "core/mem.h"
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"

// The field the terrain targets read into, empty and with the spacing of the stock tracks.
static terrain_field *fuzz_field() {
    terrain_field *f = &terrain_main_record;
    terrain_free(f);
    f->spacing = 2.0f;
    return f;
}

// "tileinfo" into the kinds (names only: no texture is loaded).
void fuzz_tileinfo(const uint8_t *data, size_t size) {
    file_stream *s = fuzz_stream(data, size, "fz/tileinfo");
    tile_load_tileinfo(fuzz_field(), s);
    stream_close(s);
    fuzz_purge();
}

// The older "texturelist".
void fuzz_texturelist(const uint8_t *data, size_t size) {
    file_stream *s = fuzz_stream(data, size, "fz/texturelist");
    tile_load_texturelist(fuzz_field(), s);
    stream_close(s);
    fuzz_purge();
}

// "terrain.hf": the header, then the ':' block (the load's later steps, whose arrays a k = 11
// field makes beyond any one allocation limit, are not reached).
void fuzz_heightfield(const uint8_t *data, size_t size) {
    file_stream *s = fuzz_stream(data, size, "fz/terrain.hf");
    terrain_field *f = fuzz_field();
    float lo = 0, hi = 0;
    if (terrain_read_header(f, s, &lo, &hi)) terrain_read_heights(f, s, lo, hi, nullptr);
    stream_close(s);
    fuzz_purge();
}

// "tilemap" of a field whose size (k) and kind count the first two bytes give. A field has at
// most four times as many tiles as the input has bytes (and 4096 more), so that small inputs
// stay fast; the stock tile maps keep their own sizes.
void fuzz_tilemap(const uint8_t *data, size_t size) {
    terrain_field *f = fuzz_field();
    f->k = TERRAIN_K_MIN + (size > 0 ? data[0] : 0) % (TERRAIN_K_MAX - TERRAIN_K_MIN + 1);
    while (f->k > TERRAIN_K_MIN && ((size_t)1 << (2 * f->k)) > 4 * (size + 1024)) f->k--;
    f->kind_count = 1 + (size > 1 ? data[1] : 0);
    size_t skip = size < 2 ? size : 2;
    file_stream *s = fuzz_stream(data + skip, size - skip, "fz/tilemap");
    terrain_read_tile_map(f, s);
    stream_close(s);
    fuzz_purge();
}

// A track's "lighting" file.
void fuzz_lighting(const uint8_t *data, size_t size) {
    fuzz_write("fz/lighting", data, size);
    track_name = "fz";
    track_read_lighting();
    fuzz_purge();
}

// A ".shp" collision shape: loaded into the cache, copied, the cache freed.
void fuzz_shape(const uint8_t *data, size_t size) {
    fuzz_write("fz/s.shp", data, size);
    shape_load("@fz/s.shp");
    mem_free(shape_copy("@fz/s.shp"));
    fuzz_purge();
}
