// The command line: every option of the table in both forms, the checked values, the clamps,
// the bare demo argument and --connect's recent-server list.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/settings.h"
#include "game/options.h"
#include "game/settings_table.h"
#include "net/client.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "ui/menu.h"

namespace {
struct parsed {
    options_result result;
    std::string error;   // what went to standard error
};
}  // namespace

static parsed cmdline_parse(const std::vector<std::string> &args) {
    settings_reset();
    track_name = nullptr;
    connect_address = nullptr;
    server_password = nullptr;
    terrain_mmx = 1;
    std::vector<std::string> words = {"zr"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStderr();
    option_cursor cursor = options_begin((int)words.size(), argv.data());
    parsed p;
    p.result = options_parse(&cursor);
    p.error = testing::internal::GetCapturedStderr();
    return p;
}

static const core_settings &G = game_settings;
static const run_values &R = run_options;

static bool text_is(const char *text, const char *want) {
    return text && strcmp(text, want) == 0;
}

TEST(game_cmdline, FlagsSetTheirValues) {
    struct {
        const char *flag;
        std::function<bool()> effect;
    } cases[] = {
        {"--fugly", [] { return G.low_quality_drawing == 1; }},
        {"--nosound", [] { return R.no_sound == 1; }},
        {"--novertexarrays", [] { return G.no_vertex_arrays == 1; }},
        {"--learn", [] { return G.autopilot_learning == 1; }},
        {"--nommx", [] { return terrain_mmx == 0; }},
        {"--debug", [] { return G.debug_level == 1; }},
        {"--super-debug", [] { return G.debug_level == 2; }},
        {"--practice", [] { return G.practice_mode == 1; }},
        {"--warp", [] { return R.warp == 1; }},
        {"--record-video", [] { return R.record_video == 1; }},
        {"--editor", [] { return G.editor_mode == 1; }},
        {"--hidden-pause", [] { return R.show_pause_text == 0; }},
        {"--hidden-hud", [] { return R.show_hud == 0; }},
        {"--accurate-skip", [] { return G.accurate_skip == 1; }},
        {"--glfinish", [] { return R.glfinish == 1; }},
        {"--print-orientation", [] { return G.print_orientation == 1; }},
    };
    for (auto &c : cases) {
        parsed p = cmdline_parse({c.flag});
        EXPECT_EQ(p.result.stop, 0) << c.flag;
        EXPECT_TRUE(c.effect()) << c.flag;
    }
    parsed p = cmdline_parse({"--learn", "--nolearn"});
    EXPECT_EQ(G.autopilot_learning, 0);
    // A flag never takes "=value".
    p = cmdline_parse({"--fugly=1"});
    EXPECT_EQ(p.result.stop, 1);
    EXPECT_EQ(p.result.exit_code, 1);
    EXPECT_EQ(p.result.message, "bad option '--fugly=1'\n");
}

TEST(game_cmdline, ValueOptionsInBothFormsWithTheirClamps) {
    struct {
        const char *option, *value;
        std::function<bool()> effect;
    } cases[] = {
        {"--texture-detail", "2",
         [] { return G.texture_reduce_levels == 2 && G.ground_texture_reduce_levels == 2; }},
        {"--texture-detail", "9",
         [] { return G.texture_reduce_levels == 4 && G.ground_texture_reduce_levels == 4; }},
        {"--texture-detail", "-3",
         [] { return G.texture_reduce_levels == 0 && G.ground_texture_reduce_levels == 0; }},
        {"--ground-texture-detail", "3",
         [] { return G.ground_texture_reduce_levels == 3 && G.texture_reduce_levels == 0; }},
        {"--roostfrequency", "5000", [] { return G.roost_frequency == 1000; }},
        {"--roostfrequency", "12abc", [] { return G.roost_frequency == 12; }},
        {"--roostfrequency", "99999999999", [] { return G.roost_frequency == 1000; }},
        {"--erode", "0.5", [] { return G.erode_amount == 512; }},
        {"--erode", "100", [] { return G.erode_amount == 102400; }},
        {"--erode", "500", [] { return G.erode_amount == 102400; }},
        {"--erode", "-1", [] { return G.erode_amount == 0; }},
        {"--detail", "0.25", [] { return G.terrain_detail == 0.25; }},
        {"--detail", "0x1p-3", [] { return G.terrain_detail == 0.125; }},
        {"--max-detail-distance", "300", [] { return true; }},
        {"--lod-scale", "0", [] { return G.lod_scale == 0.000001f; }},
        {"--lod-scale", "2e7", [] { return G.lod_scale == 1000000.0f; }},
        {"--lod-bias", "-3.5", [] { return G.lod_bias == -3.5f; }},
        {"--lock-fps", "30", [] { return R.lock_fps == 30.0; }},
        {"--fake-lag", "5000", [] { return G.fake_lag == 1.0; }},
        {"--fake-lag", "250", [] { return std::fabs(G.fake_lag - 0.25) < 1e-9; }},
        {"--fake-loss", "150", [] { return G.fake_loss == 100; }},
        {"--fake-loss", "-4", [] { return G.fake_loss == 0; }},
        {"--record-audio", "out.raw", [] { return text_is(R.record_audio_file, "out.raw"); }},
        {"--rotate-lineup", "7", [] { return G.rotate_lineup == 7; }},
        {"--rotate-lineup", "abc", [] { return G.rotate_lineup == 0; }},
        {"--width", "1024", [] { return settings.xres == 1024; }},
        {"--width", "abc", [] { return settings.xres == 640; }},
        {"--width", "-5", [] { return settings.xres == 640; }},
        {"--height", "768", [] { return settings.yres == 768; }},
        {"--depth", "24", [] { return R.colour_bits == 24; }},
        {"--depth", "32", [] { return R.colour_bits == 32; }},
        {"--depth", "abc", [] { return R.colour_bits == 16; }},
        {"--depth", "536", [] { return R.colour_bits == 16; }},  // would set window flag bits
        {"--depth", "-1", [] { return R.colour_bits == 16; }},
        {"--depth", "15", [] { return R.colour_bits == 16; }},
        {"--zdepth", "32", [] { return R.depth_bits == 32; }},
        {"--draw-fps", "1", [] { return settings.draw_fps == 1; }},
        {"--draw-time", "1", [] { return settings.draw_time == 1; }},
        {"--draw-ping", "0", [] { return settings.draw_ping == 0; }},
        {"--draw-speed", "2", [] { return settings.draw_speed == 2; }},
        {"--draw-render-stats", "1", [] { return G.draw_render_stats == 1; }},
        {"--track", "tracks/practice", [] { return text_is(track_name, "tracks/practice"); }},
        {"--password", "pass word", [] { return text_is(server_password, "pass word"); }},
        {"--chase-center", "1,2.5,-3",
         [] {
             return R.chase_center[0] == 1.0f && R.chase_center[1] == 2.5f &&
                    R.chase_center[2] == -3.0f;
         }},
    };
    for (auto &c : cases) {
        std::string joined = std::string(c.option) + "=" + c.value;
        for (const std::vector<std::string> &args :
             {std::vector<std::string>{c.option, c.value}, std::vector<std::string>{joined}}) {
            parsed p = cmdline_parse(args);
            EXPECT_EQ(p.result.stop, 0) << joined << ": " << p.result.message;
            EXPECT_TRUE(c.effect()) << args.size() << " argument(s): " << joined;
            EXPECT_EQ(R.demo_file, nullptr) << joined;
        }
    }
}

TEST(game_cmdline, BadValuesEndWithTheirOwnMessage) {
    struct {
        const char *option;
        bool real;   // read as a float: 1e39 is infinite there, while an int is clamped
    } checked[] = {{"--texture-detail", false}, {"--ground-texture-detail", false},
                   {"--roostfrequency", false}, {"--erode", true},
                   {"--detail", true},          {"--max-detail-distance", true},
                   {"--lod-scale", true},       {"--lod-bias", true},
                   {"--lock-fps", true},        {"--fake-lag", true},
                   {"--fake-loss", false},      {"--chase-center", true}};
    for (auto &c : checked) {
        for (const char *value : {"abc", "nan", "inf", "-inf", "1e39"}) {
            if (!c.real && strcmp(value, "1e39") == 0) continue;
            parsed p = cmdline_parse({c.option, value});
            EXPECT_EQ(p.result.stop, 1) << c.option << " " << value;
            EXPECT_EQ(p.result.exit_code, 1) << c.option << " " << value;
            EXPECT_EQ(p.result.message, std::string("Bad arg for ") + c.option + "\n")
                << c.option << " " << value;
        }
    }
    struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"--detail", "0"}, "Bad arg for --detail\n"},
        {{"--detail", "-1"}, "Bad arg for --detail\n"},
        {{"--chase-center", "1,2"}, "Bad arg for --chase-center\n"},
        {{"--chase-center", "1,nan,3"}, "Bad arg for --chase-center\n"},
        {{"--chase-center", "1;2;3"}, "Bad arg for --chase-center\n"},
        {{"--fugly", "--erode", "nan", "--bogus"}, "Bad arg for --erode\n"},
        {{"--bogus"}, "bad option '--bogus'\n"},
        {{"-"}, "bad option '-'\n"},
    };
    for (auto &c : cases) {
        parsed p = cmdline_parse(c.args);
        EXPECT_EQ(p.result.stop, 1) << c.message;
        EXPECT_EQ(p.result.exit_code, 1) << c.message;
        EXPECT_EQ(p.result.message, c.message);
    }
}

