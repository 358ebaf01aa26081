// The waveout driver: our own audio thread mixes fragments of 1/64 s and queues them to an SDL
// audio device, keeping "sound-mixahead" of them ahead of the speakers.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "platform/plyx_sound_internal.h"

static waveout_driver waveout_state;
int plyx_waveout_hold_paused = 0;

static mutex_handle waveout_lock() {
    return waveout_state.mutex;
}
using waveout_slots = mixer_slots<waveout_lock>;

int plyx_waveout_mixahead(int milliseconds) {
    int64_t fragments = (int64_t)milliseconds * 64 / 1000;
    return fragments < 1 ? 1 : fragments > 32 ? 32 : (int)fragments;
}

// Waits until the device has played the fragment queued mixahead fragments ago. Polls every
// 15 ms; after about a second it clears the device's queue and says so. A stop request ends
// the wait at the next poll.
static void waveout_wait(waveout_driver *d) {
    Uint32 ready = (Uint32)((d->mixahead - 1) * d->fragment_bytes);
    int budget = 985;
    while (SDL_GetQueuedAudioSize(d->device) > ready) {
        if (d->thread_flags.load() & WAVEOUT_STOP) return;
        SDL_Delay(15);
        budget -= 15;
        if (budget < 0) {
            SDL_ClearQueuedAudio(d->device);
            plyx_log("Audio thread: Timeout on fragment %d\n", d->fragments_written);
            budget += 1000;
        }
    }
}

static void waveout_thread(waveout_driver *d) {
    plyx_log("Audio thread begin\n");
    int b = 0;
    while (!(d->thread_flags.load() & WAVEOUT_STOP)) {
        if (d->fragments_written < INT_MAX) d->fragments_written++;  // a year and more of sound
        unsigned char *fragment = d->memory + (size_t)b * (size_t)d->fragment_bytes;
        d->block.output = fragment;
        plyx_mutex_lock(d->mutex);
        plyx_mixer_mix(&d->block);
        plyx_mutex_unlock(d->mutex);
        if (SDL_QueueAudio(d->device, fragment, (Uint32)d->fragment_bytes) != 0) {
            plyx_log("Audio thread: Write error\n");
            d->thread_flags.fetch_or(WAVEOUT_ERROR);
        }
        b = (b + 1) % WAVEOUT_FRAGMENTS;
        if (d->fragments_written == d->mixahead && !plyx_waveout_hold_paused)
            SDL_PauseAudioDevice(d->device, 0);
        if (d->fragments_written >= d->mixahead) waveout_wait(d);
    }
    plyx_log("Audio thread end\n");
    d->thread_flags.fetch_and(~WAVEOUT_STOP);
}

// Undoes a failed open, logging the step that failed.
static void *waveout_fail(const char *message) {
    plyx_log("%s", message);
    plyx_waveout_close(&waveout_state);
    return nullptr;
}

void *plyx_waveout_open(window_context *w) {
    waveout_driver *d = &waveout_state;
    plyx_log("Opening waveOut audio...\n");
    if (d->device) {
        plyx_log("Audio already open\n");
        return nullptr;
    }
    d->fragments_written = 0;
    d->thread_flags.store(0);
    d->memory = nullptr;
    d->thread_running = 0;
    d->thread = nullptr;
    d->mutex = nullptr;
    d->block = mixer_block{};
    d->subsystem = 0;

    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        plyx_log("No audio device\n");
        return nullptr;
    }
    d->subsystem = 1;
    const char *name = SDL_GetCurrentAudioDriver();
    plyx_log("Found a %s\n", name ? name : "sound device");

    d->block.voice_limit = plyx_option_int("sound-channels", 16);
    d->block.output_rate = plyx_option_int("sound-rate", 22050);
    d->block.frames = d->block.output_rate / 64;
    d->mixahead = plyx_waveout_mixahead(plyx_option_int("sound-mixahead", 125));
    d->block.stereo = 1;  // SDL converts for a mono device
    d->block.sixteen_bit = 0;
    plyx_log("Waveout rate: %d\n", d->block.output_rate);
    plyx_log("Waveout channels: %d\n", d->block.voice_limit);
    plyx_log("Waveout mixahead: %d\n", d->mixahead * 1000 / 64);

    int rate = d->block.output_rate;
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_U8;
    want.channels = 2;
    want.samples = (Uint16)plyx_sound_device_samples(rate);
    if (rate < SOUND_RATE_MIN || rate > SOUND_RATE_MAX ||
        !(d->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0))) {
        plyx_log("Can't open waveOut\n");
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        d->subsystem = 0;
        return nullptr;
    }

    d->fragment_bytes = d->block.frames * 2;
    d->memory = (unsigned char *)calloc(WAVEOUT_FRAGMENTS, (size_t)d->fragment_bytes);
    if (!d->memory) return waveout_fail("GlobalAlloc() failed\n");
    d->block.left_sum = (int *)malloc(sizeof(int) * 2 * (size_t)d->block.frames);
    if (!d->block.left_sum) return waveout_fail("malloc() failed\n");
    d->block.right_sum = d->block.left_sum + d->block.frames;
    d->mutex = plyx_mutex_create();
    if (!d->mutex) return waveout_fail("Can't create mutex\n");
    d->thread_running = 1;  // before the thread starts, so close always joins it
    try {
        d->thread = new std::thread(waveout_thread, d);
    } catch (const std::exception &) {
        d->thread_running = 0;
        return waveout_fail("Can't create thread\n");
    }
    plyx_log("Audio opened!\n");
    return d;
}

void plyx_waveout_close(void *driver) {
    waveout_driver *d = (waveout_driver *)driver;
    if (!d || !d->device) {
        plyx_log("Can't close audio, not open\n");
        return;
    }
    plyx_log("Closing audio\n");
    if (d->thread_running) {
        d->thread_flags.fetch_or(WAVEOUT_STOP);
        d->thread->join();  // within one 15 ms wait and one fragment's mix
        delete d->thread;
        d->thread = nullptr;
        d->thread_running = 0;
    }
    plyx_mixer_unlink_all();
    plyx_mutex_destroy(d->mutex);
    d->mutex = nullptr;
    SDL_ClearQueuedAudio(d->device);
    SDL_CloseAudioDevice(d->device);
    d->device = 0;
    free(d->memory);
    d->memory = nullptr;
    free(d->block.left_sum);
    d->block.left_sum = d->block.right_sum = nullptr;
    if (d->subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    d->subsystem = 0;
}

static void *waveout_open_readback(window_context *, int, int) {
    return nullptr;
}

static int waveout_update(void *) {
    return 1;
}

static const unsigned char *waveout_render(void *) {
    return nullptr;
}

static sound_object waveout_create(void *driver, int bytes, const void *samples, int rate) {
    waveout_driver *d = (waveout_driver *)driver;
    plyx_mutex_lock(d->mutex);
    mixer_sound *s = plyx_mixer_create(&d->block, bytes, samples, rate);
    plyx_mutex_unlock(d->mutex);
    return s;
}

sound_driver plyx_waveout_driver = {
    plyx_waveout_open,
    waveout_open_readback,
    plyx_waveout_close,
    waveout_update,
    waveout_render,
    waveout_create,
    waveout_slots::duplicate,
    waveout_slots::free_sound,
    waveout_slots::play,
    waveout_slots::stop,
    waveout_slots::set_frequency,
    waveout_slots::set_volume,
    waveout_slots::set_pan,
    waveout_slots::set_loop,
    waveout_slots::position,
    waveout_slots::write_stream,
};
