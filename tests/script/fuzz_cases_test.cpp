// Saved fuzz inputs and seeds of the track script, replayed (see tests/support/fuzz_cases.h).
#include "tests/support/fuzz_cases.h"

ZR_FUZZ_CASES(script, script_source)
