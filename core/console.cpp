// The message log: console lines go to the log file and into the ring.
#include "core/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/globals.h"
#include "platform/plyx.h"

message_log console_log;
int spam_filter = 1;

void console_clear() {
    memset(&console_log, 0, sizeof console_log);
}

void console_print(const char *text) {
    if (!text) return;
    if (spam_filter && strstr(text, "[SPAM]")) return;
    size_t len = strlen(text);
    const char *reset = strchr(text, 27) ? "\033[0m" : "";
    if (len > 0 && text[len - 1] == '\n')
        plyx_log("%s%s", text, reset);
    else
        plyx_log("%s%s\n", text, reset);

    char *line = console_log.lines[console_log.head];
    console_log.head = (console_log.head + 1) % CONSOLE_LINES;
    size_t n = len < CONSOLE_LINE_SIZE - 1 ? len : CONSOLE_LINE_SIZE - 1;
    memcpy(line, text, n);
    line[n] = 0;
    if (console_log.visible_count < message_lines) console_log.visible_count++;
    console_log.expiry = frame_clock + 2.0;
}

void console_printf(const char *format, ...) {
    char text[CONSOLE_LINE_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    console_print(text);
}

void console_expire() {
    if (frame_clock > console_log.expiry && console_log.visible_count > 0) {
        console_log.visible_count--;
        console_log.expiry = frame_clock + 5.0;
    }
}
