// Hostile scripts: each call returns, one console line names the file, a stopped script's hooks
// do nothing, and the next race's fresh context works.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "script/script.h"
#include "tests/script/script_test_support.h"
#include "tests/support/test_support.h"

namespace {

std::string data(const char *name) {
    return test_source_dir() + "/tests/script/data/" + name;
}

// After whatever happened, the next race's script runs.
void expect_fresh_context_works() {
    script_unload();
    const char *text = "var n = 0;\nzr.tic_handler = function () { n++; };\nfunction get() { return n; }\n";
    ASSERT_EQ(script_load_text(text, strlen(text), "tracks/t/frills.js"), 1);
    script_tic_hook();
    script_tic_hook();
    EXPECT_EQ(script_call(script_current, "get", nullptr), 2);
}

}  // namespace

TEST_F(script_fixture, HostileScripts) {
    struct {
        const char *file;
        bool hooks;          // the hooks run it (else its top level does the harm)
        const char *error;   // the error line's text after the file name
        int stopped;         // 1 stopped, 0 not, -1 either (heap or time, by the build's speed)
        int lines = 1;       // error lines: one per failing handler
    } cases[] = {
        {"hang_top.js", false, ":1: RangeError: execution timeout", true},
        {"catch_loop.js", false, ":1: RangeError: execution timeout", true},
        {"join_loop.js", false, "RangeError: execution timeout", true},
        {"regexp.js", false, "RangeError", -1},
        {"memory.js", false, ":", -1},
        // The depth limit, or on a slow machine (sanitizers, a loaded host) the time limit first.
        {"recursion.js", false, "RangeError", -1},
        {"bad_utf8.js", false, ": SyntaxError: source decode failed", false},
        {"nul.js", false, ":1: SyntaxError", false},
        {"hang_tick.js", true, ":3: RangeError: execution timeout", true},
        {"getter.js", true, ":1: Error: getter", false},
        {"zr_null.js", true, ": can't find frame_handler_", false, 2},
        {"proxy.js", true, ": 1", false, 2},
    };
    for (auto &k : cases) {
        SCOPED_TRACE(k.file);
        console_clear();
        std::string path = data(k.file);
        ASSERT_EQ(script_load(path.c_str()), 1);
        if (k.hooks) {
            for (int i = 0; i < 3; i++) {
                race_state.current_tick = i;
                script_tic_hook();
                script_frame_hook();
            }
        }
        std::string line = std::string("javascript error: ") + path;
        EXPECT_EQ(console_count(line.c_str()), k.lines) << console_dump();
        if (strncmp(k.error, "Range", 5) == 0) {
            EXPECT_EQ(console_count(k.error), 1) << console_dump();
        } else {
            EXPECT_GE(console_count((line + k.error).c_str()), 1) << console_dump();
        }
        bool stopped = script_current == nullptr;
        if (!stopped) {
            EXPECT_LE(script_current->bytes, SCRIPT_HEAP_BYTES);
        }
        if (k.stopped >= 0) {
            EXPECT_EQ(stopped, k.stopped == 1);
        }
        EXPECT_EQ(console_count("Warning: track script stopped"), stopped ? 1 : 0);
        // A stopped script's hooks do nothing; a live one prints no more errors.
        script_tic_hook();
        script_frame_hook();
        EXPECT_EQ(console_count("javascript error: "), k.lines);
        expect_fresh_context_works();
        script_unload();
    }
}

TEST_F(script_fixture, OversizedFileIsRefused) {
    temp_dir dir;
    std::string path = dir.file("frills.js");
    ASSERT_TRUE(test_write_file(path, std::string(16 << 20, ' ')));
    EXPECT_EQ(script_load(path.c_str()), 0);
    EXPECT_EQ(script_current, nullptr);
    EXPECT_EQ(console_count("file too large"), 1);
}
