// The bike setup: the stability preset, its keys, the hand-off to the bike with its refusal,
// the converted values and the setup-change report.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/globals.h"
#include "core/settings.h"
#include "game/config.h"
#include "game/setup.h"
#include "net/client.h"
#include "tests/support/test_support.h"

static setting_records &S = settings;

// The fifteen preset settings in the preset's row order, with their six columns.
struct preset_row {
    slider_widget *slider;
    double columns[6];
};

static const preset_row PRESET[15] = {
    {&S.leveling, {20, 20, 20, 20, 20, 20}},
    {&S.roll_damping, {40, 50, 60, 70, 75, 80}},
    {&S.roll_limit_angle, {90, 45, 45, 45, 45, 45}},
    {&S.roll_limit_factor, {0, 5, 10, 32, 32, 32}},
    {&S.steering_damping, {45, 45, 45, 45, 50, 60}},
    {&S.steering_strength, {75, 75, 75, 75, 75, 75}},
    {&S.direct_steering, {1, 1, 1, 1, 1, 0.125}},
    {&S.max_steering_force, {400, 400, 400, 400, 400, 400}},
    {&S.slow_damping_speed, {40, 40, 40, 40, 40, 40}},
    {&S.slow_damping_factor, {1, 1, 1.5, 2, 2, 2}},
    {&S.land_damping_falloff, {0, 0.125, 0.25, 0.25, 0.25, 0.25}},
    {&S.land_damping_factor, {1, 1.5, 2, 2, 2, 2}},
    {&S.full_lock_speed, {10, 10, 10, 10, 10, 10}},
    {&S.restricted_lock_speed, {50, 50, 50, 50, 50, 50}},
    {&S.restricted_lock, {45, 15, 10, 5, 2.5, 1}},
};

TEST(game_setup, StabilityPreset) {
    struct {
        int stability, column;
        int exact;   // 1: every value is the column's own
    } cases[] = {{0, 0, 1}, {100, 4, 1}, {150, 4, 1}, {-20, 0, 1}, {50, 2, 0}, {37, 1, 0}};
    for (auto &c : cases) {
        EXPECT_EQ(setup_apply_stability_preset(c.stability), c.column) << c.stability;
        // The same float x the preset uses.
        float x = (float)(c.stability * 5 * 0.01);
        x = x < 0 ? 0 : x > 5 ? 5 : x;
        double t = (double)x - c.column;
        for (const preset_row &r : PRESET) {
            double a = r.columns[c.column], b = r.columns[c.column + 1];
            if (c.exact) {
                EXPECT_EQ(r.slider->value, t == 0 ? a : b) << c.stability << " " << r.slider->label;
            } else {
                EXPECT_NEAR(r.slider->value, a + t * (b - a), 1e-9)
                    << c.stability << " " << r.slider->label;
            }
        }
    }
    setup_apply_stability_preset(50);
    EXPECT_EQ(S.roll_damping.value, 65);
    EXPECT_EQ(S.roll_limit_factor.value, 21);
    EXPECT_EQ(S.restricted_lock.value, 7.5);
}

TEST(game_setup, SetupKeysAndTheStabilityKey) {
    temp_dir t;
    test_isolate_home(t);
    std::string config = t.file("xdg/ZR Simulator/config");
    // Stability 0 without the fifteen keys: column 0. With one of them after it: the key wins.
    ASSERT_TRUE(test_write_file(config, "stability=0\nroll_damping=33\n"));
    config_read();
    for (const preset_row &r : PRESET) {
        if (r.slider == &S.roll_damping) continue;
        EXPECT_EQ(r.slider->value, r.columns[0]) << r.slider->label;
    }
    EXPECT_EQ(S.roll_damping.value, 33);
    // A stability that does not read applies no preset.
    ASSERT_TRUE(test_write_file(config, "stability=soft\n"));
    config_read();
    EXPECT_EQ(S.roll_damping.value, 33);

    struct {
        const char *value, *bike;
    } bikes[] = {{"crf250", "crf250(2008)"}, {"kx250f", "kx250f(2008)"},
                 {"rmz250", "rmz250(2008)"}, {"yz250f", "yz250f(2008)"},
                 {"cr125", "cr125"},          {"rs50yz", "rs50yz"}};
    for (auto &b : bikes) {
        setup_select_bike("yz250f(2017)");
        EXPECT_EQ(setup_parse_key("bike", b.value), 1);
        EXPECT_STREQ(choice_text(&S.bike), b.bike) << b.value;
    }
    EXPECT_EQ(S.bike.option_count, 80);
    EXPECT_EQ(setup_parse_key("fov", "90"), 0);
    EXPECT_EQ(setup_parse_key("bike", "nothing"), 1);   // a setup key, though no such bike
    EXPECT_EQ(setup_parse_key("front_sprocket_adjustment", "-2"), 1);
    EXPECT_EQ(S.front_sprocket.value, -2);
}

