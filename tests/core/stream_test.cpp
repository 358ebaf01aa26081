// File streams: gzip against the real gzip tool, corrupt and cut data, archive members, seeking,
// lines, writes and whole-file reads.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>

#include "core/console.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "tests/support/test_support.h"

// Console lines (the message ring) holding the text.
static int console_lines_with(const char *text) {
    int n = 0;
    for (auto &line : console_log.lines)
        if (strstr(line, text)) n++;
    return n;
}

static const char CORRUPT[] = "Warning: corrupt compressed data in";

// The whole stream read in blocks of the given size (1: byte by byte with stream_getc).
static std::string stream_drain(file_stream *s, int block) {
    std::string out;
    if (block == 1) {
        for (int c; (c = stream_getc(s)) >= 0;) out += (char)c;
        return out;
    }
    std::string buf((size_t)block, 0);
    for (int n; (n = stream_read(s, buf.data(), block)) > 0;) out.append(buf, 0, (size_t)n);
    return out;
}

static std::string stream_read_path(const std::string &path, int block = 4096) {
    file_stream *s = stream_open(path.c_str(), "rb");
    if (!s) return "<no open>";
    std::string out = stream_drain(s, block);
    EXPECT_EQ(stream_getc(s), -1);  // the end is final
    stream_close(s);
    return out;
}

// gzip -c of a named file, so the header carries FNAME.
static std::string gzip_file(const temp_dir &t, const std::string &name, const std::string &data) {
    test_write_file(t.file(name), data);
    std::string out;
    int rc = test_run({"sh", "-c", "gzip -c '" + t.file(name) + "' > '" + t.file(name) + ".gz'"},
                      {}, &out);
    EXPECT_EQ(rc, 0) << out;
    return test_read_file(t.file(name + ".gz"));
}

static std::string text_data() {
    std::string s;
    for (int i = 0; i < 4000; i++) s += "line " + std::to_string(i * 7919 % 1000) + " of text\n";
    return s;
}

static std::string random_data(size_t n) {
    std::mt19937 gen(20200717);
    std::string s(n, 0);
    for (char &c : s) c = (char)(gen() & 0xff);
    return s;
}

TEST(core_stream, GzipFromTheGzipToolReadsAsGzipDecompresses) {
    temp_dir t;
    std::string data = text_data();
    std::string gz = gzip_file(t, "named.txt", data);
    ASSERT_EQ(gz[3] & 8, 8);  // FNAME
    std::string out;
    ASSERT_EQ(test_run({"gzip", "-dc", t.file("named.txt.gz")}, {}, &out), 0);
    ASSERT_EQ(out, data);
    remove(t.file("named.txt").c_str());
    // The plain name is missing, so the ".gz" copy serves, decompressed.
    EXPECT_EQ(stream_read_path(t.file("named.txt"), 1), data);
    EXPECT_EQ(stream_read_path(t.file("named.txt"), 3000), data);
    EXPECT_EQ(console_lines_with(CORRUPT), 0);
}

TEST(core_stream, GzipHeaderFieldsAreSkipped) {
    temp_dir t;
    std::string data = text_data();
    std::string gz = gzip_file(t, "a.txt", data);
    size_t body = 10;
    while (gz[body] != 0) body++;  // the name field gzip wrote
    body++;
    std::string h("\x1f\x8b\x08\x1e\0\0\0\0\0\x03", 10);  // FEXTRA FNAME FCOMMENT FHCRC
    h += std::string("\x06\x00" "AB\x02\x00xy", 8);
    h += std::string("renamed.txt\0", 12);
    h += std::string("a comment\0", 10);
    uLong crc = crc32(0, (const Bytef *)h.data(), (uInt)h.size());
    h += (char)(crc & 0xff);
    h += (char)(crc >> 8 & 0xff);
    test_write_file(t.file("b.gz"), h + gz.substr(body));
    std::string out;
    EXPECT_EQ(test_run({"gzip", "-t", t.file("b.gz")}, {}, &out), 0) << out;
    EXPECT_EQ(stream_read_path(t.file("b"), 777), data);
    EXPECT_EQ(console_lines_with(CORRUPT), 0);
}

