// The stock decals: each track's "decals" file (start line, arrows, worn dirt) and the decal
// pictures with their normal and specular companions, all from integer arithmetic and fixed
// seeds.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/trackgen.h"

// ---- The decal files -----------------------------------------------------------------------

namespace {
struct decal_line {
    float x, z, angle, size, aspect;
    const char *name;
};
}  // namespace

static datagen_course_point decal_course(const datagen_track &t, long i) {
    long count = (long)t.course.size();
    return t.course[(size_t)(((i % count) + count) % count)];
}

// A decal on course point i, its own z axis along the direction of travel.
static decal_line decal_on_course(const datagen_track &t, long i, float size, float aspect, const char *name) {
    datagen_course_point p = decal_course(t, i), a = decal_course(t, i - 3), b = decal_course(t, i + 3);
    double angle = std::atan2((double)(b.x - a.x), (double)(b.z - a.z));
    decal_line d;
    d.x = (float)p.x / 16.0f * (float)t.spacing;
    d.z = (float)p.z / 16.0f * (float)t.spacing;
    d.angle = (float)std::round(angle * 4096) / 4096.0f;   // a step of 1/4096 rad hides libm's last bit
    d.size = size;
    d.aspect = aspect;
    d.name = name;
    return d;
}

long datagen_course_apex(const datagen_track &t, datagen_course_point corner) {
    long best = 0;
    long long best_d = -1;
    for (long i = 0; i < (long)t.course.size(); i++) {
        long long dx = t.course[(size_t)i].x - corner.x * 16, dz = t.course[(size_t)i].z - corner.z * 16;
        if (best_d < 0 || dx * dx + dz * dz < best_d) best_d = dx * dx + dz * dz, best = i;
    }
    return best;
}

static uint32_t decal_next(uint32_t *state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

std::string datagen_track_decals(const datagen_track &t, const datagen_track_plan &plan,
                                 const std::vector<int> &arrow_corners, const std::vector<int> &berm_corners,
                                 long arrow_back) {
    std::vector<decal_line> list;
    // The start line spans the course: 16 times as wide as it is long.
    float width = (float)(plan.half_width * 2 + 16 * 2) / 16.0f * (float)t.spacing;
    list.push_back(decal_on_course(t, datagen_start_line_index(t), width / 16, 16, "@decals/startline.png"));
    for (int c : arrow_corners)
        list.push_back(decal_on_course(t, datagen_course_apex(t, plan.corners[(size_t)c]) - arrow_back, 6, 1, "@decals/arrow.png"));
    uint32_t rng = 7001u + (uint32_t)t.k;
    auto worn = [&](long i) {
        decal_line d = decal_on_course(t, i, 8 + (float)(decal_next(&rng) % 9), 1, "@decals/worn.png");
        d.angle = (float)(decal_next(&rng) % 6283) / 1000.0f;
        list.push_back(d);
    };
    // The take-off and landing of every jump (features that rise above 3 ft).
    for (const datagen_feature &f : plan.features) {
        long top = 0;
        for (auto &k : f.knots) top = std::max(top, k.second);
        if (top < 48 || f.knots.size() > 8) continue;
        long start = t.straight_start[(size_t)f.segment] + f.offset;
        worn(start + 2);
        worn(start + f.knots.back().first / 16 + 3);
    }
    for (int c : berm_corners) worn(datagen_course_apex(t, plan.corners[(size_t)c]));
    std::string out;
    for (const decal_line &d : list) {
        char line[256];
        snprintf(line, sizeof line, "[%f %f] %f %f %f %s\n", (double)d.x, (double)d.z, (double)d.angle,
                 (double)d.size, (double)d.aspect, d.name);
        out += line;
    }
    return out;
}

// ---- The pictures --------------------------------------------------------------------------

static void decal_set(datagen_image &img, int x, int y, int r, int g, int b, int a) {
    unsigned char *p = &img.pixels[((size_t)y * img.width + x) * 4];
    p[0] = (unsigned char)r, p[1] = (unsigned char)g, p[2] = (unsigned char)b, p[3] = (unsigned char)a;
}

// Alpha of the start line: full, falling off over the last 3 pixels of each edge, worn a little.
static int startline_alpha(int x, int y) {
    int edge = std::min(std::min(x, 511 - x), std::min(y, 31 - y));
    int a = edge >= 3 ? 255 : 64 + edge * 64;
    long wear = datagen_value_noise(8101, x, y, 4);
    if (wear > 200) a = a * (255 - (int)(wear - 200) * 3) / 255;
    return std::clamp(a, 0, 255);
}

static int startline_dark(int x, int y) {
    // The checkered middle band: rows 10..21 in squares of 6 pixels.
    return y >= 10 && y < 22 && ((x / 6) + ((y - 10) / 6)) % 2 == 1;
}

std::string datagen_decal_startline_png() {
    datagen_image img = datagen_image_new(512, 32, 4, {0, 0, 0, 0});
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 512; x++) {
            int v = startline_dark(x, y) ? 36 : 236 + (int)(datagen_value_noise(8102, x, y, 8) % 16);
            decal_set(img, x, y, v, v, v, startline_alpha(x, y));
        }
    return datagen_png(img);
}

