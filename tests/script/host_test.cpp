// The script host: calls by dotted name, errors with file and line, the hooks' time, and scripts
// that hang, eat memory, recurse, throw or break the engine, each costing a bounded time.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/console.h"
#include "race/race.h"
#include "race/timing.h"
#include "script/script.h"
#include "tests/script/script_test_support.h"
#include "tests/support/test_support.h"

namespace {

// A context with the natives and the prelude, not the current script.
script_context *prelude_context() {
    script_context *c = script_new();
    if (!c) return nullptr;
    script_register_natives_as(c, "zr");
    script_eval(c, script_prelude, strlen(script_prelude), "prelude");
    return c;
}

int eval(script_context *c, const char *text) {
    return script_eval(c, text, strlen(text), "tracks/t/frills.js");
}

}  // namespace

// None of these cases is about the time limits (the hostile scripts are): a call slowed by a
// loaded machine under the sanitizers must not add a time-out error to what they count.
class script_host : public script_fixture {
  protected:
    void SetUp() override {
        script_fixture::SetUp();
        script_limits.call_seconds = 10;
        script_limits.load_seconds = 10;
    }
};

TEST_F(script_host, CallsByDottedNameAndTheirResults) {
    script_context *c = prelude_context();
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(eval(c,
                   "function f39() { return 3.9; }\n"
                   "function fneg() { return -3.9; }\n"
                   "function fx() { return 'x'; }\n"
                   "function fnan() { return NaN; }\n"
                   "function fbig() { return 1e300; }\n"
                   "function fthrow() {\n  throw new Error('boom');\n}\n"
                   "function fargs(a, b) { return Number(a) * 10 + Number(b); }\n"
                   "var holder = { inner: { g: function () { return 7; } } };\n"),
              1)
        << script_error_text(c);
    std::string long_part(1024, 'p'), shorter_part(1023, 'p');
    struct {
        std::string name;
        int result;
        std::string error;   // "" success; else the start of the error text
    } cases[] = {
        {"f39", 3, ""},
        {"fneg", -3, ""},
        {"fx", 0, ""},
        {"fnan", 0, ""},
        {"fbig", 2147483647, ""},
        {"holder.inner.g", 7, ""},
        {"nosuch.f", 0, "can't find f"},
        {"holder.nothing.g", 0, "can't find g"},
        {"holder", 0, "holder is not a function"},
        {"zr.nothing", 0, "nothing is not a function"},
        {long_part, 0, "can't find " + long_part.substr(0, 800)},
        {shorter_part, 0, shorter_part.substr(0, 800) + " is not a function"},
        {"holder." + long_part + ".g", 0, "can't find " + long_part.substr(0, 800)},
    };
    for (auto &k : cases) {
        SCOPED_TRACE(k.name.substr(0, 40));
        EXPECT_EQ(script_call(c, k.name.c_str(), nullptr), k.result);
        EXPECT_EQ(std::string(script_error_text(c)), k.error);
    }
    // The Part's own: the prelude's handler removed.
    ASSERT_EQ(eval(c, "delete zr.frame_handler_;"), 1);
    EXPECT_EQ(script_call(c, "zr.frame_handler_", "0", nullptr), 0);
    EXPECT_STREQ(script_error_text(c), "frame_handler_ is not a function");
    // Text arguments, and an error with its file and line.
    EXPECT_EQ(script_call(c, "fargs", "4", "2", nullptr), 42);
    EXPECT_NE(script_call(c, "fthrow", nullptr), 0);
    EXPECT_STREQ(script_error_text(c), "tracks/t/frills.js:7: Error: boom");
    EXPECT_EQ(script_call(c, "f39", nullptr), 3);
    EXPECT_STREQ(script_error_text(c), "");
    script_free(c);
}

