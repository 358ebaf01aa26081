// Shared helpers for the test programs: temporary folders, files, environment, subprocesses.
#include "tests/support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

// The sanitizer runtime's hook installer: weak, so a build without sanitizers links and skips.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void *, size_t),
                                                         void (*)(const volatile void *))
    __attribute__((weak));

static std::atomic<size_t> test_largest_block{0};

static void test_note_allocation(const volatile void *, size_t size) {
    size_t seen = test_largest_block.load();
    while (size > seen && !test_largest_block.compare_exchange_weak(seen, size)) {
    }
}

static void test_note_free(const volatile void *) {}

bool test_watch_allocations() {
    static bool installed = __sanitizer_install_malloc_and_free_hooks &&
                            __sanitizer_install_malloc_and_free_hooks(test_note_allocation, test_note_free);
    test_largest_block = 0;
    return installed;
}

size_t test_largest_allocation() {
    return test_largest_block.load();
}

temp_dir::temp_dir() {
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/zrtest.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back(0);
    if (!mkdtemp(buf.data())) abort();
    path = buf.data();
}

temp_dir::~temp_dir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::string test_read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void test_make_dirs(const std::string &path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
}

bool test_write_file(const std::string &path, const std::string &bytes) {
    auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) test_make_dirs(path.substr(0, slash));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

bool test_file_exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void test_isolate_home(const temp_dir &dir) {
    test_make_dirs(dir.file("xdg"));
    test_make_dirs(dir.file("home"));
    test_make_dirs(dir.file("game"));
    setenv("XDG_DATA_HOME", dir.file("xdg").c_str(), 1);
    setenv("HOME", dir.file("home").c_str(), 1);
    setenv("ZR_HOME", dir.file("game").c_str(), 1);
    unsetenv("PLYX_LOGFILE");
    unsetenv("PLYX_LOGFILE_FLAGS");
    unsetenv("PLYX_OPTIONS");
}

int test_run(const std::vector<std::string> &argv, const std::vector<std::string> &env,
             std::string *out, double timeout_seconds) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        for (const std::string &e : env) {
            if (!e.empty() && e[0] == '-') {
                unsetenv(e.c_str() + 1);
            } else {
                auto eq = e.find('=');
                if (eq != std::string::npos)
                    setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
            }
        }
        std::vector<char *> args;
        for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string text;
    auto start = std::chrono::steady_clock::now();
    int status = 0;
    bool done = false;
    for (;;) {
        char buf[4096];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0) {
            text.append(buf, (size_t)n);
            continue;
        }
        if (!done && waitpid(pid, &status, WNOHANG) == pid) done = true;
        if (done && n == 0) break;
        if (done && n < 0) break;  // the child is gone and the pipe is drained
        double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!done && elapsed > timeout_seconds) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            done = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    close(fds[0]);
    if (out) *out = text;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

std::string test_source_dir() {
    const char *s = getenv("ZR_SOURCE_DIR");
    return s ? s : ".";
}

std::string test_binary_dir() {
    const char *s = getenv("ZR_BINARY_DIR");
    return s ? s : ".";
}
