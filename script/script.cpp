// The track-script host. Scripts are loaded with their tracks; none is loaded yet.
#include "script/script.h"

#include "core/mem.h"
#include "present/game_sound.h"

script_sound_list script_sounds = {0, nullptr};

void script_unload() {}

void script_free_sounds() {
    sound_script_free_all();
    mem_free(script_sounds.sounds);
    script_sounds = {0, nullptr};
}

void script_tic_hook() {}
