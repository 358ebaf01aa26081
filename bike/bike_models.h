// The names of the built-in bike models, in the order of the bike table.
#pragma once

constexpr int BIKE_MODEL_COUNT = 80;

// The model names; the setup's "Bike" choice offers them and the bike table keys its rows by them.
extern const char *bike_model_names[BIKE_MODEL_COUNT];
// The model's name as the table knows it: four older names without their year become their
// 2008 models; every other name (null too) is returned as it is.
const char *bike_model_alias(const char *name);
