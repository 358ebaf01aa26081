// Composing one block of tiles into a ground texture: in memory and uploaded (render mode 1),
// or drawn by OpenGL into the back buffer and copied (mode 2) or into a framebuffer (mode 3).
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/settings.h"
#include "gfx/shader.h"
#include "terrain/decal.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"

void (*tile_framebuffer_hook)(uint32_t texture);

void tile_compose(terrain_field *f, int x, int z, int d, uint32_t diffuse, uint32_t normal,
                  uint32_t specular) {
    f->tiles_composed += d * d;
    if (f->render_mode == TILE_RENDER_TEXSUBIMAGE) {
        tile_compose_software(f, x, z, d, diffuse);
        return;
    }
    if (tile_target_begin(f, diffuse)) {
        tile_draw_diffuse(f, x, z, d);
        tile_target_end(f, diffuse);
    }
    if (!f->extra_maps) return;
    if (normal && tile_target_begin(f, normal)) {
        tile_draw_normal(f, x, z, d);
        tile_target_end(f, normal);
    }
    if (specular && tile_target_begin(f, specular)) {
        tile_draw_specular(f, x, z, d);
        tile_target_end(f, specular);
    }
}

// ---- Render mode 1 -------------------------------------------------------------------------

// Level l of an RGBA mip chain and its sides.
static const unsigned char *compose_level(const unsigned char *chain, int w, int h, int l, int *lw, int *lh) {
    const unsigned char *p = chain;
    for (int i = 0; i < l; i++) {
        p += (size_t)w * h * 4;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    *lw = w;
    *lh = h;
    return p;
}

// The mip level for a tile drawn with ratios rx, ry of source texels per destination texel.
static int compose_mip_level(int w, int h, double rx, double ry) {
    int l = 0;
    if (!(w >= 2 && h >= 2 && rx > 1 && ry > 1)) return 0;
    for (;;) {
        int left_w = w, left_h = h;
        l++;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        rx /= 2;
        ry /= 2;
        if (!(left_w >= 4 && left_h >= 4 && rx > 1 && ry > 1 && w >= 2 && h >= 2)) return l;
    }
}

static inline uint32_t compose_fixed(double v) {
    return (uint32_t)(int64_t)llround(v * 65536.0);
}

void tile_compose_software(terrain_field *f, int x, int z, int d, uint32_t texture) {
    int S = f->ground_texture_size, q = 1 << f->k, n = f->n;
    unsigned char *buf = f->composition;
    memset(buf, 0, (size_t)S * S * 3);
    // The block's shading first.
    for (int sz = 2 * z; sz <= 2 * (z + d) && sz < n; sz++)
        for (int sx = 2 * x; sx <= 2 * (x + d) && sx < n; sx++) {
            size_t i = sx + (size_t)n * sz;
            if (terrain_bit(f->shading_dirty, i)) {
                terrain_shade_sample(f, sx, sz, f->shading + 3 * i);
                terrain_bit_clear(f->shading_dirty, i);
            }
        }
    // The tiles: each destination texel belongs to the tile holding its centre.
    for (int p = 0; p < S; p++) {
        int tz = (int)(((int64_t)2 * p + 1) * d / (2 * S));
        for (int c = 0; c < S;) {
            int tx = (int)(((int64_t)2 * c + 1) * d / (2 * S));
            int end = c;
            while (end < S && (int)(((int64_t)2 * end + 1) * d / (2 * S)) == tx) end++;
            const tile_kind &kind = f->kinds[f->tile_map[(x + tx) + (size_t)q * (z + tz)]];
            if (kind.pixels && kind.width > 0 && kind.height > 0) {
                double rx = 0.875 * kind.width * d / S, ry = 0.875 * kind.height * d / S;
                int l = compose_mip_level(kind.width, kind.height, rx, ry), lw, lh;
                const unsigned char *img = compose_level(kind.pixels, kind.width, kind.height, l, &lw, &lh);
                double fu = ((c + 0.5) * d / S - tx), fv = ((p + 0.5) * d / S - tz);
                uint32_t u = compose_fixed((0.0625 + 0.875 * fu) * lw);
                uint32_t v = compose_fixed((0.0625 + 0.875 * fv) * lh);
                uint32_t du = compose_fixed(0.875 * lw * d / S);
                const unsigned char *row = img + (size_t)4 * lw * (v >> 16 < (uint32_t)lh ? v >> 16 : lh - 1);
                unsigned char *out = buf + 3 * ((size_t)p * S + c);
                for (int i = c; i < end; i++, out += 3, u += du) {
                    uint32_t t = u >> 16 < (uint32_t)lw ? u >> 16 : (uint32_t)lw - 1;
                    memcpy(out, row + 4 * t, 3);
                }
            }
            c = end;
        }
    }
    decal_compose_software(f, x, z, d, buf, S);
    // The shading at the texel centres, at half scale (128 = full light).
    uint32_t step = compose_fixed(2.0 * d / S);
    for (int p = 0; p < S; p++) {
        uint32_t u = compose_fixed(2.0 * x + 1.0 * d / S), v = compose_fixed(2.0 * z + (2.0 * p + 1) * d / S);
        tile_span_modulate_bilinear(buf + 3 * (size_t)p * S, S, f->shading, n, n, u, v, (int32_t)step, 0);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, S, S, GL_RGB, GL_UNSIGNED_BYTE, buf);
    // The smaller levels, averaged in place.
    for (int side = S, level = 1; side > 1; level++) {
        int half = side / 2;
        for (int zz = 0; zz < half; zz++)
            for (int xx = 0; xx < half; xx++)
                for (int ch = 0; ch < 3; ch++) {
                    const unsigned char *a = buf + 3 * ((size_t)(2 * zz) * side + 2 * xx) + ch;
                    const unsigned char *b = a + 3 * (size_t)side;
                    buf[3 * ((size_t)zz * half + xx) + ch] = (unsigned char)((a[0] + a[3] + b[0] + b[3]) >> 2);
                }
        side = half;
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, side, side, GL_RGB, GL_UNSIGNED_BYTE, buf);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

// ---- Render modes 2 and 3 ------------------------------------------------------------------

static GLint compose_viewport[4];

int tile_target_begin(terrain_field *f, uint32_t texture) {
    int S = f->ground_texture_size;
    glGetIntegerv(GL_VIEWPORT, compose_viewport);
    if (f->render_mode == TILE_RENDER_FBO) {
        gl_ext.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, f->framebuffer);
        gl_ext.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
        if (tile_framebuffer_hook) tile_framebuffer_hook(texture);
        GLenum status = gl_ext.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
        if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
            char line[64];
            snprintf(line, sizeof line, "Framebuffer error %x", (unsigned)status);
            console_print(line);
            gl_ext.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, 0, 0);
            gl_ext.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
            return 0;
        }
    }
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glViewport(0, 0, S, S);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glFrustum(-0.5, 0.5, -0.5, 0.5, 0.5, 2);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    shader_use(SHADER_SLOT_FIXED);
    return 1;
}

