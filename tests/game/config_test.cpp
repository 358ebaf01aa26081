// "@config": every key written and read back, the first-run file, hostile files, a failed
// write, the Video Mode options, the stock-shape fingerprint and the C locale.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "core/console.h"
#include "core/digest.h"
#include "core/globals.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "game/config.h"
#include "game/settings_table.h"
#include "game/setup.h"
#include "net/client.h"
#include "platform/plyx.h"
#include "tests/support/test_support.h"

static std::string home_file(const temp_dir &t, const std::string &name) {
    return t.file("xdg/ZR Simulator/" + name);
}

// A fresh home and game folder; the file index and search paths start over.
static void config_fixture(const temp_dir &t) {
    test_isolate_home(t);
    test_make_dirs(home_file(t, ""));
    vfs_shutdown();
}

static std::string number(double v) {
    char text[64];
    snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// Every setting the table reaches, exactly (numbers to the last bit).
static std::string config_dump() {
    std::string out;
    setting_table t = settings_table();
    for (int i = 0; i < t.count; i++) {
        const setting_key &k = t.keys[i];
        out += std::string(k.key) + ":";
        switch (k.kind) {
        case SETTING_INT: out += std::to_string(*k.target.integer); break;
        case SETTING_FLOAT: out += number(*k.target.real); break;
        case SETTING_SLIDER: out += number(k.target.slider->value); break;
        case SETTING_CHOICE: out += std::to_string(k.target.choice->current); break;
        case SETTING_TEXT: out += k.target.field->text; break;
        case SETTING_BUFFER: out += k.target.buffer; break;
        case SETTING_BINDING: {
            const control_binding *b = k.target.binding;
            out += std::string(b->key_name ? b->key_name : "-") + "|" +
                   (b->axis_name ? b->axis_name : "-") + "|" + number(b->axis_min) + "|" +
                   number(b->axis_max);
            break;
        }
        case SETTING_TRACK: out += choice_text(k.target.choice); break;
        case SETTING_USE_FBO:
        case SETTING_IGNORED: break;
        }
        out += "\n";
    }
    return out;
}

// A text of n characters with blanks, parentheses and '='.
static std::string odd_text(int n, char first) {
    std::string pattern = std::string(1, first) + "b (c)=d ";
    std::string out;
    while ((int)out.size() < n) out += pattern;
    return out.substr(0, (size_t)n);
}

// Moves every key away from its default, each in a way its kind allows.
static void config_set_all_away(const setting_key &k, int i) {
    switch (k.kind) {
    case SETTING_INT:
        *k.target.integer = (int)k.number + 7 + i;
        break;
    case SETTING_FLOAT:
        *k.target.real = 2.5f;
        break;
    case SETTING_SLIDER: {
        slider_widget *s = k.target.slider;
        for (double fraction : {0.75, 0.5}) {
            char text[64];
            snprintf(text, sizeof text, "%f", s->minimum + (s->maximum - s->minimum) * fraction);
            s->value = strtod(text, nullptr);
            if (s->value != k.number) break;
        }
        break;
    }
    case SETTING_CHOICE: {
        choice_widget *c = k.target.choice;
        c->current = c->current == c->option_count - 1 ? 0 : c->option_count - 1;
        break;
    }
    case SETTING_TEXT:
        snprintf(k.target.field->text, (size_t)k.max_length + 1, "%s",
                 odd_text(k.max_length, (char)('A' + i % 26)).c_str());
        break;
    case SETTING_BUFFER: {
        // A recent server of 127 characters would be dropped: 126 is the longest kept.
        int n = k.flags & SETTING_TOO_LONG_IGNORED ? k.max_length - 1 : k.max_length;
        snprintf(k.target.buffer, (size_t)n + 1, "%s", odd_text(n, (char)('a' + i % 26)).c_str());
        break;
    }
    case SETTING_BINDING:
        // Both written forms, an inverted axis and an empty range among them.
        if (i % 3 == 0)
            config_parse_binding(k.target.binding, "(0.25,-0.75)joystick 1 axis 2");
        else if (i % 3 == 1)
            config_parse_binding(k.target.binding, "(k)keypad 5");
        else
            config_parse_binding(k.target.binding, "(0.5,0.5)mouse-x");
        break;
    case SETTING_TRACK:
        k.target.choice->current = 1;
        break;
    case SETTING_USE_FBO:
    case SETTING_IGNORED:
        break;
    }
}

static const char *TRACKS[] = {"tracks/x", "tracks/a b (c)", "tracks/z"};
static const display_mode MODES[] = {
    {1920, 1080, 32}, {1280, 1024, 32}, {800, 600, 16}, {1024, 768, 32}, {0, 0, 0}};

// What start-up lists before reading "@config": the display modes and the catalogue.
static void config_lists() {
    config_build_video_modes(MODES);
    settings.track.options = TRACKS;
    settings.track.option_count = 3;
}

TEST(game_config, EveryKeyReadsBackAsWritten) {
    temp_dir t;
    config_fixture(t);
    config_lists();
    setting_table table = settings_table();
    for (int i = 0; i < table.count; i++) config_set_all_away(table.keys[i], i);
    std::string before = config_dump();
    ASSERT_EQ(config_write(), 1);
    EXPECT_FALSE(test_file_exists(home_file(t, "config.tmp")));
    std::string written = test_read_file(home_file(t, "config"));
    ASSERT_EQ(strlen(settings.rider_texture), (size_t)TEXTURE_NAME_MAX);
    EXPECT_NE(written.find(std::string("\nrider_texture=") + settings.rider_texture + "\n"),
              std::string::npos);
    EXPECT_NE(written.find("throttle_key=(0.250000,-0.750000)joystick 1 axis 2\n"),
              std::string::npos);
    EXPECT_NE(written.find("slot00=Robot (4 stroke)\n"), std::string::npos);
    EXPECT_NE(written.find("track=tracks/a b (c)\n"), std::string::npos);
    EXPECT_NE(written.find("video_mode=1024x768\n"), std::string::npos);

    settings_reset();
    config_lists();
    EXPECT_NE(config_dump(), before);
    config_read();
    config_select_start_track();
    EXPECT_EQ(config_dump(), before);
    ASSERT_EQ(config_write(), 1);
    EXPECT_EQ(test_read_file(home_file(t, "config")), written);
}

TEST(game_config, FirstRunFileIsTheGoldenOne) {
    temp_dir t;
    config_fixture(t);
    // Start-up before "@config": the display modes (none here), the catalogue, the default
    // bike with its stability preset and the graphics settings' start-up values.
    config_build_video_modes(nullptr);
    static const char *tracks[] = {"tracks/hillside"};   // the catalogue's first
    settings.track.options = tracks;
    settings.track.option_count = 1;
    setup_select_bike("yz250f(2017)");
    setup_apply_stability_preset((int)settings.stability.value);
    settings_apply_graphics_preset(0);
    config_read();   // there is none yet
    ASSERT_EQ(config_write(), 1);
    std::string written = test_read_file(home_file(t, "config"));
    EXPECT_EQ(written, test_read_file(test_source_dir() + "/tests/game/data/first_run_config"));
    for (const char *line : {"minutes=0.000000\n", "throttle_key=(k)x\n", "slot19=Human\n",
                             "slot17=Robot\n", "slot23=Empty\n", "server_name=localhost\n",
                             "render_texture=Software\n", "video_mode=Default Fullscreen\n"})
        EXPECT_NE(written.find(line), std::string::npos) << line;
    EXPECT_EQ(written.find("use_fbo"), std::string::npos);
    EXPECT_EQ(written.find("ground_texture_distance"), std::string::npos);
}

// Every number the table reaches is finite.
static void expect_all_finite(const std::string &label) {
    setting_table t = settings_table();
    for (int i = 0; i < t.count; i++) {
        const setting_key &k = t.keys[i];
        if (k.kind == SETTING_SLIDER) {
            EXPECT_TRUE(std::isfinite(k.target.slider->value)) << label << " " << k.key;
        }
        if (k.kind == SETTING_FLOAT) {
            EXPECT_TRUE(std::isfinite(*k.target.real)) << label << " " << k.key;
        }
        if (k.kind == SETTING_BINDING) {
            EXPECT_TRUE(std::isfinite(k.target.binding->axis_min) &&
                        std::isfinite(k.target.binding->axis_max))
                << label << " " << k.key;
        }
    }
}

static bool console_holds(const char *text) {
    for (const auto &line : console_log.lines)
        if (strstr(line, text)) return true;
    return false;
}

TEST(game_config, HostileFilesLeaveSaneSettings) {
    temp_dir t;
    config_fixture(t);
    const control_binding &throttle = settings.bindings[BINDING_THROTTLE];
    std::string long_line = "name=" + std::string(4989, 'a') + "xres=1\n";
    struct {
        std::string file;
        std::function<bool()> check;
        const char *warning;
    } cases[] = {
        {"fov=500\n", [] { return settings.fov.value == 170; }, nullptr},
        {"fov=5\n", [] { return settings.fov.value == 10; }, nullptr},
        {"map_scale=0.01\n", [] { return settings.map_scale == 0.125f; }, nullptr},
        {"map_scale=100\n", [] { return settings.map_scale == 8.0f; }, nullptr},
        {"throttle_key=(0.1,0.9)joystick 1 axis 0\n",
         [&] {
             return throttle.key_name == nullptr &&
                    strcmp(throttle.axis_name, "joystick 1 axis 0") == 0 &&
                    throttle.axis_min == 0.1f && throttle.axis_max == 0.9f;
         },
         nullptr},
        {"throttle_key=(k)x\n",
         [&] { return strcmp(throttle.key_name, "x") == 0 && !throttle.axis_name; }, nullptr},
        {"throttle_key=  q\n",
         [&] { return strcmp(throttle.key_name, "q") == 0 && !throttle.axis_name; }, nullptr},
        {"throttle_key=(abc)x\n", [&] { return strcmp(throttle.key_name, "(abc)x") == 0; },
         nullptr},
        {"throttle_key=(0.9,0.1)inverted\n",
         [&] { return throttle.axis_min == 0.9f && throttle.axis_max == 0.1f; }, nullptr},
        {"throttle_key=(0.5,0.5)AXIS\n",
         [&] {
             return strcmp(throttle.axis_name, "AXIS") == 0 && throttle.axis_min == 0.5f &&
                    throttle.axis_max == 0.5f;
         },
         "Warning: empty axis range for Throttle"},
        {"throttle_key=(nan,1)axis\nfront_brake_key=(0,1e999)axis\n",
         [&] {
             return strcmp(throttle.key_name, "x") == 0 &&
                    strcmp(settings.bindings[BINDING_FRONT_BRAKE].key_name, "c") == 0;
         },
         nullptr},
        {"use_fbo=No\n",
         [] { return strcmp(choice_text(&settings.render_texture), "Hardware/Copy") == 0; },
         nullptr},
        {"use_fbo=No\nrender_texture=Shaders/Copy\n",
         [] { return strcmp(choice_text(&settings.render_texture), "Shaders/Copy") == 0; },
         nullptr},
        {"render_texture=Software\nuse_fbo=Yes\n",
         [] { return strcmp(choice_text(&settings.render_texture), "Hardware/Direct") == 0; },
         nullptr},
        {"bike=yz250f\n", [] { return strcmp(choice_text(&settings.bike), "yz250f(2008)") == 0; },
         nullptr},
        {"bike=no such bike\nskill=Expert (hard)\n",
         [] {
             return strcmp(choice_text(&settings.bike), "yz250f(2017)") == 0 &&
                    settings.robot_skill.current == 0;
         },
         nullptr},
        {"server_name_hist03=" + std::string(127, 'h') + "\nserver_name_hist04=" +
             std::string(126, 'k') + "\n",
         [] {
             return net_recent_servers[3][0] == 0 &&
                    std::string(net_recent_servers[4]) == std::string(126, 'k');
         },
         nullptr},
        {"name=" + std::string(100, 'n') + "\n",
         [] { return std::string(settings.rider_name.text) == std::string(63, 'n'); }, nullptr},
        {"fov=nan\nlaps=inf\nminutes=0e5000\nmap_scale=nan\nxres=nan\n",
         [] {
             return settings.fov.value == 110 && settings.laps.value == 5 &&
                    settings.minutes.value == 0 && settings.map_scale == 1.0f &&
                    settings.xres == 640;
         },
         nullptr},
        {"fov=1e999\nvolume=-1e999\nroll_damping=0x1p5\n",
         [] {
             return settings.fov.value == 110 && settings.volume.value == 10 &&
                    settings.roll_damping.value == 32;
         },
         nullptr},
        {"fov=0e5000\n", [] { return settings.fov.value == 10; }, nullptr},
        {long_line + "yres=600\n", [] { return settings.xres == 640 && settings.yres == 600; },
         nullptr},
        {"message_lines=99999\n", [] { return message_lines == 1000; }, nullptr},
        {"message_lines=-4\n", [] { return message_lines == 0; }, nullptr},
        {"xres=-5\nyres=-1\n", [] { return settings.xres == 640 && settings.yres == 480; },
         nullptr},
        {"xres=99999999999\nspy=12abc\n",
         [] { return settings.xres == INT_MAX && settings.spy == 12; }, nullptr},
        {"fov=90\r\nlaps=7\r\nname=Bob\r\r\n",
         [] {
             return settings.fov.value == 90 && settings.laps.value == 7 &&
                    strcmp(settings.rider_name.text, "Bob") == 0;
         },
         nullptr},
        {"=5\nnoequals\nunknown_key=3\nfov\n=\n", [] { return settings.fov.value == 110; },
         nullptr},
        {"laps=9", [] { return settings.laps.value == 9; }, nullptr},   // no final line feed
    };
    for (auto &c : cases) {
        ASSERT_TRUE(test_write_file(home_file(t, "config"), c.file));
        settings_reset();
        console_clear();
        config_read();
        EXPECT_TRUE(c.check()) << c.file.substr(0, 200);
        if (c.warning) {
            EXPECT_TRUE(console_holds(c.warning)) << c.warning;
        }
        expect_all_finite(c.file.substr(0, 40));
    }

    // Random bytes with zeros among them.
    std::mt19937 random(12345);
    std::string noise;
    for (int i = 0; i < 20000; i++) noise += (char)(random() % 4 == 0 ? '=' : random() & 0xff);
    noise += std::string("\0fov=\0\n", 7);
    ASSERT_TRUE(test_write_file(home_file(t, "config"), noise));
    settings_reset();
    config_read();
    expect_all_finite("noise");
}

// The old "@config" survives a write that fails, and the failure is reported.
TEST(game_config, FailedWriteKeepsTheOldFile) {
    temp_dir t;
    config_fixture(t);
    std::string old = "fov=42.000000\n";
    ASSERT_TRUE(test_write_file(home_file(t, "config"), old));
    // A file size limit in a child: the write stops part way.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        int written = config_write();
        _exit(written == 0 && console_holds("Warning: couldn't write config") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test_read_file(home_file(t, "config")), old);
    EXPECT_FALSE(test_file_exists(home_file(t, "config.tmp")));

    // A folder where the temporary file must go.
    test_make_dirs(home_file(t, "config.tmp"));
    console_clear();
    EXPECT_EQ(config_write(), 0);
    EXPECT_TRUE(console_holds("Warning: couldn't write config"));
    EXPECT_EQ(test_read_file(home_file(t, "config")), old);
}

TEST(game_config, VideoModesFromTheDisplayModes) {
    config_build_video_modes(MODES);
    const char *want[] = {"Default Fullscreen", "Windowed", "1920x1080", "1280x1024",
                          "1024x768"};
    ASSERT_EQ(settings.video_mode.option_count, 5);
    for (int i = 0; i < 5; i++) EXPECT_STREQ(settings.video_mode.options[i], want[i]);
    int w, h;
    config_video_mode_size(4, &w, &h);
    EXPECT_EQ(w * 10000 + h, 1024 * 10000 + 768);
    config_video_mode_size(1, &w, &h);
    EXPECT_EQ(w + h, 0);
    config_video_mode_size(9, &w, &h);
    EXPECT_EQ(w + h, 0);
    // A selection past the new list's end falls back to the first option.
    settings.video_mode.current = 4;
    const display_mode none[] = {{0, 0, 0}};
    config_build_video_modes(none);
    EXPECT_EQ(settings.video_mode.option_count, 2);
    EXPECT_EQ(settings.video_mode.current, 0);
    config_build_video_modes(nullptr);
    ASSERT_EQ(settings.video_mode.option_count, 2);
    EXPECT_STREQ(settings.video_mode.options[1], "Windowed");
}

static std::string digest_of(const std::string &bytes) {
    char hex[41];
    ripemd160_hex_of(bytes.data(), bytes.size(), hex);
    return hex;
}

TEST(game_config, StockShapeFingerprint) {
    temp_dir t;
    config_fixture(t);
    const char *shapes[] = {"generic_frame.shp", "generic_fork_upper.shp",
                            "generic_fork_lower.shp", "generic_swingarm.shp", "front_wheel.shp",
                            "rear_wheel.shp", "generic_rider.shp"};
    char hex[41];
    // None there: the digest of nothing (the published RIPEMD-160 of "").
    util_stock_models_digest(hex);
    EXPECT_STREQ(hex, "9c1185a5c5e9fc54612808977ee8f548b2258d31");
    // The files back to back, in order, a missing one skipped; blocks of 1024 bytes do not show.
    std::string all;
    for (int i = 0; i < 7; i++) {
        if (i == 3) continue;
        std::string bytes = std::string(700 * i + 5, (char)('0' + i));
        ASSERT_TRUE(test_write_file(t.file("game/") + shapes[i], bytes));
        all += bytes;
    }
    vfs_shutdown();
    vfs_build_index();
    util_stock_models_digest(hex);
    EXPECT_EQ(std::string(hex), digest_of(all));
    util_check_stock_models();
    EXPECT_EQ(stock_models_match, 0);

    // The generated game data matches, until the home folder holds a changed shape.
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_shutdown();
    vfs_build_index();
    util_check_stock_models();
    EXPECT_EQ(stock_models_match, 1);
    ASSERT_TRUE(test_write_file(home_file(t, "generic_rider.shp"), "1\n0 0 0 1 1 1 1\n"));
    vfs_shutdown();
    vfs_build_index();
    util_check_stock_models();
    EXPECT_EQ(stock_models_match, 0);
    vfs_shutdown();
}

// Numbers in files always use '.': the platform never switches to the user's locale.
TEST(game_config, NumbersStayInTheCLocale) {
    temp_dir t;
    config_fixture(t);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    setenv("LC_NUMERIC", "de_DE.UTF-8", 1);
    config_build_video_modes(plyx_display_modes());
    window_context *w = plyx_gl_open("locale", 64, 64, 16, 0, 16, 0, 0);
    EXPECT_STREQ(localeconv()->decimal_point, ".");
    ASSERT_EQ(config_write(), 1);
    EXPECT_NE(test_read_file(home_file(t, "config")).find("fov=110.000000\n"), std::string::npos);
    if (w) plyx_gl_close(w);
    plyx_shutdown();
}
