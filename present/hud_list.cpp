// The HUD's draw list and the layer that draws it.
#include "present/hud_list.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "gfx/font.h"
#include "gfx/triangle_arrays.h"

void hud_list_clear(hud_draw_list *list) {
    list->items.clear();
    list->vertices.clear();
    list->texts.clear();
}

static hud_item &new_item(hud_draw_list *list, int kind, const hud_frame &frame, uint32_t texture,
                          int blend) {
    hud_item item = {};
    item.kind = kind;
    item.frame = frame;
    item.texture = texture;
    item.blend = blend;
    item.first = (int)list->vertices.size();
    item.text = -1;
    list->items.push_back(item);
    return list->items.back();
}

void hud_add_triangles(hud_draw_list *list, const hud_frame &frame, uint32_t texture, int blend,
                       const hud_vertex *v, int count) {
    hud_item &item = new_item(list, HUD_TRIANGLES, frame, texture, blend);
    list->vertices.insert(list->vertices.end(), v, v + count);
    item.count = count;
}

void hud_add_quad(hud_draw_list *list, const hud_frame &frame, uint32_t texture, float x0,
                  float y0, float x1, float y1, float s0, float t0, float s1, float t1,
                  const float colour[4]) {
    const float c[4] = {colour[0], colour[1], colour[2], colour[3]};
    hud_vertex a = {x0, y0, s0, t0, {c[0], c[1], c[2], c[3]}};
    hud_vertex b = {x1, y0, s1, t0, {c[0], c[1], c[2], c[3]}};
    hud_vertex d = {x1, y1, s1, t1, {c[0], c[1], c[2], c[3]}};
    hud_vertex e = {x0, y1, s0, t1, {c[0], c[1], c[2], c[3]}};
    const hud_vertex v[6] = {a, b, d, a, d, e};
    hud_add_triangles(list, frame, texture, 1, v, 6);
}

void hud_add_box(hud_draw_list *list, const hud_frame &frame, float x0, float y0, float x1,
                 float y1, const float colour[4]) {
    hud_add_quad(list, frame, 0, x0, y0, x1, y1, 0, 0, 0, 0, colour);
}

void hud_begin(hud_draw_list *list, int kind, const hud_frame &frame, int blend) {
    new_item(list, kind, frame, 0, blend);
}

void hud_add_vertex(hud_draw_list *list, float x, float y, const float colour[4]) {
    list->vertices.push_back({x, y, 0, 0, {colour[0], colour[1], colour[2], colour[3]}});
    list->items.back().count++;
}

void hud_add_text(hud_draw_list *list, const hud_frame &frame, float x, float y, float size,
                  const float colour[4], int align, float x_end, int shadow, const char *text) {
    hud_item &item = new_item(list, HUD_TEXT, frame, 0, 1);
    item.x = x;
    item.y = y;
    item.size = size;
    item.x_end = x_end;
    memcpy(item.colour, colour, sizeof item.colour);
    item.align = align;
    item.shadow = shadow;
    item.text = (int)list->texts.size();
    list->texts.append(text);
    list->texts.push_back('\0');
}

const char *hud_item_text(const hud_draw_list *list, const hud_item &item) {
    return item.text < 0 ? "" : list->texts.c_str() + item.text;
}

const hud_item *hud_find_text(const hud_draw_list *list, const char *text) {
    const hud_item *prefix = nullptr;
    size_t n = strlen(text);
    for (const hud_item &item : list->items) {
        if (item.kind != HUD_TEXT) continue;
        const char *t = hud_item_text(list, item);
        if (strcmp(t, text) == 0) return &item;
        if (!prefix && strncmp(t, text, n) == 0) prefix = &item;
    }
    return prefix;
}

int hud_count_texts(const hud_draw_list *list, const char *prefix) {
    int n = 0;
    size_t k = strlen(prefix);
    for (const hud_item &item : list->items)
        n += item.kind == HUD_TEXT && strncmp(hud_item_text(list, item), prefix, k) == 0;
    return n;
}

// The text quads of a list, gathered through the font's quad hook in eye coordinates and drawn
// in one batch after every other item.
namespace {
struct text_batch {
    std::vector<float> positions, texcoords, colours;
    std::vector<uint32_t> indices;
    // Where the glyph quads of the text being gathered go: eye = frame + unit * (origin +
    // size * (glyph + offset)).
    hud_frame frame;
    float x, y, size, offset_x, offset_y;
    float projection[16];   // column-major, as OpenGL keeps it
};
text_batch batch;
}  // namespace

// Which sides of the view an eye point at depth -1 lies beyond: bits for left, right, bottom and
// top, from its clip coordinates. A quad whose corners all lie beyond one side covers no pixel.
static int outside_bits(const float p[16], float x, float y) {
    float cx = p[0] * x + p[4] * y - p[8] + p[12];
    float cy = p[1] * x + p[5] * y - p[9] + p[13];
    float cw = p[3] * x + p[7] * y - p[11] + p[15];
    float margin = 1e-3f * std::fabs(cw);
    return (cx < -cw - margin) | (cx > cw + margin) << 1 | (cy < -cw - margin) << 2 | (cy > cw + margin) << 3;
}

