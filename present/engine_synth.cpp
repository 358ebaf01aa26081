// The engine sound synthesis: firings at a rate that follows the engine speed restart four
// wave-table players on recorded pulses, cross-faded by speed and load, through a 16-tap pipe.
#include <cmath>

#include "present/engine_sound.h"

engine_sound engine_sounds[160];

static constexpr float INV_RATE = 2.2675736545352265e-05f;  // 1/44100 in single precision
static constexpr int RING_MASK = ENGINE_RING - 1;

static int32_t fire_step(float f) {
    return (int32_t)lrintf(f * INV_RATE * 16777216.0f);
}

// The weight of value between lo and hi; two values closer than 1e-6 make a step at hi.
static float axis_weight(float value, float lo, float hi) {
    float span = hi - lo;
    if (!(std::fabs(span) >= 1e-6f)) return value >= hi ? 1.0f : 0.0f;
    float w = (value - lo) / span;
    return w < 0 ? 0 : w > 1 ? 1 : w;
}

// The number of leading entries (stride apart) not above value, as the row and column searches.
static void axis_pair(const sound_cell *first, int count, int stride, float value, bool by_rpm,
                      int *lo, int *hi) {
    int i = 0;
    while (i < count) {
        const sound_cell &c = first[i * stride];
        float v = by_rpm ? c.rpm : c.load;
        if (v > value) break;
        i++;
    }
    *lo = i - 1 < 0 ? 0 : i - 1 > count - 1 ? count - 1 : i - 1;
    *hi = i > count - 1 ? count - 1 : i;
}

static void restart(engine_oscillator *o, const sound_cell &c, uint32_t count, float f,
                    float gain) {
    uint32_t q = count;
    if (c.remap && c.remap_count > 0) q = (uint32_t)c.remap[q % (uint32_t)c.remap_count];
    uint32_t pulses = c.pulses > 0 ? (uint32_t)c.pulses : 1u;
    float length = (float)c.length;
    float L = length / (float)pulses;
    o->phase = (uint32_t)(int64_t)((float)(q % pulses) * L) * 1024u;
    o->step = (uint32_t)(int64_t)(1024.0f * L * f / 44100.0f);
    o->wave = c.wave;
    o->length = c.length;
    o->gain = std::isfinite(gain) ? gain : 0.0f;
}

static void fire(engine_sound *e, int j, int n, float rpm, float load, int32_t *step_fire) {
    engine_sound_params &p = e->params;
    float frac = (float)j / (float)n;
    uint32_t c = e->fire_count;
    uint32_t bias_count = p.bias_count >= 1 && p.bias_count <= 100 ? (uint32_t)p.bias_count : 1;
    uint32_t scale_count =
        p.scale_count >= 1 && p.scale_count <= 100 ? (uint32_t)p.scale_count : 1;
    float r = (e->last_rpm + frac * (rpm - e->last_rpm) + p.bias[c % bias_count]) *
              p.scale[c % scale_count];
    // Firing speed and rate stay bounded whatever the description says.
    if (!(r > p.min_rpm)) r = p.min_rpm;
    if (!(r <= ENGINE_RPM_MAX)) r = ENGINE_RPM_MAX;
    if (!(r >= 0)) r = 0;
    e->fire_count = c + 1;
    float f = r * p.fire_factor * (1.0f / 60.0f);
    if (!(f >= ENGINE_FIRE_MIN)) f = ENGINE_FIRE_MIN;
    if (f > ENGINE_FIRE_MAX) f = ENGINE_FIRE_MAX;
    e->fire_freq = f;
    *step_fire = fire_step(f);

    const sound_table *t = p.table;
    if (!t || t->rows < 1 || t->cols < 1 || !t->cells) return;
    int row_lo, row_hi, col_lo, col_hi;
    axis_pair(t->cells, t->rows, t->cols, r, true, &row_lo, &row_hi);
    axis_pair(t->cells, t->cols, 1, load, false, &col_lo, &col_hi);
    const sound_cell *cells = t->cells;
    int cols = t->cols;
    float m = row_lo == row_hi
                  ? 1.0f
                  : axis_weight(r, cells[row_lo * cols].rpm, cells[row_hi * cols].rpm);
    float g = col_lo == col_hi ? 1.0f : axis_weight(load, cells[col_lo].load, cells[col_hi].load);
    uint32_t q = e->fire_count;
    restart(&e->osc[0], cells[row_lo * cols + col_lo], q, f, (1 - m) * (1 - g));
    restart(&e->osc[1], cells[row_hi * cols + col_lo], q, f, m * (1 - g));
    restart(&e->osc[2], cells[row_lo * cols + col_hi], q, f, (1 - m) * g);
    restart(&e->osc[3], cells[row_hi * cols + col_hi], q, f, m * g);
}

