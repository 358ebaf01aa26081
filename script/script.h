// The track-script host: the current script and the sounds it made.
#pragma once

// The sounds a track script created.
struct script_sound_list {
    int count;
    void **sounds;
};

extern script_sound_list script_sounds;

// Calls the track script's tick handler with the script time (nothing while no script runs).
void script_tic_hook();
// Releases the current script context (nothing when none is loaded).
void script_unload();
// Frees the script's sounds; the list is empty afterwards.
void script_free_sounds();
