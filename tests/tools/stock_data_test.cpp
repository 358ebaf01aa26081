// The stock-data generator: determinism, the committed and embedded digests, the archive the
// game reads, and the writers' rules checked against the gzip tool.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/console.h"
#include "core/digest.h"
#include "core/folders.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "race/catalogue.h"
#include "tests/support/test_support.h"
#include "tools/zrdatagen/datagen.h"

static std::string stock_generator() {
    return test_binary_dir() + "/tools/zrdatagen";
}

// RIPEMD-160 of the first limit bytes, as 40 hex digits.
static std::string stock_digest(const std::string &bytes, size_t limit) {
    char hex[41];
    ripemd160_hex_of(bytes.data(), bytes.size() < limit ? bytes.size() : limit, hex);
    return hex;
}

TEST(tools_stock_data, TwoRunsGiveTheSameBytes) {
    temp_dir a, b;
    std::string out;
    ASSERT_EQ(test_run({stock_generator(), "--out", a.path, "--bike-table", a.file("bikes.cpp")}, {}, &out), 0) << out;
    ASSERT_EQ(test_run({stock_generator(), "--out", b.path, "--bike-table", b.file("bikes.cpp")}, {}, &out), 0) << out;
    std::string bikes = test_read_file(a.file("bikes.cpp"));
    ASSERT_FALSE(bikes.empty());
    EXPECT_EQ(bikes, test_read_file(b.file("bikes.cpp")));
    EXPECT_EQ(bikes, test_read_file(test_binary_dir() + "/generated/bike_info_table.cpp"));
    std::string first = test_read_file(a.file("zzzz.saf"));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, test_read_file(b.file("zzzz.saf")));
    EXPECT_EQ(first, test_read_file(test_binary_dir() + "/game/zzzz.saf"));
    EXPECT_FALSE(test_file_exists(a.file("zzzz.saf.tmp")));
    EXPECT_EQ(test_run({stock_generator()}, {}, &out), 2);
    EXPECT_EQ(test_run({stock_generator(), "--out", a.file("missing/folder")}, {}, &out), 1);
}

// The stock shape files in the order the stock-shape check feeds them to its digest.
static const char *const STOCK_SHAPE_FILES[] = {
    "@generic_frame.shp", "@generic_fork_upper.shp", "@generic_fork_lower.shp",
    "@generic_swingarm.shp", "@front_wheel.shp", "@rear_wheel.shp", "@generic_rider.shp"};

TEST(tools_stock_data, DigestsEqualTheCommittedAndTheEmbeddedOnes) {
    std::string archive = test_read_file(test_binary_dir() + "/game/zzzz.saf");
    std::string digest = stock_digest(archive, 1048576);
    EXPECT_EQ(std::string(stock_digest_hex), digest);

    // The shape files as the game reads them, back to back.
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    std::string shapes;
    for (const char *name : STOCK_SHAPE_FILES) {
        char *text = file_to_string(name);
        ASSERT_NE(text, nullptr) << name;
        shapes += text;
        mem_free(text);
    }
    vfs_shutdown();
    std::string shapes_digest = stock_digest(shapes, shapes.size());
    EXPECT_EQ(std::string(stock_shapes_digest_hex), shapes_digest);
    std::string generated;
    ASSERT_EQ(datagen_stock_shape_bytes(&generated), 1);
    EXPECT_EQ(generated, shapes);
    // One changed byte in a copy no longer matches.
    std::string changed = shapes;
    changed[changed.size() / 2] ^= 1;
    EXPECT_NE(std::string(stock_shapes_digest_hex), stock_digest(changed, changed.size()));

    // The committed file holds both, as the generator prints them.
    std::string lines = digest + "  zzzz.saf\n" + shapes_digest + "  stock shapes\n";
    EXPECT_EQ(test_read_file(test_source_dir() + "/tools/stock_digest.txt"), lines)
        << "the stock data changed: update tools/stock_digest.txt (see README.md)";
    std::string out;
    ASSERT_EQ(test_run({stock_generator(), "--out", t.path}, {}, &out), 0) << out;
    EXPECT_EQ(out, lines);
}

TEST(tools_stock_data, TheGameFindsItsDataAndReadsAboutTxt) {
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    EXPECT_EQ(vfs_locate_game_data(), 1);
    vfs_build_index();
    char *about = file_to_string("@about.txt");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(std::string(about), datagen_about_text());
    mem_free(about);
    for (auto &line : console_log.lines) EXPECT_EQ(strstr(line, "Warning"), nullptr) << line;

    // The member's bytes are a gzip file the gzip tool accepts.
    int i = vfs_index_find("about.txt.gz");
    ASSERT_GE(i, 0);
    const file_index_entry &e = ((const file_index_entry *)vfs_index.entries.items)[i];
    std::string archive = test_read_file(e.containing_file);
    test_write_file(t.file("about.txt.gz"), archive.substr((size_t)e.offset, (size_t)e.size));
    std::string out;
    EXPECT_EQ(test_run({"gzip", "-t", t.file("about.txt.gz")}, {}, &out), 0) << out;
    // The build's game folder holds the executable and the data only.
    std::vector<std::string> loose;
    const file_index_entry *entries = (const file_index_entry *)vfs_index.entries.items;
    for (int k = 0; k < vfs_index.entries.count; k++)
        if (entries[k].source == 1) loose.push_back(entries[k].relative_name);
    EXPECT_EQ(loose, (std::vector<std::string>{"zr", "zzzz.saf"}));
    vfs_shutdown();
}

