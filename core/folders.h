// The search paths (home folder, then game folder), path joining, the game-data check and the
// shortcut that opens the home folder.
#pragma once

#include <cstdint>

// Up to two folder paths, each ending in '/', then a null entry; count is -1 until built.
struct search_path_list {
    char *paths[3];
    int count;
    int has_home;   // 1 when paths[0] is the home folder
};

extern search_path_list search_paths;

// A new block (mem_alloc) holding a then b, '\' turned into '/' and runs of '/' made one; null
// when a or b is null or memory runs out.
char *path_join(const char *a, const char *b);
// The i-th search path (the list is built on the first call), or null when out of range.
const char *path_search_dir(int i);
// Makes every folder along the path, that is each text before a '/'. Failures are ignored.
void path_make_dirs(const char *path);
// Makes the home folder and asks the desktop to show it (xdg-open, not waited for).
void path_open_home();
// Frees the search paths; the next path_search_dir builds them again.
void path_free_search_dirs();

// 1 when a search path holds a "zzzz.saf" whose first megabyte has the build's digest.
int vfs_locate_game_data();
// The same check against the given 40 hex digits.
int vfs_locate_game_data_with(const char *digest_hex);

// The build's digests of the stock archive and of the stock collision shape files, fed in the
// order the stock-shape check reads them (generated source).
extern const char stock_digest_hex[41];
extern const char stock_shapes_digest_hex[41];

constexpr int PATH_MAKE_DIRS_MAX = 1024;        // path with its zero, for path_make_dirs
constexpr int64_t GAME_DATA_DIGEST_BYTES = 1048576;
