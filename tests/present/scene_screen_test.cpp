// The whole scene on the practice track: sky above, ground below, and the bike and rider seen
// from behind and above in the middle of the picture; without the bike the middle holds none
// of its colours (so the statistics see the bike, not the ground).
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
#include "present/camera.h"
#include "present/scene.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tests/present/screen_fixture.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

namespace {

bool bike_blue(const unsigned char *c) {
    return c[0] <= 70 && c[1] <= 110 && c[2] >= 110 && c[2] - c[1] >= 60;
}
bool white(const unsigned char *c) {
    return c[0] >= 190 && c[1] >= 190 && c[2] >= 190;
}
bool tyre(const unsigned char *c) {
    return c[0] <= 50 && c[1] <= 50 && c[2] <= 50 && std::abs(c[0] - c[2]) <= 12;
}

struct centre_counts {
    double blue, white, tyre;
};

centre_counts centre_box(const picture &p) {
    int x0 = p.width * 35 / 100, x1 = p.width * 65 / 100, y0 = p.height * 30 / 100,
        y1 = p.height * 80 / 100;
    double n = 0, b = 0, w = 0, t = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            const unsigned char *c = p.at(x, y);
            n++;
            b += bike_blue(c);
            w += white(c);
            t += tyre(c);
        }
    return {b / n, w / n, t / n};
}

// Sky in the top tenth (blue over red, and light); dirt and grass in the bottom fifth (red and
// green over blue).
void expect_sky_and_ground(const picture &p, const char *what) {
    const int W = p.width, H = p.height;
    double r = 0, b = 0;
    int dark = 0;
    for (int y = 0; y < H / 10; y++)
        for (int x = 0; x < W; x++) {
            const unsigned char *c = p.at(x, y);
            r += c[0];
            b += c[2];
            dark += c[0] < 90;
        }
    double n = (double)W * (H / 10);
    EXPECT_GE(b / n - r / n, 30.0) << what;
    EXPECT_EQ(dark, 0) << what;
    double gr = 0, gg = 0, gb = 0;
    for (int y = H * 4 / 5; y < H; y++)
        for (int x = 0; x < W; x++) {
            const unsigned char *c = p.at(x, y);
            gr += c[0];
            gg += c[1];
            gb += c[2];
        }
    EXPECT_GT(gr, gb) << what;
    EXPECT_GT(gg, gb) << what;
}

}  // namespace

TEST(present_screen, ChaseViewShowsSkyGroundAndTheBike) {
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
    const dReal *f = dBodyGetPosition(bike_frame_body(s));
    // From behind and above, looking at the frame.
    float eye[3] = {(float)f[0], (float)f[1] + 4.5f, (float)f[2] + 10.0f};
    float rotation[9];
    camera_matrix_from_angles(rotation, std::atan2(-4.0f, 10.0f), (float)M_PI);
    auto draw = [&]() {
        scene_draw(eye, rotation, 90, -1);
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
    centre_counts bike = centre_box(with);
    EXPECT_GE(bike.blue, 0.02);
    EXPECT_GE(bike.white, 0.005);
    EXPECT_GE(bike.tyre, 0.01);
    // The onboard view: the eye at the rider's head, clear of the bike, sees the same sky and
    // ground past the front of the bike.
    settings.fov.value = 110;
    settings.first_person_height.value = 0;
    settings.first_person_angle.value = 0;
    settings.first_person_gimbal.value = 0;
    scene_draw_rider_view(bike_frame_body(s), 0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    expect_sky_and_ground(read_picture(W, H), "onboard");
    // The same view without the bike.
    bike_free(0);
    centre_counts none = centre_box(draw());
    EXPECT_LT(none.blue + none.white + none.tyre, 0.002);

    rider_table_init();
    track_unload();
    physics_close();
    font_free_all();
    tex_purge(1);
    model_purge(1);
    vfs_shutdown();
}
