// Key-frame camera paths: the keys, the mode that plays them, and the view they give at a race
// tick.
#pragma once

#include <vector>

// One key frame: position (ft), rotation as a unit quaternion stored x, y, z, w, field of view
// (degrees) and the race tick it belongs to.
struct camera_key {
    float x, y, z;
    float qx, qy, qz, qw;
    float fov;
    int tick;
};

// The keys, kept in tick order; playback copes with any order all the same.
extern std::vector<camera_key> camera_keys;
// On: the camera view plays the keys (when there are any). Starts off.
extern int keycam_mode;

// Inserts a key after every key of the same or an earlier tick.
void camera_keys_insert(const camera_key &key);
// 1 when the key can be played: every value finite and a quaternion of length 1e-6 or more.
int camera_key_usable(const camera_key &key);
// The view the keys give at the race tick: eye, view rotation (row-major 3 x 3, columns right,
// up, backward) and field of view (within the projection's range). Keys that cannot be played
// are skipped; 0 when none is left.
int keycam_view(int tick, float eye[3], float rotation[9], float *fov);

constexpr double KEYCAM_MIN_QUAT = 1e-6;