TEST(core_stream, GzipReadsTheSameInAnyReadSize) {
    temp_dir t;
    std::string data = random_data(100 * 1024);
    std::string gz = gzip_file(t, "r.bin", data);
    ASSERT_GT(gz.size(), 16384u);  // more than one fill of the input buffer
    remove(t.file("r.bin").c_str());
    for (int block : {1, 1000, 5000}) EXPECT_EQ(stream_read_path(t.file("r.bin"), block), data);
    EXPECT_EQ(console_lines_with(CORRUPT), 0);
}

TEST(core_stream, CorruptOrCutGzipGivesWhatItCanAndOneWarning) {
    temp_dir t;
    std::string data = text_data() + random_data(40000);
    std::string gz = gzip_file(t, "c.bin", data);
    remove(t.file("c.bin").c_str());
    std::string crc_flipped = gz;
    crc_flipped[gz.size() - 8] ^= 0x55;
    std::string size_flipped = gz;
    size_flipped[gz.size() - 2] ^= 0x01;
    struct {
        const char *label;
        std::string bytes;
        bool whole;  // all bytes arrive (else a proper prefix)
    } cases[] = {
        {"cut in the deflate data", gz.substr(0, gz.size() / 2), false},
        {"cut in the trailer", gz.substr(0, gz.size() - 3), true},
        {"cut right after the deflate data", gz.substr(0, gz.size() - 8), true},
        {"CRC byte flipped", crc_flipped, true},
        {"size byte flipped", size_flipped, true},
    };
    int warnings = 0;
    for (auto &c : cases) {
        test_write_file(t.file("c.bin.gz"), c.bytes);
        for (int block : {1, 5000}) {
            std::string out = stream_read_path(t.file("c.bin"), block);
            if (c.whole) {
                EXPECT_EQ(out, data) << c.label;
            } else {
                EXPECT_LT(out.size(), data.size()) << c.label;
                EXPECT_EQ(out, data.substr(0, out.size())) << c.label;
            }
            EXPECT_EQ(console_lines_with(CORRUPT), ++warnings) << c.label << " " << block;
        }
    }
    // The outside reference agrees that the flipped CRC is an error.
    test_write_file(t.file("crc.gz"), crc_flipped);
    std::string out;
    EXPECT_NE(test_run({"gzip", "-t", t.file("crc.gz")}, {}, &out), 0);
    EXPECT_NE(out.find("crc error"), std::string::npos) << out;
}

TEST(core_stream, BadGzipHeadersFailToOpen) {
    temp_dir t;
    std::string gz = gzip_file(t, "h.txt", "hello\n");
    remove(t.file("h.txt").c_str());
    std::string reserved = gz, method = gz, magic = gz;
    reserved[3] = 32;
    method[2] = 7;
    magic[1] = 0x8c;
    const std::string cases[] = {
        reserved, method, magic, gz.substr(0, 3),
        std::string("\x1f\x8b\x08\x04\0\0\0\0\0\x03\x10\x00" "ab", 14),  // extra field cut
        std::string("\x1f\x8b\x08\x02\0\0\0\0\0\x03\x01", 11),            // header CRC cut
        std::string("\x1f\x8b\x08\x00\0\0", 6),                            // fixed part cut
    };
    for (const std::string &c : cases) {
        test_write_file(t.file("h.txt.gz"), c);
        EXPECT_EQ(stream_open(t.file("h.txt").c_str(), "rb"), nullptr) << c.size();
    }
    // A name field that runs to the end only ends the header; the data then ends at once.
    test_write_file(t.file("h.txt.gz"), std::string("\x1f\x8b\x08\x08\0\0\0\0\0\x03name", 14));
    EXPECT_EQ(stream_read_path(t.file("h.txt")), "");
}

TEST(core_stream, ConcatenatedGzipGivesTheFirstMemberOnly) {
    temp_dir t;
    std::string a = gzip_file(t, "a", "first member\n");
    std::string b = gzip_file(t, "b", "second member\n");
    test_write_file(t.file("ab.gz"), a + b);
    EXPECT_EQ(stream_read_path(t.file("ab")), "first member\n");
    EXPECT_EQ(console_lines_with(CORRUPT), 0);
}

