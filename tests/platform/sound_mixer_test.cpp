// The software mixer, mostly through the readback driver: golden blocks worked out by hand.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/plyx.h"
#include "platform/plyx_sound_internal.h"

using bytes_t = std::vector<unsigned char>;

// The readback driver at rate, blocks of frames, with the front end current.
struct readback {
    void *h;
    int frames;
    readback(int rate, int frames_) : frames(frames_) {
        unsetenv("PLYX_OPTIONS");
        h = plyx_sound_open_readback(nullptr, rate, frames);
        EXPECT_NE(h, nullptr);
    }
    ~readback() { plyx_sound_close(h); }
    sound_object make(const bytes_t &samples, int rate = 0) {
        return plyx_sound_create(h, (int)samples.size(), samples.data(), rate);
    }
    // One block: the left side, or the right side with side 1.
    bytes_t render(int side = 0) {
        const unsigned char *out = plyx_sound_render(h);
        bytes_t v;
        for (int i = 0; i < frames; i++) v.push_back(out[2 * i + side]);
        last = bytes_t(out, out + 2 * frames);
        return v;
    }
    bytes_t right() const {
        bytes_t v;
        for (int i = 0; i < frames; i++) v.push_back(last[2 * i + 1]);
        return v;
    }
    bytes_t last;
};

// What a byte sounds like at a level: the output byte of one voice alone.
static unsigned char heard(int level, int byte) {
    return (unsigned char)(128 + plyx_mixer_table_value(level, byte));
}

TEST(platform_mixer, VolumeTable) {
    struct {
        int level, d, value;
    } cases[] = {{1, 1, 0},    {31, 1, 0},    {31, -1, 0},   {15, 100, 46}, {15, -100, -46},
                 {31, 127, 122}, {31, -128, -123}, {15, -128, -59}, {31, 0, 0},   {1, 127, 3}};
    for (auto c : cases)
        EXPECT_EQ(plyx_mixer_table_value(c.level, 128 + c.d), c.value)
            << "level " << c.level << " d " << c.d;
}

TEST(platform_mixer, LevelsFromVolumeAndPan) {
    mixer_block stereo{}, mono{};
    stereo.stereo = 1;
    stereo.output_rate = mono.output_rate = 22050;
    struct {
        mixer_block *b;
        int volume, pan, left, right;
    } cases[] = {
        {&stereo, 0x7fff, 0, 15, 15},      {&stereo, 0x4000, 0, 7, 8},
        {&stereo, 0x7fff, -0x8000, 31, 0}, {&stereo, 0x7fff, 0x7fff, 0, 31},
        {&stereo, 0x7fff, -0x9000, 31, 0}, {&stereo, 0x7fff, 0x9000, 0, 31},
        {&stereo, -5, 0, 0, 0},            {&stereo, 0x10000, 0, 15, 15},
        {&mono, 0x7fff, 0, 31, 0},         {&mono, 0x7fff, 0x7fff, 31, 0},
    };
    unsigned char one = 200;
    for (auto &c : cases) {
        mixer_sound *s = plyx_mixer_create(c.b, 1, &one, 0);
        ASSERT_NE(s, nullptr);
        plyx_mixer_set_volume(s, c.volume);
        plyx_mixer_set_pan(s, c.pan);
        EXPECT_EQ(s->left.level, c.left) << c.volume << " " << c.pan;
        EXPECT_EQ(s->right.level, c.right) << c.volume << " " << c.pan;
        plyx_mixer_free(s);
    }
}

TEST(platform_mixer, LoopAtUnitRatePlaysAllButTheLastByte) {
    readback rb(22050, 8);
    sound_object s = rb.make({228, 228, 28, 28});
    plyx_sound_set_loop(s, 1);
    plyx_sound_play(s);
    bytes_t want = {174, 174, 82, 174, 174, 82, 174, 174};
    EXPECT_EQ(rb.render(), want);
    EXPECT_EQ(rb.right(), want);
    EXPECT_EQ(plyx_sound_get_position(s), 2);
    plyx_sound_free(s);
}

// Eight bytes that each sound different at level 15, played at a frequency.
static sound_object ramp(readback &rb, int frequency, bytes_t *samples) {
    for (int k = 0; k < 8; k++) samples->push_back((unsigned char)(138 + 10 * k));
    sound_object s = rb.make(*samples);
    plyx_sound_set_frequency(s, frequency);
    plyx_sound_play(s);
    return s;
}

