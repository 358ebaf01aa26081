// Drawing a bike and rider: which models each draw mode draws, faded riders, the bodies left
// untouched by the display tilt, the fade of riders driven from their history, and the scene's
// stages in order.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/widget_data.h"
#include "present/bike_draw.h"
#include "present/scene.h"
#include "race/race.h"
#include "race/track.h"
#include "tests/bike/bike_test_support.h"

namespace {

std::vector<bike_draw_call> calls;

void record_call(const bike_draw_call &c) {
    calls.push_back(c);
}

std::vector<int> parts_drawn() {
    std::vector<int> p;
    for (auto &c : calls)
        if (!c.reflection) p.push_back(c.part);
    return p;
}

// The bits of every body's position, rotation and velocities.
std::string body_bits(int slot) {
    std::string s;
    for (int k = 0; k < BIKE_BODIES; k++) {
        dBodyID b = bike_body_of(rider_slot_at(slot), k);
        s.append((const char *)dBodyGetPosition(b), 3 * sizeof(dReal));
        s.append((const char *)dBodyGetRotation(b), 12 * sizeof(dReal));
        s.append((const char *)dBodyGetLinearVel(b), 3 * sizeof(dReal));
        s.append((const char *)dBodyGetAngularVel(b), 3 * sizeof(dReal));
    }
    return s;
}

}  // namespace

// Every history here is fresh around the current tick, so the ghost rule leaves history riders
// solid offline and only the distance fades them.
int race_history_ticks_around(int slot, int t, int *older, int *newer) {
    (void)slot;
    *older = *newer = t;
    return 1;
}

class present_draw : public bike_fixture {
  protected:
    void SetUp() override {
        bike_fixture::SetUp();
        calls.clear();
        bike_draw_hook = record_call;
        track_lighting_reset();
        view_state.width = 320;
        view_state.height = 240;
    }
    void TearDown() override {
        bike_draw_hook = nullptr;
        scene_stage_hook = nullptr;
        bike_fixture::TearDown();
    }
    void draw(int slot, int mode) {
        calls.clear();
        const float eye[3] = {0, 5, 20};
        scene_set_projection(320, 240, 90);
        draw_bike_and_rider(rider_slot_at(slot), mode, eye);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    }
};

TEST_F(present_draw, EachModeDrawsItsParts) {
    rider_slot *s = load();
    ASSERT_NE(s, nullptr);
    bike_reset(s);
    const int F = DRAW_FRAME, FU = DRAW_FORK_UPPER, FL = DRAW_FORK_LOWER, SW = DRAW_SWINGARM,
              FW = DRAW_FRONT_WHEEL, RW = DRAW_REAR_WHEEL, B = DRAW_BODY, FP = DRAW_BODY_FP,
              H = DRAW_HEAD, PF = DRAW_FRONT_PLATE, PS = DRAW_SIDE_PLATES, PR = DRAW_RIDER_PLATE;
    struct {
        int mode, respawn;
        bool no_head, no_fp;
        std::vector<int> parts;
    } cases[] = {
        {0, 0, false, false, {F, FU, FL, SW, FW, RW, B, H, PF, PS, PR}},
        {1, 0, false, false, {F, FU, FL, FW, PF, PS}},
        {2, 0, false, false, {F, FU, FL, FW, FP, PF, PS}},
        {0, 40, false, false, {F, FU, FL, SW, FW, RW, B, H, PF, PS, PR}},
        {1, 40, false, false, {F, FU, FL, SW, FW, RW, PF, PS}},
        {2, 40, false, false, {F, FU, FL, SW, FW, RW, FP, PF, PS}},
        {0, 0, true, false, {F, FU, FL, SW, FW, RW, B, PF, PS, PR}},
        {2, 0, false, true, {F, FU, FL, FW, B, PF, PS}},
    };
    model_mesh *head = s->head_model, *fp = s->body_fp_model;
    for (auto &c : cases) {
        s->respawn_counter = c.respawn;
        s->head_model = c.no_head ? nullptr : head;
        s->body_fp_model = c.no_fp ? nullptr : fp;
        draw(0, c.mode);
        EXPECT_EQ(parts_drawn(), c.parts) << "mode " << c.mode << " respawn " << c.respawn;
        for (auto &call : calls) {
            EXPECT_EQ(call.alpha, 1.0f);
            bool rider = call.part == B || call.part == FP || call.part == PR;
            EXPECT_EQ(call.skinned, rider ? 1 : 0) << call.part;
            EXPECT_EQ(call.body, call.part == H ? -1 : rider ? BIKE_BODY_RIDER : call.body);
        }
    }
    s->head_model = head;
    s->body_fp_model = fp;
    s->respawn_counter = 0;
    // A faded rider makes the same calls with its alpha.
    draw(0, 0);
    std::vector<bike_draw_call> solid = calls;
    draw_alpha = 0.4f;
    draw(0, 0);
    draw_alpha = 1;
    ASSERT_EQ(calls.size(), solid.size());
    for (size_t i = 0; i < calls.size(); i++) {
        EXPECT_EQ(calls[i].part, solid[i].part);
        EXPECT_EQ(calls[i].texture, solid[i].texture);
        EXPECT_EQ(calls[i].alpha, 0.4f);
    }
}

