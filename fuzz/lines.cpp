// Fuzz target "lines": a robots' line file.
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "race/lines.h"

// A line file read into a store of 12 rows (the practice track's "ct03 12").
void fuzz_lines(const uint8_t *data, size_t size) {
    line_store_create(12);
    file_stream *s = fuzz_stream(data, size, "fz/lines_novice");
    lines_read(s, "fz/lines_novice");
    stream_close(s);
    line_store_free();
    fuzz_purge();
}
