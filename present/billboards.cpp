// Billboards: keyed by depth along the view axis, radix-sorted back to front, batched by texture
// where their screen spans do not overlap, drawn as upright quads facing the viewer.
#include "present/billboards.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "core/settings.h"
#include "present/scene.h"

int scene_depth_key(double along, uint32_t *key) {
    if (!std::isfinite(along)) return 0;
    double k = std::floor(along * 1024.0 + 16777216.0);
    *key = k <= 0 ? 0u : k >= 4294967295.0 ? 4294967295u : (uint32_t)k;
    return 1;
}

void scene_radix_sort(int *from, int *scratch, int count, const uint32_t *keys) {
    int *src = from, *dst = scratch;
    for (int shift = 0; shift < 32; shift += 8) {
        int counts[257] = {0};
        for (int i = 0; i < count; i++) counts[((keys[src[i]] >> shift) & 255) + 1]++;
        for (int b = 0; b < 256; b++) counts[b + 1] += counts[b];
        for (int i = 0; i < count; i++) dst[counts[(keys[src[i]] >> shift) & 255]++] = src[i];
        int *t = src;
        src = dst;
        dst = t;
    }
    // Four passes: the result is back in `from`.
}

// Keys by row, kept between frames so that sorting allocates only when the table grows.
static std::vector<uint32_t> billboard_keys;

int billboard_sort(billboard *rows, int count, int *order, const float eye[3],
                   const float rotation[9]) {
    if (count <= 0) return 0;
    if ((int)billboard_keys.size() < count) billboard_keys.resize(count);
    double c2 = rotation[2], c5 = rotation[5], c8 = rotation[8];
    uint32_t eye_key;
    if (!scene_depth_key(c2 * eye[0] + c5 * eye[1] + c8 * eye[2], &eye_key)) {
        order[0] = -1;
        return 0;
    }
    int kept = 0;
    for (int i = 0; i < count; i++) {
        billboard &b = rows[i];
        if (!b.texture || !b.a) continue;
        double w = i < 2000 ? (double)b.size * b.aspect : 0.0;
        uint32_t key;
        if (!std::isfinite(b.x) || !std::isfinite(b.y) || !std::isfinite(b.z) ||
            !std::isfinite(w) || !std::isfinite(b.size) || !std::isfinite(b.aspect) ||
            !scene_depth_key(c2 * b.x + c5 * b.y + c8 * b.z + w, &key))
            continue;
        b.depth_key = (int32_t)key;
        billboard_keys[i] = key;
        if (key < eye_key) order[kept++] = i;
    }
    scene_radix_sort(order, order + count, kept, billboard_keys.data());
    order[kept] = -1;
    return kept;
}

int billboard_right(float right[3], const float rotation[9]) {
    double c2 = rotation[2], c8 = rotation[8];
    double l2 = c2 * c2 + c8 * c8;
    if (!(l2 >= 1e-12)) return 0;
    double l = std::sqrt(l2);
    right[0] = (float)(c8 / l);
    right[1] = 0;
    right[2] = (float)(-c2 / l);
    return 1;
}

namespace {
struct span {
    double x1, z1, x2, z2;
};
}  // namespace

static span span_of(const billboard &b, const float eye[3], const float right[3]) {
    double h = b.size * b.aspect / 2;
    double x = b.x - eye[0], z = b.z - eye[2];
    return {x - right[0] * h, z - right[2] * h, x + right[0] * h, z + right[2] * h};
}

static double cross(double px, double pz, double qx, double qz) {
    return px * qz - pz * qx;
}

void billboard_batch(const billboard *rows, int *order, int lookahead, const float eye[3],
                     const float right[3]) {
    if (lookahead <= 1) return;
    for (int k = 0; order[k] != -1; k++) {
        int texture = rows[order[k]].texture;
        // The look-ahead never passes the end of the list.
        int found = -1;
        for (int j = k + 1; j < k + lookahead && order[j] != -1; j++)
            if (rows[order[j]].texture == texture) {
                found = j;
                break;
            }
        if (found < k + 2) continue;
        span a = span_of(rows[order[found]], eye, right);
        bool clear = true;
        for (int u = k + 1; u < found && clear; u++) {
            span b = span_of(rows[order[u]], eye, right);
            if (cross(b.x2, b.z2, a.x1, a.z1) < 0 && cross(a.x2, a.z2, b.x1, b.z1) < 0) clear = false;
        }
        if (!clear) continue;
        int moved = order[found];
        for (int u = found; u > k + 1; u--) order[u] = order[u - 1];
        order[k + 1] = moved;
    }
}

int billboard_draw_list(const billboard *rows, int count, const int *order, const float right[3]) {
    int drawn = 0, bound = -1;
    bool open = false;
    for (int i = 0; i < count && order[i] != -1; i++) {
        const billboard &b = rows[order[i]];
        if (b.texture != bound) {
            if (open) glEnd();
            glBindTexture(GL_TEXTURE_2D, (GLuint)b.texture);
            render_stats.texture_binds++;
            bound = b.texture;
            glBegin(GL_QUADS);
            open = true;
        }
        float h = b.size * b.aspect / 2;
        float ex = right[0] * h, ez = right[2] * h;
        glColor4ub(b.r, b.g, b.b, b.a);
        glTexCoord2f(0, 1);
        glVertex3f(b.x - ex, b.y, b.z - ez);
        glTexCoord2f(1, 1);
        glVertex3f(b.x + ex, b.y, b.z + ez);
        glTexCoord2f(1, 0);
        glVertex3f(b.x + ex, b.y + b.size, b.z + ez);
        glTexCoord2f(0, 0);
        glVertex3f(b.x - ex, b.y + b.size, b.z - ez);
        drawn++;
    }
    if (open) glEnd();
    return drawn;
}

void scene_draw_billboards(const float eye[3], const float rotation[9]) {
    render_stats.billboards = 0;
    growable_array &table = track_billboards;
    if (table.element_size != (int)sizeof(billboard) || table.count <= 0) return;
    billboard *rows = (billboard *)table.items;
    int n = table.count;
    // The loader gives two order entries a row; without them there is nowhere to sort.
    if (billboard_order.element_size != (int)sizeof(int) || billboard_order.count < 2 * n) return;
    int *order = (int *)billboard_order.items;
    billboard_sort(rows, n, order, eye, rotation);
    float right[3];
    if (!billboard_right(right, rotation)) return;
    billboard_batch(rows, order, settings.billboard_optimize_lookahead, eye, right);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDepthMask(GL_FALSE);
    render_stats.billboards = billboard_draw_list(rows, n, order, right);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
}
