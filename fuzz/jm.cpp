// Fuzz target "jm": JM models, plain and gzip.
#include <zlib.h>

#include <string>

#include "fuzz/fuzz.h"
#include "gfx/model.h"

// The bytes as a gzip file (zlib's own deflate: any valid stream will do).
static std::string fuzz_gzip_bytes(const uint8_t *data, size_t size) {
    z_stream z = {};
    std::string out;
    if (deflateInit2(&z, 1, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) return out;
    out.resize(deflateBound(&z, (uLong)size) + 64);
    z.next_in = (Bytef *)data;
    z.avail_in = (uInt)size;
    z.next_out = (Bytef *)out.data();
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A JM model (either layout), read plain and, when small, from gzip as well (large models would
// halve the speed for what the gzip target covers).
void fuzz_jm(const uint8_t *data, size_t size) {
    fuzz_write("fz/m.jm", data, size);
    model_free_meshes(model_read_file("@fz/m.jm"));
    if (size > 16384) {
        fuzz_purge();
        return;
    }
    std::string gz = fuzz_gzip_bytes(data, size);
    fuzz_write("fz/g.jm.gz", (const uint8_t *)gz.data(), gz.size());
    model_free_meshes(model_read_file("@fz/g.jm"));
    fuzz_purge();
}
