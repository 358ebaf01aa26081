// Reading JM files: meshes with their weights, tangents, cleaned triangles, display lists and
// texture-density figures.
#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/console.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "gfx/model.h"
#include "gfx/shader.h"

int model_degenerate_total = 0;

static void model_warn(const char *format, const char *name) {
    char line[960];
    snprintf(line, sizeof line, format, name);
    console_print(line);
}

// The header of a mesh as the file gives it.
struct mesh_header {
    float mode, factor, colour[3];
    int vertex_count, triangle_count;
};

// One block for the record, its arrays and the name; null when memory runs out.
static model_mesh *model_allocate(const mesh_header &h, int bone_count, const char *name) {
    size_t nv = (size_t)h.vertex_count, nt = (size_t)h.triangle_count;
    size_t halves = bone_count > 0 ? 2 : 1;
    size_t floats = nv * halves * 9 + nv * 2 + (bone_count > 0 ? nv * 4 : 0);
    size_t ints = (bone_count > 0 ? nv * 4 : 0) + nt * 3;
    size_t name_bytes = strlen(name) + 1;
    size_t head = (sizeof(model_mesh) + 7) / 8 * 8;
    char *block = (char *)mem_alloc(head + floats * sizeof(float) + ints * sizeof(int32_t) +
                                    name_bytes);
    if (!block) return nullptr;
    model_mesh *m = (model_mesh *)block;
    memset(m, 0, sizeof *m);
    float *f = (float *)(block + head);
    m->positions = f;
    f += nv * halves * 3;
    m->normals = f;
    f += nv * halves * 3;
    m->tangents = f;
    f += nv * halves * 3;
    m->uvs = f;
    f += nv * 2;
    if (bone_count > 0) {
        m->weights = f;
        f += nv * 4;
    }
    int32_t *n = (int32_t *)f;
    if (bone_count > 0) {
        m->bone_numbers = n;
        n += nv * 4;
    }
    m->triangles = n;
    n += nt * 3;
    char *text = (char *)n;
    memcpy(text, name, name_bytes);
    m->name = text;
    m->vertex_count = h.vertex_count;
    m->triangle_count = h.triangle_count;
    m->bone_count = bone_count;
    m->mode = h.mode;
    m->reflective = h.mode == MESH_MODE_REFLECTIVE;
    m->factor = h.mode >= 0 ? 1.0f : h.factor;
    memcpy(m->colour, h.colour, sizeof m->colour);
    return m;
}

