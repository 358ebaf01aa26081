// Fuzz target "engine_sound": an engine sound description, the sound table it names and a sample
// file, loaded as a rider's engine sound and synthesised for one pass.
#include <memory>

#include "fuzz/fuzz.h"
#include "present/engine_sound.h"

// Parts: "fz/bike.braap", "fz/sound.tab", "fz/pulse.raw" (a description naming "@fz/sound.tab"
// reaches the table, a table naming "@fz/pulse.raw" the samples).
void fuzz_engine_sound(const uint8_t *data, size_t size) {
    std::vector<std::string> parts = fuzz_split(data, size, 3);
    fuzz_write_part("fz/bike.braap", parts, 0);
    fuzz_write_part("fz/sound.tab", parts, 1);
    fuzz_write_part("fz/pulse.raw", parts, 2);
    auto e = std::make_unique<engine_sound>();
    engine_sound_load_class(e.get(), "250f", "@fz/bike.png");
    static unsigned char bytes[ENGINE_RING];
    engine_sound_synthesize(e.get(), 9000.0f, 10.0f, 0, bytes);
    engine_sound_synthesize(e.get(), 1800.0f, -1.0f, 4000, bytes);
    engine_sound_free_tables();
    fuzz_purge();
}
