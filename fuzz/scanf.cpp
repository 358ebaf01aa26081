// Fuzz target "scanf": stream_scanf with every format the sources use, and stream_scan_text.
#include <string>

#include "core/stream.h"
#include "fuzz/fuzz.h"

// One pass of every format over the bytes, each on a fresh stream.
static void fuzz_scan_formats(const uint8_t *data, size_t size) {
    for (int format = 0;; format++) {
        file_stream *s = fuzz_stream(data, size, "fz/scanf");
        int d[8] = {};
        float f[8] = {};
        char word[1024] = "", small[16] = "";
        int n = 0;
        bool known = true;
        switch (format) {
        case 0: stream_scanf(s, "%1023s", word); break;
        case 1: stream_scanf(s, "%15s", small); break;
        case 2: stream_scanf(s, " #%*[^\n]%n", &n); break;
        case 3: stream_scanf(s, "%d %d %d %d", &d[0], &d[1], &d[2], &d[3]); break;
        case 4: stream_scanf(s, "%d %1023s", &d[0], word); break;
        case 5: stream_scanf(s, "%d %f %f %f ", &d[0], &f[0], &f[1], &f[2]); break;
        case 6: stream_scanf(s, "%f %f %f %f %f %d %d", &f[0], &f[1], &f[2], &f[3], &f[4], &d[0], &d[1]); break;
        case 7: stream_scanf(s, "%f %f %f %f %f %f %f %f", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6], &f[7]); break;
        case 8: stream_scanf(s, "%f %f %f%n", &f[0], &f[1], &f[2], &n); break;
        case 9: stream_scanf(s, "JM%d", &d[0]); break;
        case 10: stream_scanf(s, "[ %f %f %f ] %f", &f[0], &f[1], &f[2], &f[3]); break;
        case 11: stream_scanf(s, "%d ", &d[0]); break;
        case 12: stream_scanf(s, "%x %o %i %c %hd", (unsigned *)&d[0], (unsigned *)&d[1], &d[2], &word[0], (short *)&d[3]); break;
        case 13: stream_scanf(s, "%15[^\n] %*d%n", small, &n); break;
        case 14: stream_read_int(s); stream_read_int(s); break;
        case 15: stream_skip_comments(s); stream_read_int(s); break;
        default: known = false;
        }
        stream_close(s);
        if (!known) break;
    }
}

// stream_scanf over files, and stream_scan_text over the bytes up to their first zero.
void fuzz_scanf(const uint8_t *data, size_t size) {
    fuzz_scan_formats(data, size);
    std::string text((const char *)data, size);
    float f[4] = {};
    int d[4] = {}, n = 0;
    char word[1024] = "";
    stream_scan_text(text.c_str(), "%f", &f[0]);
    stream_scan_text(text.c_str(), "%f %f %f%n", &f[0], &f[1], &f[2], &n);
    stream_scan_text(text.c_str(), "%d %d %d", &d[0], &d[1], &d[2]);
    stream_scan_text(text.c_str(), "%1023s %n", word, &n);
}
