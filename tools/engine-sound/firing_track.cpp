// The firing rate of a recording whose engine speed changes, followed window by window: each
// window's candidate periods are judged by how well all their multiples repeat, and a window
// that lands an octave away from its neighbour takes the octave that continues the track.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/engine-sound/sound_measure.h"

static constexpr double ENVELOPE_RATE = 4000;   // about; a whole step of the input rate
static constexpr double WINDOW_SECONDS = 0.3;    // two idle firings at the longest lag
static constexpr double SHORT_WINDOW_SECONDS = 0.12;   // for rates above FAST_HZ
static constexpr double FAST_HZ = 35;
static constexpr double LOWEST_HZ = 10, HIGHEST_HZ = 240;

// The envelope averaged down to about ENVELOPE_RATE.
static std::vector<double> coarse_envelope(const unsigned char *samples, size_t count, double rate,
                                           double *env_rate) {
    int step = std::max(1, (int)std::lround(rate / ENVELOPE_RATE));
    *env_rate = rate / step;
    return sound_envelope(samples, count, rate, step);
}

// Normalised autocorrelations of seg (mean removed) at whole lags 0..max_lag + 1 (0 at lag 0).
static std::vector<double> autocorrelations(const std::vector<double> &seg, size_t max_lag) {
    std::vector<double> r(max_lag + 2, 0.0);
    for (size_t lag = 1; lag <= max_lag + 1; lag++) r[lag] = sound_autocorrelation(seg, lag);
    return r;
}

struct candidate {
    double period;   // envelope samples
    double score;
};

// The mean autocorrelation at every multiple of the period that the window holds: a true
// firing period repeats at all of them, a pipe echo or half the period at only some.
static double harmonic_score(const std::vector<double> &r, double period, size_t max_lag) {
    double sum = 0;
    int n = 0;
    for (double lag = period; lag <= (double)max_lag; lag += period, n++) {
        size_t whole = (size_t)lag;
        double f = lag - whole;
        sum += r[whole] * (1 - f) + r[whole + 1] * f;
    }
    return n ? sum / n : 0;
}

// The local maxima of the score over periods from 1/HIGHEST_HZ to 1/LOWEST_HZ, refined by a
// parabola; sorted by period.
static std::vector<candidate> candidates(const std::vector<double> &r, size_t max_lag,
                                         double env_rate) {
    const double grid = 0.25;
    double lo = env_rate / HIGHEST_HZ, hi = std::min(env_rate / LOWEST_HZ, (double)max_lag);
    std::vector<double> periods, scores;
    for (double p = lo; p <= hi; p += grid) {
        periods.push_back(p);
        scores.push_back(harmonic_score(r, p, max_lag));
    }
    std::vector<candidate> out;
    for (size_t i = 1; i + 1 < scores.size(); i++) {
        double a = scores[i - 1], b = scores[i], c = scores[i + 1];
        if (b <= 0 || b < a || b < c) continue;
        double shift = a - 2 * b + c < 0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0;
        out.push_back({periods[i] + shift * grid, b});
    }
    return out;
}

// Whether the higher of two rates is a whole multiple (2 to 4) of the lower, within 8%.
static bool multiple_apart(double f, double g) {
    double q = f > g ? f / g : g / f;
    double k = std::round(q);
    return k >= 2 && k <= 4 && std::fabs(q / k - 1) < 0.08;
}

