// The track script's sounds: up to 256 rows loaded from raw sample files, placed and moved by
// the script, freed when the script unloads.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/mem.h"
#include "core/stream.h"
#include "core/util.h"
#include "core/vfs.h"
#include "present/game_sound.h"

script_sound script_sound_rows[SCRIPT_SOUND_ROWS];
int script_sound_count = 0;

static script_sound *row_at(int n) {
    return n >= 0 && n < script_sound_count ? &script_sound_rows[n] : nullptr;
}

// The file's 16-bit samples as 8-bit unsigned ones (high byte + 128); null when it is missing,
// empty or larger than SCRIPT_SOUND_FILE_MAX bytes.
static unsigned char *read_sound_file(const char *name, int *count) {
    file_stream *s = stream_open(name, "rb");
    if (!s) return nullptr;
    int capacity = 4096, n = 0;
    unsigned char *bytes = (unsigned char *)mem_alloc((size_t)capacity);
    unsigned char block[8192];
    bool failed = bytes == nullptr, too_large = false;
    int read = 0;
    while (!failed) {
        int got = stream_read(s, block, (int)sizeof block);
        if (got <= 0) break;
        if (read + got > SCRIPT_SOUND_FILE_MAX) {
            too_large = failed = true;
            break;
        }
        read += got;
        for (int i = 1; i < got; i += 2) {
            if (n == capacity) {
                unsigned char *grown = (unsigned char *)mem_realloc(bytes, (size_t)capacity * 2);
                if (!grown) {
                    failed = true;
                    break;
                }
                bytes = grown;
                capacity *= 2;
            }
            bytes[n++] = (unsigned char)(block[i] + 128);
        }
        if (got & 1) break;  // an odd last byte ends the samples
    }
    stream_close(s);
    if (too_large) {
        char text[1000];
        snprintf(text, sizeof text, "Warning: sound file '%.900s' too large", name);
        console_print(text);
    }
    if (failed || n == 0) {
        mem_free(bytes);
        return nullptr;
    }
    *count = n;
    return bytes;
}

int sound_add(const char *name) {
    if (script_sound_count >= SCRIPT_SOUND_ROWS || !name) return -1;
    sound_object sound = nullptr;
    for (int i = 0; i < script_sound_count && !sound; i++)
        if (strcmp(script_sound_rows[i].name, name) == 0)
            sound = plyx_sound_duplicate(script_sound_rows[i].sound);
    if (!sound) {
        void *device = plyx_sound_current();
        if (!device) return -1;
        int count = 0;
        unsigned char *bytes = read_sound_file(name, &count);
        if (!bytes) return -1;
        sound = plyx_sound_create(device, count, bytes, 0);
        mem_free(bytes);
    }
    if (!sound) return -1;
    script_sound &r = script_sound_rows[script_sound_count];
    r = {};
    r.sound = sound;
    r.name = util_intern(name);
    plyx_sound_set_loop(sound, 0);
    plyx_sound_set_volume(sound, 0);
    return script_sound_count++;
}

int sound_start(int n) {
    script_sound *r = row_at(n);
    return r ? plyx_sound_play(r->sound) : 0;
}

int sound_stop(int n) {
    script_sound *r = row_at(n);
    return r ? plyx_sound_stop(r->sound) : 0;
}

int sound_set_loop(int n, int flag) {
    script_sound *r = row_at(n);
    return r ? plyx_sound_set_loop(r->sound, flag ? 1 : 0) : 0;
}

int sound_set_freq(int n, float hz) {
    script_sound *r = row_at(n);
    if (!r || !std::isfinite(hz)) return 0;
    r->frequency = hz;
    return 1;
}

int sound_set_vol(int n, float volume) {
    script_sound *r = row_at(n);
    if (!r || !std::isfinite(volume)) return 0;
    r->volume = volume;
    return 1;
}

static int set_vector(int n, const float v[3], bool position) {
    script_sound *r = row_at(n);
    if (!r || !v) return 0;
    for (int i = 0; i < 3; i++)
        if (!std::isfinite(v[i])) return 0;
    memcpy(position ? r->position : r->velocity, v, sizeof(float) * 3);
    return 1;
}

int sound_set_pos(int n, const float position[3]) {
    return set_vector(n, position, true);
}

int sound_set_vel(int n, const float velocity[3]) {
    return set_vector(n, velocity, false);
}

void sound_script_free_all() {
    for (int i = 0; i < script_sound_count; i++) {
        plyx_sound_stop(script_sound_rows[i].sound);
        plyx_sound_free(script_sound_rows[i].sound);
        script_sound_rows[i] = {};
    }
    script_sound_count = 0;
}
