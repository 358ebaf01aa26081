// The request for a larger working set and a higher priority, made after each race reset.
#pragma once

#include <cstdint>

// Logs the working-set range the machine's memory allows and raises the process priority.
void util_boost_process();
// The same for a given amount of physical memory in bytes.
void util_boost_process_for(uint64_t physical_bytes);
