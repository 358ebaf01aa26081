// The built-in bike table: names and classes, the example row value for value, the rows with
// given values, and the row check over all 80 rows and over broken copies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>

#include "bike/bike_info.h"
#include "bike/bike_models.h"

TEST(bike_table, NamesOrderAndEngineClasses) {
    std::map<std::string, int> classes;
    for (int i = 0; i < BIKE_INFO_ROWS; i++) {
        EXPECT_STREQ(bike_info_table[i].name, bike_model_names[i]);
        classes[bike_info_table[i].engine_class]++;
        EXPECT_EQ(bike_info_find(bike_model_names[i]), &bike_info_table[i]);
    }
    EXPECT_EQ(classes, (std::map<std::string, int>{{"125", 5}, {"250f", 38}, {"250", 5}, {"450f", 28}, {"50", 4}}));
    EXPECT_STREQ(bike_info_find("350sxf(2011)")->engine_class, "250f");
    EXPECT_STREQ(bike_info_find("350sxf(2013)")->engine_class, "250f");
    EXPECT_STREQ(bike_info_find("350sxf(2017)")->engine_class, "450f");
    EXPECT_EQ(bike_info_find("YZ250F(2017)"), nullptr);
    EXPECT_EQ(bike_info_find(""), nullptr);
}

TEST(bike_table, TheExampleRowValueForValue) {
    const bike_info *r = bike_info_find("yz250f(2017)");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(bike_info_index(r), 49);
    const std::map<int, float> want = {
        {0, 0}, {1, 1.09f}, {2, 1.11f}, {3, 0.8333f}, {4, 0.3333f}, {5, 0.40625f}, {6, 0.5f},
        {7, 0.15625f}, {8, 0}, {9, 1.04f}, {10, 6.0f}, {11, 0.75f}, {12, 0.3333f}, {13, 0.46875f},
        {14, 0.5f}, {15, 0.3125f}, {16, 0}, {17, 1.98f}, {18, 3.6f}, {19, 4.24f}, {20, 0.8333f},
        {21, 1.6667f}, {22, 1.6667f}, {23, 0}, {24, 2.9f}, {25, 2.16f}, {26, 0}, {27, 1.34f},
        {28, 4.99f}, {29, 0}, {30, 1.6f}, {31, 4.08f}, {32, 0}, {33, 1.77f}, {34, 1.59f},
        {35, 0.8333f}, {36, 3.0f}, {37, 0.703125f}, {38, 335.98f}, {39, 873.56f}, {40, 0},
        {41, 0.0833f}, {42, 0.4167f}, {43, 0.25f}, {44, 60}, {45, 60}, {46, 30}, {47, 30},
        {48, 1.0f}, {49, 0.504375f}, {50, 2217.5f}, {51, 4905.37f}, {52, 0}, {53, 0.3333f},
        {54, 800}, {55, 200}, {56, 600}, {57, 150}, {58, 0.28365f}, {59, 0.41339f}, {60, 0.5303f},
        {61, 0.75f}, {62, 0.31504f}, {63, 0.46048f}, {64, 0.60705f}, {65, 3.35294f}, {66, 13},
        {67, 50}, {68, 2.14286f}, {69, 1.75f}, {70, 1.44444f}, {71, 1.22222f}, {72, 1.04167f},
        {73, -1}, {74, 0.0048828125f}, {75, 7500}, {76, 0.75f}, {177, 8000}, {178, 12500},
        {179, 13250}, {180, 0}, {181, 0.0833f}, {182, 0.0833f}, {183, 0}, {184, 4.5f},
        {185, 4.12f}, {186, -0.6667f}, {187, 0.5f}, {188, 4.6875f}, {584, 0.9f}, {585, 1.15f},
        {586, 1.328f}, {587, 1.701f}};
    for (auto &w : want) EXPECT_EQ(bike_v(r, w.first), w.second) << "V" << w.first;
    float peak = 0;
    for (int i = 0; i < 50; i++) peak = std::fmax(peak, bike_v(r, 127 + i));
    EXPECT_NEAR(peak, 19.35f, 1e-5);
    EXPECT_EQ(bike_v(r, 127 + 18), 19.35f);   // the peak at 9000 rpm
    const char *files[23] = {
        "@yz250fv2014_frame.jm", "@generic_frame.shp", "@yz250fv2014.png",
        "@yz250fv2014_fork_upper.jm", "@generic_fork_upper.shp", "@yz250fv2014_fork_lower.jm",
        "@generic_fork_lower.shp", "@yz250fv2014_swingarm.jm", "@generic_swingarm.shp",
        "@front_wheel.jm", "@front_wheel.shp", "@rear_wheel.jm", "@rear_wheel.shp", "@wheels.png",
        "@rider_head.jm", "@rider_head.png", "@rider_body.jm", "@rider_body_fp.jm",
        "@generic_rider.shp", "@rider_body.png", "@yz250fv2014_side_plates.jm",
        "@yz250fv2014_front_plate.jm", "@rider_plate.jm"};
    for (int i = 0; i < 23; i++) EXPECT_STREQ(bike_file(r, i), files[i]) << i;
    EXPECT_STREQ(bike_file(r, 23), "");
    EXPECT_EQ(bike_v(r, 200), 0.0f);
}

