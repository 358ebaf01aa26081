// Measures of a stretch of engine sound (8-bit unsigned mono, 128 silence): the firing period
// from the envelope's autocorrelation, the autocorrelation at one revolution, the jitter of the
// firing onsets, the loudness and the clipped share.
#pragma once

#include <cstddef>
#include <vector>

struct sound_measures {
    double period;          // seconds between firings (the autocorrelation's peak); 0 if none
    double peak;            // the normalised autocorrelation at that period
    double at_revolution;   // the autocorrelation at the given revolution time over the peak
    double jitter;          // standard deviation of onset intervals over their mean, percent
    double rms;             // of (byte - 127.5) / 127.5
    double clipped;         // share of bytes at 0 or 255, percent
    double mean;            // mean byte
};

// The rectified signal (bytes less 127.5) smoothed over 2 ms, averaged over every step samples.
std::vector<double> sound_envelope(const unsigned char *samples, size_t count, double rate, int step);
// The normalised autocorrelation of values at a whole lag (0 at and beyond their count).
double sound_autocorrelation(const std::vector<double> &values, size_t lag);
// Measures samples at rate (Hz). The period is the first peak of the envelope's autocorrelation
// between min_period and max_period seconds within 85% of the highest there (where the engine
// speed is known, from half a revolution on: the pipe's echoes come sooner); revolution (seconds, 0 for none) picks where at_revolution is read.
sound_measures sound_measure(const unsigned char *samples, size_t count, double rate,
                             double min_period, double max_period, double revolution);
// The measures of a single cylinder turning once every revolution seconds: the firing period
// is the peak near one revolution when it is nearly as strong as the one near two, else the
// one near two. Longer lags are never taken for firings: near the top of the range the pipe's
// echoes resonate at about half the firing rate, so the pattern of louder and softer firings
// repeats every two or three firings there.
sound_measures sound_measure_single(const unsigned char *samples, size_t count, double rate,
                                    double revolution);
// The firing rate (Hz, 0 where none is found) of a recording whose engine speed changes, for
// each hop seconds from its start: each window's period is the one all of whose multiples
// repeat, the shortest of the nearly best (a four-stroke's firings alternate a little), and a
// window an octave away from the one before takes the other octave when that fits as well.
std::vector<double> sound_firing_track(const unsigned char *samples, size_t count, double rate,
                                       double hop);
// The left channel of interleaved 8-bit stereo.
void sound_left_channel(const unsigned char *stereo, size_t frames, unsigned char *out);
// A WAV file of 8-bit mono samples.
bool sound_write_wav(const char *path, const unsigned char *samples, size_t count, int rate);
