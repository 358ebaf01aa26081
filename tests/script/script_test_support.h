// What the script tests share: a fresh console and race state, the limits at their defaults,
// no script left behind, and counting console lines.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/console.h"
#include "race/race.h"
#include "script/script.h"

// Console lines containing the text.
inline int console_count(const char *text) {
    int n = 0;
    for (auto &line : console_log.lines)
        if (line[0] && strstr(line, text)) n++;
    return n;
}

// Every console line, for failure messages.
inline std::string console_dump() {
    std::string all;
    for (int i = 0; i < CONSOLE_LINES; i++) {
        const char *line = console_log.lines[(console_log.head + i) % CONSOLE_LINES];
        if (line[0]) all += line;
    }
    return all;
}

class script_fixture : public ::testing::Test {
  protected:
    void SetUp() override {
        console_clear();
        race_state = {};
        script_limits = {SCRIPT_LOAD_SECONDS, SCRIPT_CALL_SECONDS, SCRIPT_HEAP_BYTES};
    }
    void TearDown() override {
        script_unload();
    }
};
