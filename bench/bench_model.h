// The model benchmarks' fixture: a sheet of lit quads, (side + 1)^2 vertices over the square
// -0.5..0.5 of the x-y plane, facing +z, rippled along z by `ripple`.
#pragma once

#include "tools/zrdatagen/modelgen.h"

inline datagen_jm_model bench_sheet(int side, double ripple) {
    datagen_jm_mesh mesh;
    for (int j = 0; j <= side; j++)
        for (int i = 0; i <= side; i++) {
            double u = i / (double)side, v = j / (double)side;
            double z = ripple * ((i * 7 + j * 3) % 11) / 11.0;
            mesh.vertices.push_back({{u - 0.5, v - 0.5, z}, {0, 0, 1}, {u, v}, {}});
        }
    for (int j = 0; j < side; j++)
        for (int i = 0; i < side; i++) {
            int a = j * (side + 1) + i;
            mesh.triangles.push_back({a, a + 1, a + side + 2});
            mesh.triangles.push_back({a, a + side + 2, a + side + 1});
        }
    datagen_jm_model m;
    m.meshes = {mesh};
    return m;
}
