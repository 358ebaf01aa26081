// The scene's projection: the half-extents of the view at unit depth that the HUD and menus
// lay out from, and the frustum OpenGL gets; the start of a view.
#include <gtest/gtest.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "gfx/model.h"
#include "platform/plyx.h"
#include "present/scene.h"
#include "race/track.h"
#include "tests/support/test_support.h"
#include "ui/widget.h"

TEST(present_scene, ProjectionKeepsTheHeightOfA43View) {
    temp_dir t;
    test_isolate_home(t);
    window_context *w = plyx_gl_open("scene", 64, 48, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    ASSERT_NE(w, nullptr) << plyx_last_error();
    track_lighting_reset();
    struct {
        float width, height, fov;
        double half_x, half_y;
    } cases[] = {
        {640, 480, 90, 1.0, 0.75},                    // 4:3: the field of view is horizontal
        {1920, 1080, 90, 0.75 * 16 / 9, 0.75},        // wider: the same height, more width
        {1280, 1024, 90, 1.0, 0.8},                   // 5:4: the same width, more height
        {800, 600, 110, std::tan(55 * M_PI / 180), 0.75 * std::tan(55 * M_PI / 180)},
    };
    for (auto &c : cases) {
        scene_set_projection(c.width, c.height, c.fov);
        EXPECT_NEAR(view_state.half_x, c.half_x, 1e-5) << c.width << "x" << c.height;
        EXPECT_NEAR(view_state.half_y, c.half_y, 1e-5) << c.width << "x" << c.height;
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], (int)c.width);
        EXPECT_EQ(viewport[3], (int)c.height);
        // The frustum's near plane spans the half-extents times the near distance.
        double m[16];
        glGetDoublev(GL_PROJECTION_MATRIX, m);
        EXPECT_NEAR(m[0], 1.0 / c.half_x, 1e-4);
        EXPECT_NEAR(m[5], 1.0 / c.half_y, 1e-4);
        GLint mode;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
    }
    plyx_gl_close(w);
    plyx_shutdown();
}

TEST(present_scene, EveryViewCountsItsModelsAfresh) {
    temp_dir t;
    test_isolate_home(t);
    window_context *w = plyx_gl_open("scene", 64, 48, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    ASSERT_NE(w, nullptr) << plyx_last_error();
    model_draw_vertex_count = 700;
    model_draw_triangle_count = 500;
    const float eye[3] = {1, 2, 3}, turn[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    scene_draw(eye, turn, 90, -1);
    EXPECT_EQ(model_draw_vertex_count, 0);
    EXPECT_EQ(model_draw_triangle_count, 0);
    EXPECT_EQ(camera_position[2], 3);  // level of detail is measured from here
    plyx_gl_close(w);
    plyx_shutdown();
}

// A field of view of 180 degrees (a camera sitting on its rider), NaN, and clip planes that
// meet: a finite frustum and no GL error.
TEST(present_scene, DegenerateProjectionsStayFinite) {
    temp_dir t;
    test_isolate_home(t);
    window_context *w = plyx_gl_open("scene", 64, 48, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    ASSERT_NE(w, nullptr) << plyx_last_error();
    track_lighting_reset();
    struct {
        float fov, near_plane, far_plane;
    } cases[] = {{180, 0.25f, 5000}, {NAN, 0.25f, 5000}, {0, 0.25f, 5000},
                 {90, 0.5f, 0.5f},   {-INFINITY, 0.875f, 0.875f}};
    for (auto &c : cases) {
        track_lighting.near_plane = c.near_plane;
        track_lighting.far_plane = c.far_plane;
        while (glGetError() != GL_NO_ERROR) {
        }
        scene_set_projection(640, 480, c.fov);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR) << c.fov;
        EXPECT_TRUE(std::isfinite(view_state.half_x) && view_state.half_x > 0) << c.fov;
        double m[16];
        glGetDoublev(GL_PROJECTION_MATRIX, m);
        for (double v : m) EXPECT_TRUE(std::isfinite(v)) << c.fov;
        // The depth read-back uses the same planes: the near plane reads as its distance.
        EXPECT_NEAR(scene_linear_depth(0), c.near_plane, 1e-3 * c.near_plane);
        EXPECT_NEAR(scene_linear_depth(1), std::max(c.far_plane, 2 * c.near_plane),
                    1e-3 * c.far_plane);
    }
    plyx_gl_close(w);
    plyx_shutdown();
}
