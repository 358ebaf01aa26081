// The platform's SDL side, shared by its own files and its tests: event translation, key tables
// and the places where input devices join the window.
#pragma once

#include <SDL.h>

#include "platform/plyx.h"

// Widens SDL's 32-bit millisecond stamp against the 64-bit clock reading now_ms.
uint64_t plyx_widen_stamp(uint32_t stamp, uint64_t now_ms);
// The 9-bit PC scan code of an SDL scancode, or 0 for a key outside the table.
int plyx_pc_scancode(SDL_Scancode sc);
// Turns one SDL keyboard, text or mouse-button event into at most capacity input events
// (a key event and the control character it makes, or the characters of a text event);
// returns how many. Window, quit and device events give none here.
int plyx_translate_event(const SDL_Event *e, input_event *out, int capacity, uint64_t now_ms);

// The key table of 98 rows, in search order.
struct key_row {
    int scan_code;
    const char *name;
};
extern const key_row PLYX_KEY_TABLE[];
extern const int PLYX_KEY_TABLE_SIZE;

// The system key name of a 9-bit scan code ("" where there is none).
const char *plyx_system_key_name(int scan_code);

// A display mode as the system reports it.
struct mode_report {
    int width, height, bits, refresh;
};
// Builds the display-mode list (plain heap, ended by an all-zero row), logging each row.
display_mode *plyx_build_mode_list(const mode_report *desktop, const mode_report *reported,
                                   int count);

// Input devices: the roll call of step 7 of the window opening (devices, then the cursor), and
// the pump's hand-off of joystick and mouse-motion events to them.
void plyx_input_open_devices(window_context *w);
void plyx_input_device_event(window_context *w, const SDL_Event *e);
