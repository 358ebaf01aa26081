// The sound front end: one current driver, chosen at open, and every sound call forwarded to it.
#include "platform/plyx.h"
#include "platform/plyx_sound_internal.h"

static const sound_driver *sound_current_driver = nullptr;
static void *sound_current_handle = nullptr;

// Makes the driver current when its open gave a handle.
static void *sound_take(const sound_driver *driver, void *handle) {
    if (handle) {
        sound_current_driver = driver;
        sound_current_handle = handle;
    }
    return handle;
}

void *plyx_sound_open(window_context *w) {
    if (sound_current_driver) return nullptr;
    if (plyx_option_bool("dsnd", 1)) {
        void *h = sound_take(&plyx_dsound_driver, plyx_dsound_driver.open(w));
        if (h) return h;
    }
    if (plyx_option_bool("waveout", 1)) {
        void *h = sound_take(&plyx_waveout_driver, plyx_waveout_driver.open(w));
        if (h) return h;
    }
    return nullptr;
}

void *plyx_sound_open_readback(window_context *w, int rate, int frames) {
    if (sound_current_driver) return nullptr;
    return sound_take(&plyx_readback_driver, plyx_readback_driver.open_readback(w, rate, frames));
}

void plyx_sound_close(void *driver) {
    if (!sound_current_driver) return;
    const sound_driver *d = sound_current_driver;
    sound_current_driver = nullptr;
    sound_current_handle = nullptr;
    d->close(driver);
}

void *plyx_sound_current() {
    return sound_current_handle;
}

int plyx_sound_update(void *driver) {
    return sound_current_driver ? sound_current_driver->update(driver) : 0;
}

const unsigned char *plyx_sound_render(void *driver) {
    return sound_current_driver ? sound_current_driver->render(driver) : nullptr;
}

sound_object plyx_sound_create(void *driver, int bytes, const void *samples, int rate) {
    return sound_current_driver ? sound_current_driver->create(driver, bytes, samples, rate)
                                : nullptr;
}

sound_object plyx_sound_duplicate(sound_object s) {
    return sound_current_driver ? sound_current_driver->duplicate(s) : nullptr;
}

void plyx_sound_free(sound_object s) {
    if (sound_current_driver) sound_current_driver->free(s);
}

int plyx_sound_play(sound_object s) {
    return sound_current_driver ? sound_current_driver->play(s) : 0;
}

int plyx_sound_stop(sound_object s) {
    return sound_current_driver ? sound_current_driver->stop(s) : 0;
}

int plyx_sound_set_frequency(sound_object s, int hz) {
    return sound_current_driver ? sound_current_driver->set_frequency(s, hz) : 0;
}

int plyx_sound_set_volume(sound_object s, int volume) {
    return sound_current_driver ? sound_current_driver->set_volume(s, volume) : 0;
}

int plyx_sound_set_pan(sound_object s, int pan) {
    return sound_current_driver ? sound_current_driver->set_pan(s, pan) : 0;
}

int plyx_sound_set_loop(sound_object s, int flag) {
    return sound_current_driver ? sound_current_driver->set_loop(s, flag) : 0;
}

int plyx_sound_get_position(sound_object s) {
    return sound_current_driver ? sound_current_driver->get_position(s) : 0;
}

int plyx_sound_write_stream(sound_object s, int count, const void *bytes, int offset) {
    return sound_current_driver ? sound_current_driver->write_stream(s, count, bytes, offset) : 0;
}

int plyx_sound_device_samples(int rate) {
    int fragment = rate / 64;
    int p = 1;
    while (p * 2 <= fragment) p *= 2;
    // p <= fragment < 2p: take the nearer of the two.
    return (fragment - p <= 2 * p - fragment) ? p : 2 * p;
}
