// "sounds/crowd.raw": a crowd's murmur for the track scripts, low-passed noise from a fixed seed
// with slow swells and a few claps, 4 s at 11,025 Hz whose ends are cross-faded into a loop.
#include <string>
#include <vector>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/trackside.h"

static const int CROWD_RATE = 11025;
static const int CROWD_SAMPLES = 4 * CROWD_RATE;
static const int CROWD_FADE = CROWD_RATE / 4;

// Uniform noise in -1..1 from a linear congruential generator.
static double crowd_noise(uint32_t *state) {
    *state = *state * 1664525u + 1013904223u;
    return (double)(int32_t)(*state >> 8 & 0xffff) / 32768.0 - 1.0;
}

std::string datagen_crowd_raw() {
    const int total = CROWD_SAMPLES + CROWD_FADE;
    std::vector<double> murmur((size_t)total);
    uint32_t seed = 2024u;
    double low1 = 0, low2 = 0, clap_low = 0;
    // Claps: start sample and length of each burst.
    static const int claps[][2] = {{5200, 700}, {16400, 500}, {17300, 600}, {30100, 800}, {38800, 500}};
    for (int i = 0; i < total; i++) {
        double white = crowd_noise(&seed);
        low1 += 0.18 * (white - low1);
        low2 += 0.18 * (low1 - low2);
        // Swells of 1.9 s and 3.1 s on a steady bed.
        long a = (long)i * 256 / (CROWD_RATE * 19 / 10), b = (long)i * 256 / (CROWD_RATE * 31 / 10);
        double swell = 0.65 + 0.22 * (double)datagen_sin256(a) / 65536.0 + 0.13 * (double)datagen_sin256(b + 40) / 65536.0;
        double v = low2 * swell * 2.6;
        for (const auto &c : claps) {
            int at = i - c[0];
            if (at < 0 || at >= c[1]) continue;
            // Each clap is a click of bright noise every 40 ms, decaying inside it.
            int in_clap = at % (CROWD_RATE / 25);
            double decay = in_clap < 200 ? (200.0 - in_clap) / 200.0 : 0.0;
            clap_low += 0.6 * (white - clap_low);
            v += (white - clap_low) * decay * 0.5;
        }
        murmur[(size_t)i] = v;
    }
    std::string out;
    out.reserve((size_t)CROWD_SAMPLES * 2);
    for (int i = 0; i < CROWD_SAMPLES; i++) {
        double v = murmur[(size_t)i];
        if (i < CROWD_FADE) {
            double w = (double)i / CROWD_FADE;
            v = v * w + murmur[(size_t)(CROWD_SAMPLES + i)] * (1 - w);
        }
        long s = (long)(v * 12000.0);
        s = s < -32767 ? -32767 : s > 32767 ? 32767 : s;
        datagen_put_le16(&out, (unsigned)(s & 0xffff));
    }
    return out;
}
