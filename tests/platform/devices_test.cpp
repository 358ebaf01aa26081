// Input devices under the test X server: virtual joysticks, the mouse device and the cursor.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/plyx_sdl.h"
#include "tests/support/test_support.h"

// A window opened over the given virtual joysticks (2 axes, 2 buttons each unless named in
// the table), with its log.
struct device_fixture {
    temp_dir dir;
    std::string log;
    std::vector<SDL_Joystick *> sticks;
    window_context *w = nullptr;

    explicit device_fixture(const std::vector<std::string> &names, const char *options = "") {
        test_isolate_home(dir);
        log = dir.file("log.txt");
        setenv("PLYX_LOGFILE", log.c_str(), 1);
        setenv("PLYX_OPTIONS", options, 1);
        // Xvfb has no window manager to give the window focus.
        setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
        EXPECT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
        for (const std::string &name : names) {
            SDL_VirtualJoystickDesc desc;
            SDL_zero(desc);
            desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
            desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
            desc.naxes = 2;
            desc.nbuttons = 2;
            desc.nhats = 1;
            desc.vendor_id = 0x1234;
            desc.product_id = 0xabcd;
            desc.name = name.c_str();
            int index = SDL_JoystickAttachVirtualEx(&desc);
            EXPECT_GE(index, 0) << SDL_GetError();
            sticks.push_back(SDL_JoystickOpen(index));
        }
        w = plyx_window_open("devices", 320, 240, 0);
        EXPECT_NE(w, nullptr);
    }
    ~device_fixture() {
        close();
        for (SDL_Joystick *j : sticks) SDL_JoystickClose(j);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    void close() {
        if (w) plyx_window_close(w);
        w = nullptr;
    }
    input_device *device(const std::string &name) {
        for (input_device *d = w->devices; d; d = d->next)
            if (name == d->name) return d;
        return nullptr;
    }
    // Moves a virtual joystick and lets the pump deliver it.
    void set_axis(int stick, int axis, int value) {
        SDL_JoystickSetVirtualAxis(sticks[stick], axis, (Sint16)value);
        plyx_pump_messages(w);
    }
    void set_button(int stick, int button, int down) {
        SDL_JoystickSetVirtualButton(sticks[stick], button, (Uint8)down);
        plyx_pump_messages(w);
    }
    std::string text() { return test_read_file(log); }
};

static bool has_axis_name(window_context *w, const char *name) {
    for (const char **n = plyx_input_axis_names(w); *n; n++)
        if (std::string(*n) == name) return true;
    return false;
}

TEST(platform_devices, IdenticalJoysticksGetDistinctNames) {
    device_fixture f({"Joystick 1", "Joystick 1"});
    input_device *a = f.device("Joystick1"), *b = f.device("Joystick1#2");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a->id, b->id);
    EXPECT_EQ(a->axis_count, 2);  // the hat is neither axes nor buttons
    EXPECT_EQ(a->key_count, 2);
    EXPECT_TRUE(has_axis_name(f.w, "Joystick1 axis 0"));
    EXPECT_TRUE(has_axis_name(f.w, "Joystick1#2 axis 1"));
    f.close();
    std::string log = f.text();
    for (const char *line :
         {"Creating DirectInput object\n", "DirectInput roll call...\n", "Joystick 1 (1234:abcd)\n",
          "2 axes, 2 keys\n", "axis 0 is absolute\n", "Adding axis \"Joystick1 axis 0\"\n",
          "Adding axis \"Joystick1#2 axis 1\"\n", "End of DirectInput roll call\n",
          "Closing input devices\n", "Killing Joystick1\n", "Killing Joystick1#2\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find("Timestamp adjustment"), std::string::npos);
}

TEST(platform_devices, JoystickAxesReadAbsolute) {
    device_fixture f({"Joystick 1"});
    axis_handle *x = plyx_input_open_axis(f.w, "joystick-a-x");
    axis_handle *y = plyx_input_open_axis(f.w, "Joystick1 axis 1");
    ASSERT_NE(x, nullptr);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(plyx_input_open_axis(f.w, "Joystick1 axis 2"), nullptr);
    f.set_axis(0, 0, 16384);
    f.set_axis(0, 1, -32768);
    EXPECT_EQ(plyx_input_read_axis(x), 16384);
    EXPECT_EQ(plyx_input_read_axis(x), 16384);  // absolute: read again, the same
    EXPECT_EQ(plyx_input_read_axis(y), -32767);
    plyx_input_close_axis(x);
    plyx_input_close_axis(y);
}

TEST(platform_devices, ButtonPressAndReleaseBetweenPolls) {
    device_fixture f({"Joystick 1"});
    // Changes before the button is bound are not kept.
    f.set_button(0, 0, 1);
    f.set_button(0, 0, 0);
    uint32_t code = 0;
    ASSERT_EQ(plyx_input_key_code(f.w, &code, "joystick-a-1"), 1);
    input_device *d = f.device("Joystick1");
    EXPECT_EQ(code, d->id + 0);
    EXPECT_STREQ(plyx_input_key_name(f.w, code), "Joystick1 button 0");
    uint32_t got;
    int pressed;
    EXPECT_EQ(plyx_input_next_event(f.w, &got, &pressed), 0);

    f.set_button(0, 0, 1);
    f.set_button(0, 0, 0);
    ASSERT_EQ(plyx_input_next_event(f.w, &got, &pressed), 1);
    EXPECT_EQ(got, code);
    EXPECT_EQ(pressed, 1);
    ASSERT_EQ(plyx_input_next_event(f.w, &got, &pressed), 1);
    EXPECT_EQ(got, code);
    EXPECT_EQ(pressed, 0);
    EXPECT_EQ(plyx_input_next_event(f.w, &got, &pressed), 0);
}

TEST(platform_devices, ChatteringAxesLoseNoButton) {
    device_fixture f({"Joystick 1"});
    uint32_t code = 0;
    ASSERT_EQ(plyx_input_key_code(f.w, &code, "Joystick1 button 1"), 1);
    // A hundred axis changes, far more than the 25 buffered button changes, then the press.
    for (int i = 0; i < 100; i++) f.set_axis(0, i % 2, i * 300);
    f.set_button(0, 1, 1);
    uint32_t got;
    int pressed;
    ASSERT_EQ(plyx_input_next_event(f.w, &got, &pressed), 1);
    EXPECT_EQ(got, code);
    EXPECT_EQ(pressed, 1);
}

TEST(platform_devices, LongNamesAreCutToBind) {
    std::string longest(100, 'J');
    std::string accented = std::string(62, 'K') + "\xc3\xa9tail";  // the é straddles byte 63
    device_fixture f({longest, longest, accented});
    std::string first(63, 'J'), second = std::string(61, 'J') + "#2", third(62, 'K');
    for (const std::string &name : {first, second, third}) {
        input_device *d = f.device(name);
        ASSERT_NE(d, nullptr) << name;
        uint32_t code;
        EXPECT_EQ(plyx_input_key_code(f.w, &code, (name + " button 1").c_str()), 1) << name;
        EXPECT_EQ(plyx_input_key_name(f.w, code), name + " button 1");
        axis_handle *h = plyx_input_open_axis(f.w, (name + " axis 0").c_str());
        ASSERT_NE(h, nullptr) << name;
        plyx_input_close_axis(h);
    }
    f.set_axis(1, 0, 1000);
    axis_handle *h = plyx_input_open_axis(f.w, (second + " axis 0").c_str());
    EXPECT_EQ(plyx_input_read_axis(h), 1000);
    plyx_input_close_axis(h);
}

TEST(platform_devices, DinputOffLeavesTheCursor) {
    device_fixture f({"Joystick 1"}, "[dinput:off]");
    ASSERT_NE(f.w->devices, nullptr);
    EXPECT_STREQ(f.w->devices->name, "cursor");
    EXPECT_EQ(f.w->devices->next, nullptr);
    EXPECT_EQ(plyx_input_axis_names(f.w)[0], nullptr);
    EXPECT_NE(f.text().find("DirectInput disabled\n"), std::string::npos);
}

TEST(platform_devices, NoMouseDeviceWithSticksOnly) {
    device_fixture f({});
    EXPECT_EQ(f.device("Mouse"), nullptr);
    EXPECT_EQ(plyx_input_open_axis(f.w, "mouse-x"), nullptr);
}

static void push_motion(int dx, int dy) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    SDL_PushEvent(&e);
}

TEST(platform_devices, MouseDeviceSumsMovementUntilRead) {
    device_fixture f({}, "[dinputsticksonly:off]");
    input_device *m = f.device("Mouse");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->axis_count, 3);
    EXPECT_EQ(m->key_count, 5);
    EXPECT_FALSE(has_axis_name(f.w, "Mouse axis 0"));  // relative axes are not listed
    push_motion(7, 1);  // not acquired yet: dropped
    plyx_pump_messages(f.w);
    axis_handle *x = plyx_input_open_axis(f.w, "mouse-x");
    axis_handle *y = plyx_input_open_axis(f.w, "mouse-y");
    axis_handle *wheel = plyx_input_open_axis(f.w, "Mouse.axis[2]");
    ASSERT_NE(x, nullptr);
    push_motion(5, -3);
    push_motion(2, 1);
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = 2;
    SDL_PushEvent(&e);
    plyx_pump_messages(f.w);
    EXPECT_EQ(plyx_input_read_axis(x), 7);
    EXPECT_EQ(plyx_input_read_axis(x), 0);
    EXPECT_EQ(plyx_input_read_axis(y), -2);
    EXPECT_EQ(plyx_input_read_axis(wheel), 240);
    // The right button is the Mouse's button 1, and still the window's own right button.
    uint32_t code;
    ASSERT_EQ(plyx_input_key_code(f.w, &code, "mouse-right"), 1);
    SDL_zero(e);
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    e.button.state = SDL_PRESSED;
    SDL_PushEvent(&e);
    uint32_t got[2];
    int pressed;
    ASSERT_EQ(plyx_input_next_event(f.w, &got[0], &pressed), 1);
    ASSERT_EQ(plyx_input_next_event(f.w, &got[1], &pressed), 1);
    EXPECT_EQ(got[0], EVENT_MOUSE_BUTTON + 2);
    EXPECT_EQ(got[1], code);
    plyx_input_close_axis(x);
    plyx_input_close_axis(y);
    plyx_input_close_axis(wheel);
}

