// The collision-shape cache: ".shp" files read once per name, copies for every user.
#include "bike/shape.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "core/mem.h"
#include "core/vfs.h"

growable_array shape_cache = {nullptr, 0, 0, (int)sizeof(collision_shape *)};

static void shape_warn(const char *format, int number, const char *name) {
    char text[1024];
    snprintf(text, sizeof text, format, number, name);
    console_print(text);
}

static size_t shape_block_size(int count, const char *name) {
    return sizeof(collision_shape) + (size_t)count * sizeof(collision_sphere) + strlen(name) + 1;
}

// Every value finite, the centre near the body, radius and contact rates not negative.
static bool shape_row_valid(const collision_sphere &r) {
    const float values[7] = {r.centre.x, r.centre.y, r.centre.z, r.radius,
                             r.mu,       r.spring,   r.damper};
    for (float v : values)
        if (!std::isfinite(v)) return false;
    return fabsf(r.centre.x) <= SHAPE_CENTRE_MAX && fabsf(r.centre.y) <= SHAPE_CENTRE_MAX &&
           fabsf(r.centre.z) <= SHAPE_CENTRE_MAX && r.radius >= 0 &&
           r.radius <= SHAPE_RADIUS_MAX && r.mu >= 0 && r.spring >= 0 && r.damper >= 0;
}

// Reads the rows; 0 when one is short of numbers (silently) or out of range (with a warning).
static int shape_read_rows(file_stream *s, collision_shape *shape, const char *name) {
    for (int i = 0; i < shape->count; i++) {
        collision_sphere &r = shape->rows[i];
        if (stream_scanf(s, "%f", &r.centre.x) != 1 || stream_scanf(s, "%f", &r.centre.y) != 1 ||
            stream_scanf(s, "%f", &r.centre.z) != 1 ||
            stream_scanf(s, "%f %f %f %f", &r.radius, &r.mu, &r.spring, &r.damper) != 4)
            return 0;
        if (!shape_row_valid(r)) {
            shape_warn("Warning: bad sphere %d in '%.900s'\n", i, name);
            return 0;
        }
    }
    return 1;
}

// Reads a whole file into a new block: the shape, or null.
static collision_shape *shape_read(const char *name) {
    file_stream *s = stream_open(name, "rb");
    if (!s) return nullptr;
    int count = 0;
    if (stream_scanf(s, "%d", &count) != 1) {
        stream_close(s);
        return nullptr;
    }
    if (count < 0 || count > SHAPE_SPHERES_MAX) {
        shape_warn("Warning: bad sphere count %d in '%.900s'\n", count, name);
        stream_close(s);
        return nullptr;
    }
    collision_shape *shape = (collision_shape *)mem_alloc_or_die(shape_block_size(count, name));
    shape->count = count;
    shape->rows = (collision_sphere *)(shape + 1);
    shape->name = (char *)(shape->rows + count);
    shape->source_shape = nullptr;
    strcpy(shape->name, name);
    int ok = shape_read_rows(s, shape, name);
    stream_close(s);
    if (!ok) {
        mem_free(shape);
        return nullptr;
    }
    float bound = 0;
    for (int i = 0; i < count; i++) {
        vec3 c = shape->rows[i].centre;
        float reach = sqrtf(vec3_length2(c)) + shape->rows[i].radius;
        if (reach > bound) bound = reach;
    }
    shape->bounding_radius = bound;
    return shape;
}

// Appends to the cache, making or doubling the table as needed: 1, or 0 when it can't grow.
static int shape_cache_add(collision_shape *shape) {
    growable_array &t = shape_cache;
    if (!t.items) {
        t.items = mem_alloc(SHAPE_CACHE_INITIAL * sizeof(collision_shape *));
        if (!t.items) return 0;
        t.capacity = SHAPE_CACHE_INITIAL;
        t.count = 0;
    } else if (t.count == t.capacity) {
        if (t.capacity > (1 << 24)) return 0;
        void *grown = mem_realloc(t.items, (size_t)t.capacity * 2 * sizeof(collision_shape *));
        if (!grown) return 0;
        t.items = grown;
        t.capacity *= 2;
    }
    ((collision_shape **)t.items)[t.count++] = shape;
    return 1;
}

collision_shape *shape_load(const char *name) {
    collision_shape **cached = (collision_shape **)shape_cache.items;
    for (int i = 0; i < shape_cache.count; i++)
        if (strcmp(cached[i]->name, name) == 0) return cached[i];
    collision_shape *shape = shape_read(name);
    if (shape) shape_cache_add(shape);  // uncached when the table can't grow
    return shape;
}

collision_shape *shape_copy(const char *name) {
    collision_shape *cached = shape_load(name);
    if (!cached) return nullptr;
    size_t size = shape_block_size(cached->count, cached->name);
    collision_shape *copy = (collision_shape *)mem_alloc_or_die(size);
    memcpy(copy, cached, size);
    copy->source_shape = cached;
    copy->rows = (collision_sphere *)(copy + 1);
    copy->name = (char *)(copy->rows + copy->count);
    return copy;
}

const char *shape_name(const collision_shape *shape) {
    return shape->name;
}

float shape_bounding_radius(const collision_shape *shape) {
    return shape->bounding_radius;
}

int shape_sphere(const collision_shape *shape, int i, vec3 *centre, float *radius) {
    if (i < 0 || i >= shape->count) return 0;
    *centre = shape->rows[i].centre;
    *radius = shape->rows[i].radius;
    return 1;
}

void shape_free_cache() {
    collision_shape **cached = (collision_shape **)shape_cache.items;
    for (int i = 0; i < shape_cache.count; i++) mem_free(cached[i]);
    mem_free(shape_cache.items);
    shape_cache.items = nullptr;
    shape_cache.count = 0;
    shape_cache.capacity = 0;
}
