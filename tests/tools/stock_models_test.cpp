// The generator's models as records: the skeleton agrees with the bike row's limb lengths and
// rest positions, every rider weight set sums to 1 over at most four bones, triangles face the
// way their normals say, models are the same on every call, and each base word's files differ
// only in the picture's colours.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/modelgen.h"

namespace {

double distance(const double a[3], const double b[3]) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

std::vector<datagen_jm_model> every_model() {
    std::vector<datagen_jm_model> out;
    for (int rear = 0; rear < 2; rear++)
        for (int detail = 0; detail < 3; detail++) out.push_back(datagen_wheel_model(rear, detail));
    for (int detail = 0; detail < 2; detail++) out.push_back(datagen_rider_head_model(detail));
    for (int kind = 0; kind < 2; kind++) out.push_back(datagen_rider_body_model(kind, 0));
    out.push_back(datagen_rider_body_model(0, 1));
    out.push_back(datagen_rider_plate_model());
    for (int file = 0; file < BIKE_FILE_TEXTURE; file++) out.push_back(datagen_bike_part_model(file));
    return out;
}

}  // namespace

TEST(tools_stock_models, SkeletonFitsTheBikeRow) {
    const datagen_rider_skeleton &s = datagen_skeleton;
    EXPECT_EQ(s.upper_arm, 0.9);
    EXPECT_EQ(s.forearm, 1.15);
    EXPECT_EQ(s.thigh, 1.328);
    EXPECT_EQ(s.shin, 1.701);
    const double lengths[RIDER_BONES] = {0, s.upper_arm, s.forearm, s.upper_arm, s.forearm,
                                         s.thigh, s.shin, s.thigh, s.shin};
    for (int b = 1; b < RIDER_BONES; b++) {
        EXPECT_NEAR(distance(s.bones[b].root, s.bones[b].end), lengths[b], 1e-5) << s.bones[b].name;
        // Upper bones end where their lower bones begin.
        if (b % 2 == 1) {
            EXPECT_EQ(distance(s.bones[b].end, s.bones[b + 1].root), 0) << s.bones[b].name;
        }
    }
    EXPECT_STREQ(s.bones[RIDER_BONE_LEFT_FOREARM].name, "left forearm");
    const datagen_bike_rest &r = datagen_rest;
    for (int side = 0; side < 2; side++) {
        const datagen_rider_bone &forearm = s.bones[side ? RIDER_BONE_RIGHT_FOREARM : RIDER_BONE_LEFT_FOREARM];
        const datagen_rider_bone &shin = s.bones[side ? RIDER_BONE_RIGHT_SHIN : RIDER_BONE_LEFT_SHIN];
        EXPECT_EQ(s.grips[side][0] < 0, side == 0);  // left is -x
        for (int k = 0; k < 3; k++) {
            // Hands on the grips, the ankles above and behind the pegs, at rest.
            EXPECT_NEAR(r.rider[k] + forearm.end[k], r.fork_upper[k] + s.grips[side][k], 1e-6);
            const double ankle_over_peg[3] = {0, 0.28, 0.25};
            EXPECT_NEAR(r.rider[k] + shin.end[k], r.frame[k] + s.pegs[side][k] + ankle_over_peg[k], 1e-6);
        }
    }
}

TEST(tools_stock_models, WeightsWindingAndDeterminism) {
    std::vector<datagen_jm_model> models = every_model(), again = every_model();
    for (size_t n = 0; n < models.size(); n++) {
        const datagen_jm_model &m = models[n];
        for (const datagen_jm_mesh &mesh : m.meshes) {
            for (const datagen_jm_vertex &v : mesh.vertices) {
                ASSERT_EQ((int)v.weights.size(), m.version == 2 ? m.bone_count : 0) << n;
                double sum = 0;
                int used = 0;
                for (double w : v.weights) {
                    sum += w;
                    used += w > 0;
                }
                if (m.version == 2) {
                    EXPECT_NEAR(sum, 1, 1e-9) << n;
                    EXPECT_LE(used, 4) << n;
                }
                for (double c : v.uv) {
                    EXPECT_GE(c, 0) << n;
                    EXPECT_LE(c, 1) << n;
                }
            }
            // Front faces turn towards their corners' normals.
            for (const auto &t : mesh.triangles) {
                const double *p0 = mesh.vertices[t[0]].position, *p1 = mesh.vertices[t[1]].position,
                             *p2 = mesh.vertices[t[2]].position;
                double e1[3], e2[3], normal[3] = {0, 0, 0};
                for (int k = 0; k < 3; k++) {
                    e1[k] = p1[k] - p0[k];
                    e2[k] = p2[k] - p0[k];
                    for (int c = 0; c < 3; c++) normal[k] += mesh.vertices[t[c]].normal[k];
                }
                double face[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                  e1[0] * e2[1] - e1[1] * e2[0]};
                EXPECT_GE(face[0] * normal[0] + face[1] * normal[1] + face[2] * normal[2], 0) << n;
            }
        }
        EXPECT_EQ(datagen_jm(m), datagen_jm(again[n])) << n;
    }
}

TEST(tools_stock_models, BaseWordsShareTheGeometry) {
    ASSERT_EQ(datagen_bike_word_count, 6);
    EXPECT_STREQ(datagen_bike_words[0].word, "yz250fv2014");
    const char *classes[] = {"250f", "125", "250", "250f", "450f", "50"};
    for (int i = 0; i < datagen_bike_word_count; i++) {
        EXPECT_STREQ(datagen_bike_words[i].engine_class, classes[i]);
        EXPECT_EQ(datagen_bike_file_bytes(i, BIKE_FILE_FRAME), datagen_bike_file_bytes(0, BIKE_FILE_FRAME));
        // Every file of the word is a member of the archive.
        for (const char *tail : {"_frame.jm", "_frame_lod6.jm", "_fork_upper.jm", "_fork_upper_lod6.jm",
                                 "_fork_lower.jm", "_fork_lower_lod6.jm", "_swingarm.jm",
                                 "_swingarm_lod6.jm", "_side_plates.jm", "_front_plate.jm", ".png"}) {
            std::string name = std::string(datagen_bike_words[i].word) + tail;
            int found = 0;
            for (int k = 0; k < datagen_member_count; k++) found += name == datagen_members[k].name;
            EXPECT_EQ(found, 1) << name;
        }
    }
    // Only the picture's colours tell the words apart.
    datagen_image a = datagen_bike_image(0), b = datagen_bike_image(3);
    ASSERT_EQ(a.pixels.size(), b.pixels.size());
    EXPECT_NE(a.pixels, b.pixels);
    // The chrome tubes are the upper fork's last mesh, reflective with factor 0.8.
    datagen_jm_model fork = datagen_bike_part_model(BIKE_FILE_FORK_UPPER);
    EXPECT_EQ(fork.meshes.back().mode, -1);
    EXPECT_EQ(fork.meshes.back().factor, 0.8);
}
