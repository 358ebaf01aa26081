// Billboard ordering: depth keys, the radix sort against a stable reference sort, what is left
// out, the batching's look-ahead and its respect for overlapping spans.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "present/billboards.h"

namespace {

// A view looking along -z from the origin, or turned by yaw.
struct view {
    float eye[3] = {0, 0, 0};
    float rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
};

view yawed(float yaw, float ex, float ez) {
    view v;
    float c = std::cos(yaw), s = std::sin(yaw);
    // Columns right, up, backward: backward = (s, 0, c).
    const float r[9] = {c, 0, s, 0, 1, 0, -s, 0, c};
    for (int i = 0; i < 9; i++) v.rotation[i] = r[i];
    v.eye[0] = ex;
    v.eye[2] = ez;
    return v;
}

std::vector<billboard> seeded_rows(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> pos(-3000, 3000), size(1, 30), aspect(0.2f, 2);
    std::uniform_int_distribution<int> tex(0, 6), alpha(0, 9);
    std::vector<billboard> rows(n);
    for (auto &b : rows) {
        b = {pos(rng), pos(rng) / 10, pos(rng), size(rng), 0, aspect(rng), 0, tex(rng),
             255, 255, 255, (uint8_t)(alpha(rng) ? 200 : 0)};
    }
    return rows;
}

}  // namespace

TEST(present_billboards, DepthKeysClampAndRefuseNonFinite) {
    uint32_t k = 7;
    ASSERT_EQ(scene_depth_key(0, &k), 1);
    EXPECT_EQ(k, 1u << 24);
    ASSERT_EQ(scene_depth_key(-20000, &k), 1);
    EXPECT_EQ(k, 0u);   // beyond 16,384 ft in front: clamped, not wrapped
    ASSERT_EQ(scene_depth_key(20000, &k), 1);
    EXPECT_EQ(k, (uint32_t)(20000 * 1024.0 + 16777216.0));
    ASSERT_EQ(scene_depth_key(1e30, &k), 1);
    EXPECT_EQ(k, 4294967295u);
    EXPECT_EQ(scene_depth_key(std::nan(""), &k), 0);
    EXPECT_EQ(scene_depth_key(INFINITY, &k), 0);
}

TEST(present_billboards, SortMatchesAStableSortByKey) {
    std::vector<billboard> rows = seeded_rows(5000, 21);
    rows[2100].x = NAN;
    rows[2101].z = INFINITY;
    rows[2102].size = NAN;
    rows[2103].z = -1e30f;   // very far ahead: key 0, still drawn
    rows[2104].z = -20000;
    for (const view &v : {yawed(0, 0, 0), yawed(0.7f, 100, -40), yawed(-2.5f, -900, 300)}) {
        std::vector<int> order(2 * rows.size(), 12345);
        int kept = billboard_sort(rows.data(), (int)rows.size(), order.data(), v.eye, v.rotation);
        // The reference: drawable rows whose key lies before the eye's, stable by key.
        double c2 = v.rotation[2], c5 = v.rotation[5], c8 = v.rotation[8];
        uint32_t eye_key;
        ASSERT_EQ(scene_depth_key(c2 * v.eye[0] + c5 * v.eye[1] + c8 * v.eye[2], &eye_key), 1);
        std::vector<std::pair<uint32_t, int>> want;
        for (int i = 0; i < (int)rows.size(); i++) {
            const billboard &b = rows[i];
            if (!b.texture || !b.a) continue;
            if (!std::isfinite(b.x) || !std::isfinite(b.z) || !std::isfinite(b.size)) continue;
            double w = i < 2000 ? (double)b.size * b.aspect : 0;
            uint32_t key;
            ASSERT_EQ(scene_depth_key(c2 * b.x + c5 * b.y + c8 * b.z + w, &key), 1);
            EXPECT_EQ((uint32_t)b.depth_key, key);
            if (key < eye_key) want.push_back({key, i});
        }
        std::stable_sort(want.begin(), want.end(),
                         [](auto &a, auto &b) { return a.first < b.first; });
        ASSERT_EQ(kept, (int)want.size());
        for (int i = 0; i < kept; i++) ASSERT_EQ(order[i], want[i].second) << i;
        EXPECT_EQ(order[kept], -1);
    }
}

