// The track's "lighting" file: sun, ambient light, fog and clip planes.
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/loading.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "race/track.h"

// Everything but the fog colour, which stays from track to track.
static void lighting_defaults() {
    float fog[4];
    memcpy(fog, track_lighting.fog_color, sizeof fog);
    track_lighting = {{1, 1, 1}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, {0.2f, 0.2f, 0.2f},
                      0.25f,     5000.0f,   0.0f,               0, {fog[0], fog[1], fog[2], fog[3]}};
}

void track_lighting_reset() {
    lighting_defaults();
    for (float &c : track_lighting.fog_color) c = 1;
}

// Up to three numbers of "[ %f %f %f ]": those read before the first bad or non-finite one.
static void lighting_vector(const char *argument, float *out) {
    float v[3];
    int got = stream_scan_text(argument, "[ %f %f %f ]", &v[0], &v[1], &v[2]);
    for (int i = 0; i < got && i < 3 && std::isfinite(v[i]); i++) out[i] = v[i];
}

// One line (keyword, blanks, argument): 0 when reading must stop.
static int lighting_line(char *line) {
    char *keyword = line + strspn(line, " \t");
    size_t end = strlen(keyword);
    while (end > 0 && strchr(" \t\r\n\v\f", keyword[end - 1])) keyword[--end] = 0;
    if (!*keyword) return 1;
    char *argument = keyword + strcspn(keyword, " \t");
    if (*argument) *argument++ = 0;
    argument += strspn(argument, " \t");

    track_lighting_record &l = track_lighting;
    const struct {
        const char *keyword;
        float *vector;
    } vectors[] = {{"sun_vector", l.sun_vector}, {"sun_color", l.sun_color},
                   {"ambient", l.ambient},       {"global_ambient", l.global_ambient}};
    for (auto &v : vectors)
        if (strcmp(keyword, v.keyword) == 0) {
            lighting_vector(argument, v.vector);
            return 1;
        }
    float value;
    if (strcmp(keyword, "near_plane") == 0 || strcmp(keyword, "far_plane") == 0) {
        if (stream_scan_text(argument, "%f", &value) == 1 && std::isfinite(value))
            (keyword[0] == 'n' ? l.near_plane : l.far_plane) = value;
        return 1;
    }
    if (strcmp(keyword, "dynamic_lighting") == 0) {
        int flag;
        if (stream_scan_text(argument, "%d", &flag) == 1) l.dynamic_lighting = flag > 0;
        return 1;
    }
    if (strcmp(keyword, "fog") == 0) {
        float c[4];
        if (stream_scan_text(argument, "[ %f %f %f ] %f", &c[0], &c[1], &c[2], &c[3]) == 4 &&
            std::isfinite(c[0]) && std::isfinite(c[1]) && std::isfinite(c[2]) && std::isfinite(c[3])) {
            memcpy(l.fog_color, c, 3 * sizeof(float));
            l.fog_density = c[3];
        }
        return 1;
    }
    // The sky textures and the lens flares are read with the sky and the flares.
    static const char *const later[] = {"sky_n", "sky_e", "sky_s", "sky_w", "sky_u", "sky_env",
                                        "flare_element", "flare_point", "flare_vector"};
    for (const char *k : later)
        if (strcmp(keyword, k) == 0) return 1;
    char text[1024];
    snprintf(text, sizeof text, "Error reading lighting: Unknown identifier '%.950s'\n", keyword);
    console_print(text);
    return 0;
}

void track_read_lighting() {
    lighting_defaults();
    char path[1100];
    snprintf(path, sizeof path, "@%s/lighting", track_name ? track_name : "");
    file_stream *s = track_name ? stream_open(path, "rb") : nullptr;
    if (s) {
        char line[TRACK_LIGHTING_LINE_MAX + 1];
        while (stream_read_line(s, line, sizeof line)) {
            loading_progress("Loading lighting");
            if (!lighting_line(line)) break;
        }
        stream_close(s);
    }
    track_lighting_record &l = track_lighting;
    l.near_plane = l.near_plane < 1.0f / 1024 ? 1.0f / 1024 : l.near_plane > 0.875f ? 0.875f : l.near_plane;
    if (l.near_plane > l.far_plane)
        l.far_plane = l.near_plane;
    else if (l.far_plane > 1048576.0f)
        l.far_plane = 1048576.0f;
    track_lighting_unit_sun(l.sun_vector);
    if (!s) return;  // without a file the fog stays as it was
    loading_done("Loading lighting");
    glFogi(GL_FOG_MODE, GL_EXP);
    glFogf(GL_FOG_DENSITY, l.fog_density);
    glFogfv(GL_FOG_COLOR, l.fog_color);
}
