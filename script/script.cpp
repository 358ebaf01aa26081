// The track-script host: contexts with their own allocator, deadlines and fatal recovery; eval,
// calls by dotted name, loading with the prelude, the hooks and the stopping of a script that
// went over its limits.
#include "script/script.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/console.h"
#include "core/mem.h"
#include "core/stream.h"
#include "present/game_sound.h"
#include "race/race.h"

extern "C" {
extern int (*zr_duk_timeout_hook)(void *udata);
extern void (*zr_duk_fatal_hook)(void *udata, const char *msg);
void zr_duk_request_interrupt(duk_context *ctx);
}

script_limit_record script_limits = {SCRIPT_LOAD_SECONDS, SCRIPT_CALL_SECONDS, SCRIPT_HEAP_BYTES};
script_context *script_current = nullptr;
script_context *script_active = nullptr;

// Each block the engine gets is preceded by its link on the context's list.
struct alignas(16) script_block {
    script_block *prev, *next;
    size_t size;
};

static double monotonic_seconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static int timeout_check(void *udata) {
    script_context *c = (script_context *)udata;
    if (!c || c->deadline == 0 || monotonic_seconds() < c->deadline) return 0;
    c->timed_out = 1;
    return 1;
}

// Past the deadline the engine is asked to check its time at the next instruction, so a loop
// around a slow native ends after the native instead of a thousand instructions later. From
// twice the call's limit on nothing is given, so natives that allocate in a loop end too. At
// the limit itself the time-out error must still be made.
static bool refuse(script_context *c, size_t old_size, size_t new_size) {
    if (new_size > old_size && new_size - old_size > c->heap_limit - c->bytes) return true;
    if (c->deadline == 0) return false;
    double now = monotonic_seconds();
    if (now < c->deadline) return false;
    if (c->duk) zr_duk_request_interrupt(c->duk);
    if (now < c->deadline + c->call_limit) return false;
    c->timed_out = 1;
    return true;
}

static void link_block(script_context *c, script_block *b) {
    b->prev = nullptr;
    b->next = c->blocks;
    if (c->blocks) c->blocks->prev = b;
    c->blocks = b;
}

static void unlink_block(script_context *c, script_block *b) {
    if (b->prev) b->prev->next = b->next;
    else c->blocks = b->next;
    if (b->next) b->next->prev = b->prev;
}

static void *engine_alloc(void *udata, duk_size_t size) {
    script_context *c = (script_context *)udata;
    if (refuse(c, 0, size) || size > SIZE_MAX - sizeof(script_block)) return nullptr;
    script_block *b = (script_block *)malloc(sizeof(script_block) + size);
    if (!b) return nullptr;
    b->size = size;
    link_block(c, b);
    c->bytes += size;
    return b + 1;
}

static void engine_free(void *udata, void *ptr) {
    if (!ptr) return;
    script_context *c = (script_context *)udata;
    script_block *b = (script_block *)ptr - 1;
    unlink_block(c, b);
    c->bytes -= b->size;
    free(b);
}

static void *engine_realloc(void *udata, void *ptr, duk_size_t size) {
    script_context *c = (script_context *)udata;
    if (!ptr) return engine_alloc(udata, size);
    if (size == 0) {
        engine_free(udata, ptr);
        return nullptr;
    }
    script_block *b = (script_block *)ptr - 1;
    if (refuse(c, b->size, size) || size > SIZE_MAX - sizeof(script_block)) return nullptr;
    unlink_block(c, b);
    script_block *n = (script_block *)realloc(b, sizeof(script_block) + size);
    if (!n) {
        link_block(c, b);
        return nullptr;
    }
    c->bytes = c->bytes - n->size + size;
    n->size = size;
    link_block(c, n);
    return n + 1;
}

// Never returns: goes back to the entry's recovery point; the engine is abandoned.
static void fatal_handler(void *udata, const char *msg) {
    script_context *c = (script_context *)udata;
    console_printf("javascript error: %.400s: fatal: %.400s", c ? c->file : "?", msg ? msg : "");
    if (c && c->recover) {
        c->dead = 1;
        longjmp(*c->recover, 1);
    }
    abort();
}

static void release_blocks(script_context *c) {
    while (c->blocks) {
        script_block *b = c->blocks;
        c->blocks = b->next;
        free(b);
    }
    c->bytes = 0;
}

