// The stock archive's members, in archive order. New members are appended here: a name (lower
// case, '/'-separated, see datagen_check_name) and the function that makes its bytes.
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/modelgen.h"
#include "tools/zrdatagen/trackside.h"

template <int Face>
static std::string datagen_sky_member() {
    return datagen_sky_ppm(Face);
}
template <int Kind>
static std::string datagen_flare_member() {
    return datagen_flare_png(Kind);
}
template <int Which>
static std::string datagen_flagger_member() {
    return datagen_flagger_png(Which);
}

static std::string datagen_about_member() {
    return datagen_gzip(datagen_about_text());
}

// The number plate colours of a bike texture, read when a bike is loaded.
static const char *const BIKE_PLATE_TAGS[] = {
    "[numberbackground:0.05,0.05,0.05][numberforeground:1,1,1]",      // yz250fv2014
    "[numberbackground:1,0.85,0.1][numberforeground:0,0,0]",          // zr125
    "[numberbackground:0.1,0.35,0.8][numberforeground:1,1,1]",        // zr250
    "[numberbackground:0.05,0.05,0.05][numberforeground:1,1,1]",      // zr250f
    "[numberbackground:1,1,1][numberforeground:0,0,0]",               // zr450f
    "[numberbackground:0.85,0.1,0.1][numberforeground:1,1,1]",        // zr50
};

template <int Word>
static std::string datagen_bike_plate_info() {
    return datagen_info_file({BIKE_PLATE_TAGS[Word]});
}

// The part files and the texture of one bike base word.
#define DATAGEN_BIKE_MEMBERS(index, word, engine_class)                                     \
    {word "_frame.jm", datagen_bike_member<index, BIKE_FILE_FRAME>},                        \
    {word "_frame_lod6.jm", datagen_bike_member<index, BIKE_FILE_FRAME_LOD>},               \
    {word "_fork_upper.jm", datagen_bike_member<index, BIKE_FILE_FORK_UPPER>},              \
    {word "_fork_upper_lod6.jm", datagen_bike_member<index, BIKE_FILE_FORK_UPPER_LOD>},     \
    {word "_fork_lower.jm", datagen_bike_member<index, BIKE_FILE_FORK_LOWER>},              \
    {word "_fork_lower_lod6.jm", datagen_bike_member<index, BIKE_FILE_FORK_LOWER_LOD>},     \
    {word "_swingarm.jm", datagen_bike_member<index, BIKE_FILE_SWINGARM>},                  \
    {word "_swingarm_lod6.jm", datagen_bike_member<index, BIKE_FILE_SWINGARM_LOD>},         \
    {word "_side_plates.jm", datagen_bike_member<index, BIKE_FILE_SIDE_PLATES>},            \
    {word "_front_plate.jm", datagen_bike_member<index, BIKE_FILE_FRONT_PLATE>},            \
    {word ".png", datagen_bike_member<index, BIKE_FILE_TEXTURE>},                          \
    {word ".png.info", datagen_bike_plate_info<index>},

// The engine sounds' members: descriptions, tables and cells by class, row and load.
template <int Klass>
static std::string datagen_engine_braap_member() {
    return datagen_engine_braap_default(Klass);
}
template <int Klass>
static std::string datagen_engine_table_member() {
    return datagen_engine_table(Klass);
}
template <int Klass, int Row, int Load>
static std::string datagen_engine_cell_member() {
    return datagen_engine_cell(Klass, Row, Load);
}
// The default bike's own description: a 250f with a 5.4 ft pipe.
static std::string datagen_yz250f_braap() {
    return datagen_engine_braap(0, 5.4);
}

