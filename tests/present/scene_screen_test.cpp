// The whole scene on the practice track: sky above, ground below, and the bike and rider seen
// by the chase camera at its default distance, height and field of view in the middle of the
// picture; without the bike the middle holds none of its colours (so the statistics see the
// bike, not the ground). The onboard view shows the front of the bike below the horizon.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/console.h"
#include "core/folders.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "core/widget_data.h"
#include "gfx/font.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "game/chase_camera.h"
#include "present/camera.h"
#include "present/scene.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tests/present/bike_colours.h"
#include "tests/present/screen_fixture.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

TEST(present_screen, ChaseViewShowsSkyGroundAndTheBike) {
    temp_dir home;
    test_isolate_home(home);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    ASSERT_EQ(vfs_locate_game_data(), 1);
    vfs_build_index();
    const int W = 1024, H = 768;
    gl_test_window gl(W, H);
    ASSERT_NE(gl.w, nullptr);
    font_load_all();
    ASSERT_EQ(physics_open(), 1);
    rider_table_init();
    static const char *tracks[] = {"tracks/practice"};
    settings.track.options = tracks;
    settings.track.option_count = 1;
    settings.track.current = 0;
    for (int &role : race_lineup) role = 0;
    race_lineup[0] = 1;
    ASSERT_EQ(race_reset(race_lineup, 0, 0, 0, 5, 0), 1);
    view_state.width = W;
    view_state.height = H;

    // The bike at the middle of the field, on the ground, facing -z.
    rider_slot *s = bike_load("yz250f(2017)", 0, 0, "12", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(s, nullptr);
    bike_reset(s);
    rider_status[0] = 0;
    float cx = terrain_current->extent / 2, cz = terrain_current->extent / 2;
    float ground = terrain_height_at(terrain_current, cx, cz);
    bike_translate(0, cx, ground + 0.05f, cz);
    // The chase camera as a new player has it: 10 ft behind, 5 ft above, field of view 110.
    settings.fov.value = 110;
    settings.third_person_distance.value = 10;
    settings.third_person_height.value = 5;
    settings.rigid_camera.current = 0;
    chase_camera_reset();
    float eye[3], rotation[9];
    ASSERT_EQ(chase_camera_view(0, 1, eye, rotation), 1);
    auto draw = [&]() {
        scene_draw(eye, rotation, (float)settings.fov.value, -1);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
        return read_picture(W, H);
    };
    picture with = draw();
    if (const char *out = getenv("ZR_SCREEN_TEST_PPM")) {   // for looking at it
        FILE *file = fopen(out, "wb");
        if (file) {
            fprintf(file, "P6\n%d %d\n255\n", W, H);
            fwrite(with.rgb.data(), 1, with.rgb.size(), file);
            fclose(file);
        }
    }
    expect_sky_and_ground(with, "chase");
    expect_bike_in_centre(with, "chase");
    // The same view without the bike.
    scene_hidden_slot = 0;
    bike_shares none = centre_box(draw());
    scene_hidden_slot = -1;
    EXPECT_LT(none.blue, 0.002);
    EXPECT_LT(none.white, 0.002);
    EXPECT_LT(none.tyre, 0.002);
    // The onboard view: the eye at the rider's head, clear of the bike, sees the same sky and
    // ground past the front of the bike, and the fender and sleeves below the horizon.
    settings.first_person_height.value = 0;
    settings.first_person_angle.value = 0;
    settings.first_person_gimbal.value = 0;
    scene_draw_rider_view(bike_frame_body(s), 0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    picture onboard = read_picture(W, H);
    expect_sky_and_ground(onboard, "onboard");
    EXPECT_GE(lower_middle_blue(onboard), 0.02);

    rider_table_init();
    track_unload();
    physics_close();
    font_free_all();
    tex_purge(1);
    model_purge(1);
    vfs_shutdown();
}
