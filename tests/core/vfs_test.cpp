// Virtual paths and the file index: precedence of folders, archives and ".gz" copies, archive
// headers written byte by byte, writes and backups, renames, and the folder scan.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/folders.h"
#include "core/globals.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "tests/support/test_support.h"

static int vfs_console_lines_with(const char *text) {
    int n = 0;
    for (auto &line : console_log.lines)
        if (strstr(line, text)) n++;
    return n;
}

// The content of an '@' name, or "<none>".
static std::string vfs_read(const char *name) {
    char *s = file_to_string(name);
    if (!s) return "<none>";
    std::string out(s);
    mem_free(s);
    return out;
}

// A gzip member of "data" made by the gzip tool.
static std::string vfs_gzip(const temp_dir &t, const std::string &data) {
    test_write_file(t.file("gz-src"), data);
    std::string out;
    test_run({"sh", "-c", "gzip -nc '" + t.file("gz-src") + "' > '" + t.file("gz-src.gz") + "'"},
             {}, &out);
    return test_read_file(t.file("gz-src.gz"));
}

struct vfs_folders {
    temp_dir t;
    std::string home, game;
    vfs_folders() {
        test_isolate_home(t);
        home = t.file("xdg/ZR Simulator/");
        game = t.file("game/");
        test_make_dirs(home);
    }
    ~vfs_folders() { vfs_shutdown(); }
};

TEST(core_vfs, NamesResolveByFolderThenIndexInPrecedence) {
    vfs_folders f;
    test_write_file(f.home + "x.png", "home x");
    test_write_file(f.game + "x.png", "game x");
    test_write_file(f.game + "only.png.gz", vfs_gzip(f.t, "game gz"));
    test_write_file(f.game + "loose.png.gz", vfs_gzip(f.t, "loose gz"));
    std::string gz_member = vfs_gzip(f.t, "member gz");
    std::string a = "6 loose.png\n8 both.png\n3 sub//deep.txt\n" + std::to_string(gz_member.size()) +
                    " packed.txt.gz\n5 tie.txt\n-\nmemberfrom aababc" + gz_member + "plain";
    test_write_file(f.game + "a.saf", a);
    test_write_file(f.home + "b.saf", "8 both.png\n7 tie.txt.gz\n-\nfrom bbbnotgzip");
    EXPECT_EQ(vfs_read("@both.png"), "<none>");  // members need the index
    vfs_build_index();
    struct {
        const char *name, *want;
    } cases[] = {
        {"@x.png", "home x"},          // home before game
        {"@only.png", "game gz"},      // the ".gz" copy where the plain one is missing
        {"@loose.png", "loose gz"},    // a loose file before an archive member
        {"@both.png", "from aab"},     // archives numbered in name order: a.saf first
        {"@BOTH.PNG", "from aab"},     // the index ignores letter case
        {"@sub/deep.txt", "abc"},
        {"@packed.txt", "member gz"},  // a ".gz" member, decompressed
        {"@tie.txt", "plain"},         // the lower source number: a.saf's plain member
        {"@missing", "<none>"},
        {"@X.png", "home x"},          // loose files are indexed too, so any case finds them
    };
    for (auto &c : cases) EXPECT_EQ(vfs_read(c.name), c.want) << c.name;
    EXPECT_EQ(vfs_console_lines_with("Warning"), 0);
    EXPECT_TRUE(vfs_exists("SUB/DEEP.TXT"));
    EXPECT_FALSE(vfs_exists("sub"));
    int i = vfs_index_find("both.png");
    ASSERT_GE(i, 0);
    char text[1024];
    ASSERT_EQ(vfs_index_describe(i, text, sizeof text), 1);
    EXPECT_EQ(std::string(text), "both.png -> " + f.game + "a.saf");
    ASSERT_EQ(vfs_index_describe(i, text, 12), 1);
    EXPECT_STREQ(text, "both.png ->");
    EXPECT_EQ(vfs_index_describe(-1, text, sizeof text), 0);
    EXPECT_EQ(vfs_index_describe(vfs_index.entries.count, text, sizeof text), 0);
}

