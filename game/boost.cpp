// The request for a larger working set and a higher priority, made at each race reset.
#include <sys/resource.h>
#include <unistd.h>

#include "game/boost.h"
#include "platform/plyx.h"

void util_boost_process_for(uint64_t physical_bytes) {
    if (physical_bytes < 67108864u) {
        plyx_log("Working set left alone - less than 64 MB physical memory\n");
        return;
    }
    uint64_t capped = physical_bytes < 2147483648u ? physical_bytes : 2147483648u;
    uint32_t max = (uint32_t)(capped - 33554432u);
    uint32_t min = max < 1073741824u ? max : 1073741824u;
    plyx_log("Setting working set range to %u - %u\n", min, max);
    // Linux has no working-set range to set.
    plyx_log("Working set update failed\n");
    if (setpriority(PRIO_PROCESS, 0, -10) == 0)
        plyx_log("Priority successfully set to high\n");
    else
        plyx_log("Priority set failed\n");
}

void util_boost_process() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long page_size = sysconf(_SC_PAGE_SIZE);
    uint64_t bytes = pages > 0 && page_size > 0 ? (uint64_t)pages * (uint64_t)page_size : 0;
    util_boost_process_for(bytes);
}
