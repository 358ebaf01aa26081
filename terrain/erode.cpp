// The erosion: wheel samples into points and batches, the erode_message codec, and the queue
// that the frame loop drains into ruts and berms.
#include "terrain/erode.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/console.h"
#include "terrain/dig.h"

erode_hook_table erode_hooks = {nullptr, nullptr};
erode_readout_values erode_readouts;

// The queue: a ring of points, the flag that the overflow was reported, and the tick after
// which points near the protected position stop waiting.
static erode_point erode_ring[ERODE_QUEUE_SIZE];
static int erode_head = 0, erode_count = 0;
static int erode_full_reported = 0;
static int erode_due_tick = INT_MAX;

static int erode_tick() {
    return erode_hooks.current_tick ? erode_hooks.current_tick() : 0;
}

static float erode_clamp(float v, float lo, float hi) {
    return v > lo ? (v < hi ? v : hi) : lo;   // NaN gives lo
}

static double erode_clampd(double v, double lo, double hi) {
    return v > lo ? (v < hi ? v : hi) : lo;
}

// (value - lower) / (upper - lower) clamped to 0..1, with the range at least ERODE_RANGE_MIN.
static float erode_ramp(float value, float lower, float upper) {
    float range = upper - lower;
    if (!(range > ERODE_RANGE_MIN)) range = ERODE_RANGE_MIN;
    return erode_clamp((value - lower) / range, 0, 1);
}

// The tile kind under a world point (kind 0 without a tile map).
static const tile_kind &erode_kind_at(const terrain_field *f, float x, float z) {
    if (!f->tile_map || f->k < 0 || !(f->spacing > 0)) return f->kinds[0];
    int q = 1 << f->k;
    double size = 2.0 * f->spacing;
    int col = (int)erode_clampd(floor((double)x / size), 0, q - 1);
    int row = (int)erode_clampd(floor((double)z / size), 0, q - 1);
    return f->kinds[f->tile_map[col + (size_t)q * row]];
}

static void erode_send(const unsigned char *bytes, int length) {
    if (erode_hooks.send)
        erode_hooks.send(bytes, length);
    else
        erode_queue_message(bytes, length);
}

static void erode_send_batch(const erode_batch *b) {
    unsigned char message[ERODE_MESSAGE_MAX];
    int length = erode_encode_batch(message, b);
    if (length > 0) erode_send(message, length);
}

static void erode_clear_group(erode_batch *b) {
    b->last_x = b->last_z = 0;
    b->sum_x = b->sum_z = b->sum_value1 = b->sum_value2 = 0;
    b->track_length = 0;
    b->sample_count = 0;
}

void erode_batch_clear(erode_batch *b) {
    b->dx_min = b->dz_min = b->dx_max = b->dz_max = 0;
    b->stamp = 0;
    b->point_count = 0;
    erode_clear_group(b);
}

// ---- Samples, points and batches ------------------------------------------------------------

void erode_batch_add_point(erode_batch *b) {
    if (b->sample_count <= 0) return;
    if (b->point_count >= ERODE_BATCH_POINTS) {
        erode_send_batch(b);
        b->point_count = 0;
    }
    float count = (float)b->sample_count;
    erode_point p = {b->sum_x / count, b->sum_z / count, b->sum_value1 / count,
                     b->sum_value2 / count, b->sample_count};
    int i = b->point_count;
    if (i == 0) {
        b->points[0] = p;
        b->point_count = 1;
    } else {
        float dx = p.x - b->points[i - 1].x, dz = p.z - b->points[i - 1].z;
        float x0 = dx, z0 = dz, x1 = dx, z1 = dz;
        if (i >= 2) {
            x0 = fminf(b->dx_min, dx);
            z0 = fminf(b->dz_min, dz);
            x1 = fmaxf(b->dx_max, dx);
            z1 = fmaxf(b->dz_max, dz);
        }
        // A step too long for the message's bounds cuts the batch as a spread too wide does.
        if (fabsf(dx) > ERODE_STEP_MAX || fabsf(dz) > ERODE_STEP_MAX ||
            fmaxf(x1 - x0, z1 - z0) > ERODE_BATCH_SPREAD_MAX) {
            erode_send_batch(b);
            erode_batch_clear(b);
            b->points[0] = p;
            b->point_count = 1;
        } else {
            b->dx_min = x0;
            b->dz_min = z0;
            b->dx_max = x1;
            b->dz_max = z1;
            b->points[i] = p;
            b->point_count = i + 1;
        }
    }
    b->stamp = erode_tick();
}

