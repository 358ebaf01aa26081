// The platform services the frame loop and the loading screen take: the clock, sleep, events and
// the frame brackets. Tests replace them with a fake clock and no window.
#pragma once

#include <cstdint>

struct window_context;
struct plyx_surface;

struct frame_platform {
    double (*now)();                       // seconds since program start
    void (*sleep)(double seconds);
    int (*next_event)(window_context *w, uint32_t *code, int *pressed);
    int (*next_event_before)(window_context *w, uint32_t *code, int *pressed, int seconds,
                             int microseconds);
    plyx_surface *(*begin_frame)(window_context *w);   // null: nothing can be drawn now
    int (*end_frame)(window_context *w);               // the buffer swap: 1, or 0 on failure
};

extern frame_platform frame_io;
extern const frame_platform FRAME_PLATFORM;   // the platform's own services
