// The program's fatal-error path: close sound and window, show the error box, exit with code 1.
#pragma once

// Closes sound output and the window when open, shows the text in a box titled "Error" and
// exits the process with code 1.
[[noreturn]] void fatal_error(const char *format, ...) __attribute__((format(printf, 1, 2)));
