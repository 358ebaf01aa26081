// The layer check: the source tree keeps its layers, and the check fails on an upward include
// unless the allow-list names it.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

static int check_layers(const std::string &tree, std::string *output) {
    return test_run({"sh", test_source_dir() + "/tools/check-layers.sh", tree}, {}, output, 60);
}

TEST(tools_layers, SourceTreeKeepsItsLayers) {
    std::string output;
    EXPECT_EQ(check_layers(test_source_dir(), &output), 0) << output;
}

TEST(tools_layers, UpwardIncludeFailsUnlessAllowed) {
    temp_dir t;
    std::string allow = "# reasons above each line\n";
    ASSERT_TRUE(test_write_file(t.file("tools/layers-allow.txt"), allow));
    ASSERT_TRUE(test_write_file(t.file("core/low.cpp"),
                                "#include \"core/mem.h\"\n#include \"platform/plyx.h\"\n"));
    ASSERT_TRUE(test_write_file(t.file("game/top.cpp"), "#include \"editor/editor.h\"\n"));
    std::string output;
    EXPECT_EQ(check_layers(t.path, &output), 0) << output;

    struct upward { const char *file, *text, *named; };
    for (upward u : {upward{"core/bad.cpp", "#include \"race/race.h\"\n", "core/bad.cpp includes race/race.h"},
                     upward{"terrain/bad.h", "  #  include \"bike/geometry.h\" // vectors\n",
                            "terrain/bad.h includes bike/geometry.h"},
                     upward{"editor/bad.cpp", "#include \"game/entry.h\"\n", "editor/bad.cpp includes game/entry.h"}}) {
        temp_dir tree;
        ASSERT_TRUE(test_write_file(tree.file("tools/layers-allow.txt"), allow));
        ASSERT_TRUE(test_write_file(tree.file(u.file), u.text));
        EXPECT_EQ(check_layers(tree.path, &output), 1) << u.file;
        EXPECT_NE(output.find(u.named), std::string::npos) << output;
        // Named on the allow-list, the same include passes.
        std::string entry = std::string(u.named);
        entry = entry.substr(0, entry.find(' ')) + " " + entry.substr(entry.rfind(' ') + 1) + "\n";
        ASSERT_TRUE(test_write_file(tree.file("tools/layers-allow.txt"), allow + entry));
        EXPECT_EQ(check_layers(tree.path, &output), 0) << output;
    }
}
