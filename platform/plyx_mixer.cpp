// The software mixer of the waveout and readback drivers: voices in lists by loudness, mixed
// through 8-bit volume tables into integer sums, loudness changing only at zero crossings.
#include <cstdlib>
#include <cstring>

#include "platform/plyx_sound_internal.h"

// Process-wide: the playing voices by side (0 left, 1 right) and level, and the volume tables
// of levels 1..31 (level 0 is silent).
static mixer_voice *mixer_lists[2][MIXER_LEVELS];
static signed char mixer_tables[MIXER_LEVELS - 1][256];
static int mixer_ready = 0;

static void mixer_setup() {
    memset(mixer_lists, 0, sizeof mixer_lists);
    for (int level = 1; level < MIXER_LEVELS; level++) {
        for (int s = 0; s < 256; s++) {
            int d = s - 128;
            int magnitude = d < 0 ? -d : d;
            int v = magnitude == 0 ? 0 : level * (magnitude - 1) / 32;
            mixer_tables[level - 1][s] = (signed char)(d < 0 ? -v : v);
        }
    }
    mixer_ready = 1;
}

int plyx_mixer_table_value(int level, int byte) {
    if (!mixer_ready) mixer_setup();
    if (level < 1 || level >= MIXER_LEVELS || byte < 0 || byte > 255) return 0;
    return mixer_tables[level - 1][byte];
}

// ---- Sample blocks ------------------------------------------------------------------------------

sample_block *plyx_sample_block_new(int length) {
    if (length < 1) return nullptr;
    sample_block *b = (sample_block *)malloc(sizeof(sample_block) + (size_t)length);
    if (!b) return nullptr;
    b->reference_count = 1;
    b->length = length;
    b->bytes = (unsigned char *)(b + 1);
    return b;
}

void plyx_sample_block_release(sample_block *b) {
    if (b && --b->reference_count == 0) free(b);
}

int plyx_sample_block_write_ring(sample_block *b, int count, const void *bytes, int offset) {
    if (count < 0 || offset < 0 || (!bytes && count > 0)) return 0;
    int length = b->length;
    const unsigned char *in = (const unsigned char *)bytes;
    int at = offset % length;
    if (count > length) {
        in += count - length;
        at = (int)(((int64_t)at + count - length) % length);
        count = length;
    }
    int first = count < length - at ? count : length - at;
    memcpy(b->bytes + at, in, (size_t)first);
    memcpy(b->bytes, in + first, (size_t)(count - first));
    return 1;
}

// ---- Lists ------------------------------------------------------------------------------------

static void voice_link(mixer_voice *v, int side) {
    mixer_voice **head = &mixer_lists[side][v->level];
    v->prev = nullptr;
    v->next = *head;
    if (*head) (*head)->prev = v;
    *head = v;
}

static void voice_unlink(mixer_voice *v, int side) {
    if (v->prev)
        v->prev->next = v->next;
    else if (mixer_lists[side][v->level] == v)
        mixer_lists[side][v->level] = v->next;
    if (v->next) v->next->prev = v->prev;
    v->next = v->prev = nullptr;
}

static void sound_link(mixer_sound *s) {
    voice_link(&s->left, 0);
    if (s->flags & MIXER_STEREO) voice_link(&s->right, 1);
}

static void sound_unlink(mixer_sound *s) {
    voice_unlink(&s->left, 0);
    if (s->flags & MIXER_STEREO) voice_unlink(&s->right, 1);
}

void plyx_mixer_unlink_all() {
    if (!mixer_ready) return;
    for (int side = 0; side < 2; side++) {
        for (int level = 0; level < MIXER_LEVELS; level++) {
            while (mixer_voice *v = mixer_lists[side][level]) {
                mixer_sound *s = v->owner;
                if (side == 1 && !(s->flags & MIXER_STEREO)) {
                    voice_unlink(v, 1);
                    continue;
                }
                sound_unlink(s);
                s->flags &= (unsigned char)~(MIXER_LINKED | MIXER_RESTART | MIXER_FINISHED |
                                             MIXER_ENDED);
                s->left.mixed_level = s->right.mixed_level = 0;
            }
        }
    }
}

// ---- Sound operations ---------------------------------------------------------------------------

mixer_sound *plyx_mixer_create(const mixer_block *b, int bytes, const void *samples, int rate) {
    if (!mixer_ready) mixer_setup();
    if (bytes < 0 || rate < 0 || (!samples && bytes > 0) || b->output_rate < 1) return nullptr;
    // In 64 bits: the product overflows 32 bits for any real sound at a high output rate.
    int64_t n = rate == 0 ? bytes : (int64_t)bytes * b->output_rate / rate;
    if (n < 1 || n > MIXER_MAX_BYTES) return nullptr;

    sample_block *block = plyx_sample_block_new((int)n);
    mixer_sound *s = (mixer_sound *)calloc(1, sizeof(mixer_sound));
    if (!block || !s) {
        plyx_sample_block_release(block);
        free(s);
        return nullptr;
    }

    // Resample by picking: output byte k takes input byte floor(k x bytes / n).
    const unsigned char *in = (const unsigned char *)samples;
    int64_t step = bytes / n, error_step = bytes % n, error = 0, at = 0;
    for (int64_t k = 0; k < n; k++) {
        block->bytes[k] = in[at];
        at += step;
        error += error_step;
        if (error >= n) {
            error -= n;
            at++;
        }
    }

    s->left.owner = s->right.owner = s;
    s->left.position = s->right.position = block->bytes;
    s->rate = s->frequency = b->output_rate;
    s->flags = b->stereo ? MIXER_STEREO : 0;
    s->samples = block;
    plyx_mixer_set_volume(s, 0x7fff);
    plyx_mixer_set_pan(s, 0);
    plyx_mixer_set_loop(s, 0);
    return s;
}

