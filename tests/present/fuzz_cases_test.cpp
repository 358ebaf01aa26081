// Saved fuzz inputs and seeds of the presentation's readers, replayed (see
// tests/support/fuzz_cases.h).
#include "tests/support/fuzz_cases.h"

ZR_FUZZ_CASES(present, engine_sound)
