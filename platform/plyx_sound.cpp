// The sound front end: one current driver, chosen at open, and every sound call forwarded to it.
// Each sound remembers the driver open that made it: a sound of another or a closed driver is
// refused, so no driver is ever handed a record of another kind.
#include <unordered_map>

#include "platform/plyx.h"
#include "platform/plyx_sound_internal.h"

static const sound_driver *sound_current_driver = nullptr;
static void *sound_current_handle = nullptr;
static unsigned sound_session = 0;  // raised by every open that gives a handle

// Which driver table made a sound, under which open.
struct sound_owner {
    const sound_driver *driver;
    unsigned session;
};
static std::unordered_map<sound_object, sound_owner> sound_owners;

// Makes the driver current when its open gave a handle.
static void *sound_take(const sound_driver *driver, void *handle) {
    if (handle) {
        sound_current_driver = driver;
        sound_current_handle = handle;
        sound_session++;
    }
    return handle;
}

// The current driver when it made the sound under its present open, else null.
static const sound_driver *sound_driver_of(sound_object s) {
    auto it = sound_owners.find(s);
    if (it == sound_owners.end() || !sound_current_driver) return nullptr;
    const sound_owner &o = it->second;
    return o.driver == sound_current_driver && o.session == sound_session ? o.driver : nullptr;
}

// A new sound of the current driver is recorded as its own.
static sound_object sound_register(sound_object s) {
    if (s) sound_owners[s] = {sound_current_driver, sound_session};
    return s;
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
    if (!sound_current_driver) return nullptr;
    return sound_register(sound_current_driver->create(driver, bytes, samples, rate));
}

sound_object plyx_sound_duplicate(sound_object s) {
    const sound_driver *d = sound_driver_of(s);
    return d ? sound_register(d->duplicate(s)) : nullptr;
}

// A sound of a closed driver goes back to the table that made it, which keeps its sounds
// freeable after its close; the current driver never sees it.
void plyx_sound_free(sound_object s) {
    auto it = sound_owners.find(s);
    if (it == sound_owners.end()) return;
    const sound_driver *maker = it->second.driver;
    sound_owners.erase(it);
    maker->free(s);
}

int plyx_sound_play(sound_object s) {
    const sound_driver *d = sound_driver_of(s);
    return d ? d->play(s) : 0;
}

int plyx_sound_stop(sound_object s) {
    const sound_driver *d = sound_driver_of(s);
    return d ? d->stop(s) : 0;
}

int plyx_sound_set_frequency(sound_object s, int hz) {
    const sound_driver *d = sound_driver_of(s);
    return d ? d->set_frequency(s, hz) : 0;
}

int plyx_sound_set_volume(sound_object s, int volume) {
    const sound_driver *d = sound_driver_of(s);
    return d ? d->set_volume(s, volume) : 0;
}

int plyx_sound_set_pan(sound_object s, int pan) {
    const sound_driver *d = sound_driver_of(s);
    return d ? d->set_pan(s, pan) : 0;
}

int plyx_sound_set_loop(sound_object s, int flag) {
    const sound_driver *d = sound_driver_of(s);
    return d ? d->set_loop(s, flag) : 0;
}

int plyx_sound_get_position(sound_object s) {
    const sound_driver *d = sound_driver_of(s);
    return d ? d->get_position(s) : 0;
}

int plyx_sound_write_stream(sound_object s, int count, const void *bytes, int offset) {
    const sound_driver *d = sound_driver_of(s);
    return d ? d->write_stream(s, count, bytes, offset) : 0;
}

int plyx_sound_device_samples(int rate) {
    int fragment = rate / 64;
    int p = 1;
    while (p * 2 <= fragment) p *= 2;
    // p <= fragment < 2p: take the nearer of the two.
    return (fragment - p <= 2 * p - fragment) ? p : 2 * p;
}
