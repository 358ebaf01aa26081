// The wheels' contacts per tick: the refresh and queries, the roost through the particle hook,
// the erosion feed and its callout, and the race tick's order around the world step.
#include <string>
#include <vector>

#include "core/digest.h"
#include "tests/bike/ride_test_support.h"

struct spawned {
    vec3 position, velocity;
    const roost_type *type;
};
static std::vector<spawned> particles;
static std::vector<std::string> events;
static std::string callout_text;
static vec3 callout_at;
static float callout_far = 1e6f;
static rider_slot *watched;

static int record_particle(const float p[3], const float v[3], const roost_type *type) {
    particles.push_back({{p[0], p[1], p[2]}, {v[0], v[1], v[2]}, type});
    if (watched) {
        events.push_back("roost rear-wheel-joints=" +
                         std::to_string(dBodyGetNumJoints(bike_body_of(watched, BIKE_BODY_REAR_WHEEL))));
    }
    return 1;
}

static float record_distance(float, float, float) {
    return callout_far;
}

static void record_callout(float x, float y, float z, const char *text) {
    callout_text = text;
    callout_at = {x, y, z};
    if (watched)
        events.push_back("ruts rear-wheel-joints=" +
                         std::to_string(dBodyGetNumJoints(bike_body_of(watched, BIKE_BODY_REAR_WHEEL))) +
                         " frame-joints=" + std::to_string(dBodyGetNumJoints(bike_frame_body(watched))));
}

class bike_wheel_contacts : public bike_ride {
  protected:
    void SetUp() override {
        bike_ride::SetUp();
        if (HasFatalFailure()) return;
        particles.clear();
        events.clear();
        callout_text.clear();
        callout_far = 1e6f;
        watched = nullptr;
        bike_hooks.particle_spawn = record_particle;
        bike_hooks.callout_distance = record_distance;
        bike_hooks.add_callout = record_callout;
        make_field();
        ASSERT_NE(place(), nullptr);
        run(128);
        mt_seed(5489);
    }
    void TearDown() override {
        bike_wheel_log = 0;
        bike_ride::TearDown();
    }
    // The kind's roost types: a roost and a splash unless given.
    roost_type &roost(int i) { return (*field)->kinds[0].roost[i]; }
    void set_roost(int i, int kind, float count) {
        roost_type &t = roost(i);
        t = {};
        t.kind = kind;
        t.count = count;
        t.slip_threshold = 0;
        t.slow_angle = 0.2f;
        t.fast_angle = 2.0f;
        t.slow_speed = 5;
        t.fast_speed = 40;
        t.vscale = 0.5f;
        t.randomize = 2;
    }
    // A new tick without stepping: the next query refreshes.
    void next_tick() { race_state.current_tick++; }
    void spin_rear(vec3 v, vec3 w) {
        dBodyID b = bike_body_of(s, BIKE_BODY_REAR_WHEEL);
        dBodySetLinearVel(b, v.x, v.y, v.z);
        dBodySetAngularVel(b, w.x, w.y, w.z);
    }
};

TEST_F(bike_wheel_contacts, RefreshOncePerTick) {
    next_tick();
    float depth = bike_front_contact_depth(s);
    ASSERT_GT(depth, 0);
    bike_translate(0, 0, 5, 0);
    EXPECT_EQ(bike_front_contact_depth(s), depth);   // the same tick: no second refresh
    next_tick();
    // In the air: all eight queries answer 0, depth 0.
    vec3 out = {7, 7, 7};
    EXPECT_EQ(bike_front_contact_depth(s), 0.0f);
    EXPECT_EQ(bike_rear_contact_depth(s), 0.0f);
    EXPECT_EQ(bike_front_contact_position(s, &out), 0);
    EXPECT_EQ(bike_rear_contact_position(s, &out), 0);
    EXPECT_EQ(bike_front_contact_slip(s, &out), 0);
    EXPECT_EQ(bike_rear_contact_slip(s, &out), 0);
    EXPECT_EQ(bike_front_contact_velocity(s, &out), 0);
    EXPECT_EQ(bike_rear_contact_velocity(s, &out), 0);
    EXPECT_EQ(out.x, 7.0f);
    // With no wheel contacts the records keep what they hold.
    bike_translate(0, 0, -5, 0);
    s->slot_flags |= 1;
    next_tick();
    EXPECT_EQ(bike_front_contact_depth(s), 0.0f);
    s->slot_flags &= ~1;
    EXPECT_EQ(bike_front_contact_depth(s), depth);
}

