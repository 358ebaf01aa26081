// Fuzz target "shape": collision shapes.
#include "bike/shape.h"
#include "core/mem.h"
#include "fuzz/fuzz.h"

// A ".shp" collision shape: loaded into the cache, copied, the cache freed.
void fuzz_shape(const uint8_t *data, size_t size) {
    fuzz_write("fz/s.shp", data, size);
    shape_load("@fz/s.shp");
    mem_free(shape_copy("@fz/s.shp"));
    fuzz_purge();
}
