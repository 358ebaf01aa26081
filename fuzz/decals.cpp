// Fuzz target "decals": a track's "decals" file, read and written back.
#include <cstdio>

#include "core/mem.h"
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "terrain/decal.h"
#include "terrain/terrain.h"

// A "decals" file over a field 512 ft across; what was read is written back as a save would.
void fuzz_decals(const uint8_t *data, size_t size) {
    file_stream *s = fuzz_stream(data, size, "fz/decals");
    terrain_field *f = fuzz_terrain_field();
    f->extent = 512.0f;
    if (decal_load_list(f, s, "@fz/decals")) {
        FILE *sink = fopen("/dev/null", "wb");
        if (!sink) abort();
        file_stream *out = (file_stream *)mem_alloc_or_die(sizeof(file_stream));
        stream_attach(out, sink, 0, STREAM_WHOLE_FILE, "fz/decals.out");
        decal_write_list(f, out);
        stream_close(out);
    }
    stream_close(s);
    fuzz_purge();
}
