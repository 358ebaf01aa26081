// The riders' sounds. Engine sounds are loaded with the bikes; there are none to update or free.
#include "present/game_sound.h"

void sound_update_riders(float level) {
    (void)level;
}

void engine_sound_free_all() {}
