// Loading a track folder with all its objects in one fixed order, and the track hash a server
// compares: the terrain files, the timing gates, the statues and their shapes.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/digest.h"
#include "core/loading.h"
#include "core/settings.h"
#include "core/stream.h"
#include "gfx/texture.h"
#include "race/contacts.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/particles.h"
#include "race/timing.h"
#include "race/track.h"
#include "race/track_hash.h"
#include "terrain/terrain.h"

uint32_t track_map_texture = 0;
void (*track_cameras_clear)() = nullptr;

// "@<track>/<file>".
static std::string track_file(const char *file) {
    return std::string("@") + track_name + "/" + file;
}

// Runs read over the opened file when it exists.
template <typename Read>
static void read_object_file(const char *file, const char *status, Read read) {
    std::string name = track_file(file);
    file_stream *s = stream_open(name.c_str(), "rb");
    if (!s) return;
    if (status) loading_begin(status);
    read(s, name.c_str());
    stream_close(s);
    if (status) loading_done(status);
}

int track_load() {
    if (!track_name) return 0;
    track_description = track_describe(track_name);
    ripemd160_state digest;
    ripemd160_init(&digest);
    track_objects_clear();
    track_flaggers_reset();
    if (track_flare_list) track_flare_list->count = 0;
    if (track_cameras_clear) track_cameras_clear();
    track_map_texture = 0;

    loading_begin("Scanning");
    track_hash_ground(&digest, track_name);
    if (game_settings.debug_level >= 1) plyx_log("Loading '%s'\n", track_name);

    track_read_lighting();
    std::string folder = std::string("@") + track_name;
    if (!terrain_load(terrain_current, folder.c_str(), track_render_mode())) {
        track_name = nullptr;
        track_description = nullptr;
        return 0;
    }
    if (game_settings.debug_level >= 1)
        plyx_log("%lu bytes texture memory used after hf creation\n", (unsigned long)texture_memory_bytes);
    std::string gates = track_file("timing_gates");
    track_hash_file(&digest, gates.c_str());
    track_read_timing_gates(gates.c_str());

    particle_create_billboards();
    read_object_file("flaggers", "Loading flaggers", track_read_flaggers);
    track_first_file_statue = track_statues.count;
    track_first_file_billboard = track_billboards.count;
    read_object_file("billboards", "Loading billboards", track_read_billboards);
    track_hash_file(&digest, track_file("statues").c_str());
    read_object_file("statues", "Loading statues", track_read_statues);

    std::string map = track_file("map.png");
    file_stream *m = stream_open(map.c_str(), "rb");
    if (m) stream_close(m);
    if (m && track_loaders.texture) {
        loading_begin("Loading map");
        track_map_texture = track_loaders.texture(map.c_str());
        loading_done("Loading map");
    }
    track_rebuild_statue_grid();
    track_hash_statue_shapes(&digest);
    ripemd160_final(&digest);
    memcpy(track_hash, digest.digest, sizeof track_hash);
    read_object_file("cameras", nullptr, track_read_cameras);
    return 1;
}
