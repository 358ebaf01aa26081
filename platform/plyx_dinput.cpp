// Joystick and mouse input devices: the roll call, axis values kept current by the event pump,
// and button changes buffered with their time stamps until the device is polled.
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/plyx_sdl.h"

// One change of a button, as the pump saw it.
struct dinput_change {
    int button;
    int pressed;
    uint32_t stamp;          // SDL's millisecond stamp
};

// A joystick or the mouse; the common record comes first, so the list holds it as that.
struct dinput_device {
    input_device base;
    SDL_Joystick *joystick;  // null for the mouse
    SDL_JoystickID instance; // -1 for the mouse
    int relative;            // axes report movement, summed until read
    int acquired;
    int *axis_values;
    unsigned char *button_states;
    dinput_change buffer[DINPUT_BUFFER_SIZE];
    int buffer_head, buffer_count;
    int timestamp_adjustment; // milliseconds taken off the device's stamps
};

static const struct {
    const char *alias, *value;
} DINPUT_ALIASES[] = {
    {"mouse-x", "Mouse.axis[0]"},          {"mouse-y", "Mouse.axis[1]"},
    {"mouse-left", "Mouse.key[0]"},        {"mouse-right", "Mouse.key[1]"},
    {"mouse-middle", "Mouse.key[2]"},      {"joystick-a-x", "Joystick1.axis[0]"},
    {"joystick-a-y", "Joystick1.axis[1]"}, {"joystick-a-1", "Joystick1.key[0]"},
    {"joystick-a-2", "Joystick1.key[1]"},  {"joystick-b-x", "Joystick2.axis[0]"},
    {"joystick-b-y", "Joystick2.axis[1]"}, {"joystick-b-1", "Joystick2.key[0]"},
    {"joystick-b-2", "Joystick2.key[1]"},
};

// ---- Device operations --------------------------------------------------------------------------

static int dinput_acquire(input_device *d) {
    ((dinput_device *)d)->acquired = 1;
    return 1;
}

static void dinput_release(input_device *d) {
    if (!d->keys_watched) ((dinput_device *)d)->acquired = 0;
}

// Posts the buffered button changes, each stamped with the device's time less the adjustment;
// a stamp ahead of the clock moves the adjustment so it is not.
static void dinput_poll(input_device *base) {
    dinput_device *d = (dinput_device *)base;
    while (d->buffer_count > 0) {
        dinput_change c = d->buffer[d->buffer_head];
        d->buffer_head = (d->buffer_head + 1) % DINPUT_BUFFER_SIZE;
        d->buffer_count--;
        unsigned char state = c.pressed ? 1 : 0;
        if (d->button_states[c.button] == state) continue;
        d->button_states[c.button] = state;
        uint64_t now = SDL_GetTicks64();
        int64_t device = (int64_t)plyx_widen_stamp(c.stamp, now);
        int64_t ms = device - d->timestamp_adjustment;
        if (ms > (int64_t)now) {
            d->timestamp_adjustment = (int)(device - (int64_t)now);
            ms = (int64_t)now;
        }
        if (ms < 0) ms = 0;
        plyx_window_post_event(base->window, base->id + (uint32_t)c.button, c.pressed,
                               (int)(ms / 1000), (int)(ms % 1000) * 1000);
    }
}

static int dinput_read_axis(input_device *base, int index) {
    dinput_device *d = (dinput_device *)base;
    dinput_poll(base);
    if (index < 0 || index >= base->axis_count) return 0;
    int value = d->axis_values[index];
    if (d->relative) d->axis_values[index] = 0;
    return value;
}

