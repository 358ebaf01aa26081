// Rider state history: insertion in tick order, the pair around a tick, blending and posing.
#include "race/history.h"

#include <cmath>
#include <cstring>

#include "core/console.h"
#include "race/race.h"

rider_history_record rider_history[RIDER_SLOTS];
void (*history_pose_spy)(int slot, int view_tick, const history_pose_record *pose) = nullptr;

static int before(int i) {
    return (i + HISTORY_RECORDS - 1) % HISTORY_RECORDS;
}

static int after(int i) {
    return (i + 1) % HISTORY_RECORDS;
}

void history_clear(int slot) {
    if (slot < 0 || slot >= RIDER_SLOTS) return;
    rider_history_record &h = rider_history[slot];
    memset(h.states, 0, sizeof h.states);
    memset(h.unsent, 0, sizeof h.unsent);
    for (int &t : h.ticks) t = -1;
    h.head = 0;
    h.pending = 0;
}

void history_clear_all() {
    for (int i = 0; i < RIDER_SLOTS; i++) history_clear(i);
}

void add_state_to_history(int slot, const unsigned char *state, int tick) {
    if (slot < 0 || slot >= RIDER_SLOTS) {
        console_print("add_state_to_history: slot out of range");
        return;
    }
    if (!state || tick < 0) return;
    rider_history_record &h = rider_history[slot];
    int at = h.head, steps = 0;
    while (steps < HISTORY_RECORDS && h.ticks[at] > tick) {
        at = before(at);
        steps++;
    }
    // Every record of a full ring is newer: the new one would be older than the oldest kept.
    if (steps == HISTORY_RECORDS) return;
    if (h.ticks[at] == tick) return;
    // The entry after the head is the oldest (or empty) and falls out; the newer records move
    // one place forward and the new one takes the place right after the entry reached.
    int freed = after(h.head);
    if (h.unsent[freed] && h.ticks[freed] >= 0) h.pending--;
    int to = freed;
    while (to != after(at)) {
        int from = before(to);
        memcpy(h.states[to], h.states[from], PACKED_STATE_BYTES);
        h.ticks[to] = h.ticks[from];
        h.unsent[to] = h.unsent[from];
        to = from;
    }
    memcpy(h.states[to], state, PACKED_STATE_BYTES);
    h.ticks[to] = tick;
    h.unsent[to] = 1;
    h.head = freed;
    h.pending++;
}

int history_find_pair(int slot, int t, int *a, int *b) {
    if (slot < 0 || slot >= RIDER_SLOTS) return 0;
    const rider_history_record &h = rider_history[slot];
    int at = h.head, s = 0;
    while (s < HISTORY_RECORDS && h.ticks[at] >= t) {
        at = before(at);
        s++;
    }
    if (s == 0) {
        if (h.ticks[h.head] < 0) return 0;
        *b = h.head;
        *a = h.ticks[before(h.head)] >= 0 ? before(h.head) : h.head;
    } else if (s == HISTORY_RECORDS) {
        *a = after(h.head);
        *b = after(*a);
    } else if (h.ticks[at] < 0) {
        *a = after(at);
        *b = s == 1 ? *a : after(*a);
    } else {
        *a = at;
        *b = after(at);
    }
    return 1;
}

static uint32_t get(const unsigned char *p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++) v |= (uint32_t)p[i] << (8 * i);
    return v;
}

static void put(unsigned char *p, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) p[i] = (unsigned char)(v >> (8 * i));
}