TEST_F(script_host, PreludeDefinitions) {
    timing_gates.count = 1;
    timing_gates.first_lap_length = 5;
    timing_gates.lap_length = 4;
    script_context *c = prelude_context();
    timing_gates.count = 0;
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(eval(c,
                   "function lap1() { return zr.index_to_lap(zr.first_lap_length); }\n"
                   "function index1() { return zr.lap_to_index(1); }\n"
                   "function index3() { return zr.lap_to_index(3); }\n"
                   "function lap_of(i) { return zr.index_to_lap(Number(i)); }\n"
                   "function tps() { return zr.tics_per_second; }\n"
                   "function order() { return zr.get_running_order().length; }\n"
                   "function nopos() { return zr.get_position(3) === null ? 1 : 0; }\n"),
              1);
    EXPECT_EQ(script_call(c, "lap1", nullptr), 1);
    EXPECT_EQ(script_call(c, "index1", nullptr), 4);
    EXPECT_EQ(script_call(c, "index3", nullptr), 12);
    EXPECT_EQ(script_call(c, "lap_of", "4", nullptr), 0);
    EXPECT_EQ(script_call(c, "lap_of", "9", nullptr), 2);
    EXPECT_EQ(script_call(c, "tps", nullptr), 128);
    EXPECT_EQ(script_call(c, "order", nullptr), 0);
    EXPECT_EQ(script_call(c, "nopos", nullptr), 1);
    script_free(c);
}

TEST_F(script_host, SyntaxErrorAtLoadLeavesThePreludeRunning) {
    const char *text = "var a = 1;\nvar = ;\n";
    ASSERT_EQ(script_load_text(text, strlen(text), "tracks/t/frills.js"), 1);
    ASSERT_NE(script_current, nullptr);
    EXPECT_EQ(console_count("javascript error: "), 1);
    EXPECT_EQ(console_count("javascript error: tracks/t/frills.js:2: SyntaxError"), 1);
    race_state.current_tick = 256;
    script_tic_hook();
    script_frame_hook();
    EXPECT_EQ(console_count("javascript error: "), 1);
    EXPECT_NE(script_current, nullptr);
}

TEST_F(script_host, TopLevelThrowKeepsTheHandlerDefinedBeforeIt) {
    const char *text =
        "var ticks = 0;\n"
        "zr.tic_handler = function (t) { ticks++; };\n"
        "function count() { return ticks; }\n"
        "throw new Error('late');\n";
    ASSERT_EQ(script_load_text(text, strlen(text), "tracks/t/frills.js"), 1);
    EXPECT_EQ(console_count("javascript error: tracks/t/frills.js:4: Error: late"), 1);
    for (int i = 0; i < 3; i++) script_tic_hook();
    EXPECT_EQ(script_call(script_current, "count", nullptr), 3);
}

TEST_F(script_host, HooksPassTheTimeLessTheViewDelay) {
    const char *text =
        "var last = -1, frame = -1;\n"
        "zr.tic_handler = function (t) { last = t * 128; };\n"
        "zr.frame_handler = function (t) { frame = t * 128; };\n"
        "function get_last() { return last; }\n"
        "function get_frame() { return frame; }\n";
    ASSERT_EQ(script_load_text(text, strlen(text), "tracks/t/frills.js"), 1);
    struct {
        int tick, delay, expected;
    } cases[] = {{0, 0, 0}, {100, 127, 0}, {127, 127, 0}, {1000, 127, 873}, {38400, 0, 38400}};
    for (auto &k : cases) {
        race_state.current_tick = k.tick;
        race_state.view_delay = k.delay;
        script_tic_hook();
        script_frame_hook();
        EXPECT_EQ(script_call(script_current, "get_last", nullptr), k.expected) << k.tick;
        EXPECT_EQ(script_call(script_current, "get_frame", nullptr), k.expected) << k.tick;
    }
}