static bool finite_all(const float *v, int n) {
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

// Up to four influences a vertex: a weight takes the slot of the smallest one held (the first
// such slot), then the four are normalised. Returns 1 when an influence was pushed out, -1 for
// a weight that is not finite; a short read clears *ok.
static int model_read_weights(file_stream *s, float *weights, int32_t *bones, int bone_count,
                              bool *ok) {
    int overflow = 0;
    for (int k = 0; k < 4; k++) {
        weights[k] = 0;
        bones[k] = 0;
    }
    for (int j = 0; j < bone_count; j++) {
        float w;
        if (stream_scanf(s, "%f", &w) != 1) {
            *ok = false;
            return overflow;
        }
        if (!std::isfinite(w)) return -1;
        if (w <= 0) continue;
        int slot = 0;
        for (int k = 1; k < 4; k++)
            if (weights[k] < weights[slot]) slot = k;
        if (weights[slot] != 0) overflow = 1;
        weights[slot] = w;
        bones[slot] = j;
    }
    float sum = weights[0] + weights[1] + weights[2] + weights[3];
    for (int k = 0; k < 4; k++) weights[k] = sum > 0 ? weights[k] / sum : 0.25f;
    return overflow;
}

static bool triangle_in_range(const int32_t *t, int vertex_count) {
    for (int k = 0; k < 3; k++)
        if (t[k] < 0 || t[k] >= vertex_count) return false;
    return true;
}

void model_compute_tangents(model_mesh *m) {
    const float tiny = 1.0f / 1048576.0f;  // 2^-20
    int nv = m->vertex_count;
    memset(m->tangents, 0, sizeof(float) * 3 * (size_t)nv);
    for (int t = 0; t < m->triangle_count; t++) {
        const int32_t *tri = m->triangles + 3 * t;
        if (!triangle_in_range(tri, nv)) continue;
        const float *p0 = m->positions + 3 * tri[0], *p1 = m->positions + 3 * tri[1],
                    *p2 = m->positions + 3 * tri[2];
        const float *t0 = m->uvs + 2 * tri[0], *t1 = m->uvs + 2 * tri[1], *t2 = m->uvs + 2 * tri[2];
        float e1[3], e2[3], tangent[3];
        for (int k = 0; k < 3; k++) {
            e1[k] = p1[k] - p0[k];
            e2[k] = p2[k] - p0[k];
        }
        float ds1 = t1[0] - t0[0], dt1 = t1[1] - t0[1], ds2 = t2[0] - t0[0], dt2 = t2[1] - t0[1];
        float det = ds1 * dt2 - ds2 * dt1;
        if (std::fabs(det) >= tiny) {
            float b[3];
            for (int k = 0; k < 3; k++) {
                tangent[k] = (e1[k] * dt2 - e2[k] * dt1) / det;
                b[k] = (e2[k] * ds1 - e1[k] * ds2) / det;
            }
            float tb[3] = {tangent[1] * b[2] - tangent[2] * b[1], tangent[2] * b[0] - tangent[0] * b[2],
                           tangent[0] * b[1] - tangent[1] * b[0]};
            float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                          e1[0] * e2[1] - e1[1] * e2[0]};
            if (tb[0] * n[0] + tb[1] * n[1] + tb[2] * n[2] <= 0)
                for (float &c : tangent) c = -c;
        } else {
            // A mapping without area: a tiny vector along the longer edge.
            float l1 = e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2];
            float l2 = e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2];
            if (l1 > l2) {
                for (int k = 0; k < 3; k++) tangent[k] = tiny * e1[k] / std::sqrt(l1);
            } else if (l2 > 0) {
                for (int k = 0; k < 3; k++) tangent[k] = tiny * e2[k] / std::sqrt(l2);
            } else {
                tangent[0] = tiny;
                tangent[1] = tangent[2] = 0;
            }
        }
        for (int c = 0; c < 3; c++)
            for (int k = 0; k < 3; k++) m->tangents[3 * tri[c] + k] += tangent[k];
    }
    for (int i = 0; i < nv; i++) {
        float *t = m->tangents + 3 * i;
        float len = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        if (len == 0 || !std::isfinite(len)) {
            t[0] = 1;
            t[1] = t[2] = 0;
        } else {
            for (int k = 0; k < 3; k++) t[k] /= len;
        }
    }
    if (m->bone_count > 0)
        memcpy(m->tangents + 3 * (size_t)nv, m->tangents, sizeof(float) * 3 * (size_t)nv);
}

// Keeps, in order, the triangles in range and with area; counts the others.
static void model_clean_triangles(model_mesh *m) {
    const double limit = std::ldexp(1.0, -80);
    int kept = 0;
    for (int t = 0; t < m->triangle_count; t++) {
        const int32_t *tri = m->triangles + 3 * t;
        bool keep = triangle_in_range(tri, m->vertex_count);
        if (keep) {
            const float *p0 = m->positions + 3 * tri[0], *p1 = m->positions + 3 * tri[1],
                        *p2 = m->positions + 3 * tri[2];
            double e1[3], e2[3];
            for (int k = 0; k < 3; k++) {
                e1[k] = (double)p1[k] - p0[k];
                e2[k] = (double)p2[k] - p0[k];
            }
            double c[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                           e1[0] * e2[1] - e1[1] * e2[0]};
            keep = c[0] * c[0] + c[1] * c[1] + c[2] * c[2] >= limit;
        }
        if (keep) {
            if (kept != t) memmove(m->triangles + 3 * kept, tri, 3 * sizeof(int32_t));
            kept++;
        }
    }
    model_degenerate_total += m->triangle_count - kept;
    m->triangle_count = kept;
}

