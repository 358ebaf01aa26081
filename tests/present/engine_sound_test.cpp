// Engine sounds: the synthesis pass (its lead, firing bounds, cross-fade and hostile numbers),
// the pipe, and the description and sound table readers with their refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "core/console.h"
#include "present/engine_sound.h"
#include "tests/support/test_support.h"

namespace {

std::unique_ptr<engine_sound> fresh(const char *engine_class = "250f",
                                    const char *texture = nullptr) {
    auto e = std::make_unique<engine_sound>();
    engine_sound_load_class(e.get(), engine_class, texture);
    return e;
}

// A cell over a wave of its own.
struct table_fixture {
    std::vector<float> wave;
    std::vector<sound_cell> cells;
    sound_table table{};
    table_fixture(int rows, int cols, const float *rpms, const float *loads, int length = 256) {
        wave.assign((size_t)length, 0.5f);
        for (int r = 0; r < rows; r++)
            for (int c = 0; c < cols; c++)
                cells.push_back({wave.data(), length, 1, nullptr, 0, rpms[r], loads[c]});
        table = {nullptr, "fixture", cells.data(), rows, cols};
    }
};

bool console_has(const char *text) {
    for (auto &line : console_log.lines)
        if (strstr(line, text)) return true;
    return false;
}

std::string le16(const std::vector<int> &v) {
    std::string s;
    for (int x : v) {
        s.push_back((char)(x & 0xff));
        s.push_back((char)((x >> 8) & 0xff));
    }
    return s;
}

}  // namespace

TEST(present_engine_synth, PassLengthFollowsTheLeadAheadOfThePlayPosition) {
    unsigned char out[ENGINE_RING];
    struct {
        int write_pos, play, expected;
    } cases[] = {
        {11025, 0, 8820},                  // right after load: 37178 - 11025, capped
        {4410, 0, 0},                      // exactly the lead ahead: nothing
        {4410 + 100, 0, 8820},             // further ahead: wraps to a large count, capped
        {1000, 0, 3410},                   // short of the lead: tops it up
        {32000, 1000, (1000 + 37178 - 32000) % 32768},
    };
    for (auto &c : cases) {
        auto e = fresh();
        e->write_pos = c.write_pos;
        EXPECT_EQ(engine_sound_synthesize(e.get(), 3000, 0, c.play, out), c.expected)
            << c.write_pos << " " << c.play;
        EXPECT_EQ(e->write_pos, (c.write_pos + c.expected) % ENGINE_RING);
    }
}

TEST(present_engine_synth, FiringSpeedAndRateStayWithinTheirBounds) {
    unsigned char out[ENGINE_RING];
    struct {
        const char *what;
        float rpm, scale, bias, min_rpm, fire_factor, expected_freq;
    } cases[] = {
        {"below min_rpm fires at min_rpm", 200, 1, 0, 1000, 0.5f, 1000 * 0.5f / 60},
        {"a rate below 5 Hz is raised", 1000, 1, 0, 100, 0.1f, 5},
        {"scale 1e6 stops at 60000 rpm", 9000, 1e6f, 0, 1000, 1, 1000},
        {"a NaN engine speed fires at min_rpm", NAN, 1, 0, 1000, 1, 1000.0f / 60},
        {"a huge rate is capped", 50000, 1, 0, 1000, 100, 2205},
        {"a bias below zero", 3000, 1, -1e9f, 1000, 1, 1000.0f / 60},
    };
    for (auto &c : cases) {
        auto e = fresh();
        e->params.scale[0] = c.scale;
        e->params.bias[0] = c.bias;
        e->params.min_rpm = c.min_rpm;
        e->params.fire_factor = c.fire_factor;
        e->last_rpm = std::isfinite(c.rpm) ? c.rpm : 1000;
        for (int pass = 0; pass < 4; pass++)
            engine_sound_synthesize(e.get(), c.rpm, 0, pass * 735, out);
        EXPECT_NEAR(e->fire_freq, c.expected_freq, c.expected_freq * 1e-4) << c.what;
        EXPECT_GE(e->fire_phase, 0) << c.what;
        EXPECT_LT(e->fire_phase, 1 << 24) << c.what;
    }
}