TEST(game_setup, ValuesHandedToTheBike) {
    S.fork_compression.value = 75;
    S.fork_slow_compression.value = 50;
    S.shock_rebound.value = 0;
    S.shock_slow_rebound.value = 100;
    S.fork_oil_level.value = 30;
    S.max_dab_speed.value = 60;
    S.roll_limit_angle.value = 45;
    S.restricted_lock.value = 90;
    choice_select_text(&S.stop_wheelies, "Front Only");
    choice_select_text(&S.arcade, "Yes");
    bike_setup_values v = setup_collect_values();
    EXPECT_EQ(v.fork[0], 2.0f);
    EXPECT_EQ(v.fork[1], 0.0f);
    EXPECT_EQ(v.shock[2], 0.25f);
    EXPECT_EQ(v.shock[3], 1.0f);
    EXPECT_EQ(v.fork[6], 0.3f);
    EXPECT_EQ(v.max_dab_speed, 88.0f);
    EXPECT_EQ(v.roll_limit_angle, (float)(M_PI / 4));
    EXPECT_EQ(v.restricted_lock_angle, (float)(M_PI / 2));
    EXPECT_EQ(v.stop_wheelies, 2);
    EXPECT_EQ(v.arcade, 1);
    EXPECT_EQ(v.rider_mass_distribution, 0.33f);
    net_client.arcade_forbidden = 1;
    EXPECT_EQ(setup_collect_values().arcade, 0);
    choice_select_text(&S.stop_wheelies, "Yes");
    EXPECT_EQ(setup_collect_values().stop_wheelies, 3);
}

static float test_speed = 0.0f;
static int test_applies = 0;

static void setup_fake_bike(float speed) {
    test_speed = speed;
    setup_bike.frame_speed = [](int) { return test_speed; };
    setup_bike.apply = [](int, const bike_setup_values &) { test_applies++; };
}

static int console_count(const char *text) {
    int n = 0;
    for (const auto &line : console_log.lines) n += strstr(line, text) != nullptr;
    return n;
}

static const char *REFUSAL = "Settings not applied.  Mechanic can't keep up error.";

TEST(game_setup, MovingBikeIsRefusedAndAnEmptySlotIgnored) {
    // The stubs' slot holds no bike: nothing happens, nothing is said.
    console_clear();
    setup_mark_reported();
    S.fork_preload.value = 70;
    frame_clock = 100;
    setup_apply_to_bike(0);
    EXPECT_EQ(setup_report.rows[26].changed, 0);
    EXPECT_EQ(console_count(REFUSAL), 0);

    setup_fake_bike(0.2f);
    setup_apply_to_bike(0);    // a single refusal is silent
    frame_clock = 103;
    setup_apply_to_bike(0);    // a second within 10 s is reported
    EXPECT_EQ(console_count(REFUSAL), 1);
    frame_clock = 118;
    setup_apply_to_bike(0);    // 15 s after the last one: silent again
    EXPECT_EQ(console_count(REFUSAL), 1);
    EXPECT_EQ(test_applies, 0);
    test_speed = 0.125f;       // still counts as standing
    setup_apply_to_bike(0);
    EXPECT_EQ(test_applies, 1);
    EXPECT_EQ(setup_report.rows[26].changed, 1);
}

TEST(game_setup, ChangeReport) {
    spam_filter = 0;
    console_clear();
    setup_fake_bike(0.0f);
    setup_mark_reported();
    frame_clock = 10;
    setup_report.next_report = 0;
    S.fork_preload.value = 60;
    setup_apply_to_bike(0);
    setup_change_report();
    std::string want = "[SPAM] Setup change " + std::string(26, '-') + "p" + std::string(12, '-') + "\n";
    EXPECT_EQ(console_count(want.c_str()), 1);
    EXPECT_EQ(setup_report.rows[26].changed, 0);

    // Within 5 s nothing is reported; a value set back before the apply is not reported at all.
    S.fork_preload.value = 70;
    S.fork_preload.value = 60;
    S.leveling.value = 21;
    setup_apply_to_bike(0);
    frame_clock = 12;
    setup_change_report();
    EXPECT_EQ(console_count("[SPAM] Setup change l---"), 0);
    frame_clock = 15;
    setup_change_report();
    want = "[SPAM] Setup change l" + std::string(38, '-') + "\n";
    EXPECT_EQ(console_count(want.c_str()), 1);
    // Nothing changed: no line.
    frame_clock = 30;
    setup_change_report();
    EXPECT_EQ(console_count("[SPAM] Setup change"), 2);

    // Online the line goes to the server as a reliable text message (type 19).
    net_client.socket = 1000;
    S.rider_mass_distribution.value = 0.5;
    setup_apply_to_bike(0);
    frame_clock = 40;
    setup_change_report();
    want = "[SPAM] Setup change " + std::string(38, '-') + "m\n";
    EXPECT_EQ(console_count("[SPAM] Setup change"), 2);
    ASSERT_EQ(net_reliable.queue_count, 1);
    const net_packet *p = &net_reliable.queue[net_reliable.queue_first];
    ASSERT_EQ(p->length, NET_RELIABLE_HEAD + 1 + (int)want.size());
    EXPECT_EQ(p->data[NET_RELIABLE_HEAD], NET_MSG_TEXT);
    EXPECT_EQ(std::string((const char *)p->data + NET_RELIABLE_HEAD + 1, want.size()), want);

    // A server that takes no more messages refuses the report; it is dropped, nothing breaks.
    net_reliable.queue_count = NET_QUEUE_MAX;
    S.rider_mass_distribution.value = 0.25;
    setup_apply_to_bike(0);
    frame_clock = 50;
    setup_change_report();
    EXPECT_EQ(console_count("Warning: server is not taking messages"), 1);
    net_reliable_reset();
    net_client.socket = -1;
}
