// The track hash over the ground, timing, statue and shape files, and the track's description.
#include "race/track_hash.h"

#include <cstdio>
#include <cstring>

#include "bike/shape.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "platform/plyx.h"
#include "race/catalogue.h"
#include "race/objects.h"
#include "race/track.h"

uint8_t track_hash[20];
const char *track_description = nullptr;

void track_hash_file(ripemd160_state *s, const char *name) {
    file_stream *f = stream_open(name, "rb");
    if (!f) return;
    char buffer[16384];
    int n;
    while ((n = stream_read(f, buffer, (int)sizeof buffer)) > 0) ripemd160_update(s, buffer, (size_t)n);
    stream_close(f);
}

void track_hash_ground(ripemd160_state *s, const char *folder) {
    static const char *const files[] = {"/terrain.hf", "/terrain.png", "/texturelist", "/tilemap", "/tileinfo"};
    char name[1200];
    for (const char *file : files) {
        snprintf(name, sizeof name, "@%.1000s%s", folder, file);
        track_hash_file(s, name);
    }
}

void track_hash_statue_shapes(ripemd160_state *s) {
    const statue *rows = (const statue *)track_statues.items;
    for (int i = 0; i < track_statues.count; i++) {
        const char *name = rows[i].shape ? rows[i].shape->name : nullptr;
        if (!name) continue;
        int seen = 0;
        for (int j = 0; j < i && !seen; j++)
            seen = rows[j].shape && rows[j].shape->name && strcmp(rows[j].shape->name, name) == 0;
        if (!seen) track_hash_file(s, name);
    }
}

const char *track_describe(const char *folder) {
    for (int i = 0; i < track_catalogue.count; i++)
        if (strcmp(track_catalogue.folders[i], folder) == 0) return track_catalogue.descriptions[i];
    return folder;
}
