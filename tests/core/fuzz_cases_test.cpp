// Saved fuzz inputs and seeds of the core readers, replayed (see tests/support/fuzz_cases.h).
#include "tests/support/fuzz_cases.h"

ZR_FUZZ_CASES(core, config)
ZR_FUZZ_CASES(core, options)
ZR_FUZZ_CASES(core, saf)
ZR_FUZZ_CASES(core, gzip)
ZR_FUZZ_CASES(core, scanf)
ZR_FUZZ_CASES(core, series)
ZR_FUZZ_CASES(core, demo_names)