script_context *script_new() {
    zr_duk_timeout_hook = timeout_check;
    zr_duk_fatal_hook = fatal_handler;
    script_context *c = (script_context *)calloc(1, sizeof(script_context));
    if (!c) return nullptr;
    c->heap_limit = script_limits.heap_bytes;
    snprintf(c->file, sizeof c->file, "%s", "prelude");
    jmp_buf jb;
    c->recover = &jb;
    if (setjmp(jb)) {
        release_blocks(c);
        free(c);
        return nullptr;
    }
    c->duk = duk_create_heap(engine_alloc, engine_realloc, engine_free, c, fatal_handler);
    c->recover = nullptr;
    if (!c->duk) {
        release_blocks(c);
        free(c);
        return nullptr;
    }
    return c;
}

static void begin_call(script_context *c, double limit) {
    c->timed_out = 0;
    c->call_limit = limit;
    c->deadline = monotonic_seconds() + limit;
}

void script_free(script_context *c) {
    if (!c) return;
    if (!c->dead && c->duk) {
        // Finalizers may run script code while the heap goes: they get one call's time.
        jmp_buf jb;
        c->recover = &jb;
        if (setjmp(jb) == 0) {
            begin_call(c, script_limits.call_seconds);
            duk_destroy_heap(c->duk);
        }
        c->recover = nullptr;
    }
    release_blocks(c);
    free(c);
}

// The error at the stack top as "FILE:LINE: text", run in a protected call of its own.
struct describe_args {
    script_context *c;
    char *out;
    size_t size;
};

static duk_ret_t describe_error(duk_context *d, void *udata) {
    describe_args *a = (describe_args *)udata;
    int line = 0;
    char file[256];
    snprintf(file, sizeof file, "%s", a->c->file);
    if (duk_is_error(d, -1)) {
        duk_get_prop_string(d, -1, "lineNumber");
        if (duk_is_number(d, -1)) {
            double v = duk_get_number(d, -1);
            if (std::isfinite(v) && v > 0 && v < 1e9) line = (int)v;
        }
        duk_pop(d);
        duk_get_prop_string(d, -1, "fileName");
        if (duk_is_string(d, -1)) {
            duk_size_t n = 0;
            const char *s = duk_get_lstring(d, -1, &n);
            if (s && n > 0 && n < sizeof file && strlen(s) == n) snprintf(file, sizeof file, "%s", s);
        }
        duk_pop(d);
    }
    const char *text = duk_safe_to_string(d, -1);
    if (line > 0) snprintf(a->out, a->size, "%s:%d: %s", file, line, text ? text : "");
    else snprintf(a->out, a->size, "%s: %s", file, text ? text : "");
    return 0;
}

// Runs fn in one protected call under the limit, with the recovery point set: the engine's
// result code (0 success). The error text is set on failure and emptied on success; fn's one
// result is left on the stack when keep is set and the call succeeded.
static int enter(script_context *c, duk_safe_call_function fn, void *udata, int keep,
                 double limit) {
    if (c->dead) {
        snprintf(c->error_text, sizeof c->error_text, "%s: the script was stopped", c->file);
        return DUK_EXEC_ERROR;
    }
    jmp_buf jb;
    script_context *outer = script_active;
    c->recover = &jb;
    script_active = c;
    if (setjmp(jb)) {
        script_active = outer;
        c->recover = nullptr;
        c->deadline = 0;
        snprintf(c->error_text, sizeof c->error_text, "%s: fatal error", c->file);
        return DUK_EXEC_ERROR;
    }
    begin_call(c, limit);
    int rc = duk_safe_call(c->duk, fn, udata, 0, 1);
    if (rc != DUK_EXEC_SUCCESS) {
        // The error value is the one result; describing it consumes it.
        describe_args a = {c, c->error_text, sizeof c->error_text};
        if (duk_safe_call(c->duk, describe_error, &a, 1, 1) != DUK_EXEC_SUCCESS)
            snprintf(c->error_text, sizeof c->error_text, "%s: error", c->file);
        duk_pop(c->duk);
        // Past its time a call may end in an error of a refused allocation instead.
        if (c->timed_out && !strstr(c->error_text, "execution timeout"))
            snprintf(c->error_text, sizeof c->error_text, "%s: RangeError: execution timeout",
                     c->file);
    } else {
        c->error_text[0] = 0;
        if (!keep) duk_pop(c->duk);
    }
    c->deadline = 0;
    c->recover = nullptr;
    script_active = outer;
    return rc;
}

