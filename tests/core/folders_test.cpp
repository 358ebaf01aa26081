// Search paths from the environment, path joining, the game-data check and the home-folder
// shortcut.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/digest.h"
#include "core/folders.h"
#include "core/mem.h"
#include "core/util.h"
#include "core/vfs.h"
#include "tests/support/test_support.h"

static std::string folder_digest(const std::string &bytes) {
    char hex[41];
    ripemd160_hex_of(bytes.data(), bytes.size(), hex);
    return hex;
}

static std::string folder_exe_dir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    std::string p(buf, (size_t)n);
    return p.substr(0, p.rfind('/') + 1);
}

static void folder_env(const char *name, const char *value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

TEST(core_folders, SearchPathsFollowTheEnvironment) {
    temp_dir t;
    std::string xdg = t.file("xdg"), home = t.file("home"), game = t.file("game");
    std::string exe = folder_exe_dir();
    struct {
        const char *label;
        const char *xdg, *home, *zr_home;
        std::string first, second;
    } cases[] = {
        {"absolute XDG", xdg.c_str(), home.c_str(), game.c_str(), xdg + "/ZR Simulator/",
         game + "/"},
        {"relative XDG", "rel/data", home.c_str(), game.c_str(),
         home + "/.local/share/ZR Simulator/", game + "/"},
        {"empty XDG", "", home.c_str(), game.c_str(), home + "/.local/share/ZR Simulator/",
         game + "/"},
        {"HOME alone", nullptr, home.c_str(), game.c_str(),
         home + "/.local/share/ZR Simulator/", game + "/"},
        {"no home: the game folder comes first", nullptr, nullptr, game.c_str(), game + "/", ""},
        {"Windows-style ZR_HOME", xdg.c_str(), home.c_str(), "C:\\games\\zr\\",
         xdg + "/ZR Simulator/", "C:/games/zr/"},
        {"no ZR_HOME: the executable's folder", xdg.c_str(), home.c_str(), nullptr,
         xdg + "/ZR Simulator/", exe},
        {"empty ZR_HOME counts as unset", xdg.c_str(), home.c_str(), "", xdg + "/ZR Simulator/",
         exe},
    };
    for (auto &c : cases) {
        folder_env("XDG_DATA_HOME", c.xdg);
        folder_env("HOME", c.home);
        folder_env("ZR_HOME", c.zr_home);
        vfs_shutdown();
        ASSERT_NE(path_search_dir(0), nullptr) << c.label;
        EXPECT_EQ(std::string(path_search_dir(0)), c.first) << c.label;
        if (c.second.empty()) {
            EXPECT_EQ(path_search_dir(1), nullptr) << c.label;
        } else {
            ASSERT_NE(path_search_dir(1), nullptr) << c.label;
            EXPECT_EQ(std::string(path_search_dir(1)), c.second) << c.label;
            EXPECT_EQ(path_search_dir(2), nullptr) << c.label;
        }
        EXPECT_EQ(path_search_dir(-1), nullptr);
    }
    vfs_shutdown();
}

TEST(core_folders, WithoutAHomeTheGameFolderTakesTheWrites) {
    temp_dir t;
    test_isolate_home(t);
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    file_stream *s = stream_open("@settings/new.cfg", "wb");
    ASSERT_NE(s, nullptr);
    stream_puts(s, "x\n");
    stream_close(s);
    EXPECT_EQ(test_read_file(t.file("game/settings/new.cfg")), "x\n");
    vfs_shutdown();
}

TEST(core_folders, PathJoinTurnsBackslashesAndCollapsesSlashes) {
    struct {
        const char *a, *b, *want;
    } cases[] = {
        {"C:\\games\\zr\\", "/", "C:/games/zr/"},
        {"/a//b", "///c", "/a/b/c"},
        {"", "", ""},
        {"x", "y", "xy"},
        {"a\\\\b", "\\c\\", "a/b/c/"},
    };
    for (auto &c : cases) {
        char *j = path_join(c.a, c.b);
        ASSERT_NE(j, nullptr);
        EXPECT_STREQ(j, c.want) << c.a << " + " << c.b;
        mem_free(j);
    }
    EXPECT_EQ(path_join(nullptr, "a"), nullptr);
    EXPECT_EQ(path_join("a", nullptr), nullptr);
}

TEST(core_folders, GameDataIsFoundByTheDigestOfItsFirstMegabyte) {
    temp_dir t;
    test_isolate_home(t);
    std::string home = t.file("xdg/ZR Simulator/"), game = t.file("game/");
    std::string small = "a small archive\n";
    std::string big(1048576, 'z');
    for (size_t i = 0; i < big.size(); i += 4099) big[i] = (char)(i * 31);
    std::string small_digest = folder_digest(small);
    std::string big_digest = folder_digest(big);
    struct {
        const char *label;
        std::string home_copy, game_copy;  // "" for none
        std::string digest;
        int want;
    } cases[] = {
        {"a differing home copy does not stop the search", "other bytes", small, small_digest, 1},
        {"a file under 1 MiB is digested whole", "", small, small_digest, 1},
        {"the first MiB decides; the tail is ignored", "", big + "garbage tail", big_digest, 1},
        {"a copy one byte short of the MiB does not match", "", big.substr(1), big_digest, 0},
        {"no copy matches", small + "x", small + "y", small_digest, 0},
        {"no copy at all", "", "", small_digest, 0},
    };
    for (auto &c : cases) {
        remove((home + "zzzz.saf").c_str());
        remove((game + "zzzz.saf").c_str());
        if (!c.home_copy.empty()) test_write_file(home + "zzzz.saf", c.home_copy);
        if (!c.game_copy.empty()) test_write_file(game + "zzzz.saf", c.game_copy);
        vfs_shutdown();
        EXPECT_EQ(vfs_locate_game_data_with(c.digest.c_str()), c.want) << c.label;
    }
    vfs_shutdown();
}

TEST(core_folders, GameDataCheckMakesTheHomeAndNamesTheLogThere) {
    temp_dir t;
    test_isolate_home(t);
    EXPECT_EQ(vfs_locate_game_data_with("0000000000000000000000000000000000000000"), 0);
    std::string home = t.file("xdg/ZR Simulator/");
    struct stat st;
    ASSERT_EQ(stat(home.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    plyx_log("after the naming line\n");
    std::string log = test_read_file(home + "lastlog.txt");
    EXPECT_NE(log.find("after the naming line"), std::string::npos) << log;
    EXPECT_EQ(log.find("PLYX_LOGFILE="), std::string::npos) << log;
    vfs_shutdown();
}

TEST(core_folders, OpenHomeMakesTheFolderAndHandsItToXdgOpen) {
    temp_dir t;
    test_isolate_home(t);
    std::string bin = t.file("bin"), seen = t.file("seen.txt");
    test_write_file(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + seen + ".tmp'\n/bin/mv '" +
                                           seen + ".tmp' '" + seen + "'\n");
    chmod((bin + "/xdg-open").c_str(), 0755);
    setenv("PATH", bin.c_str(), 1);
    path_open_home();
    std::string home = t.file("xdg/ZR Simulator");
    EXPECT_TRUE(test_file_exists(home));
    for (int i = 0; i < 1000 && !test_file_exists(seen); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(test_read_file(seen), home);
    vfs_shutdown();

    // Without xdg-open nothing happens, and nothing waits.
    setenv("PATH", t.file("nowhere").c_str(), 1);
    path_open_home();
    vfs_shutdown();
}
