// Statue drawing through a draw recorder: binds only where the texture changes, which rows each
// pass draws, the detail cull, facing statues seen from straight above, and rest poses for rows
// whose joints do not match their model's bones.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/settings.h"
#include "gfx/model.h"
#include "present/scene.h"
#include "present/statues.h"
#include "race/objects.h"
#include "race/track.h"
#include "tests/support/gl_test_window.h"

namespace {

std::vector<statue_draw_call> calls;

void record(const statue_draw_call &c) {
    calls.push_back(c);
}

std::vector<int> rows_drawn(int reflection) {
    std::vector<int> r;
    for (auto &c : calls)
        if (c.reflection == reflection) r.push_back(c.row);
    return r;
}

class present_statues : public ::testing::Test {
  protected:
    gl_test_window gl;
    model_mesh plain = {}, shiny = {}, boned = {};
    void SetUp() override {
        ASSERT_NE(gl.w, nullptr);
        track_lists_create();
        shiny.reflective = 1;
        boned.bone_count = 2;
        game_settings.reflections_on = 1;
        game_settings.shaders_active = 0;
        game_settings.lod_bias = 0;
        game_settings.lod_scale = 1;
        settings.model_detail.value = 50;
        calls.clear();
        statue_draw_hook = record;
    }
    void TearDown() override {
        statue_draw_hook = nullptr;
        track_lists_free();
    }
    int add(model_mesh *model, int texture, float x = 0, float z = 0) {
        statue s = {};
        s.model = model;
        s.texture = texture;
        s.x = x;
        s.z = z;
        for (int i = 0; i < 3; i++) s.orientation[4 * i] = 1;
        plyx_array_append(&track_statues, &s);
        return track_statues.count - 1;
    }
    static statue &row(int i) { return ((statue *)track_statues.items)[i]; }
};

const float EYE[3] = {0, 5, 10};

}  // namespace

TEST_F(present_statues, EqualTexturesBindOnceAndOnlyReflectiveRowsGetTheSecondPass) {
    add(&plain, 5);
    add(&plain, 5);
    add(&shiny, 6);
    add(&plain, 0);        // no texture: neither pass
    add(nullptr, 7);       // no model
    add(&shiny, 5);
    add(&shiny, 0);
    render_stats = {};
    scene_draw_statues(EYE);
    EXPECT_EQ(rows_drawn(0), (std::vector<int>{0, 1, 2, 5}));
    EXPECT_EQ(rows_drawn(1), (std::vector<int>{2, 5}));
    // 5, 6, 5, then the environment map once for the reflections.
    EXPECT_EQ(render_stats.texture_binds, 4);
    // Reflections off: one pass.
    game_settings.reflections_on = 0;
    calls.clear();
    render_stats = {};
    scene_draw_statues(EYE);
    EXPECT_TRUE(rows_drawn(1).empty());
    EXPECT_EQ(render_stats.texture_binds, 3);
}

TEST_F(present_statues, ModelDetailCullsByDistance) {
    add(&plain, 5, 0, 499 + EYE[2]);
    add(&plain, 5, 0, 501 + EYE[2]);
    add(&plain, 5, 0, 20000);
    struct {
        double detail;
        std::vector<int> drawn;
    } cases[] = {{5, {0}}, {10, {0, 1}}, {11, {0, 1, 2}}, {100, {0, 1, 2}}};
    for (auto &c : cases) {
        settings.model_detail.value = c.detail;
        calls.clear();
        const float eye[3] = {0, 0, EYE[2]};
        scene_draw_statues(eye);
        EXPECT_EQ(rows_drawn(0), c.drawn) << c.detail;
    }
}

TEST_F(present_statues, FacingStatuesTurnForDrawingOnly) {
    int r = add(&plain, 5, 100, 100);
    row(r).rotation_free = 1024;   // turns beyond 1024 ft
    const float loaded[9] = {0.6f, 0, 0.8f, 0, 1, 0, -0.8f, 0, 0.6f};
    for (int i = 0; i < 9; i++) row(r).orientation[i] = loaded[i];
    auto draw_from = [&](float x, float y, float z) {
        calls.clear();
        const float eye[3] = {x, y, z};
        scene_draw_statues(eye);
        EXPECT_EQ(calls.size(), 1u);
        return calls.empty() ? statue_draw_call{} : calls[0];
    };
    // Straight above: nothing to turn toward; every value stays finite and as loaded.
    statue_draw_call c = draw_from(100, 5000, 100);
    for (int i = 0; i < 9; i++) {
        EXPECT_TRUE(std::isfinite(c.orientation[i])) << i;
        EXPECT_EQ(c.orientation[i], loaded[i]) << i;
    }
    // Far off along +x: its z axis points at the eye; the row keeps its orientation.
    c = draw_from(3100, 0, 100);
    const float toward[9] = {0, 0, 1, 0, 1, 0, -1, 0, 0};
    for (int i = 0; i < 9; i++) {
        EXPECT_NEAR(c.orientation[i], toward[i], 1e-6) << i;
        EXPECT_EQ(row(r).orientation[i], loaded[i]) << i;
    }
    // Straight above again keeps the last turn; near by too.
    c = draw_from(100, 5000, 100);
    for (int i = 0; i < 9; i++) EXPECT_NEAR(c.orientation[i], toward[i], 1e-6) << i;
    c = draw_from(100, 0, 110);
    for (int i = 0; i < 9; i++) EXPECT_NEAR(c.orientation[i], toward[i], 1e-6) << i;
    // The turn itself: a zero or non-finite horizontal offset makes none.
    float out[9] = {};
    EXPECT_EQ(statue_facing(out, 0, 0), 0);
    EXPECT_EQ(statue_facing(out, 1e-7f, 0), 0);
    EXPECT_EQ(statue_facing(out, NAN, 1), 0);
    EXPECT_EQ(statue_facing(out, 0, -3), 1);
    EXPECT_NEAR(out[8], -1, 1e-6);   // the z axis along -z
}

TEST_F(present_statues, JointsThatDoNotMatchTheBonesDrawTheRestPose) {
    float centres[9] = {}, translations[9] = {}, rotations[27] = {};
    struct {
        int joints;
        int posed;
    } cases[] = {{2, 1}, {3, 0}, {1, 0}, {0, 0}};
    for (auto &c : cases) {
        track_statues.count = 0;
        int r = add(&boned, 5);
        row(r).joint_count = c.joints;
        row(r).joint_centres = centres;
        row(r).joint_translations = translations;
        row(r).joint_rotations = rotations;
        calls.clear();
        scene_draw_statues(EYE);
        ASSERT_EQ(calls.size(), 1u) << c.joints;
        EXPECT_EQ(calls[0].posed, c.posed) << c.joints;
        row(r).joint_centres = row(r).joint_translations = row(r).joint_rotations = nullptr;
        row(r).joint_count = 0;
    }
}
