// The shipped models as the game reads them from the generated archive: every one loads
// without a cleaned triangle, with 0 or 9 bones and reflective meshes last; the level-of-detail
// versions attach; the wheels stay inside their tyres; the textures have their sides.
#include <cmath>
#include <cstring>
#include <map>

#include "core/folders.h"
#include "core/mem.h"
#include "gfx/image.h"
#include "tests/gfx/model_test_support.h"

namespace {

class gfx_stock_models : public gfx_model {
  protected:
    void SetUp() override {
        gfx_model::SetUp();
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        ASSERT_EQ(vfs_locate_game_data(), 1);
        vfs_build_index();
    }
};

bool ends_with(const std::string &s, const char *tail) {
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

TEST_F(gfx_stock_models, EveryShippedModelLoadsCleanly) {
    int files = 0;
    for (const char **n = vfs_build_index(); *n; n++) {
        std::string name = *n;
        if (ends_with(name, ".gz")) name.resize(name.size() - 3);
        if (!ends_with(name, ".jm")) continue;
        files++;
        console_clear();
        model_mesh *m = model_read_file(("@" + name).c_str());
        ASSERT_NE(m, nullptr) << name;
        EXPECT_EQ(test_console_count("degenerate"), 0) << name;
        EXPECT_EQ(test_console_count("Warning"), 0) << name;
        bool reflective_seen = false;
        for (model_mesh *k = m; k; k = k->next) {
            EXPECT_TRUE(k->bone_count == 0 || k->bone_count == 9) << name;
            EXPECT_EQ(k->bone_count, m->bone_count) << name;
            EXPECT_GT(k->triangle_count, 0) << name;
            bool reflective = k->mode == MESH_MODE_REFLECTIVE;
            if (reflective_seen) {
                EXPECT_TRUE(reflective) << name << ": a lit mesh after a reflective one";
            }
            reflective_seen |= reflective;
            for (int i = 0; k->weights && i < k->vertex_count; i++) {
                const float *w = k->weights + 4 * i;
                EXPECT_NEAR(w[0] + w[1] + w[2] + w[3], 1, 1e-5) << name;
            }
        }
        bool skinned = name.rfind("rider_body", 0) == 0 || name == "rider_plate.jm";
        EXPECT_EQ(m->bone_count, skinned ? 9 : 0) << name;
        model_free_meshes(m);
    }
    // Six wheel files, six of the rider, ten of each of the six base words, the gate arm, the
    // four trackside statues (hay bale, banner, tent, windsock) and the start tower.
    EXPECT_EQ(files, 6 + 6 + 6 * 10 + 1 + 4 + 1);
}

TEST_F(gfx_stock_models, LevelOfDetailVersionsAttach) {
    std::map<std::string, std::vector<float>> want = {
        {"@front_wheel.jm", {32, 128}}, {"@rear_wheel.jm", {32, 128}}, {"@rider_body.jm", {64}},
        {"@rider_body_fp.jm", {}},      {"@rider_head.jm", {64}},        {"@rider_plate.jm", {}}};
    for (const char *word : {"yz250fv2014", "zr125", "zr250", "zr250f", "zr450f", "zr50"}) {
        for (const char *part : {"_frame.jm", "_fork_upper.jm", "_fork_lower.jm", "_swingarm.jm"})
            want[std::string("@") + word + part] = {64};
        for (const char *part : {"_side_plates.jm", "_front_plate.jm"}) want[std::string("@") + word + part] = {};
    }
    for (auto &w : want) {
        model_mesh *m = model_load(w.first.c_str());
        ASSERT_NE(m, nullptr) << w.first;
        std::vector<float> got;
        for (model_mesh *v = m->next_lod; v; v = v->next_lod) {
            got.push_back(v->lod_distance);
            EXPECT_EQ(v->bone_count, m->bone_count) << w.first;  // the same bones, or the pose is lost
        }
        EXPECT_EQ(got, w.second) << w.first;
    }
    // Far versions are lighter.
    model_mesh *wheel = model_load("@front_wheel.jm");
    auto vertices = [](const model_mesh *m) {
        int n = 0;
        for (; m; m = m->next) n += m->vertex_count;
        return n;
    };
    EXPECT_GT(vertices(wheel), 3 * vertices(wheel->next_lod));
    EXPECT_GT(vertices(wheel->next_lod), 3 * vertices(wheel->next_lod->next_lod));
    model_mesh *head = model_load("@rider_head.jm");
    EXPECT_GT(vertices(head), 3 * vertices(head->next_lod));
}

TEST_F(gfx_stock_models, WheelsStayInsideTheirTyres) {
    // Ring and section radii of the tyres (the example bike row).
    const struct {
        const char *name;
        double outer;
    } wheels[] = {{"@front_wheel.jm", 0.8333 + 0.3333}, {"@rear_wheel.jm", 0.75 + 0.3333}};
    for (auto &w : wheels) {
        model_mesh *base = model_load(w.name);
        ASSERT_NE(base, nullptr);
        for (model_mesh *v = base; v; v = v->next_lod) {
            double reach = 0;
            for (model_mesh *m = v; m; m = m->next)
                for (int i = 0; i < m->vertex_count; i++) {
                    const float *p = m->positions + 3 * i;
                    reach = std::fmax(reach, std::sqrt((double)p[1] * p[1] + (double)p[2] * p[2]));
                    EXPECT_LT(std::fabs(p[0]), 0.35) << w.name;
                }
            EXPECT_LE(reach, w.outer + 1e-5) << w.name << " " << v->lod_distance;
            EXPECT_GT(reach, w.outer - 0.01) << w.name << " " << v->lod_distance;
        }
    }
}

TEST_F(gfx_stock_models, TexturesHaveTheirSides) {
    const struct {
        const char *name;
        int side;
    } pictures[] = {{"@wheels.png", 256}, {"@rider_head.png", 256}, {"@rider_body.png", 512},
                    {"@yz250fv2014.png", 512}, {"@zr125.png", 512}, {"@zr250.png", 512},
                    {"@zr250f.png", 512}, {"@zr450f.png", 512}, {"@zr50.png", 512}};
    for (auto &p : pictures) {
        unsigned char *pixels;
        int w, h, n;
        ASSERT_EQ(image_read_png(p.name, &pixels, &w, &h, &n, nullptr), 1) << p.name;
        EXPECT_EQ(w, p.side) << p.name;
        EXPECT_EQ(h, p.side) << p.name;
        EXPECT_EQ(n, 3) << p.name;
        mem_free(pixels);
    }
}
