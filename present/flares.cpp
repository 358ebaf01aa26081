// Lens flares over the finished frame: the on-screen test, the single-pixel colour and depth
// reads of the buffer being drawn, the edge fade and the chain of additive glow quads.
#include "present/flares.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/settings.h"
#include "core/widget_data.h"
#include "present/scene.h"
#include "race/track.h"

long flare_pixel_reads = 0;

int flare_project(const flare *f, const float eye[3], const float rotation[9], float hx, float hy,
                  float *sx, float *sy, float *z) {
    float v[3];
    for (int i = 0; i < 3; i++) v[i] = f->kind == 1 ? f->position[i] : f->position[i] - eye[i];
    float c[3];
    for (int k = 0; k < 3; k++)
        c[k] = v[0] * rotation[k] + v[1] * rotation[3 + k] + v[2] * rotation[6 + k];
    *z = c[2];
    // In front of the eye (a point at the eye has no direction) and inside the view.
    if (!(-c[2] > 1e-6f) || !std::isfinite(c[0]) || !std::isfinite(c[1])) return 0;
    if (!(std::fabs(c[0]) <= -c[2] * hx) || !(std::fabs(c[1]) <= -c[2] * hy)) return 0;
    *sx = -c[0] / c[2];
    *sy = -c[1] / c[2];
    return 1;
}

int flare_pixel(float sx, float sy, float hx, float hy, int width, int height, int *px, int *py) {
    if (!(hx > 0) || !(hy > 0)) return 0;
    float fx = std::clamp((sx + hx) / (2 * hx), 0.0f, 1.0f);
    float fy = std::clamp((sy + hy) / (2 * hy), 0.0f, 1.0f);
    *px = (int)(fx * width);
    *py = (int)(fy * height);
    return *px >= 0 && *px < width && *py >= 0 && *py < height;
}

// Within l of an edge of -h..h the fade falls linearly to 0 at the edge.
static float edge_fade(float s, float h, float l) {
    if (s < -h + l) return std::clamp((s + h) / l, 0.0f, 1.0f);
    if (s > h - l) return std::clamp((h - s) / l, 0.0f, 1.0f);
    return 1;
}

float flare_edge_fade(float sx, float sy, float hx, float hy) {
    float l = std::min(hx, hy) / 32;
    if (!(l > 0)) return 0;
    return std::min(edge_fade(sx, hx, l), edge_fade(sy, hy, l));
}

float flare_depth_fraction(float depth, double near_plane, double far_plane) {
    double n = near_plane, f = far_plane;
    double distance = -n * f / ((f - n) * depth - f);
    double d = (distance - n) / (f - n);
    return std::isfinite(d) ? (float)d : 1.0f;
}

int flare_unhidden(int kind, float d, float z, double near_plane, double far_plane) {
    if (kind == 1) return d >= 0.4f;
    double own = (-z - near_plane) / (far_plane - near_plane);
    own = std::clamp(own, 0.0, 1.0);
    return d >= own;
}

// The colour (and, when bright, the depth) of one pixel of the buffer being drawn.
static int pixel_bright_depth(int px, int py, float *depth) {
    unsigned char rgb[4] = {0, 0, 0, 0};
    glReadPixels(px, py, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    flare_pixel_reads++;
    if (rgb[0] < 224 || rgb[1] < 224 || rgb[2] < 224) return 0;
    glReadPixels(px, py, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, depth);
    flare_pixel_reads++;
    return 1;
}

static void draw_flare(const flare &f) {
    int n = std::clamp(f.element_count, 0, 8);
    for (int k = 0; k < n; k++) {
        if (f.textures[k] == 0) continue;   // an untextured quad would be a bright square
        glBindTexture(GL_TEXTURE_2D, (GLuint)f.textures[k]);
        render_stats.texture_binds++;
        float across = f.pairs[k][0], along = f.pairs[k][1];
        float cx = across * f.screen_y + along * f.screen_x;
        float cy = -across * f.screen_x + along * f.screen_y;
        float h = f.half_sizes[k];
        const float *c = f.colours[k];
        glColor4f(f.visibility * c[0], f.visibility * c[1], f.visibility * c[2], 1);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1);
        glVertex3f(cx - h, cy + h, -1);
        glTexCoord2f(0, 0);
        glVertex3f(cx - h, cy - h, -1);
        glTexCoord2f(1, 0);
        glVertex3f(cx + h, cy - h, -1);
        glTexCoord2f(1, 1);
        glVertex3f(cx + h, cy + h, -1);
        glEnd();
    }
}

void scene_draw_lens_flares(const float eye[3], const float rotation[9]) {
    flare *rows = (flare *)scene_flares.items;
    int count = rows ? scene_flares.count : 0;
    if (count == 0 || !settings.lens_flare.current) return;
    float hx = view_state.half_x, hy = view_state.half_y;
    double near_plane, far_plane;
    scene_clip_planes(&near_plane, &far_plane);
    GLint buffer = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &buffer);
    glReadBuffer((GLenum)buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    int any = 0;
    for (int i = 0; i < count; i++) {
        flare &f = rows[i];
        f.visibility = 0;
        float sx, sy, z, depth = 0;
        int px, py;
        if (!flare_project(&f, eye, rotation, hx, hy, &sx, &sy, &z)) continue;
        f.screen_x = sx;
        f.screen_y = sy;
        if (!flare_pixel(sx, sy, hx, hy, view_state.width, view_state.height, &px, &py)) continue;
        if (!pixel_bright_depth(px, py, &depth)) continue;
        float d = flare_depth_fraction(depth, near_plane, far_plane);
        if (!flare_unhidden(f.kind, d, z, near_plane, far_plane)) continue;
        f.visibility = flare_edge_fade(sx, sy, hx, hy);
        any |= f.visibility > 0;
    }
    if (!any) return;
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    for (int i = 0; i < count; i++)
        if (rows[i].visibility > 0) draw_flare(rows[i]);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}
