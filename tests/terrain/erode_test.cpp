// Erosion: wheel samples into points and batches, the message codec, the queue and its budget,
// and the ruts the drained points dig.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/console.h"
#include "terrain/dig.h"
#include "terrain/erode.h"
#include "tests/terrain/erode_test_support.h"

namespace {

int test_tick = 0;
std::vector<std::vector<unsigned char>> sent;

int tick_hook() {
    return test_tick;
}
void send_hook(const unsigned char *bytes, int length) {
    sent.emplace_back(bytes, bytes + length);
}

// Captures the messages the batches send, and gives the erosion the test's tick.
struct erode_capture {
    erode_capture() {
        test_tick = 0;
        sent.clear();
        erode_hooks = {send_hook, tick_hook};
        erode_queue_reset();
    }
    ~erode_capture() { erode_hooks = {nullptr, nullptr}; }
};

// A wheel rolling along +x at the speed, pressed down with 250 lbf and pushed across (+z) with
// the lateral force, sliding at the slip speed.
erode_contact rolling(float x, float z, float speed, float lateral, float slip, float depth = 0.1f) {
    erode_contact c = {};
    c.point = {x, 0, z};
    c.velocity = {0, 0, slip};
    c.normal = {0, 1, 0};
    c.contact_depth = depth;
    c.body_velocity[0] = speed;
    c.force[1] = 250;
    c.force[2] = lateral;
    return c;
}

erode_batch empty_batch() {
    erode_batch b;
    memset(&b, 0, sizeof b);
    return b;
}

std::vector<erode_point> decode(const std::vector<unsigned char> &m, float extent = 256) {
    erode_point p[64];
    int n = erode_decode_message(m.data(), (int)m.size(), extent, p);
    return std::vector<erode_point>(p, p + n);
}

}  // namespace

// ---- The message ----------------------------------------------------------------------------

TEST(terrain_erode, encode_decode_encode_gives_the_same_bytes) {
    erode_field f;   // extent 256
    std::mt19937 random(19);
    std::uniform_real_distribution<float> unit(-1, 1), place(0, 256), step(-20, 20);
    for (int trial = 0; trial < 200; trial++) {
        erode_batch b = empty_batch();
        b.point_count = 1 + (int)(random() % 64);
        for (int i = 0; i < b.point_count; i++) {
            erode_point &p = b.points[i];
            // A walk that stays on the track (the decoder clamps only the first point).
            p.x = i == 0 ? place(random) : fminf(fmaxf(b.points[i - 1].x + step(random), 0), 256);
            p.z = i == 0 ? place(random) : fminf(fmaxf(b.points[i - 1].z + step(random), 0), 256);
            if (i == 0 && trial == 0) p.x = 255.99998f;   // near the far end, where floats are coarse
            p.value1 = unit(random);
            p.value2 = unit(random);
            p.sample_count = (int)(random() % 17);
            if (i >= 1) {
                float dx = p.x - b.points[i - 1].x, dz = p.z - b.points[i - 1].z;
                b.dx_min = i == 1 ? dx : fminf(b.dx_min, dx);
                b.dx_max = i == 1 ? dx : fmaxf(b.dx_max, dx);
                b.dz_min = i == 1 ? dz : fminf(b.dz_min, dz);
                b.dz_max = i == 1 ? dz : fmaxf(b.dz_max, dz);
            }
        }
        unsigned char first[ERODE_MESSAGE_MAX], second[ERODE_MESSAGE_MAX];
        int length = erode_encode_batch(first, &b);
        ASSERT_EQ(length, 17 + 4 * (b.point_count - 1));
        std::vector<erode_point> points = decode(std::vector<unsigned char>(first, first + length));
        ASSERT_EQ((int)points.size(), b.point_count);
        // The first point within one code, the later ones within half a step code: no drift.
        float x_code = (b.dx_max - b.dx_min + 0.125f) / 510 + 1e-3f;
        float z_code = (b.dz_max - b.dz_min + 0.125f) / 510 + 1e-3f;
        for (int i = 0; i < b.point_count; i++) {
            float tx = i == 0 ? 256.0f / 16777215 + 1e-5f : x_code;
            float tz = i == 0 ? 256.0f / 16777215 + 1e-5f : z_code;
            EXPECT_NEAR(points[i].x, b.points[i].x, tx) << trial << " " << i;
            EXPECT_NEAR(points[i].z, b.points[i].z, tz) << trial << " " << i;
            EXPECT_NEAR(points[i].value1, b.points[i].value1, 1.0f / 32 + 1e-6f);
            EXPECT_EQ(points[i].sample_count, b.points[i].sample_count > 15 ? 15 : b.points[i].sample_count);
        }
        erode_batch again = b;
        for (int i = 0; i < b.point_count; i++) again.points[i] = points[i];
        ASSERT_EQ(erode_encode_batch(second, &again), length);
        EXPECT_EQ(memcmp(first, second, (size_t)length), 0) << trial;
    }
}

