// The particle pool: 2000 particles tied to their billboards, a free and an active list.
#include "race/particles.h"

#include <cmath>

#include "race/objects.h"
#include "race/track.h"
#include "terrain/terrain.h"

particle particle_pool[PARTICLE_COUNT];
particle *particle_free_list = nullptr;
particle *particle_active_list = nullptr;

static billboard *particle_billboard(const particle &p) {
    if (p.billboard < 0 || p.billboard >= track_billboards.count) return nullptr;
    return (billboard *)track_billboards.items + p.billboard;
}

void particle_clear() {
    for (particle &p : particle_pool) {
        p.billboard = -1;
        p.type = nullptr;
        p.next = nullptr;
    }
    particle_free_list = particle_active_list = nullptr;
}

int particle_create_billboards() {
    int good = 1;
    for (particle &p : particle_pool) {
        p.billboard = track_add_billboard(0, 0, 0, 1, 1, nullptr);
        if (p.billboard < 0) good = 0;
        // The pose is the particle's own, not the ground's.
        if (billboard *b = particle_billboard(p)) b->y = 0;
    }
    particle_reset();
    return good;
}

void particle_reset() {
    particle *tail = nullptr;
    particle_free_list = nullptr;
    particle_active_list = nullptr;
    for (particle &p : particle_pool) {
        if (billboard *b = particle_billboard(p)) b->texture = 0;
        p.next = nullptr;
        p.type = nullptr;
        // A particle without a billboard is never handed out.
        if (!particle_billboard(p)) continue;
        (tail ? tail->next : particle_free_list) = &p;
        tail = &p;
    }
}

int particle_spawn(const float position[3], const float velocity[3], const roost_type *type) {
    particle *p = particle_free_list;
    if (!p || !type) return 0;
    particle_free_list = p->next;
    p->type = type;
    for (int i = 0; i < 3; i++) {
        p->position[i] = position[i];
        p->velocity[i] = velocity[i];
    }
    p->next = particle_active_list;
    particle_active_list = p;
    if (billboard *b = particle_billboard(*p)) {
        b->size = type->size > 0 ? type->size : 0;
        b->texture = (int32_t)type->texture;
        b->x = position[0];
        b->y = position[1];
        b->z = position[2];
        b->r = type->r;
        b->g = type->g;
        b->b = type->b;
        b->a = type->a;
    }
    return 1;
}

static uint8_t fade(uint8_t value, uint8_t change) {
    int v = value + (int8_t)change;
    return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v);
}

void particle_update() {
    const float dt = 1.0f / 128.0f;
    particle **link = &particle_active_list;
    while (particle *p = *link) {
        const roost_type &t = *p->type;
        // Drag slows at most to a stop in one tick; more would reverse and grow the speed.
        float slow = std::isfinite(t.drag) ? dt * t.drag : 1.0f;
        slow = slow < 0 ? 0 : slow > 1 ? 1 : slow;
        for (int i = 0; i < 3; i++) {
            p->position[i] += p->velocity[i] * dt;
            p->velocity[i] -= p->velocity[i] * slow;
        }
        p->velocity[1] -= 32.0f * dt;
        billboard *b = particle_billboard(*p);
        bool finite = std::isfinite(p->position[0]) && std::isfinite(p->position[1]) &&
                      std::isfinite(p->position[2]) && std::isfinite(p->velocity[1]);
        if (b && finite) {
            b->x = p->position[0];
            b->y = p->position[1];
            b->z = p->position[2];
            float size = b->size + dt * t.grow;
            b->size = std::isfinite(size) && size > 0 ? size : 0;
            b->r = fade(b->r, t.fade_r);
            b->g = fade(b->g, t.fade_g);
            b->b = fade(b->b, t.fade_b);
            b->a = fade(b->a, t.fade_a);
        }
        bool landed = finite && p->velocity[1] < 0 &&
                      track_ground_height(p->position[0], p->position[2]) > p->position[1];
        if (!finite || landed) {
            if (b) b->texture = 0;
            *link = p->next;
            p->next = particle_free_list;
            particle_free_list = p;
            continue;
        }
        link = &p->next;
    }
}

int particle_active_count() {
    int n = 0;
    for (const particle *p = particle_active_list; p; p = p->next) n++;
    return n;
}

