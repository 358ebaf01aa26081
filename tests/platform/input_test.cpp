// Input events: the queue, key names and codes, aliases, axes, device ids and the translation of
// SDL events.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/plyx_sdl.h"
#include "tests/support/test_support.h"

TEST(platform_events, QueueDropsTheNewestWhenFull) {
    event_queue q = {};
    for (int i = 0; i < 257; i++) plyx_event_push(&q, (uint32_t)i, 1, 0, i);
    EXPECT_EQ(q.count, 256);
    for (int i = 0; i < 256; i++) {
        uint32_t code;
        int pressed;
        ASSERT_EQ(plyx_event_pop(&q, &code, &pressed), 1);
        EXPECT_EQ(code, (uint32_t)i);
    }
    uint32_t code;
    int pressed;
    EXPECT_EQ(plyx_event_pop(&q, &code, &pressed), 0);
}

TEST(platform_events, ReleaseBitAndDeadlines) {
    event_queue q = {};
    plyx_event_push(&q, 0x1010, 1, 5, 500000);
    plyx_event_push(&q, 0x1010, 0, 5, 600000);
    EXPECT_EQ(q.codes[1], 0x1010u | EVENT_RELEASE_BIT);
    uint32_t code;
    int pressed;
    EXPECT_EQ(plyx_event_pop_before(&q, &code, &pressed, 5, 499999), 0);
    EXPECT_EQ(plyx_event_pop_before(&q, &code, &pressed, 4, 999999), 0);
    ASSERT_EQ(plyx_event_pop_before(&q, &code, &pressed, 5, 500000), 1);  // exactly at the deadline
    EXPECT_EQ(code, 0x1010u);
    EXPECT_EQ(pressed, 1);
    ASSERT_EQ(plyx_event_pop_before(&q, &code, &pressed, 6, 0), 1);
    EXPECT_EQ(code, 0x1010u);
    EXPECT_EQ(pressed, 0);
}

// A device whose operations count their calls.
static int fake_acquire_keys_calls, fake_acquire_axes_calls, fake_release_calls;
static int fake_acquire_keys(input_device *) { return ++fake_acquire_keys_calls, 1; }
static int fake_acquire_axes(input_device *) { return ++fake_acquire_axes_calls, 1; }
static void fake_release(input_device *) { fake_release_calls++; }
static int fake_read_axis(input_device *, int index) { return 1000 + index; }
static void fake_poll(input_device *) {}
static void fake_destroy(input_device *) {}

static input_device fake_device(window_context *w, const char *name) {
    input_device d = {};
    d.window = w;
    snprintf(d.name, sizeof d.name, "%s", name);
    d.id = plyx_input_new_device_id(w, name);
    d.key_count = 8;
    d.axis_count = 3;
    d.acquire_keys = fake_acquire_keys;
    d.acquire_axes = fake_acquire_axes;
    d.release = fake_release;
    d.read_axis = fake_read_axis;
    d.poll = fake_poll;
    d.destroy = fake_destroy;
    return d;
}

TEST(platform_names, KeyCodeLookupOrder) {
    window_context w = {};
    input_device joy = fake_device(&w, "Joystick1");
    plyx_input_add_device(&w, &joy);
    plyx_alias_add("cursor-left", "Mouse Left");
    struct {
        const char *name;
        uint32_t code;  // 0: no match
    } cases[] = {
        {"Close", EVENT_CLOSE},
        {"Mouse Right", 0x2002},
        {"cursor-left", 0x2000},
        {"Left Ctrl", 0x101D},
        {"left ctrl", 0x101D},
        {"LEFT_CTRL", 0x101D},
        {"Space", 0x1039},
        {" ", 0x1039},
        {"Keypad Enter", 0x111C},
        {"Print Screen", 0x1137},
        {"0x1ff", 0x11FF},
        {"0x200", 0},
        {"0x100000000", 0},          // wraps to 0 in 32 bits
        {"0x100000038", 0},
        {"0x0000000000000038", 0x1038},
        {"0x1F", 0x101F},
        {"0x38 ", 0},
        {"Joystick1.key[0]", joy.id},
        {"Joystick1 button 3", joy.id + 3},
        {"Joystick1 button 8", 0},   // beyond its key count
        {"Joystick2 button 0", 0},   // no such device
        {"Nothing At All", 0},
    };
    for (auto &c : cases) {
        uint32_t code = 0;
        int ok = plyx_input_key_code(&w, &code, c.name);
        EXPECT_EQ(ok, c.code != 0) << c.name;
        if (ok) {
            EXPECT_EQ(code, c.code) << c.name;
        }
    }
    EXPECT_EQ(joy.keys_watched, 1);
    const char *a = plyx_input_key_name(&w, joy.id + 0);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a, "Joystick1 button 0");
    EXPECT_EQ(plyx_input_key_name(&w, 'a'), nullptr);
    EXPECT_STREQ(plyx_input_key_name(&w, 0x1038), "0x38");  // Left Alt has no name
    w.devices = nullptr;
}