struct eval_args {
    const char *source;
    size_t length;
    const char *file;
};

static duk_ret_t eval_body(duk_context *d, void *udata) {
    eval_args *a = (eval_args *)udata;
    duk_push_string(d, a->file);
    duk_compile_lstring_filename(d, 0, a->source, a->length);
    duk_call(d, 0);
    return 0;
}

int script_eval(script_context *c, const char *source, size_t length, const char *file) {
    snprintf(c->file, sizeof c->file, "%s", file ? file : "");
    eval_args a = {source, length, c->file};
    return enter(c, eval_body, &a, 0, script_limits.load_seconds) == DUK_EXEC_SUCCESS;
}

struct call_args {
    const char *name;
    const char *const *args;
    int argc;
    int status;   // 1 the name did not lead to a function
    char *error;
    size_t error_size;
};

static duk_ret_t call_body(duk_context *d, void *udata) {
    call_args *a = (call_args *)udata;
    duk_push_global_object(d);
    const char *part = a->name;
    const char *last = part;
    for (;;) {
        const char *dot = strchr(part, '.');
        size_t n = dot ? (size_t)(dot - part) : strlen(part);
        if (n >= (size_t)SCRIPT_NAME_PART_MAX || !duk_is_object(d, -1)) {
            snprintf(a->error, a->error_size, "can't find %.800s", part);
            a->status = 1;
            duk_push_int(d, 0);
            return 1;
        }
        duk_push_lstring(d, part, n);
        duk_get_prop(d, -2);
        duk_remove(d, -2);
        last = part;
        if (!dot) break;
        part = dot + 1;
    }
    if (!duk_is_function(d, -1)) {
        snprintf(a->error, a->error_size, "%.800s is not a function", last);
        a->status = 1;
        duk_push_int(d, 0);
        return 1;
    }
    for (int i = 0; i < a->argc; i++) duk_push_string(d, a->args[i]);
    duk_call(d, a->argc);
    double v = duk_is_number(d, -1) ? duk_get_number(d, -1) : 0;
    duk_pop(d);
    int r = 0;
    if (std::isfinite(v)) r = v >= 2147483647.0 ? 2147483647 : v <= -2147483648.0 ? INT32_MIN : (int)v;
    duk_push_int(d, r);
    return 1;
}

// script_call with a given limit; *failed is set when the error text was set.
static int call_limited(script_context *c, const char *name, const char *const *args, int argc,
                        double limit, int *failed) {
    char missing[1024];
    missing[0] = 0;
    call_args a = {name ? name : "", args, argc, 0, missing, sizeof missing};
    int rc = enter(c, call_body, &a, 1, limit);
    if (rc != DUK_EXEC_SUCCESS) {
        *failed = 1;
        return rc;
    }
    int r = duk_get_int(c->duk, -1);
    duk_pop(c->duk);
    if (a.status) {
        snprintf(c->error_text, sizeof c->error_text, "%s", missing);
        *failed = 1;
        return 0;
    }
    *failed = 0;
    return r;
}

int script_call(script_context *c, const char *name, ...) {
    const char *args[16];
    int argc = 0;
    va_list ap;
    va_start(ap, name);
    for (const char *s; (s = va_arg(ap, const char *)) != nullptr && argc < 16;) args[argc++] = s;
    va_end(ap);
    int failed = 0;
    return call_limited(c, name, args, argc, script_limits.call_seconds, &failed);
}

const char *script_error_text(script_context *c) {
    return c->error_text;
}

static duk_ret_t gc_body(duk_context *d, void *) {
    duk_gc(d, 0);
    duk_gc(d, 0);
    return 0;
}

void script_collect_garbage(script_context *c) {
    enter(c, gc_body, nullptr, 0, script_limits.call_seconds);
}

struct register_args {
    const char *object;
    const char *const *names;
    const duk_c_function *functions;
    const int *counts;
};

static duk_ret_t register_body(duk_context *d, void *udata) {
    register_args *a = (register_args *)udata;
    if (a->object && *a->object) duk_push_object(d);
    else duk_push_global_object(d);
    for (int i = 0; a->names[i]; i++) {
        duk_push_c_function(d, a->functions[i], a->counts[i]);
        duk_put_prop_string(d, -2, a->names[i]);
    }
    if (a->object && *a->object) duk_put_global_string(d, a->object);
    else duk_pop(d);
    return 0;
}