TEST(bike_table, RowsWithGivenValues) {
    const bike_info *cr = bike_info_find("cr125");
    const float gears[6] = {2.357f, 1.867f, 1.579f, 1.294f, 1.133f, -1};
    for (int g = 0; g < 6; g++) EXPECT_EQ(bike_v(cr, 68 + g), gears[g]);
    EXPECT_EQ(bike_v(cr, 66), 13);
    EXPECT_EQ(bike_v(cr, 67), 52);
    EXPECT_EQ(bike_v(cr, 177), 9400);
    EXPECT_EQ(bike_v(cr, 178), 12000);
    EXPECT_EQ(bike_v(cr, 179), 12750);
    EXPECT_STREQ(bike_file(cr, 0), "@zr125_frame.jm");
    const bike_info *rs = bike_info_find("rs50cr");
    for (int g = 0; g < 6; g++) EXPECT_GT(bike_v(rs, 68 + g), 0) << g;
    EXPECT_EQ(bike_v(rs, 66), 12);
    EXPECT_EQ(bike_v(rs, 67), 55);
    // A year off 2017 changes the frame mass and the peak torque a little, within 5%.
    const bike_info *old = bike_info_find("yz250f_se(2006)");
    EXPECT_NEAR(bike_v(old, 19), 4.24f * 1.044f, 1e-5);
    EXPECT_STREQ(bike_file(bike_info_find("fc450(2018)"), 2), "@zr450f.png");
}

TEST(bike_table, EveryRowPassesTheCheckAndBrokenCopiesFail) {
    for (const bike_info &row : bike_info_table) EXPECT_EQ(bike_info_check(&row), nullptr) << row.name << ": " << bike_info_check(&row);
    struct {
        const char *label;
        void (*spoil)(bike_info *);
    } cases[] = {
        {"closed torque at 0 rpm below 0", [](bike_info *r) { r->a[77] = -1; }},
        {"a rising ratio", [](bike_info *r) { r->a[70] = r->a[69] + 0.1f; }},
        {"a zero steering axis", [](bike_info *r) { r->a[32] = r->a[23], r->a[33] = r->a[24], r->a[34] = r->a[25]; }},
        {"zero fork travel", [](bike_info *r) { r->a[48] = 0; }},
        {"a NaN mass", [](bike_info *r) { r->a[19] = NAN; }},
        {"a ratio after a missing gear", [](bike_info *r) { r->a[71] = -1; }},
        {"a long file name", [](bike_info *r) { memset(r->files[3], 'x', 64); }},
    };
    for (auto &c : cases) {
        bike_info copy = *bike_info_find("yz250f(2017)");
        c.spoil(&copy);
        EXPECT_NE(bike_info_check(&copy), nullptr) << c.label;
    }
}

TEST(bike_table, SetupMenuReadOuts) {
    const bike_info *r = bike_info_find("yz250f(2017)");
    EXPECT_NEAR(bike_info_fork_spring_rate(r, 0), 335.98f * 0.0007440819724087572f, 1e-6);
    EXPECT_NEAR(bike_info_fork_preload(r, 2), 0.0833f * 304.8f, 1e-4);   // clamped to 1
    EXPECT_NEAR(bike_info_shock_preload(r, NAN), 0, 1e-6);
    EXPECT_EQ(bike_info_rear_sprocket(r), 50);
}
