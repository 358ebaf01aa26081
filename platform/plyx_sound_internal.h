// The sound drivers' own records: the software mixer, the three driver tables and their state.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/plyx.h"

// ---- Software mixer ---------------------------------------------------------------------------

// Sample bytes shared by a sound and its duplicates; freed with its last user. One allocation:
// the record, then the bytes.
struct sample_block {
    int reference_count;
    int length;               // bytes
    unsigned char *bytes;     // right after the record
};

// A block of length bytes (uninitialised) with one user, or null; the last release frees it.
sample_block *plyx_sample_block_new(int length);
void plyx_sample_block_release(sample_block *b);
// Writes count bytes into the block as a ring at offset: when count exceeds the length only the
// last length bytes, where the whole write would have left them. 1, or 0 for bad arguments.
int plyx_sample_block_write_ring(sample_block *b, int count, const void *bytes, int offset);

struct mixer_sound;

// One side of a sound.
struct mixer_voice {
    mixer_sound *owner;
    mixer_voice *next, *prev;  // links in the level list of its side
    unsigned char *position;   // next sample byte to read
    uint32_t phase;            // fraction of a byte already stepped past
    unsigned char level;       // 0..31 wanted, from volume and pan
    unsigned char mixed_level; // 0..31 at which it was last mixed
};

// The sound object of the mixing drivers.
struct mixer_sound {
    mixer_voice left, right;   // the right one only on stereo output
    int rate;                  // rate of the stored samples: the output rate
    int frequency;             // playback rate, at least 1
    int volume;                // 0..0x7fff
    int pan;                   // -0x8000..0x7fff
    unsigned char flags;       // MIXER_*
    sample_block *samples;
};

// What a driver hands to plyx_mixer_mix for one block.
struct mixer_block {
    void *output;              // frames x channels bytes (8-bit) or int16 values (16-bit)
    int *left_sum;             // one int per frame
    int *right_sum;            // one int per frame; null on mono output
    int voice_limit;           // "sound-channels"
    int stereo;
    int output_rate;           // Hz
    int frames;                // frames per block
    int sixteen_bit;           // 16-bit signed output instead of 8-bit unsigned
};

// Sound slots of the mixing drivers (the waveout driver wraps them in its mutex).
mixer_sound *plyx_mixer_create(const mixer_block *b, int bytes, const void *samples, int rate);
mixer_sound *plyx_mixer_duplicate(mixer_sound *s);
void plyx_mixer_free(mixer_sound *s);
int plyx_mixer_play(mixer_sound *s);
int plyx_mixer_stop(mixer_sound *s);
int plyx_mixer_set_frequency(mixer_sound *s, int hz);
int plyx_mixer_set_volume(mixer_sound *s, int volume);
int plyx_mixer_set_pan(mixer_sound *s, int pan);
int plyx_mixer_set_loop(mixer_sound *s, int flag);
int plyx_mixer_position(mixer_sound *s);
int plyx_mixer_write_stream(mixer_sound *s, int count, const void *bytes, int offset);

// Mixes one block of every linked voice into the block's output.
void plyx_mixer_mix(mixer_block *b);
// Mixes (allowed) or steps one voice over frames frames into sums.
void plyx_mixer_mix_voice(mixer_voice *v, int *sums, int frames, int allowed);
// Unlinks every playing sound (the level lists are process-wide): a closing driver leaves
// nothing for the next one to mix.
void plyx_mixer_unlink_all();
// The volume-table entry for a sample byte at a level (1..31); for tests.
int plyx_mixer_table_value(int level, int byte);

// Slots 6-15 of a mixing driver: the mixer operations, each under the driver's mutex when
// lock_of gives one.
template <mutex_handle (*lock_of)()>
struct mixer_slots {
    struct guard {
        mutex_handle m = lock_of();
        guard() { if (m) plyx_mutex_lock(m); }
        ~guard() { if (m) plyx_mutex_unlock(m); }
    };
    static sound_object duplicate(sound_object s) {
        guard g;
        return plyx_mixer_duplicate((mixer_sound *)s);
    }
    static void free_sound(sound_object s) {
        guard g;
        plyx_mixer_free((mixer_sound *)s);
    }
    static int play(sound_object s) {
        guard g;
        return plyx_mixer_play((mixer_sound *)s);
    }
    static int stop(sound_object s) {
        guard g;
        return plyx_mixer_stop((mixer_sound *)s);
    }
    static int set_frequency(sound_object s, int v) {
        guard g;
        return plyx_mixer_set_frequency((mixer_sound *)s, v);
    }
    static int set_volume(sound_object s, int v) {
        guard g;
        return plyx_mixer_set_volume((mixer_sound *)s, v);
    }
    static int set_pan(sound_object s, int v) {
        guard g;
        return plyx_mixer_set_pan((mixer_sound *)s, v);
    }
    static int set_loop(sound_object s, int v) {
        guard g;
        return plyx_mixer_set_loop((mixer_sound *)s, v);
    }
    static int position(sound_object s) {
        guard g;
        return plyx_mixer_position((mixer_sound *)s);
    }
    static int write_stream(sound_object s, int count, const void *bytes, int offset) {
        guard g;
        return plyx_mixer_write_stream((mixer_sound *)s, count, bytes, offset);
    }
};

