// Engine sound tables: the built-in wave tables and descriptions, the SOUNDTABLE reader and the
// cache of sample files it reads.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/mem.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "present/engine_sound.h"

namespace {

struct cached_sample {
    std::string name;
    float *samples;
    int32_t count;
};

struct builtin_set {
    bool made;
    float four_full[1024], four_quarter[1024], two_full[1024], two_quarter[1024];
    sound_cell four_cells[2], two_cells[2];
    sound_table four_table, two_table;
    engine_sound_params four_stroke, two_stroke, class_50;
};

}  // namespace

static std::vector<cached_sample> sample_cache;
static sound_table *table_list = nullptr;
static builtin_set builtin;

static void make_description(engine_sound_params *p, const sound_table *t, float fire_factor,
                             float low, float high, float length, float spread, float gain) {
    *p = {};
    p->table = t;
    p->fire_factor = fire_factor;
    p->low_torque = low;
    p->high_torque = high;
    p->min_rpm = 1000;
    p->bias[0] = 0;
    p->bias_count = 1;
    p->scale[0] = 1;
    p->scale_count = 1;
    engine_sound_set_pipe(p, length, spread, gain, 0, 15);
}

static void make_table(sound_table *t, sound_cell *cells, const char *name, const float *quarter,
                       const float *full) {
    cells[0] = {quarter, 1024, 1, nullptr, 0, 0.0f, 0.0f};
    cells[1] = {full, 1024, 1, nullptr, 0, 0.0f, 1.0f};
    *t = {nullptr, name, cells, 1, 2};
}

static void make_builtins() {
    if (builtin.made) return;
    builtin.made = true;
    const double pi = 3.14159265358979323846;
    for (int k = 0; k < 1024; k++) {
        double x = (double)(float)(k / 1023.0);
        double four = 0.5 * (std::fabs(std::sin(3 * pi * x + 0.5246)) - 0.5);
        double two = 0;
        if (x < 0.25) {
            four += (1 - 4 * x) * std::sin(16 * pi * x);
            two = (1 - 4 * x) * std::sin(8 * pi * x);
        }
        builtin.four_full[k] = (float)four;
        builtin.four_quarter[k] = (float)four * 0.25f;
        builtin.two_full[k] = (float)two;
        builtin.two_quarter[k] = (float)two * 0.25f;
    }
    make_table(&builtin.four_table, builtin.four_cells, "default_four_stroke",
               builtin.four_quarter, builtin.four_full);
    make_table(&builtin.two_table, builtin.two_cells, "default_two_stroke", builtin.two_quarter,
               builtin.two_full);
    make_description(&builtin.four_stroke, &builtin.four_table, 0.5f, -2.5f, 2.5f, 5.0f, 0.918f,
                     -0.85f);
    make_description(&builtin.two_stroke, &builtin.two_table, 1.0f, -3.5f, 3.5f, 1.75f, 0.3f,
                     -0.75f);
    make_description(&builtin.class_50, &builtin.two_table, 1.0f, -3.5f, 1.5f, 1.75f, 0.3f,
                     -0.75f);
}

const sound_table *engine_sound_builtin_table(int two_stroke) {
    make_builtins();
    return two_stroke ? &builtin.two_table : &builtin.four_table;
}

const engine_sound_params *engine_sound_builtin(const char *engine_class) {
    make_builtins();
    if (!engine_class) return &builtin.four_stroke;
    size_t n = strlen(engine_class);
    if (n > 0 && engine_class[n - 1] == 'f') return &builtin.four_stroke;
    if (strcmp(engine_class, "50") == 0) return &builtin.class_50;
    return &builtin.two_stroke;
}

// A sample file as floats (value / 32768): at most SOUND_SAMPLE_MAX samples, read in blocks
// that grow geometrically. Null for a missing, empty or oversized file or without memory.
static const float *read_samples(const char *name, int32_t *count) {
    for (const cached_sample &c : sample_cache)
        if (c.name == name) {
            *count = c.count;
            return c.samples;
        }
    file_stream *s = stream_open(name, "rb");
    if (!s) return nullptr;
    int32_t capacity = 1024, n = 0;
    float *samples = (float *)mem_alloc(sizeof(float) * (size_t)capacity);
    unsigned char block[4096];
    bool failed = samples == nullptr, too_large = false;
    int carry = -1;
    while (!failed) {
        int got = stream_read(s, block, (int)sizeof block);
        if (got <= 0) break;
        for (int i = 0; i < got && !failed; i++) {
            if (carry < 0) {
                carry = block[i];
                continue;
            }
            if (n == SOUND_SAMPLE_MAX) {
                too_large = failed = true;
                break;
            }
            if (n == capacity) {
                int32_t bigger = capacity * 2 > SOUND_SAMPLE_MAX ? SOUND_SAMPLE_MAX : capacity * 2;
                float *grown = (float *)mem_realloc(samples, sizeof(float) * (size_t)bigger);
                if (!grown) {
                    failed = true;
                    break;
                }
                samples = grown;
                capacity = bigger;
            }
            samples[n++] = (float)(int16_t)(uint16_t)(carry | (block[i] << 8)) / 32768.0f;
            carry = -1;
        }
    }
    stream_close(s);
    (void)too_large;
    if (failed || n == 0) {
        mem_free(samples);
        return nullptr;
    }
    float *trimmed = (float *)mem_realloc(samples, sizeof(float) * (size_t)n);
    if (trimmed) samples = trimmed;
    sample_cache.push_back({name, samples, n});
    *count = n;
    return samples;
}

