// The message log: the ring of console lines the HUD and the console page show.
#pragma once

struct message_log {
    char lines[1000][256];
    int head;            // line the next message overwrites
    int visible_count;   // newest lines the HUD shows, 0..message_lines
    double expiry;       // frame_clock time at which visible_count next drops
};

extern message_log console_log;
extern int spam_filter;  // 1: lines containing "[SPAM]" are dropped

void console_clear();
void console_print(const char *text);
// console_print of a formatted line (cut to the line size).
void console_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Run once per frame-loop pass: lets the oldest visible line go when its time is up.
void console_expire();

constexpr int CONSOLE_LINES = 1000;
constexpr int CONSOLE_LINE_SIZE = 256;
