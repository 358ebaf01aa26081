// The track's "lighting" file: sun, ambient light, sky box, fog, clip planes and lens flares.
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/loading.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "race/objects.h"
#include "race/track.h"

growable_array *track_flare_list = nullptr;

// The flare being built from flare_element lines.
static flare lighting_flare;
static const char *const sky_keywords[6] = {"sky_n", "sky_e", "sky_s", "sky_w", "sky_u", "sky_env"};
static const char *const sky_defaults[6] = {"@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm",
                                            "@sky-w.ppm", "@sky-u.ppm", "@sky-env.ppm"};

static void flare_start() {
    lighting_flare = {};
    for (int i = 0; i < 8; i++) {
        for (float &c : lighting_flare.colours[i]) c = 1;
        lighting_flare.half_sizes[i] = 1;
    }
}

static uint32_t *sky_slot(int i) {
    return i < 5 ? &track_lighting.sky[i] : &track_lighting.sky_env;
}

char *track_read_line(file_stream *s, char *buffer, int max) {
    if (!stream_read_line(s, buffer, max)) return nullptr;
    size_t n = strlen(buffer);
    if (n == (size_t)max - 1 && buffer[n - 1] != '\n') {
        int c;
        do c = stream_getc(s);
        while (c >= 0 && c != '\n');
    }
    return buffer;
}

// Everything but the fog colour, which stays from track to track.
static void lighting_defaults() {
    float fog[4];
    memcpy(fog, track_lighting.fog_color, sizeof fog);
    track_lighting = {{1, 1, 1}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, {0.2f, 0.2f, 0.2f},
                      0.25f,     5000.0f,   0.0f,               0, {fog[0], fog[1], fog[2], fog[3]},
                      {0, 0, 0, 0, 0},
                      0};
    flare_start();
    if (track_flare_list) track_flare_list->count = 0;
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
            l.fog_density = c[3] > 0 ? c[3] : 0;
        }
        return 1;
    }
    for (int i = 0; i < 6; i++)
        if (strcmp(keyword, sky_keywords[i]) == 0) {
            *sky_slot(i) = *argument && track_loaders.texture ? track_loaders.texture(argument) : 0;
            return 1;
        }
    if (strcmp(keyword, "flare_element") == 0) {
        float p[2], c[3], half;
        char name[1024];
        flare &f = lighting_flare;
        if (f.element_count < 8 &&
            stream_scan_text(argument, "[ %f %f ] [ %f %f %f ] %f %1023s", &p[0], &p[1], &c[0], &c[1],
                             &c[2], &half, name) == 7 &&
            std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(c[0]) &&
            std::isfinite(c[1]) && std::isfinite(c[2]) && std::isfinite(half)) {
            int e = f.element_count++;
            memcpy(f.pairs[e], p, sizeof p);
            memcpy(f.colours[e], c, sizeof c);
            f.half_sizes[e] = half;
            f.textures[e] = track_loaders.texture ? (int32_t)track_loaders.texture(name) : 0;
        }
        return 1;
    }
    if (strcmp(keyword, "flare_point") == 0 || strcmp(keyword, "flare_vector") == 0) {
        lighting_vector(argument, lighting_flare.position);
        lighting_flare.kind = keyword[6] == 'v';
        if (track_flare_list && track_flare_list->count < TRACK_FILE_ROWS_MAX)
            plyx_array_append(track_flare_list, &lighting_flare);
        flare_start();
        return 1;
    }
    char text[1024];
    snprintf(text, sizeof text, "Error reading lighting: Unknown identifier '%.950s'\n", keyword);
    console_print(text);
    return 0;
}

void track_read_lighting_stream(file_stream *s) {
    flare_start();
    char line[TRACK_LIGHTING_LINE_MAX + 1];
    while (track_read_line(s, line, sizeof line)) {
        loading_progress("Loading lighting");
        if (!lighting_line(line)) break;
    }
}

void track_lighting_finish() {
    track_lighting_record &l = track_lighting;
    l.near_plane = l.near_plane < 1.0f / 1024 ? 1.0f / 1024 : l.near_plane > 0.875f ? 0.875f : l.near_plane;
    if (l.near_plane > l.far_plane)
        l.far_plane = l.near_plane;
    else if (l.far_plane > 1048576.0f)
        l.far_plane = 1048576.0f;
    track_lighting_unit_sun(l.sun_vector);
}

void track_lighting_default_sky() {
    for (int i = 0; i < 6; i++)
        if (!*sky_slot(i) && track_loaders.texture) *sky_slot(i) = track_loaders.texture(sky_defaults[i]);
}

void track_read_lighting() {
    lighting_defaults();
    char path[1100];
    snprintf(path, sizeof path, "@%s/lighting", track_name ? track_name : "");
    file_stream *s = track_name ? stream_open(path, "rb") : nullptr;
    if (s) {
        track_read_lighting_stream(s);
        stream_close(s);
    }
    track_lighting_finish();
    if (!s) return;  // without a file the fog stays as it was and there is no sky
    track_lighting_default_sky();
    loading_done("Loading lighting");
    glFogi(GL_FOG_MODE, GL_EXP);
    glFogf(GL_FOG_DENSITY, track_lighting.fog_density);
    glFogfv(GL_FOG_COLOR, track_lighting.fog_color);
}
