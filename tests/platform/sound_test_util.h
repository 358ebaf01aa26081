// Helpers shared by the sound tests.
#pragma once

#include <SDL.h>

#include "platform/plyx.h"

// Waits, at most about five seconds, until a playing sound's position leaves 0: the device
// is mixing it.
inline bool sound_position_moves(sound_object s) {
    for (int i = 0; i < 500; i++) {
        if (plyx_sound_get_position(s) > 0) return true;
        SDL_Delay(10);
    }
    return false;
}
