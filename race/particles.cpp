// The particle pool; it has no free particle until the race's billboards exist.
#include "race/particles.h"

void particle_spawn(const float position[3], const float velocity[3], const void *type) {
    (void)position;
    (void)velocity;
    (void)type;
}

void particle_update() {}