mixer_sound *plyx_mixer_duplicate(mixer_sound *s) {
    mixer_sound *d = (mixer_sound *)malloc(sizeof(mixer_sound));
    if (!d) return nullptr;
    *d = *s;
    d->flags &= (unsigned char)~(MIXER_LINKED | MIXER_RESTART | MIXER_FINISHED | MIXER_ENDED);
    d->left.mixed_level = d->right.mixed_level = 0;
    d->left.next = d->left.prev = d->right.next = d->right.prev = nullptr;
    d->left.owner = d->right.owner = d;
    d->samples->reference_count++;
    return d;
}

void plyx_mixer_free(mixer_sound *s) {
    if (!s) return;
    if (s->flags & MIXER_LINKED) sound_unlink(s);
    plyx_sample_block_release(s->samples);
    free(s);
}

int plyx_mixer_play(mixer_sound *s) {
    s->flags &= (unsigned char)~MIXER_FINISHED;
    s->flags |= MIXER_RESTART;
    if (!(s->flags & MIXER_LINKED)) {
        s->flags |= MIXER_LINKED;
        sound_link(s);
    }
    return 1;
}

int plyx_mixer_stop(mixer_sound *s) {
    s->flags |= MIXER_FINISHED;
    return 1;
}

int plyx_mixer_set_frequency(mixer_sound *s, int hz) {
    s->frequency = hz < 1 ? 1 : hz;  // stepping divides by it
    return 1;
}

int plyx_mixer_set_volume(mixer_sound *s, int volume) {
    if (volume < 0) volume = 0;
    if (volume > 0x7fff) volume = 0x7fff;
    int linked = s->flags & MIXER_LINKED;
    if (linked) sound_unlink(s);
    s->volume = volume;
    s->left.level = (unsigned char)(((int64_t)(0x7fff - s->pan) * volume) >> 26);
    s->right.level = (unsigned char)(((int64_t)(s->pan + 0x8000) * volume) >> 26);
    if (linked) sound_link(s);
    return 1;
}

int plyx_mixer_set_pan(mixer_sound *s, int pan) {
    if (!(s->flags & MIXER_STEREO) || pan < -0x8000)
        s->pan = -0x8000;  // mono output: everything in the left voice
    else if (pan > 0x7fff)
        s->pan = 0x7fff;
    else
        s->pan = pan;
    return plyx_mixer_set_volume(s, s->volume);
}

int plyx_mixer_set_loop(mixer_sound *s, int flag) {
    if (flag & 1)
        s->flags |= MIXER_LOOP;
    else
        s->flags &= (unsigned char)~MIXER_LOOP;
    return 1;
}

int plyx_mixer_position(mixer_sound *s) {
    if (!(s->flags & MIXER_LINKED) || (s->flags & MIXER_RESTART)) return 0;
    return (int)(s->left.position - s->samples->bytes);
}

int plyx_mixer_write_stream(mixer_sound *s, int count, const void *bytes, int offset) {
    return plyx_sample_block_write_ring(s->samples, count, bytes, offset);
}

// ---- Mixing -------------------------------------------------------------------------------------

// Frames that can be stepped before the end of the samples; 0 or less: the end is reached.
static int64_t frames_available(const mixer_sound *s, const unsigned char *position) {
    const unsigned char *end = s->samples->bytes + s->samples->length;
    return (int64_t)(end - 1 - position) * s->rate / s->frequency;
}

// Per frame the position moves by whole bytes plus a 32-bit fraction whose carry adds one.
struct mixer_step {
    int64_t whole;
    uint32_t fraction;
};

static mixer_step step_of(const mixer_sound *s) {
    uint32_t per_rate = 0x80000000u / (uint32_t)s->rate;
    return {s->frequency / s->rate,
            (uint32_t)(2 * (uint64_t)(s->frequency % s->rate) * per_rate)};
}

static inline void step_voice(mixer_voice *v, mixer_step st) {
    uint32_t old = v->phase;
    v->phase += st.fraction;
    v->position += st.whole + (v->phase < old ? 1 : 0);
}

