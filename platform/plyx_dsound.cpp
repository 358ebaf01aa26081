// The dsnd driver: a buffer per sound, each with its own frequency, volume, pan, loop and
// cursor, mixed by an SDL callback device.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/plyx_sound_internal.h"

// ---- The buffer layer ---------------------------------------------------------------------------

// Changes from the main thread are made under the device's lock, never inside the callback.
static void layer_lock(dsound_driver *d) {
    if (d && d->device) SDL_LockAudioDevice(d->device);
}

static void layer_unlock(dsound_driver *d) {
    if (d && d->device) SDL_UnlockAudioDevice(d->device);
}

static int gain_of(int millibels) {
    if (millibels <= DSOUND_SILENCE_MB) return 0;
    return (int)lround(65536.0 * pow(10.0, millibels / 2000.0));
}

// Volume lowers both sides; a pan to the right lowers the left side, to the left the right.
static void buffer_set_gains(dsound_buffer *b) {
    int left = b->volume_mb - (b->pan_mb > 0 ? b->pan_mb : 0);
    int right = b->volume_mb - (b->pan_mb < 0 ? -b->pan_mb : 0);
    int gl = gain_of(left), gr = gain_of(right);
    layer_lock(b->driver);
    b->gain_left = gl;
    b->gain_right = gr;
    layer_unlock(b->driver);
}

static dsound_buffer *buffer_new(dsound_driver *d, sample_block *samples, int frequency,
                                 int frequency_control) {
    dsound_buffer *b = (dsound_buffer *)calloc(1, sizeof(dsound_buffer));
    if (!b) return nullptr;
    b->driver = d;
    b->samples = samples;
    b->frequency = frequency;
    b->frequency_control = frequency_control;
    b->gain_left = b->gain_right = 65536;  // a new buffer plays at full volume, centred
    layer_lock(d);
    b->next = d->buffers;
    if (d->buffers) d->buffers->prev = b;
    d->buffers = b;
    layer_unlock(d);
    return b;
}

static void buffer_release(dsound_buffer *b) {
    dsound_driver *d = b->driver;
    if (d) {
        layer_lock(d);
        if (b->prev)
            b->prev->next = b->next;
        else
            d->buffers = b->next;
        if (b->next) b->next->prev = b->prev;
        layer_unlock(d);
    }
    free(b);
}

// Adds one buffer's frames into the sums, stepping by frequency / rate in 32.32 fixed point.
static void buffer_mix(dsound_buffer *b, int rate, int64_t *sums, int frames) {
    const unsigned char *bytes = b->samples->bytes;
    uint64_t end = (uint64_t)b->samples->length << 32;
    uint64_t step = ((uint64_t)b->frequency << 32) / (uint64_t)rate;
    int gl = b->gain_left, gr = b->gain_right;
    for (int i = 0; i < frames; i++) {
        if (b->cursor >= end) {
            if (!b->looping) {
                b->playing = 0;
                b->cursor = 0;
                return;
            }
            b->cursor %= end;
        }
        int64_t d = bytes[b->cursor >> 32] - 128;
        sums[2 * i] += d * gl;
        sums[2 * i + 1] += d * gr;
        b->cursor += step;
    }
}

