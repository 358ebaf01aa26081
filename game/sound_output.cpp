// Sound output: a sound device, or with --record-audio the readback driver whose blocks are
// appended to the recording file one tick at a time.
#include "game/sound_output.h"

#include <cstdio>

#include "core/console.h"
#include "core/globals.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "platform/plyx.h"

static void *sound_handle = nullptr;
static file_stream *audio_recording = nullptr;

void sound_output_open() {
    if (run_options.record_audio_file) {
        audio_recording = stream_open(run_options.record_audio_file, "wb");
        if (!audio_recording) {
            char text[1100];
            snprintf(text, sizeof text, "Warning: can't create '%.900s'",
                     run_options.record_audio_file);
            console_print(text);
            return;
        }
        sound_handle = plyx_sound_open_readback(game_window, SOUND_RECORD_RATE,
                                                SOUND_RECORD_FRAMES);
    } else if (!run_options.no_sound) {
        sound_handle = plyx_sound_open(game_window);
    }
    game_sound_open = sound_handle != nullptr;
}

void sound_output_update() {
    if (sound_handle) plyx_sound_update(sound_handle);
}

void sound_output_record_tick() {
    if (!sound_handle || !audio_recording) return;
    const unsigned char *block = plyx_sound_render(sound_handle);
    if (!block) return;
    if (stream_write(audio_recording, block, SOUND_RECORD_BYTES) != SOUND_RECORD_BYTES) {
        // The recording stops at the first failed write; what was written stays.
        char text[1100];
        snprintf(text, sizeof text, "Warning: can't write '%.900s'; audio recording stopped",
                 run_options.record_audio_file ? run_options.record_audio_file : "");
        console_print(text);
        stream_close(audio_recording);
        audio_recording = nullptr;
    }
}

void sound_output_close() {
    if (sound_handle) plyx_sound_close(sound_handle);
    sound_handle = nullptr;
    game_sound_open = 0;
    if (audio_recording) stream_close(audio_recording);
    audio_recording = nullptr;
}
