// The terrain: the loaded track's one height field with everything drawn or simulated on it
// (shading, shadows, tile map and tile kinds, level-of-detail data, ground textures, decals),
// the terrain files, and the height, normal and shading queries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/vec3.h"
#include "core/vfs.h"
#include "gfx/lighting.h"
#include "platform/plyx.h"

struct file_stream;

// One of a tile kind's four roost types: what a spinning wheel throws up (64 bytes).
struct roost_type {
    int kind;                     // 0 none, 1 roost, 2 splash
    uint32_t texture;             // GL texture of the particles
    float count, dig, slip_threshold, slow_angle, fast_angle, slow_speed, fast_speed;
    float size, grow, drag, vscale, randomize;
    unsigned char r, g, b, a;
    unsigned char fade_r, fade_g, fade_b, fade_a;
};

// How a tile kind ruts (176 bytes). The meanings belong to the erosion and the wheels; the
// names are the "tileinfo" keys less "erode_". After a load every upper bound is above its
// lower bound and the radii are at most 32 x spacing.
struct erode_params {
    float depth, lower, upper, displacement, radius, inner_depth, inner_radius;
    float min_slope, max_slope, off_speed, on_speed, slip_lower, slip_upper;
    float slip_base_scale, slip_scale, downhill_scale;
    float limit_depth[8];         // "erode_limit" triples by increasing depth
    float limit_main[8];
    float limit_inner[8];
    float project_to_ground, lateral_scale, front_scale;
    int limit_count;              // 1..8
};

// One ground kind of the tile map. Curves hold 8 points each, sorted by their abscissa.
struct tile_kind {
    char name[48];
    float friction_a[8];          // friction coefficient of each point
    float friction_b[8];          // speed of each point, ascending; 1048576 marks an unused point
    int slip_function;            // what friction speed means: 0 squared speed, 1 slip, 2 slip
                                  // without the wheel's spin (see the contacts)
    float roll_a[8];              // rolling resistance at light load of each point
    float roll_b[8];              // ... at full load
    float roll_c[8];              // speed of each point, ascending; 0 marks an unused point
    roost_type roost[4];
    erode_params erode;
    uint32_t texture;             // GL texture (render modes 2 and 3), owned by the texture cache
    const unsigned char *pixels;  // RGBA mip chain (render mode 1), owned by the image cache
    int width, height;            // (or the terrain's own grey texel)
    int transition;               // (kind a << 16) | (kind b << 8) | corner mask
};

// The texture names of one tile kind as "tileinfo" or "texturelist" gave them, kept until the
// kinds are given their textures (tile_load_textures).
struct tile_kind_names {
    char texture[1025];           // "" for none; a "texturelist" name with its '@'
    char roost[4][1024];          // each roost type's texture ("@roost.png" unless given)
};

// Where the level-of-detail error computation stands (see terrain_update_lod_errors).
struct terrain_lod_work {
    int generation;               // being computed (negative) or finished (positive)
    int level, row, column;       // where to continue
    int triangle, triangle_row;   // within the node in progress
    float partial_max;
    int budget;
    int low_detail_cursor;        // next low-detail texture visited by the rebuilds
    int low_detail_calls;         // terrain_update_frame calls since the last rebuild
    int rect[12][4];              // nodes the pass in progress recomputes, per level (x0, z0,
                                  // x1, z1 inclusive; x0 > x1 for none)
    int own[12][4];               // nodes whose own error it recomputes, per level
    int samples[4];               // the samples it re-reads (x0, z0, x1, z1); x0 < 0: all
    int last_rect[12][4];         // what the previous finished pass changed, per level
    long long work;               // units spent by the last call
};

// One emitted fan triangle in world coordinates (tests watch the mesh through this).
typedef void (*terrain_fan_capture_fn)(const float triangle[9], int texture_level, void *user);

