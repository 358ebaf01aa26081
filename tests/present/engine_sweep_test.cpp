// The firing rate followed through a ride synthesised from the stock 250f: idle, the throttle
// opened through three upshifts, a spell at the limiter off load and the throttle shut, with
// wind or roost mixed in. Known engine speeds are compared window by window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/folders.h"
#include "core/vfs.h"
#include "present/engine_sound.h"
#include "tests/present/engine_test_support.h"
#include "tests/support/test_support.h"
#include "tools/engine-sound/sound_measure.h"

namespace {

constexpr int PASSES_PER_SECOND = 60, PASS_SAMPLES = 735;

struct ride_point {
    double seconds, rpm, load;   // reached linearly from the point before
    bool jump;                   // a gear change: the speed drops at once
};

// Idle, then first to fourth gear at full throttle, the limiter shut off, a coast down.
const ride_point RIDE[] = {
    {0, 1800, 0.14, false},  {2.0, 1800, 0.14, false}, {2.3, 4500, 1, false},
    {3.5, 12000, 1, false},  {3.5, 8500, 1, true},     {4.7, 12500, 1, false},
    {4.7, 9000, 1, true},    {5.9, 13000, 1, false},   {5.9, 9500, 1, true},
    {7.0, 14000, 1, false},  {7.8, 14000, 0, false},   {8.0, 9000, 0, false},
    {10.0, 7000, 0, false},
};

void ride_at(double t, double *rpm, double *load) {
    const size_t n = sizeof RIDE / sizeof RIDE[0];
    *rpm = RIDE[n - 1].rpm;
    *load = RIDE[n - 1].load;
    for (size_t i = 1; i < n; i++) {
        if (t >= RIDE[i].seconds) continue;
        const ride_point &a = RIDE[i - 1], &b = RIDE[i];
        double u = b.jump ? 0 : (t - a.seconds) / (b.seconds - a.seconds);
        *rpm = a.rpm + (b.rpm - a.rpm) * u;
        *load = a.load + (b.load - a.load) * u;
        return;
    }
}

enum noise_kind { QUIET, WIND, ROOST };

// Wind: low rumbling noise; roost: bursts of grit hitting at random (deterministic).
std::vector<unsigned char> mix_noise(const std::string &engine, noise_kind kind, double level) {
    std::vector<unsigned char> out(engine.size());
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return ((seed >> 8) & 0xffff) / 32768.0 - 1.0;
    };
    double low = 0, burst = 0;
    for (size_t i = 0; i < engine.size(); i++) {
        double v = (unsigned char)engine[i] - 127.5;
        double n = next();
        if (kind == WIND) {
            low += 0.02 * (n - low);
            v += level * 127 * low * 6;
        } else if (kind == ROOST) {
            if (next() > 0.9996) burst = 1;   // about 18 hits a second
            burst *= 0.998;
            v += level * 127 * burst * n;
        }
        double b = std::lround(v + 127.5);
        out[i] = (unsigned char)(b < 0 ? 0 : b > 255 ? 255 : b);
    }
    return out;
}

}  // namespace

class present_engine_sweep : public present_engine_stock {};

TEST_F(present_engine_sweep, FiringRateFollowsARideThroughUpshifts) {
    auto e = std::make_unique<engine_sound>();
    engine_sound_load_class(e.get(), "250f", "@yz250fv2014.png");
    const engine_sound_params &p = e->params;
    // Each byte's engine speed is the one the pass that wrote it was given, as the synthesis
    // ramps it through the pass; the first passes fill the ring's lead at once.
    std::string engine;
    std::vector<double> speed;
    static unsigned char pass[ENGINE_RING];
    const int passes = 10 * PASSES_PER_SECOND;
    double previous = 1800;
    e->last_rpm = 1800;
    for (int i = 0; i < passes; i++) {
        double rpm, load;
        ride_at((double)i / PASSES_PER_SECOND, &rpm, &load);
        float torque = p.low_torque + (float)load * (p.high_torque - p.low_torque);
        int n = engine_sound_synthesize(e.get(), (float)rpm, torque,
                                        (i * PASS_SAMPLES) % ENGINE_RING, pass);
        engine.append((const char *)pass, (size_t)n);
        for (int j = 0; j < n; j++) speed.push_back(previous + (rpm - previous) * j / n);
        previous = rpm;
    }
    struct {
        const char *name;
        noise_kind kind;
        double level;
    } cases[] = {{"quiet", QUIET, 0}, {"wind", WIND, 0.15}, {"roost", ROOST, 0.3}};
    const double hop = 0.125;
    for (auto &c : cases) {
        std::vector<unsigned char> mixed = mix_noise(engine, c.kind, c.level);
        std::vector<double> track = sound_firing_track(mixed.data(), mixed.size(), 44100, hop);
        ASSERT_GE(track.size(), 70u) << c.name;
        int judged = 0, near = 0;
        for (size_t f = 0; f < track.size(); f++) {
            // Judged where the speed is steady within 5% over the window around the point.
            double t = (f + 0.5) * hop, lo = 1e9, hi = 0;
            size_t from = (size_t)std::max(0.0, (t - 0.15) * 44100);
            size_t to = std::min(speed.size(), (size_t)((t + 0.15) * 44100));
            for (size_t k = from; k < to; k++) {
                lo = std::min(lo, speed[k]);
                hi = std::max(hi, speed[k]);
            }
            if (t < 0.4 || to <= from || hi > 1.05 * lo) continue;
            double rpm = speed[(size_t)(t * 44100)];
            double expected = rpm / 120;   // every other revolution
            judged++;
            std::string at = std::string(c.name) + " at " + std::to_string(t) + " s, " +
                             std::to_string((int)rpm) + " rpm";
            if (std::fabs(track[f] - expected) <= 0.05 * expected) near++;
            // Never an octave off: neither half nor twice the firing rate.
            EXPECT_GT(track[f], 0.75 * expected) << at;
            EXPECT_LT(track[f], 1.5 * expected) << at;
        }
        EXPECT_GE(judged, 30) << c.name;
        EXPECT_GE(near, judged * 9 / 10) << c.name;
    }
}