TEST_F(present_draw, DisplayTiltLeavesTheBodiesAlone) {
    rider_slot *s = load();
    ASSERT_NE(s, nullptr);
    bike_reset(s);
    // Throw the rider onto the bars: drawn tilted back, the physics untouched.
    dBodyID rider = bike_rider_body(s);
    const dReal *p = dBodyGetPosition(rider);
    dBodySetPosition(rider, p[0], p[1] - 0.3, p[2] - 1.1);
    dBodySetLinearVel(rider, 1, 2, 3);
    std::string before = body_bits(0);
    for (int mode : {0, 1, 2}) draw(0, mode);
    EXPECT_EQ(body_bits(0), before);
}

TEST_F(present_draw, HistoryRidersFadeByDistance) {
    ASSERT_NE(load("yz250f(2017)", 0), nullptr);
    ASSERT_NE(load("yz250f(2017)", 1), nullptr);
    bike_reset(rider_slot_at(0));
    bike_reset(rider_slot_at(1));
    rider_status[0] = 0;
    rider_status[1] = 1;
    struct {
        float fade, d;
        int online;
        float alpha;
    } cases[] = {{10, 4, 0, 0},    {10, 5, 0, 0},  {10, 7.5f, 0, 0.5f}, {10, 10, 0, 1},
                 {10, 12, 0, 1},   {0, 3, 0, 1},   {0, 0, 0, 1},        {10, 4, 1, 1}};
    float at = 0;
    for (auto &c : cases) {
        bike_translate(1, c.d - at, 0, 0);
        at = c.d;
        settings.ghost_fade_distance.value = c.fade;
        EXPECT_NEAR(scene_ghost_alpha(1, 0, c.online), c.alpha, 1e-5f) << c.fade << " " << c.d;
    }
    // No reference rider: nobody fades by distance.
    EXPECT_EQ(scene_ghost_alpha(1, -1, 0), 1.0f);
    // In the frame: a history rider at 4 ft is not drawn at all, the player's rider is.
    settings.ghost_fade_distance.value = 10;
    bike_translate(1, 4 - at, 0, 0);
    calls.clear();
    const float eye[3] = {0, 5, 20}, turn[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    scene_draw(eye, turn, 90, -1);
    EXPECT_EQ(ghost_alpha[1], 0.0f);
    EXPECT_FALSE(calls.empty());
    for (auto &c : calls) EXPECT_EQ(c.alpha, 1.0f);   // only slot 0's solid draw
    size_t solid = calls.size();
    // At 7.5 ft it is drawn in the ghosts' stage at half alpha.
    bike_translate(1, 3.5f, 0, 0);
    calls.clear();
    scene_draw(eye, turn, 90, -1);
    EXPECT_EQ(calls.size(), 2 * solid);
    EXPECT_EQ(calls.back().alpha, 0.5f);
    rider_status[1] = 0;
}

TEST_F(present_draw, StagesInOrderAndTheLowQualityClear) {
    static std::vector<std::string> marks;
    marks.clear();
    scene_stage_hook = [](const char *label) { marks.push_back(label); };
    ASSERT_NE(load(), nullptr);
    bike_reset(rider_slot_at(0));
    rider_status[0] = 0;
    track_lighting.fog_color[0] = 0.25f;
    track_lighting.fog_color[1] = 0.5f;
    track_lighting.fog_color[2] = 0.75f;
    for (int fugly : {1, 0}) {
        game_settings.low_quality_drawing = fugly;
        marks.clear();
        const float eye[3] = {0, 40, 200}, turn[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        scene_draw(eye, turn, 90, -1);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
        const std::vector<std::string> want = {"js", "rendertex", "drawterrain", "drawbikes",
                                               "drawstatues", "drawbillboards", "drawghosts"};
        EXPECT_EQ(marks, want);
        // The corner shows the clear colour (no sky faces are loaded here).
        unsigned char px[3];
        glReadPixels(2, 237, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, px);
        EXPECT_NEAR(px[0], 64, 2);
        EXPECT_NEAR(px[1], 128, 2);
        EXPECT_NEAR(px[2], 191, 2);
        GLint depth_func;
        glGetIntegerv(GL_DEPTH_FUNC, &depth_func);
        EXPECT_EQ(depth_func, GL_ALWAYS);
        EXPECT_GT(render_stats.vertices, 0);   // the bike was drawn
    }
    game_settings.low_quality_drawing = 0;
}
