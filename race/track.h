// The current track: its name, lighting and object tables, loading and unloading.
#pragma once

#include "gfx/lighting.h"
#include "platform/plyx.h"

#include <cstdint>

// One billboard: an upright textured quad turning about the vertical to face the viewer.
struct billboard {
    float x, y, z;            // the foot; y = ground height + height offset
    float size;               // height, feet
    float height_offset;
    float aspect;             // width as a fraction of the height
    int32_t depth_key;        // written by the scene each frame
    int32_t texture;          // 0: not drawn
    uint8_t red, green, blue, alpha;   // alpha 0: not drawn
};

// The loaded track's folder (an interned text), or null when no track is loaded.
extern const char *track_name;
// The tables a track load fills (rows of pointer size until their owners give theirs).
extern growable_array track_statues;
extern growable_array track_billboards;
extern growable_array track_flaggers;

void track_lighting_reset();
// Reads the current track's "lighting" file over the defaults (the fog colour stays unless the
// file sets it); a missing file keeps the defaults.
void track_read_lighting();
// The terrain render mode the "Terrain Rendering Method" setting asks for: 1 Software, 2 the
// Copy methods, 3 the Direct methods.
int track_render_mode();
// Loads the current track (track_name): 1, or 0 with no track loaded.
int track_load();
// Frees the current track and its objects; logs "Deallocating track".
void track_unload();
// Makes the empty statue, billboard and flagger tables with room for 16 rows; frees them.
void track_lists_create();
void track_lists_free();

constexpr int TRACK_LIST_CAPACITY = 16;
constexpr int TRACK_LIGHTING_LINE_MAX = 1024;
