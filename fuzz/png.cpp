// Fuzz target "png": the PNG readers with the ".info" side file.
#include <string>
#include <vector>

#include "core/mem.h"
#include "fuzz/fuzz.h"
#include "gfx/image.h"

// A PNG and its ".info" side file (the second part): every PNG reader.
void fuzz_png(const uint8_t *data, size_t size) {
    std::vector<std::string> parts = fuzz_split(data, size, 2);
    fuzz_write_part("fz/image.png", parts, 0);
    fuzz_write_part("fz/image.png.info", parts, 1);
    unsigned char *pixels = nullptr;
    char *info = nullptr;
    int w = 0, h = 0, n = 0;
    if (image_read_png("@fz/image.png", &pixels, &w, &h, &n, &info)) {
        mem_free(pixels);
        mem_free(info);
    }
    uint16_t *samples = nullptr;
    if (image_read_png_grey("@fz/image.png", &samples, &w, &h)) mem_free(samples);
    if (image_load_rgba("@fz/image.png", &pixels, &w, &h)) mem_free(pixels);
    fuzz_purge();
}
