// Callouts: the list and its cap, the distance to the newest, the depth sort along the view
// axis, the bubble's shape, and a bubble drawn in a frame.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"
#include "present/callouts.h"
#include "present/camera.h"
#include "present/scene.h"
#include "tests/present/screen_fixture.h"

namespace {

int console_count(const char *text) {
    int n = 0;
    for (int i = 0; i < CONSOLE_LINES; i++) n += strstr(console_log.lines[i], text) != nullptr;
    return n;
}

const callout &row(int i) {
    return ((const callout *)scene_callouts.items)[i];
}

std::vector<int> sorted_order() {
    std::vector<int> out;
    const int *order = (const int *)scene_callout_order.items;
    for (int k = 0; order[k] >= 0; k++) out.push_back(order[k]);
    return out;
}

}  // namespace

// The newest callout's distance (1000000 with none, so the first logged contact always adds
// one), the text cut at 1023 characters, and clearing.
TEST(present_callouts, ListDistanceAndText) {
    EXPECT_EQ(scene_callout_distance(0, 0, 0), SCENE_NO_CALLOUT);
    EXPECT_EQ(SCENE_NO_CALLOUT, 1000000.0f);
    std::string long_text(1100, 'x');
    scene_add_callout(1, 2, 3, "front:\nrear:\n");
    scene_add_callout(10, 2, 3, long_text.c_str());
    scene_add_callout(0, 0, 0, nullptr);
    scene_add_callout(4, 6, 3, "newest");
    ASSERT_EQ(scene_callout_count(), 4);
    EXPECT_EQ(scene_callout_order.count, 8);   // two order entries per callout
    EXPECT_STREQ(row(0).text, "front:\nrear:\n");
    EXPECT_EQ(strlen(row(1).text), 1023u);
    EXPECT_STREQ(row(2).text, "");
    EXPECT_FLOAT_EQ(scene_callout_distance(1, 2, 3), 5);   // from the newest, (4, 6, 3)
    scene_clear_callouts();
    EXPECT_EQ(scene_callout_count(), 0);
    EXPECT_EQ(scene_callout_distance(4, 6, 3), SCENE_NO_CALLOUT);
}

// The list stops at 4,096 with one warning, however many more come; clearing empties it and
// arms the warning again.
TEST(present_callouts, CapWarnsOnce) {
    const char *warning = "Warning: too many callouts; clearlog removes them";
    for (int round = 1; round <= 2; round++) {
        for (int i = 0; i < SCENE_CALLOUTS_MAX + 500; i++) scene_add_callout((float)i, 0, 0, "contact");
        EXPECT_EQ(scene_callout_count(), 4096);
        EXPECT_EQ(scene_callout_order.count, 2 * 4096);
        EXPECT_EQ(console_count(warning), round);
        EXPECT_FLOAT_EQ(scene_callout_distance(4095, 0, 0), 0);   // the last one kept is the newest
        scene_clear_callouts();
        EXPECT_EQ(scene_callout_count(), 0);
    }
}

// Farthest first along the view axis; nothing within 2 ft in front of the eye or behind it,
// nothing at a non-finite point; the list ends with -1. Every kept row carries its key.
TEST(present_callouts, SortFarthestFirst) {
    struct {
        const char *what;
        float yaw;        // the view turned about the vertical
        float eye[3];
        std::vector<std::vector<float>> points;   // x, y, z of each callout in order
        std::vector<int> order;
    } cases[] = {
        {"looking along +z", 0, {0, 0, 0},
         {{0, 0, 10}, {0, 5, 30}, {3, 0, 20}, {0, 0, 1.5f}, {0, 0, -5}, {0, 0, 2.5f}},
         {1, 2, 0, 5}},
        {"looking along -x, eye moved", -(float)M_PI / 2, {100, 0, 0},
         {{90, 0, 0}, {99, 0, 0}, {110, 0, 0}, {50, 0, 7}, {NAN, 0, 0}, {97.9f, 0, 0}},
         {3, 0, 5}},
        {"everything behind", 0, {0, 0, 0}, {{0, 0, -1}, {0, 0, -100}}, {}},
        {"far beyond the key range", 0, {0, 0, 0}, {{0, 0, 1e30f}, {0, 0, 40}}, {0, 1}},
    };
    for (auto &c : cases) {
        scene_clear_callouts();
        for (auto &p : c.points) scene_add_callout(p[0], p[1], p[2], c.what);
        float rotation[9];
        camera_matrix_from_angles(rotation, 0, c.yaw);
        int kept = scene_sort_callouts(c.eye, rotation);
        EXPECT_EQ(kept, (int)c.order.size()) << c.what;
        EXPECT_EQ(sorted_order(), c.order) << c.what;
        EXPECT_EQ(((const int *)scene_callout_order.items)[kept], -1) << c.what;
        for (size_t k = 1; k < c.order.size(); k++)
            EXPECT_LE((uint32_t)row(c.order[k - 1]).depth_key, (uint32_t)row(c.order[k]).depth_key);
    }
    scene_clear_callouts();
}

