// Animated textures: loading ANIM1 files, advancing them with the race clock, starting and
// stopping them; and LINK files, which redirect one texture name to another.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/mem.h"
#include "core/util.h"
#include "gfx/image.h"
#include "gfx/shader.h"
#include "gfx/texture.h"
#include "gfx/texture_anim.h"

static const char tex_white_name[] = "@colors/white.png";

void tex_anim_free(texture_anim *a) {
    if (!a) return;
    for (int i = 0; i < a->frame_count; i++) mem_free(a->frames[i].pixels);
    mem_free(a->custom);
    mem_free(a);
}

// Trims blank space from both ends in place.
static char *tex_trim(char *text) {
    while (*text && isspace((unsigned char)*text)) text++;
    size_t n = strlen(text);
    while (n > 0 && isspace((unsigned char)text[n - 1])) text[--n] = 0;
    return text;
}

static void tex_anim_frame_error(int frame) {
    char line[64];
    snprintf(line, sizeof line, "Error reading .seq frame %d", frame);
    console_print(line);
}

// Reads frame i into the animation; 0 with the message printed (or none, for a missing word).
static int tex_anim_read_frame(file_stream *s, texture_anim *a, int i) {
    char word[16];
    if (stream_scanf(s, "%15s", word) != 1) return 0;
    anim_frame &f = a->frames[i];
    f.channels = 4;
    if (strcmp(word, "J7") == 0) {
        if (!image_read_predictive(word, s, &f.pixels, &f.width, &f.height, 4)) {
            tex_anim_frame_error(i);
            return 0;
        }
    } else if (strcmp(word, "PNG") == 0) {
        char buffer[1026];
        if (!stream_read_line(s, buffer, sizeof buffer)) {
            console_print("EOF while reading .seq");
            return 0;
        }
        const char *png = tex_trim(buffer);
        if (!image_read_png(png, &f.pixels, &f.width, &f.height, &f.channels, nullptr)) {
            f.pixels = nullptr;
            char line[1000];
            snprintf(line, sizeof line, "Can't read %.900s", png);
            console_print(line);
            return 0;
        }
    } else {
        tex_anim_frame_error(i);
        return 0;
    }
    if (!image_fit_power_of_two(&f.pixels, &f.width, &f.height, f.channels, ANIM_FRAME_MAX_AREA, 0)) {
        tex_anim_frame_error(i);
        return 0;
    }
    return 1;
}

uint32_t tex_anim_load(file_stream *s, const char *name, int flags) {
    int S, F, period, loop;
    if (stream_scanf(s, "%d %d %d %d", &S, &F, &period, &loop) != 4) return 0;
    // Sizes, period and indexes are checked before anything is allocated or divided by.
    if (S < 1 || F < 1 || S > ANIM_SEQUENCE_MAX || F > ANIM_FRAMES_MAX || period < 1) {
        console_print("Bad .seq sequence");
        return 0;
    }
    size_t bytes = sizeof(texture_anim) + sizeof(anim_frame) * (size_t)F + sizeof(int32_t) * (size_t)S;
    texture_anim *a = (texture_anim *)mem_alloc_or_die(bytes);
    memset(a, 0, bytes);
    a->sequence_length = S;
    a->period = period;
    a->loop = loop;
    a->frames = (anim_frame *)(a + 1);
    a->sequence = (int32_t *)(a->frames + F);
    for (int i = 0; i < S; i++) {
        int index;
        if (stream_scanf(s, "%d ", &index) != 1) {
            tex_anim_free(a);
            return 0;
        }
        if (index < 0 || index >= F) {
            console_print("Bad .seq sequence");
            tex_anim_free(a);
            return 0;
        }
        a->sequence[i] = index;
    }
    for (int i = 0; i < F; i++) {
        a->frame_count = i + 1;  // frames so far, freed with the block on failure
        if (!tex_anim_read_frame(s, a, i)) {
            tex_anim_free(a);
            return 0;
        }
    }
    for (int i = 1; i < F; i++) {
        const anim_frame &f = a->frames[i], &first = a->frames[0];
        const char *mismatch = nullptr;
        if (f.width != first.width || f.height != first.height)
            mismatch = "Width/height mismatch reading .seq";
        else if (f.channels != first.channels)
            mismatch = "Depth mismatch reading .seq";
        if (mismatch) {
            console_print(mismatch);
            tex_anim_free(a);
            return 0;
        }
    }
    a->current_frame = a->sequence[0];
    const anim_frame &shown = a->frames[a->current_frame];
    a->gl_name = tex_upload(shown.pixels, shown.width, shown.height, shown.channels,
                            flags & (TEX_HREPEAT | TEX_VREPEAT));
    uint32_t gl_name = a->gl_name;
    (void)name;
    if (!plyx_array_append(&anim_table, &a)) tex_anim_free(a);
    return gl_name;
}

