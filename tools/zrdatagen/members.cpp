// The stock archive's members, in archive order. New members are appended here: a name (lower
// case, '/'-separated, see datagen_check_name) and the function that makes its bytes.
#include "tools/zrdatagen/datagen.h"

static std::string datagen_about_member() {
    return datagen_gzip(datagen_about_text());
}

const datagen_member datagen_members[] = {
    {"about.txt.gz", datagen_about_member},
    {"generic_frame.shp", datagen_shape_frame},
    {"generic_fork_upper.shp", datagen_shape_fork_upper},
    {"generic_fork_lower.shp", datagen_shape_fork_lower},
    {"generic_swingarm.shp", datagen_shape_swingarm},
    {"front_wheel.shp", datagen_shape_front_wheel},
    {"rear_wheel.shp", datagen_shape_rear_wheel},
    {"generic_rider.shp", datagen_shape_rider},
    {"tracks/practice/desc", datagen_practice_desc},
    {"tracks/practice/terrain.hf", datagen_practice_terrain},
    {"tracks/practice/shadows.pgm", datagen_practice_shadows},
    {"tracks/practice/shadingx2.ppm", datagen_practice_shading},
    {"tracks/practice/tileinfo", datagen_track_tileinfo},
    {"tracks/practice/tilemap", datagen_practice_tilemap},
    {"tracks/practice/lighting", datagen_practice_lighting},
    {"font.png", datagen_font_png},
    {"numbers.png", datagen_numbers_png},
    {"numbers-condensed.png", datagen_numbers_condensed_png},
    {"title.png", datagen_title_png},
    {"tach.png", datagen_tach_png},
    {"shifter.png", datagen_shifter_png},
    {"pitboard.png", datagen_pitboard_png},
    {"colors/white.png", datagen_white_png},
    {"flags/checkered.seq", datagen_checkered_seq},
    {"flags/checkered-4.png", datagen_checkered_4_png},
    {"flags/finish.png", datagen_finish_link},
    {"series/sample.series", datagen_sample_series},
    {"dirt.png", datagen_dirt_png},
    {"grass.png", datagen_grass_png},
    {"sand.png", datagen_sand_png},
    {"mud.png", datagen_mud_png},
    {"roost.png", datagen_roost_png},
    {"tracks/hillside/desc", datagen_hillside_desc},
    {"tracks/hillside/terrain.hf", datagen_hillside_terrain},
    {"tracks/hillside/shadows.pgm", datagen_hillside_shadows},
    {"tracks/hillside/shadingx2.ppm", datagen_hillside_shading},
    {"tracks/hillside/tileinfo", datagen_track_tileinfo},
    {"tracks/hillside/tilemap", datagen_hillside_tilemap},
    {"tracks/hillside/lighting", datagen_hillside_lighting},
};

const int datagen_member_count = (int)(sizeof datagen_members / sizeof datagen_members[0]);
