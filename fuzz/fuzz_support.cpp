// What the fuzz targets share: the private folders, inputs as files and streams, splitting an
// input into files, emptying the caches after each input, and replaying saved inputs.
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/shape.h"
#include "core/folders.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/util.h"
#include "core/vfs.h"
#include "fuzz/fuzz.h"
#include "game/config.h"
#include "gfx/font.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "net/client.h"
#include "platform/plyx.h"
#include "race/track.h"
#include "terrain/terrain.h"

static std::string fuzz_root;   // the private folder, without a trailing '/'
static std::string fuzz_game;

static int fuzz_remove_entry(const char *path, const struct stat *, int, struct FTW *) {
    return remove(path);
}

static void fuzz_remove_root() {
    if (!fuzz_root.empty()) nftw(fuzz_root.c_str(), fuzz_remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

void fuzz_setup() {
    if (!fuzz_root.empty()) return;
    // Memory-backed when there is such a folder: inputs are written as files millions of times.
    const char *tmp = getenv("TMPDIR");
    struct stat st;
    if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK) == 0)
        tmp = "/dev/shm";
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/zr-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) {
        perror("mkdtemp");
        abort();
    }
    fuzz_root = name.data();
    for (const char *sub : {"/xdg", "/home", "/game"}) mkdir((fuzz_root + sub).c_str(), 0700);
    fuzz_game = fuzz_root + "/game/";
    setenv("XDG_DATA_HOME", (fuzz_root + "/xdg").c_str(), 1);
    setenv("HOME", (fuzz_root + "/home").c_str(), 1);
    setenv("ZR_HOME", (fuzz_root + "/game").c_str(), 1);
    unsetenv("PLYX_LOGFILE");
    unsetenv("PLYX_LOGFILE_FLAGS");
    unsetenv("PLYX_OPTIONS");
    // The log is set up by its first message: this one, never an input's text.
    plyx_log("fuzzing in %s\n", fuzz_root.c_str());
    atexit(fuzz_remove_root);
}

const std::string &fuzz_game_dir() {
    fuzz_setup();
    return fuzz_game;
}

std::string fuzz_write(const char *relative, const uint8_t *data, size_t size) {
    std::string path = fuzz_game_dir() + relative;
    path_make_dirs(path.c_str());
    // A new file rather than the old one truncated, which some file systems flush to disk.
    remove(path.c_str());
    FILE *f = fopen(path.c_str(), "wb");
    if (!f || (size > 0 && fwrite(data, 1, size, f) != size) || fclose(f) != 0) {
        perror(path.c_str());
        abort();
    }
    return std::string("@") + relative;
}

void fuzz_remove(const char *relative) {
    remove((fuzz_game_dir() + relative).c_str());
}

void fuzz_write_part(const char *relative, const std::vector<std::string> &parts, size_t i) {
    if (i < parts.size())
        fuzz_write(relative, (const uint8_t *)parts[i].data(), parts[i].size());
    else
        fuzz_remove(relative);
}

terrain_field *fuzz_terrain_field() {
    terrain_field *f = &terrain_main_record;
    terrain_free(f);
    f->spacing = 2.0f;
    return f;
}

file_stream *fuzz_stream(const uint8_t *data, size_t size, const char *name) {
    // fmemopen refuses an empty buffer: an empty input is an empty file.
    FILE *f = size > 0 ? fmemopen((void *)data, size, "rb") : fopen("/dev/null", "rb");
    if (!f) abort();
    file_stream *s = (file_stream *)mem_alloc_or_die(sizeof(file_stream));
    stream_attach(s, f, 0, STREAM_WHOLE_FILE, name);
    return s;
}

std::vector<std::string> fuzz_split(const uint8_t *data, size_t size, size_t max_parts) {
    std::string all((const char *)data, size);
    std::vector<std::string> parts;
    size_t from = 0, sep = strlen(FUZZ_SPLIT);
    while (parts.size() + 1 < max_parts) {
        size_t at = all.find(FUZZ_SPLIT, from);
        if (at == std::string::npos) break;
        parts.push_back(all.substr(from, at - from));
        from = at + sep;
    }
    parts.push_back(all.substr(from));
    return parts;
}

void fuzz_purge() {
    tex_purge(1);
    font_free_all();
    model_purge(1);
    shape_free_cache();
    terrain_free(&terrain_main_record);
    vfs_shutdown();
    // Interned texts are held by the settings and the run's names: reset them, then free.
    settings_reset();
    track_name = nullptr;
    connect_address = nullptr;
    server_password = nullptr;
    util_intern_free_all();
}

std::string fuzz_read_file(const std::string &path) {
    std::string bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char block[65536];
    for (size_t n; (n = fread(block, 1, sizeof block, f)) > 0;) bytes.append(block, n);
    fclose(f);
    return bytes;
}

const fuzz_target fuzz_targets[] = {
    {"config", "core", fuzz_config},
    {"options", "core", fuzz_options},
    {"saf", "core", fuzz_saf},
    {"gzip", "core", fuzz_gzip},
    {"scanf", "core", fuzz_scanf},
    {"series", "core", fuzz_series},
    {"demo_names", "core", fuzz_demo_names},
    {"png", "gfx", fuzz_png},
    {"pnm", "gfx", fuzz_pnm},
    {"texture", "gfx", fuzz_texture},
    {"font", "gfx", fuzz_font},
    {"jm", "gfx", fuzz_jm},
    {"shape", "bike", fuzz_shape},
    {"packed_state", "bike", fuzz_packed_state},
    {"lighting", "race", fuzz_lighting},
    {"lines", "race", fuzz_lines},
    {"demo", "race", fuzz_demo},
    {"statues", "race", fuzz_statues},
    {"billboards", "race", fuzz_billboards},
    {"flaggers", "race", fuzz_flaggers},
    {"cameras", "race", fuzz_cameras},
    {"timing_gates", "race", fuzz_timing_gates},
    {"tileinfo", "terrain", fuzz_tileinfo},
    {"texturelist", "terrain", fuzz_texturelist},
    {"heightfield", "terrain", fuzz_heightfield},
    {"tilemap", "terrain", fuzz_tilemap},
    {"decals", "terrain", fuzz_decals},
    {"engine_sound", "present", fuzz_engine_sound},
    {"erode_message", "terrain", fuzz_erode_message},
    {"script_source", "script", fuzz_script_source},
    {"net_datagrams", "net", fuzz_net_datagrams},
    {nullptr, nullptr, nullptr},
};

const fuzz_target *fuzz_find(const char *name) {
    for (const fuzz_target *t = fuzz_targets; t->name; t++)
        if (strcmp(t->name, name) == 0) return t;
    return nullptr;
}
