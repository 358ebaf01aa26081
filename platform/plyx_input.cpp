// Input events: the queue, reading with deadlines, key names, aliases, interned names, axes and
// the device list.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <new>
#include <set>
#include <string>
#include <utility>

#include "platform/plyx_sdl.h"

// ---- Queue ----------------------------------------------------------------------------------

void plyx_event_push(event_queue *q, uint32_t code, int pressed, int seconds, int microseconds) {
    if (q->count >= EVENT_QUEUE_SIZE) return;  // a full queue drops the new event
    int i = (q->head + q->count) % EVENT_QUEUE_SIZE;
    q->codes[i] = (code & ~EVENT_RELEASE_BIT) | (pressed ? 0 : EVENT_RELEASE_BIT);
    q->seconds[i] = seconds;
    q->microseconds[i] = microseconds;
    q->count++;
}

void plyx_event_push_now(event_queue *q, uint32_t code, int pressed) {
    int s, us;
    plyx_time(&s, &us);
    plyx_event_push(q, code, pressed, s, us);
}

int plyx_event_pop_stamped(event_queue *q, uint32_t *code, int *pressed, int *seconds,
                           int *microseconds) {
    if (q->count == 0) return 0;
    int i = q->head;
    *code = q->codes[i] & ~EVENT_RELEASE_BIT;
    *pressed = (q->codes[i] & EVENT_RELEASE_BIT) ? 0 : 1;
    if (seconds) *seconds = q->seconds[i];
    if (microseconds) *microseconds = q->microseconds[i];
    q->head = (q->head + 1) % EVENT_QUEUE_SIZE;
    q->count--;
    return 1;
}

int plyx_event_pop(event_queue *q, uint32_t *code, int *pressed) {
    return plyx_event_pop_stamped(q, code, pressed, nullptr, nullptr);
}

int plyx_event_pop_before(event_queue *q, uint32_t *code, int *pressed, int seconds,
                          int microseconds) {
    if (q->count == 0) return 0;
    int i = q->head;
    if (q->seconds[i] > seconds || (q->seconds[i] == seconds && q->microseconds[i] > microseconds))
        return 0;
    return plyx_event_pop(q, code, pressed);
}

void plyx_window_post_event(window_context *w, uint32_t code, int pressed, int seconds,
                            int microseconds) {
    plyx_mutex_lock(w->queue_mutex);
    plyx_event_push(&w->queue, code, pressed, seconds, microseconds);
    plyx_mutex_unlock(w->queue_mutex);
}

void plyx_window_post_event_now(window_context *w, uint32_t code, int pressed) {
    plyx_mutex_lock(w->queue_mutex);
    plyx_event_push_now(&w->queue, code, pressed);
    plyx_mutex_unlock(w->queue_mutex);
}

static int locked_pop_before(window_context *w, uint32_t *code, int *pressed, int seconds,
                             int microseconds) {
    plyx_mutex_lock(w->queue_mutex);
    int got = plyx_event_pop_before(&w->queue, code, pressed, seconds, microseconds);
    plyx_mutex_unlock(w->queue_mutex);
    return got;
}

int plyx_input_next_event_before(window_context *w, uint32_t *code, int *pressed, int seconds,
                                 int microseconds) {
    plyx_pump_messages(w);
    if (locked_pop_before(w, code, pressed, seconds, microseconds)) return 1;
    plyx_input_poll_devices(w->devices);
    return locked_pop_before(w, code, pressed, seconds, microseconds);
}

int plyx_input_next_event_stamped(window_context *w, uint32_t *code, int *pressed, int *seconds,
                                  int *microseconds) {
    plyx_pump_messages(w);
    for (int attempt = 0; attempt < 2; attempt++) {
        if (attempt) plyx_input_poll_devices(w->devices);
        plyx_mutex_lock(w->queue_mutex);
        int got = plyx_event_pop_stamped(&w->queue, code, pressed, seconds, microseconds);
        plyx_mutex_unlock(w->queue_mutex);
        if (got) return 1;
    }
    return 0;
}

int plyx_input_next_event(window_context *w, uint32_t *code, int *pressed) {
    return plyx_input_next_event_stamped(w, code, pressed, nullptr, nullptr);
}

// ---- Interned names and aliases ---------------------------------------------------------------

static std::set<std::string> &intern_pool() {
    static std::set<std::string> pool;
    return pool;
}

