// The bike table's look-ups, the row check and the setup menu's read-outs of a row.
#include "bike/bike_info.h"

#include <cmath>
#include <cstring>
#include <string>

#include "core/util.h"

float bike_v(const bike_info *row, int n) {
    if (!row) return 0.0f;
    if (n >= 0 && n < 189) return row->a[n];
    if (n >= 557 && n < 615) return row->b[n - 557];
    return 0.0f;
}

const char *bike_file(const bike_info *row, int i) {
    if (!row || i < 0 || i >= BIKE_INFO_FILES) return "";
    return row->files[i];
}

const bike_info *bike_info_find(const char *name) {
    if (!name) return nullptr;
    for (const bike_info &row : bike_info_table)
        if (strcmp(row.name, name) == 0) return &row;
    return nullptr;
}

int bike_info_index(const bike_info *row) {
    if (row < bike_info_table || row >= bike_info_table + BIKE_INFO_ROWS) return -1;
    return (int)(row - bike_info_table);
}

// Torque of a table at rpm r by linear interpolation between its 500 rpm entries.
static float torque_at(const bike_info *row, int first, float r) {
    float x = r / 500.0f;
    if (x <= 0) return bike_v(row, first);
    int i = (int)x;
    if (i >= BIKE_TORQUE_ENTRIES - 1) return bike_v(row, first + BIKE_TORQUE_ENTRIES - 1);
    float t = x - (float)i;
    return bike_v(row, first + i) * (1 - t) + bike_v(row, first + i + 1) * t;
}

static bool file_fits_pattern(const char *file, const char *base, const char *tail) {
    size_t n = strlen(base), m = strlen(tail), len = strlen(file);
    if (len != 1 + n + m || file[0] != '@') return false;
    return strncmp(file + 1, base, n) == 0 && strcmp(file + 1 + n, tail) == 0;
}

const char *bike_info_check(const bike_info *row) {
    auto V = [row](int n) { return bike_v(row, n); };
    for (int n = 0; n < 189; n++)
        if (!std::isfinite(V(n))) return "a value is not finite";
    for (int n : {5, 7, 13, 15, 19, 37, 49, 188, 48, 60, 74})
        if (!(V(n) > 0)) return "a mass, the fork or swingarm travel or the inertia is not positive";
    if (!(V(61) > 0 && V(61) < 1)) return "V61 is outside 0..1";
    if (!(V(42) > 0 && V(43) > 0)) return "an oil level is not positive";
    for (int n : {44, 45, 46, 47, 54, 55, 56, 57})
        if (!(V(n) > 0)) return "a damping value is not positive";
    float travel = std::sqrt(V(180) * V(180) + V(181) * V(181) + V(182) * V(182));
    if (!(travel > 0)) return "the rider travel direction is zero";
    float ax = V(23) - V(32), ay = V(24) - V(33), az = V(25) - V(34);
    if (!(std::sqrt(ax * ax + ay * ay + az * az) > 0.1f)) return "the steering axis is too short";
    if (!(V(68) > 0)) return "first gear has no ratio";
    int gears = 1;
    for (int g = 1; g < 6; g++) {
        float r = V(68 + g);
        if (r <= 0) {
            for (int k = g + 1; k < 6; k++)
                if (V(68 + k) > 0) return "a gear with a ratio follows a missing gear";
            break;
        }
        if (!(r < V(68 + g - 1))) return "the gear ratios do not fall";
        gears++;
    }
    for (int n : {66, 67})
        if (!(V(n) >= 10 && V(n) == std::floor(V(n)))) return "a sprocket is not whole or too small";
    if (!(V(177) < V(178) && V(178) < V(179))) return "the shift rpms are out of order";
    if (!(torque_at(row, BIKE_V_OPEN_TORQUE, V(179) + 500) > 0))
        return "the engine has no torque above the top rpm mark";
    for (int g = 0; g + 1 < gears; g++)
        if (!(V(178) * V(68 + g + 1) / V(68 + g) > V(177))) return "an upshift lands below the downshift rpm";
    if (!(V(BIKE_V_CLOSED_TORQUE) > 0)) return "the closed throttle torque at 0 rpm is not positive";
    for (int i = 0; i < BIKE_TORQUE_ENTRIES; i++) {
        float open = V(BIKE_V_OPEN_TORQUE + i);
        if (open <= 0) break;
        if (!(open >= V(BIKE_V_CLOSED_TORQUE + i))) return "the closed torque exceeds the open";
    }
    float top = V(68 + gears - 1);
    float n_top = V(65) * top * V(67) / V(66);
    if (!(std::sqrt(V(75) / (n_top * n_top * V(74))) / 128.0f <= 1.2f))
        return "the drive spring is too stiff for the tick";
    for (int i = 0; i < BIKE_INFO_FILES; i++)
        if (!memchr(row->files[i], 0, 64) || strlen(row->files[i]) > 63 || !row->files[i][0])
            return "a file name is empty or too long";
    static const int OWN[] = {0, 2, 3, 5, 7, 20, 21};
    static const char *const TAILS[] = {"_frame.jm", ".png", "_fork_upper.jm", "_fork_lower.jm",
                                        "_swingarm.jm", "_side_plates.jm", "_front_plate.jm"};
    const char *frame = bike_file(row, 0);
    size_t len = strlen(frame);
    if (len < 10 || frame[0] != '@') return "the frame model's name has the wrong pattern";
    std::string base(frame + 1, len - 1 - 9);
    for (int k = 0; k < 7; k++)
        if (!file_fits_pattern(bike_file(row, OWN[k]), base.c_str(), TAILS[k]))
            return "a part's file name has the wrong pattern";
    return nullptr;
}

// A read-out between the row's values n and n + 1 at the setting t (clamped to 0..1), times the
// unit's scale.
static float row_between(const bike_info *row, int n, float t, float scale) {
    t = util_clamp(t, 0, 1);
    return (bike_v(row, n) + t * (bike_v(row, n + 1) - bike_v(row, n))) * scale;
}

float bike_info_fork_spring_rate(const bike_info *row, float t) {
    return row_between(row, 38, t, 0.0007440819724087572f);
}

float bike_info_fork_preload(const bike_info *row, float t) {
    return row_between(row, 40, t, 304.8f);
}

float bike_info_fork_oil_level(const bike_info *row, float t) {
    return row_between(row, 42, t, 304.8f);
}

float bike_info_shock_spring_rate(const bike_info *row, float t) {
    return row_between(row, 50, t, 0.0014881639448175144f);
}

float bike_info_shock_preload(const bike_info *row, float t) {
    return row_between(row, 52, t, 304.8f);
}

float bike_info_front_sprocket(const bike_info *row) {
    return bike_v(row, 66);
}

float bike_info_rear_sprocket(const bike_info *row) {
    return bike_v(row, 67);
}
