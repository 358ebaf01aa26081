// Drawing text with the main font: escape codes choose palette colours, quads are batched and
// drawn from vertex arrays; variants add shadows, centring and right alignment.
#include <cctype>

#include "gfx/font.h"
#include "gfx/shader.h"
#include "gfx/triangle_arrays.h"

void (*font_quad_hook)(int count, const float *positions, const float *texcoords,
                       const float *colours) = nullptr;

static const float font_palette[16][3] = {
    {0, 0, 0},       {0.75f, 0, 0},    {0, 0.75f, 0},    {0.75f, 0.75f, 0},
    {0, 0, 0.75f},   {0.75f, 0, 0.75f}, {0, 0.75f, 0.75f}, {0.75f, 0.75f, 0.75f},
    {0, 0, 0},       {1, 0, 0},        {0, 1, 0},        {1, 1, 0},
    {0, 0, 1},       {1, 0, 1},        {0, 1, 1},        {1, 1, 1},
};

static bool font_is_final(unsigned char c) {
    return c >= '@' && c <= '~';
}

const char *font_skip_escape(const char *p) {
    p++;
    if (*p == '[') p++;
    while (*p && !font_is_final((unsigned char)*p)) p++;
    return *p ? p + 1 : p;
}

// Parameters of "ESC [": up to 64 decimals separated by ';', each saturating instead of
// overflowing. Returns the count; *p ends on the first byte after the numbers.
static int font_read_params(const char **p, int params[FONT_ESCAPE_PARAMS]) {
    int count = 0;
    const char *q = *p;
    while (count < FONT_ESCAPE_PARAMS && isdigit((unsigned char)*q)) {
        int v = 0;
        for (; isdigit((unsigned char)*q); q++) v = v >= FONT_PARAM_SATURATE / 10 ? FONT_PARAM_SATURATE : v * 10 + (*q - '0');
        params[count++] = v;
        if (*q != ';') break;
        q++;
    }
    *p = q;
    return count;
}

// Applies an "ESC [ ... m" to the flags.
static int font_apply_sgr(int flags, const int *params, int count) {
    if (count == 0) return FONT_OWN_COLOR;
    for (int i = 0; i < count; i++) {
        int v = params[i];
        if (v == 0)
            flags = FONT_OWN_COLOR;
        else if (v == 1)
            flags |= FONT_BRIGHT;
        else if (v == 22)
            flags &= ~FONT_BRIGHT;
        else if (v >= 30 && v <= 37 && !(flags & FONT_SHADOW_PASS))
            flags = (flags & FONT_BRIGHT) + (v - 30);
        else if (v >= 40 && v <= 47 && (flags & FONT_SHADOW_PASS))
            flags = (flags & FONT_BRIGHT) + (v - 40);
    }
    return flags;
}

// The next tab stop strictly after x: stops every 8 spaces.
static float font_tab(float x) {
    float stop = 8.0f * font_main.advance[(unsigned char)' '];
    if (!(stop > 0.0f)) return x;
    return (float)(int)((x + stop) / stop) * stop;
}

float font_text_width(const char *text) {
    float x = 0, widest = 0;
    for (const char *p = text; *p;) {
        unsigned char c = (unsigned char)*p;
        if (c == 27) {
            p = font_skip_escape(p);
            continue;
        }
        p++;
        if (c == '\t')
            x = font_tab(x);
        else if (c == '\n' || c == '\r')
            x = 0;
        else
            x += font_main.advance[c];
        if (c != '\n' && c != '\r' && x > widest) widest = x;
    }
    return widest;
}

void font_submit_quads(int count, const float *positions, const float *texcoords,
                       const uint32_t *indices, const float *colours) {
    if (count <= 0) return;
    if (font_quad_hook) {
        font_quad_hook(count, positions, texcoords, colours);
        return;
    }
    gfx_draw_triangle_arrays(count * 6, positions, texcoords, colours, indices);
}

namespace {

// Quads waiting for the next submit.
struct font_batch {
    int count = 0;
    float positions[FONT_BATCH_QUADS * 12];
    float texcoords[FONT_BATCH_QUADS * 8];
    float colours[FONT_BATCH_QUADS * 16];
    uint32_t indices[FONT_BATCH_QUADS * 6];

    void flush() {
        font_submit_quads(count, positions, texcoords, indices, colours);
        count = 0;
    }