TEST(core_vfs, EachNameIsListedOnce) {
    vfs_folders f;
    test_write_file(f.home + "x.png", "1");
    test_write_file(f.game + "x.png", "2");
    test_write_file(f.game + "X.PNG", "3");
    test_write_file(f.game + "p.saf", "1 x.png\n1 y.png\n-\nab");
    const char **names = vfs_build_index();
    std::vector<std::string> list;
    for (const char **n = names; *n; n++) list.push_back(*n);
    EXPECT_EQ(list, (std::vector<std::string>{"p.saf", "x.png", "y.png"}));
    // The index is built once; later calls give the same list.
    EXPECT_EQ(vfs_build_index(), names);
}

TEST(core_vfs, BadArchiveHeadersAddNoMembersAndWarnOnce) {
    std::string long_name(1020, 'n');  // "1 " + name + "\n" is 1,023 bytes
    struct {
        const char *label;
        std::string bytes;
        std::vector<std::pair<std::string, std::string>> members;  // name, content
        bool warns;
    } cases[] = {
        {"good", "5 a\n2 b\n-\nhellohi", {{"a", "hello"}, {"b", "hi"}}, false},
        {"one separator byte, slashes collapsed", "3  a//b\n-\nxyz", {{" a/b", "xyz"}}, false},
        {"no \"-\" line", "5 a\nhello", {}, true},
        {"a line that is no number", "5 a\nxyz\n-\nhello", {}, true},
        {"a number-only line counts in the offsets", "3\n5 a\n-\nxxxhello", {{"a", "hello"}}, true},
        {"a negative size", "5 a\n-5 b\n-\nhello", {}, true},
        {"a size beyond 32 bits", "99999999999 a\n-\nx", {}, true},
        {"an offset overflow", "2147483000 a\n2000 b\n-\nx", {}, true},
        {"a member past the end drops it and those after",
         "5 a\n100 b\n1 c\n-\nhellox", {{"a", "hello"}}, true},
        {"a separator that is no blank", "5\ta\n-\nhello", {}, true},
        {"a 1,023-byte line", "1 " + long_name + "\n-\nQ", {{long_name, "Q"}}, false},
        {"a 1,024-byte line", "1 " + long_name + "n\n-\nQ", {}, true},
        {"an empty file", "", {}, true},
        {"binary garbage", std::string("\x00\x01\xff\n-\n", 6), {}, true},
    };
    for (auto &c : cases) {
        vfs_folders f;
        test_write_file(f.game + "t.saf", c.bytes);
        int before = vfs_console_lines_with("Warning: bad archive header in '");
        vfs_build_index();
        EXPECT_EQ(vfs_console_lines_with("Warning: bad archive header in '"), before + c.warns)
            << c.label;
        EXPECT_GE(vfs_index_find("t.saf"), 0) << c.label;  // the archive itself stays indexed
        int members = 0;
        for (int i = 0; i < vfs_index.entries.count; i++)
            members += ((file_index_entry *)vfs_index.entries.items)[i].source == 2;
        EXPECT_EQ(members, (int)c.members.size()) << c.label;
        for (auto &m : c.members)
            EXPECT_EQ(vfs_read(("@" + m.first).c_str()), m.second) << c.label;
        vfs_shutdown();
    }
}

