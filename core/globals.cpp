// Program-wide values the core's services read.
#include "core/globals.h"

double frame_clock = 0.0;
int message_lines = 5;
window_context *game_window = nullptr;
int game_sound_open = 0;
void (*loading_tick_hook)() = nullptr;
