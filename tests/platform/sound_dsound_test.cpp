// The dsnd driver: levels in millibels, and its buffer layer mixed with no device under it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/plyx.h"
#include "platform/plyx_sound_internal.h"
#include "tests/platform/sound_test_util.h"

using bytes_t = std::vector<unsigned char>;

// The layer at 22050 Hz and the dsnd table's sound slots over it.
struct layer {
    dsound_driver *d = plyx_dsound_layer_new(22050);
    std::vector<sound_object> made;
    ~layer() {
        for (sound_object s : made) plyx_dsound_driver.free(s);
        plyx_dsound_driver.close(d);
    }
    sound_object make(const bytes_t &samples, int rate = 0) {
        sound_object s = plyx_dsound_driver.create(d, (int)samples.size(), samples.data(), rate);
        if (s) made.push_back(s);
        return s;
    }
    std::vector<int16_t> mix(int frames) {
        std::vector<int16_t> out(2 * (size_t)frames);
        plyx_dsound_mix(d, out.data(), frames);
        return out;
    }
};

static dsound_buffer *buffer(sound_object s) {
    return ((dsound_sound *)s)->buffer;
}

TEST(platform_dsound, Millibels) {
    struct {
        int amplitude, mb;
    } cases[] = {{-1, -10000}, {0, -10000}, {0x8000, 0}, {0x7fff, 0}, {16383, -603}, {16384, -602}};
    for (auto c : cases) EXPECT_EQ(plyx_dsound_millibels(c.amplitude), c.mb) << c.amplitude;
}

TEST(platform_dsound, PanLaw) {
    layer l;
    sound_object s = l.make(bytes_t(64, 228));
    ASSERT_NE(s, nullptr);
    struct {
        int volume, pan, volume_mb, pan_mb, left, right;  // left and right of a byte of +100
    } cases[] = {
        {0x7fff, 0, -603, 0, 12788, 12788},      // centred: half amplitude each side
        {0x7fff, 0x7fff, 0, 10000, 0, 25600},    // hard right: the left side silent
        {0x7fff, -0x8000, 0, -10000, 25600, 0},  // limited to -0x7fff: hard left
        {0, 0, -10000, 0, 0, 0},
    };
    for (auto c : cases) {
        plyx_dsound_driver.set_volume(s, c.volume);
        EXPECT_EQ(plyx_dsound_driver.set_pan(s, c.pan), 1);
        EXPECT_EQ(buffer(s)->volume_mb, c.volume_mb) << c.volume << " " << c.pan;
        EXPECT_EQ(buffer(s)->pan_mb, c.pan_mb) << c.volume << " " << c.pan;
        plyx_dsound_driver.play(s);
        std::vector<int16_t> out = l.mix(1);
        EXPECT_NEAR(out[0], c.left, 4) << c.volume << " " << c.pan;
        EXPECT_NEAR(out[1], c.right, 4) << c.volume << " " << c.pan;
    }
}

TEST(platform_dsound, RateZeroBuffersTakeFrequencyChanges) {
    layer l;
    bytes_t samples;
    for (int k = 0; k < 16; k++) samples.push_back((unsigned char)(130 + k));
    sound_object s = l.make(samples);
    EXPECT_EQ(buffer(s)->frequency, 22050);
    EXPECT_EQ(plyx_dsound_driver.set_frequency(s, 11025), 1);
    plyx_dsound_driver.play(s);
    // Half a byte a frame: each byte twice.
    std::vector<int16_t> out = l.mix(6);
    int want[6] = {2, 2, 3, 3, 4, 4};
    for (int i = 0; i < 6; i++) EXPECT_EQ(out[2 * i], want[i] * 256) << i;
    EXPECT_EQ(plyx_dsound_driver.get_position(s), 3);
    EXPECT_EQ(plyx_dsound_driver.set_frequency(s, 99), 0);
    EXPECT_EQ(plyx_dsound_driver.set_frequency(s, 200001), 0);
    EXPECT_EQ(buffer(s)->frequency, 11025);

    // A buffer made with a rate refuses them.
    sound_object fixed = l.make(samples, 11025);
    EXPECT_EQ(plyx_dsound_driver.set_frequency(fixed, 22050), 0);
    EXPECT_EQ(buffer(fixed)->frequency, 11025);
}

TEST(platform_dsound, LoopWrapsAndOneShotStops) {
    layer l;
    sound_object looping = l.make({138, 148, 158});
    sound_object once = l.make({168, 178, 188});
    plyx_dsound_driver.set_loop(looping, 1);
    plyx_dsound_driver.play(looping);
    plyx_dsound_driver.play(once);
    std::vector<int16_t> out = l.mix(7);
    int want[7] = {10 + 40, 20 + 50, 30 + 60, 10, 20, 30, 10};
    for (int i = 0; i < 7; i++) EXPECT_EQ(out[2 * i], want[i] * 256) << i;
    EXPECT_EQ(plyx_dsound_driver.get_position(once), 0);
    EXPECT_EQ(plyx_dsound_driver.get_position(looping), 1);
    // Stopped, a buffer reads position 0 too.
    plyx_dsound_driver.stop(looping);
    EXPECT_EQ(plyx_dsound_driver.get_position(looping), 0);
    EXPECT_EQ(l.mix(2), std::vector<int16_t>(4, 0));
}