// The idle work of a tick without a sample: a batch left too long is sent.
static void erode_idle(erode_batch *b) {
    if (b->point_count < 1 || (int64_t)erode_tick() <= (int64_t)b->stamp + ERODE_IDLE_TICKS) return;
    erode_batch_add_point(b);
    if (b->point_count > 0) {
        erode_send_batch(b);
        erode_batch_clear(b);
    }
}

static bool erode_finite(vec3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

static bool erode_finite3(const double *v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

void erode_wheel_contact(erode_batch *b, const erode_contact &c, int front) {
    erode_readouts = {};
    terrain_field *f = terrain_current;
    if (!(c.contact_depth > 0) || !f || !f->heights || !(f->spacing > 0) ||
        !erode_finite(c.point) || !erode_finite(c.velocity) || !erode_finite(c.normal) ||
        !erode_finite3(c.body_velocity) || !erode_finite3(c.force)) {
        erode_idle(b);
        return;
    }
    const erode_params &P = erode_kind_at(f, c.point.x, c.point.z).erode;
    vec3 N;
    terrain_normal_at(f, c.point.x, c.point.z, &N);

    vec3 v = {(float)c.body_velocity[0], (float)c.body_velocity[1], (float)c.body_velocity[2]};
    float speed = sqrtf(v.x * v.x + v.y * v.y + v.z * v.z);
    float horizontal = sqrtf(v.x * v.x + v.z * v.z);
    // No horizontal motion: no forward or lateral direction, so no sample.
    if (!std::isfinite(speed) || !(horizontal >= ERODE_SPEED_MIN)) {
        if (std::isfinite(speed)) erode_readouts.speed = speed;
        erode_idle(b);
        return;
    }
    float fwd_x = v.x / horizontal, fwd_z = v.z / horizontal;
    float lat_x = -v.z / horizontal, lat_z = v.x / horizontal;
    erode_readouts.speed = speed;
    float sf = erode_ramp(speed, P.off_speed, P.on_speed);

    vec3 F = {(float)c.force[0], (float)c.force[1], (float)c.force[2]};
    erode_readouts.fx = F.x * lat_x + F.z * lat_z;
    erode_readouts.fz = F.x * fwd_x + F.z * fwd_z;

    float q = (F.x * N.x + F.y * N.y + F.z * N.z) / (N.x * N.x + N.y * N.y + N.z * N.z);
    float push_x = sf * (F.x - N.x * q * P.project_to_ground);
    float push_z = sf * (F.z - N.z * q * P.project_to_ground);

    float slip = sqrtf(c.velocity.x * c.velocity.x + c.velocity.y * c.velocity.y +
                       c.velocity.z * c.velocity.z);
    erode_readouts.slip = slip;
    float w = erode_ramp(slip, P.slip_lower, P.slip_upper);
    float scale = P.slip_base_scale + w * (P.slip_scale - P.slip_base_scale);
    push_x *= scale;
    push_z *= scale;
    float lateral = (push_x * lat_x + push_z * lat_z) * (P.lateral_scale - 1);
    push_x += lat_x * lateral;
    push_z += lat_z * lateral;
    if (front) {
        push_x *= P.front_scale;
        push_z *= P.front_scale;
    }
    erode_readouts.pfx = push_x * lat_x + push_z * lat_z;
    erode_readouts.pfz = push_x * fwd_x + push_z * fwd_z;

    float push2 = push_x * push_x + push_z * push_z;
    if (!(push2 > P.lower * P.lower) || !(push2 > 1.0f / 1024.0f) || !std::isfinite(push2)) {
        erode_idle(b);
        return;
    }
    float push = sqrtf(push2);
    float a = erode_ramp(push, P.lower, P.upper);
    float strength = 0.125f + 0.875f * a;
    float value1 = push_x / push * strength, value2 = push_z / push * strength;
    float x = c.point.x, z = c.point.z;

    float step = 0;
    if (b->sample_count >= 1) {
        float dx = x - b->last_x, dz = z - b->last_z;
        step = sqrtf(dx * dx + dz * dz);
    }
    b->last_x = x;
    b->last_z = z;
    if (b->sample_count < ERODE_GROUP_SAMPLES && b->track_length + step < 1) {
        b->sum_x += x;
        b->sum_z += z;
        b->sum_value1 += value1;
        b->sum_value2 += value2;
        b->sample_count++;
        b->track_length += step;
        return;
    }
    erode_batch_add_point(b);
    float length = 0;
    if (b->sample_count != ERODE_GROUP_SAMPLES) {
        float carried = step + b->track_length - 1;
        length = carried < 1 ? carried : 0;
    }
    b->last_x = x;
    b->last_z = z;
    b->sum_x = x;
    b->sum_z = z;
    b->sum_value1 = value1;
    b->sum_value2 = value2;
    b->sample_count = 1;
    b->track_length = length;
}

// ---- The message ----------------------------------------------------------------------------

static unsigned erode_bound_code(float value) {
    double v = erode_clampd((double)value, -1024.0, 1024.0);
    return (unsigned)erode_clampd(floor((v + 1024.0) * 65535.0 / 2048.0 + 0.5), 0, 65535);
}

static float erode_bound_value(unsigned u) {
    return (float)((double)u / 65535.0 * 2048.0 - 1024.0);
}

static float erode_position_value(unsigned u, float extent) {
    if (!(extent > 0) || !std::isfinite(extent)) return 0;
    return (float)((double)u / 16777215.0 * (double)extent);
}

// The position's code. Near the far end of a track a float barely resolves the codes, so of
// the rounded code and its two neighbours the one that decodes nearest the value is taken (the
// rounded one on a tie): a decoded position then encodes to its own code again.
static unsigned erode_position_code(float value, float extent) {
    if (!(extent > 0) || !std::isfinite(extent)) return 0;
    double v = erode_clampd((double)value, 0, (double)extent);
    unsigned u = (unsigned)erode_clampd(floor(16777215.0 * v / (double)extent + 0.5), 0, 16777215);
    unsigned best = u;
    double best_error = fabs((double)erode_position_value(u, extent) - v);
    for (unsigned c : {u - 1, u + 1}) {
        if (c > 16777215) continue;   // (u - 1 wraps above it at 0)
        double error = fabs((double)erode_position_value(c, extent) - v);
        if (error < best_error) {
            best = c;
            best_error = error;
        }
    }
    return best;
}

static unsigned erode_value_code(float value) {
    double v = erode_clampd(((double)value + 1.0) / 2.0, 0, 1);
    double k = floor(64.0 * v + 0.5);
    return (unsigned)(k < 63 ? k : 63);
}

static float erode_code_value(unsigned k) {
    return erode_clamp((float)k / 64.0f, 0, 1) * 2.0f - 1.0f;
}

// One step of the decoded position: the encoder advances by the very same expression.
static float erode_advance(float previous, float lo, float hi, unsigned step) {
    return previous + (lo + (hi - lo) * (float)step / 255.0f);
}

static unsigned erode_step_code(float step, float lo, float hi) {
    if (!(hi > lo)) return 0;
    double s = erode_clampd((double)step, (double)lo, (double)hi);
    return (unsigned)erode_clampd(floor(255.0 * (s - lo) / ((double)hi - lo) + 0.5), 0, 255);
}

static void erode_put_codes(unsigned char *out, const erode_point &p) {
    int count = p.sample_count < 0 ? 0 : p.sample_count > 15 ? 15 : p.sample_count;
    out[0] = (unsigned char)((count & 3) | erode_value_code(p.value1) << 2);
    out[1] = (unsigned char)(((count >> 2) & 3) | erode_value_code(p.value2) << 2);
}

static void erode_get_codes(const unsigned char *in, erode_point *p) {
    p->sample_count = (in[0] & 3) | (in[1] & 3) << 2;
    p->value1 = erode_code_value(in[0] >> 2);
    p->value2 = erode_code_value(in[1] >> 2);
}

static void erode_put16(unsigned char *out, unsigned v) {
    out[0] = (unsigned char)v;
    out[1] = (unsigned char)(v >> 8);
}

static void erode_put24(unsigned char *out, unsigned v) {
    out[0] = (unsigned char)v;
    out[1] = (unsigned char)(v >> 8);
    out[2] = (unsigned char)(v >> 16);
}

int erode_encode_batch(unsigned char *out, const erode_batch *b) {
    int n = b->point_count;
    if (n < 1) return 0;
    if (n > ERODE_BATCH_POINTS) n = ERODE_BATCH_POINTS;
    float extent = terrain_current ? terrain_current->extent : 0;
    out[0] = 1;
    const float widen = 1.0f / 16.0f;
    unsigned bounds[4] = {erode_bound_code(b->dx_min - widen), erode_bound_code(b->dz_min - widen),
                          erode_bound_code(b->dx_max + widen), erode_bound_code(b->dz_max + widen)};
    for (int i = 0; i < 4; i++) erode_put16(out + 1 + 2 * i, bounds[i]);
    float x0 = erode_bound_value(bounds[0]), z0 = erode_bound_value(bounds[1]);
    float x1 = erode_bound_value(bounds[2]), z1 = erode_bound_value(bounds[3]);
    unsigned ux = erode_position_code(b->points[0].x, extent);
    unsigned uz = erode_position_code(b->points[0].z, extent);
    erode_put24(out + 9, ux);
    erode_put24(out + 12, uz);
    float x = erode_position_value(ux, extent), z = erode_position_value(uz, extent);
    erode_put_codes(out + 15, b->points[0]);
    for (int i = 1; i < n; i++) {
        unsigned char *p = out + 17 + 4 * (i - 1);
        unsigned sx = erode_step_code(b->points[i].x - x, x0, x1);
        unsigned sz = erode_step_code(b->points[i].z - z, z0, z1);
        p[0] = (unsigned char)sx;
        p[1] = (unsigned char)sz;
        x = erode_advance(x, x0, x1, sx);
        z = erode_advance(z, z0, z1, sz);
        erode_put_codes(p + 2, b->points[i]);
    }
    return 17 + 4 * (n - 1);
}

int erode_decode_message(const unsigned char *bytes, int length, float extent,
                         erode_point out[64]) {
    if (!bytes || length < 17 || bytes[0] != 1) return 0;
    int n = (length - 17) / 4 + 1;
    if (n > ERODE_BATCH_POINTS) n = ERODE_BATCH_POINTS;
    float bounds[4];
    for (int i = 0; i < 4; i++) bounds[i] = erode_bound_value(bytes[1 + 2 * i] | bytes[2 + 2 * i] << 8);
    unsigned ux = bytes[9] | bytes[10] << 8 | (unsigned)bytes[11] << 16;
    unsigned uz = bytes[12] | bytes[13] << 8 | (unsigned)bytes[14] << 16;
    out[0].x = erode_position_value(ux, extent);
    out[0].z = erode_position_value(uz, extent);
    erode_get_codes(bytes + 15, &out[0]);
    for (int i = 1; i < n; i++) {
        const unsigned char *p = bytes + 17 + 4 * (i - 1);
        out[i].x = erode_advance(out[i - 1].x, bounds[0], bounds[2], p[0]);
        out[i].z = erode_advance(out[i - 1].z, bounds[1], bounds[3], p[1]);
        erode_get_codes(p + 2, &out[i]);
    }
    return n;
}

// ---- The queue ------------------------------------------------------------------------------

void erode_queue_message(const unsigned char *bytes, int length) {
    erode_point points[ERODE_BATCH_POINTS];
    float extent = terrain_current ? terrain_current->extent : 0;
    int n = erode_decode_message(bytes, length, extent, points);
    for (int i = 0; i < n; i++) {
        if (erode_count >= ERODE_QUEUE_SIZE) {
            if (!erode_full_reported) console_print("Erode queue full!\n");
            erode_full_reported = 1;
            continue;
        }
        erode_ring[(erode_head + erode_count) % ERODE_QUEUE_SIZE] = points[i];
        erode_count++;
    }
}

void erode_queue_reset() {
    erode_head = 0;
    erode_count = 0;
    erode_due_tick = INT_MAX;
}

int erode_queue_count() {
    return erode_count;
}

erode_point erode_queue_peek(int i) {
    if (i < 0 || i >= erode_count) return erode_point{};
    return erode_ring[(erode_head + i) % ERODE_QUEUE_SIZE];
}

float erode_height_at(const terrain_field *f, float x, float z) {
    return terrain_height_at(f, x, z);
}

// The limit table's main and inner factors at the depth dug so far.
static void erode_limit_factors(const erode_params &P, float dug, float *main, float *inner) {
    int count = P.limit_count < 1 ? 1 : P.limit_count > 8 ? 8 : P.limit_count;
    float index = 0;
    if (count >= 2 && !(dug < P.limit_depth[0])) {
        index = (float)(count - 1);
        for (int j = 1; j < count; j++)
            if (dug < P.limit_depth[j]) {
                float range = P.limit_depth[j] - P.limit_depth[j - 1];
                if (!(range > ERODE_RANGE_MIN)) range = ERODE_RANGE_MIN;
                index = (dug - P.limit_depth[j - 1]) / range + (float)(j - 1);
                break;
            }
    }
    index = erode_clamp(index, 0, (float)(count - 1));
    int i0 = (int)index;
    int i1 = i0 + 1 < count ? i0 + 1 : count - 1;
    float t = index - (float)i0;
    *main = P.limit_main[i0] + (P.limit_main[i1] - P.limit_main[i0]) * t;
    *inner = P.limit_inner[i0] + (P.limit_inner[i1] - P.limit_inner[i0]) * t;
}

void erode_apply_point(terrain_field *f, const erode_point &p, float strength) {
    if (!f || !f->heights || !std::isfinite(p.x) || !std::isfinite(p.z) || !std::isfinite(p.value1) ||
        !std::isfinite(p.value2))
        return;
    const erode_params &P = erode_kind_at(f, p.x, p.z).erode;
    float amount = strength / 2048.0f;
    float w = sqrtf(p.value1 * p.value1 + p.value2 * p.value2);
    if (!(w >= ERODE_DIRECTION_MIN)) return;   // no push direction
    float s = erode_clamp((w - 0.125f) * 8.0f / 7.0f, 0, 1) * P.displacement;
    float dx = p.x - s * p.value1 / w, dz = p.z - s * p.value2 / w;
    float h = erode_height_at(f, p.x, p.z), hd = erode_height_at(f, dx, dz);
    float rise = hd - h;
    if (rise < s * P.min_slope || rise > s * P.max_slope) return;
    if (rise < 0) amount *= 1 + (h - hd) / s * P.downhill_scale;
    float dug = terrain_loaded_height_at(f, p.x, p.z) - h;
    float main, inner;
    erode_limit_factors(P, dug, &main, &inner);
    float v1 = terrain_add_bump(f, p.x, p.z, P.radius, -((float)p.sample_count * main * amount * P.depth));
    float v2 = terrain_add_bump(f, p.x, p.z, P.inner_radius, -(inner * amount * P.inner_depth));
    terrain_spread_volume(f, dx, dz, P.radius, -(v1 + v2));
}

void erode_apply_queue(const float *protected_position, float strength) {
    if (!std::isfinite(strength)) return;
    int tick = erode_tick();
    if (protected_position && (!std::isfinite(protected_position[0]) || !std::isfinite(protected_position[2])))
        protected_position = nullptr;
    if (erode_due_tick < tick || erode_count > ERODE_QUEUE_PROTECT_MAX) {
        erode_due_tick = INT_MAX;
        protected_position = nullptr;
    }
    int over = erode_count - ERODE_QUEUE_PROTECT_MAX;
    int budget = erode_count / 512 + 4 + (over > 0 ? over : 0) / 64;
    for (int i = 0; i < budget && erode_count > 0; i++) {
        const erode_point &p = erode_ring[erode_head];
        if (protected_position) {
            float dx = p.x - protected_position[0], dz = p.z - protected_position[2];
            if (dx * dx + dz * dz < ERODE_PROTECT_RADIUS2) {
                int64_t due = (int64_t)tick + ERODE_PROTECT_TICKS;
                if (due < erode_due_tick) erode_due_tick = (int)due;
                break;
            }
        }
        erode_point point = p;
        erode_head = (erode_head + 1) % ERODE_QUEUE_SIZE;
        erode_count--;
        erode_apply_point(terrain_current, point, strength);
        erode_due_tick = INT_MAX;
    }
}

void erode_format_wheel_readout(char *out, int size) {
    if (!out || size < 1) return;
    const erode_readout_values &r = erode_readouts;
    // (+ 0.0 turns the negated zeros of an idle wheel into plain ones)
    snprintf(out, (size_t)size, "speed=%.2f\nslip=%.2f\nfx=%.2f\nfz=%.2f\npfx=%.2f\npfz=%.2f\n",
             (double)r.speed, (double)r.slip, -(double)r.fx + 0.0, -(double)r.fz + 0.0,
             -(double)r.pfx + 0.0, -(double)r.pfz + 0.0);
}
