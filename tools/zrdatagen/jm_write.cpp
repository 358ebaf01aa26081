// The JM writer: models as text, one layout for every file.
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/modelgen.h"

static void jm_numbers(std::string *out, const double *v, int n) {
    for (int i = 0; i < n; i++) {
        if (i) *out += ' ';
        *out += datagen_decimal(v[i]);
    }
}

static void jm_mesh_body(std::string *out, const datagen_jm_mesh &mesh, int bone_count) {
    for (const datagen_jm_vertex &v : mesh.vertices) {
        jm_numbers(out, v.position, 3);
        *out += ' ';
        jm_numbers(out, v.normal, 3);
        *out += ' ';
        jm_numbers(out, v.uv, 2);
        for (int b = 0; b < bone_count; b++)
            *out += ' ' + datagen_decimal(b < (int)v.weights.size() ? v.weights[b] : 0.0);
        *out += '\n';
    }
    for (const std::array<int, 3> &t : mesh.triangles)
        *out += std::to_string(t[0]) + ' ' + std::to_string(t[1]) + ' ' + std::to_string(t[2]) + '\n';
}

std::string datagen_jm(const datagen_jm_model &m) {
    std::string out;
    if (m.version == 0) {
        const datagen_jm_mesh &mesh = m.meshes.at(0);
        out += std::to_string(mesh.vertices.size()) + ' ' + std::to_string(mesh.triangles.size()) + '\n';
        jm_mesh_body(&out, mesh, 0);
        return out;
    }
    out += "JM" + std::to_string(m.version) + '\n';
    int bones = m.version == 2 ? m.bone_count : 0;
    if (m.version == 2) out += std::to_string(m.bone_count) + ' ' + m.word + '\n';
    for (const datagen_jm_mesh &mesh : m.meshes) {
        const double head[5] = {mesh.mode, mesh.factor, mesh.colour[0], mesh.colour[1], mesh.colour[2]};
        jm_numbers(&out, head, 5);
        out += ' ' + std::to_string(mesh.vertices.size()) + ' ' + std::to_string(mesh.triangles.size()) + '\n';
        jm_mesh_body(&out, mesh, bones);
    }
    return out;
}
