// Saved fuzz inputs and seeds of the race readers, replayed (see tests/support/fuzz_cases.h).
#include "tests/support/fuzz_cases.h"

ZR_FUZZ_CASES(race, lighting)
ZR_FUZZ_CASES(race, lines)
ZR_FUZZ_CASES(race, statues)
ZR_FUZZ_CASES(race, billboards)
ZR_FUZZ_CASES(race, flaggers)
ZR_FUZZ_CASES(race, cameras)
ZR_FUZZ_CASES(race, timing_gates)
ZR_FUZZ_CASES(race, demo)
