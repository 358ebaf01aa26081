// The fuzz targets: each target's body is one plain function of the input bytes, called by its
// libFuzzer entry (fuzz_NAME) and by the regression tests, with the helpers they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct file_stream;
struct terrain_field;

// One target: its name, the source folder of the reader it drives, and its input function.
struct fuzz_target {
    const char *name;
    const char *folder;
    void (*run)(const uint8_t *data, size_t size);
};

// Every target, ended by a record with a null name.
extern const fuzz_target fuzz_targets[];
// The target of that name, or null.
const fuzz_target *fuzz_find(const char *name);

// Once per process: a private folder holding the home and game folders, the environment
// pointed at them (as the tests isolate a home), no log file. Removed at exit.
void fuzz_setup();
// The private game folder, ending in '/'.
const std::string &fuzz_game_dir();
// Writes the bytes to the game folder under the relative name (folders made): the '@' name
// ("@" + relative) that reaches it.
std::string fuzz_write(const char *relative, const uint8_t *data, size_t size);
// Removes a file of the game folder again.
void fuzz_remove(const char *relative);
// Writes part i of an input's parts as the file, or removes the file when there is no such part.
void fuzz_write_part(const char *relative, const std::vector<std::string> &parts, size_t i);
// A stream over the bytes (an fmemopen FILE attached), closed with stream_close.
file_stream *fuzz_stream(const uint8_t *data, size_t size, const char *name);
// The bytes cut at every FUZZ_SPLIT, into at most max_parts parts (the last keeps the rest).
std::vector<std::string> fuzz_split(const uint8_t *data, size_t size, size_t max_parts);
// The program's terrain field, emptied, with the spacing of the stock tracks (2 feet).
terrain_field *fuzz_terrain_field();
// Empties every cache a reader may fill, so that no state carries over to the next input.
void fuzz_purge();
// The file's bytes (empty when it cannot be read).
std::string fuzz_read_file(const std::string &path);

// The input functions.
void fuzz_config(const uint8_t *data, size_t size);
void fuzz_options(const uint8_t *data, size_t size);
void fuzz_saf(const uint8_t *data, size_t size);
void fuzz_gzip(const uint8_t *data, size_t size);
void fuzz_scanf(const uint8_t *data, size_t size);
void fuzz_png(const uint8_t *data, size_t size);
void fuzz_pnm(const uint8_t *data, size_t size);
void fuzz_texture(const uint8_t *data, size_t size);
void fuzz_font(const uint8_t *data, size_t size);
void fuzz_jm(const uint8_t *data, size_t size);
void fuzz_shape(const uint8_t *data, size_t size);
void fuzz_series(const uint8_t *data, size_t size);
void fuzz_lighting(const uint8_t *data, size_t size);
void fuzz_statues(const uint8_t *data, size_t size);
void fuzz_billboards(const uint8_t *data, size_t size);
void fuzz_flaggers(const uint8_t *data, size_t size);
void fuzz_cameras(const uint8_t *data, size_t size);
void fuzz_tileinfo(const uint8_t *data, size_t size);
void fuzz_texturelist(const uint8_t *data, size_t size);
void fuzz_heightfield(const uint8_t *data, size_t size);
void fuzz_tilemap(const uint8_t *data, size_t size);
void fuzz_demo_names(const uint8_t *data, size_t size);
void fuzz_decals(const uint8_t *data, size_t size);
void fuzz_erode_message(const uint8_t *data, size_t size);
void fuzz_packed_state(const uint8_t *data, size_t size);
void fuzz_lines(const uint8_t *data, size_t size);
void fuzz_timing_gates(const uint8_t *data, size_t size);
void fuzz_engine_sound(const uint8_t *data, size_t size);
void fuzz_script_source(const uint8_t *data, size_t size);
void fuzz_demo(const uint8_t *data, size_t size);
void fuzz_net_datagrams(const uint8_t *data, size_t size);

// Parts of one input that holds several files are separated by this text.
constexpr const char *FUZZ_SPLIT = "\n--fuzz-split--\n";
// Bytes a target decompresses or reads at most from one stream (bounds gzip bombs).
constexpr int FUZZ_READ_MAX = 4 << 20;
// The largest single allocation an input may cause (libFuzzer's -malloc_limit_mb in fuzz.sh).
constexpr int FUZZ_MALLOC_LIMIT_MB = 256;