static void gather_quads(int count, const float *positions, const float *texcoords, const float *colours) {
    text_batch &b = batch;
    for (int q = 0; q < count; q++) {
        float eye[4][2];
        int outside = 15;
        for (int k = 0; k < 4; k++) {
            const float *p = positions + (q * 4 + k) * 3;
            eye[k][0] = b.frame.x + b.frame.unit * (b.x + b.size * (p[0] + b.offset_x));
            eye[k][1] = b.frame.y + b.frame.unit * (b.y + b.size * (p[1] + b.offset_y));
            outside &= outside_bits(b.projection, eye[k][0], eye[k][1]);
        }
        if (outside) continue;   // off the screen: a long banner's ends, a board's lower rows
        uint32_t first = (uint32_t)(b.positions.size() / 3);
        for (int k = 0; k < 4; k++) {
            b.positions.push_back(eye[k][0]);
            b.positions.push_back(eye[k][1]);
            b.positions.push_back(-1.0f);
        }
        b.texcoords.insert(b.texcoords.end(), texcoords + q * 8, texcoords + q * 8 + 8);
        b.colours.insert(b.colours.end(), colours + q * 16, colours + q * 16 + 16);
        const uint32_t order[6] = {2, 1, 0, 2, 3, 1};
        for (uint32_t o : order) b.indices.push_back(first + o);
    }
}

// The glyph quads of one text item, with its shadow first, as the font's shadowed, centred and
// right-aligned drawing places them.
static void gather_text(const hud_draw_list *list, const hud_item &item) {
    const char *text = hud_item_text(list, item);
    const float *c = item.colour;
    float size = item.size > 0 ? item.size : 1;
    float end = (item.x_end - item.x) / size, start = 0;
    if (item.align == HUD_ALIGN_CENTRE)
        start = (end - font_text_width(text)) / 2;
    else if (item.align == HUD_ALIGN_RIGHT)
        start = end - font_text_width(text);
    batch.frame = item.frame;
    batch.x = item.x;
    batch.y = item.y;
    batch.size = size;
    if (item.shadow) {
        batch.offset_x = start + 1.0f / 16;
        batch.offset_y = -1.0f / 16;
        font_draw_text(0, 0, 0, c[3] / 2, text, FONT_OWN_COLOR + FONT_SHADOW_PASS);
    }
    batch.offset_x = start;
    batch.offset_y = 0;
    font_draw_text(c[0], c[1], c[2], c[3], text, FONT_OWN_COLOR);
}

static void draw_texts(const hud_draw_list *list) {
    batch.positions.clear();
    batch.texcoords.clear();
    batch.colours.clear();
    batch.indices.clear();
    glGetFloatv(GL_PROJECTION_MATRIX, batch.projection);
    auto previous = font_quad_hook;
    font_quad_hook = gather_quads;
    for (const hud_item &item : list->items)
        if (item.kind == HUD_TEXT) gather_text(list, item);
    font_quad_hook = previous;
    if (batch.indices.empty() || !font_main.gl_name) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, font_main.gl_name);
    gfx_draw_triangle_arrays((int)batch.indices.size(), batch.positions.data(), batch.texcoords.data(),
                             batch.colours.data(), batch.indices.data());
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

static void put_vertex(const hud_item &item, const hud_vertex &v) {
    glColor4fv(v.colour);
    if (item.texture) glTexCoord2f(v.s, v.t);
    glVertex3f(item.frame.x + item.frame.unit * v.x, item.frame.y + item.frame.unit * v.y, -1.0f);
}

// Triangle items with the same texture and blending that follow each other share one run.
static bool same_run(const hud_item &a, const hud_item &b) {
    return a.kind == HUD_TRIANGLES && b.kind == HUD_TRIANGLES && a.texture == b.texture && a.blend == b.blend;
}

static void set_state(const hud_item &item, bool on) {
    if (item.blend) {
        if (on) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        } else {
            glDisable(GL_BLEND);
        }
    }
    if (item.texture) {
        if (on) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, item.texture);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        } else {
            glDisable(GL_TEXTURE_2D);
        }
    }
}

void hud_submit(const hud_draw_list *list) {
    static const GLenum modes[] = {GL_TRIANGLES, GL_QUAD_STRIP, GL_LINE_STRIP, GL_LINES};
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const std::vector<hud_item> &items = list->items;
    for (size_t i = 0; i < items.size();) {
        const hud_item &item = items[i];
        if (item.kind == HUD_TEXT) {
            i++;
            continue;
        }
        set_state(item, true);
        glBegin(modes[item.kind]);
        size_t j = i;
        do {
            for (int k = items[j].first; k < items[j].first + items[j].count; k++) put_vertex(items[j], list->vertices[k]);
            j++;
        } while (j < items.size() && item.kind == HUD_TRIANGLES && same_run(item, items[j]));
        glEnd();
        set_state(item, false);
        i = j;
    }
    draw_texts(list);
    glPopMatrix();
    glColor4f(1, 1, 1, 1);
}
