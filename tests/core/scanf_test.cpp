// stream_scanf: the rules of the program's own scanner, checked case by case, and short
// decimals against the C library's correctly rounded strtof and strtod.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "core/vfs.h"
#include "tests/support/test_support.h"

// A stream over the given bytes (a file in a temporary folder).
struct scan_input {
    temp_dir t;
    file_stream *s;
    explicit scan_input(const std::string &bytes) {
        test_write_file(t.file("in"), bytes);
        s = stream_open(t.file("in").c_str(), "rb");
        EXPECT_NE(s, nullptr);
    }
    ~scan_input() { stream_close(s); }
    std::string rest() {
        std::string r;
        for (int c; (c = stream_getc(s)) >= 0;) r += (char)c;
        return r;
    }
};

TEST(core_scanf, LiteralsAndFailuresDecideTheResult) {
    struct {
        const char *input, *format;
        int want;
        const char *rest;
    } cases[] = {
        {"12 x", "%d %d", 1, "x"},         // a matching failure leaves the byte pending
        {"", "%d %d", -1, ""},             // the end before anything: -1
        {"12", "%d %d", 1, ""},            // the end after one conversion: the count
        {"( 1 2 3 )", "[ %f %f %f ]", -1, "( 1 2 3 )"},
        {"[ 1 2 3 )", "[ %f %f %f ]", -1, ")"},  // a literal mismatch is -1 whatever came before
        {"[1]", " [ %d ] ", 1, ""},
        {"  \t\r\v\f\n7", "%d", 1, ""},    // the six blank-space bytes
        {"a b", "a%db", 0, "b"},
        {"100%", "%d%%", 1, ""},
        {"100 %", "%d%%", -1, " %"},       // %% skips no blank space
        {"# comment\nrest", " %1[#]%*[^\n]", 1, "\nrest"},
        {"rest", " %1[#]%*[^\n]", 0, "rest"},
        {"#\nrest", " %1[#]%*[^\n]", 1, "\nrest"},  // %*[ with no byte: matching failure
        {"5 6", "%d %e", 1, "6"},           // e, g, u are not conversions
        {"5 6", "%d %u", 1, "6"},
        {"5 6", "%d %g", 1, "6"},
        {"ab", "%c%", 1, "b"},              // a lone '%' ends the format
        {"abc", "%2c", 1, "c"},
        {"a", "%2c", -1, ""},               // the end inside %c
    };
    for (auto &c : cases) {
        scan_input in(c.input);
        char buf[2][16];
        int n = stream_scanf(in.s, c.format, buf[0], buf[1], buf[0], buf[1]);
        EXPECT_EQ(n, c.want) << '"' << c.input << "\" with \"" << c.format << '"';
        EXPECT_EQ(in.rest(), c.rest) << '"' << c.input << "\" with \"" << c.format << '"';
    }
}

TEST(core_scanf, IntegersWrapAndFollowTheirBase) {
    struct {
        const char *input, *format;
        int want_n;
        int value;
        const char *rest;
    } cases[] = {
        {"0x1f", "%i", 1, 31, ""},
        {"017", "%i", 1, 15, ""},
        {"0", "%i", 1, 0, ""},
        {"-0x10", "%i", 1, -16, ""},
        {"0x", "%i", 0, 0, ""},            // the prefix taken, no hex digit
        {"0x1", "%1i", 1, 0, "x1"},        // the width leaves no room for the 'x'
        {"09", "%i", 1, 0, "9"},           // base 8 stops at the 9
        {"x12", "%i", 0, 0, "x12"},
        {"0x1f", "%x", 1, 0, "x1f"},       // no 0x prefix for 'x'
        {"fF", "%x", 1, 255, ""},
        {"Ab", "%X", 1, 171, ""},
        {"777", "%o", 1, 511, ""},
        {"12345", "%3d", 1, 123, "45"},
        {"-12", "%2d", 1, -1, "2"},        // the sign takes one unit of the width
        {"+7", "%d", 1, 7, ""},
        {"-", "%d", 0, 0, ""},
        {"4294967297", "%d", 1, 1, ""},    // 32-bit arithmetic
        {"2147483648", "%d", 1, INT_MIN, ""},
        {"-2147483648", "%d", 1, INT_MIN, ""},
        {"99999999999999999999", "%d", 1, (int)(uint32_t)(99999999999999999999.0L - 0), ""},
        {"12abc", "%*d%n", 0, 2, "abc"},   // %n stores but does not count
    };
    cases[19].value = 0;
    {
        uint32_t v = 0;
        for (int i = 0; i < 20; i++) v = v * 10 + 9;
        cases[19].value = (int)v;
    }
    for (auto &c : cases) {
        scan_input in(c.input);
        int v = 0;
        int n = stream_scanf(in.s, c.format, &v);
        EXPECT_EQ(n, c.want_n) << '"' << c.input << "\" with \"" << c.format << '"';
        EXPECT_EQ(v, c.value) << '"' << c.input << "\" with \"" << c.format << '"';
        EXPECT_EQ(in.rest(), c.rest) << '"' << c.input << "\" with \"" << c.format << '"';
    }
    scan_input in("70000 -1 5");
    short h = 0, h2 = 0, consumed = 0;
    EXPECT_EQ(stream_scanf(in.s, "%hd %hd%hn", &h, &h2, &consumed), 2);
    EXPECT_EQ(h, 4464);
    EXPECT_EQ(h2, -1);
    EXPECT_EQ(consumed, 8);
}

