// The model cache: loading by name with level-of-detail versions from the file index,
// generations and purging, freeing, and the ray-tracer text of a model.
#include "gfx/model.h"

#include <GL/gl.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/vfs.h"

growable_array model_cache;
int model_generation = 0;

static bool model_same_ignoring_case(const char *a, const char *b) {
    for (; *a && *b; a++, b++)
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b)) return false;
    return *a == *b;
}

static model_mesh **model_cache_items() {
    return (model_mesh **)model_cache.items;
}

static model_mesh *model_cache_find(const char *name) {
    for (int i = 0; i < model_cache.count; i++) {
        model_mesh *m = model_cache_items()[i];
        if (strcmp(m->name, name) == 0) return m;
        if (model_same_ignoring_case(m->name, name)) {
            char line[960];
            snprintf(line, sizeof line, "Warning: case mismatch on '%.900s'", name);
            console_print(line);
            return m;
        }
    }
    return nullptr;
}

// The number that follows "_lod" at text: 1 and its value when the text starts with a decimal
// number (sign, digits, an optional fraction), else 0.
static int model_lod_number(const char *text, double *value) {
    const char *p = text;
    if (*p == '+' || *p == '-') p++;
    int digits = 0;
    while (isdigit((unsigned char)*p)) p++, digits++;
    if (*p == '.') {
        p++;
        while (isdigit((unsigned char)*p)) p++, digits++;
    }
    if (!digits) return 0;
    *value = strtod(std::string(text, (size_t)(p - text)).c_str(), nullptr);
    return 1;
}

// Puts the version before the first one whose distance is at least its own.
static void model_insert_lod(model_mesh *base, model_mesh *version) {
    model_mesh **link = &base->next_lod;
    while (*link && (*link)->lod_distance < version->lod_distance) link = &(*link)->next_lod;
    version->next_lod = *link;
    *link = version;
}

// Every listed "<prefix>_lod<number>..." file of an '@' name that reads as a model.
static void model_attach_lods(model_mesh *base, const char *name) {
    const char *stem = name + 1;
    const char *dot = strrchr(stem, '.');
    if (!dot) return;
    size_t prefix = (size_t)(dot - stem);
    const char **names = vfs_build_index();
    for (int i = 0; names && names[i]; i++) {
        const char *listed = names[i];
        if (strncmp(listed, stem, prefix) != 0 || strncmp(listed + prefix, "_lod", 4) != 0)
            continue;
        double number;
        if (!model_lod_number(listed + prefix + 4, &number)) continue;
        float distance = (float)std::pow(2.0, number);
        if (!std::isfinite(distance)) continue;
        std::string version_name = std::string("@") + listed;
        if (version_name.size() > 3 && version_name.compare(version_name.size() - 3, 3, ".gz") == 0)
            version_name.resize(version_name.size() - 3);
        model_mesh *version = model_read_file(version_name.c_str());
        if (!version) continue;
        version->lod_distance = distance;
        version->generation = model_generation;
        model_insert_lod(base, version);
    }
}

model_mesh *model_load(const char *name) {
    if (model_cache.items) {
        if (model_mesh *found = model_cache_find(name)) {
            found->generation = model_generation;
            return found;
        }
    }
    model_mesh *model = model_read_file(name);
    if (!model) return nullptr;
    model->next_lod = nullptr;
    model->lod_distance = 0;
    model->generation = model_generation;
    // Without room in the cache the model is still handed out.
    if (model_cache.items || plyx_array_init(&model_cache, sizeof(model_mesh *), MODEL_CACHE_CAPACITY))
        plyx_array_append(&model_cache, &model);
    if (name[0] == '@') model_attach_lods(model, name);
    return model;
}

const char *model_name(const model_mesh *model) {
    return model->name;
}

void model_free_meshes(model_mesh *mesh) {
    while (mesh) {
        model_mesh *next = mesh->next;
        if (mesh->display_list) glDeleteLists(mesh->display_list, 1);
        mem_free(mesh);
        mesh = next;
    }
}

void model_free_lods(model_mesh *lod) {
    // Versions read from their own files have no versions of their own: the chain is flat.
    while (lod) {
        model_mesh *next = lod->next_lod;
        model_free_meshes(lod);
        lod = next;
    }
}

void model_purge(int all) {
    for (int i = model_cache.count - 1; i >= 0; i--) {
        model_mesh *m = model_cache_items()[i];
        if (!all && (m->generation == 0 || m->generation == model_generation)) continue;
        if (game_settings.debug_level) {
            char line[960];
            snprintf(line, sizeof line, "deleting model %.900s", m->name);
            console_print(line);
        }
        model_free_lods(m->next_lod);
        model_free_meshes(m);
        memmove(model_cache_items() + i, model_cache_items() + i + 1,
                sizeof(model_mesh *) * (size_t)(model_cache.count - i - 1));
        model_cache.count--;
    }
    if (all) plyx_array_free(&model_cache);
}

// One list of a mesh2 block: the opening line, the count, the items, the closing line.
template <class Item>
static void model_pov_list(file_stream *out, const char *title, int count, Item item) {
    stream_printf(out, "\t%s {\n\t\t%d\n", title, count);
    for (int i = 0; i < count; i++) item(i, i + 1 < count ? "," : "");
    stream_puts(out, "\t}\n");
}

static void model_pov_mesh(const model_mesh *m, file_stream *out) {
    stream_puts(out, "mesh2 {\n");
    for (const float *v : {m->positions, m->normals}) {
        model_pov_list(out, v == m->positions ? "vertex_vectors" : "normal_vectors",
                       m->vertex_count, [&](int i, const char *sep) {
                           stream_printf(out, "\t\t<%f,%f,%f>%s\n", v[3 * i], v[3 * i + 1],
                                         v[3 * i + 2], sep);
                       });
    }
    model_pov_list(out, "uv_vectors", m->vertex_count, [&](int i, const char *sep) {
        stream_printf(out, "\t\t<%f,%f>%s\n", m->uvs[2 * i], m->uvs[2 * i + 1], sep);
    });
    model_pov_list(out, "face_indices", m->triangle_count, [&](int i, const char *sep) {
        const int32_t *t = m->triangles + 3 * i;
        stream_printf(out, "\t\t<%d,%d,%d>%s\n", t[0], t[1], t[2], sep);
    });
    stream_puts(out, "}\n");
}

void model_write_pov(const model_mesh *model, file_stream *out) {
    if (!model) return;
    bool several = model->next != nullptr;
    if (several) stream_puts(out, "union {\n");
    for (const model_mesh *m = model; m; m = m->next) model_pov_mesh(m, out);
    if (several) stream_puts(out, "}\n");
}

// 8192 where the density would need more (or the mapping has no slope), else d / slope.
static int model_side_for_density(float density, float per_length) {
    const float most = 8192.0f;
    if (!(density / most <= per_length)) return (int)most;
    if (per_length <= 0 || density <= 0) return 0;
    return (int)(density / per_length);
}

void model_texture_size_for_density(const model_mesh *model, float density, int *width,
                                    int *height) {
    *width = model_side_for_density(density, model->du_per_length);
    *height = model_side_for_density(density, model->dv_per_length);
}
