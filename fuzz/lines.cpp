// Fuzz target "lines": a robots' line file.
#include <cstring>

#include "core/mem.h"
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "race/lines.h"

// A line file read into a store of 12 rows (the practice track's "ct03 12").
void fuzz_lines(const uint8_t *data, size_t size) {
    line_store_clear();
    line_store.segment_count = 12;
    size_t bytes = sizeof(line_slot) * 12 * LINE_SLOTS_PER_SEGMENT;
    line_store.slots = (line_slot *)mem_alloc_or_die(bytes);
    memset(line_store.slots, 0, bytes);
    file_stream *s = fuzz_stream(data, size, "fz/lines_novice");
    lines_read(s, "fz/lines_novice");
    stream_close(s);
    line_store_clear();
    fuzz_purge();
}
