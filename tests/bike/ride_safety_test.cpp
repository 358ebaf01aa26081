// A bike kept sound: placed clear of the ground, reset alone after a value that is not finite,
// riding with every setup extreme on bumpy ground, and the same ride twice alike.
#include <cstring>
#include <vector>

#include "game/frame_loop.h"
#include "game/settings_table.h"
#include "game/setup.h"
#include "tests/bike/ride_test_support.h"

using bike_ride_safety = bike_ride;

static int console_lines_with(const char *text) {
    int n = 0;
    for (auto &line : console_log.lines)
        if (strstr(line, text)) n++;
    return n;
}

// The lowest point of a wheel's tyre above flat ground at height 10.
static float tyre_gap(const wheel_contact &w) {
    return test_body_position(w.body).y - w.ring_radius - w.section_radius - 10.0f;
}

TEST_F(bike_ride_safety, DropToGroundEndsClearAndBounded) {
    make_field();
    ASSERT_NE(place(), nullptr);
    // Clear of the ground, the tyres within one raise of it.
    EXPECT_EQ(bike_ground_contacts(s), 0);
    dJointGroupEmpty(physics_contact_group);
    for (const wheel_contact *w : {&s->front_contact, &s->rear_contact}) {
        EXPECT_GE(tyre_gap(*w), 0.0f);
        EXPECT_LT(tyre_gap(*w), BIKE_LIFT_STEP + 0.01f);
    }
    // A position that is not finite places nothing.
    vec3 at = frame_position();
    EXPECT_EQ(bike_drop_to_ground(0, NAN, 256, 0), 0);
    EXPECT_EQ(bike_drop_to_ground(0, 256, INFINITY, 0), 0);
    EXPECT_EQ(bike_drop_to_ground(0, 256, 256, NAN), 0);
    vec3 still = frame_position();
    EXPECT_EQ(std::memcmp(&at, &still, sizeof at), 0);
    EXPECT_EQ(bike_drop_to_ground(5, 256, 256, 0), 0);   // no bike in the slot

    // Sunk 40 ft, with a field claiming its highest point far below: the raises stop at their
    // bound (64 of them) with the warning, the bike still in the ground.
    bike_translate(0, 0, -40, 0);
    float sunk = frame_position().y;
    float top = (*field)->max_height;
    (*field)->max_height = -1000;
    EXPECT_EQ(bike_lift_clear(0), 0);
    EXPECT_EQ(console_lines_with("Warning: can't place bike in slot 0 clear of the ground"), 1);
    EXPECT_NEAR(frame_position().y - sunk, BIKE_LIFT_EXTRA * BIKE_LIFT_STEP, 0.01f);
    // With the true height the same bike comes out.
    (*field)->max_height = top;
    EXPECT_EQ(bike_lift_clear(0), 1);
    EXPECT_EQ(bike_ground_contacts(s), 0);
    dJointGroupEmpty(physics_contact_group);
    EXPECT_EQ(physics_message_count, 0);
}

// Leaving the editor after the ground was raised under the bike lifts it clear.
TEST_F(bike_ride_safety, LeavingTheEditorLiftsTheBikeClear) {
    make_field();
    ASSERT_NE(place(), nullptr);
    for (float &h : field->heights) h += 1.5f;
    (*field)->max_height += 1.5f;
    ASSERT_NE(bike_ground_contacts(s), 0);
    dJointGroupEmpty(physics_contact_group);
    game_settings.editor_mode = 1;
    frame_loop.view_mode = VIEW_EDITOR;
    frame_dispatch_key(KEY_TAB, 1);
    EXPECT_EQ(frame_loop.view_mode, VIEW_CHASE);
    // Set back down the editor's eighth of a foot: only the tyres touch, and barely.
    EXPECT_EQ(bike_ground_contacts(s) & ~6, 0);
    dJointGroupEmpty(physics_contact_group);
    for (const wheel_contact *w : {&s->front_contact, &s->rear_contact}) {
        EXPECT_GT(tyre_gap(*w) - 1.5f, -0.13f);
        EXPECT_LT(tyre_gap(*w) - 1.5f, BIKE_LIFT_STEP);
    }
    game_settings.editor_mode = 0;
}

