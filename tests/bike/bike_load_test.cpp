// Loading bikes into rider slots: every row, the fallbacks, the default setup, slot faults and
// leaks, the number plate.
#include <GL/gl.h>

#include <cmath>

#include "core/util.h"
#include "tests/bike/bike_test_support.h"

using bike_loading = bike_fixture;

TEST_F(bike_loading, EveryRowLoadsWithItsMassesJointsAndParts) {
    for (int r = 0; r < BIKE_INFO_ROWS; r++) {
        console_clear();
        rider_slot *s = load(bike_info_table[r].name);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->bike_row, r);
        EXPECT_EQ(warnings(), 0) << bike_info_table[r].name;
        for (void *m : {(void *)s->frame_model, (void *)s->fork_upper_model, (void *)s->fork_lower_model,
                        (void *)s->swingarm_model, (void *)s->front_wheel_model, (void *)s->rear_wheel_model,
                        (void *)s->head_model, (void *)s->body_model, (void *)s->body_fp_model,
                        (void *)s->side_plates_model, (void *)s->front_plate_model, (void *)s->rider_plate_model,
                        (void *)s->frame_shape, (void *)s->fork_upper_shape, (void *)s->fork_lower_shape,
                        (void *)s->swingarm_shape, (void *)s->rider_shape, (void *)s->front_wheel_shape,
                        (void *)s->rear_wheel_shape})
            EXPECT_NE(m, nullptr) << bike_info_table[r].name;
        EXPECT_NE(s->bike_texture, 0u);
        EXPECT_NE(s->wheels_texture, 0u);
        EXPECT_NE(s->head_texture, 0u);
        EXPECT_NE(s->body_texture, 0u);
        EXPECT_NE(s->number_plate_texture, 0u);
        double sum = 0;
        for (int b = 0; b < BIKE_BODIES; b++) {
            dMass m;
            dBodyGetMass(bike_body_of(s, b), &m);
            sum += m.mass;
        }
        EXPECT_NEAR(s->total_mass, sum, 1e-5);
        if (r == 49) {
            EXPECT_NEAR(s->total_mass, 12.68625, 1e-5);
        }
        EXPECT_NEAR(dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_STEERING)), 0, 1e-9);
        EXPECT_NEAR(dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_SWINGARM)), 0, 1e-9);
        EXPECT_NEAR(dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_FRONT_AXLE)), 0, 1e-9);
        EXPECT_NEAR(dJointGetSliderPosition(bike_joint_of(s, BIKE_JOINT_FORK)), 0, 1e-9);
        dVector3 a1, a2;
        dJointGetHinge2Anchor(bike_joint_of(s, BIKE_JOINT_RIDER), a1);
        dJointGetHinge2Anchor2(bike_joint_of(s, BIKE_JOINT_RIDER), a2);
        for (int i = 0; i < 3; i++) EXPECT_NEAR(a1[i], a2[i], 1e-9);
        EXPECT_EQ(s->rider_presence, 1.0f);
    }
}

TEST_F(bike_loading, FallbackRowsWithTheirConsoleLine) {
    struct {
        const char *asked, *got;
    } cases[] = {{"zz450x", "kx250f(2007)"}, {"mini125", "cr125"}, {"", "kx250f(2007)"},
                 {"YZ250F(2017)", "kx250f(2007)"}};
    for (auto &c : cases) {
        console_clear();
        rider_slot *s = load(c.asked);
        ASSERT_NE(s, nullptr);
        EXPECT_STREQ(bike_model_name(s), c.got);
        std::string line = std::string("bike info for '") + c.asked + "' not found using '" + c.got + "' instead";
        bool seen = false;
        for (auto &l : console_log.lines) seen |= line == l;
        EXPECT_TRUE(seen) << line;
    }
    console_clear();
    load("rm125");
    for (auto &l : console_log.lines) EXPECT_EQ(strstr(l, "not found"), nullptr);
}

