// The platform's own clock, sleep, events and frame brackets, the services the frame loop and
// the loading screen use unless a test puts others in their place.
#include "core/frame_io.h"

#include "platform/plyx.h"

static double platform_now() {
    int s, us;
    plyx_time(&s, &us);
    return s + us * 1e-6;
}

static void platform_sleep(double seconds) {
    if (!(seconds > 0.0)) return;
    int s = (int)seconds;
    int us = (int)((seconds - s) * 1e6);
    int late_s, late_us;
    plyx_sleep(s, us, &late_s, &late_us);
}

// Without a window there are no events and no frames.
static int platform_next_event(window_context *w, uint32_t *code, int *pressed) {
    return w ? plyx_input_next_event(w, code, pressed) : 0;
}

static int platform_next_event_before(window_context *w, uint32_t *code, int *pressed,
                                      int seconds, int microseconds) {
    return w ? plyx_input_next_event_before(w, code, pressed, seconds, microseconds) : 0;
}

const frame_platform FRAME_PLATFORM = {platform_now,        platform_sleep,
                                       platform_next_event, platform_next_event_before,
                                       plyx_gl_begin_frame, plyx_gl_end_frame};

frame_platform frame_io = FRAME_PLATFORM;
