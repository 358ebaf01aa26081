// Points series. No series is read yet, so there is no event to enter or series to free.
#include "race/series.h"

void series_enter_results() {}

void series_free_all() {}
