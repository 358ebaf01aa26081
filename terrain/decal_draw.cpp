// Baking decals into a ground texture: as blended quads in the OpenGL composition, or as
// textured triangles rasterised into the software composition's buffer.
#include <GL/gl.h>

#include <cmath>
#include <array>
#include <cstdint>

#include "terrain/decal.h"
#include "terrain/tile.h"

int decal_subdivisions(const terrain_field *f, float size) {
    if (!f->large_decal_workaround || !(size > 256)) return 1;
    int n = 2;
    while (size / (float)n > 256 && n < 1024) n *= 2;
    return n;
}

// The decal's corner at own coordinates (u, v) in [-1, 1]: own x across (width size x aspect),
// own z along (length size).
static void decal_point(const decal &d, float u, float v, float *wx, float *wz) {
    float ax = d.size * d.aspect / 2, az = d.size / 2;
    *wx = d.x + u * ax * d.cos + v * az * d.sin;
    *wz = d.z - u * ax * d.sin + v * az * d.cos;
}

void decal_draw_gl(terrain_field *f, int x, int z, int d, int type) {
    if (!f->decals.items || f->hide_decals) return;
    float ts = f->tile_size, bx = (float)x * ts, bz = (float)z * ts, span = (float)d * ts;
    int count;
    const int *list = decal_bins_query(f, bx, bz, bx + span, bz + span, &count);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    uint32_t bound = 0xffffffffu;
    for (int k = 0; k < count; k++) {
        const decal &dc = *decal_at(f, list[k]);
        uint32_t t = type == 0 ? dc.texture : type == 1 ? dc.normal_texture : dc.specular_texture;
        if (!t) continue;
        float hx, hz;
        decal_half_extents(dc, &hx, &hz);
        if (dc.x + hx < bx || dc.x - hx > bx + span || dc.z + hz < bz || dc.z - hz > bz + span) continue;
        if (t != bound) {
            glBindTexture(GL_TEXTURE_2D, t);
            bound = t;
        }
        if (type == 0) f->decals_drawn++;
        int n = decal_subdivisions(f, dc.size);
        glBegin(GL_QUADS);
        for (int b = 0; b < n; b++)
            for (int a = 0; a < n; a++) {
                static const int corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
                for (const auto &c : corners) {
                    float s = (float)(a + c[0]) / (float)n, tt = (float)(b + c[1]) / (float)n;
                    float wx, wz;
                    decal_point(dc, 2 * s - 1, 2 * tt - 1, &wx, &wz);
                    glTexCoord2f(s, tt);
                    glVertex3f(-1 + 2 * (wx - bx) / span, -1 + 2 * (wz - bz) / span, -1);
                }
            }
        glEnd();
    }
    glDisable(GL_BLEND);
}

// ---- Software raster -----------------------------------------------------------------------

static inline int32_t raster_fixed(double v) {
    if (!(v > -32768.0)) v = -32768.0;
    if (v > 32767.0) v = 32767.0;
    return (int32_t)llround(v * 65536.0);
}