constexpr unsigned char MIXER_LOOP = 1;
constexpr unsigned char MIXER_LINKED = 2;     // in the level lists: playing
constexpr unsigned char MIXER_STEREO = 4;     // the output is stereo
constexpr unsigned char MIXER_RESTART = 8;    // start from the beginning at the next block
constexpr unsigned char MIXER_FINISHED = 16;  // stopped: fade out and unlink in the next block
constexpr unsigned char MIXER_ENDED = 32;     // reached its end in this block: unlink after it

constexpr int MIXER_LEVELS = 32;
constexpr int MIXER_MAX_BYTES = 1 << 28;      // largest stored sound

// ---- Drivers ---------------------------------------------------------------------------------

// The three tables the front end chooses from. Plain tables, so tests can put fakes in slots.
extern sound_driver plyx_dsound_driver;
extern sound_driver plyx_waveout_driver;
extern sound_driver plyx_readback_driver;

// Rates a sound device accepts ("sound-rate"); outside them both device drivers refuse to open.
constexpr int SOUND_RATE_MIN = 8000;
constexpr int SOUND_RATE_MAX = 96000;

// Power of two nearest to rate / 64: the device's own buffer for a fragment of 1/64 s.
int plyx_sound_device_samples(int rate);

// ---- waveout ----------------------------------------------------------------------------------

// One per process; the driver handle points at it. Every field is cleared at open.
struct waveout_driver {
    SDL_AudioDeviceID device;       // 0 = not open
    int fragments_written;
    int mixahead;                   // 1..32 fragments kept queued
    std::atomic<int> thread_flags;  // WAVEOUT_ERROR, WAVEOUT_STOP
    unsigned char *memory;          // WAVEOUT_FRAGMENTS fragment buffers
    int fragment_bytes;
    int thread_running;
    std::thread *thread;            // made at open, joined and deleted at close
    mutex_handle mutex;
    mixer_block block;
    int subsystem;                  // SDL's audio subsystem started by this open
};

void *plyx_waveout_open(window_context *w);
void plyx_waveout_close(void *driver);
// "sound-mixahead" milliseconds as fragments of 1/64 s, 1..32.
int plyx_waveout_mixahead(int milliseconds);
// Test hook: when set before open, the device is never unpaused, so no fragment completes.
extern int plyx_waveout_hold_paused;

constexpr int WAVEOUT_FRAGMENTS = 64;
constexpr int WAVEOUT_ERROR = 1;
constexpr int WAVEOUT_STOP = 2;

// ---- dsnd: a buffer layer of ours over an SDL callback device ---------------------------------

struct dsound_driver;

// Our stand-in for a DirectSound buffer: its bytes are the sound's sample block.
struct dsound_buffer {
    dsound_driver *driver;          // null once the driver has closed
    dsound_buffer *next, *prev;     // the driver's list of buffers
    sample_block *samples;
    int frequency;                  // Hz
    int frequency_control;          // created with rate 0: frequency changes accepted
    int volume_mb;                  // millibels, -10000..0
    int pan_mb;                     // -10000 (left) .. 10000 (right)
    int gain_left, gain_right;      // 16.16 fixed point, from volume and pan
    int looping, playing;
    uint64_t cursor;                // byte index << 32 | fraction
};

struct dsound_driver {
    SDL_AudioDeviceID device;       // 0: the layer alone, with no device under it
    int rate;                       // output rate
    dsound_buffer *buffers;
    int subsystem;                  // SDL's audio subsystem started by this open
    int64_t accumulator[2 * 512];       // the callback's sums, one chunk of frames at a time
};

// The sound object of the dsnd driver.
struct dsound_sound {
    dsound_driver *driver;
    dsound_buffer *buffer;
    sample_block *samples;
    int volume;                     // 0x7fff at create
    int pan;                        // -0x7fff..0x7fff, 0 at create
    int flags;                      // bit 0: loop at the next play
};

void *plyx_dsound_open(window_context *w);
// A driver over no device, whose buffers are mixed only by plyx_dsound_mix; for tests.
dsound_driver *plyx_dsound_layer_new(int rate);
// Mixes frames stereo frames of every playing buffer into out (16-bit, left then right).
void plyx_dsound_mix(dsound_driver *d, int16_t *out, int frames);
// Linear amplitude 0..0x7fff as millibels, -10000..0.
int plyx_dsound_millibels(int amplitude);
// Sets the buffer's volume and pan from the sound's volume and pan: 1, or 0 when refused.
int plyx_dsound_apply_level(dsound_sound *s);

constexpr int DSOUND_DEFAULT_RATE = 22050;
constexpr int DSOUND_FREQUENCY_MIN = 100;
constexpr int DSOUND_FREQUENCY_MAX = 200000;
constexpr int DSOUND_MAX_BYTES = 0x0FFFFFFF;
constexpr int DSOUND_SILENCE_MB = -10000;

// ---- readback ----------------------------------------------------------------------------------

void *plyx_readback_open(window_context *w, int rate, int frames);
const unsigned char *plyx_readback_render(void *driver);

// The largest block the readback driver takes, in frames.
constexpr int READBACK_MAX_FRAMES = 1 << 20;
