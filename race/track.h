// The current track: its name, lighting and object tables, loading and unloading.
#pragma once

#include <cstdint>

#include "gfx/lighting.h"
#include "platform/plyx.h"

struct file_stream;

// One lens flare of the track's "lighting": a point or a direction with up to 8 elements drawn
// on the line through the screen centre.
struct flare {
    float position[3];            // a point, or a direction (kind 1)
    float screen_x, screen_y;     // written by the drawer
    float pairs[8][2];            // across, along (1 at the flare, 0 at the centre)
    float colours[8][3];
    float half_sizes[8];
    int32_t textures[8];
    int32_t element_count;        // 0..8
    int32_t kind;                 // 0 point, 1 direction
    float visibility;             // written by the drawer
};

// The loaded track's folder (an interned text), or null when no track is loaded.
extern const char *track_name;
// Set to load the track again at the next race reset even when it is the loaded one.
extern int track_reload_request;
// The tables a track load fills: statue and billboard rows (race/objects.h), gate flaggers
// (race/flaggers.h).
extern growable_array track_statues;
extern growable_array track_billboards;
extern growable_array track_flaggers;
// Where the "lighting" file's flares go (flare rows; the scene's list, set when it makes its
// lists); null drops them.
extern growable_array *track_flare_list;

void track_lighting_reset();
// Reads the current track's "lighting" file over the defaults (the fog colour stays unless the
// file sets it), loads the default sky faces when the file named none, and sets the fog; a
// missing file keeps the defaults and loads no sky.
void track_read_lighting();
// The lines of a "lighting" stream over the record as it stands, its textures through
// track_loaders; stops at an unknown keyword. The clamps and defaults come after it.
void track_read_lighting_stream(file_stream *s);
// Each sky face the file left without a texture gets its stock one.
void track_lighting_default_sky();
// The clip-plane clamps and the unit sun of a read "lighting" file.
void track_lighting_finish();
// One line of at most max - 1 bytes into the buffer; the rest of a longer line is dropped.
// Null at the end of the stream.
char *track_read_line(file_stream *s, char *buffer, int max);
// The terrain render mode the "Terrain Rendering Method" setting asks for: 1 Software, 2 the
// Copy methods, 3 the Direct methods.
int track_render_mode();
// The loaded track's map texture (0: none); its hash and description are race/track_hash.h's.
extern uint32_t track_map_texture;
// Empties the trackside camera table before a track's "cameras" file is read (the scene's, set
// when it makes its lists).
extern void (*track_cameras_clear)();
// Loads the current track (track_name) with all its objects, in order: 1, or 0 with no track
// loaded.
int track_load();
// Frees the current track and its objects; logs "Deallocating track".
void track_unload();
// Makes the empty statue, billboard and flagger tables with room for 16 rows; frees them.
void track_lists_create();
void track_lists_free();

constexpr int TRACK_LIST_CAPACITY = 16;
constexpr int TRACK_LIGHTING_LINE_MAX = 1024;
