// Collision shapes: the cache, copies, bounding radius, hostile files and the stock shapes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bike/contact.h"
#include "bike/shape.h"
#include "core/console.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "tests/support/test_support.h"

// The console lines since the last console_clear, oldest first.
static std::vector<std::string> shape_console_lines() {
    std::vector<std::string> lines;
    for (int i = 0; i < console_log.head; i++) lines.push_back(console_log.lines[i]);
    return lines;
}

static const char *const TWO_SPHERES = "2\n"
                                       "0.5 -1.25 2 0.75 0.5 10000 1000\n"
                                       "-3 4 0 1 0.6 5000 500\n";

TEST(bike_shape, OneReadPerNameAndDistinctEqualCopies) {
    temp_dir t;
    std::string path = t.file("part.shp");
    test_write_file(path, TWO_SPHERES);
    collision_shape *first = shape_copy(path.c_str());
    ASSERT_NE(first, nullptr);
    // The file is gone: the second copy can only come from the cache.
    remove(path.c_str());
    collision_shape *second = shape_copy(path.c_str());
    ASSERT_NE(second, nullptr);
    collision_shape *cached = shape_load(path.c_str());
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(shape_cache.count, 1);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->source_shape, cached);
    EXPECT_EQ(second->source_shape, cached);
    EXPECT_EQ(cached->source_shape, nullptr);
    ASSERT_EQ(first->count, 2);
    EXPECT_EQ(memcmp(first->rows, second->rows, 2 * sizeof(collision_sphere)), 0);
    EXPECT_EQ(memcmp(first->rows, cached->rows, 2 * sizeof(collision_sphere)), 0);
    EXPECT_EQ(shape_bounding_radius(first), shape_bounding_radius(second));
    // Each copy owns its rows and name inside its own block.
    EXPECT_EQ((void *)first->rows, (void *)(first + 1));
    EXPECT_EQ((void *)shape_name(first), (void *)(first->rows + 2));
    EXPECT_STREQ(shape_name(second), path.c_str());
    first->rows[1].centre = {9, 9, 9};
    vec3 c;
    float r;
    ASSERT_EQ(shape_sphere(second, 1, &c, &r), 1);
    EXPECT_EQ(c.x, -3.0f);
    EXPECT_EQ(c.y, 4.0f);
    EXPECT_EQ(r, 1.0f);
    ASSERT_EQ(shape_sphere(first, 1, &c, &r), 1);  // a copy reports its rows as they are now
    EXPECT_EQ(c.x, 9.0f);
    EXPECT_EQ(cached->rows[1].centre.x, -3.0f);
    EXPECT_EQ(shape_sphere(first, 2, &c, &r), 0);
    EXPECT_EQ(shape_sphere(first, -1, &c, &r), 0);
    EXPECT_EQ(cached->rows[0].mu, 0.5f);
    EXPECT_EQ(cached->rows[0].spring, 10000.0f);
    EXPECT_EQ(cached->rows[0].damper, 1000.0f);
    mem_free(first);
    mem_free(second);
    shape_free_cache();
    EXPECT_EQ(shape_cache.items, nullptr);
    EXPECT_EQ(shape_cache.count, 0);
    EXPECT_EQ(shape_cache.capacity, 0);
    EXPECT_EQ(shape_load(path.c_str()), nullptr);  // emptied: the file is read again
}

TEST(bike_shape, NamesAreCaseSensitiveAndTheTableDoubles) {
    temp_dir t;
    test_isolate_home(t);
    test_write_file(t.file("game/s.shp"), TWO_SPHERES);
    vfs_build_index();
    collision_shape *lower = shape_load("@s.shp");
    collision_shape *upper = shape_load("@S.shp");  // found through the index, cached apart
    ASSERT_NE(lower, nullptr);
    ASSERT_NE(upper, nullptr);
    EXPECT_NE(lower, upper);
    EXPECT_STREQ(shape_name(upper), "@S.shp");
    EXPECT_EQ(shape_load("@s.shp"), lower);

    std::vector<collision_shape *> loaded = {lower, upper};
    for (int i = 2; i < 17; i++) {
        std::string path = t.file("shape" + std::to_string(i) + ".shp");
        test_write_file(path, TWO_SPHERES);
        loaded.push_back(shape_load(path.c_str()));
        ASSERT_NE(loaded.back(), nullptr);
        EXPECT_EQ(shape_cache.capacity, i < 16 ? 16 : 32) << i;
        EXPECT_EQ(shape_cache.count, i + 1);
    }
    for (int i = 0; i < 17; i++) EXPECT_EQ(((collision_shape **)shape_cache.items)[i], loaded[i]);
    shape_free_cache();
    vfs_shutdown();
}

