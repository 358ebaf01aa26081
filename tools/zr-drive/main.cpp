// zr-drive: runs the program itself on a scripted clock and scripted keys, so that the same
// command gives the same ticks, events and pictures on every run.
//
//   zr-drive [--pass-ticks N] [--key NAME@TICK]... [--hold NAME@FROM-TO]... [--hide-slot SLOT]
//            --quit TICK -- ZR-OPTIONS
//
// Each pass of the frame loop advances the clock by exactly N ticks (default 4). A key is
// pressed in its tick and released in the next (--key) or held over a range of ticks (--hold);
// Tab, Enter, Esc, Backspace and Delete also type their control character and the digit keys
// their digit, as the platform does. Real window events are pumped and dropped. At the quit tick the normal shutdown runs;
// the exit code is the game's. --hide-slot leaves that slot's bike and rider out of every
// picture, so a test can tell what the bike adds to a picture.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bike/rider.h"
#include "core/frame_io.h"
#include "core/globals.h"
#include "game/entry.h"
#include "game/frame_loop.h"
#include "platform/plyx.h"
#include "present/scene.h"

namespace {

struct scripted_event {
    long tick;
    uint32_t code;
    int pressed;
};

std::vector<scripted_event> script;
size_t next_scripted = 0;
double fake_now = 0;

double drive_now() {
    return fake_now;
}

void drive_sleep(double) {}

// Drops whatever the real window queued, so nothing outside the script reaches the game.
void drop_real_events(window_context *w) {
    if (!w) return;
    plyx_pump_messages(w);
    uint32_t code;
    int pressed;
    while (FRAME_PLATFORM.next_event(w, &code, &pressed)) {
    }
}

// The next scripted event stamped no later than the time (seconds): 1, or 0.
int take_scripted(double until, uint32_t *code, int *pressed) {
    if (next_scripted >= script.size()) return 0;
    const scripted_event &e = script[next_scripted];
    if (e.tick * TICK_SECONDS > until + 1e-9) return 0;
    *code = e.code;
    *pressed = e.pressed;
    next_scripted++;
    return 1;
}

int drive_next_event(window_context *w, uint32_t *code, int *pressed) {
    drop_real_events(w);
    return take_scripted(fake_now, code, pressed);
}

int drive_next_event_before(window_context *w, uint32_t *code, int *pressed, int seconds,
                            int microseconds) {
    drop_real_events(w);
    return take_scripted(seconds + microseconds * 1e-6, code, pressed);
}

struct key_request {
    std::string name;
    long from, to;   // pressed in `from`, released in `to`
};

int usage() {
    fprintf(stderr, "usage: zr-drive [--pass-ticks N] [--key NAME@TICK]... "
                    "[--hold NAME@FROM-TO]... [--hide-slot SLOT] --quit TICK -- ZR-OPTIONS\n");
    return 2;
}

// The character a key types besides its key code, or 0.
uint32_t control_character(uint32_t code) {
    // The digit row, 1 to 9 then 0: the number keys pick the trackside cameras.
    if (code >= EVENT_KEY + 0x02 && code <= EVENT_KEY + 0x0B)
        return code == EVENT_KEY + 0x0B ? '0' : '1' + (code - EVENT_KEY - 0x02);
    switch (code - EVENT_KEY) {
    case 0x0E: return 8;
    case 0x0F: return 9;
    case 0x1C: return 13;
    case 0x01: return 27;
    case 0x153: return 127;
    default: return 0;
    }
}

int read_tick(const char *text, long *out) {
    char *end;
    long v = strtol(text, &end, 10);
    if (end == text || *end || v < 0 || v > 100000000) return 0;
    *out = v;
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    long pass_ticks = 4, quit_tick = -1, hidden_slot = -1;
    std::vector<key_request> keys;
    int i = 1;
    for (; i < argc && strcmp(argv[i], "--") != 0; i++) {
        std::string a = argv[i];
        if (i + 1 >= argc) return usage();
        std::string v = argv[++i];
        if (a == "--pass-ticks") {
            if (!read_tick(v.c_str(), &pass_ticks) || pass_ticks < 1 || pass_ticks > 16) return usage();
        } else if (a == "--hide-slot") {
            if (!read_tick(v.c_str(), &hidden_slot) || hidden_slot >= RIDER_SLOTS) return usage();
        } else if (a == "--quit") {
            if (!read_tick(v.c_str(), &quit_tick)) return usage();
        } else if (a == "--key" || a == "--hold") {
            size_t at = v.rfind('@');
            if (at == std::string::npos || at == 0) return usage();
            key_request k = {v.substr(0, at), 0, 0};
            std::string when = v.substr(at + 1);
            if (a == "--key") {
                if (!read_tick(when.c_str(), &k.from)) return usage();
                k.to = k.from + 1;
            } else {
                size_t dash = when.find('-');
                if (dash == std::string::npos ||
                    !read_tick(when.substr(0, dash).c_str(), &k.from) ||
                    !read_tick(when.substr(dash + 1).c_str(), &k.to) || k.to <= k.from)
                    return usage();
            }
            keys.push_back(k);
        } else {
            return usage();
        }
    }
    if (quit_tick < 0 || i >= argc) return usage();
    // The game sees its own name, then the options after "--".
    std::vector<char *> game_argv = {argv[0]};
    for (int k = i + 1; k < argc; k++) game_argv.push_back(argv[k]);
    game_argv.push_back(nullptr);

    int code = 1;
    startup_outcome outcome = game_startup((int)game_argv.size() - 1, game_argv.data(), &code);
    if (outcome != STARTUP_RUN) {
        if (outcome == STARTUP_STOPPED) game_shutdown(1);
        plyx_shutdown();
        return code;
    }
    for (const key_request &k : keys) {
        uint32_t key;
        if (!plyx_input_key_code(game_window, &key, k.name.c_str())) {
            fprintf(stderr, "zr-drive: unknown key '%s'\n", k.name.c_str());
            game_shutdown(0);
            plyx_shutdown();
            return 2;
        }
        script.push_back({k.from, key, 1});
        if (uint32_t ch = control_character(key)) script.push_back({k.from, ch, 1});
        script.push_back({k.to, key, 0});
    }
    // In tick order; events of one tick keep the order they were given in.
    std::stable_sort(script.begin(), script.end(),
                     [](const scripted_event &a, const scripted_event &b) { return a.tick < b.tick; });
    scene_hidden_slot = (int)hidden_slot;
    frame_io.now = drive_now;
    frame_io.sleep = drive_sleep;
    frame_io.next_event = drive_next_event;
    frame_io.next_event_before = drive_next_event_before;
    fake_now = 0;
    frame_loop_begin();
    // Each pass draws, then runs the next N ticks: the clock is N ticks on when it looks.
    for (long tick = 0;;) {
        if (tick >= quit_tick) frame_loop.quit_requested = 1;
        tick += pass_ticks;
        fake_now = tick * TICK_SECONDS;
        if (!frame_loop_pass()) break;
    }
    game_shutdown(0);
    plyx_shutdown();
    return code;
}
