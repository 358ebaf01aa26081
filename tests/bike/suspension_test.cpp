// Suspension and rider springs: the damper, the fork and shock laws, the linkage curve, the
// seat springs and the read-outs.
#include "tests/bike/ride_test_support.h"

class bike_suspension_test : public bike_ride {
  protected:
    void SetUp() override {
        bike_ride::SetUp();
        if (HasFatalFailure()) return;
        make_field();
        ASSERT_NE(place(), nullptr);
    }
};

TEST_F(bike_suspension_test, FullyExtendedPushesNothing) {
    EXPECT_EQ(bike_fork_force(s, 0, 0), 0.0f);
    EXPECT_EQ(bike_shock_torque(s, 0, 0), 0.0f);
    EXPECT_EQ(bike_fork_force(s, 0.01f, 0), 0.0f);   // beyond full extension
    // Compressed, both push the bike up (a positive force on the joint).
    const bike_info *row = bike_row_of(s);
    EXPECT_GT(bike_fork_force(s, -0.5f * row->a[48], 0), 0.0f);
    EXPECT_GT(bike_shock_torque(s, -0.5f * row->a[60], 0), 0.0f);
}

// The two-stage damper never pushes the way the joint moves, whatever the slow value.
TEST_F(bike_suspension_test, DamperNeverPushesAlongTheMotion) {
    const float speeds[] = {-10, -1, -0.05f, -0.001f, 0, 0.001f, 0.05f, 1, 10};
    const float slows[] = {2, 0, -0.5f, -2};
    for (float slow : slows)
        for (float u : speeds) {
            float f = suspension_damper(u, 1.5f, slow);
            EXPECT_LE(f * u, 0.0f) << "u " << u << " slow " << slow;
        }
    // Eight times steeper at low speed, until the high-speed line raised by the slow value.
    EXPECT_FLOAT_EQ(suspension_damper(0.05f, 2, 1), -0.8f);
    EXPECT_FLOAT_EQ(suspension_damper(0.1f, 2, 1), -1.2f);
    EXPECT_FLOAT_EQ(suspension_damper(-10, 2, 1), 21.0f);
    // A negative slow value: a dead band at low speed.
    EXPECT_EQ(suspension_damper(0.2f, 2, -1), 0.0f);
    EXPECT_FLOAT_EQ(suspension_damper(2, 2, -1), -3.0f);
}

TEST_F(bike_suspension_test, LinkageCurveMeetsItsKnots) {
    const bike_info *row = bike_row_of(s);
    float split = row->a[61];
    ASSERT_GT(split, 0);
    ASSERT_LT(split, 1);
    linkage_point p0 = bike_linkage(row, 0), ps = bike_linkage(row, split), p1 = bike_linkage(row, 1);
    EXPECT_NEAR(p0.stroke, 0, 1e-6f);
    EXPECT_NEAR(ps.stroke, row->a[58], 1e-5f);
    EXPECT_NEAR(p1.stroke, row->a[59], 1e-5f);
    EXPECT_NEAR(p0.slope, row->a[62], 1e-4f);
    EXPECT_NEAR(ps.slope, row->a[63], 1e-4f);
    EXPECT_NEAR(p1.slope, row->a[64], 1e-4f);
    // Continuous on both sides of the split, and the slope is the curve's derivative.
    EXPECT_NEAR(bike_linkage(row, split - 1e-4f).stroke, bike_linkage(row, split + 1e-4f).stroke, 1e-3f);
    for (float r = 0.05f; r < 1; r += 0.1f) {
        float d = (bike_linkage(row, r + 1e-3f).stroke - bike_linkage(row, r - 1e-3f).stroke) / 2e-3f;
        EXPECT_NEAR(bike_linkage(row, r).slope, d, 0.02f * std::max(1.0f, std::fabs(d))) << r;
    }
}

