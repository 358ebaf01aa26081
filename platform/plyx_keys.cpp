// Keys: SDL scancodes to PC scan codes, the key-name tables and the event translation.
#include <cstring>

#include "platform/plyx_sdl.h"

// SDL scancode -> 9-bit PC set-1 scan code (0x100 marks an extended key).
static const struct {
    SDL_Scancode sdl;
    int pc;
} SCANCODE_TABLE[] = {
    {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_1, 0x02}, {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04}, {SDL_SCANCODE_4, 0x05}, {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07}, {SDL_SCANCODE_7, 0x08}, {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A}, {SDL_SCANCODE_0, 0x0B}, {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D}, {SDL_SCANCODE_BACKSPACE, 0x0E}, {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10}, {SDL_SCANCODE_W, 0x11}, {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13}, {SDL_SCANCODE_T, 0x14}, {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16}, {SDL_SCANCODE_I, 0x17}, {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19}, {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_LCTRL, 0x1D}, {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F}, {SDL_SCANCODE_D, 0x20}, {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22}, {SDL_SCANCODE_H, 0x23}, {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25}, {SDL_SCANCODE_L, 0x26}, {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28}, {SDL_SCANCODE_GRAVE, 0x29}, {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B}, {SDL_SCANCODE_NONUSHASH, 0x2B}, {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_X, 0x2D}, {SDL_SCANCODE_C, 0x2E}, {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30}, {SDL_SCANCODE_N, 0x31}, {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, 0x33}, {SDL_SCANCODE_PERIOD, 0x34}, {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_RSHIFT, 0x36}, {SDL_SCANCODE_KP_MULTIPLY, 0x37}, {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_CAPSLOCK, 0x3A}, {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, 0x3C}, {SDL_SCANCODE_F3, 0x3D}, {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F}, {SDL_SCANCODE_F6, 0x40}, {SDL_SCANCODE_F7, 0x41},
    {SDL_SCANCODE_F8, 0x42}, {SDL_SCANCODE_F9, 0x43}, {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_PAUSE, 0x45}, {SDL_SCANCODE_SCROLLLOCK, 0x46}, {SDL_SCANCODE_KP_7, 0x47},
    {SDL_SCANCODE_KP_8, 0x48}, {SDL_SCANCODE_KP_9, 0x49}, {SDL_SCANCODE_KP_MINUS, 0x4A},
    {SDL_SCANCODE_KP_4, 0x4B}, {SDL_SCANCODE_KP_5, 0x4C}, {SDL_SCANCODE_KP_6, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E}, {SDL_SCANCODE_KP_1, 0x4F}, {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_KP_3, 0x51}, {SDL_SCANCODE_KP_0, 0x52}, {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56}, {SDL_SCANCODE_F11, 0x57}, {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_KP_ENTER, 0x11C}, {SDL_SCANCODE_RCTRL, 0x11D}, {SDL_SCANCODE_KP_DIVIDE, 0x135},
    {SDL_SCANCODE_PRINTSCREEN, 0x137}, {SDL_SCANCODE_RALT, 0x138},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x145}, {SDL_SCANCODE_HOME, 0x147}, {SDL_SCANCODE_UP, 0x148},
    {SDL_SCANCODE_PAGEUP, 0x149}, {SDL_SCANCODE_LEFT, 0x14B}, {SDL_SCANCODE_RIGHT, 0x14D},
    {SDL_SCANCODE_END, 0x14F}, {SDL_SCANCODE_DOWN, 0x150}, {SDL_SCANCODE_PAGEDOWN, 0x151},
    {SDL_SCANCODE_INSERT, 0x152}, {SDL_SCANCODE_DELETE, 0x153}, {SDL_SCANCODE_LGUI, 0x15B},
    {SDL_SCANCODE_RGUI, 0x15C}, {SDL_SCANCODE_APPLICATION, 0x15D},
};

int plyx_pc_scancode(SDL_Scancode sc) {
    for (const auto &row : SCANCODE_TABLE)
        if (row.sdl == sc) return row.pc;
    return 0;
}

// Names of keys beyond the key table's rows, so every key the scancode table makes has one.
static const struct {
    int scan_code;
    const char *name;
} EXTRA_KEY_NAMES[] = {
    {0x46, "Scroll Lock"}, {0x137, "Print Screen"}, {0x15B, "Left Super"},
    {0x15C, "Right Super"}, {0x15D, "Menu"}, {0x56, "102nd Key"},
};