TEST(terrain_erode, codes_counts_and_lengths) {
    erode_field f;
    std::vector<unsigned char> m(300, 0);
    m[0] = 1;
    m[15] = 32 << 2 | 3;   // k 32, count bits 0-1 = 3
    m[16] = 32 << 2 | 2;   // k 32, count bits 2-3 = 2
    std::vector<erode_point> p = decode(m);
    EXPECT_EQ(p[0].value1, 0.0f);
    EXPECT_EQ(p[0].value2, 0.0f);
    EXPECT_EQ(p[0].sample_count, 11);
    struct length_case {
        int length, points;
    };
    for (length_case c : {length_case{16, 0}, {17, 1}, {20, 1}, {21, 2}, {300, 64}, {0, 0}, {-5, 0}})
        EXPECT_EQ((int)decode(std::vector<unsigned char>(m.begin(), m.begin() + (c.length > 0 ? c.length : 0))).size(), c.points) << c.length;
    erode_point out[64];
    EXPECT_EQ(erode_decode_message(m.data(), -5, 256, out), 0);
    m[0] = 2;
    EXPECT_EQ(decode(m).size(), 0u);
    // A full group of 16 samples travels as 15, and the value 1 as the top code.
    erode_batch b = empty_batch();
    b.point_count = 1;
    b.points[0] = {10, 10, 1, -1, 16};
    unsigned char bytes[ERODE_MESSAGE_MAX];
    ASSERT_EQ(erode_encode_batch(bytes, &b), 17);
    EXPECT_EQ(bytes[15], 63 << 2 | 3);
    EXPECT_EQ(bytes[16], 0 << 2 | 3);
    erode_batch none = empty_batch();
    EXPECT_EQ(erode_encode_batch(bytes, &none), 0);
}

TEST(terrain_erode, random_bytes_decode_to_at_most_64_finite_points) {
    std::mt19937 random(7);
    std::vector<unsigned char> m(1023);
    erode_point out[64];
    for (int length = 0; length <= 1023; length++) {
        for (auto &c : m) c = (unsigned char)random();
        m[0] = 1;
        int n = erode_decode_message(m.data(), length, 1024.0f, out);
        ASSERT_LE(n, 64);
        for (int i = 0; i < n; i++)
            ASSERT_TRUE(std::isfinite(out[i].x) && std::isfinite(out[i].z) && std::isfinite(out[i].value1) &&
                        std::isfinite(out[i].value2));
    }
}

// ---- Samples, points and batches ------------------------------------------------------------

