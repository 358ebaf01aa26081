// The saved datagram fuzz cases and seeds, replayed through the client's dispatch.
#include "tests/support/fuzz_cases.h"

ZR_FUZZ_CASES(net, net_datagrams)
