// Writing the field back into the current track's folder: every file goes to a temporary name
// first, and all are renamed into place only when all were written.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "gfx/image.h"
#include "terrain/decal.h"
#include "terrain/terrain.h"

int terrain_save_fail_at = -1;

namespace {
// One file of the save: its name in the folder and how its bytes are written.
struct save_file {
    const char *name;
    std::function<int(const std::string &temporary)> write;
};
}  // namespace

// Writes a temporary file through body: 1, or 0 with the file removed again.
static int save_stream(const std::string &temporary, const std::function<int(file_stream *)> &body) {
    file_stream *s = stream_open(temporary.c_str(), "wb");
    if (!s) return 0;
    int ok = body(s) && stream_flush(s) == 0 && !ferror(s->file);
    if (fclose(s->file) != 0) ok = 0;
    s->file = nullptr;
    stream_close(s);
    if (!ok) path_remove(temporary.c_str());
    return ok;
}

static int save_bytes(file_stream *s, const unsigned char *bytes, size_t count) {
    while (count > 0) {
        int n = count > (1u << 30) ? 1 << 30 : (int)count;
        if (stream_write(s, bytes, n) != n) return 0;
        bytes += n;
        count -= (size_t)n;
    }
    return 1;
}

// The shading as a P6 image, each stored byte doubled (capped at 255) or as stored.
static int save_shading(file_stream *s, const terrain_field *f, int doubled) {
    if (stream_printf(s, "P6\n%d %d\n255\n", f->n, f->n) < 0) return 0;
    size_t bytes = (size_t)f->n * f->n * 3;
    if (!doubled) return save_bytes(s, f->shading, bytes);
    std::vector<unsigned char> out(bytes);
    for (size_t i = 0; i < bytes; i++) out[i] = (unsigned char)(f->shading[i] >= 128 ? 255 : f->shading[i] * 2);
    return save_bytes(s, out.data(), bytes);
}

// The heights as 16-bit samples over the exact range (all 0 when every height is the same).
static std::vector<uint16_t> save_samples(const terrain_field *f) {
    size_t count = (size_t)f->n * f->n;
    std::vector<uint16_t> samples(count, 0);
    double lo = f->min_height, range = (double)f->max_height - lo;
    if (range > 0)
        for (size_t i = 0; i < count; i++) {
            double v = ((double)f->heights[i] - lo) / range * 65535 + 0.5;
            samples[i] = (uint16_t)(v < 0 ? 0 : v > 65535 ? 65535 : (int)v);
        }
    return samples;
}

// Removes the temporaries of files first .. last - 1.
static void save_remove(const std::vector<std::string> &temporaries, size_t first, size_t last) {
    for (size_t i = first; i < last; i++) path_remove(temporaries[i].c_str());
}

int terrain_save(terrain_field *f) {
    if (f->no_save) {
        console_print("Terrain not saved: its heights were not loaded");
        return 0;
    }
    if (!f->heights || !f->folder[0]) {
        console_print("Terrain not saved: no track is loaded");
        return 0;
    }
    size_t count = (size_t)f->n * f->n;
    float lo = f->heights[0], hi = f->heights[0];
    for (size_t i = 1; i < count; i++) {
        if (f->heights[i] < lo) lo = f->heights[i];
        if (f->heights[i] > hi) hi = f->heights[i];
    }
    f->min_height = lo;
    f->max_height = hi;
    terrain_reshade_dirty(f);

    std::string folder = std::string(f->folder) + "/";
    int tiles = (1 << f->k) * (1 << f->k);
    std::vector<save_file> files = {
        {"terrain.png",
         [&](const std::string &t) {
             std::vector<uint16_t> samples = save_samples(f);
             return image_write_png_grey(t.c_str(), samples.data(), f->n, f->n);
         }},
        {"terrain.hf",
         [&](const std::string &t) {
             return save_stream(t, [&](file_stream *s) {
                 return stream_printf(s, "%d %f %f %f\n", f->k, f->spacing, lo, hi) > 0;
             });
         }},
        {"shading.ppm",
         [&](const std::string &t) { return save_stream(t, [&](file_stream *s) { return save_shading(s, f, 1); }); }},
        {"shadingx2.ppm",
         [&](const std::string &t) { return save_stream(t, [&](file_stream *s) { return save_shading(s, f, 0); }); }},
        {"tilemap",
         [&](const std::string &t) {
             return save_stream(t, [&](file_stream *s) { return save_bytes(s, f->tile_map, (size_t)tiles); });
         }},
    };
    if (f->decals.items)
        files.push_back({"decals", [&](const std::string &t) {
                             return save_stream(t, [&](file_stream *s) { return decal_write_list(f, s); });
                         }});

    std::vector<std::string> temporaries;
    for (size_t i = 0; i < files.size(); i++) {
        temporaries.push_back(folder + files[i].name + ".tmp");
        int ok = files[i].write(temporaries[i]);
        if (ok && terrain_save_fail_at == (int)i) ok = 0;
        if (!ok) {
            save_remove(temporaries, 0, i + 1);
            char line[64];
            snprintf(line, sizeof line, "Can't open '%s'", files[i].name);
            console_print(line);
            return 0;
        }
    }
    // In this order, so that a new "terrain.hf" never stands beside an old "terrain.png".
    for (size_t i = 0; i < files.size(); i++)
        if (!path_rename_replace(temporaries[i].c_str(), (folder + files[i].name).c_str())) {
            save_remove(temporaries, i, files.size());
            char line[64];
            snprintf(line, sizeof line, "Can't replace '%s'", files[i].name);
            console_print(line);
            return 0;
        }
    return 1;
}
