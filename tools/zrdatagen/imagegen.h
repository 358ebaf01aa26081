// The generator's pictures: an RGBA canvas drawn with integer arithmetic only (anti-aliased by
// 4 x 4 sub-samples), the stroke font, and the file writers (PNG, J6/J7, PNM, ".info" text)
// that the stock members and the tests' fixtures use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// An image in memory: rows from the top down, channels 1 (grey), 3 (RGB) or 4 (RGBA).
struct datagen_image {
    int width = 0;
    int height = 0;
    int channels = 4;
    std::vector<unsigned char> pixels;
};

struct datagen_rgba {
    int r, g, b, a;
};

// A point in sub-pixel units (1/16 pixel), y down.
struct datagen_point {
    long x, y;
};

// One glyph cell of a generated font: the character and its cell in the image (x1, y1 past
// the end).
struct datagen_glyph_cell {
    int ch;
    int x0, y0, x1, y1;
};

// How a text is drawn with the stroke font: the size of one design unit along x and y, and the
// pen radius, all in sub-pixel units.
struct datagen_pen {
    long unit_x;
    long unit_y;
    long radius;
};

// ---- Canvas ---------------------------------------------------------------------------------

datagen_image datagen_image_new(int width, int height, int channels, datagen_rgba fill);
// Sine of a 256-step angle (0 right, 64 down), scaled by 65536, from a fixed table.
long datagen_sin256(long angle);
long datagen_cos256(long angle);
// Coverage-weighted "over" of a colour on one pixel; coverage 0..16.
void datagen_blend(datagen_image *img, int x, int y, datagen_rgba c, int coverage);
// Fills what the predicate covers (sample points in sub-pixel units) inside the pixel box.
void datagen_fill(datagen_image *img, int x0, int y0, int x1, int y1,
                  const std::function<bool(long, long)> &inside, datagen_rgba c);
// Polygon (even-odd) in sub-pixel points.
void datagen_fill_polygon(datagen_image *img, const std::vector<datagen_point> &poly,
                          datagen_rgba c);
// Thick polyline with round ends and joints.
void datagen_stroke(datagen_image *img, const std::vector<datagen_point> &line, long radius,
                    datagen_rgba c);
// Ellipse ring between the radii (0 inner radius fills the disc), centre and radii in sub-pixels.
void datagen_fill_ellipse(datagen_image *img, datagen_point centre, long rx, long ry,
                          long inner_rx, long inner_ry, datagen_rgba c);
// Points along an elliptic arc from angle a0 to a1 (256 steps a turn, either direction).
void datagen_arc_points(std::vector<datagen_point> *out, datagen_point centre, long rx, long ry,
                        long a0, long a1);
// Vertical gradient over the rows y0..y1-1 between the two colours.
void datagen_gradient_rows(datagen_image *img, int y0, int y1, datagen_rgba top,
                           datagen_rgba bottom);

// ---- Stroke font ----------------------------------------------------------------------------

// The strokes of a character in design units (x 0..width, y 0 cap top, 8 x-height, 24
// baseline, 32 descender) as polylines; empty with width 0 for characters without strokes.
std::vector<std::vector<datagen_point>> datagen_glyph_strokes(int ch, int *width);
// Ink width of a text in sub-pixels (advance per glyph: width, two radii and the spacing).
long datagen_text_width(const std::string &text, const datagen_pen &pen, long spacing);
// Draws the text with its first glyph's ink box starting at (x, y) = left, cap top. A grow
// above 0 thickens the strokes by that much (outlines) without moving the glyphs.
void datagen_draw_text(datagen_image *img, const std::string &text, datagen_point at,
                       const datagen_pen &pen, long spacing, datagen_rgba c, long grow = 0);

// ---- Fonts ----------------------------------------------------------------------------------

// The cells of "font.png", "numbers.png" and "numbers-condensed.png" (which: 0, 1, 2).
std::vector<datagen_glyph_cell> datagen_font_layout(int which);
datagen_image datagen_font_image(int which);

// The pictures of the other graphics members.
datagen_image datagen_title_image();
datagen_image datagen_tach_image();
datagen_image datagen_shifter_image();
datagen_image datagen_pitboard_image();
datagen_image datagen_flag_frame(int frame);

// ---- Writers --------------------------------------------------------------------------------

// PNG of an 8-bit image (1, 3 or 4 channels) with tEXt chunks (keyword, text) before the image
// data and after it; stored deflate blocks, so only zlib's checksums are used.
// A ground kind's picture ("dirt", "grass", "sand", "mud") as its file holds it (RGB, 256 x 256).
datagen_image datagen_ground_image(const std::string &kind);
std::string datagen_png(const datagen_image &img,
                        const std::vector<std::pair<std::string, std::string>> &texts = {},
                        const std::vector<std::pair<std::string, std::string>> &texts_after = {});
// PNG of 16-bit grey samples (rows top-down).
std::string datagen_png_grey16(int width, int height, const std::vector<uint16_t> &samples);
// The program's predictive format: "J6" from RGB, "J7" from RGBA, header "J7\n<w> <h>\n".
std::string datagen_predictive(const datagen_image &img);
// PNM: magic "P2", "P3", "P5" or "P6", samples as given (1 or 3 a pixel); a comment line
// before the sides when comment is not empty. Binary forms write two bytes a sample (big
// end first) when maxval is above 255.
std::string datagen_pnm(const char *magic, int width, int height, int maxval,
                        const std::vector<int> &samples, const std::string &comment = "");
// A ".info" side file holding the tags, one a line.
std::string datagen_info_file(const std::vector<std::string> &tags);

constexpr long DATAGEN_SUB = 16;  // sub-pixel units a pixel
