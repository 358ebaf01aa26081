// Mixing speed: a waveout fragment of sixteen looping voices, and the dsnd callback with 32
// playing buffers, each against the 1/64 s of sound it makes (target: within 1% of it).
#include <cstdio>
#include <vector>

#include "bench/bench.h"
#include "platform/plyx_sound_internal.h"

static const int RATE = 44100;
static const int FRAMES = RATE / 64;  // 689
static const int ROUNDS = 2000;
static const double FRAGMENT = 1.0 / 64.0;

static std::vector<unsigned char> test_sound(int length, int seed) {
    std::vector<unsigned char> v((size_t)length);
    unsigned x = (unsigned)seed * 2654435761u + 1;
    for (auto &b : v) {
        x = x * 1103515245u + 12345u;
        b = (unsigned char)(x >> 24);
    }
    return v;
}

// Seconds per fragment over five runs of ROUNDS fragments; prints the real-time factor.
template <class F>
static bench_stats per_fragment(const char *what, F mix) {
    bench_stats t = bench_scaled(bench_runs(5, [&] {
                                     for (int i = 0; i < ROUNDS; i++) mix();
                                 }),
                                 1.0 / ROUNDS);
    printf("%s: real-time factor %.0f (median)\n", what, FRAGMENT / t.median);
    return t;
}

int main() {
    // The software mixer: sixteen looping stereo sounds, half of them stepped at other pitches.
    std::vector<int> sums(2 * (size_t)FRAMES);
    std::vector<unsigned char> out(2 * (size_t)FRAMES);
    mixer_block b{};
    b.output = out.data();
    b.left_sum = sums.data();
    b.right_sum = sums.data() + FRAMES;
    b.voice_limit = 16;
    b.stereo = 1;
    b.output_rate = RATE;
    b.frames = FRAMES;
    std::vector<mixer_sound *> sounds;
    for (int k = 0; k < 16; k++) {
        std::vector<unsigned char> s = test_sound(20000 + 997 * k, k);
        mixer_sound *m = plyx_mixer_create(&b, (int)s.size(), s.data(), 22050);
        plyx_mixer_set_loop(m, 1);
        if (k % 2) plyx_mixer_set_frequency(m, RATE * 3 / 4 + 100 * k);
        plyx_mixer_set_pan(m, -0x7000 + 0xE00 * k);
        plyx_mixer_play(m);
        sounds.push_back(m);
    }
    bench_stats mixer = per_fragment("mixer, 16 voices", [&] { plyx_mixer_mix(&b); });
    for (mixer_sound *m : sounds) plyx_mixer_free(m);

    // The dsnd layer: 32 playing buffers at various frequencies.
    dsound_driver *d = plyx_dsound_layer_new(RATE);
    std::vector<sound_object> buffers;
    for (int k = 0; k < 32; k++) {
        std::vector<unsigned char> s = test_sound(20000 + 331 * k, 100 + k);
        sound_object o = plyx_dsound_driver.create(d, (int)s.size(), s.data(), 0);
        plyx_dsound_driver.set_frequency(o, 11025 + 900 * k);
        plyx_dsound_driver.set_loop(o, 1);
        plyx_dsound_driver.set_pan(o, -0x7000 + 0x700 * k);
        plyx_dsound_driver.play(o);
        buffers.push_back(o);
    }
    std::vector<int16_t> pcm(2 * (size_t)FRAMES);
    bench_stats dsnd = per_fragment("dsnd callback, 32 buffers",
                               [&] { plyx_dsound_mix(d, pcm.data(), FRAMES); });
    for (sound_object o : buffers) plyx_dsound_driver.free(o);
    plyx_dsound_driver.close(d);

    int failed = bench_report_budget("waveout fragment of 16 voices", "mix", mixer,
                                     "budget (1% of the fragment)", 0.01 * FRAGMENT);
    failed |= bench_report_budget("dsnd callback of 32 buffers", "mix", dsnd,
                                  "budget (1% of the fragment)", 0.01 * FRAGMENT);
    return failed;
}
