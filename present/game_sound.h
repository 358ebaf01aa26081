// The game's sounds: every rider's engine and the track script's sounds, mixed each frame for
// the listener (loudness by distance, Doppler pitch, pan).
#pragma once

#include "platform/plyx.h"

// Where the sounds are heard from: the eye, the view rotation (row-major 3 x 3, columns right,
// up and backward) and the viewer's velocity in feet per second.
struct sound_listener {
    float eye[3];
    float rotation[9];
    float velocity[3];
};

// One sound a track script added.
struct script_sound {
    sound_object sound;
    const char *name;
    float position[3];
    float velocity[3];
    float frequency;   // Hz before Doppler
    float volume;      // 0..1 before distance
};

extern script_sound script_sound_rows[256];
extern int script_sound_count;

// Updates every rider's engine and every script sound for one frame at the loudness (1 while no
// menu is open, 0.25 or 0 while one is), heard from the view drawn last.
void sound_update_riders(float loudness);
// The same from the given listener.
void sound_update_riders_from(const sound_listener *l, float loudness);
// Frees every rider's engine sound and the loaded sound tables (shutdown).
void engine_sound_free_all();

// Script sounds. sound_add: the row, or -1 (table full, no sound made). The others return 0
// for a row not in use or a value that is not finite.
int sound_add(const char *name);
int sound_start(int n);
int sound_stop(int n);
int sound_set_loop(int n, int flag);
int sound_set_freq(int n, float hz);
int sound_set_vol(int n, float volume);
int sound_set_pos(int n, const float position[3]);
int sound_set_vel(int n, const float velocity[3]);
// Stops and frees every script sound; the count returns to 0 (script unload, shutdown).
void sound_script_free_all();

// What one sound is set to for a frame.
struct sound_levels {
    int volume;      // 0..32767
    int frequency;   // Hz, 100..1000000
    int pan;         // -32767..32767
};
// A rider's engine at level v (master, competitor volume and audible already applied).
sound_levels sound_engine_levels(const sound_listener *l, const float position[3],
                                 const float velocity[3], float v);
// A script sound's row under the master level and the competitor volume factor (0..1).
sound_levels sound_script_levels(const sound_listener *l, const script_sound *row, float master,
                                 float competitor);

// The pitch factor of a source heard by a listener, both moving (0.125..8).
float sound_doppler(const float listener[3], const float listener_velocity[3],
                    const float source[3], const float source_velocity[3]);
// The distance divisor: 1 + (distance - 1) / 48, at least 1.
float sound_distance_factor(const float eye[3], const float source[3]);
// The pan of a source: -(u . right) x 32767 for u the unit vector from the source to the eye.
int sound_pan(const sound_listener *l, const float source[3]);

constexpr int SCRIPT_SOUND_ROWS = 256;
constexpr int SCRIPT_SOUND_FILE_MAX = 16 << 20;
