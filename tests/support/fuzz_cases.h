// The fuzz regression cases: every saved input of a target (tests/<folder>/data/fuzz/<target>/)
// and its hand-made seeds (fuzz/seeds/<target>/) fed through the target's input function.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fuzz/fuzz.h"

inline void fuzz_cases_run(const char *folder, const char *name) {
    const fuzz_target *t = fuzz_find(name);
    ASSERT_NE(t, nullptr) << name;
    EXPECT_STREQ(t->folder, folder);
    const char *source = getenv("ZR_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    fuzz_setup();
    std::string root = source;
    int fed = fuzz_replay_folder(root + "/tests/" + folder + "/data/fuzz/" + name, t->run);
    fed += fuzz_replay_folder(root + "/fuzz/seeds/" + name, t->run);
    // Every target has seeds; the empty input and a short one always run too.
    t->run(reinterpret_cast<const uint8_t *>(""), 0);
    t->run(reinterpret_cast<const uint8_t *>("0 0\n"), 4);
    EXPECT_GT(fed, 0) << "no seeds for " << name;
}

// One test of the folder's suite "<folder>_fuzz" per target.
#define ZR_FUZZ_CASES(folder, name) \
    TEST(folder##_fuzz, name) { fuzz_cases_run(#folder, #name); }