TEST(core_vfs, WritesLandInTheHomeFolderOnly) {
    vfs_folders f;
    file_stream *s = stream_open("@settings/new.cfg", "wb");
    ASSERT_NE(s, nullptr);
    stream_puts(s, "new\n");
    stream_close(s);
    EXPECT_EQ(test_read_file(f.home + "settings/new.cfg"), "new\n");
    EXPECT_FALSE(test_file_exists(f.game + "settings"));

    // A regular file where the home folder should be: the write fails, the game folder is
    // not used instead.
    vfs_shutdown();
    test_write_file(f.t.file("xdg2/ZR Simulator"), "in the way");
    setenv("XDG_DATA_HOME", f.t.file("xdg2").c_str(), 1);
    test_write_file(f.game + "stock.txt", "stock");
    for (const char *mode : {"wb", "ab", "r+b", "~wb"}) {
        EXPECT_EQ(stream_open("@settings/new.cfg", mode), nullptr) << mode;
        EXPECT_EQ(stream_open("@stock.txt", mode), nullptr) << mode;
    }
    EXPECT_FALSE(test_file_exists(f.game + "settings"));
    EXPECT_EQ(test_read_file(f.game + "stock.txt"), "stock");
    EXPECT_EQ(vfs_read("@stock.txt"), "stock");  // reads still find the game folder
}

TEST(core_vfs, NumberedBackupsKeepTheOldContents) {
    vfs_folders f;
    std::string path = f.home + "f";
    for (const char *content : {"v0", "v1", "v2"}) {
        file_stream *s = stream_open("@f", "~wb");
        ASSERT_NE(s, nullptr);
        stream_puts(s, content);
        stream_close(s);
    }
    EXPECT_FALSE(test_file_exists(path + ".~3~"));
    EXPECT_EQ(test_read_file(path + ".~1~"), "v0");
    EXPECT_EQ(test_read_file(path + ".~2~"), "v1");
    EXPECT_EQ(test_read_file(path), "v2");
    // A gap is filled first; a backup that cannot be made fails the open and keeps the file.
    remove((path + ".~1~").c_str());
    file_stream *s = stream_open(path.c_str(), "~wb");
    ASSERT_NE(s, nullptr);
    stream_close(s);
    EXPECT_EQ(test_read_file(path + ".~1~"), "v2");
    // With every number taken no backup can be made: the open fails, the file stays whole.
    test_write_file(path, "keep");
    for (int n = 1; n <= 9999; n++)
        fclose(fopen((path + ".~" + std::to_string(n) + "~").c_str(), "ab"));
    EXPECT_EQ(stream_open("@f", "~wb"), nullptr);
    EXPECT_EQ(test_read_file(path), "keep");
    // A missing file needs no backup.
    s = stream_open("@new", "~wb");
    ASSERT_NE(s, nullptr);
    stream_close(s);
    EXPECT_FALSE(test_file_exists(f.home + "new.~1~"));
}

TEST(core_vfs, RenameReplacesAtomicallyOrNotAtAll) {
    vfs_folders f;
    test_write_file(f.home + "target", "old");
    EXPECT_EQ(path_rename_replace("@missing", "@target"), 0);
    EXPECT_EQ(test_read_file(f.home + "target"), "old");
    test_write_file(f.home + "target.tmp", "new");
    EXPECT_EQ(path_rename_replace("@target.tmp", "@target"), 1);
    EXPECT_EQ(test_read_file(f.home + "target"), "new");
    EXPECT_FALSE(test_file_exists(f.home + "target.tmp"));
    test_write_file(f.t.file("plain.tmp"), "plain");
    EXPECT_EQ(path_rename_replace(f.t.file("plain.tmp").c_str(), "@target"), 1);
    EXPECT_EQ(test_read_file(f.home + "target"), "plain");
}

TEST(core_vfs, OverlongNamesFailInsteadOfBeingCut) {
    vfs_folders f;
    std::string long_name(600, 'a');
    EXPECT_EQ(stream_open(("@" + long_name).c_str(), "wb"), nullptr);
    EXPECT_EQ(stream_open(("@" + long_name).c_str(), "rb"), nullptr);
    // A name whose first 511 bytes name an existing file must not open that file.
    std::string prefix(511 - f.home.size(), 'p');  // in folders, as a name has 255 bytes at most
    for (size_t i = 199; i + 1 < prefix.size(); i += 200) prefix[i] = '/';
    test_write_file(f.home + prefix, "victim");
    EXPECT_EQ(stream_open(("@" + prefix + "-longer").c_str(), "wb"), nullptr);
    EXPECT_EQ(stream_open(("@" + prefix + "-longer").c_str(), "rb"), nullptr);
    EXPECT_EQ(test_read_file(f.home + prefix), "victim");
    EXPECT_EQ(vfs_read(("@" + prefix).c_str()), "victim");  // 511 bytes still fit
    EXPECT_EQ(path_rename_replace(("@" + prefix + "-longer").c_str(), "@x"), 0);
    EXPECT_EQ(path_rename_replace(("@" + prefix).c_str(), ("@" + prefix + "-longer").c_str()), 0);
    EXPECT_EQ(test_read_file(f.home + prefix), "victim");
}

