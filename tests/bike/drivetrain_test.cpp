// The engine and drivetrain on a loaded bike, one call at a time: the torque tables, the
// wheelie cut, the clutch, the drive phase's wind-up and wrap, and the brakes.
#include "tests/bike/ride_test_support.h"

class bike_drivetrain_test : public bike_ride {
  protected:
    void SetUp() override {
        bike_ride::SetUp();
        if (HasFatalFailure()) return;
        make_field();
        ASSERT_NE(place(), nullptr);
    }
    void set_rpm(float rpm) { s->engine_speed = rpm / RIDER_RPM_PER_RAD_S; }
    float rear_axle_param(int joint, int param) {
        return (float)dJointGetHingeParam(bike_joint_of(s, joint), param);
    }
};

TEST_F(bike_drivetrain_test, TorqueTableReadsClampedEntries) {
    const bike_info *row = bike_row_of(s);
    const float *closed = &row->a[BIKE_V_CLOSED_TORQUE], *open = &row->a[BIKE_V_OPEN_TORQUE];
    struct torque_case {
        float rpm, throttle, expected;
    };
    const torque_case cases[] = {
        {-100, 1, open[0]},
        {0, 0, closed[0]},
        {250, 1, (open[0] + open[1]) / 2},
        {250, 0.5f, ((open[0] + open[1]) / 2 + (closed[0] + closed[1]) / 2) / 2},
        {9000, 1, open[18]},
        {24500, 1, open[49]},
        {24500, 0, closed[49]},
        {30000, 1, open[49]},
        {NAN, 1, open[0]},
        {INFINITY, 0, closed[49]},
    };
    for (const torque_case &c : cases) {
        SCOPED_TRACE(c.rpm);
        set_rpm(c.rpm);
        rider_set_throttle(s, c.throttle);
        s->front_contact.contact_depth = 0.1f;
        EXPECT_NEAR(bike_engine_torque(s), c.expected, 1e-4f);
    }
    EXPECT_NEAR(open[18], 19.35f, 1e-3f);
}

// The wheelie cut (stop wheelies full, front up, rear down, not pitching down) removes
// positive torque only.
TEST_F(bike_drivetrain_test, WheelieCutKeepsEngineBraking) {
    s->front_contact.contact_depth = 0;
    s->rear_contact.contact_depth = 0.1f;
    set_rpm(9000);
    rider_set_throttle(s, 1);
    EXPECT_EQ(bike_engine_torque(s), 0.0f);
    rider_set_throttle(s, 0);
    set_rpm(20000);
    float braking = bike_torque_curve(bike_row_of(s), 20000, 0);
    ASSERT_LT(braking, 0);
    EXPECT_EQ(bike_engine_torque(s), braking);
    // Pitching down fast enough, or stop wheelies off: no cut.
    set_rpm(9000);
    rider_set_throttle(s, 1);
    bike_set_stop_wheelies(s, STOP_WHEELIES_NONE);
    EXPECT_GT(bike_engine_torque(s), 19);
}

TEST_F(bike_drivetrain_test, ClutchEngagesOverTwoThousandRpm) {
    float a = s->auto_clutch_rpms;
    rider_set_clutch(s, 1);
    EXPECT_EQ(bike_clutch_engagement(s, a - 1), 0.0f);
    EXPECT_NEAR(bike_clutch_engagement(s, a + 1000), 0.5f, 1e-6f);
    EXPECT_EQ(bike_clutch_engagement(s, a + 2001), 1.0f);
    rider_set_clutch(s, 0.25f);
    EXPECT_EQ(bike_clutch_engagement(s, a + 1000), 0.25f);
    EXPECT_EQ(bike_clutch_engagement(s, a + 2001), 0.25f);
}

// Engine braking keeps the clutch engaged: an engine at rest below the automatic clutch
// with the rear wheel rolling forward is dragged along, and the wind-up stays within the
// clutch's limit.
TEST_F(bike_drivetrain_test, EngineBrakingEngagesAndWindUpIsLimited) {
    dBodyID rear = bike_body_of(s, BIKE_BODY_REAR_WHEEL);
    dJointID axle = bike_joint_of(s, BIKE_JOINT_REAR_AXLE);
    const dReal *r = dBodyGetRotation(rear);
    // Spin the wheel forward: the axle's angle rate is positive rolling toward -z.
    dBodySetAngularVel(rear, -20 * r[0], -20 * r[4], -20 * r[8]);
    if (dJointGetHingeAngleRate(axle) < 0) dBodySetAngularVel(rear, 20 * r[0], 20 * r[4], 20 * r[8]);
    ASSERT_GT(dJointGetHingeAngleRate(axle), 0);
    s->engine_speed = 0;
    s->drive_phase = (float)dJointGetHingeAngle(axle) - 1.0f;
    rider_set_clutch(s, 1);
    rider_set_throttle(s, 0);
    dBodySetTorque(rear, 0, 0, 0);
    bike_drivetrain(s);
    // Q < 0 with c = clutch = 1: the full wind-up limit and the engine dragged forward.
    double u = std::remainder(s->drive_phase - dJointGetHingeAngle(axle), 6.283185307179586);
    EXPECT_LE(std::fabs(u), 0.7853982 + 1e-3);
    EXPECT_GT(s->engine_speed, 0);
    const dReal *t = dBodyGetTorque(rear);
    EXPECT_GT(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1.0);

    // Half engaged below the automatic clutch's range with a positive drive: |u| <= c pi/4
    // after the limit, then the phase advances by the tick's engine turn.
    dBodySetAngularVel(rear, 0, 0, 0);
    set_rpm(s->auto_clutch_rpms + 1000);
    s->drive_phase = (float)dJointGetHingeAngle(axle) + 1.5f;
    bike_drivetrain(s);
    u = std::remainder(s->drive_phase - dJointGetHingeAngle(axle), 6.283185307179586);
    double turn = s->engine_speed / 128.0 / bike_overall_ratio(s);
    EXPECT_NEAR(u, 0.5 * 0.7853982 + turn, 1e-3);
}

