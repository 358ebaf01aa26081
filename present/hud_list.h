// The HUD's draw list: what a HUD element draws, as plain rows a test can read, and the one
// layer that hands a list to OpenGL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A 2D frame at unit depth in front of the eye: its origin (x, y, -1) and one unit's length,
// y up.
struct hud_frame {
    float x, y, unit;
};

struct hud_vertex {
    float x, y;          // frame units
    float s, t;          // texture coordinates (t = 0: the picture's top row)
    float colour[4];
};

enum hud_item_kind { HUD_TRIANGLES, HUD_QUAD_STRIP, HUD_LINE_STRIP, HUD_LINES, HUD_TEXT };
enum hud_align { HUD_ALIGN_LEFT, HUD_ALIGN_CENTRE, HUD_ALIGN_RIGHT };

// One thing to draw: vertices of the list (first, count) or a text. A text starts at (x, y)
// with glyphs `size` units high; centred texts are centred over x..x_end, right-aligned ones end
// at x_end.
struct hud_item {
    int kind;
    hud_frame frame;
    uint32_t texture;    // 0: untextured
    int blend;           // source alpha, one minus source alpha
    int first, count;
    float x, y, size, x_end;
    float colour[4];
    int align;
    int shadow;
    int text;            // offset of the text in the list's text store
};

struct hud_draw_list {
    std::vector<hud_item> items;
    std::vector<hud_vertex> vertices;
    std::string texts;   // NUL-separated
};

void hud_list_clear(hud_draw_list *list);
// A triangle list of the vertices (3 per triangle).
void hud_add_triangles(hud_draw_list *list, const hud_frame &frame, uint32_t texture, int blend,
                       const hud_vertex *v, int count);
// A box (x0, y0)-(x1, y1) in one colour, blended; a textured quad with its corners' texture
// coordinates (s0, t0 at x0, y0).
void hud_add_box(hud_draw_list *list, const hud_frame &frame, float x0, float y0, float x1,
                 float y1, const float colour[4]);
void hud_add_quad(hud_draw_list *list, const hud_frame &frame, uint32_t texture, float x0,
                  float y0, float x1, float y1, float s0, float t0, float s1, float t1,
                  const float colour[4]);
// Starts a vertex run of this kind (quad strip, line strip, lines); hud_add_vertex appends to
// the list's last item.
void hud_begin(hud_draw_list *list, int kind, const hud_frame &frame, int blend);
void hud_add_vertex(hud_draw_list *list, float x, float y, const float colour[4]);
void hud_add_text(hud_draw_list *list, const hud_frame &frame, float x, float y, float size,
                  const float colour[4], int align, float x_end, int shadow, const char *text);
const char *hud_item_text(const hud_draw_list *list, const hud_item &item);
// The first text item whose text equals `text`, else one that starts with it; null when none.
const hud_item *hud_find_text(const hud_draw_list *list, const char *text);
// The number of text items that start with `prefix`.
int hud_count_texts(const hud_draw_list *list, const char *prefix);
// Draws the list: the shapes in order (triangle items with the same texture and blending that
// follow each other in one run), then every text in one batch over them. Each run sets its
// own blending and texturing and turns them off again; the model-view matrix is left as it was.
void hud_submit(const hud_draw_list *list);