void plyx_mixer_mix_voice(mixer_voice *v, int *sums, int frames, int allowed) {
    mixer_sound *s = v->owner;
    unsigned char *start = s->samples->bytes;
    int length = s->samples->length;
    int loop = s->flags & MIXER_LOOP;
    int restart = s->flags & MIXER_RESTART;
    int target = (allowed && !(s->flags & MIXER_FINISHED)) ? v->level : 0;
    mixer_step st = step_of(s);
    int ended = 0;
    int i = 0;

    // Fade at the old level to the wave's next crossing of the middle value.
    if (v->mixed_level != 0 && (target != v->mixed_level || restart)) {
        const signed char *table = mixer_tables[v->mixed_level - 1];
        int64_t available = frames_available(s, v->position);
        unsigned char first = *v->position;
        while (i < frames && available > 0 && !((*v->position ^ first) & 0x80)) {
            sums[i++] += table[*v->position];
            step_voice(v, st);
            available--;
        }
        if (frames_available(s, v->position) <= 0) {
            v->position = start;
            v->phase = 0;
            if (!loop && !restart) ended = 1;  // a pending restart plays it again
        }
    }

    v->mixed_level = (unsigned char)target;
    if (restart) {
        v->position = start;
        v->phase = 0;
    }

    if ((s->flags & MIXER_FINISHED) || ended || i >= frames) {
        // Finished or full.
    } else if (target == 0) {
        // Silent: step the rest of the block at once.
        int64_t offset = (v->position - start) + (int64_t)(frames - i) * s->frequency / s->rate;
        v->phase = 0;
        if (offset >= length) {
            if (loop) {
                offset %= length;
            } else {
                offset = 0;
                ended = 1;
            }
        }
        v->position = start + offset;
    } else {
        const signed char *table = mixer_tables[target - 1];
        int wrapped = 0;
        while (i < frames) {
            int64_t available = frames_available(s, v->position);
            if (available <= 0) {
                // The run reached the end of the samples.
                v->position = start;
                if (!loop) {
                    v->phase = 0;
                    ended = 1;
                    break;
                }
                if (wrapped) break;  // nothing to play even from the start: never retried
                wrapped = 1;
                continue;
            }
            wrapped = 0;
            int run = (int64_t)(frames - i) < available ? frames - i : (int)available;
            if (s->frequency == s->rate) {
                const unsigned char *p = v->position;
                for (int k = 0; k < run; k++) sums[i + k] += table[p[k]];
                v->position += run;
            } else {
                for (int k = 0; k < run; k++) {
                    sums[i + k] += table[*v->position];
                    step_voice(v, st);
                }
            }
            i += run;
        }
    }

    if (v->position >= start + length) v->position = start;
    if (ended) {
        // Unlinked after this block; the other side still plays its own part of it.
        s->flags |= MIXER_ENDED;
        v->mixed_level = 0;
    }
}

static inline int clamp_sum(int sum, int lowest) {
    return sum < lowest ? lowest : sum > 127 ? 127 : sum;
}

void plyx_mixer_mix(mixer_block *b) {
    if (!mixer_ready) mixer_setup();
    int frames = b->frames;
    int stereo = b->stereo && b->right_sum;
    memset(b->left_sum, 0, sizeof(int) * (size_t)frames);
    if (stereo) memset(b->right_sum, 0, sizeof(int) * (size_t)frames);

    int budget = b->voice_limit;
    for (int level = MIXER_LEVELS - 1; level >= 0; level--) {
        mixer_voice *l = mixer_lists[0][level];
        mixer_voice *r = stereo ? mixer_lists[1][level] : nullptr;
        while (l || r) {
            if (l) {
                int allowed = budget >= 1 && level >= 1;
                if (allowed) budget--;
                plyx_mixer_mix_voice(l, b->left_sum, frames, allowed);
                l = l->next;
            }
            if (r) {
                int allowed = budget >= 1 && level >= 1;
                if (allowed) budget--;
                plyx_mixer_mix_voice(r, b->right_sum, frames, allowed);
                r = r->next;
            }
        }
    }

    for (int level = 0; level < MIXER_LEVELS; level++) {
        mixer_voice *next;
        for (mixer_voice *v = mixer_lists[0][level]; v; v = next) {
            next = v->next;
            mixer_sound *s = v->owner;
            s->flags &= (unsigned char)~MIXER_RESTART;
            s->right.position = s->left.position;
            s->right.phase = s->left.phase;
            if (s->flags & (MIXER_FINISHED | MIXER_ENDED)) {
                s->flags &= (unsigned char)~(MIXER_FINISHED | MIXER_ENDED | MIXER_LINKED);
                sound_unlink(s);
            }
        }
    }

    if (b->sixteen_bit) {
        int16_t *out = (int16_t *)b->output;
        for (int i = 0; i < frames; i++) {
            *out++ = (int16_t)(clamp_sum(b->left_sum[i], -127) * 256);
            if (stereo) *out++ = (int16_t)(clamp_sum(b->right_sum[i], -127) * 256);
        }
    } else {
        unsigned char *out = (unsigned char *)b->output;
        for (int i = 0; i < frames; i++) {
            *out++ = (unsigned char)(clamp_sum(b->left_sum[i], -128) + 128);
            if (stereo) *out++ = (unsigned char)(clamp_sum(b->right_sum[i], -128) + 128);
        }
    }
}