// A corrupt engine speed or drive phase ends with the phase in [-pi, pi], the slot marked and
// the call returned.
TEST_F(bike_drivetrain_test, CorruptSpeedOrPhaseIsCaught) {
    const float values[] = {INFINITY, -INFINITY, NAN, 1e30f, -1e30f};
    for (int which = 0; which < 2; which++)
        for (float v : values) {
            SCOPED_TRACE(v);
            s->nonfinite_mark = 0;
            s->engine_speed = which ? 100 : v;
            s->drive_phase = which ? v : 0;
            bike_drivetrain(s);
            EXPECT_GE(s->drive_phase, -3.1415927f);
            EXPECT_LE(s->drive_phase, 3.1415927f);
            EXPECT_TRUE(std::isfinite(s->engine_speed));
            EXPECT_EQ(s->nonfinite_mark, 1);
        }
}

// Brakes: the axle motors' force is the torque times the lever; antilock releases fully above
// 2 ft/s of contact slip; stop wheelies release the front brake while the rear is up.
TEST_F(bike_drivetrain_test, BrakesAntilockAndStopWheelies) {
    struct brake_case {
        const char *name;
        float slip;
        int antilock;
        float front_depth, rear_depth;
        int stop_wheelies;
        float front_expected, rear_expected;   // times the brake torques
    };
    const brake_case cases[] = {
        {"no antilock", 10, 0, 0.1f, 0.1f, 0, 1, 1},
        {"antilock, sliding", 2.1f, 1, 0.1f, 0.1f, 0, 0, 0},
        {"antilock, gripping", 1.9f, 1, 0.1f, 0.1f, 0, 1, 1},
        {"antilock, in the air", 10, 1, 0, 0, 0, 1, 1},
        {"stop wheelies, rear up", 0, 0, 0.1f, 0, 2, 0, 1},
        {"stop wheelies full, rear up", 0, 0, 0.1f, 0, 3, 0, 1},
        {"stop wheelies, both down", 0, 0, 0.1f, 0.1f, 3, 1, 1},
    };
    for (const brake_case &c : cases) {
        SCOPED_TRACE(c.name);
        bike_set_front_brake_mode(s, c.antilock);
        bike_set_rear_brake_mode(s, c.antilock);
        bike_set_stop_wheelies(s, c.stop_wheelies);
        s->front_contact.contact_depth = c.front_depth;
        s->rear_contact.contact_depth = c.rear_depth;
        s->front_contact.velocity = s->rear_contact.velocity = {0, 0, -c.slip};
        rider_set_front_brake(s, 1);
        rider_set_rear_brake(s, 0.5f);
        bike_drivetrain(s);
        EXPECT_NEAR(rear_axle_param(BIKE_JOINT_FRONT_AXLE, dParamFMax), s->brake_torque * c.front_expected, 1e-3f);
        EXPECT_NEAR(rear_axle_param(BIKE_JOINT_REAR_AXLE, dParamFMax), s->rear_brake_torque * 0.5f * c.rear_expected, 1e-3f);
        EXPECT_EQ(rear_axle_param(BIKE_JOINT_FRONT_AXLE, dParamVel), 0.0f);
    }
}

// A gear table ending in a ratio of 0 or below is never shifted into.
TEST_F(bike_drivetrain_test, AutomaticShiftSkipsMissingGear) {
    const bike_info *row = bike_row_of(s);
    ASSERT_LE(row->a[BIKE_V_GEARS + 5], 0.0f);
    // Shift conditions: suspension loaded, the rear wheel rolling fast without slip.
    run(128);
    bike_set_auto_shift(s, 1);
    s->gear = 4;
    race_state.current_tick = 64 * 128;
    dBodyID rear = bike_body_of(s, BIKE_BODY_REAR_WHEEL);
    const dReal *r = dBodyGetRotation(rear);
    dBodySetAngularVel(rear, -400 * r[0], -400 * r[4], -400 * r[8]);
    if (dJointGetHingeAngleRate(bike_joint_of(s, BIKE_JOINT_REAR_AXLE)) < 0)
        dBodySetAngularVel(rear, 400 * r[0], 400 * r[4], 400 * r[8]);
    s->rear_contact.contact_depth = 0;
    s->gear = 3;
    bike_drivetrain(s);
    EXPECT_EQ(s->gear, 4);
    bike_drivetrain(s);
    EXPECT_EQ(s->gear, 4);
    bike_select_gear(s, 5);
    EXPECT_LT(s->gear, 5);
}
