// The start-up lists. Demo files and series files are read by their Part; the lists start empty.
#include "core/startup_lists.h"

void demo_list_build() {}

void series_read_all() {}

void demo_list_free() {}