TEST(core_scanf, StringsCharactersAndSetsStayWithinTheirWidth) {
    {
        scan_input in("  word longerword\tx");
        char a[8], b[8], c[8];
        memset(b, '#', sizeof b);
        EXPECT_EQ(stream_scanf(in.s, "%7s %5s%2s", a, b, c), 3);
        EXPECT_STREQ(a, "word");
        EXPECT_STREQ(b, "longe");
        EXPECT_STREQ(c, "rw");
        EXPECT_EQ(b[6], '#');  // nothing past width + 1
        EXPECT_EQ(in.rest(), "ord\tx");
    }
    {
        scan_input in(" ab");
        char c[4] = "###";
        EXPECT_EQ(stream_scanf(in.s, "%3c", c), 1);  // no blank skipping, no zero byte
        EXPECT_EQ(std::string(c, 3), " ab");
    }
    struct {
        const char *input, *format;
        int want;
        const char *value, *rest;
    } sets[] = {
        {"]a]b", "%9[]a]", 1, "]a]", "b"},   // ']' first is a member
        {"ab]c", "%9[^]]", 1, "ab", "]c"},
        {"abcd", "%9[a-c]", 1, "abc", "d"},
        {"a-z", "%9[a-]", 1, "a-", "z"},     // '-' before ']' is a member
        {"-ab", "%9[-a]", 1, "-a", "b"},
        {"xyz", "%2[a-z]", 1, "xy", "z"},
        {"123", "%9[a-z]", 0, "", "123"},
        {"", "%9[a-z]", -1, "", ""},
        {"abc", "%9[abc", 0, "", "abc"},     // an unclosed set is no conversion
    };
    for (auto &c : sets) {
        scan_input in(c.input);
        char v[16] = "";
        EXPECT_EQ(stream_scanf(in.s, c.format, v), c.want) << c.format << " on " << c.input;
        EXPECT_STREQ(v, c.value) << c.format << " on " << c.input;
        EXPECT_EQ(in.rest(), c.rest) << c.format << " on " << c.input;
    }
}

TEST(core_scanf, AssigningStringsWithoutAWidthAreRefused) {
    temp_dir t;
    std::string log_path = t.file("log.txt");
    setenv("PLYX_LOGFILE", log_path.c_str(), 1);
    for (const char *format : {"%d %s", "%d %[a-z]"}) {
        scan_input in("5 abc def");
        int v = 0;
        char buf[4] = "";
        for (int round = 0; round < 3; round++)
            EXPECT_EQ(stream_scanf(in.s, format, &v, buf), round == 0 ? 1 : 0) << format;
        EXPECT_EQ(v, 5);
        EXPECT_STREQ(buf, "");  // nothing written
    }
    std::string log = test_read_file(log_path);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;  // two banner lines + two
    EXPECT_NE(log.find("\"%d %s\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"%d %[a-z]\""), std::string::npos) << log;
    // Suppressed ones are fine.
    scan_input in("5 abcdefghijklmnop q");
    int v = 0;
    char q[2];
    EXPECT_EQ(stream_scanf(in.s, "%d %*s %*[q]%n", &v, &v), 1);
    EXPECT_EQ(v, 20);
    EXPECT_EQ(stream_scanf(in.s, "%1s", q), -1);
}

