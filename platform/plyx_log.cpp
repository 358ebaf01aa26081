// The platform log: one stamped line per message, written whole and flushed.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/plyx.h"

static std::mutex log_mutex;      // guards the file and the set-up; other threads log too
static FILE *log_file = nullptr;
static int log_set_up = 0;
static char log_last_error[1024] = "Unknown";

static const char NAMING_PREFIX[] = "PLYX_LOGFILE=";

// Opens the log named by PLYX_LOGFILE or by a first message "PLYX_LOGFILE=name" (PLYX_LOGFILE
// wins); ">>name" appends, ">name" and a plain name truncate, PLYX_LOGFILE_FLAGS replaces the mode.
// Returns the file name shown in the "opened" line, or null when there is no log.
static const char *log_setup(const char *message) {
    const char *name = getenv("PLYX_LOGFILE");
    const char *flags = getenv("PLYX_LOGFILE_FLAGS");
    if (!name && strncmp(message, NAMING_PREFIX, sizeof NAMING_PREFIX - 1) == 0)
        name = message + sizeof NAMING_PREFIX - 1;
    log_set_up = 1;
    if (!name) return nullptr;
    const char *mode = "w";
    if (strncmp(name, ">>", 2) == 0) {
        mode = "a";
        name += 2;
    } else if (name[0] == '>') {
        name += 1;
    }
    if (flags) mode = flags;
    log_file = fopen(name, mode);
    return log_file ? name : nullptr;
}

static void log_write(const char *message) {
    int sec, usec;
    plyx_time(&sec, &usec);
    int hundredths = usec / 10000;
    char stamp[64];
    int stamp_len = snprintf(stamp, sizeof stamp, "[%d:%02d:%02d.%02d] ", sec / 3600,
                             sec / 60 % 60, sec % 60, hundredths);
    size_t len = strlen(message);
    // Stamp and message go out in one write, so lines of different threads never interleave.
    char small[2048];
    char *buf = small;
    if ((size_t)stamp_len + len + 1 > sizeof small) {
        buf = (char *)malloc((size_t)stamp_len + len + 1);
        if (!buf) return;
    }
    memcpy(buf, stamp, (size_t)stamp_len);
    memcpy(buf + stamp_len, message, len);
    fwrite(buf, 1, (size_t)stamp_len + len, log_file);
    fflush(log_file);
    if (buf != small) free(buf);
}

static void log_vwrite(const char *format, va_list args) {
    char small[2048];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return;
    char *message = small;
    if ((size_t)n >= sizeof small) {
        message = (char *)malloc((size_t)n + 1);  // plain heap: other threads log too
        if (!message) return;
        vsnprintf(message, (size_t)n + 1, format, args);
    }

    std::lock_guard<std::mutex> lock(log_mutex);
    if (!log_set_up) {
        const char *name = log_setup(message);
        if (name) {
            char line[1100];
            snprintf(line, sizeof line, "Logfile \"%.1000s\" opened\n", name);
            log_write(line);
            log_write("PLYX 0.31\n");
        }
        if (strncmp(message, NAMING_PREFIX, sizeof NAMING_PREFIX - 1) == 0) {
            if (message != small) free(message);
            return;  // the naming message is not itself written
        }
    }
    if ((unsigned char)message[0] != 0x13 && log_file) log_write(message);
    if (message != small) free(message);
}

void plyx_log(const char *format, ...) {
    if (!format) {
        plyx_log_close();
        return;
    }
    va_list args;
    va_start(args, format);
    log_vwrite(format, args);
    va_end(args);
}

void plyx_log_close() {
    std::lock_guard<std::mutex> lock(log_mutex);
    log_set_up = 1;
    if (log_file) fclose(log_file);
    log_file = nullptr;
}

void plyx_log_error(const char *text) {
    plyx_log("Error: %s\n", text);
    std::lock_guard<std::mutex> lock(log_mutex);
    snprintf(log_last_error, sizeof log_last_error, "%s", text);
}

// Adds text (an SDL reason) after the last error, so the caller can print both.
void plyx_last_error_append(const char *text) {
    std::lock_guard<std::mutex> lock(log_mutex);
    size_t len = strlen(log_last_error);
    snprintf(log_last_error + len, sizeof log_last_error - len, "%s", text);
}

const char *plyx_last_error() {
    return log_last_error;
}
