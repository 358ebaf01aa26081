// The erosion queue and the wheels' batches. Points arrive once the wheels feed it; until then the
// queue stays empty.
#include "terrain/erode.h"

void erode_apply_queue(const float *protected_position, float strength) {
    (void)protected_position;
    (void)strength;
}

void erode_batch_clear(erode_batch *b) {
    *b = erode_batch{};
}
