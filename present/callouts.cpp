// Callouts: the list the wheel-contact log fills (bounded), the depth sort along the view axis
// and the bubble drawn for each.
#include "present/callouts.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/console.h"
#include "gfx/font.h"
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

void scene_draw_callouts(const float position[3], const float rotation[9], const char *text) {
    if (!text) text = "";
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glPushMatrix();
    glTranslatef(position[0], position[1], position[2]);
    // Columns (c8, 0, -c2), (0, 1, 0), (c2, 0, c8): a turn about the vertical toward the view.
    float c2 = rotation[2], c8 = rotation[8];
    const GLfloat turn[16] = {c8, 0, -c2, 0, 0, 1, 0, 0, c2, 0, c8, 0, 0, 0, 0, 1};
    glMultMatrixf(turn);
    glScalef(0.5f, 0.5f, 0.5f);
    int lines = 1;
    for (const char *p = text; *p; p++) lines += *p == '\n';
    float width = font_text_width(text), fan[18];
    int points = scene_callout_fan(fan, lines, width);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_TRIANGLE_FAN);
    for (int i = 0; i < points; i++) glVertex2f(fan[2 * i], fan[2 * i + 1]);
    glEnd();
    glTranslatef(0, (float)lines, 0);
    font_draw_centered(0, 0, 0, 1, -width, width, text);
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}
