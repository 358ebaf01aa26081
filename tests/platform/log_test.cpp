// The platform log: naming, modes, stamps, hidden messages and whole lines across threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/plyx.h"
#include "tests/support/test_support.h"

static std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line)) out.push_back(line);
    return out;
}

// The text of a line after its stamp "[h:mm:ss.hh] "; "<no stamp>" when the stamp is malformed.
static std::string unstamped(const std::string &line) {
    // Pattern: '[' digits ':' d d ':' d d '.' d d ']' ' ', with 'd' any digit.
    size_t i = 0;
    if (line.empty() || line[i++] != '[') return "<no stamp>";
    size_t digits = 0;
    while (i < line.size() && isdigit((unsigned char)line[i])) i++, digits++;
    if (digits == 0) return "<no stamp>";
    for (char want : std::string(":dd:dd.dd] ")) {
        if (i >= line.size()) return "<no stamp>";
        char c = line[i++];
        if (want == 'd' ? !isdigit((unsigned char)c) : c != want) return "<no stamp>";
    }
    return line.substr(i);
}

TEST(platform_log, FirstMessageNamesTheFileAndIsNotWritten) {
    temp_dir dir;
    unsetenv("PLYX_LOGFILE");
    unsetenv("PLYX_LOGFILE_FLAGS");
    std::string path = dir.file("last.txt");
    test_write_file(path, "old contents\n");
    plyx_log("PLYX_LOGFILE=%s", path.c_str());
    plyx_log("hello %d\n", 42);
    plyx_log("PLYX_LOGFILE=later messages of this form are ordinary\n");
    plyx_log_close();
    plyx_log("after close\n");
    auto lines = lines_of(test_read_file(path));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(unstamped(lines[0]), "Logfile \"" + path + "\" opened");
    EXPECT_EQ(unstamped(lines[1]), "PLYX 0.31");
    EXPECT_EQ(unstamped(lines[2]), "hello 42");
    EXPECT_EQ(unstamped(lines[3]), "PLYX_LOGFILE=later messages of this form are ordinary");
}

TEST(platform_log, EnvironmentNamesAndModes) {
    if (getenv("ZR_LOG_CHILD")) {
        plyx_log("PLYX_LOGFILE=/ignored/path.txt");
        plyx_log("one line\n");
        return;
    }
    struct {
        const char *env_prefix;   // PLYX_LOGFILE is this prefix + path
        const char *flags;        // PLYX_LOGFILE_FLAGS, or null
        bool keeps_old;
    } cases[] = {
        {">>", nullptr, true},
        {">", nullptr, false},
        {"", nullptr, false},
        {"", "a", true},
        {">>", "w", false},
    };
    for (auto &c : cases) {
        temp_dir dir;
        std::string path = dir.file("x.txt");
        test_write_file(path, "old\n");
        std::string arg = std::string(c.env_prefix) + path;
        // Each case needs a fresh process: the log is set up once per process. The child is
        // this test again, in its writing role.
        std::vector<std::string> env = {"ZR_LOG_CHILD=1", "PLYX_LOGFILE=" + arg,
                                        "-PLYX_LOGFILE_FLAGS"};
        if (c.flags) env.push_back(std::string("PLYX_LOGFILE_FLAGS=") + c.flags);
        std::string out;
        ASSERT_EQ(test_run({"/proc/self/exe", "--gtest_filter=platform_log.EnvironmentNamesAndModes"},
                           env, &out),
                  0)
            << out;
        std::string text = test_read_file(path);
        EXPECT_EQ(text.rfind("old\n", 0) == 0, c.keeps_old) << arg << " " << text;
        EXPECT_NE(text.find("Logfile \"" + path + "\" opened"), std::string::npos) << text;
        // The naming message is not written when the environment names the file.
        EXPECT_EQ(text.find("PLYX_LOGFILE=/ignored"), std::string::npos);
        EXPECT_NE(text.find("one line"), std::string::npos);
    }
}

TEST(platform_log, HiddenMessagesAndNoLog) {
    temp_dir dir;
    std::string path = dir.file("log.txt");
    setenv("PLYX_LOGFILE", path.c_str(), 1);
    plyx_log("\x13secret\n");
    plyx_log("shown\n");
    std::string text = test_read_file(path);
    EXPECT_EQ(text.find("secret"), std::string::npos);
    EXPECT_NE(text.find("shown"), std::string::npos);
}

TEST(platform_log, NoNameMeansNoLog) {
    temp_dir dir;
    unsetenv("PLYX_LOGFILE");
    chdir(dir.path.c_str());
    plyx_log("first message names nothing\n");
    plyx_log("PLYX_LOGFILE=%s", dir.file("late.txt").c_str());
    EXPECT_FALSE(test_file_exists(dir.file("late.txt")));
}

TEST(platform_log, ThreadsLeaveEveryLineWhole) {
    temp_dir dir;
    std::string path = dir.file("log.txt");
    setenv("PLYX_LOGFILE", path.c_str(), 1);
    plyx_log("start\n");
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; t++)
        threads.emplace_back([t] {
            for (int i = 0; i < 1000; i++) plyx_log("thread %d line %04d end\n", t, i);
        });
    for (auto &th : threads) th.join();
    // A long message (larger than any fixed buffer) still arrives whole.
    std::string big(9000, 'x');
    plyx_log("%s|\n", big.c_str());
    int counts[8] = {0};
    int big_seen = 0;
    for (const std::string &line : lines_of(test_read_file(path))) {
        std::string text = unstamped(line);
        int t, i, n = 0;
        if (sscanf(text.c_str(), "thread %d line %4d end%n", &t, &i, &n) == 2 &&
            n == (int)text.size() && t >= 0 && t < 8)
            counts[t]++;
        else if (text == big + "|")
            big_seen++;
        else
            EXPECT_TRUE(line.find("Logfile") != std::string::npos || line.find("PLYX") !=
                        std::string::npos || line.find("start") != std::string::npos)
                << line;
    }
    for (int t = 0; t < 8; t++) EXPECT_EQ(counts[t], 1000) << t;
    EXPECT_EQ(big_seen, 1);
}

TEST(platform_log, ErrorKeepsACopy) {
    unsetenv("PLYX_LOGFILE");
    EXPECT_STREQ(plyx_last_error(), "Unknown");
    char text[32] = "window failed";
    plyx_log_error(text);
    strcpy(text, "overwritten");
    EXPECT_STREQ(plyx_last_error(), "window failed");
    plyx_last_error_append(" (reason)");
    EXPECT_STREQ(plyx_last_error(), "window failed (reason)");
}
