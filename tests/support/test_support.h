// Shared helpers for the test programs: temporary folders, files and environment.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A fresh folder under $TMPDIR (or /tmp), removed with its contents when the object goes.
struct temp_dir {
    std::string path;  // ends without a '/'
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir &) = delete;
    temp_dir &operator=(const temp_dir &) = delete;
    std::string file(const std::string &name) const { return path + "/" + name; }
};

// Whole-file helpers; test_write_file makes missing parent folders.
std::string test_read_file(const std::string &path);
bool test_write_file(const std::string &path, const std::string &bytes);
bool test_file_exists(const std::string &path);
void test_make_dirs(const std::string &path);

// Points XDG_DATA_HOME, HOME and ZR_HOME at folders inside dir and clears PLYX_LOGFILE,
// PLYX_LOGFILE_FLAGS and PLYX_OPTIONS, so a test never touches the user's own files.
void test_isolate_home(const temp_dir &dir);

// Runs argv (argv[0] looked up on PATH) with extra "NAME=value" or "-NAME" (unset) environment
// entries; returns the exit status (128 + signal when killed) and fills out with stdout+stderr.
int test_run(const std::vector<std::string> &argv, const std::vector<std::string> &env,
             std::string *out, double timeout_seconds = 120.0);

// The largest single heap block allocated since the last test_watch_allocations, through the
// sanitizer runtime's allocation hooks. test_watch_allocations returns false (and the caller
// skips) in a build without them.
bool test_watch_allocations();
size_t test_largest_allocation();

// The source and build folders, from the test environment.
std::string test_source_dir();
std::string test_binary_dir();
