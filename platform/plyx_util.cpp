// Growable arrays, mutexes, the clock and sleep, and the error box.
#include <SDL.h>
#include <time.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/plyx.h"

int plyx_array_init(growable_array *a, int element_size, int capacity) {
    a->items = nullptr;
    a->capacity = 0;
    a->count = 0;
    a->element_size = element_size;
    if (capacity < 1 || element_size < 1) return 0;
    a->items = malloc((size_t)capacity * (size_t)element_size);
    if (!a->items) return 0;
    a->capacity = capacity;
    return 1;
}

int plyx_array_append(growable_array *a, const void *element) {
    if (a->capacity < 1 || a->element_size < 1 || !a->items) return 0;
    if (a->count == a->capacity) {
        if (a->capacity > INT32_MAX / 2) return 0;
        size_t bytes = (size_t)a->capacity * 2;
        if (bytes > SIZE_MAX / (size_t)a->element_size) return 0;
        bytes *= (size_t)a->element_size;
        void *grown = realloc(a->items, bytes);
        if (!grown) return 0;
        a->items = grown;
        a->capacity *= 2;
    }
    char *slot = (char *)a->items + (size_t)a->count * (size_t)a->element_size;
    if (element)
        memcpy(slot, element, (size_t)a->element_size);
    else
        memset(slot, 0, (size_t)a->element_size);
    a->count++;
    return 1;
}

void plyx_array_free(growable_array *a) {
    free(a->items);
    a->items = nullptr;
    a->capacity = 0;
    a->count = 0;
}

mutex_handle plyx_mutex_create() {
    return new (std::nothrow) std::recursive_mutex;
}

int plyx_mutex_lock(mutex_handle m) {
    m->lock();
    return 1;
}

void plyx_mutex_unlock(mutex_handle m) {
    m->unlock();
}

void plyx_mutex_destroy(mutex_handle m) {
    delete m;
}

void plyx_time(int *seconds, int *microseconds) {
    uint64_t ms = SDL_GetTicks64();
    *seconds = (int)(ms / 1000);
    *microseconds = (int)(ms % 1000) * 1000;
}

static int64_t clock_microseconds() {
    return (int64_t)SDL_GetTicks64() * 1000;
}

// The nap near a deadline: the clock's last millisecond is waited out in steps of this many
// microseconds, never by spinning.
static constexpr int64_t PLYX_SLEEP_NAP = 200;

// Sleeps for the given microseconds on the system's monotonic clock.
static void sleep_microseconds(int64_t us) {
    timespec t = {(time_t)(us / 1000000), (long)(us % 1000000) * 1000};
    clock_nanosleep(CLOCK_MONOTONIC, 0, &t, nullptr);  // a signal only wakes it early
}

void plyx_sleep(int seconds, int microseconds, int *late_seconds, int *late_microseconds) {
    int64_t duration = (int64_t)seconds * 1000000 + microseconds;
    *late_seconds = 0;
    *late_microseconds = 0;
    if (duration <= 0) return;
    int64_t deadline = clock_microseconds() + duration;
    int64_t now;
    // The clock moves in whole milliseconds, so a reading may be up to one behind: sleep to a
    // millisecond before the deadline, then nap briefly until the clock shows it.
    while ((now = clock_microseconds()) < deadline) {
        int64_t left = deadline - now;
        sleep_microseconds(left > PLYX_SLEEP_NAP + 1000 ? left - 1000 : PLYX_SLEEP_NAP);
    }
    int64_t late = now - deadline;
    *late_seconds = (int)(late / 1000000);
    *late_microseconds = (int)(late % 1000000);
}

void plyx_error_box(const char *title, const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // Standard error first, so the text survives when no box can be shown.
    size_t len = strlen(text);
    fprintf(stderr, "%s: %s%s", title, text, len && text[len - 1] == '\n' ? "" : "\n");
    fflush(stderr);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, nullptr);
}