TEST(platform_dsound, DuplicateKeepsVolumeAndPan) {
    layer l;
    sound_object s = l.make(bytes_t(8, 228));
    plyx_dsound_driver.set_volume(s, 0x7fff);
    plyx_dsound_driver.set_pan(s, 0x7fff);
    sound_object c = plyx_dsound_driver.duplicate(s);
    ASSERT_NE(c, nullptr);
    l.made.push_back(c);
    EXPECT_EQ(((dsound_sound *)c)->volume, 0x7fff);
    EXPECT_EQ(((dsound_sound *)c)->pan, 0x7fff);
    EXPECT_EQ(((dsound_sound *)c)->samples, ((dsound_sound *)s)->samples);
    // Centred again, the copy is heard on both sides.
    plyx_dsound_driver.set_pan(c, 0);
    plyx_dsound_driver.play(c);
    std::vector<int16_t> out = l.mix(1);
    EXPECT_NEAR(out[0], 12788, 4);
    EXPECT_NEAR(out[1], 12788, 4);
    // The samples live until the last user goes.
    plyx_dsound_driver.free(s);
    l.made.erase(l.made.begin());
    EXPECT_NEAR(l.mix(1)[0], 12788, 4);
}

TEST(platform_dsound, StreamWriteLongerThanTheRing) {
    layer l;
    sound_object s = l.make(bytes_t(256, 128));
    bytes_t in(300);
    for (int i = 0; i < 300; i++) in[i] = (unsigned char)(i * 7 + 1);
    ASSERT_EQ(plyx_dsound_driver.write_stream(s, 300, in.data(), 10), 1);
    const unsigned char *ring = ((dsound_sound *)s)->samples->bytes;
    for (int k = 0; k < 256; k++) EXPECT_EQ(ring[(54 + k) % 256], in[44 + k]) << k;
    EXPECT_EQ(plyx_dsound_driver.write_stream(s, 4, in.data(), -1), 0);
}

TEST(platform_dsound, CreateRefuses) {
    layer l;
    bytes_t samples(16, 200);
    struct {
        int bytes, rate;
        const void *data;
    } cases[] = {{0, 0, samples.data()},      {-1, 0, samples.data()},
                 {16, 99, samples.data()},    {16, 200001, samples.data()},
                 {16, -22050, samples.data()}, {16, 0, nullptr}};
    for (auto c : cases)
        EXPECT_EQ(plyx_dsound_driver.create(l.d, c.bytes, c.data, c.rate), nullptr)
            << c.bytes << " at " << c.rate;
}

TEST(platform_dsound, OpensPlaysAndClosesOnTheDummyDevice) {
    unsetenv("PLYX_OPTIONS");
    void *h = plyx_sound_open(nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(((dsound_driver *)h)->device, 0u);
    bytes_t samples(22050);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = (unsigned char)(i % 40 < 20 ? 80 : 180);
    sound_object s = plyx_sound_create(h, (int)samples.size(), samples.data(), 0);
    ASSERT_NE(s, nullptr);
    plyx_sound_set_loop(s, 1);
    ASSERT_EQ(plyx_sound_play(s), 1);
    EXPECT_TRUE(sound_position_moves(s));
    plyx_sound_close(h);
    // The sound outlives the driver; freeing it later through a new one is safe.
    h = plyx_sound_open(nullptr);
    ASSERT_NE(h, nullptr);
    plyx_sound_free(s);
    plyx_sound_close(h);
}

TEST(platform_dsound, ItsSoundsNeverReachTheReadbackMixer) {
    unsetenv("PLYX_OPTIONS");
    void *h = plyx_sound_open(nullptr);
    ASSERT_NE(h, nullptr);
    bytes_t samples(4000, 200);
    sound_object s = plyx_sound_create(h, (int)samples.size(), samples.data(), 0);
    ASSERT_NE(s, nullptr);
    plyx_sound_close(h);
    // The mixer would take the record for one of its own and write past its end.
    h = plyx_sound_open_readback(nullptr, 22050, 256);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(plyx_sound_set_volume(s, 0x7fff), 0);
    EXPECT_EQ(plyx_sound_set_pan(s, 0), 0);
    EXPECT_EQ(plyx_sound_set_loop(s, 1), 0);
    EXPECT_EQ(plyx_sound_play(s), 0);
    EXPECT_EQ(plyx_sound_duplicate(s), nullptr);
    const unsigned char *block = plyx_sound_render(h);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 256 * 2; i++) ASSERT_EQ(block[i], 128) << i;  // silence
    plyx_sound_free(s);
    plyx_sound_close(h);
}