TEST_F(bike_loading, DefaultSetupAndTheNoContactsFlag) {
    rider_slot *s = load();
    EXPECT_NEAR(s->final_drive, 3.8461538f, 1e-6);
    EXPECT_EQ(s->setup_flags, 0x8D);
    EXPECT_EQ(bike_stop_wheelies(s), 2);
    EXPECT_EQ(s->fork_compression, 60.0f);
    EXPECT_EQ(s->shock_rebound, 2 * 600.0f);
    EXPECT_EQ(bike_info_top_rpm(s), 13250.0f);
    EXPECT_STREQ(bike_engine_class(s), "250f");
    EXPECT_STREQ(bike_texture_name(s), "@yz250fv2014.png");
    for (int flag : {1, 2, 3}) {
        rider_slot *t = bike_load("cr125", 3, flag, "7", nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(t->slot_flags & 1, flag & 1) << flag;
        EXPECT_EQ(t->slot_index, 3);
    }
}

TEST_F(bike_loading, SlotFaultsAndLeaks) {
    rider_slot before = rider_table[0];
    EXPECT_EQ(bike_load("cr125", -1, 0, "1", nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(bike_load("cr125", 160, 0, "1", nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(memcmp(&before, &rider_table[0], sizeof before), 0);
    EXPECT_EQ(rider_has_bike(-1), 0);
    EXPECT_EQ(rider_has_bike(160), 0);
    int bodies = physics_live_bodies, joints = physics_live_joints;
    load();
    uint32_t loaded_bytes = texture_memory_bytes;
    EXPECT_EQ(physics_live_bodies, bodies + 7);
    EXPECT_EQ(physics_live_joints, joints + 6);
    EXPECT_EQ(rider_has_bike(0), 1);
    load();   // into the occupied slot
    EXPECT_EQ(physics_live_bodies, bodies + 7);
    EXPECT_EQ(physics_live_joints, joints + 6);
    EXPECT_EQ(texture_memory_bytes, loaded_bytes);
    uint32_t plate = rider_table[0].number_plate_texture;
    for (int i = 0; i < 20; i++) {
        load();
        bike_free(0);
    }
    EXPECT_EQ(physics_live_bodies, bodies);
    EXPECT_EQ(physics_live_joints, joints);
    EXPECT_EQ(glIsTexture(plate), GL_FALSE);
    bike_free(0);
    bike_free(0);
    EXPECT_EQ(rider_has_bike(0), 0);
    rider_slot *s = &rider_table[0];
    EXPECT_EQ(bike_frame_body(s), nullptr);
    EXPECT_EQ(s->frame_shape, nullptr);
    EXPECT_EQ(s->frame_model, nullptr);
    EXPECT_EQ(bike_frame_speed(0), -1.0f);
    EXPECT_EQ(bike_forward_speed_mph(s), 0.0f);
    EXPECT_EQ(bike_model_name(s), nullptr);
    // The race's reset frees what the table holds.
    load("cr125", 5);
    rider_table_init();
    EXPECT_EQ(physics_live_bodies, bodies);
    EXPECT_EQ(rider_has_bike(5), 0);
}

TEST_F(bike_loading, NumberPlateColoursAndText) {
    rider_slot *s = bike_load("cr125", 0, 0, "12345678", nullptr, nullptr, nullptr, nullptr);
    EXPECT_STREQ(rider_number_text(s), "1234567");
    glBindTexture(GL_TEXTURE_2D, s->number_plate_texture);
    std::vector<unsigned char> px(128 * 128 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    // The clear ring, the yellow background and some dark digit ink.
    EXPECT_EQ(px[3], 0);
    bool background = false, ink = false;
    for (size_t i = 0; i < px.size(); i += 4) {
        if (px[i] == 255 && px[i + 1] == 216 && px[i + 2] == 25) background = true;
        if (px[i + 3] && px[i] < 40 && px[i + 1] < 40 && px[i + 2] < 40) ink = true;
    }
    EXPECT_TRUE(background);
    EXPECT_TRUE(ink);
    bike_free(0);
    EXPECT_EQ(glIsTexture(s->number_plate_texture), GL_FALSE);
    uint32_t bytes = texture_memory_bytes;
    bike_load("cr125", 0, 0, "1", nullptr, nullptr, nullptr, nullptr);
    bike_free(0);
    EXPECT_EQ(texture_memory_bytes, bytes);
}
