// Building a stock track from its plan: the course centreline with rounded corners, the course
// carved into the ground at a smoothed level with its jumps and berms, the tile map; then the
// track's files, the shading computed by the game's own terrain code.
#include "tools/zrdatagen/trackgen.h"

#include <climits>
#include <cstdio>
#include <memory>

#include "terrain/terrain.h"
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"

uint32_t datagen_hash(uint32_t seed, long x, long z) {
    uint32_t h = seed * 0x9E3779B1u ^ (uint32_t)x * 0x85EBCA77u ^ (uint32_t)z * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

static long datagen_floor_div(long a, long b) {
    long q = a / b;
    return a % b != 0 && (a < 0) != (b < 0) ? q - 1 : q;
}

// Smoothstep of t / cell as a weight 0..1024.
static long datagen_smooth(long t, long cell) {
    long u = t * 1024 / cell;
    return u * u * (3 * 1024 - 2 * u) / (1024 * 1024);
}

long datagen_value_noise(uint32_t seed, long x, long z, long cell, long period) {
    long ix = datagen_floor_div(x, cell), iz = datagen_floor_div(z, cell);
    long wx = datagen_smooth(x - ix * cell, cell), wz = datagen_smooth(z - iz * cell, cell);
    auto v = [&](long a, long b) -> long {
        if (period > 0) {
            a = ((a % period) + period) % period;
            b = ((b % period) + period) % period;
        }
        return datagen_hash(seed, a, b) & 255;
    };
    long top = v(ix, iz) * (1024 - wx) + v(ix + 1, iz) * wx;
    long bottom = v(ix, iz + 1) * (1024 - wx) + v(ix + 1, iz + 1) * wx;
    return (top * (1024 - wz) + bottom * wz) / (1024 * 1024);
}

long datagen_isqrt(long long v) {
    if (v <= 0) return 0;
    long long r = 0;
    for (long long bit = 1LL << 62; bit > 0; bit >>= 2) {
        if (v >= r + bit) {
            v -= r + bit;
            r = (r >> 1) + bit;
        } else {
            r >>= 1;
        }
    }
    return (long)r;
}

static long datagen_length(datagen_course_point a, datagen_course_point b) {
    long long dx = b.x - a.x, dz = b.z - a.z;
    return datagen_isqrt(dx * dx + dz * dz);
}

// ---- The course ----------------------------------------------------------------------------

// The closed centreline, one point every sample from the start of the first straight, and the
// course index where each straight starts.
static void datagen_course(const datagen_track_plan &plan, datagen_track *t) {
    size_t count = plan.corners.size();
    std::vector<datagen_course_point> p, q(count), r(count);
    for (const datagen_course_point &c : plan.corners) p.push_back({c.x * 16, c.z * 16});
    for (size_t k = 0; k < count; k++) {
        datagen_course_point a = p[(k + count - 1) % count], c = p[k], b = p[(k + 1) % count];
        long in = datagen_length(a, c), out = datagen_length(c, b);
        long cut = std::min<long>(plan.corner_cut * 16, std::min(in, out) * 2 / 5);
        q[k] = {c.x + (a.x - c.x) * cut / in, c.z + (a.z - c.z) * cut / in};
        r[k] = {c.x + (b.x - c.x) * cut / out, c.z + (b.z - c.z) * cut / out};
    }
    // The dense outline: each straight, then the next corner as a quadratic curve.
    std::vector<datagen_course_point> dense = {r[0]};
    std::vector<size_t> dense_straight;
    for (size_t k = 0; k < count; k++) {
        size_t next = (k + 1) % count;
        dense_straight.push_back(dense.size() - 1);
        dense.push_back(q[next]);
        for (long j = 1; j <= 32; j++) {
            long a = (32 - j) * (32 - j), b = 2 * j * (32 - j), c = j * j;
            dense.push_back({(a * q[next].x + b * p[next].x + c * r[next].x) / 1024,
                             (a * q[next].z + b * p[next].z + c * r[next].z) / 1024});
        }
    }
    // Resampled every 16 units of length; the last point of the outline is the first.
    long arc = 0, next_point = 0;
    std::vector<long> straight_arc(count);
    for (size_t v = 0; v + 1 < dense.size(); v++) {
        for (size_t k = 0; k < count; k++)
            if (dense_straight[k] == v) straight_arc[k] = arc;
        datagen_course_point a = dense[v], b = dense[v + 1];
        long length = datagen_length(a, b);
        if (length == 0) continue;
        for (; next_point < arc + length; next_point += 16) {
            long f = next_point - arc;
            t->course.push_back({a.x + (b.x - a.x) * f / length, a.z + (b.z - a.z) * f / length});
        }
        arc += length;
    }
    for (long s : straight_arc) t->straight_start.push_back((s + 8) / 16);
}

// Linear interpolation between the knots; 0 outside them.
static long datagen_feature_height(const datagen_feature &f, long u) {
    for (size_t i = 0; i + 1 < f.knots.size(); i++) {
        long u0 = f.knots[i].first, u1 = f.knots[i + 1].first;
        if (u >= u0 && u <= u1 && u1 > u0) {
            long h0 = f.knots[i].second, h1 = f.knots[i + 1].second;
            return h0 + (h1 - h0) * (u - u0) / (u1 - u0);
        }
    }
    return 0;
}

datagen_track datagen_build_track(const datagen_track_plan &plan) {
    datagen_track t;
    t.k = plan.k;
    t.n = 2 * (1 << plan.k) + 1;
    t.spacing = plan.spacing;
    t.max_height = plan.max_height;
    t.dynamic_lighting = plan.dynamic_lighting;
    const int n = t.n, q = 1 << plan.k;
    std::vector<long> ground((size_t)n * n);
    for (int z = 0; z < n; z++)
        for (int x = 0; x < n; x++) ground[x + (size_t)n * z] = plan.ground(x, z);
    datagen_course(plan, &t);
    const long points = (long)t.course.size();
    auto at = [&](long i) { return t.course[(size_t)(((i % points) + points) % points)]; };
    auto ground_at = [&](datagen_course_point p) {
        long x = std::clamp<long>((p.x + 8) / 16, 0, n - 1), z = std::clamp<long>((p.z + 8) / 16, 0, n - 1);
        return ground[x + (size_t)n * z];
    };

    // The course's level (the ground averaged along it), its jumps and its berms.
    std::vector<long> level(points), lift(points, 0), turn(points), berm(points);
    for (long i = 0; i < points; i++) {
        long sum = 0;
        for (long j = -plan.level_window; j <= plan.level_window; j++) sum += ground_at(at(i + j));
        level[i] = sum / (2 * plan.level_window + 1);
    }
    // Each jump stands on level ground: the level is held at its middle's value from 25 points
    // before the jump to 25 after, then eased in and out over 20 points on each side.
    const long ease = 20;
    std::vector<long> held = level;
    auto wrap = [&](long i) { return (size_t)(((i % points) + points) % points); };
    for (const datagen_feature &f : plan.features) {
        long start = t.straight_start[(size_t)f.segment] + f.offset;
        long end = start + f.knots.back().first / 16 + 1;
        long middle = level[wrap((start + end) / 2)];
        for (long i = start - ease - 5; i <= end + ease + 5; i++) held[wrap(i)] = middle;
        for (long i = 0; i < points; i++) {
            long u = ((i * 16 - start * 16) % (points * 16) + points * 16) % (points * 16);
            lift[i] += datagen_feature_height(f, u);
        }
    }
    for (long i = 0; i < points; i++) {
        long sum = 0;
        for (long j = -ease; j <= ease; j++) sum += held[wrap(i + j)];
        level[i] = sum / (2 * ease + 1);
    }
    std::vector<long> bend(points);
    for (long i = 0; i < points; i++) {
        datagen_course_point a = at(i - 8), c = at(i), b = at(i + 8);
        long long ax = c.x - a.x, az = c.z - a.z, bx = b.x - c.x, bz = b.z - c.z;
        long long norms = (long long)datagen_length(a, c) * datagen_length(c, b);
        bend[i] = norms > 0 ? (long)((ax * bz - az * bx) * 1024 / norms) : 0;
    }
    for (long i = 0; i < points; i++) {
        long sum = 0;
        for (long j = -8; j <= 8; j++) sum += bend[(size_t)(((i + j) % points + points) % points)];
        turn[i] = sum / 17;
        berm[i] = std::min(plan.berm_max, std::labs(turn[i]) * plan.berm_max / 300);
    }

    // The nearest course point of every sample near the course.
    std::vector<long> best((size_t)n * n, LONG_MAX), nearest((size_t)n * n, -1);
    long reach = plan.half_width + plan.shoulder + 32;
    for (long i = 0; i < points; i++) {
        datagen_course_point c = at(i);
        long x0 = std::max<long>(0, (c.x - reach) / 16), x1 = std::min<long>(n - 1, (c.x + reach) / 16 + 1);
        long z0 = std::max<long>(0, (c.z - reach) / 16), z1 = std::min<long>(n - 1, (c.z + reach) / 16 + 1);
        for (long z = z0; z <= z1; z++)
            for (long x = x0; x <= x1; x++) {
                long dx = x * 16 - c.x, dz = z * 16 - c.z, d2 = dx * dx + dz * dz;
                size_t s = x + (size_t)n * z;
                if (d2 < best[s]) {
                    best[s] = d2;
                    nearest[s] = i;
                }
            }
    }

    // Heights: the course flat across (but for the berm) at its level, blended into the ground.
    const long top = 16L * plan.max_height;
    t.samples.resize((size_t)n * n);
    for (int z = 0; z < n; z++)
        for (int x = 0; x < n; x++) {
            size_t s = x + (size_t)n * z;
            long h = ground[s];
            if (nearest[s] >= 0) {
                long i = nearest[s], d = datagen_isqrt(best[s]);
                datagen_course_point c = at(i), before = at(i - 1), after = at(i + 1);
                long tx = after.x - before.x, tz = after.z - before.z;
                long length = std::max(1L, datagen_isqrt((long long)tx * tx + tz * tz));
                long side = (tx * (z * 16 - c.z) - tz * (x * 16 - c.x)) / length;
                long along = (tx * (x * 16 - c.x) + tz * (z * 16 - c.z)) / length;
                long outward = turn[i] > 0 ? -side : side;
                // The profile between this point and the next one along the way, so that ramps
                // rise evenly from sample to sample.
                size_t here = wrap(i), there = wrap(along >= 0 ? i + 1 : i - 1);
                long share = std::min(std::labs(along), 16L);
                long profile = ((level[here] + lift[here]) * (16 - share) + (level[there] + lift[there]) * share) / 16;
                long course = profile + berm[i] * std::clamp(outward, 0L, plan.half_width) / plan.half_width;
                if (d <= plan.half_width) {
                    h = course;
                } else if (d < plan.half_width + plan.shoulder) {
                    long w = d - plan.half_width;
                    h = (course * (plan.shoulder - w) + h * w) / plan.shoulder;
                }
            }
            h = std::clamp(h, 0L, top);
            t.samples[s] = (uint16_t)(h * 65535 / top);
        }

    // Tiles: dirt within 15 ft of the centreline, mud in low ground, sand patches, grass; no
    // sand or mud near the start line.
    long dirt = 15 * 16 / plan.spacing;
    datagen_course_point start_line = t.course[(size_t)datagen_start_line_index(t)];
    long clear = datagen_start_clear_radius(plan.spacing);
    t.tile_map.resize((size_t)q * q);
    for (int tz = 0; tz < q; tz++)
        for (int tx = 0; tx < q; tx++) {
            size_t s = (2 * tx + 1) + (size_t)n * (2 * tz + 1);
            unsigned char kind = 1;
            long long sx = (2 * tx + 1) * 16L - start_line.x, sz = (2 * tz + 1) * 16L - start_line.z;
            bool near_start = sx * sx + sz * sz < (long long)clear * clear;
            if (nearest[s] >= 0 && best[s] <= dirt * dirt)
                kind = 0;
            else if (near_start)
                kind = 1;
            else if (ground[s] < plan.mud_below)
                kind = 3;
            else if (plan.sand(tx, tz))
                kind = 2;
            t.tile_map[tx + (size_t)q * tz] = kind;
        }
    return t;
}

long datagen_start_line_index(const datagen_track &t) {
    return (t.straight_start[0] + 20) % (long)t.course.size();
}

long datagen_start_clear_radius(int spacing) {
    return 100 * 16 / spacing;
}

// ---- Files ---------------------------------------------------------------------------------

std::string datagen_track_terrain(const datagen_track &t) {
    char header[128];
    snprintf(header, sizeof header, "%d %f %f %f\n:", t.k, (double)t.spacing, 0.0, (double)t.max_height);
    std::string out = header;
    for (uint16_t v : t.samples) datagen_put_le16(&out, v);
    return out;
}

// The lit level of every sample (255 lit): a march from the sample towards the sun over the
// heights, darker the deeper the ray runs under the ground (full shadow a foot under).
static std::vector<int> datagen_lit(const datagen_track &t) {
    // The sun's horizontal direction (-4, 3)/5 and its rise of 6/5 a foot: the stock sun.
    const int n = t.n;
    const long long top = 65535;
    const long long foot = top / t.max_height;     // sample units a foot
    std::vector<int> lit((size_t)n * n, 255);
    for (int z = 0; z < n; z++)
        for (int x = 0; x < n; x++) {
            long long start = t.samples[x + (size_t)n * z] + foot / 4, deepest = 0;
            for (long step = 1;; step++) {
                long px = (x * 5 - 4 * step + 2), pz = (z * 5 + 3 * step + 2);
                if (px < 0 || pz < 0 || px / 5 >= n || pz / 5 >= n) break;
                long long ray = start + step * 6LL * t.spacing * top / (5LL * t.max_height);
                if (ray > top) break;
                long long under = (long long)t.samples[px / 5 + (size_t)n * (pz / 5)] - ray;
                if (under > deepest) deepest = under;
            }
            lit[x + (size_t)n * z] = 255 - (int)std::min<long long>(255, deepest * 255 / foot);
        }
    return lit;
}

std::string datagen_track_shadows(const datagen_track &t) {
    return datagen_pnm("P5", t.n, t.n, 255, datagen_lit(t));
}

std::string datagen_track_shading(const datagen_track &t) {
    // The field as the game loads it from these files.
    const int n = t.n;
    std::vector<float> heights((size_t)n * n);
    for (size_t i = 0; i < heights.size(); i++) heights[i] = terrain_sample_height(0.0f, (float)t.max_height, t.samples[i]);
    std::vector<int> lit = datagen_lit(t);
    std::vector<unsigned char> shadows((size_t)n * n);
    for (size_t i = 0; i < shadows.size(); i++) shadows[i] = (unsigned char)(255 - lit[i]);
    size_t triangles = (size_t)terrain_triangle_count(n);
    std::vector<vec3> normals(triangles);
    std::vector<unsigned char> dirty(terrain_bit_bytes(triangles), 0xff);
    track_lighting_record light = {};
    for (int c = 0; c < 3; c++) {
        light.sun_vector[c] = DATAGEN_SUN[c];
        light.sun_color[c] = DATAGEN_SUN_COLOR[c];
        light.ambient[c] = DATAGEN_AMBIENT[c];
    }
    track_lighting_unit_sun(light.sun_vector);
    std::unique_ptr<terrain_field> f(new terrain_field{});
    f->k = t.k;
    f->n = n;
    f->spacing = (float)t.spacing;
    f->heights = heights.data();
    f->shadows = shadows.data();
    f->triangle_normals = normals.data();
    f->triangle_dirty = dirty.data();
    f->lighting = &light;
    std::vector<int> rgb((size_t)n * n * 3);
    for (int z = 0; z < n; z++)
        for (int x = 0; x < n; x++) {
            unsigned char s[3];
            terrain_shade_sample(f.get(), x, z, s);
            for (int c = 0; c < 3; c++) rgb[3 * (x + (size_t)n * z) + c] = s[c];
        }
    return datagen_pnm("P6", n, n, 255, rgb);
}

std::string datagen_track_tilemap(const datagen_track &t) {
    return std::string(t.tile_map.begin(), t.tile_map.end());
}

std::string datagen_track_lighting(const datagen_track &t) {
    char text[512];
    snprintf(text, sizeof text,
             "sun_vector [ %f %f %f ]\n"
             "sun_color [ %f %f %f ]\n"
             "ambient [ %f %f %f ]\n"
             "global_ambient [ 0.250000 0.250000 0.312500 ]\n"
             "dynamic_lighting %d\n"
             "fog [ 0.750000 0.812500 0.875000 ] 0.000500\n",
             (double)DATAGEN_SUN[0], (double)DATAGEN_SUN[1], (double)DATAGEN_SUN[2],
             (double)DATAGEN_SUN_COLOR[0], (double)DATAGEN_SUN_COLOR[1], (double)DATAGEN_SUN_COLOR[2],
             (double)DATAGEN_AMBIENT[0], (double)DATAGEN_AMBIENT[1], (double)DATAGEN_AMBIENT[2],
             t.dynamic_lighting);
    return text;
}

// The four ground kinds, in tile-map order. Grip falls from dirt to grass, sand and mud; sand
// ruts deepest, grass least.
std::string datagen_track_tileinfo() {
    struct kind {
        const char *name;
        const char *friction[3];
        int slip_function;
        const char *roll[2];
        const char *roost;
        const char *erode;
    };
    static const kind kinds[] = {
        {"dirt", {"1.200000 1.000000", "1.100000 6.000000", "0.950000 20.000000"}, 2,
         {"5.000000 15.000000 1.000000", "6.000000 18.000000 30.000000"},
         "count=12 dig=1 size=0.25 grow=4 drag=0.5 r=122 g=92 b=62 a=255 fade_a=32512 texture=@roost.png",
         "erode_depth 3.000000\nerode_radius 4.000000\nerode_inner_depth 0.375000\n"
         "erode_inner_radius 2.000000\nerode_displacement 3.000000\n"},
        {"grass", {"1.000000 1.000000", "0.900000 6.000000", "0.750000 20.000000"}, 2,
         {"6.000000 16.000000 1.000000", "7.000000 20.000000 30.000000"},
         "count=8 dig=0.5 size=0.2 grow=3 drag=0.6 r=84 g=110 b=52 a=255 fade_a=32512 texture=@roost.png",
         "erode_depth 0.400000\nerode_radius 3.000000\nerode_inner_depth 0.050000\n"
         "erode_inner_radius 1.500000\nerode_displacement 2.500000\n"},
        {"sand", {"0.850000 1.000000", "0.800000 6.000000", "0.700000 20.000000"}, 1,
         {"12.000000 40.000000 1.000000", "14.000000 48.000000 30.000000"},
         "count=16 dig=1.5 size=0.3 grow=5 drag=0.4 r=206 g=184 b=136 a=255 fade_a=32512 texture=@roost.png",
         "erode_depth 6.000000\nerode_radius 5.000000\nerode_inner_depth 0.750000\n"
         "erode_inner_radius 2.500000\nerode_displacement 3.500000\n"},
        {"mud", {"0.700000 1.000000", "0.600000 6.000000", "0.500000 20.000000"}, 1,
         {"10.000000 30.000000 1.000000", "12.000000 36.000000 30.000000"},
         "count=10 dig=1.2 size=0.35 grow=2 drag=0.7 r=74 g=58 b=42 a=255 splash=1 fade_a=32512 texture=@roost.png",
         "erode_depth 4.000000\nerode_radius 4.500000\nerode_inner_depth 0.500000\n"
         "erode_inner_radius 2.000000\nerode_displacement 4.000000\n"},
    };
    std::string out;
    for (const kind &k : kinds) {
        out += std::string("name ") + k.name + "\ntexture @" + k.name + ".png\n";
        for (const char *f : k.friction) out += std::string("friction ") + f + "\n";
        out += "slip_function " + std::to_string(k.slip_function) + "\n";
        for (const char *r : k.roll) out += std::string("roll_resist ") + r + "\n";
        out += std::string("roost ") + k.roost + "\n";
        out += k.erode;
        out += "erode_lower 50.000000\nerode_upper 150.000000\n"
               "erode_off_speed 10.000000\nerode_on_speed 15.000000\n"
               "erode_slip_lower 0.000000\nerode_slip_upper 5.000000\n"
               "erode_limit 0.000000 1.000000 1.000000\nerode_limit 0.500000 0.600000 0.800000\n"
               "erode_limit 1.000000 0.100000 0.500000\naddtile\n\n";
    }
    return out;
}