static void dinput_destroy(input_device *base) {
    dinput_device *d = (dinput_device *)base;
    plyx_log("Killing %s\n", base->name);
    if (d->timestamp_adjustment > 0)
        plyx_log("Timestamp adjustment was %d\n", d->timestamp_adjustment);
    free(d->axis_values);
    free(d->button_states);
    if (d->joystick) {
        SDL_JoystickClose(d->joystick);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    free(d);
}

// ---- Events from the pump -----------------------------------------------------------------------

// The device an event belongs to. An unplugged joystick gets nothing more: SDL centres its
// axes and releases its buttons on the way out, but it keeps its last values and posts nothing.
static dinput_device *find_device(window_context *w, SDL_JoystickID instance) {
    for (input_device *i = w->devices; i; i = i->next) {
        dinput_device *d = (dinput_device *)i;
        if (i->poll != dinput_poll || d->instance != instance) continue;
        if (d->joystick && !SDL_JoystickGetAttached(d->joystick)) return nullptr;
        return d;
    }
    return nullptr;
}

// Buffers a button change; dropped while the device is not acquired, or when the buffer is full.
static void button_change(dinput_device *d, int button, int pressed, uint32_t stamp) {
    if (!d || !d->acquired || button < 0 || button >= d->base.key_count || button > 255) return;
    if (d->buffer_count >= DINPUT_BUFFER_SIZE) return;
    d->buffer[(d->buffer_head + d->buffer_count) % DINPUT_BUFFER_SIZE] = {button, pressed, stamp};
    d->buffer_count++;
}

// Adds movement to a relative axis of an acquired device.
static void relative_move(dinput_device *d, int axis, int amount) {
    if (d && d->acquired && axis < d->base.axis_count) d->axis_values[axis] += amount;
}

static int mouse_button_index(int sdl_button) {
    switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    case SDL_BUTTON_X2: return 4;
    default: return -1;
    }
}

