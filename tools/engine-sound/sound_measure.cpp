// The engine sound's measures, shared by the engine-sound tool and the tests.
#include "tools/engine-sound/sound_measure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The rectified signal smoothed over about a millisecond, its mean removed.
static std::vector<double> envelope(const unsigned char *samples, size_t count, double rate) {
    std::vector<double> env(count);
    int width = (int)(rate * 0.001);
    if (width < 1) width = 1;
    double sum = 0, total = 0;
    std::vector<double> rect(count);
    for (size_t i = 0; i < count; i++) rect[i] = std::fabs(samples[i] - 127.5);
    for (size_t i = 0; i < count; i++) {
        sum += rect[i];
        if (i >= (size_t)width) sum -= rect[i - width];
        env[i] = sum / width;
        total += env[i];
    }
    double mean = count ? total / count : 0;
    for (double &v : env) v -= mean;
    return env;
}

static double autocorrelation(const std::vector<double> &env, size_t lag) {
    if (lag >= env.size()) return 0;
    double s = 0, a = 0, b = 0;
    for (size_t i = 0; i + lag < env.size(); i++) {
        s += env[i] * env[i + lag];
        a += env[i] * env[i];
        b += env[i + lag] * env[i + lag];
    }
    return a > 0 && b > 0 ? s / std::sqrt(a * b) : 0;
}

sound_measures sound_measure(const unsigned char *samples, size_t count, double rate,
                             double min_period, double max_period, double revolution) {
    sound_measures m{};
    if (!count) return m;
    double sum = 0, sq = 0;
    size_t clipped = 0;
    for (size_t i = 0; i < count; i++) {
        sum += samples[i];
        double v = (samples[i] - 127.5) / 127.5;
        sq += v * v;
        if (samples[i] == 0 || samples[i] == 255) clipped++;
    }
    m.mean = sum / count;
    m.rms = std::sqrt(sq / count);
    m.clipped = 100.0 * clipped / count;
    std::vector<double> env = envelope(samples, count, rate);
    size_t lo = (size_t)(min_period * rate), hi = (size_t)(max_period * rate);
    if (lo < 1) lo = 1;
    if (hi >= count / 2) hi = count / 2;
    if (hi <= lo + 2) return m;
    std::vector<double> r(hi + 2);
    double best = 0;
    for (size_t lag = lo; lag <= hi + 1; lag++) {
        r[lag] = autocorrelation(env, lag);
        if (lag <= hi && r[lag] > best) best = r[lag];
    }
    // The first local maximum within 85% of the best: the fundamental, not a multiple of it.
    size_t found = 0;
    for (size_t lag = lo + 1; lag <= hi && !found; lag++)
        if (r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1] && r[lag] >= 0.85 * best) found = lag;
    if (!found || best <= 0) return m;
    m.period = found / rate;
    m.peak = r[found];
    if (revolution > 0) {
        size_t at = (size_t)std::lround(revolution * rate);
        m.at_revolution = autocorrelation(env, at) / m.peak;
    }
    // Onsets: the envelope rising through a third of its range after falling below a tenth,
    // no sooner than half a period after the last.
    double top = 0;
    for (double v : env) top = v > top ? v : top;
    std::vector<double> onsets;
    bool armed = true;
    double last = -1e9;
    double floor_level = *std::min_element(env.begin(), env.end());
    double rise = floor_level + (top - floor_level) * 0.33;
    double reset = floor_level + (top - floor_level) * 0.1;
    for (size_t i = 0; i < env.size(); i++) {
        if (armed && env[i] >= rise && i - last > found * 0.5) {
            onsets.push_back((double)i);
            last = (double)i;
            armed = false;
        } else if (!armed && env[i] < reset) {
            armed = true;
        }
    }
    if (onsets.size() >= 3) {
        std::vector<double> gaps;
        for (size_t i = 1; i < onsets.size(); i++) gaps.push_back(onsets[i] - onsets[i - 1]);
        double mean = 0, var = 0;
        for (double g : gaps) mean += g;
        mean /= gaps.size();
        for (double g : gaps) var += (g - mean) * (g - mean);
        var /= gaps.size();
        m.jitter = mean > 0 ? 100.0 * std::sqrt(var) / mean : 0;
    }
    return m;
}

void sound_left_channel(const unsigned char *stereo, size_t frames, unsigned char *out) {
    for (size_t i = 0; i < frames; i++) out[i] = stereo[2 * i];
}

static void put32(std::string *s, uint32_t v) {
    for (int i = 0; i < 4; i++) s->push_back((char)(v >> (8 * i)));
}

static void put16(std::string *s, uint32_t v) {
    s->push_back((char)v);
    s->push_back((char)(v >> 8));
}

bool sound_write_wav(const char *path, const unsigned char *samples, size_t count, int rate) {
    std::string h = "RIFF";
    put32(&h, (uint32_t)(36 + count));
    h += "WAVEfmt ";
    put32(&h, 16);
    put16(&h, 1);
    put16(&h, 1);
    put32(&h, (uint32_t)rate);
    put32(&h, (uint32_t)rate);
    put16(&h, 1);
    put16(&h, 8);
    h += "data";
    put32(&h, (uint32_t)count);
    std::string tmp = std::string(path) + ".tmp";
    FILE *f = fopen(tmp.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(h.data(), 1, h.size(), f) == h.size() &&
              fwrite(samples, 1, count, f) == count;
    ok = fclose(f) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), path) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}