// The chevron pointing along the decal's own z axis (down the picture), worn at its edges.
static int arrow_alpha(int x, int y) {
    // Distance outside the chevron's band, in pixels: the band is |x - 64| * 3 / 4 from row 24
    // to 104, 28 pixels thick.
    long cx = std::labs(x - 64);
    if (cx > 52) return 0;
    long front = 100 - cx * 7 / 8, back = front - 30;
    if (y > front || y < back) {
        long d = y > front ? y - front : back - y;
        return d >= 2 ? 0 : (int)(128 - d * 60);
    }
    int a = 255;
    long wear = datagen_value_noise(8201, x, y, 6);
    if (wear > 180) a -= (int)(wear - 180) * 2;
    return std::clamp(a, 0, 255);
}

std::string datagen_decal_arrow_png() {
    datagen_image img = datagen_image_new(128, 128, 4, {0, 0, 0, 0});
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 128; x++) decal_set(img, x, y, 240, 240, 236, arrow_alpha(x, y));
    return datagen_png(img);
}

// A soft noisy disc of packed dirt, never more than 160 opaque.
static int worn_alpha(int x, int y) {
    long dx = x - 64, dy = y - 64, r2 = dx * dx + dy * dy;
    if (r2 >= 62 * 62) return 0;
    long fall = 160 - r2 * 160 / (62 * 62);
    long noise = datagen_value_noise(8301, x, y, 8);
    return (int)std::clamp<long>(fall * (128 + noise) / 383 * 2, 0, 160);
}

std::string datagen_decal_worn_png() {
    datagen_image img = datagen_image_new(128, 128, 4, {0, 0, 0, 0});
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 128; x++) {
            int v = (int)datagen_value_noise(8302, x, y, 4) / 16;
            decal_set(img, x, y, 70 + v, 50 + v, 32 + v / 2, worn_alpha(x, y));
        }
    return datagen_png(img);
}

// Flat paint: x 0, z 0 and y up, which the normal program reads from (r, b, g) as (x, y, z).
static std::string decal_flat_normals(int w, int h, int (*alpha)(int, int)) {
    datagen_image img = datagen_image_new(w, h, 4, {0, 0, 0, 0});
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) decal_set(img, x, y, 128, 128, 255, alpha(x, y));
    return datagen_png(img);
}

std::string datagen_decal_startline_tnorm_png() {
    return decal_flat_normals(512, 32, startline_alpha);
}

std::string datagen_decal_arrow_tnorm_png() {
    return decal_flat_normals(128, 128, arrow_alpha);
}

// Small bumps of tyre-packed dirt: the slope of a height noise.
std::string datagen_decal_worn_tnorm_png() {
    datagen_image img = datagen_image_new(128, 128, 4, {0, 0, 0, 0});
    auto h = [](int x, int y) { return datagen_value_noise(8303, x, y, 6); };
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 128; x++) {
            long sx = (h(x + 1, y) - h(x - 1, y)) / 4, sz = (h(x, y + 1) - h(x, y - 1)) / 4;
            long len = datagen_isqrt(sx * sx + sz * sz + 64 * 64);
            int r = (int)(128 - sx * 127 / len), g = (int)(128 - sz * 127 / len), b = (int)(128 + 64 * 127 / len);
            decal_set(img, x, y, r, g, b, worn_alpha(x, y));
        }
    return datagen_png(img);
}

// Paint shines a little: strength about 0.3, exponent 32.
static std::string decal_paint_specular(int w, int h, int (*alpha)(int, int)) {
    datagen_image img = datagen_image_new(w, h, 4, {0, 0, 0, 0});
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) decal_set(img, x, y, 77, 64, 255, alpha(x, y));
    return datagen_png(img);
}

std::string datagen_decal_startline_tspec_png() {
    return decal_paint_specular(512, 32, startline_alpha);
}

std::string datagen_decal_arrow_tspec_png() {
    return decal_paint_specular(128, 128, arrow_alpha);
}
