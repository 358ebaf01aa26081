// Tile kinds: the "tileinfo" and "texturelist" readers, the roost lines, the transition codes of
// the editor's tile painting, and the placeholder ground textures.
#pragma once

#include <cstdint>

#include "terrain/terrain.h"

// A kind while "tileinfo" is read, with what only the reading needs.
struct tile_pending {
    tile_kind kind;
    int friction_count;       // points given so far, 0..8
    int roll_count;
    int roost_count;
    int limit_count;          // "erode_limit" lines taken
    int name_given;
    char texture_name[1024];  // as given on the "texture" line; "" for none
    char roost_texture[4][1024];  // each roost type's texture name
};

// Reads "tileinfo" into the field's kinds (appending to kind_count), with their texture names
// in kind_names, and sets every kind's transition code. Loads no texture. The file as a whole
// never fails: 1.
int tile_load_tileinfo(terrain_field *f, file_stream *s);
// Reads the older "texturelist", one kind a line, the same way: 1.
int tile_load_texturelist(terrain_field *f, file_stream *s);
// Gives the kinds from first on the textures their names say (tile_kind_set_texture, or the
// stand-in for a kind without one) and their roost types theirs.
void tile_load_textures(terrain_field *f, int first);
// Fills a pending kind with the defaults (the default roost texture name).
void tile_kind_defaults(tile_pending *p);
// Parses one "roost" value into the pending kind's next roost type (its texture by name).
void tile_parse_roost(tile_pending *p, const char *text);
// The text of a texture name that transitions compare: after the last '/', else the name less
// a leading '@'.
const char *tile_short_name(const char *texture_name);
// The transition code a short name gives among the kinds' short names, or -1 when its first or
// second part names no kind.
int tile_match_transition(const char *name, const char *const *short_names, int count);
// Sets every kind's transition code from the kinds' short names (kind_count of them; "" for a
// kind without a texture name): the code of its name, else the kind's plain code.
void tile_set_transitions(terrain_field *f, const char *const *short_names);
// A placeholder ground texture: ground_texture_size squares of white (scaled to level) and
// black squares of cell texels, mipmapped.
uint32_t tile_make_checker_texture(terrain_field *f, int cell, int level);
// Gives a kind the texture named (mode 1 an in-memory image, else a GL texture): 1, or 0 with
// the kind on the grey image (mode 1) or texture 0 and the warning on the console.
int tile_kind_set_texture(const terrain_field *f, tile_kind *kind, const char *name);
// Gives a kind with no texture its stand-in: the grey image in mode 1, texture 0 otherwise.
void tile_kind_no_texture(const terrain_field *f, tile_kind *kind);

constexpr int TILE_LINE_MAX = 1023;
constexpr const char *TILE_ROOST_TEXTURE = "@roost.png";   // a roost type's default texture
constexpr float TILE_FRICTION_SPEED_MAX = 1048575.0f;
constexpr float TILE_ROLL_SPEED_MIN = 9.536743e-7f;   // 2^-20
constexpr float TILE_ERODE_RADIUS_CELLS = 32.0f;        // radii at most this many spacings
constexpr float TILE_ERODE_STEP = 1.0f / 1024.0f;
