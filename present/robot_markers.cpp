// The debug markers of a robot's working line, drawn at debug level 2.
#include "present/robot_markers.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "race/robots.h"

// A horizontal square of the half side at height y, counter-clockwise seen from above when up
// is set, clockwise otherwise.
static void square(marker_quad *q, const line_point &p, float y, float half, bool up, const float colour[3]) {
    const float xs[4] = {-half, -half, half, half};
    const float zs[4] = {-half, half, half, -half};
    for (int k = 0; k < 4; k++) {
        int i = up ? k : 3 - k;
        q->corners[k][0] = p.x + xs[i];
        q->corners[k][1] = y;
        q->corners[k][2] = p.z + zs[i];
    }
    for (int c = 0; c < 3; c++) q->colour[c] = colour[c];
}

int robot_marker_quads(const rider_slot *s, marker_quad *out, int max) {
    if (!s || !out || max <= 0) return 0;
    const line_point *points = (const line_point *)s->working_line.items;
    int n = 0;
    static const float BLACK[3] = {0, 0, 0}, TARGET[3] = {1, 1, 1}, GROUND[3] = {0.5f, 0.5f, 0.5f},
                       AIR[3] = {0.5f, 0.5f, 1};
    for (int i = 0; points && i < s->working_line.count; i++) {
        const line_point &p = points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
        if (n + MARKER_QUADS_PER_POINT > max) break;
        bool target = i == s->target_index;
        float h = target ? 0.25f : 0.125f;
        const float *colour = target ? TARGET : p.speed < 0 ? AIR : GROUND;
        square(&out[n++], p, p.y, 1.5f, true, BLACK);
        square(&out[n++], p, p.y, 1.5f, false, BLACK);
        square(&out[n++], p, p.y + h, 1, true, colour);
        square(&out[n++], p, p.y - h, 1, false, colour);
    }
    return n;
}

void draw_robot_markers(const rider_slot *s) {
    if (!s || s->working_line.count <= 0) return;
    std::vector<marker_quad> quads((size_t)s->working_line.count * MARKER_QUADS_PER_POINT);
    int n = robot_marker_quads(s, quads.data(), (int)quads.size());
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBegin(GL_QUADS);
    for (int i = 0; i < n; i++) {
        glColor3fv(quads[i].colour);
        for (const float *c : quads[i].corners) glVertex3fv(c);
    }
    glEnd();
    glColor3f(1, 1, 1);
}