// The loaded track's ground. Grids are row by row (sample (x, z) at x + n z); bit arrays hold
// eight bits a byte, least significant first. With q = 2^k: n = 2q + 1 samples a side, q x q
// tiles of 2 x 2 cells, triangles = 2 (n - 1)^2, nodes = (4q^2 - 1) / 3, L = q / 64 LOD textures
// a side, m low-detail textures a side. Every array is owned by the record.
struct terrain_field {
    float *heights;               // n*n, feet
    float *loaded_heights;        // n*n, as loaded (second half of the heights' block)
    float *node_bounds;           // nodes: quadtree error bounds in use
    float *node_bounds_next;      // nodes: the ones being computed
    float *node_errors;           // nodes: each node's own error, as last computed
    float *row_maxima;            // per triangle row of the nodes of 16 cells or more
    vec3 *triangle_normals;       // unit upward normal per triangle (see triangle_dirty)
    uint32_t *low_detail_textures;  // m*m GL names (render modes 2 and 3)
    unsigned char *shading;       // n*n RGB light at half scale (128 = full light)
    unsigned char *normal_map;    // n*n RGB with extra maps, else null
    unsigned char *shadows;       // n*n, 0 lit .. 255 full shadow
    unsigned char *tile_map;      // q*q tile kinds
    unsigned char *node_bits;     // bits[nodes]
    unsigned char *reshade_pending;  // bits[m*m]
    unsigned char *shading_dirty;    // bits[n*n]
    unsigned char *normal_dirty;     // bits[n*n], extra maps only
    unsigned char *triangle_dirty;   // bits[triangles]
    int *lod_stamps;              // L*L, -1 at load
    growable_array decals;        // items null: no decal list
    growable_array decal_bins[8][8];
    growable_array bin_query[2];
    uint32_t slot_textures[3][6][4][4];  // diffuse, normal, specular by level, row, column
    uint32_t *lod_textures;       // L*L diffuse names, then L*L normal and L*L specular
    uint32_t placeholders[7];     // the checker textures the slots (levels 0-5) and the LOD
                                  // textures (6) share after a load: a slot or LOD texture
                                  // holding one of these names gets a texture of its own
                                  // before anything is drawn into it
    int slot_stamps[6][4][4];
    unsigned char slot_ready[6][4][4];
    int slot_origin[6][2];        // window origin of each level (slots), from the last scroll
    int slot_view_x, slot_view_z; // view cell of the last scroll, TERRAIN_NO_VIEW for none
    int dirty_samples[4];         // heights changed since the last LOD pass began (x0, z0, x1,
                                  // z1 inclusive; x0 > x1 for none)
    int vertices_drawn;           // perimeter points of the last terrain_draw
    int decals_drawn;             // decals baked by the last tile_render_pending
    int tiles_composed;           // tiles composed by the last tile_render_pending
    uint32_t bound_texture;       // the bind cache of terrain_bind_tile_textures
    int bound_level;
    int large_decal_workaround;   // draw big decals in pieces (a driver fault)
    int view_octant;
    growable_array decal_kept_lines;  // bad lines of "decals", kept to be written back
    int ground_texture_size;      // texels a side of a slot texture
    int render_mode;              // TILE_RENDER_*
    uint32_t framebuffer;         // of render mode 3, or 0
    int extra_maps;               // normal and specular ground maps are kept
    float extent;                 // 2q * spacing: the field covers [0, extent] in x and z
    float spacing;                // feet between samples
    float tile_size;              // 2 * spacing
    float detail_factor;
    float max_height, min_height; // widened by every height edit
    tile_kind kinds[256];
    tile_kind_names kind_names[256];  // what the kinds' textures were loaded from
    float low_detail_texel_scale;
    int k, n;
    int last_view_x, last_view_z; // cell of the last drawn view, -1000000 for none
    int kind_count;
    int m;
    int edit_generation;          // 1 after a load
    terrain_lod_work lod;
    unsigned char *composition;   // scratch RGB image of up to 1024 x 1024 texels
    int texture_update_counter;
    int modified_flags;           // three bits, all set by every height change
    int hide_decals;
    int heights_frozen;           // no height changes while set
    int no_save;                  // the heights could not be read: terrain_save refuses
    char folder[VFS_NAME_MAX + 1];   // the track folder it was loaded from ("@tracks/..."), or ""
    float eye[3];                 // set by whoever draws, before terrain_draw
    float view_direction[3];
    const track_lighting_record *lighting;  // what the shading reads (the track's record)
};

