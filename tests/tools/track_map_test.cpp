// The stock tracks' "map.png": four colours only, the start line where the course starts, and
// the check that holds the course's pixels to its centreline.
#include <gtest/gtest.h>

#include <set>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/trackgen.h"

TEST(tools_track_map, StockMapsAndTheirCheck) {
    EXPECT_EQ(datagen_map_self_check(), "");
    const datagen_track &t = datagen_practice_track();
    long width = datagen_practice_plan().half_width;
    datagen_image img = datagen_track_map_image(t, width);
    ASSERT_EQ(img.width, 256);
    ASSERT_EQ(img.height, 256);
    ASSERT_EQ(img.channels, 4);
    std::set<uint32_t> colours;
    for (size_t i = 0; i < img.pixels.size(); i += 4)
        colours.insert((uint32_t)img.pixels[i] << 24 | img.pixels[i + 1] << 16 | img.pixels[i + 2] << 8 | img.pixels[i + 3]);
    EXPECT_EQ(colours, (std::set<uint32_t>{0xC4A06EE6, 0x281E14FF, 0xFFFFFFFF, 0x1E3C1E5A}));
    // The start line's point is white; the picture's top row is z = 0.
    datagen_course_point s = t.course[(size_t)datagen_start_line_index(t)];
    int i = (int)(s.x * 256 / ((t.n - 1) * 16)), j = (int)(s.z * 256 / ((t.n - 1) * 16));
    const unsigned char *px = &img.pixels[((size_t)j * 256 + i) * 4];
    EXPECT_EQ(px[0] + px[1] + px[2], 3 * 255) << i << " " << j;
    // A course-coloured pixel far from the course fails the check.
    unsigned char *corner = &img.pixels[0];
    corner[0] = 196, corner[1] = 160, corner[2] = 110, corner[3] = 230;
    EXPECT_EQ(datagen_map_check(t, width, img), "map pixel (0, 0) off the course");
    // The members are the same bytes on every call.
    EXPECT_EQ(datagen_practice_map(), datagen_practice_map());
}
