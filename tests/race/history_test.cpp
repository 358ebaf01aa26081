// The rider state history: insertion in tick order, the unsent marks, the pair and pose at a
// view tick, and the field-by-field blend of two packed records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/console.h"
#include "race/history.h"

// A record whose three position fractions are the tick, marked by the byte after them.
static std::vector<unsigned char> record(int tick, unsigned char mark = 0) {
    std::vector<unsigned char> r(PACKED_STATE_BYTES, 0);
    for (int i = 0; i < 3; i++) {
        r[3 * i] = (unsigned char)tick;
        r[3 * i + 1] = (unsigned char)(tick >> 8);
        r[3 * i + 2] = (unsigned char)(tick >> 16);
    }
    r[36] = mark;
    return r;
}

static int position_of(const unsigned char *r) {
    return r[0] | r[1] << 8 | r[2] << 16;
}

static void add(int slot, int tick, unsigned char mark = 0) {
    add_state_to_history(slot, record(tick, mark).data(), tick);
}

// The ticks from the head backward.
static std::vector<int> ticks_newest_first(int slot) {
    std::vector<int> out;
    const rider_history_record &h = rider_history[slot];
    for (int k = 0; k < HISTORY_RECORDS; k++) {
        int i = (h.head - k + HISTORY_RECORDS) % HISTORY_RECORDS;
        if (h.ticks[i] < 0) break;
        EXPECT_EQ(position_of(h.states[i]), h.ticks[i]) << "a record parted from its tick";
        out.push_back(h.ticks[i]);
    }
    return out;
}

TEST(race_history, InsertionKeepsTickOrderAndTheFirstRecordOfATick) {
    history_clear_all();
    for (int t : {0, 4, 8, 6}) add(3, t);
    EXPECT_EQ(ticks_newest_first(3), (std::vector<int>{8, 6, 4, 0}));
    EXPECT_EQ(rider_history[3].ticks[rider_history[3].head], 8);
    EXPECT_EQ(rider_history[3].pending, 4);

    add(3, 8, 77);   // a second record for tick 8 is dropped
    const rider_history_record &h = rider_history[3];
    EXPECT_EQ(h.states[h.head][36], 0);
    EXPECT_EQ(ticks_newest_first(3).size(), 4u);

    // Out of range slots and negative ticks change nothing.
    console_clear();
    add_state_to_history(160, record(1).data(), 1);
    add_state_to_history(-1, record(1).data(), 1);
    EXPECT_STREQ(console_log.lines[0], "add_state_to_history: slot out of range");
    add_state_to_history(3, record(0).data(), -1);
    EXPECT_EQ(ticks_newest_first(3).size(), 4u);
}

TEST(race_history, AFullRingDropsWhatIsOlderThanItsOldestAndRollsOnForNewer) {
    history_clear_all();
    for (int t = 100; t < 100 + HISTORY_RECORDS; t++) add(0, t);
    rider_history_record before = rider_history[0];
    add(0, 50);   // older than every record of the full ring
    EXPECT_EQ(memcmp(&before, &rider_history[0], sizeof before), 0);
    add(0, 100);  // the oldest tick again
    EXPECT_EQ(memcmp(&before, &rider_history[0], sizeof before), 0);

    // An insert in the middle pushes the oldest out; a newer one appends.
    add_state_to_history(0, record(150).data(), 150);   // already there
    std::vector<unsigned char> r = record(1000);
    add_state_to_history(0, r.data(), 1000);
    std::vector<int> t = ticks_newest_first(0);
    ASSERT_EQ(t.size(), (size_t)HISTORY_RECORDS);
    EXPECT_EQ(t.front(), 1000);
    EXPECT_EQ(t.back(), 101);
    for (size_t i = 1; i < t.size(); i++) EXPECT_GT(t[i - 1], t[i]);
}

TEST(race_history, UnsentMarksFollowTheirRecordsThroughInserts) {
    history_clear_all();
    for (int t : {4, 8}) add(1, t);
    rider_history_record &h = rider_history[1];
    memset(h.unsent, 0, sizeof h.unsent);   // the writer took them
    h.pending = 0;
    for (int t : {12, 16, 14, 6}) add(1, t);
    std::vector<int> unsent;
    for (int k = 1; k <= HISTORY_RECORDS; k++) {
        int i = (h.head + k) % HISTORY_RECORDS;
        if (h.unsent[i]) unsent.push_back(h.ticks[i]);
    }
    EXPECT_EQ(unsent, (std::vector<int>{6, 12, 14, 16}));
    EXPECT_EQ(h.pending, 4);
}