TEST(tools_stock_data, GzipWriterOutputPassesTheGzipTool) {
    temp_dir t;
    for (size_t n : {0u, 1u, 65535u, 65536u, 200000u}) {
        std::string data(n, 0);
        for (size_t i = 0; i < n; i++) data[i] = (char)(i * 7 + i / 300);
        test_write_file(t.file("g.gz"), datagen_gzip(data));
        std::string out;
        EXPECT_EQ(test_run({"gzip", "-t", t.file("g.gz")}, {}, &out), 0) << n << out;
        EXPECT_EQ(test_run({"sh", "-c", "gzip -dc '" + t.file("g.gz") + "' > '" + t.file("g") + "'"},
                           {}, &out),
                  0);
        EXPECT_EQ(test_read_file(t.file("g")), data) << n;
    }
}

TEST(tools_stock_data, ArchiveWriterKeepsTheNameRules) {
    datagen_archive a;
    std::string error;
    ASSERT_EQ(datagen_archive_add(&a, "fonts/big.fnt", "abc", &error), 1) << error;
    ASSERT_EQ(datagen_archive_add(&a, "empty", "", &error), 1) << error;
    EXPECT_EQ(datagen_archive_bytes(a), "3 fonts/big.fnt\n0 empty\n-\nabc");
    const char *bad[] = {
        "", "Upper.png", "a//b", "/abs", "dir/", "a b", "tab\tname", "back\\slash", "./x",
        "a/../b", "inner.saf", "config", "results.txt", "lastlog.txt", "setups/x", "keycam/k",
        "outgoing/o", "demos/d.zrdemo", "series_standings", "screenshot001.png", "fonts/big.fnt",
        "caf\xc3\xa9",
    };
    for (const char *name : bad) {
        error.clear();
        EXPECT_EQ(datagen_archive_add(&a, name, "x", &error), 0) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_EQ(datagen_archive_add(&a, std::string(1010, 'n'), "x", &error), 1) << error;
    EXPECT_EQ(datagen_archive_add(&a, std::string(1020, 'n'), "x", &error), 0);  // a 1,023-byte line
    EXPECT_EQ(a.names.size(), 3u);
    // The stock table itself obeys them.
    std::string archive;
    EXPECT_EQ(datagen_stock_archive(&archive, &error), 1) << error;
}

// The stock tracks, their files, and their height fields in the ':' form (whose bytes enter the
// track hash without any zlib output).
TEST(tools_stock_data, TheStockTracksAreInTheCatalogue) {
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    ASSERT_EQ(track_scan_catalogue(), 1);
    ASSERT_EQ(track_catalogue.count, 2);
    EXPECT_STREQ(track_catalogue.folders[0], "tracks/hillside");
    EXPECT_STREQ(track_catalogue.descriptions[0], "Hillside");
    EXPECT_STREQ(track_catalogue.folders[1], "tracks/practice");
    EXPECT_STREQ(track_catalogue.descriptions[1], "Practice Track");
    struct {
        const char *folder;
        int k;
    } tracks[] = {{"tracks/hillside", 8}, {"tracks/practice", 6}};
    for (auto &track : tracks) {
        for (const char *name : {"desc", "lighting", "shadingx2.ppm", "shadows.pgm", "tileinfo", "tilemap"}) {
            file_stream *s = stream_open((std::string("@") + track.folder + "/" + name).c_str(), "rb");
            EXPECT_NE(s, nullptr) << track.folder << "/" << name;
            stream_close(s);
        }
        file_stream *s = stream_open((std::string("@") + track.folder + "/terrain.hf").c_str(), "rb");
        ASSERT_NE(s, nullptr);
        int k = 0;
        float spacing = 0, lo = 0, hi = 0;
        ASSERT_EQ(stream_scanf(s, "%d %f %f %f ", &k, &spacing, &lo, &hi), 4);
        EXPECT_EQ(k, track.k);
        EXPECT_EQ(spacing, 2.0f);
        EXPECT_EQ(lo, 0.0f);
        ASSERT_EQ(stream_getc(s), ':');
        int n = 2 * (1 << k) + 1;
        std::vector<unsigned char> samples((size_t)n * n * 2);
        EXPECT_EQ(stream_read(s, samples.data(), (int)samples.size()), (int)samples.size());
        EXPECT_EQ(stream_getc(s), -1);
        stream_close(s);
        EXPECT_FALSE(vfs_exists((std::string(track.folder) + "/terrain.png").c_str()));
    }
    track_catalogue_free();
    vfs_shutdown();
}
