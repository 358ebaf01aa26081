// Fuzz target "texture": the texture and image caches by name.
#include <string>
#include <vector>

#include "fuzz/fuzz.h"
#include "gfx/texture.h"

// A texture by name ("-repeat" in it) with up to three more files it may name ("@fz/a.png",
// "@fz/b.png", "@fz/c.png"): tex_load and image_load.
void fuzz_texture(const uint8_t *data, size_t size) {
    std::vector<std::string> parts = fuzz_split(data, size, 4);
    fuzz_write_part("fz/t-repeat.png", parts, 0);
    fuzz_write_part("fz/a.png", parts, 1);
    fuzz_write_part("fz/b.png", parts, 2);
    fuzz_write_part("fz/c.png", parts, 3);
    tex_load("@fz/t-repeat.png");
    unsigned char *pixels = nullptr;
    int w = 0, h = 0;
    image_load("@fz/t-repeat.png", &pixels, &w, &h);  // owned by the cache
    fuzz_purge();
}