void decal_raster_triangle(unsigned char *buffer, int S, const float p[6], const float uv[6],
                           const unsigned char *image, int w, int h) {
    // The affine map from buffer position to image position over the triangle.
    double x0 = p[0], y0 = p[1], x1 = p[2], y1 = p[3], x2 = p[4], y2 = p[5];
    double det = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
    if (!(fabs(det) > 1e-12) || !std::isfinite(det)) return;
    double g[2][2];   // d(u, v) / d(x, y)
    for (int c = 0; c < 2; c++) {
        double a0 = uv[c], a1 = uv[2 + c], a2 = uv[4 + c];
        g[c][0] = ((a1 - a0) * (y2 - y0) - (a2 - a0) * (y1 - y0)) / det;
        g[c][1] = ((a2 - a0) * (x1 - x0) - (a1 - a0) * (x2 - x0)) / det;
    }
    // Magnified along x or along y: bilinear; else nearest.
    double step_x = std::hypot(g[0][0], g[1][0]), step_y = std::hypot(g[0][1], g[1][1]);
    int bilinear = step_x < 1 || step_y < 1;
    double top = fmin(y0, fmin(y1, y2)), bottom = fmax(y0, fmax(y1, y2));
    double first_row = ceil(top - 0.5), last_row = ceil(bottom - 0.5) - 1;
    if (first_row < 0) first_row = 0;
    if (last_row > S - 1) last_row = S - 1;
    const double px[3] = {x0, x1, x2}, py[3] = {y0, y1, y2};
    for (int row = (int)first_row; row <= (int)last_row; row++) {
        double yc = row + 0.5, left = 1e30, right = -1e30;
        for (int e = 0; e < 3; e++) {
            double ax = px[e], ay = py[e], bx = px[(e + 1) % 3], by = py[(e + 1) % 3];
            if ((yc < ay) == (yc < by)) continue;   // the edge does not cross this row
            double xc = ax + (yc - ay) * (bx - ax) / (by - ay);
            left = fmin(left, xc);
            right = fmax(right, xc);
        }
        if (!(left <= right)) continue;
        double a = ceil(left - 0.5), b = ceil(right - 0.5) - 1;
        if (a < 0) a = 0;
        if (b > S - 1) b = S - 1;
        if (a > b) continue;
        double xc = a + 0.5;
        double u = uv[0] + g[0][0] * (xc - x0) + g[0][1] * (yc - y0);
        double v = uv[1] + g[1][0] * (xc - x0) + g[1][1] * (yc - y0);
        if (bilinear) u -= 0.5, v -= 0.5;   // texel centres at whole numbers
        unsigned char *dst = buffer + 3 * ((size_t)row * S + (size_t)a);
        int count = (int)(b - a) + 1;
        if (bilinear)
            tile_span_blend_bilinear(dst, count, image, w, h, (uint32_t)raster_fixed(u), (uint32_t)raster_fixed(v),
                                     raster_fixed(g[0][0]), raster_fixed(g[1][0]));
        else
            tile_span_blend_nearest(dst, count, image, w, h, (uint32_t)raster_fixed(u), (uint32_t)raster_fixed(v),
                                    raster_fixed(g[0][0]), raster_fixed(g[1][0]));
    }
}

void decal_compose_software(terrain_field *f, int x, int z, int d, unsigned char *buffer, int S) {
    if (!f->decals.items || f->hide_decals) return;
    float ts = f->tile_size, bx = (float)x * ts, bz = (float)z * ts, span = (float)d * ts;
    float scale = (float)S / span;
    int count;
    const int *list = decal_bins_query(f, bx, bz, bx + span, bz + span, &count);
    for (int k = 0; k < count; k++) {
        const decal &dc = *decal_at(f, list[k]);
        if (!dc.pixels || dc.width < 1 || dc.height < 1) continue;
        float hx, hz;
        decal_half_extents(dc, &hx, &hz);
        if (dc.x + hx < bx || dc.x - hx > bx + span || dc.z + hz < bz || dc.z - hz > bz + span) continue;
        f->decals_drawn++;
        float pos[4][2], tex[4][2];
        static const float own[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int c = 0; c < 4; c++) {
            float wx, wz;
            decal_point(dc, own[c][0], own[c][1], &wx, &wz);
            pos[c][0] = (wx - bx) * scale;
            pos[c][1] = (wz - bz) * scale;
            tex[c][0] = (own[c][0] + 1) / 2 * (float)dc.width;
            tex[c][1] = (own[c][1] + 1) / 2 * (float)dc.height;
        }
        for (const auto &t : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
            float p[6], uv[6];
            for (int c = 0; c < 3; c++) {
                p[2 * c] = pos[t[c]][0];
                p[2 * c + 1] = pos[t[c]][1];
                uv[2 * c] = tex[t[c]][0];
                uv[2 * c + 1] = tex[t[c]][1];
            }
            decal_raster_triangle(buffer, S, p, uv, dc.pixels, dc.width, dc.height);
        }
    }
}
