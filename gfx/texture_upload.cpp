// Uploading mip chains as OpenGL textures: wrap, filters, border colour, compression, and the
// reductions that bring an image to power-of-two sides and drop levels first.
#include <cstdio>

#include "core/console.h"
#include "core/mem.h"
#include "gfx/image.h"
#include "gfx/shader.h"
#include "gfx/texture.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

// Reads glGetError until it reports no error, a bounded number of times (without a current
// context some drivers report an error for ever).
static void tex_drain_gl_errors() {
    for (int i = 0; i < TEX_GL_ERROR_READS && glGetError() != GL_NO_ERROR; i++) {
    }
}

uint32_t tex_upload(const unsigned char *pixels, int width, int height, int channels, int flags) {
    bool compress = (flags & TEX_COMPRESS) && gl_info.version_major >= 2;
    GLenum format = channels == 4 ? GL_RGBA : GL_RGB;
    GLint internal = (GLint)format;
    if (compress) internal = channels == 4 ? GL_COMPRESSED_RGBA : GL_COMPRESSED_RGB;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, flags & TEX_HREPEAT ? GL_REPEAT : GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, flags & TEX_VREPEAT ? GL_REPEAT : GL_CLAMP);
    tex_drain_gl_errors();
    if (!(flags & TEX_HREPEAT)) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    if (!(flags & TEX_VREPEAT)) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    bool mipmapped = !(flags & TEX_NO_MIPMAP);
    GLint min_filter;
    if (glGetError() != GL_NO_ERROR)  // no clamp-to-edge: a driver of another age
        min_filter = mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST;
    else
        min_filter = mipmapped ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    float border[4];
    tex_border_colour(pixels, width, height, channels, border);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    int w = width, h = height;
    for (int level = 0;; level++) {
        glTexImage2D(GL_TEXTURE_2D, level, internal, w, h, 0, format, GL_UNSIGNED_BYTE, pixels);
        if (compress) {
            GLint size = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
            texture_memory_bytes += (uint32_t)size;
        } else {
            texture_memory_bytes += (uint32_t)(w * h * channels);
        }
        if (!mipmapped || (w == 1 && h == 1)) break;
        pixels += (size_t)w * h * channels;
        w = w / 2 ? w / 2 : 1;
        h = h / 2 ? h / 2 : 1;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

uint32_t tex_create(const unsigned char *pixels, int width, int height, int channels) {
    return tex_upload(pixels, width, height, channels, 0);
}

uint32_t tex_create_nomip(const unsigned char *pixels, int width, int height, int channels) {
    return tex_upload(pixels, width, height, channels, TEX_NO_MIPMAP);
}

uint32_t tex_create_reduced(const unsigned char *pixels, int width, int height, int channels,
                            int reduce_count, int flags, const char *name) {
    if (!tex_is_power_of_two(width) || !tex_is_power_of_two(height)) {
        // The largest power of two strictly below: a power-of-two side is halved too.
        int nw = tex_power_of_two_below(width), nh = tex_power_of_two_below(height);
        unsigned char *fitted = image_resample(pixels, width, height, channels, nw, nh);
        if (!fitted) return 0;
        uint32_t t = tex_create_reduced(fitted, nw, nh, channels, reduce_count, flags, name);
        mem_free(fitted);
        return t;
    }
    int w = width, h = height, dropped = 0;
    const unsigned char *top = tex_choose_top_level(pixels, &w, &h, channels, reduce_count, &dropped);
    if (dropped > 0 && name) {
        char line[160];
        snprintf(line, sizeof line, "%.64s reduced to %dx%d (originally %dx%d)", name, w, h, width,
                 height);
        console_print(line);
    }
    return tex_upload(top, w, h, channels, flags);
}
