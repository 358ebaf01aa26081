// Fixtures of the model tests: small JM models built with the generator's writer, and a test
// class with a window (display lists need a context) and a private game folder.
#pragma once

#include <memory>

#include "core/settings.h"
#include "core/vfs.h"
#include "gfx/model.h"
#include "tests/gfx/gfx_test_support.h"
#include "tools/zrdatagen/modelgen.h"

inline datagen_jm_vertex test_vertex(double x, double y, double z, double u, double v,
                                     std::vector<double> weights = {}) {
    datagen_jm_vertex vx = {{x, y, z}, {0, 0, 1}, {u, v}, std::move(weights)};
    return vx;
}

// A square in the x-y plane facing +z, u along +x and v along +y, mode and colour given.
inline datagen_jm_mesh test_square(double mode = 32, double size = 1, double x0 = 0) {
    datagen_jm_mesh m;
    m.mode = mode;
    m.factor = 0.5;
    m.colour[0] = 0.25;
    m.colour[1] = 0.5;
    m.colour[2] = 0.75;
    m.vertices = {test_vertex(x0, 0, 0, 0, 0), test_vertex(x0 + size, 0, 0, 1, 0),
                  test_vertex(x0 + size, size, 0, 1, 1), test_vertex(x0, size, 0, 0, 1)};
    m.triangles = {{0, 1, 2}, {0, 2, 3}};
    return m;
}

inline datagen_jm_model test_model(std::vector<datagen_jm_mesh> meshes, int version = 1,
                                   int bones = 0) {
    datagen_jm_model m;
    m.version = version;
    m.bone_count = bones;
    m.meshes = std::move(meshes);
    return m;
}

// A bar along x from -2 to 2 (0.5 high), bone 0 on the left, bone 1 on the right, both halves
// at the middle: the two-bone bar.
inline datagen_jm_model test_bar() {
    datagen_jm_mesh m;
    m.mode = 16;
    for (int i = 0; i <= 8; i++) {
        double x = -2 + 0.5 * i;
        std::vector<double> w = x < 0 ? std::vector<double>{1, 0}
                                : x > 0 ? std::vector<double>{0, 1}
                                        : std::vector<double>{0.5, 0.5};
        for (double y : {0.0, 0.5}) {
            datagen_jm_vertex v = test_vertex(x, y, 0, i / 8.0, y * 2, w);
            v.normal[1] = 0.6;  // tilted towards +y, so that turning about z shows
            v.normal[2] = 0.8;
            m.vertices.push_back(v);
        }
    }
    for (int i = 0; i < 8; i++) {
        int a = 2 * i;
        m.triangles.push_back({a, a + 2, a + 3});
        m.triangles.push_back({a, a + 3, a + 1});
    }
    return test_model({m}, 2, 2);
}

class gfx_model : public testing::Test {
  protected:
    temp_dir dir;
    std::unique_ptr<gl_test_window> gl;
    void SetUp() override {
        test_isolate_home(dir);
        gl = std::make_unique<gl_test_window>();
        ASSERT_NE(gl->w, nullptr) << plyx_last_error();
        console_clear();
    }
    void TearDown() override {
        model_purge(1);
        vfs_shutdown();
        gl.reset();
    }
    // Writes a file into the game folder; its '@' name.
    std::string put(const std::string &name, const std::string &bytes) {
        test_write_file(dir.file("game/" + name), bytes);
        return "@" + name;
    }
    std::string put(const std::string &name, const datagen_jm_model &m) {
        return put(name, datagen_jm(m));
    }
};
