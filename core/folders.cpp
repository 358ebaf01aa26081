// The search paths: the home folder under the XDG data folder, then the game folder.
#include "core/folders.h"

#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "core/mem.h"

extern char **environ;

search_path_list search_paths = {{nullptr, nullptr, nullptr}, -1, 0};

char *path_join(const char *a, const char *b) {
    if (!a || !b) return nullptr;
    size_t la = strlen(a), lb = strlen(b);
    char *out = (char *)mem_alloc(la + lb + 1);
    if (!out) return nullptr;
    size_t n = 0;
    for (int part = 0; part < 2; part++) {
        for (const char *p = part ? b : a; *p; p++) {
            char c = *p == '\\' ? '/' : *p;
            if (c == '/' && n > 0 && out[n - 1] == '/') continue;
            out[n++] = c;
        }
    }
    out[n] = 0;
    return out;
}

// The XDG rules: XDG_DATA_HOME counts only when non-empty and absolute.
static char *search_home_folder() {
    const char *xdg = getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return path_join(xdg, "/ZR Simulator/");
    const char *home = getenv("HOME");
    if (home && home[0] == '/') return path_join(home, "/.local/share/ZR Simulator/");
    return nullptr;
}

// ZR_HOME when set (and not empty), else the folder of the executable, symlinks resolved.
static char *search_game_folder() {
    const char *env = getenv("ZR_HOME");
    if (env && *env) return path_join(env, "/");
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe);
    if (n <= 0 || n >= (ssize_t)sizeof exe) return nullptr;  // a full buffer may be cut
    exe[n] = 0;
    char *slash = strrchr(exe, '/');
    if (!slash) return nullptr;
    slash[1] = 0;
    return path_join(exe, "");
}

static void search_build() {
    search_paths.count = 0;
    search_paths.has_home = 0;
    if (char *home = search_home_folder()) {
        search_paths.paths[search_paths.count++] = home;
        search_paths.has_home = 1;
    }
    if (char *game = search_game_folder()) search_paths.paths[search_paths.count++] = game;
    search_paths.paths[search_paths.count] = nullptr;
}

const char *path_search_dir(int i) {
    if (search_paths.count < 0) search_build();
    if (i < 0 || i >= search_paths.count) return nullptr;
    return search_paths.paths[i];
}

void path_free_search_dirs() {
    for (char *&p : search_paths.paths) {
        mem_free(p);
        p = nullptr;
    }
    search_paths.count = -1;
    search_paths.has_home = 0;
}

void path_make_dirs(const char *path) {
    size_t len = strlen(path);
    if (len + 1 > (size_t)PATH_MAKE_DIRS_MAX) return;
    char buf[PATH_MAKE_DIRS_MAX];
    memcpy(buf, path, len + 1);
    for (size_t i = 1; i < len; i++) {
        if (buf[i] != '/' || buf[i - 1] == '/') continue;
        buf[i] = 0;
        mkdir(buf, 0777);
        buf[i] = '/';
    }
}

void path_open_home() {
    if (path_search_dir(0) == nullptr || !search_paths.has_home) return;
    const char *home = path_search_dir(0);
    path_make_dirs(home);
    size_t len = strlen(home);
    char *folder = (char *)mem_alloc(len + 1);
    if (!folder) return;
    memcpy(folder, home, len + 1);
    while (len > 1 && folder[len - 1] == '/') folder[--len] = 0;
    // No shell and no wait: a missing xdg-open simply fails to spawn.
    char verb[] = "xdg-open";
    char *argv[] = {verb, folder, nullptr};
    pid_t pid;
    posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ);
    mem_free(folder);
}