const char *plyx_intern_name(const char *text) {
    try {
        return intern_pool().insert(text).first->c_str();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

// Newest first; a name has at most one alias.
static std::list<std::pair<std::string, std::string>> &alias_list() {
    static std::list<std::pair<std::string, std::string>> list;
    return list;
}

const char *plyx_alias_lookup(const char *name) {
    for (const auto &a : alias_list())
        if (a.first == name) return a.second.c_str();
    return name;
}

int plyx_alias_add(const char *name, const char *value) {
    if (plyx_alias_lookup(name) != name) {
        plyx_log("Second alias for '%s' ('%s') ignored\n", name, value);
        return 0;
    }
    try {
        alias_list().emplace_front(name, value);
    } catch (const std::bad_alloc &) {
        plyx_log("Can't alias %s to %s -- out of memory\n", name, value);
        return 0;
    }
    return 1;
}

static int is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '_';
}

static int fold(int c) {
    if (is_blank(c)) return ' ';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    return c;
}

int plyx_name_compare(const char *a, const char *b) {
    for (;; a++, b++) {
        int ca = fold((unsigned char)*a), cb = fold((unsigned char)*b);
        if (ca != cb || !*a || !*b) return ca - cb;
    }
}

// ---- Key names --------------------------------------------------------------------------------

static const char *system_key_names[512];

void plyx_input_load_key_names() {
    if (system_key_names[0]) return;
    for (int s = 0; s < 512; s++) {
        const char *n = plyx_intern_name(plyx_system_key_name(s));
        system_key_names[s] = n ? n : "";
    }
}

static const struct {
    const char *name;
    uint32_t code;
} SPECIAL_KEYS[] = {
    {"Close", EVENT_CLOSE},
    {"Mouse Left", EVENT_MOUSE_BUTTON + 0},
    {"Mouse Middle", EVENT_MOUSE_BUTTON + 1},
    {"Mouse Right", EVENT_MOUSE_BUTTON + 2},
};

// Finds a name among the specials, system names and table rows with the given comparison.
static int key_code_match(const char *name, int (*equal)(const char *, const char *),
                          uint32_t *code) {
    for (const auto &s : SPECIAL_KEYS)
        if (equal(s.name, name)) return *code = s.code, 1;
    for (int s = 0; s < 512; s++)
        if (system_key_names[s][0] && equal(system_key_names[s], name))
            return *code = EVENT_KEY + (uint32_t)s, 1;
    for (int i = 0; i < PLYX_KEY_TABLE_SIZE; i++)
        if (equal(PLYX_KEY_TABLE[i].name, name))
            return *code = EVENT_KEY + (uint32_t)PLYX_KEY_TABLE[i].scan_code, 1;
    return 0;
}

static int names_exact(const char *a, const char *b) { return strcmp(a, b) == 0; }
static int names_loose(const char *a, const char *b) { return plyx_name_compare(a, b) == 0; }

static input_device *find_device(window_context *w, const char *name) {
    for (input_device *d = w ? w->devices : nullptr; d; d = d->next)
        if (strcmp(d->name, name) == 0) return d;
    return nullptr;
}

int plyx_input_key_code(window_context *w, uint32_t *code, const char *name) {
    plyx_input_load_key_names();
    name = plyx_alias_lookup(name);
    if (key_code_match(name, names_exact, code)) return 1;
    if (key_code_match(name, names_loose, code)) return 1;
    if (name[0] == '0' && name[1] == 'x' && isxdigit((unsigned char)name[2])) {
        // Hex digits to the end; the value is checked digit by digit, so no length wraps it.
        unsigned hex = 0;
        const char *p = name + 2;
        for (; isxdigit((unsigned char)*p) && hex <= 0x1FF; p++)
            hex = hex * 16 + (unsigned)(isdigit((unsigned char)*p) ? *p - '0' : (*p | 32) - 'a' + 10);
        if (*p || hex > 0x1FF) return 0;
        *code = EVENT_KEY + hex;
        return 1;
    }
    char device[64];
    int index;
    if (sscanf(name, "%63[^.].key[%d]", device, &index) == 2 ||
        sscanf(name, "%63s button %d", device, &index) == 2) {
        input_device *d = find_device(w, device);
        if (!d || index < 0 || index > 255 || index >= d->key_count) return 0;
        d->keys_watched = d->acquire_keys(d) ? 1 : 0;
        *code = d->id + (uint32_t)index;
        return 1;
    }
    return 0;
}

const char *plyx_input_key_name(window_context *w, uint32_t code) {
    plyx_input_load_key_names();
    for (const auto &s : SPECIAL_KEYS)
        if (s.code == code) return plyx_intern_name(s.name);
    if (code < EVENT_KEY || code > EVENT_KEY + 0x1FF) {
        uint32_t id = code & 0xFFFF0000u;
        for (input_device *d = w ? w->devices : nullptr; d; d = d->next) {
            if (id && d->id == id) {
                char text[1100];
                snprintf(text, sizeof text, "%.1000s button %d", d->name, (int)(code & 0xFF));
                return plyx_intern_name(text);
            }
        }
        return nullptr;
    }
    int scan = (int)(code - EVENT_KEY);
    if (system_key_names[scan][0]) return system_key_names[scan];
    for (int i = 0; i < PLYX_KEY_TABLE_SIZE; i++)
        if (PLYX_KEY_TABLE[i].scan_code == scan) return plyx_intern_name(PLYX_KEY_TABLE[i].name);
    char text[16];
    snprintf(text, sizeof text, "0x%x", scan);
    return plyx_intern_name(text);
}

// ---- Axes ---------------------------------------------------------------------------------------

axis_handle *plyx_input_open_axis(window_context *w, const char *name) {
    name = plyx_alias_lookup(name);
    char device[64];
    int index;
    if (sscanf(name, "%63[^.].axis[%d]", device, &index) != 2 &&
        sscanf(name, "%63s axis %d", device, &index) != 2)
        return nullptr;
    if (index < 0) return nullptr;
    input_device *d = find_device(w, device);
    if (!d || index >= d->axis_count) return nullptr;
    if (d->axis_users == 0 && !d->acquire_axes(d)) return nullptr;
    axis_handle *h = (axis_handle *)malloc(sizeof *h);
    if (!h) return nullptr;
    d->axis_users++;
    h->device = d;
    h->index = index;
    return h;
}

int plyx_input_read_axis(axis_handle *h) {
    if (!h) return 0;
    return h->device->read_axis(h->device, h->index);
}

void plyx_input_close_axis(axis_handle *h) {
    if (!h) return;
    input_device *d = h->device;
    if (--d->axis_users <= 0) {
        d->axis_users = 0;
        d->release(d);
    }
    free(h);
}

const char **plyx_input_axis_names(window_context *w) {
    return w->axis_names;
}

void plyx_input_add_axis_name(window_context *w, const char *name) {
    const char *interned = plyx_intern_name(name);
    if (!interned) return;
    const char **names = (const char **)w->axis_name_list.items;
    for (int i = 0; i < w->axis_name_list.count; i++)
        if (names[i] == interned) return;
    plyx_array_append(&w->axis_name_list, &interned);
}

// ---- Devices --------------------------------------------------------------------------------

uint32_t plyx_input_new_device_id(window_context *w, const char *name) {
    uint16_t even = 0;
    uint8_t odd = 0;
    for (size_t i = 0; name[i]; i++) {
        if (i % 2 == 0)
            even = (uint16_t)(even + (unsigned char)name[i]);
        else
            odd = (uint8_t)(odd + (unsigned char)name[i]);
    }
    uint32_t id = ((uint32_t)(even + 256u * odd) & 0x7FFF) << 16;
    for (int tries = 0; tries < 65535; tries++) {
        int used = id == 0;
        for (input_device *d = w->devices; d && !used; d = d->next) used = d->id == id;
        if (!used) return id;
        id = (id + 0x10000) & 0x7FFF0000u;
    }
    return 0;
}

void plyx_input_add_device(window_context *w, input_device *d) {
    d->next = w->devices;
    w->devices = d;
}

void plyx_input_poll_devices(input_device *list) {
    for (input_device *d = list; d; d = d->next)
        if (d->keys_watched) d->poll(d);
}

void plyx_input_close_devices(window_context *w) {
    input_device *d = w->devices;
    w->devices = nullptr;
    while (d) {
        input_device *next = d->next;
        if (d->axis_users) {
            d->axis_users = 0;
            d->release(d);
        }
        d->destroy(d);
        d = next;
    }
}
