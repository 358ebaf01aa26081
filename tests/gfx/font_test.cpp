// Bitmap fonts: cells measured from the generated font images, escape codes and layout through
// the quad capture, and digits painted into plates.
#include "core/mem.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "tests/gfx/gfx_test_support.h"

namespace {

struct quad {
    float x0, y0, x1, y1;   // bottom-left and top-right corners
    float s0, t0, s1, t1;   // texture coordinates at the top-left and bottom-right corners
    float colour[4];
};

std::vector<quad> captured;
int batches = 0;

void capture(int count, const float *p, const float *t, const float *c) {
    batches++;
    for (int i = 0; i < count; i++) {
        const float *v = p + 12 * i, *tc = t + 8 * i, *col = c + 16 * i;
        // Corners: top-left, top-right, bottom-left, bottom-right; all one colour.
        quad q = {v[6], v[7], v[3], v[4], tc[0], tc[1], tc[6], tc[7], {col[0], col[1], col[2], col[3]}};
        for (int k = 1; k < 4; k++)
            for (int j = 0; j < 4; j++) EXPECT_EQ(col[4 * k + j], col[j]);
        captured.push_back(q);
    }
}

// A main font with even advances for layout cases: every glyph 0.5 wide.
void even_font() {
    memset(&font_main, 0, sizeof font_main);
    font_main.gl_name = 1;  // drawing needs a texture; nothing is bound without a context
    for (int c = 0; c < 256; c++) {
        font_main.advance[c] = 0.5f;
        font_main.glyph_rect[c][0] = c / 256.0f;
        font_main.glyph_rect[c][2] = (c + 1) / 256.0f;
        font_main.glyph_rect[c][3] = 1;
    }
    font_quad_hook = capture;
    captured.clear();
    batches = 0;
}

std::string font_fixture(temp_dir &dir, int which) {
    std::string path = dir.file("font" + std::to_string(which) + ".png");
    test_write_file(path, datagen_png(datagen_font_image(which)));
    return path;
}

}  // namespace

TEST(gfx_font, CellsMatchTheGeneratorsLayout) {
    temp_dir dir;
    const char *lists[3] = {nullptr, "0123456789", "0123456789"};
    std::string printable;
    for (int c = 33; c <= 126; c++) printable += (char)c;
    lists[0] = printable.c_str();
    for (int which = 0; which < 3; which++) {
        bitmap_font f;
        font_load(&f, font_fixture(dir, which).c_str(), lists[which]);
        ASSERT_NE(f.pixels, nullptr);
        for (const datagen_glyph_cell &cell : datagen_font_layout(which)) {
            const float *r = f.glyph_rect[cell.ch];
            EXPECT_FLOAT_EQ(r[0], (float)cell.x0 / f.width) << (char)cell.ch;
            EXPECT_FLOAT_EQ(r[1], (float)cell.y0 / f.height) << (char)cell.ch;
            EXPECT_FLOAT_EQ(r[2], (float)cell.x1 / f.width) << (char)cell.ch;
            EXPECT_FLOAT_EQ(r[3], (float)cell.y1 / f.height) << (char)cell.ch;
            EXPECT_FLOAT_EQ(f.advance[cell.ch], (float)(cell.x1 - cell.x0) / (cell.y1 - cell.y0));
        }
        // No marker is left in any level, and characters outside the list have no glyph.
        size_t pixels = image_chain_bytes(f.width, f.height, 4) / 4;
        for (size_t i = 0; i < pixels; i++)
            ASSERT_FALSE(f.pixels[4 * i] == 255 && f.pixels[4 * i + 1] == 0 &&
                         f.pixels[4 * i + 2] == 255 && f.pixels[4 * i + 3] == 255) << i;
        EXPECT_EQ(f.glyph_rect[200][2], 0.0f);
        EXPECT_FLOAT_EQ(f.advance[200], 2.0f / 3.0f);
        if (which == 0) {
            EXPECT_EQ(f.advance[(unsigned char)' '], f.advance[(unsigned char)'-']);
            EXPECT_EQ(f.height / (datagen_font_layout(0)[0].y1), 8);  // cell rows of 32 pixels
        }
        mem_free(f.pixels);
    }
    console_clear();
    bitmap_font missing;
    font_load(&missing, dir.file("none.png").c_str(), "abc");
    EXPECT_EQ(missing.pixels, nullptr);
    EXPECT_TRUE(test_console_has("Can't open font '"));
}

