// Platform options: bracketed [name:value] entries of PLYX_OPTIONS, read once.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/plyx.h"

static std::string option_text;
static int option_text_read = 0;

// The text right after "[name:", or null when the option is absent.
static const char *option_find(const char *name) {
    if (!option_text_read) {
        const char *env = getenv("PLYX_OPTIONS");
        option_text = env ? env : "";
        option_text_read = 1;
    }
    char key[64];
    snprintf(key, sizeof key, "[%.60s:", name);
    size_t at = option_text.find(key);
    if (at == std::string::npos) return nullptr;
    return option_text.c_str() + at + strlen(key);
}

int plyx_option_bool(const char *name, int default_value) {
    const char *v = option_find(name);
    if (!v) return default_value;
    if (strncmp(v, "yes]", 4) == 0 || strncmp(v, "on]", 3) == 0) return 1;
    if (strncmp(v, "no]", 3) == 0 || strncmp(v, "off]", 4) == 0) return 0;
    plyx_log("unrecognized setting for %s\n", name);
    return default_value;
}

int plyx_option_int(const char *name, int default_value) {
    const char *v = option_find(name);
    if (!v) return default_value;
    char *end;
    errno = 0;
    long n = strtol(v, &end, 10);
    // No digits, or a value beyond int, is unrecognised rather than wrapped.
    if (end == v || errno == ERANGE || n < INT_MIN || n > INT_MAX) {
        plyx_log("unrecognized setting for %s\n", name);
        return default_value;
    }
    return (int)n;
}
