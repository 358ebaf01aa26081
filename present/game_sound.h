// The game's sounds: the riders' engine and effect sounds.
#pragma once

// Updates every rider's sounds for one frame at a level factor of 0, 0.25 or 1.
void sound_update_riders(float level);
// Frees the cached engine sound descriptions.
void engine_sound_free_all();
