// The demo list: every "demos/....zrdemo" of the file index with a name to show.
#include "core/startup_lists.h"

#include <cstring>

#include "core/mem.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "platform/plyx.h"

demo_list_record demo_list = {0, nullptr, nullptr};

static int is_demo(const char *name) {
    size_t n = strlen(name);
    return strncmp(name, "demos/", 6) == 0 && n >= 13 && strcmp(name + n - 7, ".zrdemo") == 0;
}

char *demo_display_name(const char *path) {
    const char *slash = strrchr(path, '/');
    const char *start = slash ? slash + 1 : path;
    const char *dot = strrchr(start, '.');
    size_t n = dot ? (size_t)(dot - start) : strlen(start);
    char *name = (char *)mem_alloc_or_die(n + 1);
    memcpy(name, start, n);
    name[n] = 0;
    return name;
}

void demo_list_build() {
    demo_list_free();
    const char **names = vfs_build_index();
    int capacity = 0;
    for (int i = 0; names && names[i]; i++) {
        if (!is_demo(names[i])) continue;
        if (demo_list.count == capacity) {
            capacity = capacity ? capacity * 2 : DEMO_LIST_CAPACITY;
            void *grown = mem_realloc(demo_list.paths, sizeof(const char *) * (size_t)capacity);
            if (!grown) mem_out_of_memory();
            demo_list.paths = (const char **)grown;
        }
        demo_list.paths[demo_list.count++] = names[i];
    }
    if (demo_list.count == 0) return;
    void *shrunk = mem_realloc(demo_list.paths, sizeof(const char *) * (size_t)demo_list.count);
    if (shrunk) demo_list.paths = (const char **)shrunk;
    demo_list.names = (char **)mem_alloc_or_die(sizeof(char *) * (size_t)demo_list.count);
    for (int i = 0; i < demo_list.count; i++) {
        demo_list.names[i] = demo_display_name(demo_list.paths[i]);
        if (game_settings.debug_level)
            plyx_log("%.500s -> %.500s\n", demo_list.paths[i], demo_list.names[i]);
    }
}

void demo_list_free() {
    for (int i = 0; demo_list.names && i < demo_list.count; i++) mem_free(demo_list.names[i]);
    mem_free(demo_list.names);
    mem_free(demo_list.paths);
    demo_list = {0, nullptr, nullptr};
}
