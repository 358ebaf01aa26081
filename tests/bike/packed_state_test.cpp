// The packed rider state: the pure codec's cases and round trips, and records packed from and
// put onto a loaded bike's bodies.
#include <cmath>
#include <random>

#include "bike/packed_state.h"
#include "tests/bike/bike_test_support.h"

namespace {
packed_ranges ranges(double e) {
    return {e, -50, 0.5303, 1.0, -0.6667, 0.5};
}
}  // namespace

TEST(bike_packed_codec, EdgeCases) {
    packed_values v = {};
    v.frame_quaternion[0] = 1;
    v.rider_quaternion[0] = 1;
    unsigned char out[39];
    struct {
        const char *label;
        double x, rpm, steer;
        int byte;
        uint32_t want;
        int bytes;
    } cases[] = {
        {"x below 0", -3, 0, 0, 0, 0, 3},
        {"x beyond E", 1025, 0, 0, 0, 16777215, 3},
        {"rpm 40000", 0, 40000, 0, 37, 65535, 2},
        {"steering 0", 0, 0, 0, 17, 128, 1},
        {"NaN x", NAN, 0, 0, 0, 0, 3},
        {"NaN rpm", 0, NAN, 0, 37, 0, 2},
    };
    for (auto &c : cases) {
        v.frame_position[0] = c.x;
        v.rpm = c.rpm;
        v.steering = c.steer;
        packed_state_encode(v, ranges(1024), out);
        uint32_t got = 0;
        for (int i = 0; i < c.bytes; i++) got |= (uint32_t)out[c.byte + i] << (8 * i);
        EXPECT_EQ(got, c.want) << c.label;
    }
    EXPECT_EQ(packed_state_decode(out, 5, ranges(1024)).rpm, 0);
    v.rpm = 40000;
    packed_state_encode(v, ranges(1024), out);
    EXPECT_EQ(packed_state_decode(out, 5, ranges(1024)).rpm, 32768);
    // No terrain: E = 0 stores 0.
    v.frame_position[0] = 100;
    packed_state_encode(v, ranges(0), out);
    EXPECT_EQ(out[0] | out[1] | out[2], 0);
    // Gear bytes.
    EXPECT_EQ(packed_gear_byte(200, 3, 0, 0.5f), 0xF7);
    EXPECT_EQ(packed_respawn_counter(0xF7), 128);
    EXPECT_EQ(packed_gear_byte(128, 0, 0, 0), 0xF7);
    EXPECT_EQ(packed_gear_byte(0, 2, 1, 0.99f), 0xEA);
    EXPECT_EQ(packed_respawn_counter(0x17), 9);
    EXPECT_EQ(packed_gear_byte(9, 0, 0, 0), 0x07);
    EXPECT_EQ(packed_gear_byte(0, 9, 0, NAN), 6);
}

TEST(bike_packed_codec, DecodeThenEncodeGivesTheSameBytes) {
    std::mt19937 rng(12345);
    for (double e : {256.0, 2048.0, 8192.0}) {
        packed_ranges r = ranges(e);
        for (int n = 0; n < 100000; n++) {
            unsigned char rec[39], again[39];
            for (unsigned char &b : rec) b = (unsigned char)rng();
            packed_state_encode(packed_state_decode(rec, 5, r), r, again);
            ASSERT_EQ(memcmp(rec, again, 39), 0) << "E " << e << " record " << n;
        }
    }
}

using bike_packed_state = bike_fixture;

// A record of a pose within the joints' stops, from the generator.
static void random_record(std::mt19937 &rng, unsigned char rec[39]) {
    for (int i = 0; i < 39; i++) rec[i] = (unsigned char)rng();
    rec[36] = (unsigned char)(rng() % 6 | (rng() & 0xF0));
    // Rider within 2 ft of its seat offset (0, 2.52, 0.52).
    auto put16 = [&](int at, double v) {
        uint32_t q = packed_quantise(v, -16, 16, 65535);
        rec[at] = (unsigned char)q;
        rec[at + 1] = (unsigned char)(q >> 8);
    };
    std::uniform_real_distribution<double> d(-1, 1);
    put16(20, d(rng));
    put16(22, 2.52 + d(rng));
    put16(24, 0.52 + d(rng));
}