// The bubble: a box one line per text line above a pointer down to the anchor.
TEST(present_callouts, BubbleFan) {
    struct {
        int lines;
        float width;
        std::vector<float> fan;
    } cases[] = {
        {3, 8, {0, 2.5f, -4, 4, -4, 1, -1, 1, 0, 0, 1, 1, 4, 1, 4, 4, -4, 4}},
        {1, 3, {0, 1.5f, -1.5f, 2, -1.5f, 1, -1, 1, 0, 0, 1, 1, 1.5f, 1, 1.5f, 2, -1.5f, 2}},
    };
    for (auto &c : cases) {
        float fan[18];
        ASSERT_EQ(scene_callout_fan(fan, c.lines, c.width), 9);
        EXPECT_EQ(std::vector<float>(fan, fan + 18), c.fan) << c.lines;
    }
}

// A three-line callout in front of the eye draws a white bubble with black text above the
// anchor, and nothing when it is behind the eye; no GL error.
TEST(present_callouts, BubbleDrawnInTheScene) {
    const int W = 320, H = 240;
    screen_fixture screen(W, H);
    ASSERT_TRUE(screen.ready());
    float rotation[9];
    camera_matrix_from_angles(rotation, 0, 0);
    const float eye[3] = {0, 0, 0};
    auto count = [&](float z, int *white, int *black) {
        scene_clear_callouts();
        scene_add_callout(0, -2, z, "front: 1.000\nrear: 0.250\nlog");
        scene_draw(eye, rotation, 90, -1);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
        picture p = read_picture(W, H);
        *white = (int)(W * H * p.share(0, 0, 1, 1, [](const unsigned char *c) {
            return c[0] >= 250 && c[1] >= 250 && c[2] >= 250;
        }) + 0.5);
        *black = (int)(W * H * p.share(0, 0, 1, 1, [](const unsigned char *c) {
            return c[0] <= 90 && c[1] <= 90 && c[2] <= 90;
        }) + 0.5);
    };
    int white, black;
    count(8, &white, &black);
    EXPECT_GT(white, W * H / 100);
    EXPECT_GT(black, 50);
    count(-8, &white, &black);
    EXPECT_EQ(white, 0);
    scene_clear_callouts();
}

// Many overlapping callouts, near and far, drawn in one batch give the very picture of each
// drawn in turn, farthest first; no GL error.
TEST(present_callouts, BatchDrawsAsEachInTurn) {
    const int W = 320, H = 240;
    screen_fixture screen(W, H);
    ASSERT_TRUE(screen.ready());
    float rotation[9];
    camera_matrix_from_angles(rotation, -0.1f, 0.3f);
    const float eye[3] = {0, 3, 0};
    scene_clear_callouts();
    for (int i = 0; i < 40; i++) {
        char text[96];
        snprintf(text, sizeof text, "front:\n%.3f %d\nrear:\n\033[31m%d\033[0m %.2f", i * 0.37, i, 40 - i, i * 1.5);
        // Along the view's forward axis (minus the third column), spread across and up.
        float d = 3.0f + (float)((i * 7) % 40) * 1.5f, across = (float)(i % 5) - 2;
        scene_add_callout(eye[0] - rotation[2] * d + rotation[0] * across * d / 8, (float)(i % 4),
                          eye[2] - rotation[8] * d + rotation[6] * across * d / 8, text);
    }
    scene_add_callout(0, 0, -10, "behind");
    int kept = scene_sort_callouts(eye, rotation);
    ASSERT_EQ(kept, 40);
    auto draw = [&](bool batched) {
        glClearColor(0.3f, 0.5f, 0.8f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene_set_projection(W, H, 90);
        scene_turn_view(rotation);
        glTranslatef(-eye[0], -eye[1], -eye[2]);
        if (batched) {
            scene_draw_sorted_callouts(rotation);
        } else {
            for (int k : sorted_order()) {
                const float at[3] = {row(k).x, row(k).y, row(k).z};
                scene_draw_callouts(at, rotation, row(k).text);
            }
        }
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
        return read_picture(W, H);
    };
    picture each = draw(false), batch = draw(true);
    double white = each.share(0, 0, 1, 1, [](const unsigned char *c) { return c[0] >= 250 && c[1] >= 250 && c[2] >= 250; });
    double red = each.share(0, 0, 1, 1, [](const unsigned char *c) { return c[0] >= 120 && c[1] <= 90 && c[2] <= 90; });
    EXPECT_GT(white, 0.2);
    EXPECT_GT(red, 0.0005);
    int differ = 0;
    for (size_t i = 0; i < each.rgb.size(); i++) differ += each.rgb[i] != batch.rgb[i];
    EXPECT_EQ(differ, 0);
    scene_clear_callouts();
}
