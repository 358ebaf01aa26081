// The statue rows under the name the start gate uses; the table lives in race/objects.h.
#pragma once

#include "race/objects.h"

using track_statue = statue;

// The row, or null for a row outside the table.
track_statue *track_statue_at(int row);
