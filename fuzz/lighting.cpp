// Fuzz target "lighting": a track's "lighting".
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "race/objects.h"
#include "race/track.h"

static uint32_t fuzz_texture_id(const char *name) {
    return name && *name ? 1 : 0;
}

// A track's "lighting" file, read over the defaults with textures that need no context.
void fuzz_lighting(const uint8_t *data, size_t size) {
    track_loader_table saved = track_loaders;
    track_loaders = {fuzz_texture_id, nullptr, nullptr, nullptr};
    growable_array flares;
    if (!plyx_array_init(&flares, sizeof(flare), 16)) return;
    track_flare_list = &flares;
    track_lighting_reset();
    file_stream *s = fuzz_stream(data, size, "lighting");
    if (s) {
        track_read_lighting_stream(s);
        stream_close(s);
    }
    track_lighting_finish();
    track_lighting_default_sky();
    track_flare_list = nullptr;
    plyx_array_free(&flares);
    track_loaders = saved;
    fuzz_purge();
}