TEST_F(bike_packed_state, PackUnpackPackThroughTheBodies) {
    ASSERT_NE(load("yz250f(2017)", 0), nullptr);
    ASSERT_NE(load("yz250f(2017)", 1), nullptr);
    std::mt19937 rng(7);
    for (int n = 0; n < 200; n++) {
        unsigned char rec[39], a[39], b[39];
        random_record(rng, rec);
        bike_unpack_state(&rider_table[0], rec, 5);
        bike_pack_state(&rider_table[0], a);
        bike_unpack_state(&rider_table[1], a, 5);
        bike_pack_state(&rider_table[1], b);
        for (int i = 0; i < 39; i++) {
            bool exact = i <= 8 || (i >= 20 && i <= 25) || i >= 36;
            if (exact)
                EXPECT_EQ(a[i], b[i]) << "byte " << i << " record " << n;
            else
                EXPECT_LE(std::abs(a[i] - b[i]), 1) << "byte " << i << " record " << n;
        }
        for (int k = 0; k < BIKE_BODIES; k++)
            for (int i = 0; i < 3; i++) ASSERT_TRUE(std::isfinite(dBodyGetPosition(bike_body_of(&rider_table[1], k))[i]));
    }
}

TEST_F(bike_packed_state, RespawnThenRidingReseatsTheRider) {
    rider_slot *s = load();
    unsigned char rec[39];
    bike_pack_state(s, rec);
    rec[36] = 0xF7;
    bike_unpack_state(s, rec, 5);
    EXPECT_EQ(s->respawn_counter, 128);
    EXPECT_EQ(s->controls.throttle, 0);
    EXPECT_EQ(dJointGetBody(bike_joint_of(s, BIKE_JOINT_RIDER), 0), nullptr);
    rec[36] = 0x83;   // fourth gear, throttle 8/15
    bike_unpack_state(s, rec, 5);
    EXPECT_EQ(s->respawn_counter, 0);
    EXPECT_EQ(s->gear, 3);
    EXPECT_NEAR(s->controls.throttle, 8.0f / 15, 1e-6);
    EXPECT_EQ(dJointGetBody(bike_joint_of(s, BIKE_JOINT_RIDER), 0), bike_rider_body(s));
    // The seat is where it was: the anchors differ only by the record's quantised rider pose
    // (a step of the offset, and of the quaternion 50 ft out at the anchor).
    dVector3 a1, a2;
    dJointGetHinge2Anchor(bike_joint_of(s, BIKE_JOINT_RIDER), a1);
    dJointGetHinge2Anchor2(bike_joint_of(s, BIKE_JOINT_RIDER), a2);
    for (int i = 0; i < 3; i++) EXPECT_NEAR(a1[i], a2[i], 5e-3);
    bike_reset(s);
    dJointGetHinge2Anchor(bike_joint_of(s, BIKE_JOINT_RIDER), a1);
    dJointGetHinge2Anchor2(bike_joint_of(s, BIKE_JOINT_RIDER), a2);
    for (int i = 0; i < 3; i++) EXPECT_NEAR(a1[i], a2[i], 1e-9);
    // A version-4 record puts the rider on its travel line, turned like the frame.
    unsigned char old[26] = {};
    old[9] = old[10] = 0xFF;   // w = 1
    for (int i = 11; i < 17; i += 2) old[i] = 0, old[i + 1] = 0x80;
    old[23] = 0x01;
    bike_unpack_state(s, old, 4);
    EXPECT_EQ(s->gear, 1);
    for (int k = 0; k < BIKE_BODIES; k++)
        for (int i = 0; i < 3; i++) EXPECT_TRUE(std::isfinite(dBodyGetPosition(bike_body_of(s, k))[i]));
}

// The old form's wheels turn by bytes 21 and 22, its rider moves along the travel by byte 20.
TEST_F(bike_packed_state, VersionFourWheelsTurnByTheirOwnBytes) {
    rider_slot *s = load();
    unsigned char rec[39], old[26], again[39];
    bike_pack_state(s, rec);
    memcpy(old, rec, 20);
    for (int b : {0, 40, 128, 250}) {
        old[20] = (unsigned char)(255 - b);
        old[21] = (unsigned char)b;
        old[22] = (unsigned char)(b / 2 + 7);
        old[23] = 0x02;
        old[24] = old[25] = 0;
        bike_unpack_state(s, old, 4);
        bike_pack_state(s, again);
        EXPECT_LE(std::abs(again[34] - old[21]), 1) << b;
        EXPECT_LE(std::abs(again[35] - old[22]), 1) << b;
    }
}
