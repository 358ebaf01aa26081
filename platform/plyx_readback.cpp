// The readback driver: the software mixer rendering one block whenever the caller asks, for
// recording the game's audio to a file.
#include <cstdlib>

#include "platform/plyx_sound_internal.h"

static mutex_handle readback_lock() {
    return nullptr;  // everything runs on the main thread
}
using readback_slots = mixer_slots<readback_lock>;

// The handle: the block, followed in the same allocation by the left sums, the right sums and
// the output (8-bit, left then right).
void *plyx_readback_open(window_context *w, int rate, int frames) {
    plyx_log("Opening readback audio...\n");
    if (rate < 1 || frames < 1 || frames > READBACK_MAX_FRAMES) {
        plyx_log("Can't open readback audio at %d Hz, %d frames\n", rate, frames);
        return nullptr;
    }
    mixer_block *b = (mixer_block *)malloc(sizeof(mixer_block) + (size_t)frames * 10);
    if (!b) {
        plyx_log("Malloc failed\n");
        return nullptr;
    }
    b->left_sum = (int *)(b + 1);
    b->right_sum = b->left_sum + frames;
    b->output = b->right_sum + frames;
    b->voice_limit = plyx_option_int("sound-channels", 16);
    b->stereo = 1;
    b->output_rate = rate;
    b->frames = frames;
    b->sixteen_bit = 0;
    plyx_log("Audio opened!\n");
    return b;
}

const unsigned char *plyx_readback_render(void *driver) {
    mixer_block *b = (mixer_block *)driver;
    plyx_mixer_mix(b);
    return (const unsigned char *)b->output;
}

static void *readback_open(window_context *) {
    return nullptr;
}

static void readback_close(void *driver) {
    plyx_mixer_unlink_all();
    free(driver);
}

static int readback_update(void *) {
    return 1;
}

static sound_object readback_create(void *driver, int bytes, const void *samples, int rate) {
    return plyx_mixer_create((const mixer_block *)driver, bytes, samples, rate);
}

sound_driver plyx_readback_driver = {
    readback_open,
    plyx_readback_open,
    readback_close,
    readback_update,
    plyx_readback_render,
    readback_create,
    readback_slots::duplicate,
    readback_slots::free_sound,
    readback_slots::play,
    readback_slots::stop,
    readback_slots::set_frequency,
    readback_slots::set_volume,
    readback_slots::set_pan,
    readback_slots::set_loop,
    readback_slots::position,
    readback_slots::write_stream,
};