static double clamp01(double v) {
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

// A fraction 0..1 stored in bytes of m steps, blended from a to b.
static void blend_fraction(unsigned char *out, const unsigned char *a, const unsigned char *b,
                           int bytes, double t) {
    double m = (double)((1ull << (8 * bytes)) - 1);
    double va = get(a, bytes) / m, vb = get(b, bytes) / m;
    put(out, (uint32_t)std::floor(m * clamp01(va + t * (vb - va)) + 0.5), bytes);
}

// Four u16 components of a unit quaternion, blended the short way and normalised.
static void blend_quaternion(unsigned char *out, const unsigned char *a, const unsigned char *b, double t) {
    double qa[4], qb[4], dot = 0;
    for (int i = 0; i < 4; i++) {
        qa[i] = 2.0 * get(a + 2 * i, 2) / 65535.0 - 1;
        qb[i] = 2.0 * get(b + 2 * i, 2) / 65535.0 - 1;
        dot += qa[i] * qb[i];
    }
    double q[4], n = 0;
    for (int i = 0; i < 4; i++) {
        if (dot < 0) qa[i] = -qa[i];
        q[i] = qa[i] + t * (qb[i] - qa[i]);
        n += q[i] * q[i];
    }
    n = std::sqrt(n);
    for (int i = 0; i < 4; i++) {
        double c = n > 0 ? q[i] / n : qa[i];
        c = c < -1 ? -1 : c > 1 ? 1 : c;
        put(out + 2 * i, (uint32_t)std::floor((c + 1) / 2 * 65535 + 0.5), 2);
    }
}

// A wheel's turn as a fraction of a revolution; it turns forward by -1/8 to 7/8 between records.
static unsigned char blend_wheel(unsigned char a_byte, unsigned char b_byte, double t) {
    double a = a_byte / 255.0, b = b_byte / 255.0;
    if (b < a - 0.125)
        a -= 1;
    else if (b > a + 0.875)
        b -= 1;
    double v = a + t * (b - a);
    if (v < 0) v += 1;
    return (unsigned char)std::floor(255 * clamp01(v) + 0.5);
}

void history_interpolate_state(unsigned char out[PACKED_STATE_BYTES], const unsigned char *a,
                               const unsigned char *b, double t, int version) {
    if (t == 0 || version == 4 || !std::isfinite(t)) {
        memcpy(out, a, version == 4 ? PACKED_STATE_V4_BYTES : PACKED_STATE_BYTES);
        if (version == 4) memset(out + PACKED_STATE_V4_BYTES, 0, PACKED_STATE_BYTES - PACKED_STATE_V4_BYTES);
        return;
    }
    for (int i = 0; i < 3; i++) blend_fraction(out + 3 * i, a + 3 * i, b + 3 * i, 3, t);
    t = t > 1 ? 1 : t;
    blend_quaternion(out + 9, a + 9, b + 9, t);
    for (int i = 17; i <= 19; i++) blend_fraction(out + i, a + i, b + i, 1, t);
    for (int i = 0; i < 3; i++) blend_fraction(out + 20 + 2 * i, a + 20 + 2 * i, b + 20 + 2 * i, 2, t);
    blend_quaternion(out + 26, a + 26, b + 26, t);
    out[34] = blend_wheel(a[34], b[34], t);
    out[35] = blend_wheel(a[35], b[35], t);
    out[36] = a[36];
    blend_fraction(out + 37, a + 37, b + 37, 2, t);
    out[18] &= 0xFE;
}

int history_pose_at(int slot, int t, int version, history_pose_record *out) {
    int a, b;
    if (!history_find_pair(slot, t, &a, &b)) return 0;
    const rider_history_record &h = rider_history[slot];
    int ta = h.ticks[a], tb = h.ticks[b];
    out->fraction = 0;
    if (ta == tb || t <= ta) {
        memcpy(out->current, h.states[a], PACKED_STATE_BYTES);
        out->older = out->newer = out->exact = a;
        out->interval = 1;
        return 1;
    }
    out->older = a;
    out->newer = b;
    out->interval = tb - ta;
    if (t == tb) {
        memcpy(out->current, h.states[b], PACKED_STATE_BYTES);
        out->exact = b;
        out->fraction = 1;
        return 1;
    }
    int held = tb + HISTORY_EXTRAPOLATE_TICKS < t ? tb + HISTORY_EXTRAPOLATE_TICKS : t;
    out->fraction = (double)(held - ta) / (double)(tb - ta);
    out->exact = -1;
    history_interpolate_state(out->current, h.states[a], h.states[b], out->fraction, version);
    return 1;
}

void history_pose_riders(int version) {
    int t = race_state.current_tick - race_state.view_delay;
    if (t < 0) t = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (rider_status[slot] != 1 || !rider_has_bike(slot)) continue;
        history_pose_record p;
        if (!history_pose_at(slot, t, version, &p)) continue;
        if (history_pose_spy) history_pose_spy(slot, t, &p);
        const rider_history_record &h = rider_history[slot];
        bike_apply_packed_states(&rider_table[slot], p.current, h.states[p.older], h.states[p.newer],
                                 p.interval, version);
    }
}