int script_register_natives(script_context *c, const char *object, const char *const *names,
                            const duk_c_function *functions, const int *argument_counts) {
    register_args a = {object, names, functions, argument_counts};
    return enter(c, register_body, &a, 0, script_limits.load_seconds) == DUK_EXEC_SUCCESS;
}

int script_register_natives_as(script_context *c, const char *object) {
    return script_register_natives(c, object, script_native_names, script_native_functions,
                                   script_native_counts);
}

// A fatal error printed its own line.
static void print_error(script_context *c) {
    if (!c->error_text[0] || c->dead) return;
    // The lookup's own texts ("can't find ...") do not name the file yet.
    size_t n = strlen(c->file);
    if (strncmp(c->error_text, c->file, n) == 0)
        console_printf("javascript error: %.900s", c->error_text);
    else
        console_printf("javascript error: %.200s: %.700s", c->file, c->error_text);
}

// A script over its time, or whose engine failed: its sounds stop, its context goes, and the
// hooks do nothing until the next race reset.
static void stop_current() {
    sound_script_free_all();
    script_free(script_current);
    script_current = nullptr;
    console_print("Warning: track script stopped\n");
}

static bool must_stop(script_context *c) {
    return c->dead || c->timed_out;
}

int script_load_text(const char *source, size_t length, const char *file) {
    script_context *c = script_new();
    if (!c) return 0;
    script_register_natives_as(c, "zr");
    if (!script_eval(c, script_prelude, strlen(script_prelude), "prelude")) print_error(c);
    script_current = c;
    if (must_stop(c)) {
        stop_current();
        return 1;
    }
    if (!script_eval(c, source, length, file)) print_error(c);
    if (must_stop(c)) stop_current();
    return 1;
}

// The whole file with its length, so a NUL byte reaches the compiler (and fails there); null
// when it is missing or FILE_TO_STRING_MAX bytes or more ("file too large").
static char *read_script(const char *path, const char *shown, int *length) {
    file_stream *s = stream_open(path, "rb");
    if (!s) return nullptr;
    int capacity = 65536, n = 0;
    char *text = (char *)mem_alloc((size_t)capacity + 1);
    while (text) {
        if (n == capacity) {
            if (capacity >= FILE_TO_STRING_MAX) {
                console_printf("javascript error: %.200s: file too large", shown);
                mem_free(text);
                text = nullptr;
                break;
            }
            char *grown = (char *)mem_realloc(text, (size_t)capacity * 2 + 1);
            if (!grown) {
                mem_free(text);
                text = nullptr;
                break;
            }
            text = grown;
            capacity *= 2;
        }
        int got = stream_read(s, text + n, capacity - n);
        if (got <= 0) break;
        n += got;
    }
    stream_close(s);
    if (!text) return nullptr;
    text[n] = 0;
    *length = n;
    return text;
}

int script_load(const char *path) {
    const char *shown = path[0] == '@' ? path + 1 : path;
    int n = 0;
    char *text = read_script(path, shown, &n);
    if (!text) return 0;
    int r = script_load_text(text, (size_t)n, shown);
    mem_free(text);
    return r;
}

void script_unload() {
    sound_script_free_all();
    script_free(script_current);
    script_current = nullptr;
}

void script_free_sounds() {
    sound_script_free_all();
}

int script_time() {
    long t = (long)race_state.current_tick - (long)race_state.view_delay;
    return t < 0 ? 0 : t > 2147483647L ? 2147483647 : (int)t;
}

static void run_hook(const char *handler, int script_context::*shown) {
    script_context *c = script_current;
    if (!c) return;
    char tics[16];
    snprintf(tics, sizeof tics, "%d", script_time());
    const char *args[1] = {tics};
    int failed = 0;
    call_limited(c, handler, args, 1, script_limits.call_seconds, &failed);
    if (failed && (must_stop(c) || !(c->*shown))) {
        if (!c->dead) print_error(c);
        c->*shown = 1;
    }
    if (must_stop(c)) stop_current();
}

void script_frame_hook() {
    run_hook("zr.frame_handler_", &script_context::frame_error_shown);
}

void script_tic_hook() {
    run_hook("zr.tic_handler_", &script_context::tic_error_shown);
}