// The robots' line files of a stock track and level.
template <int Track, int Level>
static std::string datagen_stock_lines_member() {
    return datagen_stock_lines(Track, Level);
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
    {"tracks/practice/decals", datagen_practice_decals},
    {"tracks/practice/billboards", datagen_practice_billboards},
    {"tracks/practice/frills.js", datagen_practice_frills},
    {"tracks/practice/map.png", datagen_practice_map},
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
    {"decals/startline.png", datagen_decal_startline_png},
    {"decals/startline_tnorm.png", datagen_decal_startline_tnorm_png},
    {"decals/startline_tspec.png", datagen_decal_startline_tspec_png},
    {"decals/arrow.png", datagen_decal_arrow_png},
    {"decals/arrow_tnorm.png", datagen_decal_arrow_tnorm_png},
    {"decals/arrow_tspec.png", datagen_decal_arrow_tspec_png},
    {"decals/worn.png", datagen_decal_worn_png},
    {"decals/worn_tnorm.png", datagen_decal_worn_tnorm_png},
    {"tracks/hillside/desc", datagen_hillside_desc},
    {"tracks/hillside/terrain.hf", datagen_hillside_terrain},
    {"tracks/hillside/shadows.pgm", datagen_hillside_shadows},
    {"tracks/hillside/shadingx2.ppm", datagen_hillside_shading},
    {"tracks/hillside/tileinfo", datagen_track_tileinfo},
    {"tracks/hillside/tilemap", datagen_hillside_tilemap},
    {"tracks/hillside/lighting", datagen_hillside_lighting},
    {"tracks/hillside/decals", datagen_hillside_decals},
    {"tracks/hillside/billboards", datagen_hillside_billboards},
    {"tracks/hillside/frills.js", datagen_hillside_frills},
    {"tracks/hillside/map.png", datagen_hillside_map},
    {"front_wheel.jm", datagen_front_wheel_jm},
    {"front_wheel_lod5.jm", datagen_front_wheel_lod5_jm},
    {"front_wheel_lod7.jm.gz", datagen_front_wheel_lod7_jm_gz},
    {"rear_wheel.jm", datagen_rear_wheel_jm},
    {"rear_wheel_lod5.jm", datagen_rear_wheel_lod5_jm},
    {"rear_wheel_lod7.jm.gz", datagen_rear_wheel_lod7_jm_gz},
    {"wheels.png", datagen_wheels_png},
    {"rider_head.jm", datagen_rider_head_jm},
    {"rider_head_lod6.jm", datagen_rider_head_lod6_jm},
    {"rider_head.png", datagen_rider_head_png},
    {"rider_body.jm", datagen_rider_body_jm},
    {"rider_body_lod6.jm", datagen_rider_body_lod6_jm},
    {"rider_body_fp.jm", datagen_rider_body_fp_jm},
    {"rider_plate.jm", datagen_rider_plate_jm},
    {"rider_body.png", datagen_rider_body_png},
    DATAGEN_BIKE_WORD_LIST(DATAGEN_BIKE_MEMBERS)
    {"default250f.braap", datagen_engine_braap_member<0>},
    {"default450f.braap", datagen_engine_braap_member<1>},
    {"default125.braap", datagen_engine_braap_member<2>},
    {"default250.braap", datagen_engine_braap_member<3>},
    {"default50.braap", datagen_engine_braap_member<4>},
    {"yz250fv2014.braap", datagen_yz250f_braap},
    {"sounds/250f.tab", datagen_engine_table_member<0>},
    {"sounds/250f/r1500l0.raw", datagen_engine_cell_member<0, 0, 0>},
    {"sounds/250f/r1500l1.raw", datagen_engine_cell_member<0, 0, 1>},
    {"sounds/250f/r3000l0.raw", datagen_engine_cell_member<0, 1, 0>},
    {"sounds/250f/r3000l1.raw", datagen_engine_cell_member<0, 1, 1>},
    {"sounds/250f/r4500l0.raw", datagen_engine_cell_member<0, 2, 0>},
    {"sounds/250f/r4500l1.raw", datagen_engine_cell_member<0, 2, 1>},
    {"sounds/250f/r6000l0.raw", datagen_engine_cell_member<0, 3, 0>},
    {"sounds/250f/r6000l1.raw", datagen_engine_cell_member<0, 3, 1>},
    {"sounds/250f/r7500l0.raw", datagen_engine_cell_member<0, 4, 0>},
    {"sounds/250f/r7500l1.raw", datagen_engine_cell_member<0, 4, 1>},
    {"sounds/250f/r9000l0.raw", datagen_engine_cell_member<0, 5, 0>},
    {"sounds/250f/r9000l1.raw", datagen_engine_cell_member<0, 5, 1>},
    {"sounds/250f/r10500l0.raw", datagen_engine_cell_member<0, 6, 0>},
    {"sounds/250f/r10500l1.raw", datagen_engine_cell_member<0, 6, 1>},
    {"sounds/250f/r12000l0.raw", datagen_engine_cell_member<0, 7, 0>},
    {"sounds/250f/r12000l1.raw", datagen_engine_cell_member<0, 7, 1>},
    {"sounds/250f/r13500l0.raw", datagen_engine_cell_member<0, 8, 0>},
    {"sounds/250f/r13500l1.raw", datagen_engine_cell_member<0, 8, 1>},
    {"sounds/450f.tab", datagen_engine_table_member<1>},
    {"sounds/450f/r1200l0.raw", datagen_engine_cell_member<1, 0, 0>},
    {"sounds/450f/r1200l1.raw", datagen_engine_cell_member<1, 0, 1>},
    {"sounds/450f/r2500l0.raw", datagen_engine_cell_member<1, 1, 0>},
    {"sounds/450f/r2500l1.raw", datagen_engine_cell_member<1, 1, 1>},
    {"sounds/450f/r4000l0.raw", datagen_engine_cell_member<1, 2, 0>},
    {"sounds/450f/r4000l1.raw", datagen_engine_cell_member<1, 2, 1>},
    {"sounds/450f/r5500l0.raw", datagen_engine_cell_member<1, 3, 0>},
    {"sounds/450f/r5500l1.raw", datagen_engine_cell_member<1, 3, 1>},
    {"sounds/450f/r7000l0.raw", datagen_engine_cell_member<1, 4, 0>},
    {"sounds/450f/r7000l1.raw", datagen_engine_cell_member<1, 4, 1>},
    {"sounds/450f/r8500l0.raw", datagen_engine_cell_member<1, 5, 0>},
    {"sounds/450f/r8500l1.raw", datagen_engine_cell_member<1, 5, 1>},
    {"sounds/450f/r10000l0.raw", datagen_engine_cell_member<1, 6, 0>},
    {"sounds/450f/r10000l1.raw", datagen_engine_cell_member<1, 6, 1>},
    {"sounds/450f/r11500l0.raw", datagen_engine_cell_member<1, 7, 0>},
    {"sounds/450f/r11500l1.raw", datagen_engine_cell_member<1, 7, 1>},
    {"sounds/125.tab", datagen_engine_table_member<2>},
    {"sounds/125/r1500l0.raw", datagen_engine_cell_member<2, 0, 0>},
    {"sounds/125/r1500l1.raw", datagen_engine_cell_member<2, 0, 1>},
    {"sounds/125/r3500l0.raw", datagen_engine_cell_member<2, 1, 0>},
    {"sounds/125/r3500l1.raw", datagen_engine_cell_member<2, 1, 1>},
    {"sounds/125/r5500l0.raw", datagen_engine_cell_member<2, 2, 0>},
    {"sounds/125/r5500l1.raw", datagen_engine_cell_member<2, 2, 1>},
    {"sounds/125/r7500l0.raw", datagen_engine_cell_member<2, 3, 0>},
    {"sounds/125/r7500l1.raw", datagen_engine_cell_member<2, 3, 1>},
    {"sounds/125/r9500l0.raw", datagen_engine_cell_member<2, 4, 0>},
    {"sounds/125/r9500l1.raw", datagen_engine_cell_member<2, 4, 1>},
    {"sounds/125/r11500l0.raw", datagen_engine_cell_member<2, 5, 0>},
    {"sounds/125/r11500l1.raw", datagen_engine_cell_member<2, 5, 1>},
    {"sounds/125/r13500l0.raw", datagen_engine_cell_member<2, 6, 0>},
    {"sounds/125/r13500l1.raw", datagen_engine_cell_member<2, 6, 1>},
    {"sounds/250.tab", datagen_engine_table_member<3>},
    {"sounds/250/r1500l0.raw", datagen_engine_cell_member<3, 0, 0>},
    {"sounds/250/r1500l1.raw", datagen_engine_cell_member<3, 0, 1>},
    {"sounds/250/r3000l0.raw", datagen_engine_cell_member<3, 1, 0>},
    {"sounds/250/r3000l1.raw", datagen_engine_cell_member<3, 1, 1>},
    {"sounds/250/r4500l0.raw", datagen_engine_cell_member<3, 2, 0>},
    {"sounds/250/r4500l1.raw", datagen_engine_cell_member<3, 2, 1>},
    {"sounds/250/r6000l0.raw", datagen_engine_cell_member<3, 3, 0>},
    {"sounds/250/r6000l1.raw", datagen_engine_cell_member<3, 3, 1>},
    {"sounds/250/r7500l0.raw", datagen_engine_cell_member<3, 4, 0>},
    {"sounds/250/r7500l1.raw", datagen_engine_cell_member<3, 4, 1>},
    {"sounds/250/r9000l0.raw", datagen_engine_cell_member<3, 5, 0>},
    {"sounds/250/r9000l1.raw", datagen_engine_cell_member<3, 5, 1>},
    {"sounds/250/r10500l0.raw", datagen_engine_cell_member<3, 6, 0>},
    {"sounds/250/r10500l1.raw", datagen_engine_cell_member<3, 6, 1>},
    {"sounds/50.tab", datagen_engine_table_member<4>},
    {"sounds/50/r2000l0.raw", datagen_engine_cell_member<4, 0, 0>},
    {"sounds/50/r2000l1.raw", datagen_engine_cell_member<4, 0, 1>},
    {"sounds/50/r4000l0.raw", datagen_engine_cell_member<4, 1, 0>},
    {"sounds/50/r4000l1.raw", datagen_engine_cell_member<4, 1, 1>},
    {"sounds/50/r6000l0.raw", datagen_engine_cell_member<4, 2, 0>},
    {"sounds/50/r6000l1.raw", datagen_engine_cell_member<4, 2, 1>},
    {"sounds/50/r8000l0.raw", datagen_engine_cell_member<4, 3, 0>},
    {"sounds/50/r8000l1.raw", datagen_engine_cell_member<4, 3, 1>},
    {"sounds/50/r10000l0.raw", datagen_engine_cell_member<4, 4, 0>},
    {"sounds/50/r10000l1.raw", datagen_engine_cell_member<4, 4, 1>},
    {"sounds/50/r12000l0.raw", datagen_engine_cell_member<4, 5, 0>},
    {"sounds/50/r12000l1.raw", datagen_engine_cell_member<4, 5, 1>},
    {"sounds/50/r14000l0.raw", datagen_engine_cell_member<4, 6, 0>},
    {"sounds/50/r14000l1.raw", datagen_engine_cell_member<4, 6, 1>},
    {"startgate.jm", datagen_startgate_jm},
    {"startgate.ppm", datagen_startgate_ppm},
    {"startgate.shp", datagen_startgate_shp},
    {"tracks/practice/timing_gates", datagen_practice_timing_gates},
    {"tracks/hillside/timing_gates", datagen_hillside_timing_gates},
    {"tracks/practice/lines_novice", datagen_stock_lines_member<0, 0>},
    {"tracks/practice/lines_amateur", datagen_stock_lines_member<0, 1>},
    {"tracks/practice/lines_expert", datagen_stock_lines_member<0, 2>},
    {"tracks/hillside/lines_novice", datagen_stock_lines_member<1, 0>},
    {"tracks/hillside/lines_amateur", datagen_stock_lines_member<1, 1>},
    {"tracks/hillside/lines_expert", datagen_stock_lines_member<1, 2>},
    {"haybale.jm", datagen_haybale_jm},
    {"haybale.png", datagen_haybale_png},
    {"haybale_norm.png", datagen_haybale_norm_png},
    {"haybale.shp", datagen_haybale_shp},
    {"banner.jm", datagen_banner_jm},
    {"banner-zr.png", datagen_banner_zr_png},
    {"banner-mx.png", datagen_banner_mx_png},
    {"banner.shp", datagen_banner_shp},
    {"tent.jm", datagen_tent_jm},
    {"tent.png", datagen_tent_png},
    {"tent.shp", datagen_tent_shp},
    {"windsock.jm", datagen_windsock_jm},
    {"windsock.png", datagen_windsock_png},
    {"tree-pine.png", datagen_tree_pine_png},
    {"tree-broadleaf.png", datagen_tree_broadleaf_png},
    {"spectators.png", datagen_spectators_png},
    {"flag.png", datagen_flag_png},
    {"sky-n.ppm", datagen_sky_member<0>},
    {"sky-e.ppm", datagen_sky_member<1>},
    {"sky-s.ppm", datagen_sky_member<2>},
    {"sky-w.ppm", datagen_sky_member<3>},
    {"sky-u.ppm", datagen_sky_member<4>},
    {"sky-env.ppm", datagen_sky_env_ppm},
    {"flare-glow.png", datagen_flare_member<0>},
    {"flare-ring.png", datagen_flare_member<1>},
    {"flare-hex.png", datagen_flare_member<2>},
    {"flagger-start-1.png", datagen_flagger_member<0>},
    {"flagger-start-2.png", datagen_flagger_member<1>},
    {"flagger-start-3.png", datagen_flagger_member<2>},
    {"flagger-start-4.png", datagen_flagger_member<3>},
    {"flagger-start-5.png", datagen_flagger_member<4>},
    {"flagger-lap-green.png", datagen_flagger_member<5>},
    {"flagger-lap-halfway.png", datagen_flagger_member<6>},
    {"flagger-lap-white.png", datagen_flagger_member<7>},
    {"flagger-lap-chequered.png", datagen_flagger_member<8>},
    {"flagger-yellow.png", datagen_flagger_member<9>},
    {"flagger-yellow-wave.png", datagen_flagger_member<10>},
    {"sounds/crowd.raw", datagen_crowd_raw},
    {"tracks/practice/statues", datagen_practice_statues},
    {"tracks/practice/cameras", datagen_practice_cameras},
    {"tracks/hillside/statues", datagen_hillside_statues},
    {"tracks/hillside/cameras", datagen_hillside_cameras},
    {"tracks/hillside/flaggers", datagen_hillside_flaggers},
    {"lighttower.jm", datagen_lighttower_jm},
    {"lighttower.png", datagen_lighttower_png},
    {"lighttower.shp", datagen_lighttower_shp},
    {"flagger-chequered.seq", datagen_flagger_chequered_seq},
    {"flagger-yellow.seq", datagen_flagger_yellow_seq},
};

const int datagen_member_count = (int)(sizeof datagen_members / sizeof datagen_members[0]);