TEST(platform_names, EveryTableRowRoundTrips) {
    for (int i = 0; i < PLYX_KEY_TABLE_SIZE; i++) {
        uint32_t code;
        ASSERT_EQ(plyx_input_key_code(nullptr, &code, PLYX_KEY_TABLE[i].name), 1)
            << PLYX_KEY_TABLE[i].name;
        EXPECT_EQ(code, EVENT_KEY + (uint32_t)PLYX_KEY_TABLE[i].scan_code);
        const char *name = plyx_input_key_name(nullptr, code);
        std::string expected = strcmp(PLYX_KEY_TABLE[i].name, " ") == 0 ? "Space"
                                                                         : PLYX_KEY_TABLE[i].name;
        EXPECT_EQ(name, expected);
        // Names are interned: the same text gives the same pointer.
        EXPECT_EQ(name, plyx_intern_name(expected.c_str()));
    }
}

TEST(platform_names, SecondAliasIsRefused) {
    temp_dir dir;
    std::string log = dir.file("log.txt");
    setenv("PLYX_LOGFILE", log.c_str(), 1);
    EXPECT_EQ(plyx_alias_add("mouse-left", "Mouse.key[0]"), 1);
    EXPECT_EQ(plyx_alias_add("mouse-left", "Mouse.key[1]"), 0);
    EXPECT_STREQ(plyx_alias_lookup("mouse-left"), "Mouse.key[0]");
    const char *other = "unaliased";
    EXPECT_EQ(plyx_alias_lookup(other), other);
    EXPECT_NE(test_read_file(log).find("Second alias for 'mouse-left' ('Mouse.key[1]') ignored\n"),
              std::string::npos);
}

TEST(platform_names, LooseCompare) {
    EXPECT_EQ(plyx_name_compare("Left Ctrl", "left_ctrl"), 0);
    EXPECT_EQ(plyx_name_compare("Left\tCtrl", "LEFT CTRL"), 0);
    EXPECT_NE(plyx_name_compare("Left Ctrl", "Left Ctrl "), 0);
    EXPECT_NE(plyx_name_compare("A", "B"), 0);
}

TEST(platform_axes, OpenTwiceAcquiresOnce) {
    window_context w = {};
    input_device d = fake_device(&w, "Joystick1");
    plyx_input_add_device(&w, &d);
    axis_handle *a = plyx_input_open_axis(&w, "Joystick1 axis 1");
    axis_handle *b = plyx_input_open_axis(&w, "Joystick1.axis[2]");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(plyx_input_open_axis(&w, "Joystick1 axis 3"), nullptr);
    EXPECT_EQ(plyx_input_open_axis(&w, "Joystick1 axis -1"), nullptr);
    EXPECT_EQ(fake_acquire_axes_calls, 1);
    EXPECT_EQ(plyx_input_read_axis(a), 1001);
    EXPECT_EQ(plyx_input_read_axis(b), 1002);
    EXPECT_EQ(plyx_input_read_axis(nullptr), 0);
    plyx_input_close_axis(a);
    EXPECT_EQ(fake_release_calls, 0);
    plyx_input_close_axis(b);
    EXPECT_EQ(fake_release_calls, 1);
    plyx_input_close_axis(nullptr);
    w.devices = nullptr;
}

