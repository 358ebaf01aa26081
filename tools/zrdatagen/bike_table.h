// The bike table's rows as the generator makes them, and the C++ source it writes.
#pragma once

#include <string>

// One row: its name, engine class, values V0..V614 (files aside) and its 23 file names.
struct datagen_bike_row {
    const char *name;
    const char *engine_class;
    double v[615];
    std::string files[23];
};

// Row index (0..79) in the order of bike_model_names.
datagen_bike_row datagen_bike_row_values(int index);
// The source of bike_info_table (numbers as "%.9g").
std::string datagen_bike_table_source();
// "" when the rider at rest reaches the grips and pegs, else what is wrong.
std::string datagen_bike_rider_reach_check();