void tile_target_end(terrain_field *f, uint32_t texture) {
    int S = f->ground_texture_size;
    if (gl_info.arb_multitexture) {
        for (int u = 1; u >= 0; u--) {
            gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB + u);
            glMatrixMode(GL_TEXTURE);
            glLoadIdentity();
            glBindTexture(GL_TEXTURE_2D, 0);
            glDisable(GL_TEXTURE_2D);
        }
    } else {
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
    }
    shader_use(SHADER_SLOT_FIXED);
    glDisable(GL_BLEND);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, texture);
    if (f->render_mode == TILE_RENDER_COPYTEXSUBIMAGE) {
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, S, S);
    } else {
        gl_ext.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, 0, 0);
        gl_ext.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        if (game_settings.ground_mipmaps_on) gl_ext.glGenerateMipmapEXT(GL_TEXTURE_2D);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glViewport(compose_viewport[0], compose_viewport[1], compose_viewport[2], compose_viewport[3]);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glColor4f(1, 1, 1, 1);
}

// One quad of the target from (x0, y0) to (x1, y1) in [-1, 1], texture (s0, t0)..(s1, t1).
static void compose_quad(float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1) {
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex3f(x0, y0, -1);
    glTexCoord2f(s1, t0);
    glVertex3f(x1, y0, -1);
    glTexCoord2f(s1, t1);
    glVertex3f(x1, y1, -1);
    glTexCoord2f(s0, t1);
    glVertex3f(x0, y1, -1);
    glEnd();
}

