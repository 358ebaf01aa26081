// Allocation wrappers over the system heap, with optional tracking of live blocks.
#pragma once

#include <cstddef>

// The tracker: on when ZR_CHECK_ALLOC holds a positive number. Entries 0..live_count-1 are the
// live blocks, oldest first.
struct alloc_tracker {
    int state;              // -1 undecided, 0 off, 1 on
    int live_count;
    unsigned serial_counter;
    void **pointers;        // MEM_TRACK_MAX entries each, allocated when tracking turns on
    int *serials;
    int *sizes;
};

extern alloc_tracker mem_tracker;

void *mem_alloc(size_t size);
void *mem_calloc(size_t count, size_t size);
void *mem_realloc(void *block, size_t size);
void mem_free(void *block);
// Lists the blocks still tracked as "%p:%d\n" on standard error; nothing when tracking never
// turned on. The program's exit calls it whenever tracking was on, even after the table filled.
void mem_report_leaks();

// Never returns null: on failure takes mem_out_of_memory.
void *mem_alloc_or_die(size_t size);
// The fatal path (fatal_error) with "Out of virtual memory": closes sound output and the window,
// shows the text in a box titled "Error", exits with code 1.
[[noreturn]] void mem_out_of_memory();

constexpr int MEM_TRACK_MAX = 1048576;