void plyx_dsound_mix(dsound_driver *d, int16_t *out, int frames) {
    const int chunk = (int)(sizeof d->accumulator / sizeof d->accumulator[0] / 2);
    while (frames > 0) {
        int n = frames < chunk ? frames : chunk;
        memset(d->accumulator, 0, sizeof(d->accumulator[0]) * 2 * (size_t)n);
        for (dsound_buffer *b = d->buffers; b; b = b->next)
            if (b->playing) buffer_mix(b, d->rate, d->accumulator, n);
        for (int i = 0; i < 2 * n; i++) {
            // Gains are 16.16 and a byte's swing is 8 bits: >> 8 gives 16-bit samples.
            int64_t v = d->accumulator[i] >> 8;
            out[i] = (int16_t)(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
        }
        out += 2 * n;
        frames -= n;
    }
}

static void SDLCALL dsound_callback(void *userdata, Uint8 *stream, int len) {
    plyx_dsound_mix((dsound_driver *)userdata, (int16_t *)stream, len / 4);
}

// ---- Levels -------------------------------------------------------------------------------------

static short millibel_table[1025];
static int millibel_ready = 0;

int plyx_dsound_millibels(int amplitude) {
    if (!millibel_ready) {
        millibel_table[0] = DSOUND_SILENCE_MB;
        for (int k = 1; k < 1024; k++)
            millibel_table[k] = (short)(2000.0 * log10(k / 1024.0 * 100000.0) - 10000.0);
        millibel_table[1024] = 0;
        millibel_ready = 1;
    }
    if (amplitude < 0) return DSOUND_SILENCE_MB;
    if (amplitude > 0x7fff) return 0;
    int i = amplitude >> 5;
    int slope = millibel_table[i + 1] - millibel_table[i];
    return millibel_table[i] + ((slope * (amplitude & 31)) >> 5);
}

int plyx_dsound_apply_level(dsound_sound *s) {
    int pan, q;
    if (s->pan < 0) {
        pan = plyx_dsound_millibels(0x7fff + s->pan);
        q = -s->pan;
    } else {
        pan = -plyx_dsound_millibels(0x7fff - s->pan);
        q = s->pan;
    }
    int64_t amplitude = (int64_t)s->volume * (q / 2 + 0x4000) / 0x8000;  // volume is any int
    if (amplitude > 0x8000) amplitude = 0x8000;
    if (amplitude < -1) amplitude = -1;
    int volume = plyx_dsound_millibels((int)amplitude);
    // Both lie within what a buffer accepts (-10000..0 and -10000..10000).
    s->buffer->volume_mb = volume;
    s->buffer->pan_mb = pan;
    buffer_set_gains(s->buffer);
    return 1;
}

// ---- Driver and sound slots ---------------------------------------------------------------------

dsound_driver *plyx_dsound_layer_new(int rate) {
    dsound_driver *d = (dsound_driver *)calloc(1, sizeof(dsound_driver));
    if (d) d->rate = rate;
    return d;
}

void *plyx_dsound_open(window_context *w) {
    int rate = plyx_option_int("sound-rate", 22050);
    if (rate < SOUND_RATE_MIN || rate > SOUND_RATE_MAX) return nullptr;
    dsound_driver *d = plyx_dsound_layer_new(rate);
    if (!d) return nullptr;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        free(d);
        return nullptr;
    }
    d->subsystem = 1;
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = (Uint16)plyx_sound_device_samples(rate);
    want.callback = dsound_callback;
    want.userdata = d;
    d->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!d->device) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        free(d);
        return nullptr;
    }
    SDL_PauseAudioDevice(d->device, 0);
    return d;
}

