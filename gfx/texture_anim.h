// Animated textures (ANIM1 ".seq" files), texture links (LINK files) and the custom frames
// that track scripts draw into animated textures.
#pragma once

#include <cstdint>

#include "core/stream.h"

struct anim_frame {
    int32_t width, height, channels;   // all frames have frame 0's
    unsigned char *pixels;             // owned mip chain
};

// One allocation: this header, then frame_count frames, then sequence_length indexes.
struct texture_anim {
    uint32_t gl_name;
    int32_t sequence_length;           // S, 1..ANIM_SEQUENCE_MAX
    int32_t frame_count;               // F, 1..ANIM_FRAMES_MAX
    int32_t current_frame;             // the frame now in the texture
    int32_t period;                    // ticks a step, at least 1
    int32_t loop;                      // 0: stop on the last step
    int32_t start_time;
    int32_t stopped;
    anim_frame *frames;
    unsigned char *custom;             // the custom frame's chain, made by the first begin
    int32_t *sequence;                 // frame indexes, each 0..F-1
};

// The loaders tex_load calls with the stream just past the word "ANIM1" or "LINK".
// The animation's GL texture, or 0 (messages printed, nothing kept).
uint32_t tex_anim_load(file_stream *s, const char *name, int flags);
// Reads the target, closes the stream and loads the target; its GL name or 0.
uint32_t tex_link_load(file_stream *s, const char *name);

// Advances every running animation to time; the number of animations.
int tex_update_anims(int32_t time);
void tex_anim_start(uint32_t gl_name, int32_t time);
void tex_anim_stop(uint32_t gl_name);
texture_anim *tex_anim_find(uint32_t gl_name);
void tex_anim_free(texture_anim *a);
// The frame an animation shows at time.
int tex_anim_frame_at(const texture_anim *a, int32_t time);

int tex_begin_custom_frame(uint32_t gl_name);
int tex_paste_custom_frame(uint32_t gl_name, int frame_index, float src_x, float src_y,
                           float dst_x, float dst_y, float width, float height);
int tex_end_custom_frame(uint32_t gl_name);

// A paste rectangle on frames of W x H: the six fractions to pixel positions and counts, then
// clipped to both frames. 1 when a non-empty rectangle remains.
struct paste_rect {
    int src_x, src_y, dst_x, dst_y, width, height;
};
int tex_paste_clip(int frame_width, int frame_height, const float fractions[6], paste_rect *out);
// One RGBA pixel of the source over the destination.
void tex_composite_rgba(unsigned char *dst, const unsigned char *src);

constexpr long ANIM_FRAME_MAX_AREA = 65536;
constexpr int ANIM_SEQUENCE_MAX = 65536;
constexpr int ANIM_FRAMES_MAX = 256;
constexpr float ANIM_PASTE_LIMIT = 1000.0f;   // largest fraction a paste accepts, in frame sides
