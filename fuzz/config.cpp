// Fuzz target "config": the configuration file "@config".
#include "fuzz/fuzz.h"
#include "game/config.h"

// "@config" with the setup keys and bindings in it, read as at start-up.
void fuzz_config(const uint8_t *data, size_t size) {
    fuzz_write("config", data, size);
    config_read();
    fuzz_purge();
}
