// Saved fuzz inputs and seeds of the bike readers, replayed (see tests/support/fuzz_cases.h).
#include "tests/support/fuzz_cases.h"

ZR_FUZZ_CASES(bike, shape)
ZR_FUZZ_CASES(bike, packed_state)
