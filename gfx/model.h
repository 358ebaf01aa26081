// JM models: reading the text files into mesh chains, the cache with its level-of-detail
// versions and generations, and drawing with materials, skinning and a reflection pass.
#pragma once

#include <cstdint>

#include "core/stream.h"
#include "platform/plyx.h"

// One mesh of a model. The first mesh of a file (the head) stands for the whole model; the
// others hang from it through next. One allocation holds the record, then its arrays in the
// order positions, normals, tangents, uvs, weights, bone numbers, triangles, then the name.
struct model_mesh {
    const char *name;           // the name the file was loaded by (every mesh carries it)
    model_mesh *next;           // next mesh of the same model
    int generation;             // head: model_generation when last loaded or found
    int reflective;             // mode -1; on the head: any mesh of the model is
    uint32_t display_list;      // 0: drawn from the arrays
    int vertex_count;
    int triangle_count;
    int bone_count;             // the file's bone count (0 for JM1 and the legacy layout)
    float colour[3];            // specular colour of a lit mesh, own colour otherwise
    float factor;               // 1 for a lit mesh, else the header's second number
    float mode;                 // >= 0 lit (specular exponent), MESH_MODE_REFLECTIVE, MESH_MODE_SELF_LIT
    // 3 floats a vertex; with bones 2 x vertex_count entries: the drawn pose, then the rest pose.
    float *positions;
    float *normals;
    float *tangents;
    float *uvs;                 // 2 a vertex; v is 1 - v of the file
    float *weights;             // 4 a vertex, or null without bones
    int32_t *bone_numbers;      // 4 a vertex, or null
    int32_t *triangles;         // 3 vertex indices a triangle, each within 0..vertex_count-1
    float du_per_length;        // largest change of u (v) per unit of edge length, over this
    float dv_per_length;        // mesh and those after it (the head: the whole model)
    float lod_distance;         // camera distance from which this version is used; 0 on a base
    model_mesh *next_lod;       // versions by ascending distance, or null
};

// Loaded models (model_mesh * heads); level-of-detail versions belong to their base model.
extern growable_array model_cache;
// Raised by the race reset before it loads; models found or loaded carry the current value.
extern int model_generation;
// Triangles removed while reading the current file.
extern int model_degenerate_total;
// Vertices and triangles submitted by model drawing (the scene zeroes both for every view).
extern int model_draw_vertex_count;
extern int model_draw_triangle_count;
// World position of the camera of the view being drawn: levels of detail are chosen from it.
extern float camera_position[3];

// ---- Loading and the cache (model.cpp, model_read.cpp) ------------------------------------

// The cached model (exact name, else one differing only in case, with a warning), or the file
// read and entered with its "_lod" versions for '@' names; null when it cannot be read.
model_mesh *model_load(const char *name);
// One file of either layout, without the cache; null on failure.
model_mesh *model_read_file(const char *name);
// One mesh from the stream with B bone weights a vertex; null on failure (a short read says
// nothing, bad counts or numbers say "Warning: bad mesh in '...'").
model_mesh *model_read_mesh(file_stream *s, const char *name, int bone_count);
// Deletes models of older generations (all = 0: not 0, not current), or every model and the
// cache's storage (all = 1).
void model_purge(int all);
const char *model_name(const model_mesh *model);
// Frees a mesh and every mesh after it, with their display lists.
void model_free_meshes(model_mesh *mesh);
// Frees a level-of-detail chain: each version's own successors first, then its meshes.
void model_free_lods(model_mesh *lod);
// The model as ray-tracer "mesh2" blocks (a "union" around several meshes).
void model_write_pov(const model_mesh *model, file_stream *out);
// Texture sides that give the density d (texels per unit of length) over the model's
// steepest mapping: 8192 where that would be more, else d / du (d / dv) truncated.
void model_texture_size_for_density(const model_mesh *model, float density, int *width,
                                    int *height);
// Tangents of the mesh's drawn half from its triangles whose indices are in range, normalised;
// copied into the rest half when the mesh has bones.
void model_compute_tangents(model_mesh *mesh);

// ---- Drawing (model_draw.cpp) -------------------------------------------------------------

// The version to draw at the world position, as seen from camera_position.
model_mesh *model_choose_lod(model_mesh *model, const float position[3]);
// The ordinary pass: every mesh up to the first reflective one. Bones: centres and
// translations 3 floats each, rotations 9 (column-major); count at most MAX_BONE.
void model_draw_skinned(model_mesh *model, const float eye[3], const float position[3],
                        const float rotation[9], const float *centres, const float *translations,
                        const float *rotations, int bone_count);
void model_draw(model_mesh *model, const float eye[3], const float position[3],
                const float rotation[9]);
// The reflection pass: only the reflective meshes. Eye: the viewer's world position;
// rotation: row-major, model axes to world axes.
void model_draw_reflection_skinned(model_mesh *model, const float eye[3],
                                   const float position[3], const float rotation[9],
                                   const float *centres, const float *translations,
                                   const float *rotations, int bone_count);
void model_draw_reflection(model_mesh *model, const float eye[3], const float position[3],
                           const float rotation[9]);
// 1 when reflections are on and the model has a reflective mesh.
int model_has_reflection(const model_mesh *model);
// Each triangle of the one mesh as a line loop.
void model_draw_outline(const model_mesh *mesh);
// Counts and submits one mesh (display list, immediate mode or vertex arrays).
void model_draw_mesh(const model_mesh *mesh);
void model_submit_arrays(const model_mesh *mesh);
void model_submit_immediate(const model_mesh *mesh);
// Skins the drawn half from the rest half on the processor (only without shaders, and only
// when bone_count equals the mesh's).
void model_skin_software(model_mesh *mesh, const float *centres, const float *translations,
                         const float *rotations, int bone_count);
// The reflection's texture coordinates on the processor, for the eye-to-model vector e in
// model axes and the rotation m (row-major, model to world).
void model_reflection_uvs(model_mesh *mesh, const float e[3], const float m[9]);

constexpr float MESH_MODE_REFLECTIVE = -1.0f;
constexpr float MESH_MODE_SELF_LIT = -2.0f;
constexpr float MESH_MODE_LEGACY = 32.0f;
constexpr int MODEL_VERTEX_MAX = 1048576;
constexpr int MODEL_TRIANGLE_MAX = 2097152;
constexpr int MODEL_CACHE_CAPACITY = 16;
constexpr int MODEL_WORD_MAX = 1023;
constexpr float MODEL_SHININESS_MIN = 0.125f;
constexpr float MODEL_SHININESS_MAX = 128.0f;   // what GL accepts
