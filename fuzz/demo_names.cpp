// Fuzz target "demo_names": demo display names.
#include <string>

#include "core/mem.h"
#include "core/startup_lists.h"
#include "fuzz/fuzz.h"

// A demo file's display name from its path.
void fuzz_demo_names(const uint8_t *data, size_t size) {
    std::string path((const char *)data, size);
    mem_free(demo_display_name(path.c_str()));
}
