// Cameras off the bike: the free camera, tracking a rider with limited turn rates and an
// automatic zoom, the ground height under a camera and the view rotations of angles.
#include "present/camera.h"

#include <algorithm>
#include <cmath>

#include "present/scene.h"
#include "terrain/terrain.h"

camera free_camera = {0, 0, 0, 0, 0, 0, 0, CAMERA_FREE_FOV, 0};
int current_camera = -1;
int camera_tracking = 0;

static const float PI_F = 3.14159265358979f;

camera *camera_in_use() {
    if (current_camera >= 0 && current_camera < scene_trackside_cameras.count &&
        scene_trackside_cameras.element_size == sizeof(camera))
        return (camera *)scene_trackside_cameras.items + current_camera;
    return &free_camera;
}

// Into (-pi, pi].
static float wrap_angle(float a) {
    if (!std::isfinite(a)) return 0;
    a = std::fmod(a, 2 * PI_F);
    if (a > PI_F) a -= 2 * PI_F;
    if (a <= -PI_F) a += 2 * PI_F;
    return a;
}

static bool same_sign(float a, float b) {
    return (a > 0 && b > 0) || (a < 0 && b < 0);
}

// The rate moved toward the wanted one by at most pi radians per second each tick.
static float limit_rate(float rate, float wanted) {
    const float step = PI_F * CAMERA_TICK;
    return rate + std::clamp(wanted - rate, -step, step);
}

void camera_track_rider(camera *c, const control_record *controls, vec3 rider_position,
                        vec3 rider_velocity, int snap) {
    if (!c) return;
    const float dt = CAMERA_TICK;
    float wanted_yaw_rate, wanted_pitch_rate, base_yaw = c->yaw, base_pitch = c->pitch;
    if (!camera_tracking) {
        float steer = controls ? controls->axis[CONTROL_STEER] : 0;
        float shift = controls ? controls->axis[CONTROL_SHIFT] : 0;
        if (!std::isfinite(steer) || !std::isfinite(shift)) return;
        wanted_yaw_rate = steer * 1.1780972f;
        wanted_pitch_rate = shift * PI_F / 4;
        snap = 0;
    } else {
        vec3 cam = {c->x, c->y, c->z};
        vec3 d = rider_position - cam;
        vec3 p = rider_position + rider_velocity * dt - cam;
        if (!std::isfinite(d.x + d.y + d.z) || !std::isfinite(p.x + p.y + p.z)) return;
        float A = atan2f(d.x, d.z), P = atan2f(d.y, sqrtf(d.x * d.x + d.z * d.z));
        if (snap) {
            base_yaw = A;
            base_pitch = P;
        }
        float Ly = std::clamp(wrap_angle(atan2f(p.x, p.z) - A) / dt, -2 * PI_F, 2 * PI_F);
        float Ey = std::clamp(wrap_angle(A - base_yaw), -PI_F / 2, PI_F / 2);
        wanted_yaw_rate = Ey + (same_sign(Ly, Ey) ? Ly : 0);
        float Lp = std::clamp((atan2f(p.y, sqrtf(p.x * p.x + p.z * p.z)) - P) / dt, -2 * PI_F,
                              2 * PI_F);
        float Ep = P - base_pitch;
        wanted_pitch_rate = Ep * PI_F / 4 + (same_sign(Lp, Ep) ? Lp : 0);
        if (c->autofovsize > 0) {
            float Z = 2 * atanf(c->autofovsize / sqrtf(vec3_length2(d))) * 180 / PI_F;
            if (snap) {
                c->fov = Z;
            } else {
                float g = c->fov - Z, step = dt * (2 * std::fabs(g) + 1);
                c->fov = g >= 0 ? Z + std::max(g - step, 0.0f) : Z + std::min(g + step, 0.0f);
            }
        }
    }
    if (!snap) {
        c->yaw_rate = limit_rate(c->yaw_rate, wanted_yaw_rate);
        c->pitch_rate = limit_rate(c->pitch_rate, wanted_pitch_rate);
    }
    float yaw = base_yaw + c->yaw_rate * dt;
    if (yaw > PI_F) yaw -= 2 * PI_F;
    else if (yaw <= -PI_F) yaw += 2 * PI_F;
    c->yaw = yaw;
    c->pitch = std::clamp(base_pitch + c->pitch_rate * dt, -PI_F / 2, PI_F / 2);
}

float camera_ground_height(float x, float z, float radius) {
    const terrain_field *f = terrain_current;
    if (!f || !f->heights || f->n <= 0 || !(f->spacing > 0)) return 0;
    if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(radius)) return 0;
    float c = f->spacing, r = std::max(radius, 0.0f);
    // The columns and rows in reach, bounded to one past the grid on each side (points beyond
    // take the edge heights and only add cost).
    auto index = [&](float v) { return (int)std::clamp(v, -1.0f, (float)f->n); };
    int i0 = index(std::floor((x - r) / c)), i1 = index(std::ceil((x + r) / c));
    int j0 = index(std::floor((z - r) / c)), j1 = index(std::ceil((z + r) / c));
    auto height = [&](int i, int j) {
        i = std::clamp(i, 0, f->n - 1);
        j = std::clamp(j, 0, f->n - 1);
        return f->heights[(size_t)j * f->n + i];
    };
    double sum = 0, weights = 0;
    for (int j = j0; j <= j1; j++)
        for (int i = i0; i <= i1; i++) {
            float dx = i * c - x, dz = j * c - z, s = dx * dx + dz * dz;
            float w = s < r * r ? 1.0f : s < (r + c) * (r + c) ? ((r + c) - sqrtf(s)) / c : 0.0f;
            if (w <= 0) continue;
            sum += (double)w * height(i, j);
            weights += w;
        }
    if (!(weights > 0)) return height(i0, j0);
    return (float)(sum / weights);
}

void camera_matrix_from_angles(float m[9], float pitch, float yaw) {
    float cy = cosf(yaw), sy = sinf(yaw), cp = cosf(pitch), sp = sinf(pitch);
    const float rows[9] = {-cy, -sp * sy, -sy * cp, 0, cp, -sp, sy, -sp * cy, -cp * cy};
    for (int i = 0; i < 9; i++) m[i] = rows[i];
}

void camera_matrix_from_quat(float m[9], float w, float x, float y, float z) {
    const float rows[9] = {1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * w * z, 2 * x * z + 2 * w * y,
                           2 * x * y + 2 * w * z, 1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * w * x,
                           2 * x * z - 2 * w * y, 2 * y * z + 2 * w * x, 1 - 2 * x * x - 2 * y * y};
    for (int i = 0; i < 9; i++) m[i] = rows[i];
}
