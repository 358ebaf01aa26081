// The real program under the test X server: its whole life in the log, a close while it loads,
// the start-up failures and the home-folder shortcut.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "race/demo_format.h"
#include "tests/support/test_support.h"

static std::string game_program() {
    return test_binary_dir() + "/game/zr";
}

// Runs the game with a fresh home folder, sends SIGTERM once the log holds the text and
// returns the game's exit code.
static int game_run_until(const temp_dir &t, const std::string &log_text, std::string *out,
                          const std::string &arguments = "") {
    std::string script =
        "\"$ZR\" " + arguments + " & p=$!; i=0; "
        "until grep -qF \"$WANT\" \"$XDG_DATA_HOME/ZR Simulator/lastlog.txt\" 2>/dev/null; do "
        "  i=$((i+1)); [ $i -gt 1200 ] && break; sleep 0.05; "
        "done; kill -TERM $p; wait $p";
    return test_run({"sh", "-c", script},
                    {"ZR=" + game_program(), "WANT=" + log_text,
                     "XDG_DATA_HOME=" + t.file("xdg"), "HOME=" + t.file("home"), "-ZR_HOME",
                     "-PLYX_LOGFILE", "-PLYX_OPTIONS"},
                    out, 120.0);
}

// The log's lines without their stamps.
static std::vector<std::string> game_log(const temp_dir &t) {
    std::vector<std::string> lines;
    std::stringstream ss(test_read_file(t.file("xdg/ZR Simulator/lastlog.txt")));
    for (std::string line; std::getline(ss, line);) {
        auto at = line.find("] ");
        lines.push_back(at == std::string::npos ? line : line.substr(at + 2));
    }
    return lines;
}

// Each wanted line starts a log line, in this order; other lines may come between.
static void game_expect_in_order(const std::vector<std::string> &log,
                                 const std::vector<std::string> &want) {
    size_t at = 0;
    for (const std::string &w : want) {
        while (at < log.size() && log[at].compare(0, w.size(), w) != 0) at++;
        ASSERT_LT(at, log.size()) << "missing or out of order: \"" << w << "\"";
        at++;
    }
}

static const std::vector<std::string> GAME_SHUTDOWN_LINES = {
    "Deallocating bikes",   "Finished deallocating bikes", "Deallocating track",
    "Freeing memory (1)",   "Closing input devices",       "Closing audio",
    "Writing config files", "Freeing memory (2)",          "Freeing memory (3)",
    "Freeing file list",    "Freeing memory (4)",          "Deleting textures",
    "Deleting models",      "Deleting OpenGL context",     "Destroying window",
    "Window shutdown complete"};

TEST(game_program, WholeLifeInTheLog) {
    temp_dir t;
    std::string out;
    ASSERT_EQ(game_run_until(t, "GL_VERSION: ", &out), 0) << out;
    std::vector<std::string> log = game_log(t);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "Logfile \"" + t.file("xdg") + "/ZR Simulator/lastlog.txt\" opened");
    std::vector<std::string> want = {
        "PLYX 0.31",           "ZR Simulator version 2020-07-17-1524 snapshot",
        "Registry mode is 1280x1024x24@0hz", "Options:",
        " threaded: [off]",    "Creating window",
        "Foregrounded and locked", "Choosing pixel format",
        "Setting pixel format 0", "Creating OpenGL context",
        "GL_VENDOR: ",         "GL_RENDERER: ",
        "GL_VERSION: ",        "GL_EXTENSIONS: "};
    want.insert(want.end(), GAME_SHUTDOWN_LINES.begin(), GAME_SHUTDOWN_LINES.end());
    game_expect_in_order(log, want);
    EXPECT_EQ(log.back(), "Window shutdown complete");
}

TEST(game_program, CloseWhileLoadingShutsDownInOrder) {
    temp_dir t;
    std::string out;
    ASSERT_EQ(game_run_until(t, "Registry mode is", &out), 0) << out;
    game_expect_in_order(game_log(t), GAME_SHUTDOWN_LINES);
}

TEST(game_program, StartUpFailures) {
    temp_dir t;
    test_make_dirs(t.file("empty"));
    struct {
        const char *label;
        std::vector<std::string> env;
        std::vector<std::string> output;   // all of them appear on standard error
    } cases[] = {
        {"no game data",
         {"ZR_HOME=" + t.file("empty"), "-DISPLAY", "-WAYLAND_DISPLAY"},
         {"Problem starting ZR Simulator: Can't find game data\n"}},
        {"no window", {"SDL_VIDEODRIVER=dummy"}, {"Can't create window!", "SDL: "}},
    };
    for (auto &c : cases) {
        std::vector<std::string> env = {"XDG_DATA_HOME=" + t.file("xdg"), "HOME=" + t.file("home"),
                                        "-PLYX_LOGFILE", "-PLYX_OPTIONS"};
        env.insert(env.end(), c.env.begin(), c.env.end());
        std::string out;
        EXPECT_EQ(test_run({game_program()}, env, &out, 60.0), 1) << c.label << "\n" << out;
        for (const std::string &text : c.output)
            EXPECT_NE(out.find(text), std::string::npos) << c.label << "\n" << out;
    }
}