// A name read from a file may point anywhere: reads open regular files only, so that a fifo
// (whose open would wait for a writer) or a terminal never blocks the program.
TEST(core_vfs, ReadsOpenOnlyRegularFiles) {
    vfs_folders f;
    alarm(20);  // a blocking open ends the test instead of hanging it
    ASSERT_EQ(mkfifo((f.game + "pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((f.game + "zipped.gz").c_str(), 0600), 0);
    test_make_dirs(f.game + "folder");
    test_write_file(f.game + "plain", "text");
    for (std::string name : {"@pipe", "@folder", "@zipped"}) EXPECT_EQ(stream_open(name.c_str(), "rb"), nullptr) << name;
    EXPECT_EQ(stream_open((f.game + "pipe").c_str(), "rb"), nullptr);
    EXPECT_EQ(stream_open("/dev/zero", "rb"), nullptr);
    EXPECT_EQ(vfs_read("@plain"), "text");
    alarm(0);
}

static int vfs_ticks = 0;

TEST(core_vfs, TheScanSurvivesLoopsAndDanglingLinksAndIsDeterministic) {
    vfs_folders f;
    test_write_file(f.game + "tracks/a/terrain.hf", "hf");
    test_write_file(f.game + "Twin.png", "upper");
    test_write_file(f.game + "twin.png", "lower");
    test_write_file(f.t.file("outside/linked.txt"), "linked");
    ASSERT_EQ(symlink(f.game.c_str(), (f.game + "tracks/a/loop").c_str()), 0);
    ASSERT_EQ(symlink("..", (f.game + "tracks/up").c_str()), 0);
    ASSERT_EQ(symlink(f.t.file("nowhere").c_str(), (f.game + "dangling.png").c_str()), 0);
    ASSERT_EQ(symlink(f.t.file("outside").c_str(), (f.game + "outside").c_str()), 0);
    ASSERT_EQ(mkfifo((f.game + "fifo").c_str(), 0644), 0);
    FILE *big = fopen((f.game + "huge.bin").c_str(), "wb");
    ASSERT_NE(big, nullptr);
    ASSERT_EQ(ftruncate(fileno(big), 2147483648LL), 0);  // sparse, beyond the 32-bit sizes
    fclose(big);
    std::string deep = f.game;
    for (int i = 0; i < 70; i++) {
        deep += "d/";
        if (i == 10) test_write_file(deep + "shallow.txt", "s");
    }
    test_write_file(deep + "deep.txt", "d");
    loading_tick_hook = [] { vfs_ticks++; };

    std::vector<std::string> first;
    for (int round = 0; round < 3; round++) {
        const char **names = vfs_build_index();
        std::vector<std::string> list;
        for (const char **n = names; *n; n++) list.push_back(*n);
        if (round == 0) first = list;
        EXPECT_EQ(list, first);
        EXPECT_EQ(vfs_read("@TWIN.PNG"), "upper") << round;  // case-twins: bytes decide
        vfs_shutdown();
    }
    std::vector<std::string> want = {"outside/linked.txt", "tracks/a/terrain.hf", "Twin.png"};
    std::string shallow = "d/d/d/d/d/d/d/d/d/d/d/shallow.txt";
    want.insert(want.begin(), shallow);
    EXPECT_EQ(first, want);
    EXPECT_GT(vfs_ticks, 0);
    loading_tick_hook = nullptr;
}
