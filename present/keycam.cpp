// Key-frame playback: the keys around the race tick, a cubic Hermite path through positions and
// quaternions with the neighbours' slopes rescaled to the span, and a linear field of view.
#include "present/keycam.h"

#include <algorithm>
#include <cmath>

#include "present/camera.h"
#include "present/scene.h"

std::vector<camera_key> camera_keys;
int keycam_mode = 0;

void camera_keys_insert(const camera_key &key) {
    auto at = std::upper_bound(camera_keys.begin(), camera_keys.end(), key,
                               [](const camera_key &a, const camera_key &b) { return a.tick < b.tick; });
    camera_keys.insert(at, key);
}

static double quat_length(const camera_key &k) {
    return std::sqrt((double)k.qx * k.qx + (double)k.qy * k.qy + (double)k.qz * k.qz +
                     (double)k.qw * k.qw);
}

int camera_key_usable(const camera_key &k) {
    const float values[8] = {k.x, k.y, k.z, k.qx, k.qy, k.qz, k.qw, k.fov};
    for (float v : values)
        if (!std::isfinite(v)) return 0;
    return quat_length(k) >= KEYCAM_MIN_QUAT;
}

// Hermite through p1 (u = 0) and p2 (u = 1) with the slopes of the neighbours p0 and p3
// rescaled to the span (l and r: their spans over this one; no slope where they are not
// positive).
static double hermite(double p0, double p1, double p2, double p3, double l, double r, double u) {
    double v = l > 0 ? ((p2 - p1) + (p1 - p0) / l) / 2 : 0;
    double w = r > 0 ? ((p2 - p1) + (p3 - p2) / r) / 2 : 0;
    return p1 + v * u + (3 * (p2 - p1) - 2 * v - w) * u * u + (2 * (p1 - p2) + v + w) * u * u * u;
}

// The view rotation of a quaternion (any length above the minimum): the quaternion's matrix
// with its first and third rows negated.
static void view_from_quat(float rotation[9], const double q[4]) {
    double l = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    camera_matrix_from_quat(rotation, (float)(q[3] / l), (float)(q[0] / l), (float)(q[1] / l),
                            (float)(q[2] / l));
    for (int c = 0; c < 3; c++) {
        rotation[c] = -rotation[c];
        rotation[6 + c] = -rotation[6 + c];
    }
}

static void quat_of(const camera_key &k, double q[4]) {
    q[0] = k.qx;
    q[1] = k.qy;
    q[2] = k.qz;
    q[3] = k.qw;
}

int keycam_view(int tick, float eye[3], float rotation[9], float *fov) {
    // The playable keys, in their stored order.
    static std::vector<const camera_key *> keys;
    keys.clear();
    for (const camera_key &k : camera_keys)
        if (camera_key_usable(k)) keys.push_back(&k);
    int n = (int)keys.size();
    if (n == 0) return 0;
    // The first key later than the tick. Every key before it is at or before the tick, so the
    // span k1..k2 is never empty, whatever order the keys are in.
    int i = n;
    for (int j = 0; j < n; j++)
        if (keys[j]->tick > tick) {
            i = j;
            break;
        }
    if (i == 0 || i == n) {
        const camera_key &k = *keys[i == 0 ? 0 : n - 1];
        double q[4];
        quat_of(k, q);
        eye[0] = k.x;
        eye[1] = k.y;
        eye[2] = k.z;
        view_from_quat(rotation, q);
        *fov = scene_clamp_fov(k.fov);
        return 1;
    }
    const camera_key &k0 = *keys[std::max(i - 2, 0)], &k1 = *keys[i - 1], &k2 = *keys[i],
                     &k3 = *keys[std::min(i + 1, n - 1)];
    double t0 = k0.tick, t1 = k1.tick, t2 = k2.tick, t3 = k3.tick, span = t2 - t1;
    double u = span > 0 ? std::clamp((tick - t1) / span, 0.0, 1.0) : 0.0;
    double l = span > 0 ? (t1 - t0) / span : 0, r = span > 0 ? (t3 - t2) / span : 0;
    const double p0[3] = {k0.x, k0.y, k0.z}, p1[3] = {k1.x, k1.y, k1.z}, p2[3] = {k2.x, k2.y, k2.z},
                 p3[3] = {k3.x, k3.y, k3.z};
    for (int a = 0; a < 3; a++) {
        // Far-flung keys can overshoot past the float range: the key is the fallback.
        float e = span > 0 ? (float)hermite(p0[a], p1[a], p2[a], p3[a], l, r, u) : (float)p1[a];
        eye[a] = std::isfinite(e) ? e : (float)p1[a];
    }
    // The quaternions on k2's side of the sphere, so the path takes the short way round.
    double q0[4], q1[4], q2[4], q3[4];
    quat_of(k0, q0);
    quat_of(k1, q1);
    quat_of(k2, q2);
    quat_of(k3, q3);
    for (double *q : {q0, q1, q3}) {
        double dot = q[0] * q2[0] + q[1] * q2[1] + q[2] * q2[2] + q[3] * q2[3];
        if (dot < 0)
            for (int a = 0; a < 4; a++) q[a] = -q[a];
    }
    double q[4];
    for (int a = 0; a < 4; a++)
        q[a] = span > 0 ? hermite(q0[a], q1[a], q2[a], q3[a], l, r, u) : q1[a];
    double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(length >= KEYCAM_MIN_QUAT) || !std::isfinite(length))
        for (int a = 0; a < 4; a++) q[a] = q1[a];
    view_from_quat(rotation, q);
    *fov = scene_clamp_fov((float)(k1.fov + (k2.fov - (double)k1.fov) * u));
    return 1;
}
