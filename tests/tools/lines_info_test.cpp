// lines-info on the stock tracks: each level's file matches the gates, every row joins the next.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

TEST(tools_lines_info, StockLinesFitTheirGates) {
    temp_dir t;
    std::string tool = test_binary_dir() + "/tools/lines-info";
    std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + t.path};
    struct {
        const char *track, *rows;
    } cases[] = {{"tracks/practice", "ct03 12 matches 6 + 6 segments; slots per row 8 4 4 4 4 4 4 4 4 4 4 4; "},
                 {"hillside", "ct03 22 matches 11 + 11 segments; slots per row 12 6 6 6 6 6 6 6 6 6 6 6 6 6 6 6 6 6 6 6 6 6; "}};
    for (auto &c : cases) {
        std::string out;
        ASSERT_EQ(test_run({tool, c.track}, env, &out), 0) << out;
        for (const char *file : {"lines_novice: ", "lines_amateur: ", "lines_expert: "})
            EXPECT_NE(out.find(std::string(file) + c.rows + "every row joins the next; ripemd160 "), std::string::npos)
                << c.track << "\n" << out;
    }
}
