// Fuzz target "gzip": gzip streams behind stream_open's ".gz" fallback.
#include <cstring>

#include "core/stream.h"
#include "core/vfs.h"
#include "fuzz/fuzz.h"

// A gzip file reached as "@fz/data" through the ".gz" fallback, then read by every means.
void fuzz_gzip(const uint8_t *data, size_t size) {
    fuzz_write("fz/data.gz", data, size);
    file_stream *s = stream_open("@fz/data", "rb");
    if (s) {
        char line[300];
        int taken = 0;
        // Lines up to the end (bounded), a seek (refused on gzip), blocks, single bytes.
        for (int i = 0; i < 64 && stream_read_line(s, line, (int)sizeof line); i++)
            taken += (int)strlen(line);
        stream_seek(s, 0);
        stream_seek(s, taken / 2);
        unsigned char block[8192];
        for (int n; taken < FUZZ_READ_MAX && (n = stream_read(s, block, (int)sizeof block)) > 0;)
            taken += n;
        for (int i = 0; i < 16; i++) {
            stream_peekc(s);
            stream_getc(s);
        }
        stream_close(s);
    }
    fuzz_purge();
}
