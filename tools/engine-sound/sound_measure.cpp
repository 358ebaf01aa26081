// The engine sound's measures, shared by the engine-sound tool and the tests.
#include "tools/engine-sound/sound_measure.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

static constexpr int ENVELOPE_STEP = 4;

std::vector<double> sound_envelope(const unsigned char *samples, size_t count, double rate, int step) {
    int width = (int)(rate * 0.002);
    if (width < 1) width = 1;
    if (step < 1) step = 1;
    std::vector<double> smooth(count);
    double sum = 0;
    for (size_t i = 0; i < count; i++) {
        sum += std::fabs(samples[i] - 127.5);
        if (i >= (size_t)width) sum -= std::fabs(samples[i - width] - 127.5);
        smooth[i] = sum / width;
    }
    std::vector<double> env(count / (size_t)step);
    for (size_t i = 0; i < env.size(); i++) {
        double v = 0;
        for (int k = 0; k < step; k++) v += smooth[i * step + k];
        env[i] = v / step;
    }
    return env;
}

// The envelope kept at a quarter of the rate, its mean removed.
static std::vector<double> envelope(const unsigned char *samples, size_t count, double rate) {
    std::vector<double> env = sound_envelope(samples, count, rate, ENVELOPE_STEP);
    double total = 0;
    for (double v : env) total += v;
    double mean = env.empty() ? 0 : total / env.size();
    for (double &v : env) v -= mean;
    return env;
}

double sound_autocorrelation(const std::vector<double> &env, size_t lag) {
    if (lag >= env.size()) return 0;
    double s = 0, a = 0, b = 0;
    for (size_t i = 0; i + lag < env.size(); i++) {
        s += env[i] * env[i + lag];
        a += env[i] * env[i];
        b += env[i + lag] * env[i + lag];
    }
    return a > 0 && b > 0 ? s / std::sqrt(a * b) : 0;
}

// The autocorrelation between whole lags, interpolated.
static double autocorrelation_at(const std::vector<double> &env, double lag) {
    size_t whole = (size_t)lag;
    double f = lag - whole;
    return sound_autocorrelation(env, whole) * (1 - f) + sound_autocorrelation(env, whole + 1) * f;
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
    double env_rate = rate / ENVELOPE_STEP;
    size_t lo = (size_t)(min_period * env_rate), hi = (size_t)(max_period * env_rate);
    if (lo < 1) lo = 1;
    if (hi >= env.size() / 2) hi = env.size() / 2;
    if (hi <= lo + 2) return m;
    std::vector<double> r(hi + 2);
    double best = 0;
    for (size_t lag = lo; lag <= hi + 1; lag++) {
        r[lag] = sound_autocorrelation(env, lag);
        if (lag <= hi && r[lag] > best) best = r[lag];
    }
    // The first local maximum within 85% of the best: the fundamental, not a multiple of it.
    size_t found = 0;
    for (size_t lag = lo + 1; lag <= hi && !found; lag++)
        if (r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1] && r[lag] >= 0.85 * best) found = lag;
    if (!found || best <= 0) return m;
    // The peak between lags by a parabola through its neighbours.
    double a = r[found - 1], b = r[found], c = r[found + 1];
    double shift = a - 2 * b + c < 0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0;
    m.period = (found + shift) / env_rate;
    m.peak = b;
    if (revolution > 0) m.at_revolution = autocorrelation_at(env, revolution * env_rate) / m.peak;
    // Onsets: from the strongest point of the first period, each next one the strongest point
    // between a half and one and a half periods on.
    double period = found + shift;
    std::vector<double> onsets;
    size_t at = 0;
    for (size_t i = 0; i < (size_t)period && i < env.size(); i++)
        if (env[i] > env[at]) at = i;
    onsets.push_back((double)at);
    for (;;) {
        size_t from = at + (size_t)(period * 0.5), to = at + (size_t)(period * 1.5);
        if (to >= env.size()) break;
        size_t next = from;
        for (size_t i = from; i <= to; i++)
            if (env[i] > env[next]) next = i;
        onsets.push_back((double)next);
        at = next;
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

sound_measures sound_measure_single(const unsigned char *samples, size_t count, double rate,
                                    double revolution) {
    sound_measures once =
        sound_measure(samples, count, rate, 0.9 * revolution, 1.1 * revolution, revolution);
    sound_measures twice =
        sound_measure(samples, count, rate, 1.8 * revolution, 2.2 * revolution, revolution);
    return once.period > 0 && once.peak >= 0.85 * twice.peak ? once : twice;
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