// The key table, searched in this order; two rows share 0x39 and naming finds "Space" first.
const key_row PLYX_KEY_TABLE[] = {
    {0x01, "Esc"}, {0x0B, "0"}, {0x02, "1"}, {0x03, "2"}, {0x04, "3"}, {0x05, "4"},
    {0x06, "5"}, {0x07, "6"}, {0x08, "7"}, {0x09, "8"}, {0x0A, "9"},
    {0x1E, "A"}, {0x30, "B"}, {0x2E, "C"}, {0x20, "D"}, {0x12, "E"}, {0x21, "F"},
    {0x22, "G"}, {0x23, "H"}, {0x17, "I"}, {0x24, "J"}, {0x25, "K"}, {0x26, "L"},
    {0x32, "M"}, {0x31, "N"}, {0x18, "O"}, {0x19, "P"}, {0x10, "Q"}, {0x13, "R"},
    {0x1F, "S"}, {0x14, "T"}, {0x16, "U"}, {0x2F, "V"}, {0x11, "W"}, {0x2D, "X"},
    {0x15, "Y"}, {0x2C, "Z"},
    {0x0C, "-"}, {0x0D, "="}, {0x1A, "["}, {0x1B, "]"}, {0x27, ";"}, {0x28, "'"},
    {0x29, "`"}, {0x2B, "\\"}, {0x33, ","}, {0x34, "."}, {0x35, "/"},
    {0x0E, "Backspace"}, {0x0F, "Tab"}, {0x1C, "Enter"}, {0x1D, "Left Ctrl"},
    {0x2A, "Left Shift"}, {0x36, "Right Shift"}, {0x39, "Space"}, {0x39, " "},
    {0x3A, "Caps Lock"}, {0x11D, "Right Ctrl"},
    {0x152, "Insert"}, {0x153, "Delete"}, {0x147, "Home"}, {0x14F, "End"},
    {0x149, "Page Up"}, {0x151, "Page Down"}, {0x148, "Up"}, {0x150, "Down"},
    {0x14B, "Left"}, {0x14D, "Right"},
    {0x3B, "F1"}, {0x3C, "F2"}, {0x3D, "F3"}, {0x3E, "F4"}, {0x3F, "F5"}, {0x40, "F6"},
    {0x41, "F7"}, {0x42, "F8"}, {0x43, "F9"}, {0x44, "F10"}, {0x57, "F11"}, {0x58, "F12"},
    {0x45, "Pause"}, {0x145, "Num Lock"},
    {0x135, "Keypad /"}, {0x37, "Keypad *"}, {0x4A, "Keypad -"}, {0x47, "Keypad 7"},
    {0x48, "Keypad 8"}, {0x49, "Keypad 9"}, {0x4E, "Keypad +"}, {0x4B, "Keypad 4"},
    {0x4C, "Keypad 5"}, {0x4D, "Keypad 6"}, {0x4F, "Keypad 1"}, {0x50, "Keypad 2"},
    {0x51, "Keypad 3"}, {0x11C, "Keypad Enter"}, {0x52, "Keypad 0"}, {0x53, "Keypad ."},
};
const int PLYX_KEY_TABLE_SIZE = sizeof PLYX_KEY_TABLE / sizeof PLYX_KEY_TABLE[0];

const char *plyx_system_key_name(int scan_code) {
    if (scan_code < 0 || scan_code > 0x1FF) return "";
    for (int i = 0; i < PLYX_KEY_TABLE_SIZE; i++)
        if (PLYX_KEY_TABLE[i].scan_code == scan_code) return PLYX_KEY_TABLE[i].name;
    for (const auto &row : EXTRA_KEY_NAMES)
        if (row.scan_code == scan_code) return row.name;
    return "";
}

uint64_t plyx_widen_stamp(uint32_t stamp, uint64_t now_ms) {
    uint64_t t = (now_ms & ~(uint64_t)0xFFFFFFFF) | stamp;
    if (t > now_ms && t >= ((uint64_t)1 << 32)) t -= (uint64_t)1 << 32;
    return t;
}

static void stamp_event(input_event *e, uint32_t code, int pressed, uint64_t ms) {
    e->code = code;
    e->pressed = pressed;
    e->seconds = (int)(ms / 1000);
    e->microseconds = (int)(ms % 1000) * 1000;
}

// The control character a key press makes, as Windows sends it: 0 for none.
static int control_character(SDL_Scancode sc, Uint16 mod) {
    switch (sc) {
    case SDL_SCANCODE_BACKSPACE: return (mod & KMOD_CTRL) ? 127 : 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 13;
    case SDL_SCANCODE_ESCAPE: return 27;
    case SDL_SCANCODE_DELETE: return 127;
    default: return 0;
    }
}

// Decodes one UTF-8 code point at *p and advances; -1 for a malformed sequence.
static int utf8_next(const unsigned char **p) {
    const unsigned char *s = *p;
    int c = s[0], extra, cp;
    if (c < 0x80) { *p = s + 1; return c; }
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else { *p = s + 1; return -1; }
    for (int i = 1; i <= extra; i++) {
        if ((s[i] & 0xC0) != 0x80) { *p = s + i; return -1; }
        cp = cp << 6 | (s[i] & 0x3F);
    }
    *p = s + 1 + extra;
    return cp;
}

int plyx_translate_event(const SDL_Event *e, input_event *out, int capacity, uint64_t now_ms) {
    int n = 0;
    uint64_t ms = plyx_widen_stamp(e->common.timestamp, now_ms);
    switch (e->type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        SDL_Scancode sc = e->key.keysym.scancode;
        // Keys with Alt held are system keys, and the Alt keys themselves: no events.
        if ((e->key.keysym.mod & KMOD_ALT) || sc == SDL_SCANCODE_LALT || sc == SDL_SCANCODE_RALT)
            return 0;
        int pc = plyx_pc_scancode(sc);
        if (!pc) return 0;
        int pressed = e->type == SDL_KEYDOWN;
        if (n < capacity) stamp_event(&out[n++], EVENT_KEY + pc, pressed, ms);
        int ch = pressed ? control_character(sc, e->key.keysym.mod) : 0;
        if (ch && n < capacity) stamp_event(&out[n++], (uint32_t)ch, 1, ms);
        return n;
    }
    case SDL_TEXTINPUT: {
        const unsigned char *p = (const unsigned char *)e->text.text;
        while (*p && n < capacity) {
            int cp = utf8_next(&p);
            if (cp >= 0 && cp <= 255) stamp_event(&out[n++], (uint32_t)cp, 1, ms);
        }
        return n;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int b = e->button.button;
        if (b < SDL_BUTTON_LEFT || b > SDL_BUTTON_RIGHT || capacity < 1) return 0;
        stamp_event(&out[0], EVENT_MOUSE_BUTTON + (uint32_t)(b - SDL_BUTTON_LEFT),
                    e->type == SDL_MOUSEBUTTONDOWN, ms);
        return 1;
    }
    default:
        return 0;
    }
}
