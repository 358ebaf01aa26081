// Particles: roost and spray thrown by the wheels, each a billboard of its own that flies,
// slows in the air, grows, changes colour and vanishes when it falls back under the ground.
#pragma once

struct roost_type;

struct particle {
    float position[3];            // feet
    float velocity[3];            // feet per second
    int billboard;                // its row of track_billboards, -1 before a track load
    const roost_type *type;
    particle *next;               // in the free or the active list
};

extern particle particle_pool[];
extern particle *particle_free_list;
extern particle *particle_active_list;

// Track load: the pool's billboards, first of all billboard rows (origin, size 1, aspect 1, no
// texture). 1, or 0 when the table could not grow (the pool then has fewer particles).
int particle_create_billboards();
// Track unload: no particle has a billboard.
void particle_clear();
// Race reset: every billboard hidden, every particle free, in pool order.
void particle_reset();
// Starts the head of the free list at the position with the velocity: 1, or 0 when none is
// free (the request is dropped) or the type is null.
int particle_spawn(const float position[3], const float velocity[3], const roost_type *type);
// One tick for every active particle.
void particle_update();
// The particles in flight.
int particle_active_count();

constexpr int PARTICLE_COUNT = 2000;