TEST(bike_shape, BoundingRadiusIsTheFarthestReach) {
    temp_dir t;
    struct sphere { double x, y, z, r; };
    const std::vector<sphere> spheres = {
        {0.25, -1.5, 0.75, 0.3}, {-2.0, 0.5, 1.125, 0.05}, {0, 0, 0, 1.9}, {1, 1, -1, 0.2}};
    std::string text = std::to_string(spheres.size()) + "\n";
    double expected = 0;
    for (const sphere &s : spheres) {
        text += std::to_string(s.x) + " " + std::to_string(s.y) + " " + std::to_string(s.z) +
                "\n" + std::to_string(s.r) + " 1 100 10\n";
        expected = std::max(expected, std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z) + s.r);
    }
    test_write_file(t.file("b.shp"), text);
    collision_shape *shape = shape_load(t.file("b.shp").c_str());
    ASSERT_NE(shape, nullptr);
    EXPECT_NEAR(shape_bounding_radius(shape), expected, 1e-6);

    test_write_file(t.file("empty.shp"), "0\n");
    collision_shape *empty = shape_copy(t.file("empty.shp").c_str());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->count, 0);
    EXPECT_EQ(shape_bounding_radius(empty), 0.0f);
    vec3 c;
    float r;
    EXPECT_EQ(shape_sphere(empty, 0, &c, &r), 0);
    mem_free(empty);
    shape_free_cache();
}

TEST(bike_shape, HostileFilesGiveNoneWithoutEndingTheProgram) {
    temp_dir t;
    const std::string row = "0 0 0 1 0.5 100 10\n";
    struct hostile { std::string text, warning; };
    const hostile cases[] = {
        {"-1\n" + row, "Warning: bad sphere count -1 in '%s'\n"},
        {"4097\n" + row, "Warning: bad sphere count 4097 in '%s'\n"},
        {"2147483647\n" + row, "Warning: bad sphere count 2147483647 in '%s'\n"},
        {"4294967295\n", "Warning: bad sphere count -1 in '%s'\n"},  // wraps in 32 bits
        {"", ""},
        {"seven\n" + row, ""},
        {"2\n" + row + "0 0 0 1 0.5 100\n", ""},              // the last row lacks its damper
        {"1\n0 zero 0 1 0.5 100 10\n", ""},
        {"1\n0 0 0 -1 0.5 100 10\n", "Warning: bad sphere 0 in '%s'\n"},
        {"2\n" + row + "1234567890123456789012345678901234567890 0 0 1 0.5 100 10\n",
         "Warning: bad sphere 1 in '%s'\n"},
        {"1\n0 1e39 0 1 0.5 100 10\n", "Warning: bad sphere 0 in '%s'\n"},
        {"1\n0 0 1024.5 1 0.5 100 10\n", "Warning: bad sphere 0 in '%s'\n"},
        {"1\n0 0 0 256.5 0.5 100 10\n", "Warning: bad sphere 0 in '%s'\n"},
        {"1\n0 0 0 1 -0.5 100 10\n", "Warning: bad sphere 0 in '%s'\n"},
        {"1\n0 0 0 1 0.5 -100 10\n", "Warning: bad sphere 0 in '%s'\n"},
        {"1\n0 0 0 1 0.5 100 -10\n", "Warning: bad sphere 0 in '%s'\n"},
    };
    std::string path = t.file("hostile.shp");
    for (const hostile &h : cases) {
        console_clear();
        test_write_file(path, h.text);
        EXPECT_EQ(shape_load(path.c_str()), nullptr) << h.text;
        EXPECT_EQ(shape_cache.count, 0) << h.text;
        std::vector<std::string> lines = shape_console_lines();
        if (h.warning.empty()) {
            EXPECT_TRUE(lines.empty()) << h.text << lines[0];
        } else {
            char expected[2048];
            snprintf(expected, sizeof expected, h.warning.c_str(), path.c_str());
            ASSERT_EQ(lines.size(), 1u) << h.text;
            EXPECT_EQ(lines[0], expected);
        }
    }
    // Missing files are silent, and nothing is remembered for a failed name.
    console_clear();
    EXPECT_EQ(shape_copy(t.file("missing.shp").c_str()), nullptr);
    EXPECT_TRUE(shape_console_lines().empty());
    std::string full = "4096\n";
    for (int i = 0; i < 4096; i++) full += row;
    test_write_file(path, full);
    collision_shape *shape = shape_load(path.c_str());
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->count, 4096);
    shape_free_cache();
}