    void add(float x, float y, float w, const float rect[4], const float colour[4]) {
        if (count == FONT_BATCH_QUADS) flush();
        float *p = positions + count * 12, *t = texcoords + count * 8, *c = colours + count * 16;
        // Corners: top-left, top-right, bottom-left, bottom-right.
        const float corners[4][4] = {{x, y + 1, rect[0], rect[1]},
                                     {x + w, y + 1, rect[2], rect[1]},
                                     {x, y, rect[0], rect[3]},
                                     {x + w, y, rect[2], rect[3]}};
        for (int k = 0; k < 4; k++) {
            p[3 * k] = corners[k][0];
            p[3 * k + 1] = corners[k][1];
            p[3 * k + 2] = 0;
            t[2 * k] = corners[k][2];
            t[2 * k + 1] = corners[k][3];
            for (int j = 0; j < 4; j++) c[4 * k + j] = colour[j];
        }
        const uint32_t order[6] = {2, 1, 0, 2, 3, 1};
        for (int k = 0; k < 6; k++) indices[count * 6 + k] = (uint32_t)(count * 4) + order[k];
        count++;
    }
};

}  // namespace

void font_draw_text(float r, float g, float b, float a, const char *text, int flags) {
    const char *p = text;
    while (*p && isspace((unsigned char)*p)) p++;
    if (!*p || !font_main.gl_name) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, font_main.gl_name);
    static font_batch batch;
    batch.count = 0;
    float x = 0, y = 0;
    while (*p) {
        unsigned char c = (unsigned char)*p;
        if (c == 27) {
            const char *q = p + 1;
            if (*q == '[') {
                q++;
                int params[FONT_ESCAPE_PARAMS];
                int count = font_read_params(&q, params);
                while (*q && !font_is_final((unsigned char)*q)) q++;
                if (*q == 'm') flags = font_apply_sgr(flags, params, count);
            }
            p = font_skip_escape(p);
            continue;
        }
        p++;
        if (c == ' ') {
            x += font_main.advance[c];
        } else if (c == '\r') {
            x = 0;
        } else if (c == '\n') {
            x = 0;
            y -= 1;
        } else if (c == '\t') {
            x = font_tab(x);
        } else {
            float colour[4] = {r, g, b, a};
            if (!(flags & FONT_OWN_COLOR)) {
                const float *pal = font_palette[flags & 15];
                colour[0] = pal[0];
                colour[1] = pal[1];
                colour[2] = pal[2];
            } else if (flags & FONT_BRIGHT) {
                for (int k = 0; k < 3; k++) colour[k] = colour[k] + 0.25f < 1.0f ? colour[k] + 0.25f : 1.0f;
            }
            batch.add(x, y, font_main.advance[c], font_main.glyph_rect[c], colour);
            x += font_main.advance[c];
        }
    }
    batch.flush();
}

void font_draw_color(float r, float g, float b, float a, const char *text) {
    font_draw_text(r, g, b, a, text, FONT_OWN_COLOR);
}

void font_draw_white(const char *text) {
    font_draw_text(1, 1, 1, 1, text, FONT_OWN_COLOR);
}

void font_draw_shadowed(float r, float g, float b, float a, const char *text) {
    glPushMatrix();
    glTranslatef(1.0f / 16, -1.0f / 16, 0);
    font_draw_text(0, 0, 0, a / 2, text, FONT_OWN_COLOR + FONT_SHADOW_PASS);
    glPopMatrix();
    font_draw_text(r, g, b, a, text, FONT_OWN_COLOR);
}

void font_draw_grey_shadowed(const char *text) {
    glPushMatrix();
    glTranslatef(1.0f / 16, -1.0f / 16, 0);
    font_draw_text(0, 0, 0, 0.5f, text, FONT_OWN_COLOR + FONT_SHADOW_PASS);
    glPopMatrix();
    font_draw_text(0.75f, 0.75f, 0.75f, 1, text, FONT_OWN_COLOR);
}

void font_draw_centered(float r, float g, float b, float a, float x0, float x1, const char *text) {
    glPushMatrix();
    glTranslatef(x0 + ((x1 - x0) - font_text_width(text)) / 2, 0, 0);
    font_draw_text(r, g, b, a, text, FONT_OWN_COLOR);
    glPopMatrix();
}

void font_draw_centered_shadowed(float r, float g, float b, float a, float x0, float x1,
                                 const char *text) {
    glPushMatrix();
    glTranslatef(x0 + ((x1 - x0) - font_text_width(text)) / 2, 0, 0);
    font_draw_shadowed(r, g, b, a, text);
    glPopMatrix();
}

void font_draw_right_shadowed(float r, float g, float b, float a, float x_end, const char *text) {
    glPushMatrix();
    glTranslatef(x_end - font_text_width(text), 0, 0);
    font_draw_shadowed(r, g, b, a, text);
    glPopMatrix();
}
