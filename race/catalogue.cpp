// The track catalogue, scanned once at start-up from the file index.
#include "race/catalogue.h"

#include <cstring>

#include "core/loading.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/vfs.h"

track_catalogue_record track_catalogue = {0, nullptr, nullptr};

static int ends_with(const char *text, const char *tail) {
    size_t a = strlen(text), b = strlen(tail);
    return a >= b && strcmp(text + a - b, tail) == 0;
}

static char *copy_text(const char *text, size_t length) {
    char *out = (char *)mem_alloc_or_die(length + 1);
    memcpy(out, text, length);
    out[length] = 0;
    return out;
}

// The first line of the folder's "desc" (up to a line end or a zero byte, cut to
// TRACK_DESCRIPTION_MAX characters), or the folder name when the file does not open.
static char *catalogue_description(const char *folder) {
    size_t length = strlen(folder);
    char *name = (char *)mem_alloc_or_die(length + 7);
    memcpy(name, "@", 1);
    memcpy(name + 1, folder, length);
    memcpy(name + 1 + length, "/desc", 6);
    file_stream *s = stream_open(name, "rb");
    mem_free(name);
    if (!s) return copy_text(folder, length);
    char line[TRACK_DESCRIPTION_MAX + 1];
    int n = 0;
    for (int c; n < TRACK_DESCRIPTION_MAX && (c = stream_getc(s)) > 0 && c != '\r' && c != '\n';)
        line[n++] = (char)c;
    stream_close(s);
    return copy_text(line, (size_t)n);
}

static int lower(int c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

static int compare_ignoring_case(const char *a, const char *b) {
    for (;; a++, b++) {
        int ca = lower((unsigned char)*a), cb = lower((unsigned char)*b);
        if (ca != cb || !ca) return ca - cb;
    }
}

int track_scan_catalogue() {
    track_catalogue_free();
    const char **names = vfs_build_index();
    int found = 0;
    for (int i = 0; names && names[i]; i++)
        if (ends_with(names[i], "/terrain.hf") || ends_with(names[i], "/terrain.hf.gz")) found++;
    if (found == 0) return 0;
    track_catalogue.folders = (char **)mem_alloc_or_die(sizeof(char *) * (size_t)found);
    track_catalogue.descriptions = (char **)mem_alloc_or_die(sizeof(char *) * (size_t)found);
    for (int i = 0; names[i]; i++) {
        if (!ends_with(names[i], "/terrain.hf") && !ends_with(names[i], "/terrain.hf.gz"))
            continue;
        loading_tick();
        // A folder holding both "terrain.hf" and "terrain.hf.gz" is listed once.
        const char *slash = strrchr(names[i], '/');
        size_t length = (size_t)(slash - names[i]);
        int listed = 0;
        for (int j = 0; j < track_catalogue.count && !listed; j++)
            listed = strlen(track_catalogue.folders[j]) == length &&
                     memcmp(track_catalogue.folders[j], names[i], length) == 0;
        if (listed) continue;
        int k = track_catalogue.count++;
        track_catalogue.folders[k] = copy_text(names[i], length);
        track_catalogue.descriptions[k] = catalogue_description(track_catalogue.folders[k]);
    }
    // An exchange sort: equal descriptions keep their order.
    char **f = track_catalogue.folders, **d = track_catalogue.descriptions;
    for (int i = 0; i < track_catalogue.count; i++) {
        for (int j = i + 1; j < track_catalogue.count; j++) {
            if (compare_ignoring_case(d[i], d[j]) <= 0) continue;
            char *t = d[i];
            d[i] = d[j];
            d[j] = t;
            t = f[i];
            f[i] = f[j];
            f[j] = t;
        }
    }
    settings.track.options = (const char **)track_catalogue.folders;
    settings.track.option_count = track_catalogue.count;
    settings.track.current = 0;
    if (game_settings.debug_level)
        for (int i = 0; i < track_catalogue.count; i++)
            plyx_log("%.900s -> %.100s\n", f[i], d[i]);
    return 1;
}

void track_catalogue_free() {
    settings.track.options = nullptr;
    settings.track.option_count = 0;
    settings.track.current = 0;
    for (int i = 0; i < track_catalogue.count; i++) {
        mem_free(track_catalogue.folders[i]);
        mem_free(track_catalogue.descriptions[i]);
    }
    mem_free(track_catalogue.folders);
    mem_free(track_catalogue.descriptions);
    track_catalogue = {0, nullptr, nullptr};
}

int track_find_by_name(const char *name, int *matches) {
    const char *const *folders = settings.track.options;
    int n = folders ? settings.track.option_count : 0, found = -1, count = 0;
    for (int i = 0; name && i < n; i++)
        if (folders[i] && strcmp(folders[i], name) == 0) {
            if (matches) *matches = 1;
            return i;
        }
    for (int i = 0; name && i < n; i++) {
        if (!folders[i]) continue;
        const char *slash = strrchr(folders[i], '/');
        const char *last = slash ? slash + 1 : folders[i];
        if (compare_ignoring_case(last, name) != 0) continue;
        if (count++ == 0) found = i;
    }
    if (matches) *matches = count > 2 ? 2 : count;
    return count == 1 ? found : -1;
}