int engine_sound_synthesize(engine_sound *e, float rpm, float torque, int play_position,
                            unsigned char *out) {
    int n = (int)(((int64_t)play_position + ENGINE_RING + ENGINE_LEAD - e->write_pos) &
                  RING_MASK);
    if (n == 0) return 0;
    if (n > ENGINE_PASS_MAX) n = ENGINE_PASS_MAX;
    engine_sound_params &p = e->params;
    if (!std::isfinite(rpm)) rpm = e->last_rpm;
    if (!std::isfinite(e->last_rpm)) e->last_rpm = p.min_rpm;
    if (!std::isfinite(rpm)) rpm = 0;
    float load = std::isfinite(torque) ? axis_weight(torque, p.low_torque, p.high_torque) : 0.0f;
    int32_t step_fire = fire_step(std::isfinite(e->fire_freq) ? e->fire_freq : ENGINE_FIRE_MIN);
    if (step_fire < 0 || step_fire > (1 << 24)) step_fire = fire_step(ENGINE_FIRE_MIN);
    int pos = e->write_pos & RING_MASK;
    float *ring = e->ring;
    for (int j = 0; j < n; j++) {
        float s = 0;
        for (int k = 0; k < 16; k++) s += p.pipe_gain[k] * ring[(pos + p.pipe_offset[k]) & RING_MASK];
        for (auto &o : e->osc) {
            uint32_t at = o.phase >> 10;
            if (o.wave && at < (uint32_t)o.length) s += o.gain * o.wave[at];
            o.phase += o.step;
        }
        if (!std::isfinite(s)) s = 0;
        ring[pos] = s < -16.0f ? -16.0f : s > 16.0f ? 16.0f : s;
        e->fire_phase += step_fire;
        if (e->fire_phase > 16777215) {
            fire(e, j, n, rpm, load, &step_fire);
            e->fire_phase -= 16777216;
        }
        pos = (pos + 1) & RING_MASK;
    }
    e->write_pos = pos;
    e->last_rpm = rpm;
    int start = (pos - n) & RING_MASK;
    for (int j = 0; j < n; j++) {
        float v = std::floor(ring[(start + j) & RING_MASK] * 127.0f + 127.5f);
        out[j] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : (int)v);
    }
    return n;
}

void engine_sound_set_pipe(engine_sound_params *p, float length, float spread, float gain,
                           int first, int last) {
    if (!std::isfinite(length) || !std::isfinite(spread) || !std::isfinite(gain)) return;
    first = first < 0 ? 0 : first > 15 ? 15 : first;
    last = last < first ? first : last > 15 ? 15 : last;
    int r = last - first;
    float m = length < spread ? length : spread;
    for (int k = 0; k <= r; k++) {
        float L = length;
        if (r != 0) {
            float kr = (float)k / (float)r;
            L = length - m * ((float)k + kr * kr) / (float)(r + 1);
        }
        double d = std::trunc(2.0 * L / SPEED_OF_SOUND * 44100.0);
        if (!(d >= 1)) d = 1;
        if (d > 32767) d = 32767;
        p->pipe_offset[first + k] = ENGINE_RING - (int32_t)d;
        p->pipe_gain[first + k] = gain / (float)(r + 1);
    }
}