TEST(race_history, PosingBlendsExtrapolatesAndHolds) {
    history_clear_all();
    history_pose_record p;
    EXPECT_EQ(history_pose_at(5, 10, 6, &p), 0) << "an empty ring poses nothing";

    add(5, 20);
    ASSERT_EQ(history_pose_at(5, 10, 6, &p), 1);
    EXPECT_EQ(position_of(p.current), 20) << "a single record, viewed before it";
    EXPECT_EQ(p.interval, 1);

    history_clear(5);
    add(5, 4);
    add(5, 8);
    struct {
        int view;
        int position;     // of the record posed
        double fraction;
        int exact;        // 1: a record of the ring unchanged
    } cases[] = {
        {2, 4, 0, 1},      // before the oldest: the oldest alone
        {4, 4, 0, 1},
        {5, 5, 0.25, 0},
        {6, 6, 0.5, 0},
        {8, 8, 1, 1},      // exactly the newest
        {40, 40, 9, 0},    // extrapolated
        {72, 72, 17, 0},
        {100, 72, 17, 0},  // held 64 ticks past the newest
    };
    for (auto &c : cases) {
        ASSERT_EQ(history_pose_at(5, c.view, 6, &p), 1);
        EXPECT_EQ(position_of(p.current), c.position) << c.view;
        EXPECT_DOUBLE_EQ(p.fraction, c.fraction) << c.view;
        EXPECT_EQ(p.exact >= 0, c.exact == 1) << c.view;
        if (c.view > 4) {
            EXPECT_EQ(rider_history[5].ticks[p.older], 4);
            EXPECT_EQ(rider_history[5].ticks[p.newer], 8);
            EXPECT_EQ(p.interval, 4);
        }
    }
}

// A record with quaternions (w, x, y, z) stored as u16 fractions of -1..1.
static void put_quaternion(unsigned char *r, const double q[4]) {
    for (int i = 0; i < 4; i++) {
        unsigned v = (unsigned)std::floor((q[i] + 1) / 2 * 65535 + 0.5);
        r[2 * i] = (unsigned char)v;
        r[2 * i + 1] = (unsigned char)(v >> 8);
    }
}

static double quaternion_component(const unsigned char *r, int i) {
    return 2.0 * (r[2 * i] | r[2 * i + 1] << 8) / 65535.0 - 1;
}

TEST(race_history, BlendFieldByField) {
    std::vector<unsigned char> a = record(1000, 0x25), b = record(2000, 0x13);
    const double qa[4] = {1, 0, 0, 0}, qb[4] = {-0.9, -0.43589, 0, 0};
    put_quaternion(a.data() + 9, qa);
    put_quaternion(b.data() + 9, qb);
    put_quaternion(a.data() + 26, qa);
    put_quaternion(b.data() + 26, qa);
    a[17] = 0, b[17] = 200;
    a[18] = 11, b[18] = 101;   // bit 0 set, as a rider packs it
    a[34] = 250, b[34] = 5;
    a[35] = 10, b[35] = 20;
    unsigned char out[PACKED_STATE_BYTES];

    // t = 0 and version 4 give a unchanged.
    history_interpolate_state(out, a.data(), b.data(), 0, 6);
    EXPECT_EQ(memcmp(out, a.data(), PACKED_STATE_BYTES), 0);
    history_interpolate_state(out, a.data(), b.data(), 0.5, 4);
    EXPECT_EQ(memcmp(out, a.data(), PACKED_STATE_V4_BYTES), 0);

    history_interpolate_state(out, a.data(), b.data(), 0.5, 6);
    EXPECT_EQ(position_of(out), 1500);
    EXPECT_LT(quaternion_component(out + 9, 0), -0.9) << "the short way round";
    EXPECT_EQ(out[17], 100);
    EXPECT_EQ(out[18], 56 & 0xFE) << "bit 0 of byte 18 cleared";
    EXPECT_EQ(out[36], 0x25) << "byte 36 from a";

    // The wheel turns forward through 0.
    struct {
        double t;
        int front;
    } wheels[] = {{0.2, 252}, {0.8, 3}};
    for (auto &w : wheels) {
        history_interpolate_state(out, a.data(), b.data(), w.t, 6);
        EXPECT_EQ(out[34], w.front) << w.t;
    }

    // Extrapolation moves only the position.
    history_interpolate_state(out, a.data(), b.data(), 3, 6);
    EXPECT_EQ(position_of(out), 4000);
    EXPECT_EQ(out[17], b[17]);
    EXPECT_EQ(out[34], b[34]);
    EXPECT_EQ(out[35], b[35]);
    for (int i = 0; i < 4; i++) EXPECT_NEAR(quaternion_component(out + 9, i), qb[i] / std::sqrt(0.9 * 0.9 + 0.43589 * 0.43589), 1e-4);

    // The 24-bit position clamps at 0 and at 1.
    std::vector<unsigned char> low_a = record(10), low_b = record(5), high_a = record(16777205),
                               high_b = record(16777210);
    history_interpolate_state(out, low_a.data(), low_b.data(), 10, 6);
    EXPECT_EQ(position_of(out), 0);
    history_interpolate_state(out, high_a.data(), high_b.data(), 10, 6);
    EXPECT_EQ(position_of(out), 16777215);
}
