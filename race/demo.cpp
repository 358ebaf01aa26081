// Demo files: no demo can be opened or recorded until the demo format is read and written.
#include "race/demo.h"

const char *demo_playback_track = nullptr;

int demo_open_playback() {
    return 0;
}

void demo_close_playback() {}

void demo_read_frames() {}

void demo_seek(float direction) {
    (void)direction;
}

void demo_finish_recording() {}

void demo_write_frame(int force) {
    (void)force;
}