TEST(terrain_erode, samples_from_contacts) {
    erode_field f;
    erode_capture capture;
    struct sample_case {
        const char *what;
        erode_contact contact;
        int samples;
        erode_readout_values readout;
    };
    erode_contact vertical = rolling(10, 10, 0, 150, 3);
    vertical.body_velocity[1] = -5;
    erode_contact nan_force = rolling(10, 10, 30, 150, 3);
    nan_force.force[0] = NAN;
    // Dirt at 30 ft/s and 3 ft/s of slip: push = 150 x (1 + 0.6 x 0.5) = 195 across.
    const sample_case cases[] = {
        {"no contact", rolling(10, 10, 30, 150, 3, 0), 0, {0, 0, 0, 0, 0, 0}},
        {"vertical only", vertical, 0, {5, 0, 0, 0, 0, 0}},
        {"nan force", nan_force, 0, {0, 0, 0, 0, 0, 0}},
        {"below off speed", rolling(10, 10, 8, 150, 3), 0, {8, 3, 150, 0, 0, 0}},
        {"push below lower", rolling(10, 10, 30, 30, 3), 0, {30, 3, 30, 0, 39, 0}},
        {"sample", rolling(10, 10, 30, 150, 3), 1, {30, 3, 150, 0, 195, 0}},
    };
    for (const sample_case &c : cases) {
        erode_batch b = empty_batch();
        erode_wheel_contact(&b, c.contact, 0);
        EXPECT_EQ(b.sample_count, c.samples) << c.what;
        const erode_readout_values &r = erode_readouts, &e = c.readout;
        EXPECT_NEAR(r.speed, e.speed, 1e-4) << c.what;
        EXPECT_NEAR(r.slip, e.slip, 1e-4) << c.what;
        EXPECT_NEAR(r.fx, e.fx, 1e-3) << c.what;
        EXPECT_NEAR(r.fz, e.fz, 1e-3) << c.what;
        EXPECT_NEAR(r.pfx, e.pfx, 1e-3) << c.what;
        EXPECT_NEAR(r.pfz, e.pfz, 1e-3) << c.what;
    }
    // The push is scaled across by the lateral scale and as a whole on the front wheel.
    f->kinds[0].erode.lateral_scale = 2;
    f->kinds[0].erode.front_scale = 0.5f;
    erode_batch b = empty_batch();
    erode_contact c = rolling(10, 10, 30, 150, 3);
    c.force[0] = -60;   // against the motion
    erode_wheel_contact(&b, c, 0);
    EXPECT_NEAR(erode_readouts.pfx, 390, 1e-3);
    EXPECT_NEAR(erode_readouts.pfz, -78, 1e-3);
    erode_wheel_contact(&b, c, 1);
    EXPECT_NEAR(erode_readouts.pfx, 195, 1e-3);
    EXPECT_NEAR(erode_readouts.pfz, -39, 1e-3);
    char text[128];
    erode_format_wheel_readout(text, sizeof text);
    EXPECT_STREQ(text, "speed=30.00\nslip=3.00\nfx=-150.00\nfz=60.00\npfx=-195.00\npfz=39.00\n");
    erode_format_wheel_readout(text, 20);
    EXPECT_STREQ(text, "speed=30.00\nslip=3.");
    erode_format_wheel_readout(text, 1);
    EXPECT_STREQ(text, "");
    erode_wheel_contact(&b, rolling(10, 10, 0, 0, 0, 0), 0);   // idle: zeros, never "-0.00"
    erode_format_wheel_readout(text, sizeof text);
    EXPECT_STREQ(text, "speed=0.00\nslip=0.00\nfx=0.00\nfz=0.00\npfx=0.00\npfz=0.00\n");
}

TEST(terrain_erode, groups_close_at_one_foot_or_sixteen_samples) {
    erode_field f;
    erode_capture capture;
    erode_batch b = empty_batch();
    for (int i = 0; i < 5; i++) erode_wheel_contact(&b, rolling(10 + 0.25f * i, 10, 30, 150, 3), 0);
    ASSERT_EQ(b.point_count, 1);
    EXPECT_EQ(b.points[0].sample_count, 4);
    EXPECT_NEAR(b.points[0].x, 10.375f, 1e-5);
    EXPECT_NEAR(b.points[0].value2, 1.0f, 1e-5);   // full strength, across
    EXPECT_EQ(b.sample_count, 1);
    EXPECT_NEAR(b.track_length, 0.0f, 1e-6);        // 0.75 + 0.25 - 1
    erode_batch c = empty_batch();
    for (int i = 0; i < 17; i++) erode_wheel_contact(&c, rolling(20, 10, 30, 150, 3), 0);
    ASSERT_EQ(c.point_count, 1);
    EXPECT_EQ(c.points[0].sample_count, 16);
    EXPECT_EQ(c.sample_count, 1);
    EXPECT_TRUE(sent.empty());
}