// The program's one terrain field and the pointer through which everything reaches it (the
// editor keeps a second pointer to the same record).
extern terrain_field terrain_main_record;
extern terrain_field *terrain_current;
// 1 when the processor has MMX (cleared by --nommx).
extern int terrain_mmx;
// Test hook: the save's file of this number (write order: 0 "terrain.png", 1 "terrain.hf",
// 2 "shading.ppm", 3 "shadingx2.ppm", 4 "tilemap", 5 "decals") fails as if its write had
// failed; -1 (the default) for none.
extern int terrain_save_fail_at;

// ---- Sizes and bits ------------------------------------------------------------------------

inline int terrain_node_count(int k) {
    return (int)((((int64_t)4 << (2 * k)) - 1) / 3);
}
inline int terrain_triangle_count(int n) {
    return 2 * (n - 1) * (n - 1);
}
inline size_t terrain_bit_bytes(size_t bits) {
    return (bits + 7) / 8;
}
inline int terrain_bit(const unsigned char *bits, size_t i) {
    return (bits[i >> 3] >> (i & 7)) & 1;
}
inline void terrain_bit_set(unsigned char *bits, size_t i) {
    bits[i >> 3] = (unsigned char)(bits[i >> 3] | (1u << (i & 7)));
}
inline void terrain_bit_clear(unsigned char *bits, size_t i) {
    bits[i >> 3] = (unsigned char)(bits[i >> 3] & ~(1u << (i & 7)));
}

// ---- Files ---------------------------------------------------------------------------------

// Loads a track folder ("@tracks/name") into the field with the requested render mode (1, 2
// or 3): 1, or 0 with the record empty and the reason on the console.
int terrain_load(terrain_field *f, const char *folder, int requested_mode);
// Writes the field into its track's folder in the home folder, all files or none: 1,
// or 0 with the reason on the console.
int terrain_save(terrain_field *f);
// Deletes the GL objects, frees every array and leaves the record empty for another load.
void terrain_free(terrain_field *f);
// The name itself, or a new texture like it when the name is one of the shared placeholders:
// a slot or LOD texture gets a texture of its own before anything is drawn into it.
uint32_t terrain_unshare_texture(terrain_field *f, uint32_t name);
// The readers behind terrain_load, of a stream and the field only (no loading screen, image or
// GL). The header of "terrain.hf" (k, spacing, lowest and highest height), checked, with the
// grid it describes allocated: 1; 0 for a bad header; -1 when a ':' block follows that cannot
// hold the samples (nothing allocated).
int terrain_read_header(terrain_field *f, file_stream *s, float *lo, float *hi);
// The samples of the ':' block behind the header: 1; 0 when the block is cut short; -1 when
// the stream holds no ':' block (one byte taken). row_done, when set, follows every row.
int terrain_read_heights(terrain_field *f, file_stream *s, float lo, float hi,
                         void (*row_done)());
// The tile map of q*q kinds: missing tiles are kind 0 (with a warning), kinds beyond the last
// kind become the last.
void terrain_read_tile_map(terrain_field *f, file_stream *s);
// Opens folder + "/" + name; on failure with complain set: "Can't open '...'" on the console.
file_stream *terrain_open_track_file(const char *folder, const char *name, const char *mode,
                                     int complain);

// ---- Surface (terrain_surface.cpp, shared with the stock-data generator) --------------------

// The height of a 16-bit sample v in a field whose samples span min..max.
float terrain_sample_height(float min, float max, unsigned v);
// The height of the surface at world (x, z); outside the field the border continues.
float terrain_height_at(const terrain_field *f, float x, float z);
// The same surface on the heights as loaded (the current heights when no loaded copy exists).
float terrain_loaded_height_at(const terrain_field *f, float x, float z);
// The upward normal (not normalised) of the triangle under world (x, z).
void terrain_normal_at(const terrain_field *f, float x, float z, vec3 *normal);
// Sets one sample and marks the shading, normal-map texels and triangles that depend on it.
// Nothing happens outside the grid, while heights are frozen, or for a non-finite height.
void terrain_set_height(terrain_field *f, int column, int row, float height);
// The unit normal at a sample, recomputing dirty triangle normals on the way.
vec3 terrain_vertex_normal(terrain_field *f, int column, int row);
// One sample's stored shading (column and row clamped to the grid), from the field's lighting.
void terrain_shade_sample(terrain_field *f, int column, int row, unsigned char rgb[3]);
// One sample's normal-map texel: normal x and z around 128, and the lit level.
void terrain_normal_texel(terrain_field *f, int column, int row, unsigned char rgb[3]);
// Recomputes the shading and normal-map texels of every dirty sample and clears their bits.
void terrain_reshade_dirty(terrain_field *f);

