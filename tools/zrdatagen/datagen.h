// The stock-data generator's building blocks: the ".saf" archive writer, stored-deflate gzip,
// and the ordered table of members. Every output is the same bytes on every run.
#pragma once

#include <string>
#include <vector>

// One member of the stock archive: its name and the function that makes its bytes.
struct datagen_member {
    const char *name;
    std::string (*make)();
};

// An archive being assembled: members in the order they were added.
struct datagen_archive {
    std::vector<std::string> names;
    std::vector<std::string> data;
};

// The stock members, in archive order (members.cpp).
extern const datagen_member datagen_members[];
extern const int datagen_member_count;

// "" when the name may be an archive member, else the reason it may not.
std::string datagen_check_name(const std::string &name);
// Adds a member: 1, or 0 with *error set for a bad or repeated name or an oversized member.
int datagen_archive_add(datagen_archive *a, const std::string &name, std::string bytes,
                        std::string *error);
// The archive file: "<size> <name>\n" lines, "-\n", then the data back to back.
std::string datagen_archive_bytes(const datagen_archive &a);
// The stock archive from the member table: 1, or 0 with *error set.
int datagen_stock_archive(std::string *out, std::string *error);

// Raw deflate data made of stored blocks (no compression, so no dependence on zlib's deflate).
std::string datagen_deflate_stored(const std::string &data);
// A gzip member holding data: no name, time stamp 0, stored deflate blocks, CRC-32 and size.
std::string datagen_gzip(const std::string &data);
// Appends v as 2 or 4 little-endian bytes.
void datagen_put_le16(std::string *out, unsigned v);
void datagen_put_le32(std::string *out, unsigned long v);

// A number as "%.6f" (never "-0.000000"), the one layout of the generator's text files.
std::string datagen_decimal(double v);

// Writes the bytes to path through "<path>.tmp" and a rename: 1, or 0 (the old file stays).
int datagen_write_file(const std::string &path, const std::string &bytes);

// The text of "about.txt.gz".
std::string datagen_about_text();
// The stock tracks' files (track_practice.cpp, track_hillside.cpp, trackgen.cpp): "terrain.hf"
// (header, ':', 16-bit samples), "shadows.pgm", "shadingx2.ppm", "tilemap", "lighting", "desc",
// and the "tileinfo" both share.
std::string datagen_practice_terrain();
std::string datagen_practice_shadows();
std::string datagen_practice_shading();
std::string datagen_practice_tilemap();
std::string datagen_practice_lighting();
std::string datagen_practice_desc();
std::string datagen_hillside_terrain();
std::string datagen_hillside_shadows();
std::string datagen_hillside_shading();
std::string datagen_hillside_tilemap();
std::string datagen_hillside_lighting();
std::string datagen_hillside_desc();
std::string datagen_track_tileinfo();
std::string datagen_practice_decals();
std::string datagen_hillside_decals();
// The stock tracks' billboards and the script that animates them (frills.cpp).
std::string datagen_practice_billboards();
std::string datagen_practice_frills();
std::string datagen_hillside_billboards();
std::string datagen_hillside_frills();
std::string datagen_practice_timing_gates();
std::string datagen_hillside_timing_gates();
std::string datagen_startgate_jm();
std::string datagen_startgate_ppm();
std::string datagen_startgate_shp();
// A stock line file: track 0 practice, 1 hillside; level 0 novice, 1 amateur, 2 expert.
std::string datagen_stock_lines(int track, int level);
// "" or the first problem of the stock line files.
std::string datagen_lines_self_check();
// "" or the first problem of the stock timing gates.
std::string datagen_timing_self_check();
// The stock tracks' "map.png", and "" or the first problem of them.
std::string datagen_practice_map();
std::string datagen_hillside_map();
std::string datagen_map_self_check();
// The hillside's start tower (lighttower.cpp): model, picture and pole shape, its statue row,
// the flare lines of its lamps, and the check that the lamps are in
// sight from behind the gates ("" when they are).
std::string datagen_lighttower_jm();
std::string datagen_lighttower_png();
std::string datagen_lighttower_shp();
std::string datagen_hillside_tower_statue();
std::string datagen_hillside_tower_flare();
std::string datagen_tower_check();
// The marshals' waving flags, four frames each (flagger_anims.cpp).
std::string datagen_flagger_chequered_seq();
std::string datagen_flagger_yellow_seq();
// The decal pictures (decals.cpp): RGBA, width / height equal to their decals' aspect.
std::string datagen_decal_startline_png();
std::string datagen_decal_arrow_png();
std::string datagen_decal_worn_png();
std::string datagen_decal_startline_tnorm_png();
std::string datagen_decal_arrow_tnorm_png();
std::string datagen_decal_worn_tnorm_png();
std::string datagen_decal_startline_tspec_png();
std::string datagen_decal_arrow_tspec_png();
// The ground kinds' textures and the roost particle (ground_textures.cpp).
std::string datagen_dirt_png();
std::string datagen_grass_png();
std::string datagen_sand_png();
std::string datagen_mud_png();
std::string datagen_roost_png();

// "series/sample.series": a points series on the stock tracks.
std::string datagen_sample_series();
// The stock collision shapes (shapes.cpp), and their names in the order their digest is taken.
std::string datagen_shape_frame();
std::string datagen_shape_fork_upper();
std::string datagen_shape_fork_lower();
std::string datagen_shape_swingarm();
std::string datagen_shape_front_wheel();
std::string datagen_shape_rear_wheel();
std::string datagen_shape_rider();
extern const char *const datagen_stock_shape_names[];
// The stock shapes' bytes back to back in digest order, taken from the member table: 1, or 0
// when a shape is missing from the table.
int datagen_stock_shape_bytes(std::string *out);

// Graphics members (fonts.cpp, title.cpp, hud_images.cpp, flags.cpp).
std::string datagen_font_png();
std::string datagen_numbers_png();
std::string datagen_numbers_condensed_png();
std::string datagen_title_png();
std::string datagen_tach_png();
std::string datagen_shifter_png();
std::string datagen_pitboard_png();
std::string datagen_white_png();
std::string datagen_checkered_seq();
std::string datagen_checkered_4_png();
std::string datagen_finish_link();

// The stock engine sounds (engine_sounds.cpp), by class 0 "250f", 1 "450f", 2 "125", 3 "250",
// 4 "50": a cell's 16-bit samples (six firing pulses at the row's speed, load 0 or 1), the
// class's SOUNDTABLE, its ".braap" description with the pipe's length, and the default one.
std::string datagen_engine_cell(int klass, int row, int load);
std::string datagen_engine_table(int klass);
std::string datagen_engine_braap(int klass, double pipe_length);
std::string datagen_engine_braap_default(int klass);
int datagen_engine_row_rpm(int klass, int row);
int datagen_engine_row_count(int klass);
const char *datagen_engine_class_name(int klass);

constexpr int DATAGEN_VERSION = 1;
constexpr int DATAGEN_ENGINE_CLASSES = 5;
constexpr int DATAGEN_STOCK_SHAPES = 7;
constexpr int DATAGEN_LINE_MAX = 1022;      // header line with its newline stays below 1,023
constexpr long DATAGEN_MEMBER_MAX = 2147483647L;