TEST(platform_devices, NewIdMovesOnWhenTaken) {
    window_context w = {};
    uint32_t first = plyx_input_new_device_id(&w, "Joystick1");
    EXPECT_NE(first, 0u);
    EXPECT_EQ(first & ~0x7FFF0000u, 0u);
    input_device d = fake_device(&w, "Joystick1");
    EXPECT_EQ(d.id, first);
    plyx_input_add_device(&w, &d);
    EXPECT_EQ(plyx_input_new_device_id(&w, "Joystick1"), (first + 0x10000) & 0x7FFF0000u);
    // Name "ab": even sum 'a', odd sum 'b'.
    window_context empty = {};
    EXPECT_EQ(plyx_input_new_device_id(&empty, "ab"), (uint32_t)((('a' + 256 * 'b') & 0x7FFF) << 16));
    w.devices = nullptr;
}

static SDL_Event key_event(Uint32 type, SDL_Scancode sc, Uint16 mod = 0) {
    SDL_Event e = {};
    e.type = type;
    e.key.timestamp = 1234;
    e.key.keysym.scancode = sc;
    e.key.keysym.mod = mod;
    return e;
}

TEST(platform_keys, Translation) {
    struct {
        SDL_Event event;
        int count;
        uint32_t codes[2];
        int pressed[2];
    } cases[] = {
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_TAB), 2, {0x100F, 9}, {1, 1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER), 2, {0x111C, 13}, {1, 1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_RCTRL), 1, {0x111D}, {1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_DELETE), 2, {0x1153, 127}, {1, 1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE), 2, {0x100E, 8}, {1, 1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE, KMOD_LCTRL), 2, {0x100E, 127}, {1, 1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_RETURN), 2, {0x101C, 13}, {1, 1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE), 2, {0x1001, 27}, {1, 1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_X, KMOD_LALT), 0, {}, {}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_LALT), 0, {}, {}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_F10), 1, {0x1044}, {1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_PAUSE), 1, {0x1045}, {1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_NUMLOCKCLEAR), 1, {0x1145}, {1}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_LCTRL), 1, {0x101E}, {1}},
        {key_event(SDL_KEYUP, SDL_SCANCODE_TAB), 1, {0x100F}, {0}},
        {key_event(SDL_KEYDOWN, SDL_SCANCODE_F13), 0, {}, {}},
    };
    for (auto &c : cases) {
        input_event out[4];
        int n = plyx_translate_event(&c.event, out, 4, 5000);
        ASSERT_EQ(n, c.count) << c.event.key.keysym.scancode;
        for (int i = 0; i < n; i++) {
            EXPECT_EQ(out[i].code, c.codes[i]) << c.event.key.keysym.scancode;
            EXPECT_EQ(out[i].pressed, c.pressed[i]);
            EXPECT_EQ(out[i].seconds, 1);
            EXPECT_EQ(out[i].microseconds, 234000);
        }
    }
}

TEST(platform_keys, TextAndButtons) {
    SDL_Event e = {};
    e.type = SDL_TEXTINPUT;
    strcpy(e.text.text, "\xC3\xA9");  // é
    input_event out[4];
    ASSERT_EQ(plyx_translate_event(&e, out, 4, 0), 1);
    EXPECT_EQ(out[0].code, 0xE9u);
    EXPECT_EQ(out[0].pressed, 1);
    strcpy(e.text.text, "\xE2\x82\xAC");  // € is beyond 255
    EXPECT_EQ(plyx_translate_event(&e, out, 4, 0), 0);

    SDL_Event b = {};
    b.type = SDL_MOUSEBUTTONDOWN;
    b.button.button = SDL_BUTTON_RIGHT;
    ASSERT_EQ(plyx_translate_event(&b, out, 4, 0), 1);
    EXPECT_EQ(out[0].code, 0x2002u);
    b.type = SDL_MOUSEBUTTONUP;
    b.button.button = SDL_BUTTON_LEFT;
    ASSERT_EQ(plyx_translate_event(&b, out, 4, 0), 1);
    EXPECT_EQ(out[0].code, 0x2000u);
    EXPECT_EQ(out[0].pressed, 0);
    b.button.button = SDL_BUTTON_X1;
    EXPECT_EQ(plyx_translate_event(&b, out, 4, 0), 0);
}

TEST(platform_keys, StampsWidenAgainstTheClock) {
    EXPECT_EQ(plyx_widen_stamp(1234, 5000), 1234u);
    uint64_t now = ((uint64_t)1 << 32) + 100;
    EXPECT_EQ(plyx_widen_stamp(50, now), ((uint64_t)1 << 32) + 50);
    EXPECT_EQ(plyx_widen_stamp(0xFFFFFFF0u, now), 0xFFFFFFF0u);  // just before the wrap
}