static void model_build_list(model_mesh *m) {
    m->display_list = glGenLists(1);
    if (!m->display_list) return;
    glNewList(m->display_list, GL_COMPILE);
    model_submit_arrays(m);
    glEndList();
}

// Everything after the header: vertices, weights, triangles, then the preparation.
static model_mesh *model_read_body(file_stream *s, const char *name, const mesh_header &h,
                                   int bone_count, bool always_list) {
    model_mesh *m = model_allocate(h, bone_count, name);
    if (!m) {
        model_warn("Warning: bad mesh in '%.900s'", name);
        return nullptr;
    }
    int nv = m->vertex_count;
    bool ok = true, finite = true, warned = false;
    for (int i = 0; ok && finite && i < nv; i++) {
        float v[8];
        if (stream_scanf(s, "%f %f %f %f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                         &v[6], &v[7]) != 8) {
            ok = false;
            break;
        }
        finite = finite_all(v, 8);
        memcpy(m->positions + 3 * i, v, 3 * sizeof(float));
        memcpy(m->normals + 3 * i, v + 3, 3 * sizeof(float));
        if (bone_count > 0) {
            memcpy(m->positions + 3 * ((size_t)nv + i), v, 3 * sizeof(float));
            memcpy(m->normals + 3 * ((size_t)nv + i), v + 3, 3 * sizeof(float));
        }
        m->uvs[2 * i] = v[6];
        m->uvs[2 * i + 1] = 1.0f - v[7];
        if (bone_count > 0 && finite) {
            int r = model_read_weights(s, m->weights + 4 * i, m->bone_numbers + 4 * i, bone_count,
                                       &ok);
            if (r < 0) finite = false;
            if (r > 0 && ok && !warned) {
                model_warn("Warning: vertex with more than 4 bone influences in '%.900s'", name);
                warned = true;
            }
        }
    }
    for (int t = 0; ok && finite && t < m->triangle_count; t++) {
        int32_t *tri = m->triangles + 3 * t;
        if (stream_scanf(s, "%d %d %d", &tri[0], &tri[1], &tri[2]) != 3) ok = false;
    }
    if (!ok || !finite) {
        // A short read ends the model quietly; numbers that are not finite are bad data.
        if (ok) model_warn("Warning: bad mesh in '%.900s'", name);
        mem_free(m);
        return nullptr;
    }
    model_compute_tangents(m);
    model_clean_triangles(m);
    if (always_list || game_settings.shaders_active || (bone_count < 1 && m->mode >= 0))
        model_build_list(m);
    return m;
}

static bool header_ok(const mesh_header &h) {
    return h.vertex_count >= 0 && h.vertex_count <= MODEL_VERTEX_MAX && h.triangle_count >= 0 &&
           h.triangle_count <= MODEL_TRIANGLE_MAX && std::isfinite(h.mode) &&
           std::isfinite(h.factor) && finite_all(h.colour, 3);
}

model_mesh *model_read_mesh(file_stream *s, const char *name, int bone_count) {
    mesh_header h;
    if (stream_scanf(s, "%f %f %f %f %f %d %d", &h.mode, &h.factor, &h.colour[0], &h.colour[1],
                     &h.colour[2], &h.vertex_count, &h.triangle_count) != 7)
        return nullptr;
    if (!header_ok(h)) {
        model_warn("Warning: bad mesh in '%.900s'", name);
        return nullptr;
    }
    return model_read_body(s, name, h, bone_count, false);
}

// Raises the maxima to the u and v change per unit length of the triangle's three edges
// (edges shorter than 1/16 are skipped).
static void model_measure_triangle(model_mesh *m, const int32_t *tri, float *du, float *dv) {
    for (int k = 0; k < 3; k++) {
        int a = tri[k], b = tri[(k + 1) % 3];
        const float *pa = m->positions + 3 * a, *pb = m->positions + 3 * b;
        float dx = pa[0] - pb[0], dy = pa[1] - pb[1], dz = pa[2] - pb[2];
        float length = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (length < 1.0f / 16) continue;
        float u = std::fabs(m->uvs[2 * a] - m->uvs[2 * b]) / length;
        float v = std::fabs(m->uvs[2 * a + 1] - m->uvs[2 * b + 1]) / length;
        if (u > *du) *du = u;
        if (v > *dv) *dv = v;
    }
}

// Each mesh ends up with the maxima over itself and the meshes after it.
static void model_measure_density(model_mesh *head) {
    std::vector<model_mesh *> chain;
    for (model_mesh *m = head; m; m = m->next) chain.push_back(m);
    for (size_t i = chain.size(); i-- > 0;) {
        model_mesh *m = chain[i];
        m->du_per_length = m->dv_per_length = 0;
        for (int t = 0; t < m->triangle_count; t++)
            model_measure_triangle(m, m->triangles + 3 * t, &m->du_per_length, &m->dv_per_length);
        if (m->next) {
            m->du_per_length = std::max(m->du_per_length, m->next->du_per_length);
            m->dv_per_length = std::max(m->dv_per_length, m->next->dv_per_length);
        }
    }
}

// The meshes of a JM file after its magic: the first must read, later ones end the model.
static model_mesh *model_read_jm(file_stream *s, const char *name) {
    int version = 0, bone_count = 0;
    if (stream_scanf(s, "JM%d", &version) != 1) return nullptr;
    if (version == 2) {
        char word[MODEL_WORD_MAX + 1];
        if (stream_scanf(s, "%d %1023s", &bone_count, word) != 2) return nullptr;
        if (bone_count < 0 || bone_count > MAX_BONE) {
            char line[960];
            snprintf(line, sizeof line, "Warning: bad bone count %d in '%.900s'", bone_count,
                     name);
            console_print(line);
            return nullptr;
        }
    } else if (version != 1) {
        return nullptr;
    }
    model_mesh *head = model_read_mesh(s, name, bone_count);
    model_mesh *last = head;
    while (last) {
        model_mesh *next = model_read_mesh(s, name, bone_count);
        if (!next) break;
        last->next = next;
        head->reflective |= next->reflective;
        last = next;
    }
    return head;
}

// The legacy layout: "%d %d", then one mesh with mode 32, white, no bones, always a list.
static model_mesh *model_read_legacy(file_stream *s, const char *name) {
    mesh_header h = {MESH_MODE_LEGACY, 1.0f, {1, 1, 1}, 0, 0};
    if (stream_scanf(s, "%d %d", &h.vertex_count, &h.triangle_count) != 2) return nullptr;
    if (!header_ok(h)) {
        model_warn("Warning: bad mesh in '%.900s'", name);
        return nullptr;
    }
    return model_read_body(s, name, h, 0, true);
}

model_mesh *model_read_file(const char *name) {
    file_stream *s = stream_open(name, "rb");
    if (!s) return nullptr;
    model_degenerate_total = 0;
    while (isspace(stream_peekc(s))) stream_getc(s);
    model_mesh *head = stream_peekc(s) == 'J' ? model_read_jm(s, name) : model_read_legacy(s, name);
    model_measure_density(head);
    stream_close(s);
    if (model_degenerate_total > 0) {
        char line[960];
        snprintf(line, sizeof line, "%d degenerate triangles deleted in %.100s",
                 model_degenerate_total, name);
        console_print(line);
    }
    return head;
}
