// The drawn mesh of the stock tracks, watched through the fan capture: watertight from every
// eye, covering the field exactly once, and culled behind the eye.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "race/track.h"
#include "tests/terrain/terrain_test_support.h"
#include "terrain/tile.h"

namespace {
struct captured {
    std::vector<std::array<float, 9>> triangles;
};

void capture(const float t[9], int, void *user) {
    std::array<float, 9> a;
    for (int i = 0; i < 9; i++) a[i] = t[i];
    ((captured *)user)->triangles.push_back(a);
}

struct mesh_env {
    temp_dir t;
    std::unique_ptr<gl_test_window> window;
    std::unique_ptr<terrain_field> f{new terrain_field{}};
    mesh_env(const char *name, int mode = TILE_RENDER_TEXSUBIMAGE) {
        test_isolate_home(t);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        vfs_build_index();
        window.reset(new gl_test_window(320, 320));
        game_settings.terrain_detail = 0.0025;   // the start-up "Ground Geometric Detail" of 50
        // The mesh alone: no ground texture is composed.
        tile_set_compose_hook([](int, int, int, void *) { return 1; }, nullptr);
        track_name = name;
        track_read_lighting();
        EXPECT_EQ(terrain_load(f.get(), (std::string("@") + name).c_str(), mode), 1);
    }
    ~mesh_env() {
        terrain_set_fan_capture(nullptr, nullptr);
        tile_set_compose_hook(nullptr, nullptr);
        terrain_free(f.get());
        track_name = nullptr;
        tex_purge(1);
        vfs_shutdown();
    }
};

// Sample coordinates of a world position.
std::pair<int, int> sample_of(const terrain_field *f, const float *p) {
    return {(int)lroundf(p[0] / f->spacing), (int)lroundf(p[2] / f->spacing)};
}
}  // namespace

TEST(terrain_mesh, WatertightFromEveryEye) {
    for (const char *name : {"tracks/practice", "tracks/hillside"}) {
        mesh_env env(name);
        terrain_field *f = env.f.get();
        ASSERT_NE(f->heights, nullptr);
        float e = f->extent;
        std::vector<std::array<float, 2>> eyes = {{e / 2, e / 2}, {0, 0}, {e, 0}, {0, e}, {e, e},
                                                   {e / 2, 0}, {0, e / 2}, {e, e / 2}, {e / 2, e},
                                                   {-3 * e, 2 * e}, {e * 0.37f, e * 0.81f}};
        for (auto &eye : eyes) {
            captured c;
            terrain_set_fan_capture(capture, &c);
            f->eye[0] = eye[0];
            f->eye[1] = f->max_height + 500;
            f->eye[2] = eye[1];
            f->view_direction[0] = 0;
            f->view_direction[1] = -1;
            f->view_direction[2] = 0;
            tile_render_pending(f);
            terrain_draw(f);
            terrain_set_fan_capture(nullptr, nullptr);
            std::vector<uint64_t> edges;
            auto key = [](int ax, int az, int bx, int bz) {
                return (uint64_t)ax << 39 | (uint64_t)az << 26 | (uint64_t)bx << 13 | (uint64_t)bz;
            };
            double area = 0, signed_area = 0;
            int outside = 0;
            for (auto &t : c.triangles) {
                std::pair<int, int> v[3] = {sample_of(f, &t[0]), sample_of(f, &t[3]), sample_of(f, &t[6])};
                for (int i = 0; i < 3; i++) {
                    edges.push_back(key(v[i].first, v[i].second, v[(i + 1) % 3].first, v[(i + 1) % 3].second));
                    if (t[3 * i] < 0 || t[3 * i] > e || t[3 * i + 2] < 0 || t[3 * i + 2] > e) outside++;
                }
                double a = ((double)t[3] - t[0]) * ((double)t[8] - t[2]) - ((double)t[6] - t[0]) * ((double)t[5] - t[2]);
                area += fabs(a) / 2;
                signed_area += a / 2;
            }
            EXPECT_EQ(outside, 0);
            EXPECT_NEAR(area, (double)e * e, 1e-6 * e * e) << name << " eye " << eye[0] << "," << eye[1];
            EXPECT_NEAR(fabs(signed_area), (double)e * e, 1e-6 * e * e);
            int last = f->n - 1, bad = 0;
            std::sort(edges.begin(), edges.end());
            auto count_of = [&](uint64_t k) {
                auto range = std::equal_range(edges.begin(), edges.end(), k);
                return (int)(range.second - range.first);
            };
            for (uint64_t edge : edges) {
                int ax = (int)(edge >> 39 & 8191), az = (int)(edge >> 26 & 8191), bx = (int)(edge >> 13 & 8191),
                    bz = (int)(edge & 8191);
                bool border = (ax == bx && (ax == 0 || ax == last)) || (az == bz && (az == 0 || az == last));
                int count = count_of(edge), reverse = count_of(key(bx, bz, ax, az));
                if (border ? count != 1 || reverse != 0 : count != 1 || reverse != 1) bad++;
            }
            EXPECT_EQ(bad, 0) << name << " eye " << eye[0] << "," << eye[1] << ": " << c.triangles.size()
                              << " triangles";
            EXPECT_GT(f->vertices_drawn, 0);
        }
    }
}

TEST(terrain_mesh, NodesBehindTheEyeAreNotDrawn) {
    mesh_env env("tracks/hillside");
    terrain_field *f = env.f.get();
    float e = f->extent;
    for (int d = 0; d < 8; d++) {
        float a = (float)d * (float)M_PI / 4;
        float dir[3] = {cosf(a), 0, sinf(a)};
        captured c;
        terrain_set_fan_capture(capture, &c);
        f->eye[0] = e / 2;
        f->eye[1] = f->max_height + 5;
        f->eye[2] = e / 2;
        for (int i = 0; i < 3; i++) f->view_direction[i] = dir[i];
        terrain_draw(f);
        terrain_set_fan_capture(nullptr, nullptr);
        ASSERT_FALSE(c.triangles.empty());
        // No drawn node is larger than 64 cells, and each reaches in front of the eye.
        float reach = 64 * f->spacing * 1.4143f;
        float behind = 0;
        for (auto &t : c.triangles)
            for (int i = 0; i < 3; i++) {
                float along = (t[3 * i] - f->eye[0]) * dir[0] + (t[3 * i + 2] - f->eye[2]) * dir[2];
                if (-along > behind) behind = -along;
            }
        EXPECT_LE(behind, reach + 1) << "direction " << d;
    }
}

TEST(terrain_mesh, ImmediateModeDrawsTheSameFans) {
    mesh_env env("tracks/practice");
    terrain_field *f = env.f.get();
    f->eye[0] = 60, f->eye[1] = 30, f->eye[2] = 70;
    f->view_direction[0] = 0.7f, f->view_direction[1] = -0.3f, f->view_direction[2] = 0.6f;
    captured arrays, immediate;
    terrain_set_fan_capture(capture, &arrays);
    game_settings.no_vertex_arrays = 0;
    terrain_draw(f);
    terrain_set_fan_capture(capture, &immediate);
    game_settings.no_vertex_arrays = 1;
    terrain_draw(f);
    game_settings.no_vertex_arrays = 0;
    terrain_set_fan_capture(nullptr, nullptr);
    EXPECT_FALSE(arrays.triangles.empty());
    EXPECT_EQ(arrays.triangles, immediate.triangles);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    // Drawing leaves no client array on and texturing off.
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}