TEST(platform_devices, CursorReadsThePointerInTheWindow) {
    device_fixture f({});
    axis_handle *x = plyx_input_open_axis(f.w, "cursor-x");
    axis_handle *y = plyx_input_open_axis(f.w, "cursor-y");
    ASSERT_NE(x, nullptr);
    ASSERT_NE(y, nullptr);
    SDL_WarpMouseInWindow(f.w->window, 100, 50);
    plyx_pump_messages(f.w);
    EXPECT_EQ(plyx_input_read_axis(x), 100);
    EXPECT_EQ(plyx_input_read_axis(y), 50);
    plyx_input_close_axis(x);
    plyx_input_close_axis(y);
}

TEST(platform_devices, StampsAheadOfTheClockAreCorrectedOnce) {
    device_fixture f({"Joystick 1"});
    uint32_t code;
    ASSERT_EQ(plyx_input_key_code(f.w, &code, "joystick-a-2"), 1);
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_JOYBUTTONDOWN;
    e.jbutton.which = SDL_JoystickInstanceID(f.sticks[0]);
    e.jbutton.button = 1;
    e.jbutton.state = SDL_PRESSED;
    e.jbutton.timestamp = (Uint32)SDL_GetTicks64() + 5000;
    plyx_input_device_event(f.w, &e);
    e.type = SDL_JOYBUTTONUP;
    e.jbutton.state = SDL_RELEASED;
    // As far ahead as the press: the adjustment made for the press covers it.
    plyx_input_device_event(f.w, &e);
    for (int k = 0; k < 2; k++) {
        int s, us, now_s, now_us;
        uint32_t got;
        int pressed;
        ASSERT_EQ(plyx_input_next_event_stamped(f.w, &got, &pressed, &s, &us), 1);
        plyx_time(&now_s, &now_us);
        EXPECT_EQ(got, code);
        EXPECT_LE((int64_t)s * 1000000 + us, (int64_t)now_s * 1000000 + now_us);
    }
    f.close();
    std::string log = f.text();
    size_t at = log.find("Timestamp adjustment was ");
    ASSERT_NE(at, std::string::npos);
    int adjustment = atoi(log.c_str() + at + 25);
    EXPECT_GT(adjustment, 4000);
    EXPECT_LE(adjustment, 5000);
    EXPECT_EQ(log.find("Timestamp adjustment was ", at + 1), std::string::npos);
}

TEST(platform_devices, UnpluggedJoystickKeepsItsValues) {
    device_fixture f({"Joystick 1"});
    axis_handle *x = plyx_input_open_axis(f.w, "joystick-a-x");
    uint32_t code;
    ASSERT_EQ(plyx_input_key_code(f.w, &code, "joystick-a-1"), 1);
    f.set_axis(0, 0, -1200);
    SDL_JoystickClose(f.sticks[0]);
    f.sticks.clear();
    SDL_JoystickDetachVirtual(0);
    plyx_pump_messages(f.w);
    EXPECT_EQ(plyx_input_read_axis(x), -1200);
    uint32_t got;
    int pressed;
    EXPECT_EQ(plyx_input_next_event(f.w, &got, &pressed), 0);
    plyx_input_close_axis(x);
}