// The firing rate of one window: the shortest candidate period nearly as good as the best (a
// four-stroke's alternate firings differ, so twice the period scores a little higher). Near
// the top, off load, the pipe makes the pattern repeat every two to four firings; when the
// choice lands far below the previous window's rate, a candidate at a whole multiple of it
// that continues the track (from three quarters of it to a little above the fastest of the
// last windows: a gear change drops the speed, and a doubled rate must not pass for it) and
// scores fairly is taken instead (never a slower one: the pattern
// repeats at multiples of the firing period, not within it).
static double window_rate(const std::vector<candidate> &cands, double env_rate, double previous,
                          double fastest) {
    double best = 0;
    for (const candidate &c : cands) best = std::max(best, c.score);
    if (best <= 0.05) return 0;
    double chosen = 0;
    for (const candidate &c : cands)
        if (c.score >= 0.8 * best) {
            chosen = env_rate / c.period;
            break;
        }
    if (previous > 1.6 * chosen) {
        double kept = 0, kept_score = 0;
        for (const candidate &c : cands) {
            double f = env_rate / c.period;
            if (c.score >= 0.15 * best && c.score > kept_score && f > chosen &&
                multiple_apart(f, chosen) &&
                f > 0.75 * previous && f < 1.12 * fastest) {
                kept = f;
                kept_score = c.score;
            }
        }
        if (kept > 0) return kept;
    }
    // Above it, fast: the pipe's echo half a firing on can pass for a firing of its own.
    if (previous >= FAST_HZ && chosen > 1.6 * fastest) {
        double kept = 0, kept_score = 0;
        for (const candidate &c : cands) {
            double f = env_rate / c.period;
            if (c.score >= 0.5 * best && c.score > kept_score && f < chosen &&
                multiple_apart(f, chosen) && f > 0.75 * previous && f < 1.12 * fastest) {
                kept = f;
                kept_score = c.score;
            }
        }
        if (kept > 0) return kept;
    }
    return chosen;
}

// The firing rate of the window of the given length centred on centre (envelope samples).
static double rate_at(const std::vector<double> &env, double env_rate, double centre,
                      double seconds, double previous, double fastest) {
    size_t window = (size_t)(seconds * env_rate), max_lag = window / 2;
    size_t end = std::min(env.size(), (size_t)std::max(0.0, centre - window / 2.0) + window);
    size_t begin = end > window ? end - window : 0;
    if (end - begin < window || max_lag < 8) return 0;
    std::vector<double> seg(env.begin() + begin, env.begin() + end);
    double mean = 0;
    for (double v : seg) mean += v;
    mean /= seg.size();
    for (double &v : seg) v -= mean;
    std::vector<double> r = autocorrelations(seg, max_lag);
    return window_rate(candidates(r, max_lag, env_rate), env_rate, previous, fastest);
}

std::vector<double> sound_firing_track(const unsigned char *samples, size_t count, double rate,
                                       double hop) {
    std::vector<double> track;
    if (!(rate > 0) || !(hop > 0) || !count) return track;
    double env_rate;
    std::vector<double> env = coarse_envelope(samples, count, rate, &env_rate);
    size_t frames = (size_t)(count / rate / hop);
    std::vector<double> recent;   // the last three rates found
    for (size_t f = 0; f < frames; f++) {
        // The octave is judged against the median of the last three, so one stray window
        // (the speed changing under it) does not carry the track off.
        double previous = 0, fastest = 0;
        if (!recent.empty()) {
            std::vector<double> sorted = recent;
            std::sort(sorted.begin(), sorted.end());
            previous = sorted[sorted.size() / 2];
            fastest = sorted.back();
        }
        double centre = (f + 0.5) * hop * env_rate;
        // Slow firings need the long window; fast ones a short one, as the speed changes
        // quickly there (a gear change, the throttle opened).
        double found = rate_at(env, env_rate, centre, WINDOW_SECONDS, previous, fastest);
        if (previous >= FAST_HZ || !(found > 0 && found < FAST_HZ)) {
            double fast = rate_at(env, env_rate, centre, SHORT_WINDOW_SECONDS, previous, fastest);
            if (fast >= FAST_HZ) found = fast;
        }
        // No engine slows to under 40% between two windows a hop apart: such a window has
        // caught a multiple of the period while the speed changed under it.
        if (found < 0.4 * previous) found = 0;
        track.push_back(found);
        if (found > 0) {
            recent.push_back(found);
            if (recent.size() > 3) recent.erase(recent.begin());
        }
    }
    return track;
}