TEST(present_engine_synth, CrossFadeWeightsAndDegenerateAxes) {
    unsigned char out[ENGINE_RING];
    const float one_rpm[] = {0}, one_load[] = {0};
    const float equal_rpm[] = {3000, 3000}, loads[] = {0, 1};
    const float rpms[] = {1000, 5000};
    struct {
        const char *what;
        table_fixture t;
        float low, high, torque, rpm;
        float gains[4];
    } cases[] = {
        {"one cell: all to oscillator 3", {1, 1, one_rpm, one_load}, -1, 1, 0, 3000, {0, 0, 0, 1}},
        {"equal torques: load 1 at or above", {1, 2, one_rpm, loads}, 2, 2, 2, 3000, {0, 0, 0, 1}},
        {"equal torques: load 0 below", {1, 2, one_rpm, loads}, 2, 2, 1, 3000, {0, 1, 0, 0}},
        {"equal row rpms: upper row at or above", {2, 2, equal_rpm, loads}, -1, 1, 1, 3000,
         {0, 0, 0, 1}},
        {"half way in both", {2, 2, rpms, loads}, -1, 1, 0, 3000, {0.25f, 0.25f, 0.25f, 0.25f}},
    };
    for (auto &c : cases) {
        auto e = fresh();
        e->params.table = &c.t.table;
        e->params.low_torque = c.low;
        e->params.high_torque = c.high;
        e->params.min_rpm = 100;
        e->params.fire_factor = 1;
        e->last_rpm = c.rpm;
        engine_sound_synthesize(e.get(), c.rpm, c.torque, 0, out);
        ASSERT_GT(e->fire_count, 0u) << c.what;
        for (int k = 0; k < 4; k++) {
            EXPECT_TRUE(std::isfinite(e->osc[k].gain)) << c.what;
            EXPECT_NEAR(e->osc[k].gain, c.gains[k], 1e-5) << c.what << " oscillator " << k;
        }
        for (float v : e->ring) ASSERT_TRUE(std::isfinite(v)) << c.what;
    }
}

TEST(present_engine_synth, HostileStateStaysFiniteAndInBounds) {
    unsigned char out[ENGINE_RING];
    // An oscillator far past the end of its wave reads silence.
    auto e = fresh();
    e->osc[0].phase = 0xFFFFF000u;
    e->osc[0].step = 1u << 20;
    e->osc[0].gain = 1;
    e->fire_count = 0xFFFFFFFFu;  // wraps to 0 at the next firing
    e->params.scale[0] = 1e6f;
    engine_sound_synthesize(e.get(), 9000, 1e30f, 0, out);
    EXPECT_LT(e->fire_count, 100u);
    for (float v : e->ring) ASSERT_TRUE(std::isfinite(v));
    // Sums beyond +-16 are stored as 16; the bytes clip at 0 and 255.
    auto f = fresh();
    f->params.table = nullptr;
    for (auto &o : f->osc) o = {};
    f->params.pipe_gain[0] = 0;
    for (int k = 1; k < 16; k++) f->params.pipe_gain[k] = 0;
    float wave[4] = {100, -100, 0.5f, -0.5f};
    f->osc[0] = {wave, 1, 0, 1024, 4};
    int n = engine_sound_synthesize(f.get(), 3000, 0, 0, out);
    ASSERT_GE(n, 4);
    EXPECT_EQ(f->ring[11025], 16.0f);
    EXPECT_EQ(f->ring[11026], -16.0f);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 191);  // round(0.5 x 127 + 127)
    EXPECT_EQ(out[3], 64);
    EXPECT_EQ(out[4], 127);  // past the wave: silence
}

