// Number plates: a rider number painted in the digit fonts onto a two-colour texture.
#include <cstring>

#include "core/mem.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/texture.h"

uint32_t tex_create_text_plate(const char *text, int width, int height,
                               const unsigned char white_colour[3],
                               const unsigned char black_colour[3]) {
    if (!image_sides_valid(width, height)) return 0;
    unsigned char *chain = (unsigned char *)mem_alloc_or_die(image_chain_bytes(width, height, 4));
    const unsigned char clear[4] = {255, 255, 255, 0};
    for (size_t i = 0; i < (size_t)width * height; i++) memcpy(chain + 4 * i, clear, 4);
    font_paint_text(chain, width, height, 1, 1, 1, 1, text);
    // Black ink becomes the plate's black colour, the white ground its white colour.
    for (size_t i = 0; i < (size_t)width * height; i++)
        for (int c = 0; c < 3; c++) {
            int v = chain[4 * i + c];
            chain[4 * i + c] = (unsigned char)(black_colour[c] + (white_colour[c] - black_colour[c]) * v / 255);
        }
    image_build_mips_rgba(chain, width, height);
    // A clear ring round every level keeps the edges of the plate from smearing.
    unsigned char *level = chain;
    for (int w = width, h = height;;) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (x == 0 || y == 0 || x == w - 1 || y == h - 1) memcpy(level + ((size_t)y * w + x) * 4, clear, 4);
        if (w == 1 && h == 1) break;
        level += (size_t)w * h * 4;
        w = w / 2 ? w / 2 : 1;
        h = h / 2 ? h / 2 : 1;
    }
    uint32_t name = tex_upload(chain, width, height, 4, 0);
    mem_free(chain);
    return name;
}
