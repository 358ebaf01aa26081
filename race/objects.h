// Trackside objects: statues (solid models on the ground), billboards (camera-facing pictures:
// trees, spectators, flaggers, particles), their track files and their pose on the terrain.
#pragma once

#include <cstdint>

#include "platform/plyx.h"

struct model_mesh;
struct collision_shape;
struct file_stream;

// One statue row of track_statues.
struct statue {
    model_mesh *model;            // none: not drawn
    collision_shape *shape;       // private copy; none: not solid
    int32_t texture, normal_map, specular_map;
    float x, y, z;                // y = ground height + height_offset
    float height_offset;
    float yaw;                    // >= 3.25: unrotated; <= -2 pi: turned but not tilted
    float orientation[9];         // row-major; columns right, up, forward
    float rotation_free;          // 2^yaw when yaw >= 3.25, else 0
    int32_t last_hit_tick;
    int32_t joint_count;
    float *joint_centres;         // joint_count x 3, owned
    float *joint_translations;    // joint_count x 3, owned
    float *joint_rotations;       // joint_count x 9, owned
    float facing[9];              // a facing statue's drawn turn toward the eye (zero until first turned)
};

// One billboard row of track_billboards.
struct billboard {
    float x, y, z;                // the foot; y = ground height + height_offset
    float size;                   // height, feet
    float height_offset;
    float aspect;                 // width as a fraction of the height
    int32_t depth_key;            // written by the scene
    int32_t texture;              // 0: not drawn
    uint8_t r, g, b, a;
};

// How rows get their textures and models: the texture and model caches in the game; tests and
// fuzz targets put loaders here that need no graphics context.
struct track_loader_table {
    uint32_t (*texture)(const char *name);
    model_mesh *(*model)(const char *name);
    const char *(*texture_name)(uint32_t texture);   // as loaded, or null
    const char *(*model_name)(const model_mesh *model);
};
extern track_loader_table track_loaders;

// Two int entries per billboard row, the scene's depth sort space.
extern growable_array billboard_order;
// The first row the "statues" and "billboards" files hold (rows before it are the gate arms,
// the particles and the flaggers, never written back).
extern int track_first_file_statue;
extern int track_first_file_billboard;

// The ground height under (x, z); 0 without a loaded field.
float track_ground_height(float x, float z);

// Appends a billboard (the texture text may carry a "#rrggbb#" colour tag): its row, or -1 when
// the table could not grow.
int track_add_billboard(float x, float height_offset, float z, float size, float aspect,
                        const char *texture);
// Appends a statue (each name may be null): its row, or -1 when the table could not grow.
int track_add_statue(float x, float height_offset, float z, float yaw, const char *model,
                     const char *texture, const char *shape);
// Recomputes y and the orientation from x, z and yaw after the row was moved.
void track_place_statue(int row);
// Frees the row's shape copy and joint arrays (the model and textures belong to the caches).
void track_free_statue(int row);
// Frees every statue's own parts and empties the statue and billboard tables.
void track_objects_clear();
// The texture whose name is name with its ending suffix replaced by new_suffix, or 0.
uint32_t track_load_texture_variant(const char *name, const char *suffix, const char *new_suffix);
// The statue's pose on the ground (row-major 3 x 3) at (x, z) for the yaw.
void track_orient_to_ground(float out[9], float x, float z, float yaw);
// The colour tag of a billboard texture text: 1 with the colour and the name after the tag.
int track_billboard_colour_tag(const char *text, uint8_t rgb[3], const char **name);

// The "statues" and "billboards" files of a stream: rows appended until the first line that
// does not parse; a row with a non-finite number is skipped with a warning. The rows read.
int track_read_statues(file_stream *s, const char *file_name);
int track_read_billboards(file_stream *s, const char *file_name);
// Writes the file rows over "@<track>/statues" or "/billboards" (a temporary file renamed into
// place): 1, or 0 with the old file whole.
int track_write_statues();
int track_write_billboards();

constexpr float STATUE_ROTATION_FREE_YAW = 3.25f;
constexpr int TRACK_FILE_ROWS_MAX = 65536;
