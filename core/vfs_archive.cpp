// Reading the header of a ".saf" archive into the file index.
//
// The header is lines of "<decimal size> <name>\n", each at most 1,023 bytes with its newline,
// ended by a line "-"; the members' data follows back to back. A bad header adds no members.
#include <sys/stat.h>

#include <cstring>

#include "core/console.h"
#include "core/mem.h"
#include "core/vfs.h"

namespace {
enum line_kind { LINE_MEMBER, LINE_SIZE_ONLY, LINE_END, LINE_BAD };
}

// One header line without its newline: 1, or 0 when it is too long or the file ends.
static int saf_read_line(FILE *f, char line[SAF_LINE_MAX + 1], int *length) {
    int n = 0;
    for (;;) {
        int c = getc(f);
        if (c == EOF) return 0;
        if (c == '\n') break;
        if (n == SAF_LINE_MAX - 1) return 0;  // no room left for the newline
        line[n++] = (char)c;
    }
    line[n] = 0;
    *length = n;
    return 1;
}

// Splits a line into its size and name (runs of '/' made one, in place).
static line_kind saf_parse_line(char *line, int length, int64_t *size, char **name) {
    if (length == 1 && line[0] == '-') return LINE_END;
    if (line[0] < '0' || line[0] > '9') return LINE_BAD;  // also a negative size
    int64_t v = 0;
    int i = 0;
    for (; i < length && line[i] >= '0' && line[i] <= '9'; i++) {
        v = v * 10 + (line[i] - '0');
        if (v > INT32_MAX) return LINE_BAD;
    }
    *size = v;
    if (i == length) return LINE_SIZE_ONLY;
    if (line[i] != ' ' || memchr(line + i + 1, 0, (size_t)(length - i - 1))) return LINE_BAD;
    char *out = line + i + 1;
    *name = out;
    for (const char *p = out; *p; p++)
        if (!(*p == '/' && out > *name && out[-1] == '/')) *out++ = *p;
    *out = 0;
    return **name ? LINE_MEMBER : LINE_SIZE_ONLY;
}

static void saf_drop_from(int first) {
    file_index_entry *e = (file_index_entry *)vfs_index.entries.items;
    for (int i = first; i < vfs_index.entries.count; i++) mem_free(e[i].owned_path);
    vfs_index.entries.count = first;
}

void vfs_index_add_archive(const char *archive_path, int source) {
    FILE *f = fopen(archive_path, "rb");
    if (!f) return;
    struct stat st;
    int64_t file_size = fstat(fileno(f), &st) == 0 ? (int64_t)st.st_size : 0;
    int first = vfs_index.entries.count;
    int64_t header_length = 0;
    int64_t data_length = 0;  // sizes so far; each member's offset is relative until the end
    bool bad = false, ended = false;
    char line[SAF_LINE_MAX + 1];
    int length;
    while (!ended) {
        if (!saf_read_line(f, line, &length)) break;
        header_length += length + 1;
        int64_t size = 0;
        char *name = nullptr;
        line_kind kind = saf_parse_line(line, length, &size, &name);
        if (kind == LINE_BAD) break;
        if (kind == LINE_END) {
            ended = true;
            break;
        }
        if (data_length + size > INT32_MAX) break;
        if (kind == LINE_SIZE_ONLY) {
            bad = true;  // counts in the offsets, names nothing
        } else {
            size_t name_length = strlen(name);
            char *owned = (char *)mem_alloc(name_length + 1);
            if (!owned) break;
            memcpy(owned, name, name_length + 1);
            if (!vfs_index_add(owned, archive_path, owned, (int32_t)data_length, (int32_t)size,
                               source))
                break;
        }
        data_length += size;
    }
    fclose(f);
    if (!ended || header_length + data_length > INT32_MAX) {
        saf_drop_from(first);
        bad = true;
    } else {
        file_index_entry *e = (file_index_entry *)vfs_index.entries.items;
        for (int i = first; i < vfs_index.entries.count; i++) {
            e[i].offset += (int32_t)header_length;
            if (e[i].offset + (int64_t)e[i].size > file_size) {
                saf_drop_from(i);  // a member past the end, and every one after it
                bad = true;
                break;
            }
        }
    }
    if (bad) {
        char text[1200];
        snprintf(text, sizeof text, "Warning: bad archive header in '%.1100s'\n", archive_path);
        console_print(text);
    }
}