TEST(terrain_erode, batches_are_cut_when_full_wide_far_or_idle) {
    erode_field f(257, 8.0f);   // extent 2048
    erode_capture capture;
    // Every sample 2 ft on closes the group before it: one point each.
    erode_batch b = empty_batch();
    for (int i = 0; i <= 65; i++) erode_wheel_contact(&b, rolling(10 + 2.0f * i, 10, 30, 150, 3), 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(decode(sent[0], 2048).size(), 64u);
    EXPECT_EQ(b.point_count, 1);   // the 65th point starts the next batch
    struct cut_case {
        const char *what;
        float x1, x2, x3;
        size_t sent_points;
    };
    const cut_case cases[] = {
        {"spread past 64", 12, 14, 84, 3},   // steps 2, 2, then 70
        {"step past 1000", 1110, 1112, 1114, 1},
        {"steady", 12, 14, 16, 0},
    };
    for (const cut_case &c : cases) {
        sent.clear();
        erode_batch d = empty_batch();
        for (float x : {10.0f, c.x1, c.x2, c.x3, c.x3 + 2}) erode_wheel_contact(&d, rolling(x, 10, 30, 150, 3), 0);
        if (c.sent_points == 0) {
            EXPECT_TRUE(sent.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(sent.size(), 1u) << c.what;
        EXPECT_EQ(decode(sent[0], 2048).size(), c.sent_points) << c.what;
        EXPECT_EQ(d.points[0].x, c.sent_points == 3 ? c.x3 : c.x1) << c.what;
    }
    // A batch left 64 ticks is sent with its open group; one tick earlier it waits.
    sent.clear();
    erode_batch e = empty_batch();
    test_tick = 100;
    for (float x : {10.0f, 12.0f, 14.0f}) erode_wheel_contact(&e, rolling(x, 10, 30, 150, 3), 0);
    test_tick = 164;
    erode_wheel_contact(&e, rolling(0, 0, 0, 0, 0, 0), 0);
    EXPECT_TRUE(sent.empty());
    test_tick = 165;
    erode_wheel_contact(&e, rolling(0, 0, 0, 0, 0, 0), 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(decode(sent[0], 2048).size(), 3u);
    EXPECT_EQ(e.point_count, 0);
    EXPECT_EQ(e.sample_count, 0);
}

// ---- The queue ------------------------------------------------------------------------------

// Queues count points at (x, z) with no push (they are consumed without effect).
static void queue_points(int count, float x, float z) {
    erode_batch b = empty_batch();
    for (int i = 0; i < 64; i++) b.points[i] = {x, z, 0, 0, 1};
    unsigned char m[ERODE_MESSAGE_MAX];
    while (count > 0) {
        b.point_count = count < 64 ? count : 64;
        erode_queue_message(m, erode_encode_batch(m, &b));
        count -= b.point_count;
    }
}

static int budget_of(int count) {
    return count / 512 + 4 + (count > 8192 ? count - 8192 : 0) / 64;
}

TEST(terrain_erode, budgets_and_the_protected_position) {
    erode_field f;
    erode_capture capture;
    struct budget_case {
        int count, budget;
    };
    const float near[3] = {100, 0, 100};
    for (budget_case c : {budget_case{0, 0}, {3, 3}, {511, 4}, {512, 5}, {8192, 20}, {8193, 20}, {8256, 21}, {131072, 2180}}) {
        erode_queue_reset();
        queue_points(c.count, 100, 100);
        ASSERT_EQ(erode_queue_count(), c.count);
        // Beyond 8192 waiting the protected position is ignored.
        erode_apply_queue(c.count > 8192 ? near : nullptr, 1);
        EXPECT_EQ(c.count - erode_queue_count(), c.budget) << c.count;
    }
    // A full queue empties in the calls the budget predicts, never more than a budget a call.
    erode_queue_reset();
    queue_points(131072, 100, 100);
    int expect_calls = 0;
    for (int left = 131072; left > 0; expect_calls++) left -= std::min(left, budget_of(left));
    int calls = 0;
    while (erode_queue_count() > 0) {
        int before = erode_queue_count();
        erode_apply_queue(nullptr, 1);
        ASSERT_LE(before - erode_queue_count(), budget_of(before));
        calls++;
    }
    EXPECT_EQ(calls, expect_calls);
}

TEST(terrain_erode, a_full_queue_drops_and_says_so_once) {
    erode_field f;
    erode_capture capture;
    console_clear();
    queue_points(131072, 5, 5);
    queue_points(3, 5, 5);
    erode_apply_queue(nullptr, 1);
    queue_points(3000, 5, 5);
    EXPECT_EQ(erode_queue_count(), 131072);
    int said = 0;
    for (const auto &line : console_log.lines)
        if (strstr(line, "Erode queue full!")) said++;
    EXPECT_EQ(said, 1);
}

TEST(terrain_erode, points_near_the_protected_position_wait_up_to_256_ticks) {
    erode_field f;
    erode_capture capture;
    queue_points(1, 50, 50);
    queue_points(2, 120, 120);
    const float rider[3] = {55, 3, 55};
    test_tick = 1000;
    erode_apply_queue(rider, 1);
    EXPECT_EQ(erode_queue_count(), 3);   // the near point holds those behind it
    test_tick = 1256;
    erode_apply_queue(rider, 1);
    EXPECT_EQ(erode_queue_count(), 3);
    test_tick = 1257;
    erode_apply_queue(rider, 1);
    EXPECT_EQ(erode_queue_count(), 0);
    // A point farther than 10 ft goes at once.
    queue_points(1, 66, 50);
    erode_apply_queue(rider, 1);
    EXPECT_EQ(erode_queue_count(), 0);
    queue_points(5, 50, 50);
    erode_queue_reset();
    EXPECT_EQ(erode_queue_count(), 0);
}

// ---- Ruts -----------------------------------------------------------------------------------

// A point pushing across +z (the deposit lies 3 ft toward -z) at full strength.
static erode_point across(float x, float z, int samples = 8) {
    return erode_point{x, z, 0, 1, samples};
}

TEST(terrain_erode, ruts_deepen_pass_by_pass_with_a_berm_beside) {
    erode_field f;
    double dug = 0;
    float previous = 0, berm = 0;
    for (int pass = 0; pass < 10; pass++) {
        for (float x = 100; x <= 150; x += 1) {
            erode_apply_point(f.m.get(), across(x, 128), 1);
        }
        float line = f.at(125, 128);
        EXPECT_LT(line, previous) << pass;
        EXPECT_GT(f.at(125, 125), berm) << pass;
        previous = line;
        berm = f.at(125, 125);
    }
    for (float h : f.m.heights)
        if (h < 0) dug -= h;
    EXPECT_GT(dug, 0.1);
    EXPECT_NEAR(f.sum(), 0.0, 1e-6 * dug + 1e-5);
    // At the border the dig's sum counts samples outside the grid: more is laid down than dug.
    erode_field g;
    erode_apply_point(g.m.get(), erode_point{128, 0.5f, 0, -1, 8}, 1);
    EXPECT_GT(g.sum(), 1e-4);
}

TEST(terrain_erode, steep_deposits_and_pushless_points_dig_nothing) {
    erode_field steep(257, 1.0f, -0.6f);   // the deposit 3 ft toward -z lies 1.8 ft higher
    std::vector<float> before = steep.m.heights;
    erode_apply_point(steep.m.get(), across(100, 100), 1);
    EXPECT_EQ(steep.m.heights, before);
    erode_field flat;
    erode_apply_point(flat.m.get(), erode_point{100, 100, 0, 0, 8}, 1);
    EXPECT_EQ(flat.sum(), 0.0);
    // k = 32 codes decode to no push at all.
    erode_capture capture;
    std::vector<unsigned char> m(17, 0);
    m[0] = 1;
    m[9] = m[10] = m[11] = 0x80;   // about the middle
    m[12] = m[13] = m[14] = 0x80;
    m[15] = 32 << 2 | 3;
    m[16] = 32 << 2;
    erode_queue_message(m.data(), 17);
    erode_apply_queue(nullptr, 1);
    EXPECT_EQ(erode_queue_count(), 0);
    EXPECT_EQ(flat.sum(), 0.0);
}

TEST(terrain_erode, limits_and_downhill_scale_the_dig) {
    // The deposit 20 ft away leaves the dig's centre alone; no inner brush.
    auto centre_dig = [](float start, float slope, float downhill, erode_point p) {
        erode_field f(257, 1.0f, slope);
        f->kinds[0].erode.displacement = 20;
        f->kinds[0].erode.inner_depth = 0;
        f->kinds[0].erode.downhill_scale = downhill;
        for (float &h : f.m.heights) h += start;
        float before = f.at(128, 128);
        erode_apply_point(f.m.get(), p, 1);
        return before - f.at(128, 128);
    };
    float full = centre_dig(0, 0, 0, across(128, 128));
    EXPECT_NEAR(full, 8 * 3.0f / 2048, 1e-6);
    struct limit_case {
        float dug, factor;
    };
    for (limit_case c : {limit_case{-0.5f, 1.0f}, {0.0f, 1.0f}, {0.25f, 0.8f}, {0.5f, 0.6f}, {0.75f, 0.35f}, {1.0f, 0.1f}, {3.0f, 0.1f}})
        EXPECT_NEAR(centre_dig(-c.dug, 0, 0, across(128, 128)) / full, c.factor, 1e-4) << c.dug;
    // Downhill (the deposit 20 ft on lies 4 ft lower): 1 + 4 / 20 x 1.
    EXPECT_NEAR(centre_dig(0, 0.2f, 1, erode_point{128, 128, 0, 1, 8}) / full, 1.2f, 2e-3);   // (heights near 25 ft)
}
