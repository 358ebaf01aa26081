// RIPEMD-160 against its authors' published values, and MT19937 against the reference generator.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "core/digest.h"

static std::string digest_hex(const std::string &msg) {
    char hex[41];
    ripemd160_hex_of(msg.data(), msg.size(), hex);
    return hex;
}

TEST(core_ripemd160, PublishedValues) {
    struct {
        std::string msg;
        const char *digest;
    } cases[] = {
        {"", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
        {"a", "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe"},
        {"abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
        {"message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
        {"abcdefghijklmnopqrstuvwxyz", "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "b0e20b6e3116640286ed3a87a5713079b21f5189"},
        {std::string(80, 0), nullptr},  // filled below
        {std::string(1000000, 'a'), "52783243c1697bdbe16d37f97f68f08325dc1528"},
    };
    std::string eight;
    for (int i = 0; i < 8; i++) eight += "1234567890";
    cases[7].msg = eight;
    cases[7].digest = "9b752e45573d4b39f4dbd3323cab82bf63326bfb";
    for (auto &c : cases) EXPECT_EQ(digest_hex(c.msg), c.digest) << c.msg.substr(0, 20);
}

TEST(core_ripemd160, AnySplitGivesTheOnePieceDigest) {
    for (size_t len : {55u, 56u, 63u, 64u, 65u}) {
        std::string msg;
        for (size_t i = 0; i < len; i++) msg += (char)('a' + i * 7 % 26);
        std::string whole = digest_hex(msg);
        for (size_t cut = 0; cut <= len; cut++) {
            ripemd160_state s;
            ripemd160_init(&s);
            ripemd160_update(&s, msg.data(), cut);
            ripemd160_update(&s, msg.data() + cut, len - cut);
            ripemd160_final(&s);
            char hex[41];
            ripemd160_hex(&s, hex);
            EXPECT_EQ(whole, hex) << len << " split at " << cut;
        }
    }
}

TEST(core_ripemd160, HexEqual) {
    ripemd160_state s;
    ripemd160_init(&s);
    ripemd160_update(&s, "abc", 3);
    ripemd160_final(&s);
    EXPECT_EQ(ripemd160_hex_equal("8eb208f7e05d987a9b044a8e98c6b087f15a0bfc", &s), 1);
    EXPECT_EQ(ripemd160_hex_equal("8EB208F7E05D987A9B044A8E98C6B087F15A0BFC", &s), 1);
    EXPECT_EQ(ripemd160_hex_equal("8eb208f7e05d987a9b044a8e98c6b087f15a0bf", &s), 0);
    EXPECT_EQ(ripemd160_hex_equal("8eb208f7e05d987a9b044a8e98c6b087f15a0bfg", &s), 0);
    EXPECT_EQ(ripemd160_hex_equal("8eb208f7e05dg87a9b044a8e98c6b087f15a0bfc", &s), 0);
    EXPECT_EQ(ripemd160_hex_equal("", &s), 0);
    // A short text in a block of its own exact size: ASan catches any read past it.
    char *heap = new char[40];
    memcpy(heap, "8eb208f7e05d987a9b044a8e98c6b087f15a0bf", 40);
    EXPECT_EQ(ripemd160_hex_equal(heap, &s), 0);
    delete[] heap;
}

TEST(core_mt19937, ReferenceOutputs) {
    mt_seed(5489);
    uint32_t first[5] = {3499211612u, 581869302u, 3890346734u, 3586334585u, 545404204u};
    uint32_t v = 0;
    for (int i = 1; i <= 10000; i++) {
        v = mt_next();
        if (i <= 5) {
            EXPECT_EQ(v, first[i - 1]);
        }
        if (i == 624) {
            EXPECT_EQ(v, 4020325887u);
        }
        if (i == 625) {
            EXPECT_EQ(v, 4178893912u);
        }
    }
    EXPECT_EQ(v, 4123659995u);
}

TEST(core_mt19937, MatchesStdMt19937) {
    for (uint32_t seed : {0u, 1u, 0xFFFFFFFFu}) {
        mt_seed(seed);
        std::mt19937 ref(seed);
        for (int i = 0; i < 2000; i++) ASSERT_EQ(mt_next(), ref()) << seed << " draw " << i;
    }
}

TEST(core_mt19937, UnseededDrawsAreZero) {
    for (int i = 0; i < 700; i++) ASSERT_EQ(mt_next(), 0u);
}
