// Allocation wrappers and the allocation tracker switched on by ZR_CHECK_ALLOC.
#include "core/mem.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/fatal.h"

alloc_tracker mem_tracker = {-1, 0, 0, nullptr, nullptr, nullptr};

static void mem_decide() {
    const char *v = getenv("ZR_CHECK_ALLOC");
    int on = v && atoi(v) > 0;
    if (on) {
        // The table is the tracker's own: plain heap, never freed, never tracked.
        mem_tracker.pointers = (void **)malloc(sizeof(void *) * MEM_TRACK_MAX);
        mem_tracker.serials = (int *)malloc(sizeof(int) * MEM_TRACK_MAX);
        mem_tracker.sizes = (int *)malloc(sizeof(int) * MEM_TRACK_MAX);
        if (!mem_tracker.pointers || !mem_tracker.serials || !mem_tracker.sizes) on = 0;
    }
    mem_tracker.state = on ? 1 : 0;
}

static inline int mem_tracking() {
    if (mem_tracker.state < 0) mem_decide();
    return mem_tracker.state == 1;
}

static void mem_enter(void *block, size_t size) {
    if (!block || mem_tracker.state != 1) return;
    if (mem_tracker.live_count >= MEM_TRACK_MAX) {
        fputs("Too many allocations to check!\n", stderr);
        mem_tracker.state = 0;
        return;
    }
    int i = mem_tracker.live_count++;
    mem_tracker.pointers[i] = block;
    mem_tracker.serials[i] = (int)mem_tracker.serial_counter++;
    mem_tracker.sizes[i] = (int)size;
}

// Index of the newest entry for the block's address, or -1.
static int mem_find(uintptr_t block) {
    for (int i = mem_tracker.live_count - 1; i >= 0; i--)
        if ((uintptr_t)mem_tracker.pointers[i] == block) return i;
    return -1;
}

static void mem_remove(int i) {
    int n = mem_tracker.live_count - i - 1;
    memmove(mem_tracker.pointers + i, mem_tracker.pointers + i + 1, sizeof(void *) * n);
    memmove(mem_tracker.serials + i, mem_tracker.serials + i + 1, sizeof(int) * n);
    memmove(mem_tracker.sizes + i, mem_tracker.sizes + i + 1, sizeof(int) * n);
    mem_tracker.live_count--;
}

void *mem_alloc(size_t size) {
    int track = mem_tracking();
    void *p = malloc(size);
    if (track) mem_enter(p, size);
    return p;
}

void *mem_calloc(size_t count, size_t size) {
    int track = mem_tracking();
    void *p = calloc(count, size);
    if (track) mem_enter(p, count * size);
    return p;
}

// Only the old address is compared after realloc, never the block's bytes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
void *mem_realloc(void *block, size_t size) {
    int track = mem_tracking();
    uintptr_t old = (uintptr_t)block;  // the address only: the block may be gone after realloc
    void *p = realloc(block, size);
    if (!track) return p;
    // A failed realloc leaves the old block valid, so it stays tracked.
    if (!p && size > 0) return nullptr;
    if (old) {
        int i = mem_find(old);
        if (i >= 0)
            mem_remove(i);
        else
            fprintf(stderr, "Allocation not found for %p!\n", (void *)old);
    }
    mem_enter(p, size);
    return p;
}
#pragma GCC diagnostic pop

void mem_free(void *block) {
    if (!mem_tracking()) {
        free(block);
        return;
    }
    if (!block) return;
    int i = mem_find((uintptr_t)block);
    if (i < 0) {
        fprintf(stderr, "Allocation not found for %p!\n", block);
        return;
    }
    memset(block, 0, (size_t)mem_tracker.sizes[i]);
    mem_remove(i);
    free(block);
}

void mem_report_leaks() {
    if (!mem_tracker.pointers) return;
    for (int i = 0; i < mem_tracker.live_count; i++)
        fprintf(stderr, "%p:%d\n", mem_tracker.pointers[i], mem_tracker.serials[i]);
}

[[noreturn]] void mem_out_of_memory() {
    fatal_error("Out of virtual memory");
}

void *mem_alloc_or_die(size_t size) {
    void *p = mem_alloc(size);
    if (!p) mem_out_of_memory();
    return p;
}