// ---- Level of detail and per-frame upkeep --------------------------------------------------

// Advances the quadtree error computation by about budget units: 1 when the bounds are up to
// date for the current edit generation.
int terrain_update_lod_errors(terrain_field *f, int budget);
// The image of a low-detail texture: samples from (x0, z0), clamped to the grid, one texel
// each (the normal map with extra maps, else the shading), into out (width x height RGB).
void terrain_low_detail_image(terrain_field *f, int x0, int z0, int width, int height,
                              unsigned char *out);
// Allocates the quadtree arrays (bounds, work bounds, own errors, row maxima) of a field whose
// k, n, heights, extent and detail factor are set; frees them.
void terrain_lod_alloc(terrain_field *f);
void terrain_lod_free(terrain_field *f);
// Widens the rectangle of samples changed since the last pass began (and starts a new edit
// generation when it was empty).
void terrain_lod_touch(terrain_field *f, int x0, int z0, int x1, int z1);
// Draws the terrain for the eye and view direction stored in the field.
void terrain_draw(terrain_field *f);
// Sets the refinement bits for the stored eye (as terrain_draw does first): 1 for refined.
void terrain_refine(terrain_field *f);
// The view cell of an eye position: floor(eye / spacing) clamped to +-2^20; a NaN keeps last.
int terrain_view_cell(float eye, float spacing, int last);
// Rebuilds up to count due low-detail textures (0: as many as there are).
void terrain_upload_low_detail(terrain_field *f, int count);
// Low-detail textures waiting for a rebuild (0 in render mode 1).
int terrain_count_pending_reshades(const terrain_field *f);
// The field-wise forms of the per-frame entry points.
void terrain_update_frame_field(terrain_field *f, int reshade_mask);
void terrain_update_all_field(terrain_field *f);
// Every triangle terrain_draw emits goes to fn as well (null: none).
void terrain_set_fan_capture(terrain_fan_capture_fn fn, void *user);
// Tests the processor for MMX and sets terrain_mmx; logs when it is missing.
void terrain_probe_mmx();
// Points terrain_current at the program's one terrain field.
void terrain_use_main_field();
// The per-frame level-of-detail and reshading work; reshade_mask = 2^delay - 1 (0 in the editor).
void terrain_update_frame(int reshade_mask);
// Finishes every pending terrain update at once.
void terrain_update_all();

// Render modes: composition in memory, by OpenGL copied from the frame, into a framebuffer.
constexpr int TILE_RENDER_TEXSUBIMAGE = 1;
constexpr int TILE_RENDER_COPYTEXSUBIMAGE = 2;
constexpr int TILE_RENDER_FBO = 3;
constexpr int TERRAIN_KINDS_MAX = 256;
constexpr int TERRAIN_K_MIN = 6;
constexpr int TERRAIN_K_MAX = 11;             // 4097 x 4097 samples, about 700 MB in all
constexpr float TERRAIN_SPACING_MIN = 0.25f;     // feet: finer grids make every ground search costly
constexpr float TERRAIN_SPACING_MAX = 1000.0f;
constexpr float TERRAIN_DETAIL_MIN = 1e-6f;
constexpr int TERRAIN_NO_VIEW = -1000000;
constexpr int TERRAIN_VIEW_CELL_MAX = 1 << 20;
constexpr int TERRAIN_LOD_FRAME_BUDGET = 8000;
constexpr int TERRAIN_ROW_MAXIMA_MIN = 16;    // node size (cells) from which row maxima are kept
constexpr int TERRAIN_COMPOSITION_BYTES = 1024 * 1024 * 4;
constexpr int TERRAIN_LOW_DETAIL_SIDE_MAX = 512;
constexpr int TERRAIN_GROUND_SIZE_SOFTWARE_MAX = 256;   // slot side in render modes 1 and 2
constexpr float TERRAIN_FRICTION_UNUSED = 1048576.0f;
