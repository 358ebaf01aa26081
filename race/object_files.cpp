// The track's "statues" and "billboards" files: reading their rows, writing them back.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "bike/shape.h"
#include "core/console.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "race/objects.h"
#include "race/track.h"

static void object_warning(const char *format, const char *file_name) {
    char text[1024];
    snprintf(text, sizeof text, format, file_name);
    console_print(text);
}

// Whether another row may be read: false (with the warning) once the file gave the most rows.
static bool object_row_allowed(int rows, const char *file_name) {
    if (rows < TRACK_FILE_ROWS_MAX) return true;
    object_warning("Warning: too many rows in '%.900s'; the rest is ignored\n", file_name);
    return false;
}

static bool all_finite(const float *v, int n) {
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

static const char *name_or_null(const char *name) {
    return strcmp(name, "null") == 0 ? nullptr : name;
}

int track_read_statues(file_stream *s, const char *file_name) {
    int rows = 0;
    float v[4];
    char model[1024], texture[1024], shape[1024];
    while (stream_scanf(s, "[ %f %f %f ] %f %1023s %1023s %1023s ", &v[0], &v[1], &v[2], &v[3],
                        model, texture, shape) == 7) {
        if (!object_row_allowed(rows, file_name)) break;
        rows++;
        if (!all_finite(v, 4)) {
            object_warning("Warning: bad row in '%.900s'\n", file_name);
            continue;
        }
        track_add_statue(v[0], v[1], v[2], v[3], name_or_null(model), name_or_null(texture),
                         name_or_null(shape));
    }
    return rows;
}

int track_read_billboards(file_stream *s, const char *file_name) {
    int rows = 0;
    float v[5];
    char texture[1024];
    while (stream_scanf(s, "[ %f %f %f ] %f %f %1023s ", &v[0], &v[1], &v[2], &v[3], &v[4], texture) == 6) {
        if (!object_row_allowed(rows, file_name)) break;
        rows++;
        if (!all_finite(v, 5)) {
            object_warning("Warning: bad row in '%.900s'\n", file_name);
            continue;
        }
        track_add_billboard(v[0], v[1], v[2], v[3], v[4], texture);
    }
    return rows;
}

// Writes the rows through write_rows to "@<track>/<file>" by way of a temporary file.
static int object_file_write(const char *file, int (*write_rows)(file_stream *)) {
    std::string name = std::string("@") + (track_name ? track_name : "") + "/" + file;
    std::string temporary = name + ".tmp";
    file_stream *s = track_name ? stream_open(temporary.c_str(), "wb") : nullptr;
    if (!s) {
        char text[256];
        snprintf(text, sizeof text, "Can't open '%s'\n", file);
        console_print(text);
        return 0;
    }
    int good = write_rows(s);
    if (stream_flush(s) != 0) good = 0;
    if (!stream_close(s)) good = 0;
    if (good) good = path_rename_replace(temporary.c_str(), name.c_str());
    if (!good) {
        path_remove(temporary.c_str());
        char text[256];
        snprintf(text, sizeof text, "Warning: couldn't write '%s'\n", file);
        console_print(text);
    }
    return good;
}

static const char *written_name(const char *name) {
    return name && *name ? name : "null";
}

static int statue_rows(file_stream *s) {
    int good = 1;
    const statue *rows = (const statue *)track_statues.items;
    for (int i = track_first_file_statue < 0 ? 0 : track_first_file_statue; i < track_statues.count; i++) {
        const statue &t = rows[i];
        const char *model = t.model && track_loaders.model_name ? track_loaders.model_name(t.model) : nullptr;
        const char *texture = t.texture && track_loaders.texture_name
                                  ? track_loaders.texture_name((uint32_t)t.texture)
                                  : nullptr;
        const char *shape = t.shape ? shape_name(t.shape) : nullptr;
        if (stream_printf(s, "[%f %f %f] %f %s %s %s\n", t.x, t.height_offset, t.z, t.yaw,
                          written_name(model), written_name(texture), written_name(shape)) < 0)
            good = 0;
    }
    return good;
}

static int billboard_rows(file_stream *s) {
    int good = 1;
    const billboard *rows = (const billboard *)track_billboards.items;
    for (int i = track_first_file_billboard < 0 ? 0 : track_first_file_billboard; i < track_billboards.count; i++) {
        const billboard &b = rows[i];
        const char *texture = b.texture && track_loaders.texture_name
                                  ? track_loaders.texture_name((uint32_t)b.texture)
                                  : nullptr;
        if (!texture || !*texture) continue;
        int n = stream_printf(s, "[%f %f %f] %f %f ", b.x, b.height_offset, b.z, b.size, b.aspect);
        if (n >= 0)
            n = b.r == 255 && b.g == 255 && b.b == 255
                    ? stream_printf(s, "%s\n", texture)
                    : stream_printf(s, "#%02x%02x%02x#%s\n", b.r, b.g, b.b, texture);
        if (n < 0) good = 0;
    }
    return good;
}

int track_write_statues() {
    return object_file_write("statues", statue_rows);
}

int track_write_billboards() {
    return object_file_write("billboards", billboard_rows);
}
