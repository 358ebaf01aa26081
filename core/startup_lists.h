// The lists start-up builds from the files: demo files and points series.
#pragma once

// Lists the demo files.
void demo_list_build();
// Reads the points series files.
void series_read_all();
// Frees the demo list.
void demo_list_free();