// On the ground the position is the contact point, the slip the point's velocity with the
// spin, the velocity without it.
TEST_F(bike_wheel_contacts, QueriesOnTheGround) {
    spin_rear({0, 0, -10}, {-5, 0, 0});
    next_tick();
    vec3 p, slip, v;
    ASSERT_EQ(bike_rear_contact_position(s, &p), 1);
    EXPECT_NEAR(p.y, 10.0f, 0.35f);
    ASSERT_EQ(bike_rear_contact_slip(s, &slip), 1);
    ASSERT_EQ(bike_rear_contact_velocity(s, &v), 1);
    // Spin about the axle (x) adds -5 x r along z at the bottom of the wheel; without it the
    // point moves with the wheel's centre.
    EXPECT_NEAR(v.z, -10.0f, 1e-3f);
    EXPECT_GT(std::fabs(slip.z + 10.0f), 1.0f);
}

TEST_F(bike_wheel_contacts, RoostFrequencyCapsParticles) {
    set_roost(0, 1, 5);
    set_roost(1, 1, 5);
    // A spinning rear wheel and a sliding front one.
    game_settings.roost_frequency = 0;
    for (int i = 0; i < 64; i++) {
        next_tick();
        spin_rear({0, 0, -5}, {80, 0, 0});
        bike_emit_roost(s);
    }
    EXPECT_TRUE(particles.empty());
    game_settings.roost_frequency = 150;
    int ticks_with_two = 0;
    for (int i = 0; i < 256; i++) {
        particles.clear();
        next_tick();
        spin_rear({0, 0, -5}, {80, 0, 0});
        bike_emit_roost(s);
        // Per type and wheel (the wheel nearest the particle): at most 2.
        int count[2][2] = {{0, 0}, {0, 0}};
        for (const spawned &p : particles) {
            vec3 df = p.position - s->front_contact.point, dr = p.position - s->rear_contact.point;
            int wheel = vec3_length2(df) < vec3_length2(dr) ? 0 : 1;
            count[p.type == &roost(0) ? 0 : 1][wheel]++;
        }
        for (auto &type : count)
            for (int n : type) EXPECT_LE(n, 2);
        if (count[0][1] == 2) ticks_with_two++;
        for (const spawned &p : particles) {
            EXPECT_TRUE(std::isfinite(p.position.x + p.position.y + p.position.z));
            EXPECT_TRUE(std::isfinite(p.velocity.x + p.velocity.y + p.velocity.z));
        }
    }
    // About half the ticks let a type throw two.
    EXPECT_GT(ticks_with_two, 64);
    EXPECT_LT(ticks_with_two, 192);
}

// A locked wheel skidding forward throws within pi/64 of its contact point.
TEST_F(bike_wheel_contacts, LockedWheelThrowsANarrowFan) {
    set_roost(0, 1, 1);
    game_settings.roost_frequency = 100;
    int thrown = 0;
    for (int i = 0; i < 64; i++) {
        particles.clear();
        next_tick();
        spin_rear({0, 0, -20}, {0, 0, 0});
        bike_update_wheel_contacts(s);
        wheel_contact &w = s->rear_contact;
        ASSERT_GT(w.contact_depth, 0);
        contact_emit_roost(&w, 1, 6.2831853f);
        vec3 c = test_body_position(w.body);
        for (const spawned &p : particles) {
            vec3 a = w.point - c, b = p.position - c;
            float cosine = vec3_dot(a, b) / std::sqrt(vec3_length2(a) * vec3_length2(b));
            EXPECT_GE(cosine, std::cos(3.14159265f / 64) - 1e-5f);
            thrown++;
        }
    }
    EXPECT_GT(thrown, 0);
}

