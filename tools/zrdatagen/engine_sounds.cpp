// The stock engine sounds: for each engine class a description (".braap"), a sound table and
// its cells, each six firing pulses synthesised from a thump, a header ring, an exhaust boom and
// combustion noise, quantised to 16 bits.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/solids.h"

namespace {

struct engine_class_data {
    const char *name;
    bool four_stroke;
    double idle, peak;      // idle rpm and peak torque
    int first_row, row_step, row_count;
    const int *rows;        // explicit rows, or null for first + k x step
};

const int ROWS_450F[] = {1200, 2500, 4000, 5500, 7000, 8500, 10000, 11500};

const engine_class_data CLASSES[DATAGEN_ENGINE_CLASSES] = {
    {"250f", true, 1800, 19.35, 1500, 1500, 9, nullptr},
    {"450f", true, 1600, 35.0, 0, 0, 8, ROWS_450F},
    {"125", false, 1500, 15.5, 1500, 2000, 7, nullptr},
    {"250", false, 1500, 29.0, 1500, 1500, 7, nullptr},
    {"50", false, 2000, 4.5, 2000, 2000, 7, nullptr},
};

// A fixed-seed generator: 32-bit xorshift.
struct noise {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // -1..1
    double uniform() { return (double)(next() >> 8) / 8388608.0 - 1.0; }
};

}  // namespace

// e^x by halving and a series, then squaring: basic arithmetic only.
static double gen_exp(double x) {
    if (x < -60) return 0;
    int halvings = 0;
    while (x > 0.25 || x < -0.25) {
        x *= 0.5;
        halvings++;
    }
    double term = 1, sum = 1;
    for (int n = 1; n < 14; n++) {
        term = term * x / n;
        sum += term;
    }
    for (int i = 0; i < halvings; i++) sum *= sum;
    return sum;
}

int datagen_engine_row_rpm(int klass, int row) {
    const engine_class_data &c = CLASSES[klass];
    return c.rows ? c.rows[row] : c.first_row + row * c.row_step;
}

int datagen_engine_row_count(int klass) {
    return CLASSES[klass].row_count;
}

const char *datagen_engine_class_name(int klass) {
    return CLASSES[klass].name;
}

std::string datagen_engine_cell(int klass, int row, int load) {
    const engine_class_data &c = CLASSES[klass];
    int rpm = datagen_engine_row_rpm(klass, row);
    double factor = c.four_stroke ? 0.5 : 1.0;
    int N = (int)std::floor(44100.0 * 60.0 / (rpm * factor) + 0.5);
    noise rng{(uint32_t)(0x9E3779B9u ^ (uint32_t)(klass * 7919 + row * 131 + load * 17 + 1))};
    double A = load ? 0.45 : 0.15;
    double thump_time = c.four_stroke ? 0.0012 : 0.0006;
    double ring_amp = c.four_stroke ? 0.35 : 0.6, ring_hz = c.four_stroke ? 480 : 1400;
    double ring_time = c.four_stroke ? 0.004 : 0.006;
    double boom_amp = c.four_stroke ? 0.5 : 0.3, boom_hz = c.four_stroke ? 95 : 160;
    double boom_time = c.four_stroke ? 0.012 : 0.005;
    double rough = c.four_stroke ? (load ? 0.15 : 0.3) : 0.25;
    // One-pole low-pass at 2 kHz.
    double alpha = 1 - gen_exp(-2 * SOLID_PI * 2000.0 / 44100.0);
    double fade = 0.002 * 44100.0;
    std::string out;
    for (int p = 0; p < 6; p++) {
        double g = rng.uniform();
        int delay = (int)(rng.next() % 14u);
        bool crackle = !load && rng.next() % 6u == 0;
        double gain = 1 + 0.08 * g;
        double ring_k = crackle ? 2 : 1;
        double filtered = 0;
        std::vector<double> pulse((size_t)N);
        double total = 0;
        for (int i = 0; i < N; i++) {
            double s = 0;
            filtered += alpha * (rng.uniform() - filtered);
            int k = i - delay;
            if (k >= 0) {
                double t = k / 44100.0;
                double u = t / thump_time;
                s += A * u * gen_exp(1 - u);
                s += ring_k * ring_amp * A * gen_exp(-t / ring_time) *
                     solid_sin(2 * SOLID_PI * ring_hz * t);
                s += boom_amp * A * gen_exp(-t / boom_time) * solid_sin(2 * SOLID_PI * boom_hz * t);
                s += rough * A * filtered * 3 * gen_exp(-t / 0.003);
                if (crackle) s += 0.5 * A * filtered * 3 * gen_exp(-t / 0.006);
                if (c.four_stroke && k >= N / 2 && k < N / 2 + 9) s += 0.05 * A;
                s *= gain;
            }
            pulse[(size_t)i] = s;
            total += s;
        }
        // No offset: the pulse swings about zero.
        double mean = total / N;
        for (int i = 0; i < N; i++) {
            double s = pulse[(size_t)i] - mean;
            double left = N - 1 - i;
            if (left < fade) s *= left / fade;
            if (s > 0.5) s = 0.5;
            if (s < -0.5) s = -0.5;
            long v = (long)std::floor(32767 * s + 0.5);
            datagen_put_le16(&out, (unsigned)(v & 0xffff));
        }
    }
    return out;
}

std::string datagen_engine_table(int klass) {
    const engine_class_data &c = CLASSES[klass];
    std::string t = "SOUNDTABLE " + std::to_string(c.row_count) + " 2\n";
    for (int r = 0; r < c.row_count; r++)
        t += std::to_string(datagen_engine_row_rpm(klass, r)) + (r + 1 < c.row_count ? " " : "\n");
    t += "0 1\n";
    for (int r = 0; r < c.row_count; r++)
        for (int l = 0; l < 2; l++)
            t += std::string("0 3 1 5 2 4 -1 6 @sounds/") + c.name + "/r" +
                 std::to_string(datagen_engine_row_rpm(klass, r)) + "l" + std::to_string(l) +
                 ".raw\n";
    return t;
}

std::string datagen_engine_braap(int klass, double pipe_length) {
    const engine_class_data &c = CLASSES[klass];
    noise rng{(uint32_t)(0x2545F491u + (uint32_t)klass * 977u)};
    std::string t = "# Stock engine sound: class " + std::string(c.name) + "\n";
    t += std::string("soundtable @sounds/") + c.name + ".tab\n";
    if (c.four_stroke)
        t += "pipe " + datagen_decimal(pipe_length) + " 0.918 -0.85 0 15\n";
    else
        t += "pipe " + datagen_decimal(pipe_length) + " 0.3 -0.75 0 15\n";
    t += "minrpm " + datagen_decimal(c.idle - 300) + "\n";
    t += "lowtorque " + datagen_decimal(-0.1 * c.peak) + "\n";
    t += "hightorque " + datagen_decimal(0.6 * c.peak) + "\n";
    t += "bias";
    for (int i = 0; i < 10; i++) t += " " + datagen_decimal(std::floor(rng.uniform() * 40 + 0.5));
    t += "\nscale";
    for (int i = 0; i < 5; i++)
        t += " " + datagen_decimal(1 + std::floor(rng.uniform() * 50 + 0.5) / 10000.0);
    t += "\n";
    return t;
}

std::string datagen_engine_braap_default(int klass) {
    return datagen_engine_braap(klass, CLASSES[klass].four_stroke ? 5.0 : 1.75);
}
