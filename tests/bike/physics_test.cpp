// The physics world: opening and closing, the step with its contact group, the engine's handlers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "bike/physics.h"
#include "platform/plyx.h"
#include "tests/support/test_support.h"

TEST(bike_physics, StepFallsAndEmptiesTheContactGroup) {
    ASSERT_EQ(physics_open(), 1);
    ASSERT_NE(physics_world, nullptr);
    ASSERT_NE(physics_contact_group, nullptr);
    dVector3 g;
    dWorldGetGravity(physics_world, g);
    EXPECT_EQ(g[0], 0.0);
    EXPECT_EQ(g[1], -32.0);
    EXPECT_EQ(g[2], 0.0);

    dBodyID body = dBodyCreate(physics_world);
    dMass m;
    dMassSetSphereTotal(&m, 2.0, 0.5);
    dBodySetMass(body, &m);
    // A one-tick joint lives until the step after it.
    dContact contact{};
    contact.geom.pos[1] = -0.5;
    contact.geom.normal[1] = 1.0;
    dJointID joint = dJointCreateContact(physics_world, physics_contact_group, &contact);
    dJointAttach(joint, body, nullptr);
    EXPECT_EQ(dBodyGetNumJoints(body), 1);
    EXPECT_EQ(physics_step(), 1);
    EXPECT_EQ(dBodyGetNumJoints(body), 0);
    // Free fall for the rest of a second: velocity -32 ft/s, whatever the first tick did.
    dBodySetLinearVel(body, 0, 0, 0);
    for (int i = 0; i < 128; i++) ASSERT_EQ(physics_step(), 1);
    EXPECT_NEAR(dBodyGetLinearVel(body)[1], -32.0, 1e-9);

    physics_close();
    EXPECT_EQ(physics_world, nullptr);
    EXPECT_EQ(physics_contact_group, nullptr);
    physics_close();  // closing twice is harmless
    // The engine starts again after a close.
    ASSERT_EQ(physics_open(), 1);
    dBodyID again = dBodyCreate(physics_world);
    EXPECT_EQ(physics_step(), 1);
    EXPECT_LT(dBodyGetLinearVel(again)[1], 0.0);
    physics_close();
}

TEST(bike_physics, EngineMessagesGoToTheLog) {
    temp_dir dir;
    std::string path = dir.file("log.txt");
    setenv("PLYX_LOGFILE", path.c_str(), 1);
    unsetenv("PLYX_LOGFILE_FLAGS");
    ASSERT_EQ(physics_open(), 1);
    dMessage(3, "LCP internal error, s <= 0 (s=%.4e)", -1.5);
    std::string long_text(1000, 'x');
    dMessage(4, "%s", long_text.c_str());
    physics_close();
    plyx_log_close();
    std::string log = test_read_file(path);
    EXPECT_NE(log.find("] ODE message 3: LCP internal error, s <= 0 (s=-1.5000e+00)\n"),
              std::string::npos)
        << log;
    // Long messages are cut at 900 characters.
    EXPECT_NE(log.find("] ODE message 4: " + std::string(900, 'x') + "\n"), std::string::npos);
}

TEST(bike_physics, EngineErrorsTakeTheFatalPath) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_EXIT(
        {
            physics_open();
            dError(5, "bad %s", "thing");
        },
        testing::ExitedWithCode(1), "Error: ODE error 5: bad thing");
    EXPECT_EXIT(
        {
            physics_open();
            dDebug(6, "failed check %d", 7);
        },
        testing::ExitedWithCode(1), "Error: ODE error 6: failed check 7");
    // A failed argument check inside the engine: the program's own exit, never an abort.
    EXPECT_EXIT(
        {
            physics_open();
            dBodySetPosition(nullptr, 0, 0, 0);
        },
        testing::ExitedWithCode(1), "Error: ODE error [0-9]+: ");
}

// Only the world's own bodies are known to the step: with all of them disabled it is left out
// (the contact group is still emptied); one enabled body runs it, waking what it is joined to.
TEST(bike_physics, AWorldOfDisabledBodiesIsNotStepped) {
    ASSERT_EQ(physics_open(), 1);
    dBodyID a = physics_body_create(), b = physics_body_create();
    dBodyDisable(a);
    dBodyDisable(b);
    dContact contact{};
    contact.geom.normal[1] = 1.0;
    dJointAttach(dJointCreateContact(physics_world, physics_contact_group, &contact), a, nullptr);
    EXPECT_EQ(physics_step(), 1);
    EXPECT_EQ(dBodyGetNumJoints(a), 0);
    EXPECT_EQ(dBodyGetPosition(a)[1], 0.0);
    dJointID ball = dJointCreateBall(physics_world, nullptr);
    dJointAttach(ball, a, b);
    dBodyEnable(a);
    EXPECT_EQ(physics_step(), 1);
    EXPECT_LT(dBodyGetLinearVel(a)[1], 0.0);
    EXPECT_TRUE(dBodyIsEnabled(b));
    EXPECT_LT(dBodyGetLinearVel(b)[1], 0.0);
    dJointDestroy(ball);
    physics_body_destroy(a);
    physics_body_destroy(b);
    physics_close();
}