TEST(core_scanf, FloatsFollowTheirOwnRules) {
    struct {
        const char *input, *format;
        int want;
        double value;
        const char *rest;
    } cases[] = {
        {"-.5e1", "%lf", 1, -5.0, ""},
        {"1e", "%lf", 1, 1.0, ""},          // the 'e' is consumed
        {"1e+", "%lf", 1, 1.0, ""},
        {".", "%lf", 1, 0.0, ""},
        {"-", "%lf", 0, 99.0, ""},          // a matching failure with the '-' consumed
        {"x", "%lf", 0, 99.0, "x"},
        {"1.2.3", "%lf", 1, 1.2, ".3"},     // one '.' only
        {"1.2345", "%4lf", 1, 1.23, "45"},  // the width limits the bytes taken
        {"-1e-3", "%3lf", 1, -1.0, "-3"},
        {"2.5E2x", "%lf", 1, 250.0, "x"},
        {"inf", "%lf", 0, 99.0, "inf"},
        {"0x10", "%lf", 1, 0.0, "x10"},
        {"1e-5000", "%lf", 1, 0.0, ""},
        {"123456789012345678901234567890", "%lf", 1, 123456789012345678901234567890.0, ""},
    };
    for (auto &c : cases) {
        scan_input in(c.input);
        double v = 99.0;
        EXPECT_EQ(stream_scanf(in.s, c.format, &v), c.want) << c.input;
        EXPECT_DOUBLE_EQ(v, c.value) << c.input;
        EXPECT_EQ(in.rest(), c.rest) << c.input;
    }
    scan_input in("1e5000 0e5000 1e99999999999 -7.25 3.5 0.1");
    double inf = 0, nan = 0, big = 0;
    float f = 0;
    long double l1 = 0, l2 = 0;
    EXPECT_EQ(stream_scanf(in.s, "%lf %lf %lf %f %Lf", &inf, &nan, &big, &f, &l1), 5);
    EXPECT_TRUE(std::isinf(inf) && inf > 0);
    EXPECT_TRUE(std::isnan(nan));
    EXPECT_TRUE(std::isinf(big));
    EXPECT_EQ(f, -7.25f);
    EXPECT_EQ(l1, 3.5L);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
    EXPECT_EQ(stream_scanf(in.s, "%llf", &l2), 1);  // "ll" also means long double
#pragma GCC diagnostic pop
    EXPECT_EQ(l2, strtold("0.1", nullptr));
}

TEST(core_scanf, ShortDecimalsEqualTheCorrectlyRoundedValues) {
    std::mt19937 gen(1524);
    std::string text;
    std::vector<std::string> numbers;
    for (int i = 0; i < 20000; i++) {
        int digits = 1 + (int)(gen() % 9);
        std::string m;
        for (int d = 0; d < digits; d++) m += (char)('0' + gen() % 10);
        int point = (int)(gen() % (digits + 1));
        std::string num = (gen() % 4 == 0 ? "-" : "") + m.substr(0, point) + "." + m.substr(point);
        if (gen() % 3) num += "e" + std::to_string((int)(gen() % 41) - 20);
        numbers.push_back(num);
        text += num + "\n";
    }
    for (const char *extra : {"8388608.5", "16777217", "9007199254740993", "0.1", "1e20",
                              "123456789e-20", "999999999e20", "2.2250738585072014e-308"}) {
        numbers.push_back(extra);
        text += std::string(extra) + "\n";
    }
    scan_input in(text + text);
    int wrong = 0;
    for (const std::string &num : numbers) {
        float f;
        ASSERT_EQ(stream_scanf(in.s, "%f", &f), 1);
        if (f != strtof(num.c_str(), nullptr) && wrong++ < 10) ADD_FAILURE() << "float " << num;
    }
    for (const std::string &num : numbers) {
        double d;
        ASSERT_EQ(stream_scanf(in.s, "%lf", &d), 1);
        if (d != strtod(num.c_str(), nullptr) && wrong++ < 10) ADD_FAILURE() << "double " << num;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(core_scanf, ReadIntAndSkipComments) {
    scan_input in("  # first comment\n\n# second\n  42 x");
    stream_skip_comments(in.s);
    EXPECT_EQ(stream_read_int(in.s), 42);
    EXPECT_EQ(stream_read_int(in.s), INT_MIN);
    EXPECT_EQ(in.rest(), "x");
}
