// Saved fuzz inputs and seeds of the gfx readers, replayed (see tests/support/fuzz_cases.h).
#include "tests/support/fuzz_cases.h"

ZR_FUZZ_CASES(gfx, png)
ZR_FUZZ_CASES(gfx, pnm)
ZR_FUZZ_CASES(gfx, texture)
ZR_FUZZ_CASES(gfx, font)
ZR_FUZZ_CASES(gfx, jm)
