// Opening streams by name: real paths, '@' names through the search paths and the file index,
// numbered backups, and the rename that puts a finished file in place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/folders.h"
#include "core/mem.h"
#include "core/vfs.h"

// A write mode contains no 'r', or contains '+'.
static bool vfs_write_mode(const char *mode) {
    return !strchr(mode, 'r') || strchr(mode, '+');
}

// Opens for reading regular files only: a folder (which fopen would open on Linux), a fifo, a
// terminal or a device named by a file could block a read, or the open itself, for ever. The
// open does not wait for a fifo's writer.
static FILE *vfs_fopen(const char *path, const char *mode, bool write) {
    if (write) return fopen(path, mode);
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE *f = fdopen(fd, mode);
    if (!f) close(fd);
    return f;
}

// Copies an existing file to the first free "<path>.~N~": 1, or 0 when no backup was made.
static int vfs_backup(const char *path) {
    struct stat st;
    if (stat(path, &st) != 0) return errno == ENOENT;
    FILE *in = fopen(path, "rb");
    if (!in) return 0;
    char name[VFS_BACKUP_PATH_MAX + 16];
    int n = 1;
    for (; n <= VFS_BACKUP_MAX; n++) {
        snprintf(name, sizeof name, "%s.~%d~", path, n);
        if (lstat(name, &st) != 0 && errno == ENOENT) break;
    }
    FILE *out = n <= VFS_BACKUP_MAX ? fopen(name, "wbx") : nullptr;
    unsigned char *block = out ? (unsigned char *)mem_alloc(65536) : nullptr;
    int ok = block != nullptr;
    while (ok) {
        size_t got = fread(block, 1, 65536, in);
        if (got < 65536 && ferror(in)) ok = 0;
        if (got > 0 && fwrite(block, 1, got, out) != got) ok = 0;
        if (got < 65536) break;
    }
    mem_free(block);
    if (out && fclose(out) != 0) ok = 0;
    fclose(in);
    return ok;
}

int stream_open_file(file_stream *s, const char *path, const char *mode) {
    s->file = nullptr;
    bool write = vfs_write_mode(mode);
    size_t len = strlen(path);
    if (write && len <= (size_t)VFS_PATH_MAX) path_make_dirs(path);
    if (mode[0] == '~') {
        if (len > (size_t)VFS_BACKUP_PATH_MAX || !vfs_backup(path)) return 0;
        mode++;
    }
    FILE *f = vfs_fopen(path, mode, write);
    if (f) {
        stream_attach(s, f, 0, STREAM_WHOLE_FILE, path);
        return 1;
    }
    if (write || len + 3 > (size_t)VFS_PATH_MAX - 1) return 0;
    char gz[VFS_PATH_MAX + 1];
    snprintf(gz, sizeof gz, "%s.gz", path);
    f = vfs_fopen(gz, mode, false);
    if (!f) return 0;
    stream_attach(s, f, 0, STREAM_WHOLE_FILE, gz);
    if (stream_start_gzip(s)) return 1;
    stream_close_file(s);
    return 0;
}

// Opens an index entry: the member's bytes inside its archive, or a loose file.
static int vfs_open_entry(file_stream *s, const file_index_entry *e, bool gzip) {
    FILE *f = fopen(e->containing_file, "rb");
    if (!f) return 0;
    if (fseeko(f, e->offset, SEEK_SET) != 0) {
        fclose(f);
        return 0;
    }
    char name[VFS_PATH_MAX + 1];
    if (strcmp(e->containing_file, e->owned_path) == 0)
        snprintf(name, sizeof name, "%s", e->containing_file);
    else
        snprintf(name, sizeof name, "%s/%s", e->containing_file, e->relative_name);
    stream_attach(s, f, e->offset, e->size, name);
    if (!gzip || stream_start_gzip(s)) return 1;
    stream_close_file(s);
    return 0;
}

int stream_open_path(file_stream *s, const char *name, const char *mode) {
    s->file = nullptr;
    if (name[0] != '@') return stream_open_file(s, name, mode);
    const char *rest = name + 1;
    bool write = vfs_write_mode(mode);
    // Writes try the first search path only: stock data is never written over.
    for (int i = 0; const char *dir = path_search_dir(i); i++) {
        char path[VFS_NAME_MAX + 1];
        if (snprintf(path, sizeof path, "%s%s", dir, rest) < (int)sizeof path &&
            stream_open_file(s, path, mode))
            return 1;
        if (write) return 0;
    }
    if (write || !vfs_index.built) return 0;
    size_t len = strlen(rest);
    char *gz_name = (char *)mem_alloc_or_die(len + 4);
    memcpy(gz_name, rest, len);
    memcpy(gz_name + len, ".gz", 4);
    int plain = vfs_index_find(rest);
    int gz = vfs_index_find(gz_name);
    mem_free(gz_name);
    const file_index_entry *entries = (const file_index_entry *)vfs_index.entries.items;
    if (gz >= 0 && (plain < 0 || entries[gz].source < entries[plain].source))
        return vfs_open_entry(s, &entries[gz], true);
    if (plain >= 0) return vfs_open_entry(s, &entries[plain], false);
    return 0;
}

file_stream *stream_open(const char *name, const char *mode) {
    file_stream *s = (file_stream *)mem_alloc(sizeof(file_stream));
    if (!s) return nullptr;
    if (stream_open_path(s, name, mode)) return s;
    mem_free(s);
    return nullptr;
}

// The real path of a name for a rename: '@' means the first search path. Never cut: 0 when it
// does not fit.
static int vfs_real_name(const char *name, char out[VFS_NAME_MAX + 1]) {
    const char *prefix = "";
    if (name[0] == '@') {
        prefix = path_search_dir(0);
        if (!prefix) return 0;
        name++;
    }
    return snprintf(out, VFS_NAME_MAX + 1, "%s%s", prefix, name) <= VFS_NAME_MAX;
}

int path_rename_replace(const char *from, const char *to) {
    char a[VFS_NAME_MAX + 1], b[VFS_NAME_MAX + 1];
    if (!vfs_real_name(from, a) || !vfs_real_name(to, b)) return 0;
    return rename(a, b) == 0;  // replaces the target atomically, or leaves both as they were
}

int path_remove(const char *name) {
    char path[VFS_NAME_MAX + 1];
    return vfs_real_name(name, path) && remove(path) == 0;
}
