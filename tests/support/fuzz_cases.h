// The fuzz regression cases: every saved input of a target (tests/<folder>/data/fuzz/<target>/)
// and its hand-made seeds (fuzz/seeds/<target>/) fed through the target's input function, with
// the limit the fuzzer sets on a single allocation checked in sanitizer builds.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz.h"

// The sanitizers' allocation hooks (absent from builds without them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void *, size_t),
    void (*free_hook)(const volatile void *)) __attribute__((weak));

inline size_t fuzz_cases_largest = 0;   // the largest single allocation since the last reset

inline void fuzz_cases_malloc_hook(const volatile void *, size_t size) {
    if (size > fuzz_cases_largest) fuzz_cases_largest = size;
}

inline void fuzz_cases_free_hook(const volatile void *) {}

// One input: no sanitizer report (the sanitizers end the test) and no allocation over the limit.
inline void fuzz_cases_feed(const fuzz_target *t, const std::string &label, const std::string &bytes,
                            bool hooked) {
    fuzz_cases_largest = 0;
    t->run(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    if (hooked) {
        EXPECT_LE(fuzz_cases_largest, (size_t)FUZZ_MALLOC_LIMIT_MB << 20)
            << label << ": an allocation of " << fuzz_cases_largest << " bytes";
    }
}

inline void fuzz_cases_run(const char *folder, const char *name) {
    namespace fs = std::filesystem;
    const fuzz_target *t = fuzz_find(name);
    ASSERT_NE(t, nullptr) << name;
    EXPECT_STREQ(t->folder, folder);
    const char *source = getenv("ZR_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    fuzz_setup();
    bool hooked = __sanitizer_install_malloc_and_free_hooks &&
                  __sanitizer_install_malloc_and_free_hooks(fuzz_cases_malloc_hook, fuzz_cases_free_hook);
    std::string root = source;
    std::vector<std::string> files;
    for (std::string dir : {root + "/tests/" + folder + "/data/fuzz/" + name, root + "/fuzz/seeds/" + name})
        if (fs::is_directory(dir))
            for (const auto &e : fs::directory_iterator(dir))
                if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    EXPECT_FALSE(files.empty()) << "no seeds for " << name;
    for (const std::string &file : files) fuzz_cases_feed(t, file, fuzz_read_file(file), hooked);
    // The empty input and a short one always run too.
    fuzz_cases_feed(t, "empty input", "", hooked);
    fuzz_cases_feed(t, "short input", "0 0\n", hooked);
}

// One test of the folder's suite "<folder>_fuzz" per target.
#define ZR_FUZZ_CASES(folder, name) \
    TEST(folder##_fuzz, name) { fuzz_cases_run(#folder, #name); }
