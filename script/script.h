// The track-script host: one Duktape context at a time, bounded in time and memory, its errors
// reported with file and line, and the two hooks through which the race and the scene call it.
#pragma once

#include <csetjmp>
#include <cstddef>

#include "duktape.h"

struct script_block;

struct script_context {
    duk_context *duk;
    char error_text[1024];   // the last error, empty after a success
    char file[256];          // the source being run, as messages name it
    // The allocator: every block on one list, counted against the heap limit.
    script_block *blocks;
    size_t bytes;
    size_t heap_limit;
    // The running call's limit (seconds) and its deadline on the monotonic clock (0 outside).
    double call_limit;
    double deadline;
    int timed_out;           // the time-out check fired during the current call
    int dead;                // a fatal error abandoned the engine: never called again
    jmp_buf *recover;        // where the fatal handler returns to
    int tic_error_shown;     // the first error of each handler in a race is printed
    int frame_error_shown;
    // message: lines this second of race time and lines held back.
    int message_second;
    int message_lines;
    int message_dropped;
};

// The limits every context gets (the fuzz target lowers them).
struct script_limit_record {
    double load_seconds;     // prelude and top level, each
    double call_seconds;     // each hook or script_call
    size_t heap_bytes;
};
extern script_limit_record script_limits;
extern script_context *script_current;
// The context running a call right now (the natives' own), or null.
extern script_context *script_active;

// A new context with a fresh engine heap, or null.
script_context *script_new();
// Destroys the heap (or, after a fatal error, releases its blocks) and frees the holder.
void script_free(script_context *c);
// Compiles the source under the file name and runs it as global code within the load limit:
// 1, or 0 with the error text set.
int script_eval(script_context *c, const char *source, size_t length, const char *file);
// Calls the function found by the dotted name with the text arguments (ended by null) within
// the call limit: its result read as an integer (0 when not a number), or the engine's non-zero
// error code with the error text set (0 with the text set when the name does not lead to a
// function).
int script_call(script_context *c, const char *name, ...);
const char *script_error_text(script_context *c);
void script_collect_garbage(script_context *c);
// Stores a new object of native functions as the global name (the global object itself when the
// name is empty); the table ends at a null name. 1.
int script_register_natives(script_context *c, const char *object, const char *const *names,
                            const duk_c_function *functions, const int *argument_counts);
int script_register_natives_as(script_context *c, const char *object);

// Loads the script file ("@" names through the file index; messages name it without the "@")
// with the prelude into a fresh context that becomes the current script: 1, or 0 when the file
// is missing or no context could be made. Errors print "javascript error: ..." once.
int script_load(const char *path);
// script_load from a text already in memory.
int script_load_text(const char *source, size_t length, const char *file);
// Releases the current script and stops and frees its sounds (nothing when none is loaded).
void script_unload();
// Stops and frees the script's sounds.
void script_free_sounds();
// Called once per drawn frame and first in every race tick: the handlers with the script time.
void script_frame_hook();
void script_tic_hook();
// The script time the hooks pass: the race's tick less its view delay, 0 when negative.
int script_time();

// The ground height a script sees at (x, z): the grid's triangles, the edge heights off the
// grid; a non-finite coordinate counts as 0; 0 without a terrain.
double script_terrain_elevation(double x, double z);

// The natives' argument readers. A number, NaN as 0, clamped to +-2^31 before truncation; a
// non-number reads 0.
int script_arg_int(duk_context *d, int index);
double script_arg_double(duk_context *d, int index);
// Array helpers: element i of the array argument at the index; a non-object reads as an empty
// array, a missing or non-finite element as 0 (the empty text for strings, copied into the
// buffers of size text_size).
void script_get_doubles(duk_context *d, int index, double *values, int count);
void script_get_floats(duk_context *d, int index, float *values, int count);
void script_get_ints(duk_context *d, int index, int *values, int count);
void script_get_strings(duk_context *d, int index, char (*values)[256], int count);
void script_put_doubles(duk_context *d, int index, const double *values, int count);
void script_put_floats(duk_context *d, int index, const float *values, int count);
void script_put_ints(duk_context *d, int index, const int *values, int count);
void script_put_strings(duk_context *d, int index, const char *const *values, int count);

// The natives of the zr object, with their argument counts, ended by a null name.
extern const char *const script_native_names[];
extern const duk_c_function script_native_functions[];
extern const int script_native_counts[];
// The prelude's text.
extern const char *const script_prelude;

constexpr double SCRIPT_LOAD_SECONDS = 0.25;
constexpr double SCRIPT_CALL_SECONDS = 0.02;
constexpr size_t SCRIPT_HEAP_BYTES = 32u << 20;
constexpr int SCRIPT_NAME_PART_MAX = 1024;
constexpr int SCRIPT_MESSAGES_PER_SECOND = 10;
