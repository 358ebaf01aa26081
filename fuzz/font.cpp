// Fuzz target "font": font pictures.
#include "core/mem.h"
#include "fuzz/fuzz.h"
#include "gfx/font.h"

// A font picture: glyph boxes found from its marker pixels.
void fuzz_font(const uint8_t *data, size_t size) {
    fuzz_write("fz/font.png", data, size);
    char glyphs[95];
    for (int c = 33; c <= 126; c++) glyphs[c - 33] = (char)c;
    glyphs[94] = 0;
    static bitmap_font font;
    font_load(&font, "@fz/font.png", glyphs);
    mem_free(font.pixels);
    font.pixels = nullptr;
    fuzz_purge();
}