TEST(game_program, OpenHomeAloneOpensTheFolderWithoutAWindow) {
    temp_dir t;
    std::string stub = t.file("bin/xdg-open");
    ASSERT_TRUE(test_write_file(stub, "#!/bin/sh\nprintf '%s' \"$1\" > \"$STUB_OUT.tmp\"\n"
                                      "mv \"$STUB_OUT.tmp\" \"$STUB_OUT\"\n"));
    ASSERT_EQ(chmod(stub.c_str(), 0755), 0);
    const char *path = getenv("PATH");
    std::string out;
    EXPECT_EQ(test_run({game_program(), "--open-home"},
                       {"PATH=" + t.file("bin") + ":" + (path ? path : "/usr/bin:/bin"),
                        "STUB_OUT=" + t.file("stub.txt"), "XDG_DATA_HOME=" + t.file("xdg"),
                        "HOME=" + t.file("home"), "-PLYX_LOGFILE"},
                       &out, 60.0),
              0)
        << out;
    // The shortcut does not wait for the desktop.
    for (int i = 0; i < 200 && !test_file_exists(t.file("stub.txt")); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(test_read_file(t.file("stub.txt")), t.file("xdg") + "/ZR Simulator");
    EXPECT_FALSE(test_file_exists(t.file("xdg/ZR Simulator/lastlog.txt")));
}

TEST(game_program, ConfigWrittenAtShutdownReadsBackTheSame) {
    temp_dir t;
    std::string out;
    ASSERT_EQ(game_run_until(t, "GL_VERSION: ", &out), 0) << out;
    std::string config = t.file("xdg/ZR Simulator/config");
    std::string first = test_read_file(config);
    EXPECT_EQ(first, test_read_file(test_source_dir() + "/tests/game/data/first_run_config"));
    EXPECT_FALSE(test_file_exists(config + ".tmp"));
    // The second run reads it: the wait starts over with a new log.
    ASSERT_EQ(unlink(t.file("xdg/ZR Simulator/lastlog.txt").c_str()), 0);
    ASSERT_EQ(game_run_until(t, "GL_VERSION: ", &out), 0) << out;
    EXPECT_EQ(test_read_file(config), first);
}

TEST(game_program, CommandLineErrorsEndBeforeTheWindow) {
    temp_dir t;
    struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"--erode", "nan"}, "Bad arg for --erode\n"},
        {{"--fugly=1"}, "bad option '--fugly=1'\n"},
        {{"--", "a", "b"}, "Too many files!\n"},
    };
    for (auto &c : cases) {
        std::vector<std::string> argv = {game_program()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string out;
        EXPECT_EQ(test_run(argv,
                           {"XDG_DATA_HOME=" + t.file("xdg"), "HOME=" + t.file("home"),
                            "-ZR_HOME", "-PLYX_LOGFILE", "-PLYX_OPTIONS"},
                           &out, 60.0),
                  1)
            << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_EQ(test_read_file(t.file("xdg/ZR Simulator/lastlog.txt")).find("Creating window"),
                  std::string::npos);
    }
}

TEST(game_program, TrackNamesStartTheRaceOrEndStartUp) {
    temp_dir t;
    std::string out;
    ASSERT_EQ(game_run_until(t, "Max loading delay was", &out, "--track practice"), 0) << out;
    game_expect_in_order(game_log(t), {"Resetting", "Cleaning up", "Analyzing lines",
                                       "Loading bikes", "Max loading delay was"});
    EXPECT_NE(test_read_file(t.file("xdg/ZR Simulator/config")).find("\ntrack=tracks/practice\n"),
              std::string::npos);

    temp_dir u;
    std::vector<std::string> env = {"XDG_DATA_HOME=" + u.file("xdg"), "HOME=" + u.file("home"),
                                    "-ZR_HOME", "-PLYX_LOGFILE", "-PLYX_OPTIONS"};
    EXPECT_EQ(test_run({game_program(), "--track", "nosuch"}, env, &out, 60.0), 1) << out;
    EXPECT_NE(out.find("No track named 'nosuch'\n"), std::string::npos) << out;
    EXPECT_EQ(test_read_file(u.file("xdg/ZR Simulator/lastlog.txt")).find("Resetting"),
              std::string::npos);
}

// A demo named on the command line: its track and riders load, and the program ends cleanly.
TEST(game_program, PlaysADemoNamedOnTheCommandLine) {
    temp_dir t;
    demo_header h;
    h.version = 6;
    h.finish_time = 0;
    h.finish_laps = 2;
    h.gate_drop_tick = 1792;
    h.track = "tracks/hillside";
    for (const char *number : {"21", "34"}) {
        demo_header_rider r;
        r.model = "yz250f";
        r.number = number;
        r.name = "Rider";
        h.riders.push_back(r);
    }
    std::string bytes = demo_header_text(h);
    uint32_t last = 0;
    for (int tick = 0; tick <= 1024; tick += 16) {
        std::vector<demo_state_record> records;
        for (int o = 0; o < 2; o++) {
            demo_state_record r = {o, (uint32_t)tick, {}};
            for (int i = 0; i < 39; i++) r.state[i] = (unsigned char)(128 + o);   // mid-track, level
            records.push_back(r);
        }
        demo_frame_append(bytes, last, tick, DEMO_FRAME_STATES, demo_states_payload(records));
    }
    std::string demo = t.file("race1.zrdemo");
    ASSERT_TRUE(test_write_file(demo, bytes));
    std::string out;
    EXPECT_EQ(game_run_until(t, "Loading bikes", &out, "--nosound '" + demo + "'"), 0) << out;
    std::vector<std::string> log = game_log(t);
    game_expect_in_order(log, {"Resetting", "Loading bikes"});
}
