// The platform library's public interface: log, options, clock, mutexes, error box, growable
// arrays, the window with its OpenGL context, input events, names and devices, and sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

struct SDL_Window;

// ---- Log, options, clock, utilities -------------------------------------------------------

// Elements stored contiguously and copied by value. The block is plain heap memory (malloc),
// grown only by plyx_array_append, which doubles the capacity when full.
struct growable_array {
    void *items;
    int capacity;
    int count;
    int element_size;
};

using mutex_handle = std::recursive_mutex *;

// Makes an empty array with room for capacity elements; 0 when capacity < 1 or out of memory.
int plyx_array_init(growable_array *a, int element_size, int capacity);
// Appends a copy of element (a zero-filled one for null): 1, or 0 with the array unchanged.
int plyx_array_append(growable_array *a, const void *element);
void plyx_array_free(growable_array *a);

mutex_handle plyx_mutex_create();
int plyx_mutex_lock(mutex_handle m);
void plyx_mutex_unlock(mutex_handle m);
void plyx_mutex_destroy(mutex_handle m);

// Writes "<title>: <text>" to standard error, then shows a modal box (its failure ignored).
void plyx_error_box(const char *title, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// The millisecond clock since program start, as seconds and microseconds.
void plyx_time(int *seconds, int *microseconds);
// Waits for the duration, asleep (no busy wait): until the millisecond clock reaches the
// clock at entry plus the duration. Stores how far past that it woke.
void plyx_sleep(int seconds, int microseconds, int *late_seconds, int *late_microseconds);

// One stamped line per call; a null format closes the log.
void plyx_log(const char *format, ...) __attribute__((format(printf, 1, 2)));
void plyx_log_close();
// Logs "Error: %s\n" and keeps a copy of the text as the last error.
void plyx_log_error(const char *text);
const char *plyx_last_error();
// Appends text (an SDL reason) to the last error.
void plyx_last_error_append(const char *text);

int plyx_option_bool(const char *name, int default_value);
int plyx_option_int(const char *name, int default_value);

// ---- Input events ---------------------------------------------------------------------------

struct input_event {
    uint32_t code;       // 31 bits
    int pressed;
    int seconds;
    int microseconds;
};

struct event_queue {
    int head;
    int count;
    uint32_t codes[256];   // bit 31 marks a release
    int seconds[256];
    int microseconds[256];
};

struct window_context;

// Common record of every input device; the six operations come in this order.
struct input_device {
    input_device *next;
    window_context *window;
    char name[64];         // no blanks or dots
    uint32_t id;           // bits 16..30
    int axis_users;
    int keys_watched;
    int key_count;
    int axis_count;
    int (*acquire_keys)(input_device *d);
    int (*acquire_axes)(input_device *d);
    void (*release)(input_device *d);
    int (*read_axis)(input_device *d, int index);
    void (*poll)(input_device *d);
    void (*destroy)(input_device *d);
};

struct axis_handle {
    input_device *device;
    int index;
};

// ---- Window and OpenGL ----------------------------------------------------------------------

struct plyx_surface {
    void *pixels;          // none for OpenGL
    int width;
    int height;
    int pitch;
};

struct gl_context {
    void *context;         // SDL_GLContext
    int format;            // chosen pixel format number (0: SDL has none)
};

struct display_mode {
    int width;
    int height;
    int bits;
};

struct window_context {
    SDL_Window *window;
    plyx_surface surface;
    int width, height;               // client size in pixels
    int colour_bits;
    int mode_width, mode_height;     // display mode chosen at the last fullscreen switch
    char title[256];
    std::thread::id opener_thread;
    std::thread::id window_thread;
    mutex_handle window_mutex;       // frame begin..end, and the mode-switching flag
    input_device *devices;
    growable_array axis_name_list;   // during device set-up only
    const char **axis_names;         // null-terminated, kept after set-up
    mutex_handle queue_mutex;
    event_queue queue;
    int close_flag;
    int mode_switching;
    unsigned char flags;             // WINDOW_FLAG_*
    gl_context *gl;
    // A mode request waiting for the next pump: width, height, open flags.
    int request_pending;
    int request_width, request_height, request_flags;
};

window_context *plyx_gl_open(const char *title, int width, int height, int flags, int alpha_bits,
                             int depth_bits, int stencil_bits, int accum_bits);
void plyx_gl_close(window_context *w);
plyx_surface *plyx_gl_begin_frame(window_context *w);
int plyx_gl_end_frame(window_context *w);
// The address of an OpenGL entry point of the current context (never null for a "gl" name,
// whether or not the driver has it: decide from the extension string).
void *plyx_gl_proc_address(const char *name);
window_context *plyx_window_open(const char *title, int width, int height, int flags);
void plyx_window_close(window_context *w);
int plyx_window_request_mode(window_context *w, int width, int height, int flags);
// The list ending in an all-zero row: the desktop mode first, then every distinct reported mode.
const display_mode *plyx_display_modes();
void plyx_pump_messages(window_context *w);
// Ends the platform (SDL) at the very end of the program: the clock restarts after it.
void plyx_shutdown();

// The mode a fullscreen switch takes for the request: among listed modes at least as large,
// the smallest excess (first listed on a tie); none, or a zero request: the desktop size.
void plyx_choose_mode(const display_mode *modes, int desktop_width, int desktop_height,
                      int width, int height, int *out_width, int *out_height);

// Queue (callers hold the queue mutex).
void plyx_event_push(event_queue *q, uint32_t code, int pressed, int seconds, int microseconds);
void plyx_event_push_now(event_queue *q, uint32_t code, int pressed);
int plyx_event_pop_stamped(event_queue *q, uint32_t *code, int *pressed, int *seconds,
                           int *microseconds);
int plyx_event_pop(event_queue *q, uint32_t *code, int *pressed);
int plyx_event_pop_before(event_queue *q, uint32_t *code, int *pressed, int seconds,
                          int microseconds);

// Window-level (take the queue mutex themselves).
void plyx_window_post_event(window_context *w, uint32_t code, int pressed, int seconds,
                            int microseconds);
void plyx_window_post_event_now(window_context *w, uint32_t code, int pressed);
int plyx_input_next_event_before(window_context *w, uint32_t *code, int *pressed, int seconds,
                                 int microseconds);
int plyx_input_next_event_stamped(window_context *w, uint32_t *code, int *pressed, int *seconds,
                                  int *microseconds);
int plyx_input_next_event(window_context *w, uint32_t *code, int *pressed);

// Names.
int plyx_input_key_code(window_context *w, uint32_t *code, const char *name);
const char *plyx_input_key_name(window_context *w, uint32_t code);
int plyx_alias_add(const char *name, const char *value);
const char *plyx_alias_lookup(const char *name);
const char *plyx_intern_name(const char *text);
int plyx_name_compare(const char *a, const char *b);
void plyx_input_load_key_names();

// Axes.
axis_handle *plyx_input_open_axis(window_context *w, const char *name);
int plyx_input_read_axis(axis_handle *h);
void plyx_input_close_axis(axis_handle *h);
const char **plyx_input_axis_names(window_context *w);
void plyx_input_add_axis_name(window_context *w, const char *name);

// Devices.
uint32_t plyx_input_new_device_id(window_context *w, const char *name);
void plyx_input_add_device(window_context *w, input_device *d);
void plyx_input_poll_devices(input_device *list);
void plyx_input_close_devices(window_context *w);

// ---- Input devices: cursor, joysticks and the mouse -----------------------------------------

// Both run while the window opens (joysticks and the mouse first, then the cursor) and add their
// aliases.
// The cursor device: two axes, the pointer's spot in the window (axis 1 y, any other x); 1, or
// 0 without memory.
int plyx_cursor_device_open(window_context *w);
// One device per joystick, plus a relative "Mouse" device unless "dinputsticksonly"; 1 when the
// devices could be looked for ("dinput" on and SDL's joysticks available).
int plyx_dinput_open(window_context *w);

// ---- Sound ----------------------------------------------------------------------------------

// The handle of one loaded sound (8-bit unsigned mono samples, 128 = silence).
using sound_object = void *;

// One sound driver: sixteen operations in this fixed slot order. Slots 2-4 take the handle the
// open returned, 5 the handle too, 6-15 a sound.
struct sound_driver {
    void *(*open)(window_context *w);
    void *(*open_readback)(window_context *w, int rate, int frames);
    void (*close)(void *driver);
    int (*update)(void *driver);
    const unsigned char *(*render)(void *driver);
    sound_object (*create)(void *driver, int bytes, const void *samples, int rate);
    sound_object (*duplicate)(sound_object s);
    void (*free)(sound_object s);
    int (*play)(sound_object s);
    int (*stop)(sound_object s);
    int (*set_frequency)(sound_object s, int hz);
    int (*set_volume)(sound_object s, int volume);
    int (*set_pan)(sound_object s, int pan);
    int (*set_loop)(sound_object s, int flag);
    int (*get_position)(sound_object s);
    int (*write_stream)(sound_object s, int count, const void *bytes, int offset);
};

// The front end: one current driver, every call forwarded to it. With no current driver every
// call does nothing and returns 0 (null). Each sound belongs to the driver open that made it: a
// sound of an earlier open (closed since), or one the front end never handed out, makes every
// call do nothing and return 0 (null), except plyx_sound_free, which gives a sound of a closed
// driver back to the driver table that made it.
// Opens "dsnd", else "waveout" (options, both default on); 0 when one is current already.
void *plyx_sound_open(window_context *w);
// Opens the readback driver (blocks of frames x 2 bytes, left then right); 0 over a current one.
void *plyx_sound_open_readback(window_context *w, int rate, int frames);
void plyx_sound_close(void *driver);
// The current driver's handle, or null: for the fatal path, which holds no handle of its own.
void *plyx_sound_current();
int plyx_sound_update(void *driver);
const unsigned char *plyx_sound_render(void *driver);
sound_object plyx_sound_create(void *driver, int bytes, const void *samples, int rate);
sound_object plyx_sound_duplicate(sound_object s);
void plyx_sound_free(sound_object s);
int plyx_sound_play(sound_object s);
int plyx_sound_stop(sound_object s);
int plyx_sound_set_frequency(sound_object s, int hz);
int plyx_sound_set_volume(sound_object s, int volume);
int plyx_sound_set_pan(sound_object s, int pan);
int plyx_sound_set_loop(sound_object s, int flag);
int plyx_sound_get_position(sound_object s);
int plyx_sound_write_stream(sound_object s, int count, const void *bytes, int offset);

// ---- Constants ------------------------------------------------------------------------------

constexpr int EVENT_QUEUE_SIZE = 256;
constexpr uint32_t EVENT_RELEASE_BIT = 0x80000000u;
constexpr uint32_t EVENT_KEY = 0x1000;          // + 9-bit scan code
constexpr uint32_t EVENT_MOUSE_BUTTON = 0x2000; // + 0 left, 1 middle, 2 right
constexpr uint32_t EVENT_CLOSE = 0xDEAD;

constexpr int OPEN_NO_MODE_SWITCH = 0x100;
constexpr int OPEN_FULLSCREEN = 0x200;

constexpr unsigned char WINDOW_FLAG_SWITCHES_MODES = 2;
constexpr unsigned char WINDOW_FLAG_THREADED = 4;
constexpr unsigned char WINDOW_FLAG_FULLSCREEN = 8;
constexpr unsigned char WINDOW_FLAG_ALWAYS = 16;

constexpr int SOUND_VOLUME_MAX = 0x7fff;
constexpr int SOUND_PAN_LEFT = -0x8000;
constexpr int SOUND_PAN_RIGHT = 0x7fff;

constexpr int DINPUT_BUFFER_SIZE = 25;   // button changes a device holds between polls
constexpr int DINPUT_MAX_AXES = 100;
constexpr int DINPUT_MAX_BUTTONS = 500;