TEST(platform_mixer, HalfRateReadsTheFirstByteThreeTimes) {
    // The fraction per frame is 2,147,471,550, just under half a byte: the first carry comes
    // only at the third step, then every second one.
    readback rb(22050, 13);
    bytes_t samples;
    sound_object s = ramp(rb, 11025, &samples);
    int reads[13] = {0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
    bytes_t want;
    for (int k : reads) want.push_back(heard(15, samples[k]));
    EXPECT_EQ(rb.render(), want);
    EXPECT_EQ(rb.right(), want);
    plyx_sound_free(s);
}

TEST(platform_mixer, DoubleRateOneShotEndsOnBothSides) {
    readback rb(22050, 10);
    bytes_t samples;
    sound_object s = ramp(rb, 44100, &samples);
    bytes_t want = {heard(15, samples[0]), heard(15, samples[2]), heard(15, samples[4])};
    want.resize(10, 128);
    EXPECT_EQ(rb.render(), want);
    EXPECT_EQ(rb.right(), want);
    EXPECT_EQ(plyx_sound_get_position(s), 0);
    // Played again, it sounds as the first time: nothing of the old level is faded in first.
    plyx_sound_play(s);
    EXPECT_EQ(rb.render(), want);
    EXPECT_EQ(rb.right(), want);
    plyx_sound_free(s);
}

TEST(platform_mixer, StopIsHeardToTheZeroCrossing) {
    readback rb(22050, 2);
    sound_object s = rb.make({228, 228, 228, 228, 28, 28, 28, 28, 128});
    plyx_sound_set_loop(s, 1);
    plyx_sound_play(s);
    EXPECT_EQ(rb.render(), (bytes_t{174, 174}));
    EXPECT_EQ(plyx_sound_get_position(s), 2);
    plyx_sound_stop(s);
    // The rest of the positive half-wave, then nothing.
    bytes_t left, right;
    for (int k = 0; k < 4; k++) {
        bytes_t l = rb.render();
        left.insert(left.end(), l.begin(), l.end());
        bytes_t r = rb.right();
        right.insert(right.end(), r.begin(), r.end());
    }
    bytes_t want = {174, 174, 128, 128, 128, 128, 128, 128};
    EXPECT_EQ(left, want);
    EXPECT_EQ(right, want);
    EXPECT_EQ(plyx_sound_get_position(s), 0);
    plyx_sound_free(s);
}

TEST(platform_mixer, VolumeAndPanChangesWaitForTheZeroCrossing) {
    // Half-waves of four bytes; at volume 0x4000 and pan 0 the levels are 7 and 8, at pan
    // fully left 15 and 0.
    readback rb(22050, 3);
    sound_object s = rb.make({228, 228, 228, 228, 28, 28, 28, 28, 128});
    plyx_sound_set_loop(s, 1);
    plyx_sound_play(s);
    EXPECT_EQ(rb.render(), (bytes_t{174, 174, 174}));
    plyx_sound_set_volume(s, 0x4000);
    // The positive half-wave ends at the old level; the new ones start with the negative one.
    EXPECT_EQ(rb.render(), (bytes_t{174, heard(7, 28), heard(7, 28)}));
    EXPECT_EQ(rb.right(), (bytes_t{174, heard(8, 28), heard(8, 28)}));
    plyx_sound_set_pan(s, -0x8000);
    EXPECT_EQ(rb.render(), (bytes_t{heard(7, 28), heard(7, 28), heard(15, 228)}));
    EXPECT_EQ(rb.right(), (bytes_t{heard(8, 28), heard(8, 28), 128}));
    plyx_sound_free(s);
}

TEST(platform_mixer, DuplicateSharesSamplesAndPlaysOnItsOwn) {
    readback rb(22050, 2);
    sound_object s = rb.make({228, 228, 28, 28, 128});
    plyx_sound_set_volume(s, 0x4000);
    plyx_sound_set_loop(s, 1);
    plyx_sound_play(s);
    EXPECT_EQ(rb.render(), (bytes_t{heard(7, 228), heard(7, 228)}));
    sound_object d = plyx_sound_duplicate(s);
    ASSERT_NE(d, nullptr);
    ASSERT_NE(d, s);
    EXPECT_EQ(plyx_sound_get_position(d), 0);  // a copy is not playing
    EXPECT_EQ(rb.render(), (bytes_t{heard(7, 28), heard(7, 28)}));  // the original alone
    // The samples outlive the original; the copy keeps its volume, pan and loop.
    plyx_sound_free(s);
    plyx_sound_play(d);
    bytes_t left, right;
    for (int k = 0; k < 3; k++) {
        bytes_t l = rb.render();
        left.insert(left.end(), l.begin(), l.end());
        bytes_t r = rb.right();
        right.insert(right.end(), r.begin(), r.end());
    }
    EXPECT_EQ(left, (bytes_t{heard(7, 228), heard(7, 228), heard(7, 28), heard(7, 28), heard(7, 228), heard(7, 228)}));
    EXPECT_EQ(right, (bytes_t{heard(8, 228), heard(8, 228), heard(8, 28), heard(8, 28), heard(8, 228), heard(8, 228)}));
    plyx_sound_free(d);
}

TEST(platform_mixer, SumsClip) {
    for (int sixteen = 0; sixteen < 2; sixteen++) {
        int sums[2 * 4];
        int16_t out16[8];
        unsigned char out8[8];
        mixer_block b{};
        b.output = sixteen ? (void *)out16 : (void *)out8;
        b.left_sum = sums;
        b.right_sum = sums + 4;
        b.voice_limit = 16;
        b.stereo = 1;
        b.output_rate = 22050;
        b.frames = 4;
        b.sixteen_bit = sixteen;
        // Frames 0-1 four voices at +59 (236), frames 2-3 four at -59.
        bytes_t samples = {255, 255, 0, 0, 128};
        std::vector<mixer_sound *> sounds;
        for (int k = 0; k < 4; k++) {
            mixer_sound *s = plyx_mixer_create(&b, 5, samples.data(), 0);
            plyx_mixer_play(s);
            sounds.push_back(s);
        }
        plyx_mixer_mix(&b);
        EXPECT_EQ(sums[0], 236);
        if (sixteen) {
            EXPECT_EQ(out16[0], 0x7F00);
            EXPECT_EQ(out16[1], 0x7F00);
            EXPECT_EQ(out16[4], -0x7F00);
        } else {
            EXPECT_EQ(out8[0], 255);
            EXPECT_EQ(out8[1], 255);
            EXPECT_EQ(out8[4], 0);
        }
        for (mixer_sound *s : sounds) plyx_mixer_free(s);
    }
}

TEST(platform_mixer, StreamWriteKeepsTheLastRingLength) {
    readback rb(22050, 8);
    sound_object s = rb.make(bytes_t(256, 128));
    bytes_t in(300);
    for (int i = 0; i < 300; i++) in[i] = (unsigned char)(i * 7 + 1);
    ASSERT_EQ(plyx_sound_write_stream(s, 300, in.data(), 10), 1);
    const unsigned char *ring = ((mixer_sound *)s)->samples->bytes;
    // The last 256 bytes, in[44..299], start at (10 + 300 - 256) mod 256 = 54.
    for (int k = 0; k < 256; k++) EXPECT_EQ(ring[(54 + k) % 256], in[44 + k]) << k;
    // A short write wraps at the end; bad arguments write nothing.
    ASSERT_EQ(plyx_sound_write_stream(s, 4, in.data(), 254), 1);
    EXPECT_EQ(ring[254], in[0]);
    EXPECT_EQ(ring[1], in[3]);
    EXPECT_EQ(plyx_sound_write_stream(s, -1, in.data(), 0), 0);
    EXPECT_EQ(plyx_sound_write_stream(s, 4, in.data(), -1), 0);
    EXPECT_EQ(plyx_sound_write_stream(s, 4, nullptr, 0), 0);
    plyx_sound_free(s);
}

TEST(platform_mixer, VoiceLimitMixesTheFirstSounds) {
    setenv("PLYX_OPTIONS", "[sound-channels:16]", 1);
    void *h = plyx_sound_open_readback(nullptr, 22050, 4);
    ASSERT_NE(h, nullptr);
    // Sound k sounds at k + 1 at level 15; played in order, the list holds 9, 8, ... 0.
    std::vector<sound_object> sounds;
    for (int k = 0; k < 10; k++) {
        int d = 1;
        while (plyx_mixer_table_value(15, 128 + d) != k + 1) d++;
        bytes_t samples(8, (unsigned char)(128 + d));
        sounds.push_back(plyx_sound_create(h, 8, samples.data(), 0));
        plyx_sound_play(sounds.back());
    }
    const unsigned char *out = plyx_sound_render(h);
    // Sounds 9 down to 2: 10 + 9 + ... + 3.
    EXPECT_EQ(out[0], 128 + 52);
    EXPECT_EQ(out[1], 128 + 52);
    for (sound_object s : sounds) plyx_sound_free(s);
    plyx_sound_close(h);
}

TEST(platform_mixer, CreateRefusesWhatItCannotStore) {
    mixer_block b{};
    b.stereo = 1;
    b.output_rate = 88320;
    bytes_t samples(16, 200);
    struct {
        int bytes, rate;
        bool made;
        int stored;
    } cases[] = {
        {16, 0, true, 16},        {16, 88320, true, 16},  {16, 22050, true, 64},
        {-1, 0, false, 0},        {16, -1, false, 0},     {0, 0, false, 0},
        {1, 176641, false, 0},  // stored length 0 would divide by zero when stepping
    };
    for (auto c : cases) {
        mixer_sound *s = plyx_mixer_create(&b, c.bytes, samples.data(), c.rate);
        EXPECT_EQ(s != nullptr, c.made) << c.bytes << " at " << c.rate;
        if (s) {
            EXPECT_EQ(s->samples->length, c.stored);
        }
        plyx_mixer_free(s);
    }
    // Above 2^28 stored bytes is refused before anything is allocated.
    b.output_rate = 96000;
    EXPECT_EQ(plyx_mixer_create(&b, INT_MAX, samples.data(), 8000), nullptr);
}

TEST(platform_mixer, FrequencyZeroIsStoredAsOne) {
    readback rb(22050, 8);
    sound_object s = rb.make({228, 28, 228, 28});
    plyx_sound_set_loop(s, 1);
    plyx_sound_play(s);
    plyx_sound_set_frequency(s, 0);
    EXPECT_EQ(((mixer_sound *)s)->frequency, 1);
    EXPECT_EQ(rb.render(), bytes_t(8, 174));  // byte 0 held
    plyx_sound_set_frequency(s, INT_MAX);
    rb.render();  // far beyond the rate: wraps without reading outside the samples
    plyx_sound_free(s);
}

TEST(platform_mixer, ClosingUnlinksEveryVoice) {
    void *h = plyx_sound_open_readback(nullptr, 22050, 8);
    bytes_t samples = {228, 228, 228, 228};
    sound_object s = plyx_sound_create(h, 4, samples.data(), 0);
    plyx_sound_set_loop(s, 1);
    plyx_sound_play(s);
    EXPECT_EQ(plyx_sound_render(h)[0], 174);
    plyx_sound_close(h);
    h = plyx_sound_open_readback(nullptr, 22050, 8);
    const unsigned char *out = plyx_sound_render(h);
    EXPECT_EQ(bytes_t(out, out + 16), bytes_t(16, 128));
    EXPECT_EQ(plyx_sound_get_position(s), 0);
    plyx_sound_free(s);
    plyx_sound_close(h);
}

TEST(platform_readback, BlocksOfATick) {
    // 88320 Hz in blocks of 690 frames: 1380 bytes a tick, left then right.
    bytes_t samples(2000);
    for (int i = 0; i < 2000; i++) samples[i] = (unsigned char)(i % 2 ? 40 : 216);
    std::vector<bytes_t> runs;
    for (int run = 0; run < 2; run++) {
        void *h = plyx_sound_open_readback(nullptr, 88320, 690);
        ASSERT_NE(h, nullptr);
        sound_object a = plyx_sound_create(h, 2000, samples.data(), 22050);
        sound_object b = plyx_sound_create(h, 2000, samples.data(), 0);
        plyx_sound_set_pan(a, -0x8000);
        plyx_sound_set_loop(b, 1);
        plyx_sound_set_frequency(b, 30000);
        plyx_sound_play(a);
        plyx_sound_play(b);
        bytes_t all;
        for (int t = 0; t < 20; t++) {
            const unsigned char *out = plyx_sound_render(h);
            all.insert(all.end(), out, out + 1380);
            if (t == 5) plyx_sound_set_volume(b, 0x2000);
        }
        runs.push_back(all);
        plyx_sound_free(a);
        plyx_sound_free(b);
        plyx_sound_close(h);
    }
    EXPECT_EQ(runs[0].size(), 20u * 1380u);
    EXPECT_EQ(runs[0], runs[1]);
    // Sound a is heard on the left only: the right side is b alone at first.
    EXPECT_NE(runs[0][0], runs[0][1]);
}

TEST(platform_readback, LongSoundPlaysToItsEnd) {
    void *h = plyx_sound_open_readback(nullptr, 88320, 690);
    bytes_t samples(200000);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = (unsigned char)(i % 64 < 32 ? 60 : 190);
    sound_object s = plyx_sound_create(h, 200000, samples.data(), 22050);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(((mixer_sound *)s)->samples->length, 801088);
    plyx_sound_play(s);
    int blocks = 801088 / 690 + 2;
    for (int t = 0; t < blocks; t++) {
        plyx_sound_render(h);
        if (t == 600) {
            EXPECT_GT(plyx_sound_get_position(s), 690 * 599);
        }
    }
    EXPECT_EQ(plyx_sound_get_position(s), 0);
    const unsigned char *out = plyx_sound_render(h);
    EXPECT_EQ(bytes_t(out, out + 1380), bytes_t(1380, 128));
    plyx_sound_free(s);
    plyx_sound_close(h);
}

TEST(platform_readback, RefusesBadBlocks) {
    EXPECT_EQ(plyx_sound_open_readback(nullptr, 0, 690), nullptr);
    EXPECT_EQ(plyx_sound_open_readback(nullptr, 88320, 0), nullptr);
    EXPECT_EQ(plyx_sound_open_readback(nullptr, 88320, INT_MAX), nullptr);
    EXPECT_EQ(plyx_sound_current(), nullptr);
}
