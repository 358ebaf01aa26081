// The rider info texts of the server split into fixed per-slot fields, and the limit on lines
// from the network reaching the console.
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "net/client.h"

// Copies n bytes of a field into the buffer (cut to its size); a field that could climb out of
// the data folders or holds control bytes becomes empty.
static void set_field(char *out, size_t size, const char *text, size_t n) {
    out[0] = 0;
    if (n >= size) n = size - 1;
    for (size_t i = 0; i < n; i++)
        if ((unsigned char)text[i] < 32 || text[i] == '\\') return;
    if (n > 0 && text[0] == '/') return;
    for (size_t i = 0; i + 1 < n; i++)
        if (text[i] == '.' && text[i + 1] == '.') return;
    memcpy(out, text, n);
    out[n] = 0;
}

void net_parse_rider_info(int slot, const char *text) {
    if (slot < 0 || slot >= NET_NO_SLOT || !text) return;
    net_rider_info_record &r = net_rider_info[slot];
    const char *end = strchr(text, '\n');
    size_t first = end ? (size_t)(end - text) : strlen(text);
    if (end) {
        const char *number = end + 1;
        const char *number_end = strchr(number, '\n');
        set_field(r.number, sizeof r.number, number,
                  number_end ? (size_t)(number_end - number) : strlen(number));
        if (number_end) {
            const char *name = number_end + 1;
            set_field(r.name, sizeof r.name, name, strcspn(name, "\n"));
        }
    }
    char *fields[5] = {r.model, r.rider_texture, r.bike_texture, r.wheel_texture, r.head_texture};
    size_t at = 0;
    for (int k = 0; k < 5 && at <= first; k++) {
        size_t n = 0;
        while (at + n < first && text[at + n] != '|') n++;
        set_field(fields[k], 128, text + at, n);
        at += n + 1;
    }
}

void net_print(const char *text) {
    static double window = -1.0e30;
    static int shown = 0, held = 0;
    double now = net_now();
    if (now - window >= 1.0 || now < window) {
        if (held > 0) console_printf("Warning: %d network messages not shown\n", held);
        window = now;
        shown = held = 0;
    }
    if (!text[0]) return;
    if (shown < 10) {
        console_print(text);
        shown++;
    } else {
        held++;
    }
}
