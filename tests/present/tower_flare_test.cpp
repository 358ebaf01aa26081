// The hillside's start tower as the game loads it: its statue stands at the far end of the start
// straight and the flare of its lamps, read from the track's lighting, shows from behind the
// start line; without the tower the same view shows no flare.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <string>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/folders.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "core/widget_data.h"
#include "gfx/font.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "present/flares.h"
#include "present/scene.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

TEST(present_tower, TheLampsFlareFromBehindTheStartLine) {
    temp_dir home;
    test_isolate_home(home);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    ASSERT_EQ(vfs_locate_game_data(), 1);
    vfs_build_index();
    const int W = 640, H = 480;
    gl_test_window gl(W, H);
    ASSERT_NE(gl.w, nullptr);
    font_load_all();
    ASSERT_EQ(physics_open(), 1);
    rider_table_init();
    track_lists_create();
    scene_lists_create();
    static const char *tracks[] = {"tracks/hillside"};
    settings.track.options = tracks;
    settings.track.option_count = 1;
    settings.track.current = 0;
    settings.lens_flare.current = 1;
    for (int &role : race_lineup) role = 0;
    ASSERT_EQ(race_reset(race_lineup, 0, 0, 0, 5, 0), 1);
    view_state.width = W;
    view_state.height = H;

    // One point flare with its four pictures.
    ASSERT_EQ(scene_flares.count, 1);
    flare &f = ((flare *)scene_flares.items)[0];
    EXPECT_EQ(f.kind, 0);
    ASSERT_EQ(f.element_count, 4);
    for (int k = 0; k < 4; k++) EXPECT_NE(f.textures[k], 0) << k;
    // The tower's statue, upright, its lamps 2 ft behind the flare point and facing it.
    int tower = -1;
    for (int i = 0; i < track_statues.count; i++) {
        const statue &s = ((statue *)track_statues.items)[i];
        if (s.model && strstr(model_name(s.model), "lighttower")) tower = i;
    }
    ASSERT_GE(tower, 0);
    statue &s = ((statue *)track_statues.items)[tower];
    const float face[3] = {s.orientation[2], s.orientation[5], s.orientation[8]};
    EXPECT_NEAR(face[1], 0, 1e-4);
    float to_point[3] = {f.position[0] - s.x, 0, f.position[2] - s.z};
    EXPECT_GT(to_point[0] * face[0] + to_point[2] * face[2], 2.5f);
    EXPECT_NEAR(f.position[1] - s.y, 28.5f, 0.1f);

    // From 6 ft above the start straight, 350 ft back, looking down it (+x).
    float eye[3] = {f.position[0] - 350, 0, f.position[2] + 54};
    eye[1] = terrain_height_at(terrain_current, eye[0], eye[2]) + 6;
    const float rotation[9] = {0, 0, -1, 0, 1, 0, 1, 0, 0};
    scene_draw(eye, rotation, 90, -1);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    EXPECT_GT(f.visibility, 0.5f);
    EXPECT_GT(render_stats.texture_binds, 0);
    // The tower gone, the sky behind the point is not bright enough for a flare.
    model_mesh *model = s.model;
    s.model = nullptr;
    scene_draw(eye, rotation, 90, -1);
    EXPECT_EQ(f.visibility, 0);
    s.model = model;

    rider_table_init();
    track_unload();
    scene_lists_free();
    track_lists_free();
    physics_close();
    font_free_all();
    tex_purge(1);
    model_purge(1);
    vfs_shutdown();
}
