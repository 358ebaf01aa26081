// The start-up check that a search path holds the stock archive this build was made with.
#include <cstdio>
#include <cstring>

#include "core/digest.h"
#include "core/folders.h"
#include "platform/plyx.h"

// 1 when the file's first megabyte (or all of it, when shorter) has the given digest.
static int game_data_matches(const char *path, const char *digest_hex) {
    FILE *f = fopen(path, "rb");
    if (!f) return 0;
    ripemd160_state s;
    ripemd160_init(&s);
    unsigned char block[256];
    int64_t fed = 0;
    while (fed < GAME_DATA_DIGEST_BYTES) {
        size_t n = fread(block, 1, sizeof block, f);
        if (n == 0) break;
        if (fed + (int64_t)n > GAME_DATA_DIGEST_BYTES) n = (size_t)(GAME_DATA_DIGEST_BYTES - fed);
        ripemd160_update(&s, block, n);
        fed += (int64_t)n;
    }
    fclose(f);
    ripemd160_final(&s);
    return ripemd160_hex_equal(digest_hex, &s);
}

int vfs_locate_game_data_with(const char *digest_hex) {
    char path[1024];
    const char *home = path_search_dir(0);
    if (home && search_paths.has_home) {
        path_make_dirs(home);
        // The log's first message names its file; a name that does not fit is not cut.
        if (snprintf(path, sizeof path, "PLYX_LOGFILE=%slastlog.txt", home) < (int)sizeof path)
            plyx_log("%s", path);
    }
    for (int i = 0; const char *dir = path_search_dir(i); i++) {
        if (snprintf(path, sizeof path, "%szzzz.saf", dir) >= (int)sizeof path) continue;
        if (game_data_matches(path, digest_hex)) return 1;
    }
    return 0;
}

int vfs_locate_game_data() {
    return vfs_locate_game_data_with(stock_digest_hex);
}