TEST(gfx_font, EscapesChooseColours) {
    struct {
        const char *text;
        int flags;
        float rgb[3];
        float want[4];
    } cases[] = {
        {"\x1b[31mA", FONT_OWN_COLOR, {1, 1, 1}, {0.75f, 0, 0, 0.5f}},
        {"\x1b[1;31mA", FONT_OWN_COLOR, {1, 1, 1}, {1, 0, 0, 0.5f}},
        {"\x1b[31m\x1b[0mA", FONT_OWN_COLOR, {0.2f, 0.3f, 0.4f}, {0.2f, 0.3f, 0.4f, 0.5f}},
        {"\x1b[mA", 3, {0.2f, 0.3f, 0.4f}, {0.2f, 0.3f, 0.4f, 0.5f}},
        {"\x1b[1mA", FONT_OWN_COLOR, {0.9f, 0.5f, 0.1f}, {1, 0.75f, 0.35f, 0.5f}},
        {"\x1b[1;22mA", FONT_OWN_COLOR, {0.9f, 0.5f, 0.1f}, {0.9f, 0.5f, 0.1f, 0.5f}},
        {"\x1b[36mA", 0, {1, 1, 1}, {0, 0.75f, 0.75f, 0.5f}},
        {"A", 12, {1, 1, 1}, {0, 0, 1, 0.5f}},
        {"\x1b[31mA", FONT_OWN_COLOR + FONT_SHADOW_PASS, {0, 0, 0}, {0, 0, 0, 0.5f}},
        {"\x1b[41mA", FONT_OWN_COLOR + FONT_SHADOW_PASS, {0, 0, 0}, {0.75f, 0, 0, 0.5f}},
        {"\x1b[41mA", FONT_OWN_COLOR, {0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f, 0.5f}},
        {"\x1b[99999999999mA", FONT_OWN_COLOR, {0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f, 0.5f}},
        {"\x1b[7;37;99xA", FONT_OWN_COLOR, {0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f, 0.5f}},
    };
    for (auto &c : cases) {
        even_font();
        font_draw_text(c.rgb[0], c.rgb[1], c.rgb[2], 0.5f, c.text, c.flags);
        ASSERT_EQ(captured.size(), 1u) << c.text + 1;
        for (int k = 0; k < 4; k++) EXPECT_FLOAT_EQ(captured[0].colour[k], c.want[k]) << c.text + 1;
        EXPECT_FLOAT_EQ(captured[0].x0, 0);  // escapes take no room
    }
    font_quad_hook = nullptr;
}

TEST(gfx_font, LayoutTabsLinesAndBatches) {
    even_font();
    font_draw_text(1, 1, 1, 1, "a\tb", 0);
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_FLOAT_EQ(captured[1].x0, 4);
    even_font();
    font_draw_text(1, 1, 1, 1, "abcdefgh\tx", 0);
    ASSERT_EQ(captured.size(), 9u);
    EXPECT_FLOAT_EQ(captured[8].x0, 8);  // the stop after 4, not 4 itself
    even_font();
    font_draw_text(1, 1, 1, 1, "ab\ncd\r e", 0);
    ASSERT_EQ(captured.size(), 5u);
    EXPECT_FLOAT_EQ(captured[2].x0, 0);
    EXPECT_FLOAT_EQ(captured[2].y0, -1);
    EXPECT_FLOAT_EQ(captured[2].y1, 0);
    EXPECT_FLOAT_EQ(captured[4].x0, 0.5f);  // after CR and a blank
    // The quad of 'a': from (0, 0) to (advance, 1), its cell's top-left at the top-left.
    EXPECT_FLOAT_EQ(captured[0].x1, 0.5f);
    EXPECT_FLOAT_EQ(captured[0].y1, 1);
    EXPECT_FLOAT_EQ(captured[0].s0, 'a' / 256.0f);
    EXPECT_FLOAT_EQ(captured[0].t0, 0);
    EXPECT_FLOAT_EQ(captured[0].t1, 1);
    EXPECT_FLOAT_EQ(font_text_width("ab\ncdef"), 2);
    EXPECT_FLOAT_EQ(font_text_width("  a\x1b[31m\tb"), 4.5f);
    // Blanks only, and texts ending inside an escape sequence.
    for (const char *text : {"   \t\n ", "A\x1b", "A\x1b[12;", "A\x1b[", "\x1b[1;3"}) {
        even_font();
        font_draw_text(1, 1, 1, 1, text, 0);
        EXPECT_EQ(captured.size(), text[0] == 'A' ? 1u : 0u) << text + 1;
        EXPECT_GE(font_text_width(text), 0.0f);
    }
    // Bytes above 127 draw empty quads of their own advance.
    even_font();
    for (int c : {0xC3, 0xA9}) {
        font_main.advance[c] = 2.0f / 3.0f;
        memset(font_main.glyph_rect[c], 0, sizeof font_main.glyph_rect[c]);
    }
    font_draw_text(1, 1, 1, 1, "\xc3\xa9!", 0);
    ASSERT_EQ(captured.size(), 3u);
    for (int i = 0; i < 2; i++) {
        EXPECT_FLOAT_EQ(captured[i].x1 - captured[i].x0, 2.0f / 3.0f);
        EXPECT_EQ(captured[i].s0 + captured[i].s1 + captured[i].t1, 0.0f);
    }
    EXPECT_FLOAT_EQ(captured[2].x0, 4.0f / 3.0f);
    // 600 glyphs go out in three batches.
    even_font();
    font_draw_text(1, 1, 1, 1, std::string(600, 'x').c_str(), 0);
    EXPECT_EQ(captured.size(), 600u);
    EXPECT_EQ(batches, 3);
    font_quad_hook = nullptr;
}

