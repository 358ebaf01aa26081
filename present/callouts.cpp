// Callouts: the list the wheel-contact log fills (bounded), the depth sort along the view axis
// and the bubble drawn for each.
#include "present/callouts.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/console.h"
#include "gfx/font.h"
#include "gfx/triangle_arrays.h"
#include "present/billboards.h"

growable_array scene_callouts;
growable_array scene_callout_order;

// Set by the first callout dropped at the cap; cleared with the list.
static int callouts_full_warned = 0;
// Keys by row, kept between frames so that sorting allocates only when the list grows.
static std::vector<uint32_t> callout_keys;

static int ensure_list(growable_array *a, int element_size) {
    return a->items || plyx_array_init(a, element_size, 16);
}

void scene_add_callout(float x, float y, float z, const char *text) {
    if (scene_callouts.count >= SCENE_CALLOUTS_MAX) {
        if (!callouts_full_warned)
            console_print("Warning: too many callouts; clearlog removes them\n");
        callouts_full_warned = 1;
        return;
    }
    if (!ensure_list(&scene_callouts, sizeof(callout)) ||
        !ensure_list(&scene_callout_order, sizeof(int)))
        return;
    callout row = {x, y, z, 0, {}};
    if (text) strncpy(row.text, text, SCENE_CALLOUT_TEXT_MAX);
    int order_count = scene_callout_order.count;
    if (!plyx_array_append(&scene_callouts, &row)) return;
    if (!plyx_array_append(&scene_callout_order, nullptr) ||
        !plyx_array_append(&scene_callout_order, nullptr)) {
        scene_callouts.count--;
        scene_callout_order.count = order_count;
    }
}

void scene_clear_callouts() {
    plyx_array_free(&scene_callouts);
    plyx_array_free(&scene_callout_order);
    callout_keys = {};
    callouts_full_warned = 0;
}

int scene_callout_count() {
    return scene_callouts.count;
}

float scene_callout_distance(float x, float y, float z) {
    if (scene_callouts.count <= 0) return SCENE_NO_CALLOUT;
    const callout &c = ((const callout *)scene_callouts.items)[scene_callouts.count - 1];
    double dx = (double)x - c.x, dy = (double)y - c.y, dz = (double)z - c.z;
    return (float)std::sqrt(dx * dx + dy * dy + dz * dz);
}

int scene_sort_callouts(const float eye[3], const float rotation[9]) {
    int count = scene_callouts.count;
    if (count <= 0 || scene_callout_order.count < 2 * count) return 0;
    int *order = (int *)scene_callout_order.items;
    if ((int)callout_keys.size() < count) callout_keys.resize(count);
    double c2 = rotation[2], c5 = rotation[5], c8 = rotation[8];
    uint32_t eye_key;
    if (!scene_depth_key(c2 * eye[0] + c5 * eye[1] + c8 * eye[2] - 2, &eye_key)) {
        order[0] = -1;
        return 0;
    }
    callout *rows = (callout *)scene_callouts.items;
    int kept = 0;
    for (int i = 0; i < count; i++) {
        callout &c = rows[i];
        uint32_t key;
        if (!scene_depth_key(c2 * c.x + c5 * c.y + c8 * c.z, &key)) continue;
        c.depth_key = (int32_t)key;
        callout_keys[i] = key;
        if (key < eye_key) order[kept++] = i;
    }
    scene_radix_sort(order, order + count, kept, callout_keys.data());
    order[kept] = -1;
    return kept;
}

int scene_callout_fan(float fan[18], int lines, float width) {
    float n = (float)lines, h = width / 2;
    const float points[9][2] = {{0, 1 + n / 2}, {-h, n + 1}, {-h, 1}, {-1, 1}, {0, 0},
                                {1, 1},         {h, 1},      {h, n + 1}, {-h, n + 1}};
    for (int i = 0; i < 9; i++) {
        fan[2 * i] = points[i][0];
        fan[2 * i + 1] = points[i][1];
    }
    return 9;
}

// The bubbles and their texts gathered for one draw: world positions, texture coordinates,
// colours and triangle indices.
namespace {
struct callout_batch {
    std::vector<float> positions, texcoords, colours;
    std::vector<uint32_t> indices;
    // The callout being gathered: its point, the turn's first column (c8, 0, -c2) and where its
    // text starts, in callout units.
    float at[3], c2, c8, text_x, text_y;
};
callout_batch batch;
}  // namespace

// A point in callout units (x across, y up, half a foot each) to the world.
static void batch_point(float x, float y, float s, float t, const float colour[4]) {
    callout_batch &b = batch;
    b.positions.push_back(b.at[0] + 0.5f * x * b.c8);
    b.positions.push_back(b.at[1] + 0.5f * y);
    b.positions.push_back(b.at[2] - 0.5f * x * b.c2);
    b.texcoords.push_back(s);
    b.texcoords.push_back(t);
    b.colours.insert(b.colours.end(), colour, colour + 4);
}

