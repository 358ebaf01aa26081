// The libFuzzer entry of one target: FUZZ_FUNCTION names its input function (fuzz/fuzz.h).
#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz_setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FUZZ_FUNCTION(data, size);
    return 0;
}
