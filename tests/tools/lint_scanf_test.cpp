// Lint: no stream_scanf format in the sources has an assigning %s or %[ without a width.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

// The conversions of a format that could write past their destination.
static std::vector<std::string> lint_unbounded(const std::string &format) {
    std::vector<std::string> found;
    for (size_t i = 0; i < format.size(); i++) {
        if (format[i] != '%') continue;
        size_t start = i++;
        bool suppress = false, width = false;
        for (; i < format.size(); i++) {
            char c = format[i];
            if (c == '*')
                suppress = true;
            else if (c >= '0' && c <= '9')
                width = true;
            else if (c != 'h' && c != 'l' && c != 'L' && c != 'q')
                break;
        }
        if (i >= format.size()) break;
        if ((format[i] == 's' || format[i] == '[') && !suppress && !width)
            found.push_back(format.substr(start, i - start + 1));
    }
    return found;
}

// The string literals (joined) of the second argument of a call starting at the '('.
static bool lint_format_argument(const std::string &text, size_t open, std::string *format) {
    int depth = 0;
    size_t i = open;
    for (; i < text.size(); i++) {
        char c = text[i];
        if (c == '(') depth++;
        if (c == ')' && --depth == 0) return false;
        if (c == ',' && depth == 1) break;
        if (c == '"') return false;  // a literal in the first argument: not a call we know
    }
    format->clear();
    bool any = false;
    for (i++; i < text.size(); i++) {
        char c = text[i];
        if (c == ',' || c == ')') break;
        if (c != '"') {
            if (c != ' ' && c != '\n' && c != '\t') return false;  // not a plain literal
            continue;
        }
        any = true;
        for (i++; i < text.size() && text[i] != '"'; i++) {
            if (text[i] == '\\') {
                *format += text[i];
                i++;
            }
            *format += text[i];
        }
    }
    return any;
}

TEST(tools_lint_scanf, TheCheckerSeesUnboundedConversions) {
    EXPECT_EQ(lint_unbounded("%d %s"), std::vector<std::string>{"%s"});
    EXPECT_EQ(lint_unbounded("%[^\\n] %ls"), (std::vector<std::string>{"%[", "%ls"}));
    EXPECT_TRUE(lint_unbounded("%*s %10s %%s %*[^\\n] %63[a-z] %c").empty());
}

TEST(tools_lint_scanf, FormatsHaveWidths) {
    namespace fs = std::filesystem;
    std::string root = test_source_dir();
    int calls = 0;
    for (const char *folder : {"platform", "core", "gfx", "terrain", "bike", "race", "present",
                               "net", "script", "ui", "editor", "tools", "bench", "fuzz"}) {
        fs::path dir = fs::path(root) / folder;
        if (!fs::exists(dir)) continue;
        for (auto &entry : fs::recursive_directory_iterator(dir)) {
            std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            std::string text = test_read_file(entry.path().string());
            const std::string call = "stream_scanf(";
            for (size_t at = text.find(call); at != std::string::npos;
                 at = text.find(call, at + 1)) {
                std::string format;
                if (!lint_format_argument(text, at + call.size() - 1, &format)) continue;
                calls++;
                for (const std::string &bad : lint_unbounded(format))
                    ADD_FAILURE() << entry.path().string() << ": \"" << format << "\" has " << bad
                                  << " without a width";
            }
        }
    }
    EXPECT_GE(calls, 1);  // the scan found the calls it checks
}