void plyx_input_device_event(window_context *w, const SDL_Event *e) {
    switch (e->type) {
    case SDL_JOYAXISMOTION: {
        // Absolute axes keep the last value, from -32767 to 32767.
        dinput_device *d = find_device(w, e->jaxis.which);
        if (d && e->jaxis.axis < d->base.axis_count)
            d->axis_values[e->jaxis.axis] = e->jaxis.value < -32767 ? -32767 : e->jaxis.value;
        break;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        button_change(find_device(w, e->jbutton.which), e->jbutton.button,
                      e->jbutton.state == SDL_PRESSED, e->jbutton.timestamp);
        break;
    case SDL_MOUSEMOTION: {
        dinput_device *d = find_device(w, -1);
        relative_move(d, 0, e->motion.xrel);
        relative_move(d, 1, e->motion.yrel);
        break;
    }
    case SDL_MOUSEWHEEL: {
        // In notches of 120, as the wheel reports them.
        int notches = e->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e->wheel.y : e->wheel.y;
        relative_move(find_device(w, -1), 2, notches * 120);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        button_change(find_device(w, -1), mouse_button_index(e->button.button),
                      e->button.state == SDL_PRESSED, e->button.timestamp);
        break;
    default:
        break;
    }
}

// ---- Roll call ---------------------------------------------------------------------------------

// Cuts text to at most max bytes, never inside a UTF-8 character.
static void cut_utf8(std::string &text, size_t max) {
    if (text.size() <= max) return;
    size_t n = max;
    while (n > 0 && ((unsigned char)text[n] & 0xC0) == 0x80) n--;
    text.resize(n);
}

static int name_listed(window_context *w, const std::string &name) {
    for (input_device *d = w->devices; d; d = d->next)
        if (name == d->name) return 1;
    return 0;
}

// The instance name without blanks and dots, "#2", "#3" ... added while a listed device has
// that name, the whole cut to 63 bytes.
static std::string device_name(window_context *w, const char *instance) {
    std::string base;
    for (const char *c = instance; *c; c++) {
        unsigned char b = (unsigned char)*c;
        if (b != '.' && b != ' ' && !(b >= '\t' && b <= '\r')) base += (char)b;
    }
    if (base.empty()) base = "Joystick";
    for (int n = 1;; n++) {
        char suffix[16] = "";
        if (n > 1) snprintf(suffix, sizeof suffix, "#%d", n);
        std::string name = base;
        cut_utf8(name, 63 - strlen(suffix));
        name += suffix;
        if (!name_listed(w, name)) return name;
    }
}

// Makes the device record, logging its set-up; null (logged) when it is dropped.
static dinput_device *device_new(window_context *w, const char *instance, const char *product,
                                 int axes, int buttons, int relative) {
    plyx_log("%s (%s)\n", instance, product);
    std::string name = device_name(w, instance);
    uint32_t id = plyx_input_new_device_id(w, name.c_str());
    if (!id) {
        plyx_log("Can't create \"%s\"\n", name.c_str());
        return nullptr;
    }
    if (axes < 0 || buttons < 0) {
        plyx_log("Can't get device caps\n");
        return nullptr;
    }
    if (axes == 0 && buttons == 0) {
        plyx_log("Ignoring Dunsel device\n");
        return nullptr;
    }
    plyx_log("%d axes, %d keys\n", axes, buttons);
    if (axes > DINPUT_MAX_AXES) {
        plyx_log("Wow! This thing has a lot of axes!\nThe first ignored axis is called "
                 "\"%.200s axis %d\"\n", name.c_str(), DINPUT_MAX_AXES);
        axes = DINPUT_MAX_AXES;
    }
    if (buttons > DINPUT_MAX_BUTTONS) {
        plyx_log("Wow! This thing has a lot of buttons!\nThe first ignored button is called "
                 "\"%.200s button %d\"\n", name.c_str(), DINPUT_MAX_BUTTONS);
        buttons = DINPUT_MAX_BUTTONS;
    }
    for (int a = 0; a < axes; a++)
        plyx_log("axis %d is %s\n", a, relative ? "relative" : "absolute");

    dinput_device *d = (dinput_device *)calloc(1, sizeof(dinput_device));
    int *values = (int *)calloc((size_t)axes + 1, sizeof(int));
    unsigned char *states = (unsigned char *)calloc((size_t)buttons + 1, 1);
    if (!d || !values || !states) {
        plyx_log("Out of memory\n");
        free(d);
        free(values);
        free(states);
        return nullptr;
    }
    d->base.window = w;
    snprintf(d->base.name, sizeof d->base.name, "%s", name.c_str());
    d->base.id = id;
    d->base.key_count = buttons;
    d->base.axis_count = axes;
    d->base.acquire_keys = dinput_acquire;
    d->base.acquire_axes = dinput_acquire;
    d->base.release = dinput_release;
    d->base.read_axis = dinput_read_axis;
    d->base.poll = dinput_poll;
    d->base.destroy = dinput_destroy;
    d->instance = -1;
    d->relative = relative;
    d->axis_values = values;
    d->button_states = states;
    if (!relative) {
        for (int a = 0; a < axes; a++) {
            char axis[256];
            snprintf(axis, sizeof axis, "%.200s axis %d", d->base.name, a);
            plyx_log("Adding axis \"%s\"\n", axis);
            plyx_input_add_axis_name(w, axis);
        }
    }
    return d;
}

static void mouse_setup(window_context *w) {
    // x and y from motion, the wheel; left, right, middle and the two side buttons.
    dinput_device *d = device_new(w, "Mouse", "Mouse", 3, 5, 1);
    if (d) plyx_input_add_device(w, &d->base);
}

static void joystick_setup(window_context *w, int index) {
    const char *instance = SDL_JoystickNameForIndex(index);
    if (!instance || !*instance) instance = "Joystick";
    char product[16];
    snprintf(product, sizeof product, "%04x:%04x", SDL_JoystickGetDeviceVendor(index),
             SDL_JoystickGetDeviceProduct(index));
    SDL_Joystick *j = SDL_JoystickOpen(index);
    if (!j) {
        plyx_log("%s (%s)\n", instance, product);
        plyx_log("Can't create \"%s\"\n", device_name(w, instance).c_str());
        return;
    }
    dinput_device *d = device_new(w, instance, product, SDL_JoystickNumAxes(j),
                                  SDL_JoystickNumButtons(j), 0);
    if (!d) {
        SDL_JoystickClose(j);
        return;
    }
    d->joystick = j;
    d->instance = SDL_JoystickInstanceID(j);
    for (int a = 0; a < d->base.axis_count; a++) {
        Sint16 v = SDL_JoystickGetAxis(j, a);
        d->axis_values[a] = v < -32767 ? -32767 : v;
    }
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);  // the device holds the subsystem until destroyed
    plyx_input_add_device(w, &d->base);
}

int plyx_dinput_open(window_context *w) {
    if (!plyx_option_bool("dinput", 1)) {
        plyx_log("DirectInput disabled\n");
        return 0;
    }
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        plyx_log("Can't open direct input library\n");
        return 0;
    }
    plyx_log("Creating DirectInput object\n");
    plyx_log("DirectInput roll call...\n");
    if (!plyx_option_bool("dinputsticksonly", 1)) mouse_setup(w);
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; i++) joystick_setup(w, i);
    plyx_log("End of DirectInput roll call\n");
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    for (const auto &a : DINPUT_ALIASES) plyx_alias_add(a.alias, a.value);
    return 1;
}