TEST_F(bike_suspension_test, SeatSpringsStiffBeyondTheirLimits) {
    const bike_info *row = bike_row_of(s);
    float mf = row->a[188] * RIDER_MASS_FACTOR;
    dBodyID rider = bike_rider_body(s);
    vec3 seat = test_body_position(rider);
    struct seat_case {
        const char *name;
        vec3 offset;        // rider moved by this (the frame is upright, facing -z)
        bool stiff_fore_aft, stiff_vertical;
    };
    const seat_case cases[] = {
        {"seated", {0, 0, 0}, false, false},
        {"a foot forward", {0, 0, -1}, true, false},
        {"a foot back", {0, 0, 1}, true, false},
        {"0.6 ft low", {0, -0.6f, 0}, false, true},
        {"0.8 ft high", {0, 0.8f, 0}, false, true},
    };
    for (const seat_case &c : cases) {
        SCOPED_TRACE(c.name);
        vec3 p = seat + c.offset;
        dBodySetPosition(rider, p.x, p.y, p.z);
        seat_spring k[2];
        ASSERT_EQ(bike_seat_spring_values(s, k), 1);
        EXPECT_EQ(k[0].kp == SEAT_STIFF * mf && k[0].kd == SEAT_STIFF * mf, c.stiff_fore_aft);
        EXPECT_EQ(k[1].kp == SEAT_STIFF * mf && k[1].kd == SEAT_STIFF * mf, c.stiff_vertical);
        EXPECT_TRUE(k[0].made);
        EXPECT_TRUE(k[1].made);
    }
    // The four rider settings 0: the fore-aft spring is still made (100 |e| mf), the vertical
    // one is not.
    dBodySetPosition(rider, seat.x, seat.y, seat.z + 0.2f);
    bike_set_rider_springs(s, 0, 0);
    bike_set_rider_damping(s, 0, 0);
    seat_spring k[2];
    bike_seat_spring_values(s, k);
    EXPECT_TRUE(k[0].made);
    EXPECT_NEAR(k[0].kp, 100 * k[0].depth * mf, 1e-3f);
    EXPECT_FALSE(k[1].made);
    // The step makes exactly the springs that are made: one contact joint more on the rider.
    int before = dBodyGetNumJoints(rider);
    bike_seat_springs(s);
    EXPECT_EQ(dBodyGetNumJoints(rider), before + 1);
    dJointGroupEmpty(physics_contact_group);
}

TEST_F(bike_suspension_test, SoftValuesFromSpringAndDamper) {
    double erp, cfm;
    ASSERT_EQ(bike_soft_values(5000, 500, &erp, &cfm), 1);
    EXPECT_NEAR(cfm, 1.0 / (500 + 5000 / 128.0), 1e-12);
    EXPECT_NEAR(erp, (5000 / 128.0) / (500 + 5000 / 128.0), 1e-12);
    ASSERT_EQ(bike_soft_values(0, 100, &erp, &cfm), 1);
    EXPECT_EQ(erp, 0);
    EXPECT_EQ(bike_soft_values(0, 0, &erp, &cfm), 0);
    EXPECT_EQ(bike_soft_values(NAN, 1, &erp, &cfm), 0);
}

TEST_F(bike_suspension_test, ReadOutsDampingBySign) {
    EXPECT_FLOAT_EQ(suspension_readout_damping(-2, 3, 5, 7, 11), 5.0f / (6 + 5));
    EXPECT_FLOAT_EQ(suspension_readout_damping(0, 3, 5, 7, 11), 1.0f);
    EXPECT_FLOAT_EQ(suspension_readout_damping(2, 3, 5, 7, 11), 11.0f / (14 + 11));
    // The bike's read-outs after settling: compression within travel, damping finite.
    run(256);
    float c, u, d;
    bike_front_suspension(s, &c, &u, &d);
    EXPECT_GT(c, 0.0f);
    EXPECT_LT(c, 1.0f);
    EXPECT_TRUE(std::isfinite(d));
    bike_rear_suspension(s, &c, &u, &d);
    EXPECT_GT(c, 0.0f);
    EXPECT_LT(c, 1.0f);
    EXPECT_TRUE(std::isfinite(d));
}
