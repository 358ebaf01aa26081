// The file index: every loose file under the search paths and every archive member, sorted by
// name ignoring letter case, with the list of unique names.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/folders.h"
#include "core/globals.h"
#include "core/mem.h"
#include "core/vfs.h"

file_index vfs_index = {0, {nullptr, 0, 0, 0}, nullptr};

// Lower case as tolower gives it in the C locale, on bytes.
static inline unsigned char vfs_lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? (unsigned char)(c + 32) : c;
}

// Names compared byte by byte after lower-casing, a prefix first.
static int vfs_name_compare(const char *a, const char *b) {
    const unsigned char *p = (const unsigned char *)a, *q = (const unsigned char *)b;
    for (;; p++, q++) {
        unsigned char x = vfs_lower(*p), y = vfs_lower(*q);
        if (x != y || x == 0) return (int)x - (int)y;
    }
}

int vfs_index_compare(const file_index_entry *a, const file_index_entry *b) {
    int c = vfs_name_compare(a->relative_name, b->relative_name);
    if (c != 0) return c;
    if (a->source != b->source) return a->source < b->source ? -1 : 1;
    // Case-twins ("A.png", "a.png") of one source: the bytes decide, so every run agrees.
    c = strcmp(a->relative_name, b->relative_name);
    if (c != 0) return c;
    return a->offset < b->offset ? -1 : a->offset > b->offset;
}

static file_index_entry *vfs_entries() {
    return (file_index_entry *)vfs_index.entries.items;
}

static void vfs_sort() {
    file_index_entry *e = vfs_entries();
    std::sort(e, e + vfs_index.entries.count, [](const file_index_entry &a,
                                                 const file_index_entry &b) {
        return vfs_index_compare(&a, &b) < 0;
    });
}

// Adds an entry owning the path block; the block is freed when the entry cannot be stored.
int vfs_index_add(char *owned, const char *containing, const char *relative, int32_t offset,
                  int32_t size, int source) {
    file_index_entry e = {owned, containing ? containing : owned, relative, offset, size, source};
    if (plyx_array_append(&vfs_index.entries, &e)) return 1;
    mem_free(owned);
    return 0;
}

namespace {
struct scan_context {
    size_t prefix_length;  // of the search path
    int source;
    std::vector<std::pair<dev_t, ino_t>> descent;  // folders on the way down, against loops
};
}  // namespace

// Adds every regular file under the folder (given without its trailing '/'), depth first.
static void vfs_scan_folder(const char *folder, scan_context *ctx) {
    if (loading_tick_hook) loading_tick_hook();
    DIR *d = opendir(folder[0] ? folder : "/");
    if (!d) return;
    size_t folder_length = strlen(folder);
    while (struct dirent *de = readdir(d)) {
        const char *name = de->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
        struct stat st;
        // Follows symlinks; a dangling one has no status and is skipped.
        if (fstatat(dirfd(d), name, &st, 0) != 0) continue;
        bool folder_entry = S_ISDIR(st.st_mode);
        // Only regular files whose size fits the index; a fifo or device would block reads.
        if (!folder_entry && (!S_ISREG(st.st_mode) || st.st_size > INT32_MAX)) continue;
        size_t name_length = strlen(name);
        char *path = (char *)mem_alloc(folder_length + name_length + 2);
        if (!path) continue;
        memcpy(path, folder, folder_length);
        path[folder_length] = '/';
        memcpy(path + folder_length + 1, name, name_length + 1);
        if (!folder_entry) {
            vfs_index_add(path, nullptr, path + ctx->prefix_length, 0, (int32_t)st.st_size,
                          ctx->source);
            continue;
        }
        std::pair<dev_t, ino_t> id(st.st_dev, st.st_ino);
        bool loop = std::find(ctx->descent.begin(), ctx->descent.end(), id) != ctx->descent.end();
        if (!loop && (int)ctx->descent.size() <= VFS_SCAN_DEPTH_MAX) {
            ctx->descent.push_back(id);
            vfs_scan_folder(path, ctx);
            ctx->descent.pop_back();
        }
        mem_free(path);
    }
    closedir(d);
}

static void vfs_scan_search_path(const char *dir, int source) {
    size_t len = strlen(dir);
    std::string root(dir, len > 0 && dir[len - 1] == '/' ? len - 1 : len);
    struct stat st;
    if (stat(root.empty() ? "/" : root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    scan_context ctx = {len, source, {{st.st_dev, st.st_ino}}};
    vfs_scan_folder(root.c_str(), &ctx);
}

static bool vfs_is_archive_name(const char *name) {
    size_t len = strlen(name);
    return len >= 5 && vfs_name_compare(name + len - 4, ".saf") == 0;
}

const char **vfs_build_index() {
    if (vfs_index.built) return vfs_index.names;
    vfs_index.built = 1;
    plyx_array_init(&vfs_index.entries, sizeof(file_index_entry), 16);
    plyx_log("Listing directories\n");
    int paths = 0;
    for (; const char *dir = path_search_dir(paths); paths++) vfs_scan_search_path(dir, paths);
    vfs_sort();

    plyx_log("Listing archives\n");
    int loose = vfs_index.entries.count;
    int archive = 0;
    for (int i = 0; i < loose; i++) {
        if (!vfs_is_archive_name(vfs_entries()[i].relative_name)) continue;
        if (loading_tick_hook) loading_tick_hook();
        vfs_index_add_archive(vfs_entries()[i].owned_path, paths + archive);
        archive++;
    }
    vfs_sort();

    plyx_log("Creating file list\n");
    int n = vfs_index.entries.count;
    vfs_index.names = (const char **)mem_alloc_or_die(sizeof(char *) * ((size_t)n + 1));
    int listed = 0;
    const file_index_entry *e = vfs_entries();
    for (int i = 0; i < n; i++)
        if (listed == 0 ||
            vfs_name_compare(e[i].relative_name, vfs_index.names[listed - 1]) != 0)
            vfs_index.names[listed++] = e[i].relative_name;
    vfs_index.names[listed] = nullptr;
    plyx_log("File index complete\n");
    return vfs_index.names;
}

int vfs_index_find(const char *name) {
    const file_index_entry *e = vfs_entries();
    int n = vfs_index.entries.count;
    if (!e || n == 0) return -1;
    const file_index_entry *at =
        std::lower_bound(e, e + n, name, [](const file_index_entry &x, const char *key) {
            return vfs_name_compare(x.relative_name, key) < 0;
        });
    if (at == e + n || vfs_name_compare(at->relative_name, name) != 0) return -1;
    return (int)(at - e);
}

int vfs_exists(const char *name) {
    return vfs_index_find(name) >= 0;
}

int vfs_index_describe(int i, char *buffer, int size) {
    if (!vfs_index.built || i < 0 || i >= vfs_index.entries.count || size < 1) return 0;
    const file_index_entry *e = &vfs_entries()[i];
    snprintf(buffer, (size_t)size, "%s -> %s", e->relative_name, e->containing_file);
    return 1;
}

void vfs_shutdown() {
    file_index_entry *e = vfs_entries();
    for (int i = 0; i < vfs_index.entries.count; i++) mem_free(e[i].owned_path);
    plyx_array_free(&vfs_index.entries);
    mem_free(vfs_index.names);
    vfs_index.names = nullptr;
    vfs_index.built = 0;
    path_free_search_dirs();
}