// ---- The stock shapes -------------------------------------------------------------------

struct stock_part {
    const char *name;
    int count;
    vec3 origin;  // the body's rest position in bike coordinates
};

static const stock_part STOCK_PARTS[] = {
    {"@generic_frame.shp", 7, {0, 1.98f, 3.6f}},
    {"@generic_fork_upper.shp", 3, {0, 2.9f, 2.16f}},
    {"@generic_fork_lower.shp", 4, {0, 1.77f, 1.59f}},
    {"@generic_swingarm.shp", 4, {0, 1.34f, 4.99f}},
    {"@front_wheel.shp", 8, {0, 0, 0}},
    {"@rear_wheel.shp", 8, {0, 0, 0}},
    {"@generic_rider.shp", 3, {0, 4.5f, 4.12f}},
};

// A copy of the stock shape placed upright at its rest position lowered by drop.
static collision_shape *stock_placed(const stock_part &part, float drop) {
    collision_shape *shape = shape_copy(part.name);
    if (!shape) return nullptr;
    shape_transform t = {{part.origin.x, part.origin.y - drop, part.origin.z},
                         {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    shape_place(shape, t);
    return shape;
}

// The smallest gap between spheres of the two shapes (negative: they overlap).
static float stock_clearance(const collision_shape *a, const collision_shape *b) {
    float gap = 1e30f;
    for (int i = 0; i < a->count; i++)
        for (int j = 0; j < b->count; j++) {
            vec3 d = a->rows[i].centre - b->rows[j].centre;
            gap = std::min(gap, sqrtf(vec3_length2(d)) - a->rows[i].radius - b->rows[j].radius);
        }
    return gap;
}

TEST(bike_stock_shapes, LoadWithTheirCountsAndClearEachOtherAndTheGround) {
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    console_clear();
    for (const stock_part &part : STOCK_PARTS) {
        collision_shape *shape = shape_load(part.name);
        ASSERT_NE(shape, nullptr) << part.name;
        EXPECT_EQ(shape->count, part.count) << part.name;
        EXPECT_GT(shape_bounding_radius(shape), 0.0f) << part.name;
    }
    EXPECT_TRUE(shape_console_lines().empty());

    // At rest the rider sits clear of the frame and the upper fork (re-seating would otherwise
    // fight its own contacts).
    const stock_part &frame = STOCK_PARTS[0], &fork = STOCK_PARTS[1], &rider = STOCK_PARTS[6];
    collision_shape *f = stock_placed(frame, 0), *u = stock_placed(fork, 0),
                    *r = stock_placed(rider, 0);
    EXPECT_GT(stock_clearance(r, f), 0.0f);
    EXPECT_GT(stock_clearance(r, u), 0.0f);
    mem_free(f);
    mem_free(u);
    mem_free(r);
    // Lowered by the full suspension travel plus the tyre section, frame, upper fork and rider
    // still stay above the ground.
    for (const stock_part *part : {&frame, &fork, &rider}) {
        collision_shape *shape = stock_placed(*part, 1.4f);
        for (int i = 0; i < shape->count; i++)
            EXPECT_GT(shape->rows[i].centre.y - shape->rows[i].radius, 0.0f)
                << part->name << " sphere " << i;
        mem_free(shape);
    }
    shape_free_cache();
    vfs_shutdown();
}