TEST(game_cmdline, EveryValueOptionGivenLastIsABadArg) {
    const char *options[] = {
        "--texture-detail", "--ground-texture-detail", "--roostfrequency", "--erode",
        "--detail", "--max-detail-distance", "--lod-scale", "--lod-bias", "--lock-fps",
        "--fake-lag", "--fake-loss", "--record-audio", "--rotate-lineup", "--width",
        "--height", "--depth", "--zdepth", "--draw-fps", "--draw-time", "--draw-ping",
        "--draw-speed", "--draw-render-stats", "--track", "--connect", "--password",
        "--chase-center"};
    for (const char *option : options) {
        parsed p = cmdline_parse({"--fugly", option});
        EXPECT_EQ(p.result.stop, 1) << option;
        EXPECT_EQ(p.result.exit_code, 1) << option;
        EXPECT_EQ(p.result.message, std::string("Bad arg for ") + option + "\n");
    }
    // --bikes reads nothing: it says so, with or without a value, and parsing carries on.
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--bikes"}, std::vector<std::string>{"--bikes", "x", "--warp"},
          std::vector<std::string>{"--bikes=x", "--warp"}}) {
        parsed p = cmdline_parse(args);
        EXPECT_EQ(p.result.stop, 0);
        EXPECT_EQ(p.error, "--bikes doesn't do anything anymore\n");
        EXPECT_EQ(R.warp, args.size() > 1 ? 1 : 0);
    }
}