// Binds the low-detail texture under the block and sets the current texture matrix so that
// a target position x in [-1, 1] maps onto the block's samples (texel centres at +0.5).
static void compose_low_detail_matrix(terrain_field *f, int x, int z, int d) {
    int m = f->m;
    int i = 2 * x / 384, j = 2 * z / 384;
    if (i > m - 1) i = m - 1;
    if (j > m - 1) j = m - 1;
    float sx = i == m - 1 ? f->low_detail_texel_scale : 1.0f / 512;
    float sz = j == m - 1 ? f->low_detail_texel_scale : 1.0f / 512;
    float ox = (float)(2 * x - (384 * i - 64)) + 0.5f, oz = (float)(2 * z - (384 * j - 64)) + 0.5f;
    glBindTexture(GL_TEXTURE_2D, f->low_detail_textures[i + m * j]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    // (x + 1) / 2 of the block is sample 2x + (x + 1) d.
    glScalef(sx, sz, 1);
    glTranslatef(ox + (float)d, oz + (float)d, 0);
    glScalef((float)d, (float)d, 1);
    glMatrixMode(GL_MODELVIEW);
}

void tile_draw_diffuse(terrain_field *f, int x, int z, int d) {
    int q = 1 << f->k;
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glColor4f(1, 1, 1, 1);
    uint32_t bound = 0xffffffffu;
    float step = 2.0f / (float)d;
    for (int tz = 0; tz < d; tz++)
        for (int tx = 0; tx < d; tx++) {
            uint32_t t = f->kinds[f->tile_map[(x + tx) + (size_t)q * (z + tz)]].texture;
            if (t != bound) {
                glBindTexture(GL_TEXTURE_2D, t);
                bound = t;
            }
            float x0 = -1 + step * (float)tx, y0 = -1 + step * (float)tz;
            compose_quad(x0, y0, x0 + step, y0 + step, 0.0625f, 0.0625f, 0.9375f, 0.9375f);
        }
    decal_draw_gl(f, x, z, d, 0);
    if (f->extra_maps || !f->low_detail_textures) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    compose_low_detail_matrix(f, x, z, d);
    compose_quad(-1, -1, 1, 1, -1, -1, 1, 1);
    glDisable(GL_BLEND);
}

void tile_draw_normal(terrain_field *f, int x, int z, int d) {
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor4f(1, 1, 1, 1);
    compose_low_detail_matrix(f, x, z, d);
    compose_quad(-1, -1, 1, 1, -1, -1, 1, 1);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    if (!gl_info.arb_multitexture || !game_settings.shaders_active) return;
    // The normal decals turned into the ground's frame: the base normal map on unit 1, mapped
    // from the target position by unit 1's texture matrix.
    gl_ext.glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    compose_low_detail_matrix(f, x, z, d);
    gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    shader_use(SHADER_SLOT_TERRAIN_NORMALS);
    decal_draw_gl(f, x, z, d, 1);
    shader_use(SHADER_SLOT_FIXED);
}

void tile_draw_specular(terrain_field *f, int x, int z, int d) {
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0, 1, 1, 1);
    compose_quad(-1, -1, 1, 1, 0, 0, 1, 1);
    glColor4f(1, 1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    decal_draw_gl(f, x, z, d, 2);
}