static void dsound_close(void *driver) {
    dsound_driver *d = (dsound_driver *)driver;
    if (d->device) SDL_CloseAudioDevice(d->device);  // the callback has returned for good
    // Sounds outlive the driver: their buffers go quiet and belong to no driver any more.
    for (dsound_buffer *b = d->buffers, *next; b; b = next) {
        next = b->next;
        b->driver = nullptr;
        b->next = b->prev = nullptr;
        b->playing = 0;
    }
    if (d->subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    free(d);
}

static void *dsound_open_readback(window_context *, int, int) {
    return nullptr;
}

static int dsound_update(void *) {
    return 1;
}

static const unsigned char *dsound_render(void *) {
    return nullptr;
}

static sound_object dsound_create(void *driver, int bytes, const void *samples, int rate) {
    dsound_driver *d = (dsound_driver *)driver;
    if (bytes < 1 || bytes > DSOUND_MAX_BYTES || !samples) return nullptr;
    int frequency = rate == 0 ? DSOUND_DEFAULT_RATE : rate;
    if (frequency < DSOUND_FREQUENCY_MIN || frequency > DSOUND_FREQUENCY_MAX) return nullptr;
    dsound_sound *s = (dsound_sound *)calloc(1, sizeof(dsound_sound));
    sample_block *block = plyx_sample_block_new(bytes);
    if (!s || !block) {
        free(s);
        plyx_sample_block_release(block);
        return nullptr;
    }
    memcpy(block->bytes, samples, (size_t)bytes);
    s->buffer = buffer_new(d, block, frequency, rate == 0);
    if (!s->buffer) {
        free(s);
        plyx_sample_block_release(block);
        return nullptr;
    }
    s->driver = d;
    s->samples = block;
    s->volume = 0x7fff;
    s->pan = 0;
    return s;
}

static sound_object dsound_duplicate(sound_object o) {
    dsound_sound *s = (dsound_sound *)o;
    dsound_sound *c = (dsound_sound *)calloc(1, sizeof(dsound_sound));
    if (!c) return nullptr;
    dsound_buffer *from = s->buffer;
    c->buffer = from->driver ? buffer_new(from->driver, s->samples, from->frequency,
                                          from->frequency_control)
                             : nullptr;
    if (!c->buffer) {
        free(c);
        return nullptr;
    }
    // The copy sounds as the original does, and its record says so.
    c->buffer->volume_mb = from->volume_mb;
    c->buffer->pan_mb = from->pan_mb;
    buffer_set_gains(c->buffer);
    c->driver = s->driver;
    c->samples = s->samples;
    c->samples->reference_count++;
    c->volume = s->volume;
    c->pan = s->pan;
    c->flags = s->flags;
    return c;
}

static void dsound_free(sound_object o) {
    dsound_sound *s = (dsound_sound *)o;
    if (!s) return;
    buffer_release(s->buffer);
    plyx_sample_block_release(s->samples);
    free(s);
}

static int dsound_play(sound_object o) {
    dsound_sound *s = (dsound_sound *)o;
    dsound_buffer *b = s->buffer;
    if (!b->driver) return 0;
    layer_lock(b->driver);
    b->cursor = 0;
    b->looping = s->flags & 1;
    b->playing = 1;
    layer_unlock(b->driver);
    return 1;
}

static int dsound_stop(sound_object o) {
    dsound_buffer *b = ((dsound_sound *)o)->buffer;
    layer_lock(b->driver);
    b->playing = 0;
    layer_unlock(b->driver);
    return 1;
}

static int dsound_set_frequency(sound_object o, int hz) {
    dsound_buffer *b = ((dsound_sound *)o)->buffer;
    if (!b->frequency_control || hz < DSOUND_FREQUENCY_MIN || hz > DSOUND_FREQUENCY_MAX) return 0;
    layer_lock(b->driver);
    b->frequency = hz;
    layer_unlock(b->driver);
    return 1;
}

static int dsound_set_volume(sound_object o, int volume) {
    dsound_sound *s = (dsound_sound *)o;
    s->volume = volume;
    return plyx_dsound_apply_level(s);
}

static int dsound_set_pan(sound_object o, int pan) {
    dsound_sound *s = (dsound_sound *)o;
    s->pan = pan < -0x7fff ? -0x7fff : pan > 0x7fff ? 0x7fff : pan;
    return plyx_dsound_apply_level(s);
}

static int dsound_set_loop(sound_object o, int flag) {
    dsound_sound *s = (dsound_sound *)o;
    s->flags = flag ? 1 : 0;
    return 1;
}

// The next byte the device mixes; 0 for a stopped buffer.
static int dsound_position(sound_object o) {
    dsound_buffer *b = ((dsound_sound *)o)->buffer;
    layer_lock(b->driver);
    int position = b->playing ? (int)(b->cursor >> 32) : 0;
    layer_unlock(b->driver);
    return position;
}

// The buffer's bytes are the sample block: anything from the next byte mixed on may change.
static int dsound_write_stream(sound_object o, int count, const void *bytes, int offset) {
    dsound_sound *s = (dsound_sound *)o;
    layer_lock(s->buffer->driver);
    int done = plyx_sample_block_write_ring(s->samples, count, bytes, offset);
    layer_unlock(s->buffer->driver);
    return done;
}

sound_driver plyx_dsound_driver = {
    plyx_dsound_open,
    dsound_open_readback,
    dsound_close,
    dsound_update,
    dsound_render,
    dsound_create,
    dsound_duplicate,
    dsound_free,
    dsound_play,
    dsound_stop,
    dsound_set_frequency,
    dsound_set_volume,
    dsound_set_pan,
    dsound_set_loop,
    dsound_position,
    dsound_write_stream,
};