TEST(game_cmdline, BareArgumentsAndTheEndOfOptions) {
    parsed p = cmdline_parse({"--", "-x"});
    EXPECT_EQ(p.result.stop, 0);
    EXPECT_TRUE(text_is(R.demo_file, "-x"));
    // After "--" options are files too.
    p = cmdline_parse({"--", "--warp"});
    EXPECT_EQ(p.result.stop, 0);
    EXPECT_EQ(R.warp, 0);
    EXPECT_TRUE(text_is(R.demo_file, "--warp"));
    p = cmdline_parse({"--warp", "--"});
    EXPECT_EQ(p.result.stop, 0);
    EXPECT_EQ(R.demo_file, nullptr);
    p = cmdline_parse({"demos/a.zrdemo", "--warp"});
    EXPECT_EQ(p.result.stop, 0);
    EXPECT_TRUE(text_is(R.demo_file, "demos/a.zrdemo"));
    EXPECT_EQ(R.warp, 1);
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--", "a", "b"}, std::vector<std::string>{"a", "b"}}) {
        p = cmdline_parse(args);
        EXPECT_EQ(p.result.stop, 1);
        EXPECT_EQ(p.result.exit_code, 1);
        EXPECT_EQ(p.result.message, "Too many files!\n");
    }
    // --open-home ends parsing where it stands: later mistakes go unreported.
    p = cmdline_parse({"--fugly", "--open-home", "--bogus"});
    EXPECT_EQ(p.result.stop, 1);
    EXPECT_EQ(p.result.exit_code, 0);
    EXPECT_EQ(p.result.open_home, 1);
    EXPECT_EQ(p.result.message, "");
}

TEST(game_cmdline, ConnectKeepsTheRecentServers) {
    parsed p = cmdline_parse({"--track", "tracks/practice", "--connect", "zrsimulator:host"});
    EXPECT_EQ(p.result.stop, 0);
    EXPECT_TRUE(text_is(connect_address, "host"));
    EXPECT_STREQ(settings.server_name.text, "host");
    EXPECT_STREQ(net_recent_servers[0], "host");
    EXPECT_EQ(track_name, nullptr);   // connecting starts no race of its own

    // A new server goes first and the list moves down by one; entry 15 drops off.
    for (int i = 0; i < 16; i++) snprintf(net_recent_servers[i], 128, "server%d", i);
    menu_server_selected = 3;
    std::vector<std::string> words = {"zr", "--connect", "other:19800"};
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    option_cursor cursor = options_begin(3, argv.data());
    EXPECT_EQ(options_parse(&cursor).stop, 0);
    EXPECT_STREQ(net_recent_servers[0], "other:19800");
    EXPECT_STREQ(net_recent_servers[1], "server0");
    EXPECT_STREQ(net_recent_servers[15], "server14");
    EXPECT_EQ(menu_server_selected, -1);
    // The same server again leaves the list as it is.
    menu_server_selected = 2;
    cursor = options_begin(3, argv.data());
    EXPECT_EQ(options_parse(&cursor).stop, 0);
    EXPECT_STREQ(net_recent_servers[0], "other:19800");
    EXPECT_STREQ(net_recent_servers[1], "server0");
    EXPECT_EQ(menu_server_selected, 2);
    // The server name is cut at 127 characters.
    std::string long_name(300, 'h');
    words[2] = long_name;
    argv[2] = words[2].data();
    cursor = options_begin(3, argv.data());
    EXPECT_EQ(options_parse(&cursor).stop, 0);
    EXPECT_EQ(std::string(settings.server_name.text), long_name.substr(0, 127));
    EXPECT_EQ(std::string(net_recent_servers[0]), long_name.substr(0, 127));
}