// Glyph quads from the font, placed on the callout. Their colour's alpha becomes 0: the
// combiner adds it to the glyph's own (see draw_batch).
static void gather_glyphs(int count, const float *positions, const float *texcoords, const float *colours) {
    callout_batch &b = batch;
    for (int q = 0; q < count; q++) {
        uint32_t first = (uint32_t)(b.positions.size() / 3);
        for (int k = 0; k < 4; k++) {
            const float *p = positions + (q * 4 + k) * 3, *c = colours + (q * 4 + k) * 4;
            const float colour[4] = {c[0], c[1], c[2], 0};
            batch_point(b.text_x + p[0], b.text_y + p[1], texcoords[(q * 4 + k) * 2],
                        texcoords[(q * 4 + k) * 2 + 1], colour);
        }
        const uint32_t order[6] = {2, 1, 0, 2, 3, 1};
        for (uint32_t o : order) b.indices.push_back(first + o);
    }
}

// One callout: its bubble as the fan's triangles, then its text centred above the pointer.
static void gather_callout(const float position[3], const float rotation[9], const char *text) {
    if (!text) text = "";
    callout_batch &b = batch;
    memcpy(b.at, position, sizeof b.at);
    b.c2 = rotation[2];
    b.c8 = rotation[8];
    int lines = 1;
    for (const char *p = text; *p; p++) lines += *p == '\n';
    float width = font_text_width(text), fan[18];
    int points = scene_callout_fan(fan, lines, width);
    // The bubble samples the font's top-left texel at its centre; opaque whatever its alpha.
    const float white[4] = {1, 1, 1, 1};
    float s = 0.5f / (float)(font_main.width > 0 ? font_main.width : 1);
    float t = 0.5f / (float)(font_main.height > 0 ? font_main.height : 1);
    uint32_t first = (uint32_t)(b.positions.size() / 3);
    for (int i = 0; i < points; i++) batch_point(fan[2 * i], fan[2 * i + 1], s, t, white);
    for (int i = 1; i + 1 < points; i++) {
        b.indices.push_back(first);
        b.indices.push_back(first + (uint32_t)i);
        b.indices.push_back(first + (uint32_t)i + 1);
    }
    if (!font_main.gl_name) return;
    b.text_x = -width / 2;
    b.text_y = (float)lines;
    font_draw_text(0, 0, 0, 1, text, FONT_OWN_COLOR);
}

static void clear_batch() {
    batch.positions.clear();
    batch.texcoords.clear();
    batch.colours.clear();
    batch.indices.clear();
}

// Draws the gathered callouts in one call and one state, in the order gathered. With the
// font's texture the combiner multiplies colours as usual but adds the alphas: bubble vertices
// carry alpha 1 (opaque white, as drawn without blending), glyph vertices 0 (the glyph's own
// alpha, as the font draws it). Without a font the bubbles alone, untextured.
static void draw_batch() {
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    if (batch.indices.empty()) return;
    bool textured = font_main.gl_name != 0;
    if (textured) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, font_main.gl_name);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_ADD);
        for (GLenum k : {GL_SRC0_RGB, GL_SRC0_ALPHA}) glTexEnvi(GL_TEXTURE_ENV, k, GL_TEXTURE);
        for (GLenum k : {GL_SRC1_RGB, GL_SRC1_ALPHA}) glTexEnvi(GL_TEXTURE_ENV, k, GL_PRIMARY_COLOR);
    } else {
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
    }
    gfx_draw_triangle_arrays((int)batch.indices.size(), batch.positions.data(),
                             textured ? batch.texcoords.data() : nullptr, batch.colours.data(),
                             batch.indices.data());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}

// Gathers callouts through the font's quad hook (f calls gather_callout) and draws them.
template <class F>
static void draw_gathered(F f) {
    clear_batch();
    auto previous = font_quad_hook;
    font_quad_hook = gather_glyphs;
    f();
    font_quad_hook = previous;
    draw_batch();
}

void scene_draw_callouts(const float position[3], const float rotation[9], const char *text) {
    draw_gathered([&] { gather_callout(position, rotation, text); });
}

void scene_draw_sorted_callouts(const float rotation[9]) {
    int count = scene_callouts.count;
    if (count <= 0 || scene_callout_order.count < 2 * count) return;
    const callout *rows = (const callout *)scene_callouts.items;
    const int *order = (const int *)scene_callout_order.items;
    draw_gathered([&] {
        for (int k = 0; k < count && order[k] >= 0 && order[k] < count; k++) {
            const callout &c = rows[order[k]];
            const float at[3] = {c.x, c.y, c.z};
            gather_callout(at, rotation, c.text);
        }
    });
}
