// The track's "flaggers" and "cameras" files: the flag marshals (billboards whose picture
// follows the race) and the trackside cameras with the checkpoints each covers.
#pragma once

#include <cstdint>

struct file_stream;

struct flagger_setup {
    int32_t start_billboard;          // -1: none
    int32_t start_textures[5];        // the first from the gate drop, the last after the walk
    float start_position[3], end_position[3];
    float walk_time;                  // seconds, > 0
    int32_t lap_billboard;            // -1: none
    int32_t lap_textures[4];          // normal, half-way, last lap, finished
};

// One gate flagger, a row of track_flaggers.
struct flagger {
    int32_t billboard;
    int32_t normal_texture, alert_texture;
    int32_t checkpoints[4];           // -1: none
};

extern flagger_setup track_flagger_setup;
// The trackside camera of each checkpoint index, -1 for none.
extern int gate_camera[256];
// Cameras the "cameras" file added this load.
extern int track_camera_count;
// Where an added camera goes (the scene's table, set when it makes its lists): 1, or 0 when it
// could not be stored. Null only counts them.
extern int (*track_camera_add)(float x, float y, float z, float fov, float autofovsize);

// No start or lap flagger, no gate flaggers, no cameras, every gate_camera -1.
void track_flaggers_reset();
// Reads "flaggers" tokens until the first that does not parse; what was made before stays.
void track_read_flaggers(file_stream *s, const char *file_name);
// Reads "cameras" lines.
void track_read_cameras(file_stream *s, const char *file_name);

constexpr float CAMERA_DEFAULT_FOV = 90.0f;