// Splash from a wheel at rest, and a kind whose two speeds are equal, throw nothing that is
// not finite.
TEST_F(bike_wheel_contacts, DegenerateRoostStaysFinite) {
    set_roost(0, 2, 3);
    set_roost(1, 1, 3);
    roost(1).slow_speed = roost(1).fast_speed = 10;
    game_settings.roost_frequency = 300;
    for (int i = 0; i < 32; i++) {
        next_tick();
        for (int b = 0; b < BIKE_BODIES; b++) {
            dBodySetLinearVel(bike_body_of(s, b), 0, 0, 0);
            dBodySetAngularVel(bike_body_of(s, b), 0, 0, 0);
        }
        bike_emit_roost(s);
    }
    for (const spawned &p : particles) EXPECT_NE(p.type, &roost(0)) << "splash from a wheel at rest";
    particles.clear();
    for (float spin : {5.0f, 10.0f, 20.0f}) {
        next_tick();
        spin_rear({0, 0, -2}, {spin, 0, 0});
        bike_emit_roost(s);
    }
    EXPECT_FALSE(particles.empty());
    for (const spawned &p : particles) {
        EXPECT_TRUE(std::isfinite(p.position.x + p.position.y + p.position.z));
        EXPECT_TRUE(std::isfinite(p.velocity.x + p.velocity.y + p.velocity.z));
    }
    // The spread at equal speeds: the slow angle below the speed, the fast one from it.
    EXPECT_EQ(roost_spread(roost(1), 99), roost(1).slow_angle);
    EXPECT_EQ(roost_spread(roost(1), 100), roost(1).fast_angle);
}

// The feed: front then rear into their batches; with the log on and the last callout far
// away one callout at the frame holding both read-outs.
TEST_F(bike_wheel_contacts, ErosionFeedAndItsCallout) {
    spin_rear({0, 0, -10}, {0, 0, 0});
    next_tick();
    bike_tyre_debug_text(s);
    EXPECT_TRUE(callout_text.empty());
    bike_wheel_log = 1;
    callout_far = 5;
    bike_tyre_debug_text(s);
    EXPECT_TRUE(callout_text.empty());
    callout_far = 11;
    bike_tyre_debug_text(s);
    ASSERT_FALSE(callout_text.empty());
    size_t f = callout_text.find("front:\n"), r = callout_text.find("rear:\n");
    ASSERT_NE(f, std::string::npos);
    ASSERT_NE(r, std::string::npos);
    EXPECT_LT(f, r);
    vec3 frame = frame_position();
    EXPECT_EQ(callout_at.x, frame.x);
    EXPECT_EQ(callout_at.z, frame.z);
    // The rear wheel went last: the read-outs are its own.
    char last[256];
    erode_format_wheel_readout(last, sizeof last);
    EXPECT_EQ(callout_text.substr(r + 6), std::string(last));
}

// The race tick's order: contacts before the roost, the world step and the emptied group
// before the ruts, the bike steps last; the one-tick joints are gone after the next step.
TEST_F(bike_wheel_contacts, RaceTickOrder) {
    set_roost(0, 1, 2);
    game_settings.roost_frequency = 1000;
    race_state.erode_amount = 1024;
    bike_wheel_log = 1;
    watched = s;
    rider_set_back_up(s, 1);
    race_state.current_tick = 64;   // a back-up pulse
    run(1, [&](int) { spin_rear({0, 0, -5}, {80, 0, 0}); });
    ASSERT_GE(events.size(), 2u);
    // The roost sees the rear wheel's ground contact beside its axle; the ruts see the axle
    // alone and the frame's three permanent joints.
    EXPECT_EQ(events.front(), "roost rear-wheel-joints=2");
    EXPECT_EQ(events.back(), "ruts rear-wheel-joints=1 frame-joints=3");
    // After the step: the angular motor and both seat springs hang on the frame.
    EXPECT_EQ(dBodyGetNumJoints(bike_frame_body(s)), 6);
    events.clear();
    run(1);
    EXPECT_EQ(events.back(), "ruts rear-wheel-joints=1 frame-joints=3");
}