texture_anim *tex_anim_find(uint32_t gl_name) {
    texture_anim **items = (texture_anim **)anim_table.items;
    for (int i = 0; i < anim_table.count; i++)
        if (items[i]->gl_name == gl_name) return items[i];
    return nullptr;
}

int tex_anim_frame_at(const texture_anim *a, int32_t time) {
    int64_t elapsed = (int64_t)time - a->start_time;
    int64_t step = (elapsed > 0 ? elapsed : 0) / a->period;
    step = a->loop ? step % a->sequence_length
                   : (step < a->sequence_length - 1 ? step : a->sequence_length - 1);
    return a->sequence[step];
}

// Replaces every level of the animation's texture with a chain of frame 0's sides.
static void tex_anim_replace_levels(const texture_anim *a, const unsigned char *pixels) {
    const anim_frame &f = a->frames[0];
    GLenum format = f.channels == 4 ? GL_RGBA : GL_RGB;
    glBindTexture(GL_TEXTURE_2D, a->gl_name);
    int w = f.width, h = f.height;
    for (int level = 0;; level++) {
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, format, GL_UNSIGNED_BYTE, pixels);
        if (w == 1 && h == 1) break;
        pixels += (size_t)w * h * f.channels;
        w = w / 2 ? w / 2 : 1;
        h = h / 2 ? h / 2 : 1;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

int tex_update_anims(int32_t time) {
    if (time < 0) return anim_table.count;
    texture_anim **items = (texture_anim **)anim_table.items;
    for (int i = 0; i < anim_table.count; i++) {
        texture_anim *a = items[i];
        if (a->stopped) continue;
        int frame = tex_anim_frame_at(a, time);
        if (frame == a->current_frame) continue;
        tex_anim_replace_levels(a, a->frames[frame].pixels);
        a->current_frame = frame;
    }
    return anim_table.count;
}

void tex_anim_start(uint32_t gl_name, int32_t time) {
    if (texture_anim *a = tex_anim_find(gl_name)) {
        a->start_time = time;
        a->stopped = 0;
    }
}

void tex_anim_stop(uint32_t gl_name) {
    if (texture_anim *a = tex_anim_find(gl_name)) a->stopped = 1;
}

int tex_begin_custom_frame(uint32_t gl_name) {
    texture_anim *a = tex_anim_find(gl_name);
    if (!a) return 0;
    const anim_frame &f = a->frames[0];
    if (!a->custom) a->custom = (unsigned char *)mem_alloc_or_die(image_chain_bytes(f.width, f.height, f.channels));
    memset(a->custom, 0, (size_t)f.width * f.height * f.channels);
    return 1;
}

int tex_end_custom_frame(uint32_t gl_name) {
    texture_anim *a = tex_anim_find(gl_name);
    if (!a || !a->custom) return 0;
    const anim_frame &f = a->frames[0];
    image_build_mips(a->custom, f.width, f.height, f.channels, 0);
    tex_anim_replace_levels(a, a->custom);
    return 1;
}

uint32_t tex_link_load(file_stream *s, const char *name) {
    // Until the target is known the name leads to the white texture, so a chain of links back
    // to this name ends there instead of looping.
    texture_link link = {util_intern(name), util_intern(tex_white_name)};
    int slot = texture_link_table.count;
    if (!plyx_array_append(&texture_link_table, &link)) slot = -1;
    char buffer[1024];
    int n = stream_read(s, buffer, sizeof buffer - 1);
    buffer[n > 0 ? n : 0] = 0;
    stream_close(s);
    uint32_t result = tex_load(tex_trim(buffer));
    const char *target = result ? tex_name(result) : nullptr;
    if (target && slot >= 0)
        ((texture_link *)texture_link_table.items)[slot].target = util_intern(target);
    return result;
}
