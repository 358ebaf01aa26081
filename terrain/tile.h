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

// ---- Ground-texture slots (tile_slots.cpp) -------------------------------------------------

// A composition hook: called for every texture about to be composed (slot level 0..5 with its
// window column and row, or level 6 with the LOD texture's index in column); return 1 to skip
// the composition itself (tests count compositions without drawing).
typedef int (*tile_compose_hook_fn)(int level, int column, int row, void *user);
void tile_set_compose_hook(tile_compose_hook_fn fn, void *user);

// The window origin (in slots of level e) for a view cell, clamped into the field.
int tile_window_origin(int view_cell, int e, int k);
// Scrolls the windows to the eye stored in the field and composes what is due.
void tile_render_pending(terrain_field *f);
// Scrolls every level's window to the view cell (shifting textures, readiness and stamps).
void tile_scroll_windows(terrain_field *f, int view_x, int view_z);
// Composes every LOD texture, showing loading progress (the load's last step).
void tile_compose_all_lod(terrain_field *f);
// Stamps stale every slot of levels finest..5 and LOD texture over the cells (inclusive).
void terrain_mark_textures_stale(terrain_field *f, int x0, int z0, int x1, int z1);
// Update counter minus the oldest stamp; 0 when nothing is stale.
int terrain_texture_age(const terrain_field *f);
// The finest slot level composed and drawn (the ground-texture detail setting).
int tile_finest_level();
// The texture level of a node: the lowest from first..5 whose ready slot covers it, else 6.
int tile_choose_level(const terrain_field *f, int node_level, int column, int row, int first);
// Binds the slot or LOD textures covering a node (skipped when already bound).
void terrain_bind_tile_textures(terrain_field *f, int node_level, int column, int row, int e);
// Composes one block of tiles (tile x, z, d a side) into a texture of the field's size.
void tile_compose(terrain_field *f, int x, int z, int d, uint32_t diffuse, uint32_t normal,
                  uint32_t specular);
// Mode 1: composes the block into the scratch image (size S) and uploads it with its levels.
void tile_compose_software(terrain_field *f, int x, int z, int d, uint32_t texture);
// Modes 2 and 3: the target set-up (0 when the framebuffer is incomplete), the three maps.
int tile_target_begin(terrain_field *f, uint32_t texture);
void tile_target_end(terrain_field *f, uint32_t texture);
void tile_draw_diffuse(terrain_field *f, int x, int z, int d);
void tile_draw_normal(terrain_field *f, int x, int z, int d);
void tile_draw_specular(terrain_field *f, int x, int z, int d);
// Test hook: called between attaching the texture and checking the framebuffer.
extern void (*tile_framebuffer_hook)(uint32_t texture);

// ---- Span routines (tile_span.cpp): one destination row of RGB texels ---------------------

// Blends texels of an RGBA image (w x h) at 16.16 coordinates (u, v) stepped by (du, dv).
void tile_span_blend_nearest(unsigned char *dst, int count, const unsigned char *image, int w,
                             int h, uint32_t u, uint32_t v, int32_t du, int32_t dv);
void tile_span_blend_bilinear(unsigned char *dst, int count, const unsigned char *image, int w,
                              int h, uint32_t u, uint32_t v, int32_t du, int32_t dv);
// Multiplies texels by RGB shading (w x h) bilinearly sampled at 16.16 coordinates.
void tile_span_modulate_bilinear(unsigned char *dst, int count, const unsigned char *shading,
                                 int w, int h, uint32_t u, uint32_t v, int32_t du, int32_t dv);
// One channel of the blend: source s16 and alpha a16 (16 bits) over destination byte t.
inline unsigned tile_blend_channel(unsigned s16, unsigned a16, unsigned t) {
    unsigned v = ((s16 * a16) >> 16) + (((t * 257u) * (65535u - a16)) >> 16);
    return (v > 65535u ? 65535u : v) >> 8;
}
// The 16-bit mix of a and b by a 16-bit fraction.
inline unsigned tile_mix16(unsigned a, unsigned b, unsigned f) {
    return (a * (65536u - f) + b * f) >> 16;
}

constexpr int TILE_LINE_MAX = 1023;
constexpr const char *TILE_ROOST_TEXTURE = "@roost.png";   // a roost type's default texture
constexpr float TILE_FRICTION_SPEED_MAX = 1048575.0f;
constexpr float TILE_ROLL_SPEED_MIN = 9.536743e-7f;   // 2^-20
constexpr float TILE_ERODE_RADIUS_CELLS = 32.0f;        // radii at most this many spacings
constexpr float TILE_ERODE_STEP = 1.0f / 1024.0f;

// ---- Repainting ----------------------------------------------------------------------------

// Makes the corners in mask (bit 0: +x +z, bit 1: -x +z, bit 2: +x -z, bit 3: -x -z) of one
// cell show material c: the first kind whose corner materials are the wanted ones, when one
// exists and the cell lies inside the map (column and row are clamped for the reading only).
void tile_fix_transition(terrain_field *f, int column, int row, int material, int mask);
// Paints one cell of the tile map with a kind and re-picks the transitions of its eight
// neighbours: 1 when the cell lies inside the map.
int tile_paint_cell(terrain_field *f, int column, int row, int kind);