// An index over a game folder holding one hand-written archive:
// "m1" = "hello", "m2" = "world!", then trailing bytes that belong to no member.
struct member_fixture {
    temp_dir t;
    member_fixture() {
        test_isolate_home(t);
        test_write_file(t.file("game/pack.saf"), "5 m1\n6 m2\n-\nhelloworld!TRAILING");
        vfs_build_index();
    }
    ~member_fixture() { vfs_shutdown(); }
};

TEST(core_stream, ArchiveMembersStopAtTheirEnd) {
    member_fixture f;
    file_stream *s = stream_open("@m1", "rb");
    ASSERT_NE(s, nullptr);
    char buf[64];
    EXPECT_EQ(stream_read(s, buf, sizeof buf), 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(stream_getc(s), -1);
    EXPECT_EQ(stream_read(s, buf, sizeof buf), 0);
    stream_close(s);
    s = stream_open("@m2", "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(stream_drain(s, 1), "world!");
    stream_close(s);
    char *whole = file_to_string("@m2");
    ASSERT_NE(whole, nullptr);
    EXPECT_STREQ(whole, "world!");
    mem_free(whole);
}

// What a stream can still give bounds allocations sized by a header: exact for plain files
// and members, the trailer's size for gzip, and never more than deflate can expand to.
TEST(core_stream, RemainingBoundsWhatTheStreamCanStillGive) {
    member_fixture f;
    file_stream *s = stream_open("@m2", "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(stream_remaining(s), 6);  // not the trailing bytes of the archive
    EXPECT_EQ(stream_peekc(s), 'w');
    EXPECT_EQ(stream_remaining(s), 6);  // the peeked byte is still to come
    stream_getc(s);
    EXPECT_EQ(stream_remaining(s), 5);
    stream_close(s);

    test_write_file(f.t.file("plain.bin"), std::string(70000, 'x'));
    s = stream_open(f.t.file("plain.bin").c_str(), "rb");
    ASSERT_NE(s, nullptr);
    char block[1000];
    EXPECT_EQ(stream_remaining(s), 70000);
    EXPECT_EQ(stream_read(s, block, sizeof block), 1000);
    EXPECT_EQ(stream_remaining(s), 69000);
    stream_close(s);

    std::string data = random_data(100 * 1024);
    std::string gz = gzip_file(f.t, "g.bin", data);
    remove(f.t.file("g.bin").c_str());
    s = stream_open(f.t.file("g.bin").c_str(), "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(stream_remaining(s), (int64_t)data.size());
    EXPECT_EQ(stream_read(s, block, sizeof block), 1000);
    EXPECT_EQ(stream_remaining(s), (int64_t)data.size() - 1000);
    EXPECT_EQ(stream_drain(s, 4096), data.substr(1000));
    EXPECT_EQ(stream_remaining(s), 0);
    stream_close(s);

    // A short member whose trailer claims 4 GB: deflate's best ratio bounds it.
    std::string small = gzip_file(f.t, "h.bin", "tiny\n");
    remove(f.t.file("h.bin").c_str());
    for (int i = 1; i <= 4; i++) small[small.size() - i] = '\xff';
    test_write_file(f.t.file("h.bin.gz"), small);
    s = stream_open(f.t.file("h.bin").c_str(), "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_LE(stream_remaining(s), (int64_t)small.size() * STREAM_DEFLATE_RATIO_MAX + STREAM_WINDOW_SIZE);
    EXPECT_GE(stream_remaining(s), 5);
    stream_close(s);
}

TEST(core_stream, SeekMovesWithinTheStreamOnly) {
    member_fixture f;
    file_stream *s = stream_open("@m2", "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(stream_peekc(s), 'w');
    EXPECT_EQ(stream_seek(s, 3), 1);  // drops the peeked byte
    EXPECT_EQ(s->position, 3);
    EXPECT_EQ(stream_getc(s), 'l');
    for (int bad : {6, 7, -1}) {
        EXPECT_EQ(stream_seek(s, bad), 0) << bad;
        EXPECT_EQ(s->position, 4);
    }
    EXPECT_EQ(stream_getc(s), 'd');
    EXPECT_EQ(stream_seek(s, 0), 1);
    EXPECT_EQ(stream_drain(s, 1), "world!");
    stream_close(s);

    std::string gz = gzip_file(f.t, "z.txt", "compressed\n");
    remove(f.t.file("z.txt").c_str());
    s = stream_open(f.t.file("z.txt").c_str(), "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(stream_getc(s), 'c');
    EXPECT_EQ(stream_seek(s, 0), 0);  // no seeking in compressed data
    EXPECT_EQ(s->position, 1);
    EXPECT_EQ(stream_drain(s, 1), "ompressed\n");
    stream_close(s);
}

TEST(core_stream, LinesPeeksAndBlocksShareThePushedBackByte) {
    temp_dir t;
    test_write_file(t.file("l.txt"), "first line\nsecond\nlast without newline");
    file_stream *s = stream_open(t.file("l.txt").c_str(), "rb");
    ASSERT_NE(s, nullptr);
    char line[8];
    EXPECT_EQ(stream_peekc(s), 'f');
    EXPECT_EQ(s->position, 1);  // a peeked byte is already counted
    ASSERT_NE(stream_read_line(s, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "first l");  // at most size - 1 bytes
    ASSERT_NE(stream_read_line(s, line, sizeof line), nullptr);
    EXPECT_STREQ(line, "ine\n");
    EXPECT_EQ(stream_peekc(s), 's');
    char block[4];
    EXPECT_EQ(stream_read(s, block, 4), 4);  // the peeked byte comes first
    EXPECT_EQ(std::string(block, 4), "seco");
    char rest[64];
    ASSERT_NE(stream_read_line(s, rest, sizeof rest), nullptr);
    EXPECT_STREQ(rest, "nd\n");
    ASSERT_NE(stream_read_line(s, rest, sizeof rest), nullptr);
    EXPECT_STREQ(rest, "last without newline");
    EXPECT_EQ(stream_read_line(s, rest, sizeof rest), nullptr);
    EXPECT_EQ(stream_peekc(s), -1);
    EXPECT_EQ(stream_getc(s), -1);
    stream_close(s);
}

TEST(core_stream, WritesGoStraightToTheFile) {
    temp_dir t;
    std::string path = t.file("deep/folder/w.txt");
    file_stream *s = stream_open(path.c_str(), "wb");  // writes make their folders
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(stream_putc(s, 'A'), 1);
    EXPECT_GE(stream_puts(s, "bc\n"), 0);
    EXPECT_EQ(stream_write(s, "xyz", 3), 3);
    EXPECT_EQ(stream_printf(s, " %d %.2f\n", 42, 1.5), 9);
    EXPECT_EQ(stream_flush(s), 0);
    EXPECT_EQ(s->position, 0);
    stream_close(s);
    EXPECT_EQ(test_read_file(path), "Abc\nxyz 42 1.50\n");
}

TEST(core_stream, FileToStringTakesWholeFilesBelowSixteenMegabytes) {
    temp_dir t;
    std::string log_path = t.file("log.txt");
    setenv("PLYX_LOGFILE", log_path.c_str(), 1);
    test_write_file(t.file("empty"), "");
    char *s = file_to_string(t.file("empty").c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s, "");
    mem_free(s);
    EXPECT_EQ(file_to_string(t.file("missing").c_str()), nullptr);

    std::string big = t.file("big");
    FILE *f = fopen(big.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(ftruncate(fileno(f), 16777216), 0);  // sparse
    fclose(f);
    EXPECT_EQ(file_to_string(big.c_str()), nullptr);
    std::string log = test_read_file(log_path);
    EXPECT_NE(log.find("File " + big + " too long for file_to_string\n"), std::string::npos)
        << log;

    f = fopen(big.c_str(), "r+b");
    ASSERT_EQ(ftruncate(fileno(f), 16777215), 0);
    fseek(f, -1, SEEK_END);
    fputc('!', f);
    fclose(f);
    s = file_to_string(big.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s[16777214], '!');
    EXPECT_EQ(s[16777215], 0);
    mem_free(s);
}
