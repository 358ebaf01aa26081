// Lens flares: the linear depth and the point test for two far planes, the frustum and pixel
// tests, the edge fade, and on the test X server the read-back test against bright and dark
// panels in front of and behind a point flare, the "No" setting and untextured elements.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "core/settings.h"
#include "core/widget_data.h"
#include "present/flares.h"
#include "present/scene.h"
#include "race/track.h"
#include "tests/support/gl_test_window.h"

namespace {

const float IDENTITY[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
const float ORIGIN[3] = {0, 0, 0};

// The depth-buffer value of a surface at eye distance d under planes n and f.
float depth_of(double d, double n, double f) {
    return (float)(f / (f - n) * (1 - n / d));
}

flare point_flare(float x, float y, float z) {
    flare f = {};
    f.position[0] = x;
    f.position[1] = y;
    f.position[2] = z;
    f.kind = 0;
    return f;
}

}  // namespace

TEST(present_flares, LinearDepthAndThePointTest) {
    for (double far_plane : {5000.0, 6000.0}) {
        for (double d : {1.0, 250.0, 1000.0, 4000.0}) {
            float fraction = flare_depth_fraction(depth_of(d, 0.25, far_plane), 0.25, far_plane);
            // Single-precision depth loses resolution with distance.
            EXPECT_NEAR(fraction, (d - 0.25) / (far_plane - 0.25), d > 1000 ? 1e-3 : 1e-4)
                << far_plane << " " << d;
            if (d > 1000) continue;
            // A surface 2 ft behind a point leaves it shown, 2 ft in front hides it.
            float behind = flare_depth_fraction(depth_of(d + 2, 0.25, far_plane), 0.25, far_plane);
            float before = flare_depth_fraction(depth_of(d - 2, 0.25, far_plane), 0.25, far_plane);
            EXPECT_EQ(flare_unhidden(0, behind, (float)-d, 0.25, far_plane), 1) << far_plane << " " << d;
            EXPECT_EQ(flare_unhidden(0, before, (float)-d, 0.25, far_plane), 0) << far_plane << " " << d;
        }
        EXPECT_NEAR(flare_depth_fraction(0, 0.25, far_plane), 0, 1e-6);
        EXPECT_NEAR(flare_depth_fraction(1, 0.25, far_plane), 1, 1e-6);
    }
    // A direction shows against the far part of the depth range only.
    EXPECT_EQ(flare_unhidden(1, 0.39f, -1, 0.25, 6000), 0);
    EXPECT_EQ(flare_unhidden(1, 0.4f, -1, 0.25, 6000), 1);
}

TEST(present_flares, FrustumPixelAndEdgeFade) {
    float sx, sy, z;
    const float hx = 1, hy = 0.75f;
    struct {
        const char *label;
        flare f;
        int inside;
    } cases[] = {
        {"ahead", point_flare(0.5f, 0.25f, -1), 1},
        {"at the eye", point_flare(0, 0, 0), 0},
        {"beside the eye", point_flare(1, 0, 0), 0},
        {"behind", point_flare(0, 0, 5), 0},
        {"outside x", point_flare(1.1f, 0, -1), 0},
        {"outside y", point_flare(0, 0.8f, -1), 0},
        {"not finite", point_flare(NAN, 0, -1), 0},
    };
    for (auto &c : cases) {
        EXPECT_EQ(flare_project(&c.f, ORIGIN, IDENTITY, hx, hy, &sx, &sy, &z), c.inside) << c.label;
        flare d = c.f;
        d.kind = 1;
        EXPECT_EQ(flare_project(&d, ORIGIN, IDENTITY, hx, hy, &sx, &sy, &z), c.inside) << c.label;
    }
    flare f = point_flare(0.5f, 0.25f, -2);
    ASSERT_EQ(flare_project(&f, ORIGIN, IDENTITY, hx, hy, &sx, &sy, &z), 1);
    EXPECT_FLOAT_EQ(sx, 0.25f);
    EXPECT_FLOAT_EQ(sy, 0.125f);
    EXPECT_FLOAT_EQ(z, -2);

    int px, py;
    EXPECT_EQ(flare_pixel(0, 0, hx, hy, 640, 480, &px, &py), 1);
    EXPECT_EQ(px, 320);
    EXPECT_EQ(py, 240);
    EXPECT_EQ(flare_pixel(hx, 0, hx, hy, 640, 480, &px, &py), 0);    // px = width
    EXPECT_EQ(flare_pixel(0, hy, hx, hy, 640, 480, &px, &py), 0);    // py = height
    EXPECT_EQ(flare_pixel(-hx, -hy, hx, hy, 640, 480, &px, &py), 1);
    EXPECT_EQ(px, 0);

    // The fade band is min(hx, hy) / 32 on every edge.
    const float l = hy / 32;
    struct {
        float sx, sy, fade;
    } fades[] = {{0, 0, 1},           {hx - l, 0, 1},        {hx - l / 2, 0, 0.5f}, {hx, 0, 0},
                 {-hx + l / 4, 0, 0.25f}, {0, hy - l / 2, 0.5f}, {0, -hy, 0},
                 {hx - l / 2, -hy + l / 4, 0.25f}};
    for (auto &c : fades) EXPECT_NEAR(flare_edge_fade(c.sx, c.sy, hx, hy), c.fade, 1e-4) << c.sx << " " << c.sy;
}

namespace {

class present_flares_screen : public ::testing::Test {
  protected:
    static constexpr int W = 320, H = 240;
    gl_test_window gl{W, H};
    GLuint white = 0;
    void SetUp() override {
        ASSERT_NE(gl.w, nullptr);
        scene_lists_create();
        track_lighting_reset();
        track_lighting.near_plane = 0.25f;
        track_lighting.far_plane = 6000;
        view_state.width = W;
        view_state.height = H;
        settings.lens_flare.current = 1;
        std::vector<unsigned char> t(16 * 4, 255);
        glGenTextures(1, &white);
        glBindTexture(GL_TEXTURE_2D, white);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.data());
    }
    void TearDown() override {
        glDeleteTextures(1, &white);
        scene_lists_free();
    }
    // A point flare 250 ft ahead, up and to the right, with one element across the centre.
    flare &add_flare(GLuint texture) {
        flare f = point_flare(50, 30, -250);
        f.element_count = 1;
        f.pairs[0][0] = 0;
        f.pairs[0][1] = -1;
        for (float &c : f.colours[0]) c = 1;
        f.half_sizes[0] = 0.05f;
        f.textures[0] = (int32_t)texture;
        plyx_array_append(&scene_flares, &f);
        return ((flare *)scene_flares.items)[scene_flares.count - 1];
    }
    // A black frame with a square panel of grey level g at eye distance d round the flare.
    void frame_with_panel(float g, float d) {
        scene_set_projection(W, H, 90);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glDisable(GL_LIGHTING);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDepthMask(GL_TRUE);
        float k = d / 250;   // the panel spans the same part of the view at any distance
        glColor3f(g, g, g);
        glBegin(GL_QUADS);
        glVertex3f(30 * k, 10 * k, -d);
        glVertex3f(70 * k, 10 * k, -d);
        glVertex3f(70 * k, 50 * k, -d);
        glVertex3f(30 * k, 50 * k, -d);
        glEnd();
        glLoadIdentity();
        glDepthFunc(GL_ALWAYS);
    }
    // The brightest channel round the element's centre (-sx, -sy on screen).
    int element_brightness() {
        const flare &f = ((flare *)scene_flares.items)[0];
        int px, py;
        if (!flare_pixel(-f.screen_x, -f.screen_y, view_state.half_x, view_state.half_y, W, H, &px, &py)) return -1;
        unsigned char rgb[3];
        glReadPixels(px, py, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        return std::max(rgb[0], std::max(rgb[1], rgb[2]));
    }
};

}  // namespace

TEST_F(present_flares_screen, ABrightUnhiddenPixelShowsTheFlare) {
    flare &f = add_flare(white);
    struct {
        const char *label;
        float grey, distance;
        bool shown;
    } cases[] = {
        {"white panel behind", 1, 252, true},
        {"dark panel behind", 0.4f, 252, false},
        {"white panel in front", 1, 248, false},
        {"white panel far behind", 1, 2000, true},
    };
    for (auto &c : cases) {
        frame_with_panel(c.grey, c.distance);
        scene_draw_lens_flares(ORIGIN, IDENTITY);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR) << c.label;
        EXPECT_EQ(f.visibility > 0, c.shown) << c.label;
        EXPECT_EQ(element_brightness() > 200, c.shown) << c.label;
    }
}

TEST_F(present_flares_screen, NoSettingReadsNothingAndUntexturedElementsDrawNothing) {
    add_flare(white);
    settings.lens_flare.current = 0;
    frame_with_panel(1, 252);
    long reads = flare_pixel_reads;
    scene_draw_lens_flares(ORIGIN, IDENTITY);
    EXPECT_EQ(flare_pixel_reads, reads);
    EXPECT_EQ(element_brightness(), 0);

    settings.lens_flare.current = 1;
    scene_flares.count = 0;
    flare &f = add_flare(0);
    frame_with_panel(1, 252);
    scene_draw_lens_flares(ORIGIN, IDENTITY);
    EXPECT_EQ(flare_pixel_reads, reads + 2);   // colour, then depth
    EXPECT_GT(f.visibility, 0);
    EXPECT_EQ(element_brightness(), 0);
}