TEST(present_billboards, StraightDownDrawsNoneAndShortListsStayInside) {
    view down;
    const float r[9] = {1, 0, 0, 0, 0, 1, 0, -1, 0};   // backward axis straight up
    for (int i = 0; i < 9; i++) down.rotation[i] = r[i];
    float right[3];
    EXPECT_EQ(billboard_right(right, down.rotation), 0);
    view ahead;
    EXPECT_EQ(billboard_right(right, ahead.rotation), 1);
    // An order list of exactly 2n entries, on the heap so that reading past it is caught.
    for (int n : {1, 2, 3, 17}) {
        std::vector<billboard> rows(n, billboard{0, 0, -10, 2, 0, 1, 0, 5, 255, 255, 255, 255});
        for (int i = 0; i < n; i++) rows[i].z = -10.0f - i;
        int *order = new int[2 * n];
        int kept = billboard_sort(rows.data(), n, order, ahead.eye, ahead.rotation);
        EXPECT_EQ(kept, n);
        billboard_batch(rows.data(), order, 8, ahead.eye, right);
        EXPECT_EQ(order[n], -1);
        delete[] order;
    }
}

TEST(present_billboards, BatchingKeepsOverlappingPairsInDepthOrder) {
    std::vector<billboard> rows = seeded_rows(3000, 5);
    view v = yawed(0.3f, 20, 10);
    float right[3];
    ASSERT_EQ(billboard_right(right, v.rotation), 1);
    std::vector<int> sorted(2 * rows.size());
    int kept = billboard_sort(rows.data(), (int)rows.size(), sorted.data(), v.eye, v.rotation);
    ASSERT_GT(kept, 500);
    // Look-ahead 0 and 1: pure depth order.
    for (int w : {0, 1}) {
        std::vector<int> order = sorted;
        billboard_batch(rows.data(), order.data(), w, v.eye, right);
        EXPECT_EQ(order, sorted);
    }
    std::vector<int> order = sorted;
    billboard_batch(rows.data(), order.data(), 8, v.eye, right);
    // The same rows, fewer texture changes.
    std::vector<int> a(order.begin(), order.begin() + kept), b(sorted.begin(), sorted.begin() + kept);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
    auto runs = [&](const std::vector<int> &o) {
        int n = 0;
        for (int i = 0; i < kept; i++) n += i == 0 || rows[o[i]].texture != rows[o[i - 1]].texture;
        return n;
    };
    EXPECT_LT(runs(order), runs(sorted));
    // Every pair whose spans overlap keeps its depth order.
    std::vector<int> rank(rows.size());
    for (int i = 0; i < kept; i++) rank[sorted[i]] = i;
    auto end = [&](const billboard &r, int side, double *x, double *z) {
        double h = r.size * r.aspect / 2 * side;
        *x = r.x - v.eye[0] + right[0] * h;
        *z = r.z - v.eye[2] + right[2] * h;
    };
    int checked = 0;
    for (int i = 0; i < kept; i++)
        for (int j = i + 1; j < kept; j++) {
            const billboard &t = rows[order[j]], &u = rows[order[i]];
            double a1x, a1z, a2x, a2z, b1x, b1z, b2x, b2z;
            end(t, -1, &a1x, &a1z);
            end(t, 1, &a2x, &a2z);
            end(u, -1, &b1x, &b1z);
            end(u, 1, &b2x, &b2z);
            bool overlap = b2x * a1z - b2z * a1x < 0 && a2x * b1z - a2z * b1x < 0;
            if (!overlap) continue;
            checked++;
            EXPECT_LT(rank[order[i]], rank[order[j]]) << i << " " << j;
        }
    EXPECT_GT(checked, 0);
}
