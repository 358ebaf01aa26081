// Fuzz targets "statues", "billboards", "flaggers" and "cameras": a track's object files, read
// into fresh tables with texture and model loads that need no graphics context.
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/timing.h"
#include "race/track.h"

static uint32_t fuzz_object_texture(const char *name) {
    return name && *name ? 1 : 0;
}

static model_mesh *fuzz_object_model(const char *name) {
    static char place;
    return name && *name ? (model_mesh *)&place : nullptr;
}

static int fuzz_camera_add(float, float, float, float, float) {
    return 1;
}

// Reads the bytes with the reader into empty tables (three checkpoints for the flaggers' clamps).
static void fuzz_object_file(const uint8_t *data, size_t size, void (*read)(file_stream *, const char *)) {
    track_loader_table saved = track_loaders;
    track_loaders = {fuzz_object_texture, fuzz_object_model, nullptr, nullptr};
    timing_gates.count = 3;
    for (int i = 0; i < 3; i++) timing_gates.checkpoints[i] = {};
    track_camera_add = fuzz_camera_add;
    track_lists_create();
    track_flaggers_reset();
    file_stream *s = fuzz_stream(data, size, "objects");
    read(s, "objects");
    stream_close(s);
    track_lists_free();
    track_camera_add = nullptr;
    timing_gates = {};
    track_loaders = saved;
    fuzz_purge();
}

void fuzz_statues(const uint8_t *data, size_t size) {
    fuzz_object_file(data, size, [](file_stream *s, const char *n) { track_read_statues(s, n); });
}

void fuzz_billboards(const uint8_t *data, size_t size) {
    fuzz_object_file(data, size, [](file_stream *s, const char *n) { track_read_billboards(s, n); });
}

void fuzz_flaggers(const uint8_t *data, size_t size) {
    fuzz_object_file(data, size, track_read_flaggers);
}

void fuzz_cameras(const uint8_t *data, size_t size) {
    fuzz_object_file(data, size, track_read_cameras);
}