TEST(present_engine_synth, OneSecondTwiceFromFreshRecordsGivesTheSameBytes) {
    std::string runs[2];
    for (auto &bytes : runs) {
        auto e = fresh("125");
        static unsigned char out[ENGINE_RING];
        for (int pass = 0; pass < 60; pass++) {
            int n = engine_sound_synthesize(e.get(), 6000, 2.0f, pass * 735, out);
            bytes.append((const char *)out, (size_t)n);
        }
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_GT(runs[0].size(), 44100u);
}

TEST(present_engine_sound, BuiltInDescriptionsAndPipes) {
    struct {
        const char *engine_class;
        float fire_factor, low, high;
        int first_delay, last_delay;
        float gain;
        const char *table;
    } cases[] = {
        {"250f", 0.5f, -2.5f, 2.5f, 386, 315, -0.053125f, "default_four_stroke"},
        {nullptr, 0.5f, -2.5f, 2.5f, 386, 315, -0.053125f, "default_four_stroke"},
        {"125", 1, -3.5f, 3.5f, 135, 112, -0.046875f, "default_two_stroke"},
        {"", 1, -3.5f, 3.5f, 135, 112, -0.046875f, "default_two_stroke"},
        {"50", 1, -3.5f, 1.5f, 135, 112, -0.046875f, "default_two_stroke"},
    };
    for (auto &c : cases) {
        const engine_sound_params *p = engine_sound_builtin(c.engine_class);
        const char *label = c.engine_class ? c.engine_class : "(none)";
        EXPECT_EQ(p->fire_factor, c.fire_factor) << label;
        EXPECT_EQ(p->low_torque, c.low) << label;
        EXPECT_EQ(p->high_torque, c.high) << label;
        EXPECT_EQ(p->min_rpm, 1000) << label;
        EXPECT_EQ(ENGINE_RING - p->pipe_offset[0], c.first_delay) << label;
        EXPECT_EQ(ENGINE_RING - p->pipe_offset[15], c.last_delay) << label;
        for (int k = 1; k < 16; k++) EXPECT_LE(p->pipe_offset[k - 1], p->pipe_offset[k]);
        EXPECT_NEAR(p->pipe_gain[7], c.gain, 1e-7) << label;
        EXPECT_STREQ(p->table->name, c.table) << label;
        EXPECT_EQ(p->table->rows, 1);
        EXPECT_EQ(p->table->cols, 2);
        EXPECT_EQ(p->table->cells[1].load, 1.0f);
    }
    // The quarter-amplitude wave is the full one times 0.25.
    const sound_table *t = engine_sound_builtin_table(0);
    EXPECT_FLOAT_EQ(t->cells[0].wave[100], t->cells[1].wave[100] * 0.25f);
}

// The description and sound table readers over files in a temporary folder.
class present_engine_files : public ::testing::Test {
  protected:
    temp_dir dir;
    void SetUp() override {
        test_isolate_home(dir);
        console_clear();
        std::vector<int> pulse;
        for (int i = 0; i < 400; i++) pulse.push_back((int)(16000 * std::sin(i * 0.3)));
        test_write_file(dir.file("pulse.raw"), le16(pulse));
    }
    void TearDown() override { engine_sound_free_tables(); }
    // Loads a 250f with the description text as its ".braap".
    std::unique_ptr<engine_sound> load(const std::string &braap, const char *name = "bike") {
        test_write_file(dir.file(std::string(name) + ".braap"), braap);
        std::string texture = dir.file(std::string(name) + "-red.png");
        return fresh("250f", texture.c_str());
    }
    std::string table(const std::string &text, const char *name = "t.tab") {
        test_write_file(dir.file(name), text);
        return dir.file(name);
    }
    std::string pulse() { return dir.file("pulse.raw"); }
};

TEST_F(present_engine_files, DescriptionLines) {
    // No pipe line: every gain 0; the rest of the four-stroke stays.
    auto e = load("minrpm 1200\n");
    for (float g : e->params.pipe_gain) EXPECT_EQ(g, 0.0f);
    EXPECT_EQ(e->params.min_rpm, 1200);
    EXPECT_EQ(e->params.fire_factor, 0.5f);
    // "pipe 3": taps 0..15 from length 3 with the default spread and gain.
    e = load("pipe 3\n");
    EXPECT_EQ(ENGINE_RING - e->params.pipe_offset[0], (int)(2 * 3.0 / 1140.63 * 44100));
    EXPECT_NEAR(e->params.pipe_gain[15], -0.85f / 16, 1e-7);
    // Taps 8..20 set only 8..15; 0..7 keep the cleared gain.
    e = load("pipe 2 1 -0.5 8 20\n");
    EXPECT_EQ(e->params.pipe_gain[7], 0.0f);
    EXPECT_NEAR(e->params.pipe_gain[8], -0.5f / 8, 1e-7);
    EXPECT_EQ(ENGINE_RING - e->params.pipe_offset[8], (int)(2 * 2.0 / 1140.63 * 44100));
    // An indented pipe line is ignored, an indented bias line read.
    e = load("  pipe 3\n  bias 5 6 7 # comment 8\n");
    for (float g : e->params.pipe_gain) EXPECT_EQ(g, 0.0f);
    EXPECT_EQ(e->params.bias_count, 3);
    EXPECT_EQ(e->params.bias[2], 7.0f);
    // "bias" alone becomes the single bias 0; a 101st value is ignored.
    e = load("bias\n");
    EXPECT_EQ(e->params.bias_count, 1);
    EXPECT_EQ(e->params.bias[0], 0.0f);
    std::string many = "scale";
    for (int i = 0; i < 101; i++) many += " " + std::to_string(i + 1);
    e = load(many + "\n");
    EXPECT_EQ(e->params.scale_count, 100);
    EXPECT_EQ(e->params.scale[99], 100.0f);
    // Non-finite numbers: the keyword is ignored, a list ends there.
    e = load("pipe nan 1 1\nminrpm inf\nlowtorque 1e39\nhightorque -1e39\nbias 1 2 nan 3\n"
             "scale 1e40\n");
    EXPECT_EQ(e->params.min_rpm, 1000);
    EXPECT_EQ(e->params.low_torque, -2.5f);
    EXPECT_EQ(e->params.high_torque, 2.5f);
    EXPECT_EQ(e->params.bias_count, 2);
    EXPECT_EQ(e->params.scale_count, 1);
    EXPECT_EQ(e->params.scale[0], 1.0f);
    for (float g : e->params.pipe_gain) EXPECT_EQ(g, 0.0f);
}

TEST_F(present_engine_files, TheTextureNameFindsTheDescription) {
    // bike-red.png tries bike-red.braap, then bike.braap; without either the built-in stays.
    test_write_file(dir.file("bike.braap"), "minrpm 1300\n");
    auto e = fresh("250f", dir.file("bike-red.png").c_str());
    EXPECT_EQ(e->params.min_rpm, 1300);
    test_write_file(dir.file("bike-red.braap"), "minrpm 1400\n");
    e = fresh("250f", dir.file("bike-red.png").c_str());
    EXPECT_EQ(e->params.min_rpm, 1400);
    e = fresh("250f", dir.file("other-red.png").c_str());
    EXPECT_EQ(e->params.min_rpm, 1000);
    EXPECT_EQ(ENGINE_RING - e->params.pipe_offset[0], 386);
}

TEST_F(present_engine_files, SoundTablesAreReadSharedAndRemapped) {
    std::string p = pulse();
    std::string name = table("SOUNDTABLE 1 2\n2000\n0 1\n7 1 -1 4 " + p + "\n-1 2 " + p + "\n");
    auto a = load("soundtable " + name + "\n", "a");
    auto b = load("soundtable   " + name + "  \n", "b");
    ASSERT_NE(a->params.table, nullptr);
    EXPECT_EQ(a->params.table, b->params.table);  // one table shared, read once
    const sound_table *t = a->params.table;
    EXPECT_STREQ(t->name, name.c_str());
    EXPECT_EQ(t->cells[0].remap_count, 2);
    EXPECT_EQ(t->cells[0].remap[0], 3);  // 7 mod 4
    EXPECT_EQ(t->cells[0].remap[1], 1);
    EXPECT_EQ(t->cells[1].remap, nullptr);
    EXPECT_EQ(t->cells[1].pulses, 2);
    EXPECT_EQ(t->cells[0].wave, t->cells[1].wave);  // the sample file is read once
    EXPECT_EQ(t->cells[0].length, 400);
    EXPECT_NEAR(t->cells[0].wave[1], (int)(16000 * std::sin(0.3)) / 32768.0, 1e-6);
    EXPECT_EQ(a->osc[0].wave, t->cells[0].wave);
    EXPECT_FALSE(console_has("Error"));
}

TEST_F(present_engine_files, HostileTablesAreRefusedInBoundedTimeAndMemory) {
    std::string p = pulse();
    std::string big_remap = "SOUNDTABLE 1 1\n1000\n0\n";
    for (int i = 0; i < 1000000; i++) big_remap += "1 ";
    big_remap += "-1 1 " + p + "\n";
    test_write_file(dir.file("big.raw"), std::string(5 << 20, '\x01'));
    struct {
        const char *what;
        std::string text;
        const char *message;
    } cases[] = {
        {"rows 0", "SOUNDTABLE 0 1\n", nullptr},
        {"rows 100000", "SOUNDTABLE 100000 100000\n1 2 3\n", nullptr},
        {"pulses 0", "SOUNDTABLE 1 1\n1000\n0\n-1 0 " + p + "\n", "(0, 0) Error reading"},
        {"pulses -3", "SOUNDTABLE 1 1\n1000\n0\n-1 -3 " + p + "\n", "(0, 0) Error reading"},
        {"pulses nan", "SOUNDTABLE 1 1\n1000\n0\n-1 nan " + p + "\n", "(0, 0) Error reading"},
        {"pulses above the samples", "SOUNDTABLE 1 1\n1000\n0\n-1 401 " + p + "\n",
         "(0, 0) Error reading"},
        {"falling rpm axis", "SOUNDTABLE 2 1\n5000 1000\n0\n", nullptr},
        {"axis not finite", "SOUNDTABLE 1 1\n1e39\n0\n", nullptr},
        {"a million remap entries", big_remap, "(0, 0) Bad remap entry"},
        {"a remap entry that is text", "SOUNDTABLE 1 1\n1000\n0\n1 x -1 1 " + p + "\n",
         "(0, 0) Bad remap entry"},
        {"a 5 MiB sample file", "SOUNDTABLE 1 1\n1000\n0\n-1 1 " + dir.file("big.raw") + "\n",
         "(0, 0) Error reading"},
        {"/dev/zero as a sample file", "SOUNDTABLE 1 1\n1000\n0\n-1 1 /dev/zero\n",
         "(0, 0) Error reading"},
        {"a missing sample file", "SOUNDTABLE 1 1\n1000\n0\n-1 1 " + dir.file("none.raw") + "\n",
         "(0, 0) Error reading"},
    };
    int i = 0;
    bool watched = test_watch_allocations();
    for (auto &c : cases) {
        console_clear();
        std::string name = table(c.text, ("bad" + std::to_string(i++) + ".tab").c_str());
        auto e = load("soundtable " + name + "\n");
        EXPECT_STREQ(e->params.table->name, "default_four_stroke") << c.what;
        EXPECT_TRUE(console_has(("Error reading '" + name + "'").c_str())) << c.what;
        if (c.message) {
            EXPECT_TRUE(console_has(c.message)) << c.what;
        }
    }
    if (watched) {
        EXPECT_LT(test_largest_allocation(), (size_t)(16 << 20));
    }
}
