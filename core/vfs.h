// Virtual paths and the file index: '@' names are looked for in the search paths, then among
// the loose files and ".saf" archive members indexed at start-up. Writes go to the first
// search path only.
#pragma once

#include <cstdint>

#include "core/stream.h"
#include "platform/plyx.h"

struct file_index_entry {
    char *owned_path;             // a loose file's full path, or a member's name
    const char *containing_file;  // the file to open (for a member, the archive's path)
    const char *relative_name;    // the name looked up
    int32_t offset;               // of the data in the containing file
    int32_t size;
    int source;                   // search path index; for a member, path count + archive number
};

struct file_index {
    int built;
    growable_array entries;       // of file_index_entry, sorted by vfs_index_compare
    const char **names;           // each relative name once, ending in null
};

extern file_index vfs_index;

// A new open stream, or null. The mode is as for fopen, optionally preceded by '~' (keep the
// old file as "<path>.~N~").
file_stream *stream_open(const char *name, const char *mode);
// The resolver behind stream_open: 1 and an open stream, or 0.
int stream_open_path(file_stream *s, const char *name, const char *mode);
// Opens a real path (no '@'): 1 or 0.
int stream_open_file(file_stream *s, const char *path, const char *mode);
// Puts from in place of to with one rename(2): 1 on success. '@' names mean the first search path.
int path_rename_replace(const char *from, const char *to);
// Removes the file (an '@' name: in the first search path): 1 on success.
int path_remove(const char *name);

// Builds the index on the first call; returns the sorted list of unique names.
const char **vfs_build_index();
// The first entry named so (ignoring letter case), which has the lowest source number, or -1.
int vfs_index_find(const char *name);
int vfs_exists(const char *name);
// "<relative name> -> <containing file>" cut to size - 1 bytes: 1, or 0 for no such entry.
int vfs_index_describe(int i, char *buffer, int size);
// Entry order: names ignoring case, then source number, then the names' bytes, then offset.
int vfs_index_compare(const file_index_entry *a, const file_index_entry *b);
// Index building (for the archive reader): adds an entry that owns the block (freed when it
// cannot be stored); reads an archive's header and adds its members with the source number.
int vfs_index_add(char *owned, const char *containing, const char *relative, int32_t offset,
                  int32_t size, int source);
void vfs_index_add_archive(const char *archive_path, int source);
// Frees the index and the search paths; both are built again when next used.
void vfs_shutdown();

constexpr int VFS_NAME_MAX = 511;        // bytes of a search path joined with an '@' name
constexpr int VFS_PATH_MAX = 1023;       // bytes of a path that writes make folders for
constexpr int VFS_BACKUP_PATH_MAX = 1000;
constexpr int VFS_BACKUP_MAX = 9999;
constexpr int VFS_SCAN_DEPTH_MAX = 64;
constexpr int SAF_LINE_MAX = 1023;       // header line with its newline
