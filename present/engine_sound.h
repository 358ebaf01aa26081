// Engine sounds: the descriptions (sound tables, pipe, bias and scale lists), their readers, and
// the per-rider synthesis of a firing engine into a looping device sound.
#pragma once

#include <cstdint>

#include "platform/plyx.h"

struct file_stream;

// One recorded grid point: pulses recorded back to back in one wave.
struct sound_cell {
    const float *wave;    // shared through the sample cache
    int32_t length;       // samples
    int32_t pulses;       // 1..length
    int32_t *remap;       // pulse numbers (owned), or null
    int32_t remap_count;
    float rpm;            // the row's engine speed
    float load;           // the column's load
};

// A grid of cells: rows of engine speed, columns of load, row-major.
struct sound_table {
    sound_table *next;    // the loaded tables, newest first
    const char *name;
    sound_cell *cells;
    int32_t rows, cols;
};

struct engine_sound_params {
    const sound_table *table;   // shared, never owned
    float fire_factor;          // firings per crankshaft revolution
    float low_torque, high_torque;
    float min_rpm;
    int32_t pipe_offset[16];    // 32768 minus the tap's delay in samples
    float pipe_gain[16];
    float bias[100];
    float scale[100];
    int32_t bias_count, scale_count;
};

// One wave-table player. Phase and step are sample positions in 22.10 fixed point.
struct engine_oscillator {
    const float *wave;
    float gain;
    uint32_t phase;
    uint32_t step;
    int32_t length;   // samples of wave: a phase past them reads silence
};

struct engine_sound {
    sound_object sound;          // the looping device sound, or null
    engine_sound_params params;
    float ring[32768];           // index i is byte i of the device sound
    float fire_freq;             // Hz, chosen at the last firing
    float audible;               // loudness factor (demo playback of old formats sets it)
    float last_rpm;
    int32_t write_pos;           // ring index of the next sample to make
    int32_t fire_phase;          // fraction of the firing cycle, units of 2^-24
    uint32_t fire_count;         // firings since load
    engine_oscillator osc[4];
};

// Every rider slot's engine sound.
extern engine_sound engine_sounds[160];

// Sets pipe taps first..last (clamped to 0..15 and first..15) for a pipe of that length and
// spread in feet and a total gain; other taps keep their values. Non-finite values change nothing.
void engine_sound_set_pipe(engine_sound_params *p, float length, float spread, float gain,
                           int first, int last);
// The built-in description of an engine class ("…f" four-stroke, "50", anything else two-stroke;
// null is four-stroke).
const engine_sound_params *engine_sound_builtin(const char *engine_class);
// The built-in default tables, "default_four_stroke" and "default_two_stroke".
const sound_table *engine_sound_builtin_table(int two_stroke);
// Reads a SOUNDTABLE file (or finds it loaded): the table, or null after "Error reading" lines.
const sound_table *sound_table_load(const char *name);
// Reads a ".braap" description over the params (the pipe cleared first).
void engine_sound_read_braap(engine_sound_params *p, file_stream *s);
// Opens the class's default description file ("@default250f.braap" ...), or null.
file_stream *engine_sound_open_class_default(const char *engine_class);
// The loader's core: the synthesis state reset and the description of the class and bike
// texture (its ".braap" file, the class default, or the built-in one). No device sound.
void engine_sound_load_class(engine_sound *e, const char *engine_class, const char *texture);
// (Re)builds a rider's engine sound: frees the record's device sound, creates a new one when a
// sound device is open, then the loader's core with the slot's class and texture (texture null:
// the slot's bike texture).
void engine_sound_load(engine_sound *e, int slot, const char *texture);
// Opens the slot's class default, or null.
file_stream *engine_sound_open_default(int slot);
// The race's calls for a slot: its engine sound (re)built after its bike is loaded (texture
// null: the bike's), and freed before the bike is.
void engine_sound_load_slot(int slot, const char *texture);
void engine_sound_free_slot(int slot);
// Frees the record's device sound.
void engine_sound_free(engine_sound *e);
// One synthesis pass at the engine speed and torque with the device sound's play position:
// writes n new samples as bytes into out (32768 bytes of room) and returns n; the bytes belong
// at ring offset (write_pos - n) mod 32768.
int engine_sound_synthesize(engine_sound *e, float rpm, float torque, int play_position,
                            unsigned char *out);
// Frees every loaded sound table and cached sample file (shutdown; no rider may use them).
void engine_sound_free_tables();

constexpr int ENGINE_RING = 32768;
constexpr int ENGINE_LEAD = 4410;        // samples the ring is kept ahead of the play position
constexpr int ENGINE_PASS_MAX = 8820;
constexpr float ENGINE_RPM_MAX = 60000.0f;
constexpr float ENGINE_FIRE_MIN = 5.0f;
constexpr float ENGINE_FIRE_MAX = 2205.0f;
constexpr int SOUND_TABLE_AXIS_MAX = 64;
constexpr int SOUND_REMAP_MAX = 4096;
constexpr int SOUND_SAMPLE_MAX = 1 << 21;
constexpr float SPEED_OF_SOUND = 1140.63f;
