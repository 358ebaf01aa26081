// The stock tracks' "map.png": the course seen from above for the HUD's map, drawn from the
// centreline and width in integer arithmetic (top row z = 0, x to the right).
#include <cmath>
#include <vector>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/trackgen.h"

static const datagen_rgba map_course = {196, 160, 110, 230};
static const datagen_rgba map_edge = {40, 30, 20, 255};
static const datagen_rgba map_start = {255, 255, 255, 255};
static const datagen_rgba map_field = {30, 60, 30, 90};

// Sixteenths of a sample a map pixel spans, and the centre of pixel i along one axis.
static long pixel_span(const datagen_track &t) {
    return (long)(t.n - 1) * 16 / DATAGEN_MAP_SIZE;
}
static long pixel_centre(const datagen_track &t, int i) {
    return (long)(2 * i + 1) * (t.n - 1) * 16 / (2 * DATAGEN_MAP_SIZE);
}

// Per pixel the squared distance (sixteenths of a sample) from its centre to the nearest
// centreline point, stamped around each point out to `reach`.
static std::vector<long long> course_distances(const datagen_track &t, long reach) {
    const int size = DATAGEN_MAP_SIZE;
    const long span = pixel_span(t);
    std::vector<long long> d((size_t)size * size, -1);
    for (const datagen_course_point &p : t.course) {
        int i0 = (int)((p.x - reach) / span) - 1, i1 = (int)((p.x + reach) / span) + 1;
        int j0 = (int)((p.z - reach) / span) - 1, j1 = (int)((p.z + reach) / span) + 1;
        for (int j = j0 < 0 ? 0 : j0; j <= j1 && j < size; j++)
            for (int i = i0 < 0 ? 0 : i0; i <= i1 && i < size; i++) {
                long long dx = pixel_centre(t, i) - p.x, dz = pixel_centre(t, j) - p.z;
                long long e = dx * dx + dz * dz;
                long long &slot = d[(size_t)j * size + i];
                if (slot < 0 || e < slot) slot = e;
            }
    }
    return d;
}

datagen_image datagen_track_map_image(const datagen_track &t, long half_width) {
    const int size = DATAGEN_MAP_SIZE;
    const long span = pixel_span(t);
    datagen_image img = datagen_image_new(size, size, 4, map_field);
    std::vector<long long> d = course_distances(t, half_width + 2 * span);
    long long inner = (long long)half_width * half_width;
    long long outer = (long long)(half_width + span) * (half_width + span);
    // The start line across the course: pixels within half a pixel of its line.
    long s = datagen_start_line_index(t), count = (long)t.course.size();
    const datagen_course_point &a = t.course[(size_t)((s + count - 1) % count)];
    const datagen_course_point &b = t.course[(size_t)((s + 1) % count)];
    const datagen_course_point &c = t.course[(size_t)s];
    long long tx = b.x - a.x, tz = b.z - a.z;
    long long tl = datagen_isqrt(tx * tx + tz * tz);
    for (int j = 0; j < size; j++)
        for (int i = 0; i < size; i++) {
            long long e = d[(size_t)j * size + i];
            if (e < 0 || e > outer) continue;
            datagen_rgba colour = e <= inner ? map_course : map_edge;
            long long cx = pixel_centre(t, i) - c.x, cz = pixel_centre(t, j) - c.z;
            if (e <= inner && tl > 0 && cx * cx + cz * cz <= outer) {
                long long along = cx * tx + cz * tz;
                if (2 * std::llabs(along) <= span * tl) colour = map_start;
            }
            unsigned char *px = &img.pixels[((size_t)j * size + i) * 4];
            px[0] = (unsigned char)colour.r;
            px[1] = (unsigned char)colour.g;
            px[2] = (unsigned char)colour.b;
            px[3] = (unsigned char)colour.a;
        }
    return img;
}

std::string datagen_map_check(const datagen_track &t, long half_width, const datagen_image &img) {
    // Every course-coloured pixel lies within the width plus one pixel of the centreline,
    // measured to the centreline's segments.
    const long span = pixel_span(t);
    const double limit = (double)(half_width + span);
    long count = (long)t.course.size();
    for (int j = 0; j < img.height; j++)
        for (int i = 0; i < img.width; i++) {
            const unsigned char *px = &img.pixels[((size_t)j * img.width + i) * 4];
            if (px[0] != map_course.r || px[1] != map_course.g || px[2] != map_course.b || px[3] != map_course.a)
                continue;
            double x = (double)pixel_centre(t, i), z = (double)pixel_centre(t, j), best = 1e300;
            for (long k = 0; k < count; k++) {
                const datagen_course_point &p = t.course[(size_t)k], &q = t.course[(size_t)((k + 1) % count)];
                double dx = (double)(q.x - p.x), dz = (double)(q.z - p.z), l = dx * dx + dz * dz;
                double u = l > 0 ? ((x - p.x) * dx + (z - p.z) * dz) / l : 0;
                u = u < 0 ? 0 : u > 1 ? 1 : u;
                double ex = p.x + u * dx - x, ez = p.z + u * dz - z;
                double e = ex * ex + ez * ez;
                if (e < best) best = e;
            }
            if (std::sqrt(best) > limit)
                return "map pixel (" + std::to_string(i) + ", " + std::to_string(j) + ") off the course";
        }
    return "";
}

std::string datagen_practice_map() {
    return datagen_png(datagen_track_map_image(datagen_practice_track(), datagen_practice_plan().half_width));
}

std::string datagen_hillside_map() {
    return datagen_png(datagen_track_map_image(datagen_hillside_track(), datagen_hillside_plan().half_width));
}

std::string datagen_map_self_check() {
    const datagen_track &p = datagen_practice_track(), &h = datagen_hillside_track();
    long pw = datagen_practice_plan().half_width, hw = datagen_hillside_plan().half_width;
    std::string e = datagen_map_check(p, pw, datagen_track_map_image(p, pw));
    if (!e.empty()) return "practice " + e;
    e = datagen_map_check(h, hw, datagen_track_map_image(h, hw));
    if (!e.empty()) return "hillside " + e;
    return "";
}
