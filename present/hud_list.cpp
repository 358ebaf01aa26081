// The HUD's draw list and the layer that draws it.
#include "present/hud_list.h"

#include <GL/gl.h>

#include <cstring>

#include "gfx/font.h"

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

static void draw_text(const hud_draw_list *list, const hud_item &item) {
    const char *text = hud_item_text(list, item);
    const float *c = item.colour;
    glTranslatef(item.x, item.y, 0);
    float s = item.size > 0 ? item.size : 1;
    glScalef(s, s, s);
    float x0 = (item.x_end - item.x) / s;
    if (item.align == HUD_ALIGN_CENTRE) {
        if (item.shadow)
            font_draw_centered_shadowed(c[0], c[1], c[2], c[3], 0, x0, text);
        else
            font_draw_centered(c[0], c[1], c[2], c[3], 0, x0, text);
    } else if (item.align == HUD_ALIGN_RIGHT) {
        font_draw_right_shadowed(c[0], c[1], c[2], c[3], x0, text);
    } else if (item.shadow) {
        font_draw_shadowed(c[0], c[1], c[2], c[3], text);
    } else {
        font_draw_color(c[0], c[1], c[2], c[3], text);
    }
}

static void draw_vertices(const hud_draw_list *list, const hud_item &item) {
    static const GLenum modes[] = {GL_TRIANGLES, GL_QUAD_STRIP, GL_LINE_STRIP, GL_LINES};
    if (item.texture) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, item.texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
    glBegin(modes[item.kind]);
    for (int i = item.first; i < item.first + item.count; i++) {
        const hud_vertex &v = list->vertices[i];
        glColor4fv(v.colour);
        if (item.texture) glTexCoord2f(v.s, v.t);
        glVertex2f(v.x, v.y);
    }
    glEnd();
    if (item.texture) glDisable(GL_TEXTURE_2D);
}

void hud_submit(const hud_draw_list *list) {
    glMatrixMode(GL_MODELVIEW);
    for (const hud_item &item : list->items) {
        glPushMatrix();
        glLoadIdentity();
        glTranslatef(item.frame.x, item.frame.y, -1.0f);
        glScalef(item.frame.unit, item.frame.unit, item.frame.unit);
        if (item.blend) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
        if (item.kind == HUD_TEXT) {
            draw_text(list, item);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_BLEND);
        } else
            draw_vertices(list, item);
        if (item.blend) glDisable(GL_BLEND);
        glPopMatrix();
    }
    glColor4f(1, 1, 1, 1);
}