TEST_F(script_host, HandlerErrorsPrintOncePerHandler) {
    const char *text =
        "zr.tic_handler = function (t) {\n  throw new Error('tic');\n};\n"
        "zr.frame_handler = function (t) {\n  null.x;\n};\n";
    ASSERT_EQ(script_load_text(text, strlen(text), "tracks/t/frills.js"), 1);
    for (int i = 0; i < 5; i++) {
        script_tic_hook();
        script_frame_hook();
    }
    EXPECT_EQ(console_count("javascript error: tracks/t/frills.js:2: Error: tic"), 1);
    EXPECT_EQ(console_count("javascript error: tracks/t/frills.js:5: TypeError"), 1);
    EXPECT_EQ(console_count("javascript error: "), 2);
    EXPECT_NE(script_current, nullptr);
}

TEST_F(script_host, EachRaceGetsAFreshContext) {
    const char *first = "var g = 7;\nzr.shared = 1;\n";
    const char *second =
        "function fresh() { return (typeof g == 'undefined' && !('shared' in zr)) ? 1 : 0; }\n";
    ASSERT_EQ(script_load_text(first, strlen(first), "tracks/a/frills.js"), 1);
    script_unload();
    EXPECT_EQ(script_current, nullptr);
    ASSERT_EQ(script_load_text(second, strlen(second), "tracks/b/frills.js"), 1);
    EXPECT_EQ(script_call(script_current, "fresh", nullptr), 1);
    script_unload();
    // A track without a script runs none, and says nothing.
    EXPECT_EQ(script_load("@tracks/none/frills.js"), 0);
    EXPECT_EQ(script_current, nullptr);
    script_tic_hook();
    EXPECT_EQ(console_count("javascript error"), 0);
}

TEST_F(script_host, MessagesAreLimitedPerSecondOfRaceTime) {
    const char *text =
        "zr.tic_handler = function (t) { for (var i = 0; i < 15; i++) zr.message('msg' + i); };\n";
    ASSERT_EQ(script_load_text(text, strlen(text), "tracks/t/frills.js"), 1);
    race_state.current_tick = 0;
    script_tic_hook();
    EXPECT_EQ(console_count("msg"), 10);
    race_state.current_tick = 128;
    script_tic_hook();
    EXPECT_EQ(console_count("Warning: 5 script messages not shown"), 1);
    EXPECT_EQ(console_count("msg"), 20);
}

// A native that breaks the engine.
static duk_ret_t native_fatal(duk_context *d) {
    duk_fatal(d, "test fatal");
    return 0;
}

TEST_F(script_host, FatalErrorAbandonsTheEngineAndTheGameGoesOn) {
    script_context *c = prelude_context();
    ASSERT_NE(c, nullptr);
    const char *names[] = {"crash", nullptr};
    const duk_c_function fns[] = {native_fatal, nullptr};
    const int counts[] = {0, 0};
    ASSERT_EQ(script_register_natives(c, "", names, fns, counts), 1);
    ASSERT_EQ(eval(c, "zr.tic_handler = function () { crash(); };"), 1);
    script_current = c;
    script_tic_hook();
    EXPECT_EQ(console_count("javascript error: tracks/t/frills.js: fatal: test fatal"), 1);
    EXPECT_EQ(console_count("Warning: track script stopped"), 1);
    EXPECT_EQ(script_current, nullptr);
    // A fresh context works.
    const char *text = "function ok() { return 5; }\n";
    ASSERT_EQ(script_load_text(text, strlen(text), "tracks/t/frills.js"), 1);
    EXPECT_EQ(script_call(script_current, "ok", nullptr), 5);
}

TEST_F(script_host, UncaughtThrowOutsideProtectedCallIsFatalNotAbort) {
    script_context *c = script_new();
    ASSERT_NE(c, nullptr);
    // A throw with no catcher at all, made through the recovery point as a host entry would.
    jmp_buf jb;
    c->recover = &jb;
    if (setjmp(jb) == 0) {
        duk_push_int(c->duk, 1);
        duk_throw(c->duk);
    }
    EXPECT_TRUE(c->dead);
    EXPECT_EQ(console_count(": fatal: "), 1);
    c->recover = nullptr;
    script_free(c);
}