TEST(gfx_font, PaintTextPicksCondensedDigitsAndBlends) {
    temp_dir dir;
    font_load(&font_numbers, font_fixture(dir, 1).c_str(), "0123456789");
    font_load(&font_numbers_condensed, font_fixture(dir, 2).c_str(), "0123456789");
    auto cell = [](const bitmap_font &f, char c) {
        return (int)(f.glyph_rect[(unsigned char)c][2] * f.width) - (int)(f.glyph_rect[(unsigned char)c][0] * f.width);
    };
    int normal = cell(font_numbers, '1'), condensed = cell(font_numbers_condensed, '1');
    ASSERT_LE(3 * normal, 128 * 9 / 8);
    ASSERT_GT(4 * normal, 128 * 9 / 8);
    // The ink columns tell which digits were used: three normal cells, or four condensed.
    auto painted_span = [](const std::vector<unsigned char> &img) {
        int first = 128, last = -1;
        for (int y = 0; y < 128; y++)
            for (int x = 0; x < 128; x++)
                if (img[(y * 128 + x) * 4] < 128) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        return last - first + 1;
    };
    std::vector<unsigned char> plate(128 * 128 * 4, 255);
    font_paint_text(plate.data(), 128, 128, 1, 1, 1, 1, "777");
    int three = painted_span(plate);
    EXPECT_GT(three, 2 * normal);
    EXPECT_LE(three, 3 * normal);
    plate.assign(plate.size(), 255);
    font_paint_text(plate.data(), 128, 128, 1, 1, 1, 1, "7777");
    int four = painted_span(plate);
    EXPECT_GT(four, 3 * condensed);
    EXPECT_LE(four, 4 * condensed);
    // The blend, on one glyph pixel s over d with k = s alpha / 255 x a.
    unsigned char *s = nullptr;
    int sx = (int)(font_numbers.glyph_rect['8'][0] * font_numbers.width);
    int sy = (int)(font_numbers.glyph_rect['8'][1] * font_numbers.height);
    int ch = (int)(font_numbers.glyph_rect['8'][3] * font_numbers.height) - sy;
    int cw = cell(font_numbers, '8');
    for (int y = 0; y < ch && !s; y++)
        for (int x = 0; x < cw && !s; x++) {
            unsigned char *q = font_numbers.pixels + ((size_t)(sy + y) * font_numbers.width + sx + x) * 4;
            if (q[3] > 60 && q[3] < 200) {
                q[0] = 40, q[1] = 80, q[2] = 120, q[3] = 153;
                s = q;
                // Painted alone at (0, 0): the plate's pixel under it.
                std::vector<unsigned char> img(cw * ch * 4, 0);
                for (size_t i = 0; i < img.size(); i += 4) img[i] = 200, img[i + 1] = 100, img[i + 2] = 50, img[i + 3] = 255;
                font_paint_text(img.data(), cw, ch, 0.5f, 1, 0.25f, 0.8f, "8");
                unsigned char *d = &img[((size_t)y * cw + x) * 4];
                float k = 153 / 255.0f * 0.8f;
                EXPECT_EQ(d[0], (int)(255 * (200 / 255.0f * (1 - k) + 40 / 255.0f * 0.5f * k)));
                EXPECT_EQ(d[1], (int)(255 * (100 / 255.0f * (1 - k) + 80 / 255.0f * 1.0f * k)));
                EXPECT_EQ(d[2], (int)(255 * (50 / 255.0f * (1 - k) + 120 / 255.0f * 0.25f * k)));
                EXPECT_EQ(d[3], (int)(255 * (k * k + 1.0f * (1 - k))));
            }
        }
    EXPECT_NE(s, nullptr);
    // Nothing to paint with: nothing changes.
    mem_free(font_numbers.pixels);
    font_numbers.pixels = nullptr;
    plate.assign(plate.size(), 9);
    font_paint_text(plate.data(), 128, 128, 1, 1, 1, 1, "12");
    EXPECT_EQ(plate, std::vector<unsigned char>(128 * 128 * 4, 9));
    mem_free(font_numbers_condensed.pixels);
    font_numbers_condensed.pixels = nullptr;
}
