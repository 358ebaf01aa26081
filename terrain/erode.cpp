// The erosion queue. Points arrive once the wheels feed it; until then it stays empty.
#include "terrain/erode.h"

void erode_apply_queue(const float *protected_position, float strength) {
    (void)protected_position;
    (void)strength;
}