// A value that is not finite put into one bike's body velocity, then into a torque on it: that
// bike alone is put back where it last was sound, with the warning; the other rides on.
TEST_F(bike_ride_safety, NonFiniteValueResetsThatBikeAlone) {
    make_field();
    ASSERT_NE(place(200, 300), nullptr);
    rider_slot *other = place(300, 300, 0, 1);
    ASSERT_NE(other, nullptr);
    for (rider_slot *r : {s, other}) bike_set_auto_dab(r, 1);
    run(256);
    struct injection {
        const char *name;
        void (*put)(rider_slot *);
    };
    const injection injections[] = {
        {"velocity", [](rider_slot *r) { dBodySetLinearVel(bike_frame_body(r), NAN, 0, 0); }},
        {"torque", [](rider_slot *r) { dBodyAddTorque(bike_body_of(r, BIKE_BODY_SWINGARM), 0, INFINITY, 0); }},
        {"engine", [](rider_slot *r) { r->engine_speed = NAN; }},
    };
    int warnings_before = 0;
    for (const injection &k : injections) {
        SCOPED_TRACE(k.name);
        vec3 other_before = test_body_position(bike_frame_body(other));
        vec3 before = frame_position();
        k.put(s);
        run(1);
        EXPECT_TRUE(bike_state_finite(s));
        EXPECT_EQ(s->nonfinite_mark, 0);
        EXPECT_LT(std::fabs(s->engine_speed), 50.0f);   // stopped, one tick ago
        EXPECT_LT(std::fabs(frame_position().x - before.x), 0.1f);
        EXPECT_LT(std::fabs(frame_position().z - before.z), 0.1f);
        int warnings = console_lines_with("Warning: bike in slot 0 reset after a non-finite value");
        EXPECT_EQ(warnings, warnings_before + 1);
        warnings_before = warnings;
        EXPECT_EQ(console_lines_with("Warning: bike in slot 1"), 0);
        vec3 moved = test_body_position(bike_frame_body(other)) - other_before;
        EXPECT_LT(std::sqrt(vec3_length2(moved)), 0.05f);
        run(128);
    }
    expect_sound();
}

// Every setup slider at its minimum, at its maximum and in two mixed rows, through the
// player's settings, riding 10 s at throttle 0.7 on bumpy ground: every body finite and below
// the speed and spin limits, and the solver never fails.
TEST_F(bike_ride_safety, SetupExtremesRideBumpyGroundSoundly) {
    setting_table table = settings_table();
    struct setup_row {
        const char *name;
        double (*pick)(const setting_key &, int index);
    };
    const setup_row rows[] = {
        {"minimum", [](const setting_key &k, int) { return k.minimum; }},
        {"maximum", [](const setting_key &k, int) { return k.maximum; }},
        {"alternating, minimum first",
         [](const setting_key &k, int i) { return i % 2 ? k.maximum : k.minimum; }},
        {"alternating, maximum first",
         [](const setting_key &k, int i) { return i % 2 ? k.minimum : k.maximum; }},
    };
    for (const setup_row &row : rows) {
        SCOPED_TRACE(row.name);
        settings_reset();
        int index = 0;
        for (int i = 0; i < table.count; i++) {
            const setting_key &k = table.keys[i];
            if ((k.flags & SETTING_SETUP) && k.kind == SETTING_SLIDER) k.target.slider->value = row.pick(k, index++);
        }
        ASSERT_GE(index, 30);
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> bump(-0.4f, 0.4f);
        std::vector<float> noise(257 * 257);
        for (float &h : noise) h = bump(rng);
        make_field([&](int x, int z) { return 10.0f + noise[x + 257 * z] + 0.6f * std::sin(x * 0.7f) * std::cos(z * 0.45f); });
        ASSERT_NE(place(256, 400), nullptr);
        bike_apply_setup_values(0, setup_collect_values());
        bike_drop_to_ground(0, 256, 400, 0);
        rider_set_clutch(s, 1);
        int messages = physics_message_count;
        run(10 * 128, [&](int) { rider_set_throttle(s, 0.7f); });
        expect_sound();
        EXPECT_EQ(physics_message_count, messages);
        EXPECT_EQ(console_lines_with("reset after a non-finite value"), 0);
        rider_table_init();
    }
    settings_reset();
}

// The same launch twice in one process, each from a fresh world: the bodies end bit for bit
// alike.
TEST_F(bike_ride_safety, LaunchRepeatsExactly) {
    auto launch = [&] {
        make_field();
        rider_slot *r = place();
        std::vector<dReal> state;
        if (!r) return state;
        race_state.current_tick = 0;
        run(1024, [&](int i) { rider_set_throttle(s, i < 128 ? 0.0f : 1.0f); });
        for (int b = 0; b < BIKE_BODIES; b++) {
            dBodyID body = bike_body_of(s, b);
            for (const dReal *v : {dBodyGetPosition(body), dBodyGetLinearVel(body), dBodyGetAngularVel(body)})
                state.insert(state.end(), v, v + 3);
            const dReal *q = dBodyGetQuaternion(body);
            state.insert(state.end(), q, q + 4);
        }
        state.push_back(s->engine_speed);
        state.push_back(s->drive_phase);
        return state;
    };
    std::vector<dReal> first = launch();
    ASSERT_FALSE(first.empty());
    rider_table_init();
    physics_close();
    ASSERT_EQ(physics_open(), 1);
    std::vector<dReal> second = launch();
    ASSERT_EQ(first.size(), second.size());
    EXPECT_EQ(std::memcmp(first.data(), second.data(), first.size() * sizeof(dReal)), 0);
    // It rode: well over 20 ft/s.
    EXPECT_GT(-frame_velocity().z, 20.0f);
}
