// The "cameras" file: trackside cameras and the checkpoints each one covers.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "core/stream.h"
#include "platform/plyx.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/track.h"

int gate_camera[256];
int track_camera_count = 0;
int (*track_camera_add)(float x, float y, float z, float fov, float autofovsize) = nullptr;

void track_flaggers_reset() {
    track_flagger_setup = {-1, {}, {}, {}, 1, -1, {}};
    if (track_flaggers.items) track_flaggers.count = 0;
    for (int &g : gate_camera) g = -1;
    track_camera_count = 0;
}

static void camera_warning(const char *file_name) {
    char text[1024];
    snprintf(text, sizeof text, "Warning: bad row in '%.900s'\n", file_name);
    console_print(text);
}

// A field of view as the file gives it: its size, within 1..179 degrees.
static float camera_fov(float v) {
    v = std::fabs(v);
    return v < 1 ? 1 : v > 179 ? 179 : v;
}

void track_read_cameras(file_stream *s, const char *file_name) {
    float fov = CAMERA_DEFAULT_FOV, autofov = 0;
    char line[TRACK_LIGHTING_LINE_MAX + 1];
    float v[3];
    while (track_read_line(s, line, sizeof line)) {
        if (stream_scan_text(line, "addcamera %f %f %f", &v[0], &v[1], &v[2]) == 3) {
            if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2])) {
                camera_warning(file_name);
            } else if (track_camera_count >= TRACK_FILE_ROWS_MAX) {
                char text[1024];
                snprintf(text, sizeof text, "Warning: too many rows in '%.900s'; the rest is ignored\n",
                         file_name);
                console_print(text);
                break;
            } else if (!track_camera_add ||
                       track_camera_add(v[0], track_ground_height(v[0], v[2]) + v[1], v[2], fov, autofov)) {
                track_camera_count++;
            }
            fov = CAMERA_DEFAULT_FOV;
            autofov = 0;
            continue;
        }
        if (stream_scan_text(line, "fov %f", &v[0]) == 1) {
            if (std::isfinite(v[0]))
                fov = camera_fov(v[0]);
            else
                camera_warning(file_name);
            continue;
        }
        if (stream_scan_text(line, "autofovsize %f", &v[0]) == 1) {
            if (std::isfinite(v[0]))
                autofov = std::fabs(v[0]);
            else
                camera_warning(file_name);
            continue;
        }
        if (strncmp(line, "gate", 4) == 0 && (line[4] == 0 || isspace((unsigned char)line[4]))) {
            const char *p = line + 4;
            for (;;) {
                char *end;
                long g = strtol(p, &end, 10);
                if (end == p || g < 0 || g > 255) break;
                gate_camera[g] = track_camera_count;
                p = end;
            }
        }
    }
}
