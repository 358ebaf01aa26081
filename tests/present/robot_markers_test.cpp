// The debug markers of a robot's working line: four quads a point, the target white and
// higher, air samples blue, both windings of the pad.
#include <gtest/gtest.h>

#include <cmath>

#include "present/robot_markers.h"
#include "race/robots.h"

TEST(present_markers, FourQuadsAPointColouredBySample) {
    rider_slot s = {};
    plyx_array_init(&s.working_line, sizeof(line_point), 4);
    const line_point points[] = {{10, 5, 20, 30, 0}, {11, 6, 21, -30, 0}, {12, 7, 22, 30, 0},
                                 {NAN, 0, 0, 1, 0}};
    for (const line_point &p : points) ASSERT_TRUE(plyx_array_append(&s.working_line, &p));
    s.target_index = 2;
    marker_quad q[16];
    ASSERT_EQ(robot_marker_quads(&s, q, 16), 12);   // the non-finite point has none
    struct row {
        int point;
        float height;
        float colour[3];
    } rows[] = {{0, 0.125f, {0.5f, 0.5f, 0.5f}}, {1, 0.125f, {0.5f, 0.5f, 1}}, {2, 0.25f, {1, 1, 1}}};
    for (const row &r : rows) {
        SCOPED_TRACE(r.point);
        const line_point &p = points[r.point];
        const marker_quad *m = &q[4 * r.point];
        // The pad: black, 3 ft, at the point's height, once each way round.
        for (int k = 0; k < 2; k++) {
            for (int c = 0; c < 3; c++) EXPECT_EQ(m[k].colour[c], 0);
            for (auto &corner : m[k].corners) {
                EXPECT_FLOAT_EQ(corner[1], p.y);
                EXPECT_FLOAT_EQ(std::fabs(corner[0] - p.x), 1.5f);
                EXPECT_FLOAT_EQ(std::fabs(corner[2] - p.z), 1.5f);
            }
        }
        for (int c = 0; c < 4; c++)
            for (int i = 0; i < 3; i++) EXPECT_EQ(m[0].corners[c][i], m[1].corners[3 - c][i]);
        // The squares above and below: 2 ft, in the marker colour, facing up and down.
        for (int k = 2; k < 4; k++) {
            for (int c = 0; c < 3; c++) EXPECT_EQ(m[k].colour[c], r.colour[c]);
            float y = k == 2 ? p.y + r.height : p.y - r.height;
            for (auto &corner : m[k].corners) {
                EXPECT_FLOAT_EQ(corner[1], y);
                EXPECT_FLOAT_EQ(std::fabs(corner[0] - p.x), 1);
            }
            // The normal of the winding (seen with y up): up for the upper square.
            const float *a = m[k].corners[0], *b = m[k].corners[1], *c = m[k].corners[2];
            float ny = (b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2]);
            EXPECT_EQ(ny > 0, k == 2);
        }
    }
    // Room for fewer: whole points only.
    EXPECT_EQ(robot_marker_quads(&s, q, 6), 4);
    rider_slot empty = {};
    EXPECT_EQ(robot_marker_quads(&empty, q, 16), 0);
    plyx_array_free(&s.working_line);
}
