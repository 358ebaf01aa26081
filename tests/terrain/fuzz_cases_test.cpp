// Saved fuzz inputs and seeds of the terrain readers, replayed (see tests/support/fuzz_cases.h).
#include "tests/support/fuzz_cases.h"

ZR_FUZZ_CASES(terrain, tileinfo)
ZR_FUZZ_CASES(terrain, texturelist)
ZR_FUZZ_CASES(terrain, heightfield)
ZR_FUZZ_CASES(terrain, tilemap)
ZR_FUZZ_CASES(terrain, decals)
ZR_FUZZ_CASES(terrain, erode_message)
