// Pasting rectangles of an animation's frames into its custom frame: the clipping of the
// script's fractions and the compositing of RGBA pixels.
#include <cmath>
#include <cstring>

#include "gfx/texture_anim.h"

// Clips a rectangle's start on one side: a negative start shortens the count and moves the
// other rectangle's start by as much; a start at or past the side fails (0).
static int tex_clip_start(int *start, int *other, int *count, int side) {
    if (*start >= side) return 0;
    if (*start >= 0) return 1;
    *count += *start;
    if (*count < 0) return 0;
    *other -= *start;
    *start = 0;
    return 1;
}

int tex_paste_clip(int frame_width, int frame_height, const float fractions[6], paste_rect *out) {
    // Scripts pass these: anything not finite or beyond a thousand frame sides is refused, so
    // every product below stays far inside int.
    for (int i = 0; i < 6; i++)
        if (!std::isfinite(fractions[i]) || std::fabs(fractions[i]) > ANIM_PASTE_LIMIT) return 0;
    const int W = frame_width, H = frame_height;
    int sx = (int)std::ceil((double)fractions[0] * W - 0.5);
    int sy = (int)std::ceil((double)fractions[1] * H - 0.5);
    int dx = (int)std::ceil((double)fractions[2] * W - 0.5);
    int dy = (int)std::ceil((double)fractions[3] * H - 0.5);
    int cw = (int)((double)fractions[4] * W);
    int ch = (int)((double)fractions[5] * H);
    int limit_w = W - (dx > sx ? dx : sx), limit_h = H - (dy > sy ? dy : sy);
    if (cw > limit_w) cw = limit_w;
    if (ch > limit_h) ch = limit_h;
    // Source, then destination; each side clipped at its start.
    if (!tex_clip_start(&sx, &dx, &cw, W) || !tex_clip_start(&sy, &dy, &ch, H) ||
        !tex_clip_start(&dx, &sx, &cw, W) || !tex_clip_start(&dy, &sy, &ch, H))
        return 0;
    if (cw <= 0 || ch <= 0) return 0;
    if (sx + cw > W || dx + cw > W || sy + ch > H || dy + ch > H) return 0;
    *out = {sx, sy, dx, dy, cw, ch};
    return 1;
}

void tex_composite_rgba(unsigned char *dst, const unsigned char *src) {
    int a = src[3], b = dst[3];
    if (a == 0) {
        if (b == 0) memcpy(dst, src, 4);
        return;
    }
    if (a == 255 || b == 0) {
        memcpy(dst, src, 4);
        return;
    }
    if (b == 255) {
        for (int c = 0; c < 3; c++) dst[c] = (unsigned char)((dst[c] * (255 - a) + src[c] * a) / 255);
        return;
    }
    int weight = a * 255 + (255 - a) * b;
    for (int c = 0; c < 3; c++)
        dst[c] = (unsigned char)((dst[c] * b * (255 - a) + src[c] * a * 255) / weight);
    dst[3] = (unsigned char)(a + ((255 - a) * b) / 255);
}

int tex_paste_custom_frame(uint32_t gl_name, int frame_index, float src_x, float src_y,
                           float dst_x, float dst_y, float width, float height) {
    texture_anim *a = tex_anim_find(gl_name);
    if (!a || frame_index < 0 || frame_index >= a->frame_count || !a->custom) return 0;
    const anim_frame &f = a->frames[frame_index];
    const float fractions[6] = {src_x, src_y, dst_x, dst_y, width, height};
    paste_rect r;
    if (!tex_paste_clip(f.width, f.height, fractions, &r)) return 0;
    int n = f.channels;
    for (int y = 0; y < r.height; y++) {
        const unsigned char *src = f.pixels + ((size_t)(r.src_y + y) * f.width + r.src_x) * n;
        unsigned char *dst = a->custom + ((size_t)(r.dst_y + y) * f.width + r.dst_x) * n;
        if (n != 4) {
            memcpy(dst, src, (size_t)r.width * n);
            continue;
        }
        for (int x = 0; x < r.width; x++) tex_composite_rgba(dst + 4 * x, src + 4 * x);
    }
    return 1;
}
