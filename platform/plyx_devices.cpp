// Input devices of the window: opened with it, fed by its event pump.
#include "platform/plyx_sdl.h"

void plyx_input_open_devices(window_context *w) {
    // Joysticks and the mouse join the device list here, followed by the cursor device.
    (void)w;
}

void plyx_input_device_event(window_context *w, const SDL_Event *e) {
    (void)w;
    (void)e;
}
