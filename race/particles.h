// Particles: roost and dust thrown by the wheels.
#pragma once

// Starts a free particle at the position with the velocity; the type is the caller's record
// (a roost type). Nothing happens when no particle is free.
void particle_spawn(const float position[3], const float velocity[3], const void *type);
// Moves, grows and fades every active particle by one tick.
void particle_update();