static void free_cells(sound_cell *cells, int count) {
    for (int i = 0; i < count; i++) mem_free(cells[i].remap);
}

// Reads one axis of count finite, strictly ascending values into the cells.
static bool read_axis(file_stream *s, sound_table *t, bool rows) {
    int count = rows ? t->rows : t->cols;
    float previous = 0;
    for (int i = 0; i < count; i++) {
        float v;
        if (stream_scanf(s, "%f", &v) != 1 || !std::isfinite(v)) return false;
        if (i > 0 && !(v > previous)) return false;
        previous = v;
        if (rows)
            for (int c = 0; c < t->cols; c++) t->cells[i * t->cols + c].rpm = v;
        else
            for (int r = 0; r < t->rows; r++) t->cells[r * t->cols + i].load = v;
    }
    return true;
}

// One cell: its remap entries up to -1, its pulse count and its sample file.
static bool read_cell(file_stream *s, sound_cell *cell, int row, int col) {
    std::vector<int32_t> remap;
    char text[128];
    for (;;) {
        int v;
        if (stream_scanf(s, "%d", &v) != 1 || (int)remap.size() >= SOUND_REMAP_MAX) {
            snprintf(text, sizeof text, "(%d, %d) Bad remap entry", row, col);
            console_print(text);
            return false;
        }
        if (v == -1) break;
        remap.push_back(v);
    }
    float pulses;
    char name[1024];
    char message[1100];
    name[0] = 0;
    bool ok = stream_scanf(s, "%f %1023s", &pulses, name) == 2 && std::isfinite(pulses);
    int32_t count = 0;
    const float *wave = ok ? read_samples(name, &count) : nullptr;
    ok = wave != nullptr && pulses >= 1 && pulses <= (float)count;
    if (!ok) {
        snprintf(message, sizeof message, "(%d, %d) Error reading '%.512s'", row, col, name);
        console_print(message);
        return false;
    }
    cell->wave = wave;
    cell->length = count;
    cell->pulses = (int32_t)pulses;
    if (!remap.empty()) {
        cell->remap = (int32_t *)mem_alloc(sizeof(int32_t) * remap.size());
        if (!cell->remap) return false;
        for (size_t i = 0; i < remap.size(); i++)
            cell->remap[i] = (int32_t)((uint32_t)remap[i] % (uint32_t)cell->pulses);
        cell->remap_count = (int32_t)remap.size();
    }
    return true;
}

static sound_table *read_table(file_stream *s, const char *name) {
    int rows = 0, cols = 0;
    if (stream_scanf(s, "SOUNDTABLE %d %d", &rows, &cols) != 2) return nullptr;
    if (rows < 1 || rows > SOUND_TABLE_AXIS_MAX || cols < 1 || cols > SOUND_TABLE_AXIS_MAX)
        return nullptr;
    size_t cells = (size_t)rows * (size_t)cols;
    size_t name_size = strlen(name) + 1;
    char *block = (char *)mem_alloc_or_die(sizeof(sound_table) + sizeof(sound_cell) * cells +
                                           name_size);
    sound_table *t = (sound_table *)block;
    t->next = nullptr;
    t->cells = (sound_cell *)(block + sizeof(sound_table));
    char *own_name = block + sizeof(sound_table) + sizeof(sound_cell) * cells;
    memcpy(own_name, name, name_size);
    t->name = own_name;
    t->rows = rows;
    t->cols = cols;
    for (size_t i = 0; i < cells; i++) t->cells[i] = {nullptr, 0, 1, nullptr, 0, 0, 0};
    bool ok = read_axis(s, t, true) && read_axis(s, t, false);
    for (int r = 0; ok && r < rows; r++)
        for (int c = 0; ok && c < cols; c++) ok = read_cell(s, &t->cells[r * cols + c], r, c);
    if (!ok) {
        free_cells(t->cells, (int)cells);
        mem_free(block);
        return nullptr;
    }
    return t;
}

const sound_table *sound_table_load(const char *name) {
    for (sound_table *t = table_list; t; t = t->next)
        if (strcmp(t->name, name) == 0) return t;
    file_stream *s = stream_open(name, "rb");
    sound_table *t = s ? read_table(s, name) : nullptr;
    if (s) stream_close(s);
    if (!t) {
        char text[600];
        snprintf(text, sizeof text, "Error reading '%.512s'", name);
        console_print(text);
        return nullptr;
    }
    t->next = table_list;
    table_list = t;
    return t;
}

void engine_sound_free_tables() {
    while (table_list) {
        sound_table *t = table_list;
        table_list = t->next;
        free_cells(t->cells, t->rows * t->cols);
        mem_free(t);
    }
    for (cached_sample &c : sample_cache) mem_free(c.samples);
    sample_cache.clear();
    sample_cache.shrink_to_fit();
}
