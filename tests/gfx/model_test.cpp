// Reading JM files and the model cache: round trips through the generator's writer (plain,
// gzip, legacy, JM2), weights and triangle cleaning, hostile files, tangents, level-of-detail
// attachment from the file index, generations and purging, and the ray-tracer text.
#include <cmath>
#include <cstdio>

#include "tests/gfx/model_test_support.h"
#include "tools/zrdatagen/datagen.h"

namespace {

int mesh_count(const model_mesh *m) {
    int n = 0;
    for (; m; m = m->next) n++;
    return n;
}

// The file's numbers of one mesh against what was read.
void expect_same_mesh(const datagen_jm_mesh &want, const model_mesh *got) {
    ASSERT_EQ(got->vertex_count, (int)want.vertices.size());
    ASSERT_EQ(got->triangle_count, (int)want.triangles.size());
    for (int i = 0; i < got->vertex_count; i++) {
        const datagen_jm_vertex &v = want.vertices[i];
        for (int k = 0; k < 3; k++) {
            EXPECT_NEAR(got->positions[3 * i + k], v.position[k], 1e-6);
            EXPECT_NEAR(got->normals[3 * i + k], v.normal[k], 1e-6);
        }
        EXPECT_NEAR(got->uvs[2 * i], v.uv[0], 1e-6);
        EXPECT_NEAR(got->uvs[2 * i + 1], 1 - v.uv[1], 1e-6);
    }
    for (int t = 0; t < got->triangle_count; t++)
        for (int k = 0; k < 3; k++) EXPECT_EQ(got->triangles[3 * t + k], want.triangles[t][k]);
}

}  // namespace

TEST_F(gfx_model, RoundTripsEveryLayout) {
    datagen_jm_mesh lit = test_square(24), shiny = test_square(-1, 2, 3);
    datagen_jm_model two = test_model({lit, shiny});
    for (const char *name : {"two.jm", "two.jm.gz"}) {
        std::string text = datagen_jm(two);
        put(name, std::string(name).find(".gz") != std::string::npos ? datagen_gzip(text) : text);
        model_mesh *m = model_read_file("@two.jm");
        ASSERT_NE(m, nullptr) << name;
        ASSERT_EQ(mesh_count(m), 2);
        expect_same_mesh(lit, m);
        expect_same_mesh(shiny, m->next);
        EXPECT_EQ(m->mode, 24);
        EXPECT_EQ(m->factor, 1.0f);  // lit meshes: 1 whatever the file says
        EXPECT_EQ(m->colour[1], 0.5f);
        EXPECT_EQ(m->next->factor, 0.5f);
        EXPECT_EQ(m->next->reflective, 1);
        EXPECT_EQ(m->reflective, 1);  // the head stands for the model
        EXPECT_STREQ(m->next->name, "@two.jm");
        EXPECT_EQ(m->bone_count, 0);
        EXPECT_EQ(m->weights, nullptr);
        EXPECT_NE(m->display_list, 0u);  // lit without bones
        model_free_meshes(m);
        std::remove(dir.file(std::string("game/") + name).c_str());
    }

    // The legacy layout: one white mesh of mode 32 with a display list.
    datagen_jm_model legacy = test_model({test_square()}, 0);
    model_mesh *m = model_read_file(put("legacy.jm", legacy).c_str());
    ASSERT_NE(m, nullptr);
    expect_same_mesh(legacy.meshes[0], m);
    EXPECT_EQ(m->mode, MESH_MODE_LEGACY);
    EXPECT_EQ(m->colour[0], 1.0f);
    EXPECT_EQ(m->colour[2], 1.0f);
    EXPECT_EQ(m->factor, 1.0f);
    EXPECT_NE(m->display_list, 0u);
    EXPECT_EQ(m->next, nullptr);
    model_free_meshes(m);

    // JM2: the bone count and its word, weights with their bone numbers, the rest half.
    datagen_jm_model bar = test_bar();
    bar.word = "anything";
    game_settings.shaders_active = 0;
    m = model_read_file(put("bar.jm", bar).c_str());
    ASSERT_NE(m, nullptr);
    expect_same_mesh(bar.meshes[0], m);
    EXPECT_EQ(m->bone_count, 2);
    EXPECT_EQ(m->display_list, 0u);  // skinned on the processor: drawn from the arrays
    int n = m->vertex_count;
    for (int i = 0; i < n; i++) {
        for (int k = 0; k < 3; k++) EXPECT_EQ(m->positions[3 * (n + i) + k], m->positions[3 * i + k]);
        float x = m->positions[3 * i];
        EXPECT_NEAR(m->weights[4 * i], x == 0 ? 0.5 : 1, 1e-6) << i;
        EXPECT_EQ(m->bone_numbers[4 * i], x > 0 ? 1 : 0) << i;
    }
    model_free_meshes(m);

    // A second mesh cut short by the end of the file: the first one stays, nothing is said.
    std::string text = datagen_jm(test_model({lit, shiny}));
    m = model_read_file(put("short.jm", text.substr(0, text.size() - 10)).c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(mesh_count(m), 1);
    EXPECT_EQ(m->reflective, 0);
    EXPECT_EQ(test_console_count("Warning"), 0);
    model_free_meshes(m);
}

TEST_F(gfx_model, WeightsTrianglesAndNamesFollowTheRules) {
    // Weights, one vertex each: zero weights; five weights (the fifth takes the smallest slot).
    struct {
        std::vector<double> weights;
        float want[4];
        int bones[4];
        int warnings;
    } cases[] = {
        {{0, 0, 0}, {0.25f, 0.25f, 0.25f, 0.25f}, {0, 0, 0, 0}, 0},
        {{0.5, 0.4, 0.3, 0.2, 0.1}, {0.5f / 1.3f, 0.4f / 1.3f, 0.3f / 1.3f, 0.1f / 1.3f}, {0, 1, 2, 4}, 1},
        {{0, 2, 0, 2}, {0.5f, 0.5f, 0, 0}, {1, 3, 0, 0}, 0},
    };
    for (auto &c : cases) {
        console_clear();
        datagen_jm_mesh mesh = test_square();
        for (auto &v : mesh.vertices) v.weights = c.weights;
        datagen_jm_model model = test_model({mesh, mesh}, 2, (int)c.weights.size());
        model_mesh *m = model_read_file(put("w.jm", model).c_str());
        ASSERT_NE(m, nullptr);
        for (int k = 0; k < 4; k++) {
            EXPECT_NEAR(m->weights[k], c.want[k], 1e-6) << c.weights.size() << " " << k;
            EXPECT_EQ(m->bone_numbers[k], c.bones[k]);
        }
        // Once per mesh, not per vertex.
        EXPECT_EQ(test_console_count("Warning: vertex with more than 4 bone influences in '@w.jm'"),
                  2 * c.warnings);
        model_free_meshes(m);
    }

    // A triangle reaching one past the last vertex and one with a repeated corner go.
    console_clear();
    datagen_jm_mesh mesh = test_square();
    mesh.triangles.push_back({0, 1, 4});
    mesh.triangles.push_back({2, 2, 3});
    mesh.triangles.push_back({1, 2, 3});
    model_mesh *m = model_read_file(put("d.jm", test_model({mesh})).c_str());
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->triangle_count, 3);
    const int32_t kept[9] = {0, 1, 2, 0, 2, 3, 1, 2, 3};
    for (int k = 0; k < 9; k++) EXPECT_EQ(m->triangles[k], kept[k]);
    EXPECT_TRUE(test_console_has("2 degenerate triangles deleted in @d.jm"));
    model_free_meshes(m);

    // The cache answers a name that differs only in case, with the warning.
    console_clear();
    model_mesh *first = model_load(put("Case.jm", test_model({test_square()})).c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(model_load("@CASE.JM"), first);
    EXPECT_TRUE(test_console_has("Warning: case mismatch on '@CASE.JM'"));
    EXPECT_EQ(model_load("@Case.jm"), first);
    EXPECT_EQ(model_cache.count, 1);
    EXPECT_STREQ(model_name(first), "@Case.jm");
}

TEST_F(gfx_model, HostileFilesFailCleanly) {
    std::string square = datagen_jm(test_model({test_square()}));
    std::string body = square.substr(square.find('\n', 4) + 1);  // the vertices and triangles
    std::string jm2 = datagen_jm(test_model({test_square()}, 2, 1));
    struct {
        const char *what;
        std::string bytes;
        const char *message;  // null: quietly
    } cases[] = {
        {"vertex count -1", "JM1\n32 1 1 1 1 -1 2\n" + body, "Warning: bad mesh in '@h.jm'"},
        {"triangle count -1", "JM1\n32 1 1 1 1 4 -1\n" + body, "Warning: bad mesh in '@h.jm'"},
        {"huge vertex count", "JM1\n32 1 1 1 1 2147483647 1\n" + body, "Warning: bad mesh in '@h.jm'"},
        {"huge triangle count", "JM1\n32 1 1 1 1 4 2147483647\n" + body, "Warning: bad mesh in '@h.jm'"},
        {"vertices past the limit", "JM1\n32 1 1 1 1 1048577 1\n" + body, "Warning: bad mesh in '@h.jm'"},
        {"legacy count -5", "-5 2\n" + body, "Warning: bad mesh in '@h.jm'"},
        {"bone count -1", "JM2\n-1 bones\n" + jm2.substr(jm2.find("bones") + 6),
         "Warning: bad bone count -1 in '@h.jm'"},
        {"bone count 33", "JM2\n33 bones\n" + jm2.substr(jm2.find("bones") + 6),
         "Warning: bad bone count 33 in '@h.jm'"},
        {"version 3", "JM3\n" + square.substr(4), nullptr},
        {"JM2 without its bone line", "JM2\n" + square.substr(4), nullptr},
        {"1e39 in a position", "JM1\n32 1 1 1 1 4 2\n1e39" + body.substr(body.find(' ')),
         "Warning: bad mesh in '@h.jm'"},
        {"1e39 in a weight", jm2.substr(0, jm2.find('\n', jm2.find("bones") + 6) + 1) + 
                                 "0 0 0 0 0 1 0 0 1e39\n", "Warning: bad mesh in '@h.jm'"},
        {"1e39 as the colour", "JM1\n32 1 1e39 1 1 4 2\n" + body, "Warning: bad mesh in '@h.jm'"},
        {"empty file", "", nullptr},
        {"letters", "JMX 1 2 3", nullptr},
        {"binary garbage", std::string("\x1f\x8b\x00\xff\xfe\x01JM\x02\x80", 10), nullptr},
    };
    for (auto &c : cases) {
        console_clear();
        std::string name = put("h.jm", c.bytes);
        EXPECT_EQ(model_load(name.c_str()), nullptr) << c.what;
        EXPECT_EQ(model_cache.count, 0) << c.what;
        if (c.message) {
            EXPECT_TRUE(test_console_has(c.message)) << c.what;
        } else {
            EXPECT_EQ(test_console_count("Warning"), 0) << c.what;
        }
    }

    // A negative index drops only its triangle; a later bad mesh ends the model there.
    console_clear();
    datagen_jm_mesh mesh = test_square();
    mesh.triangles.push_back({0, -1, 2});
    std::string two = datagen_jm(test_model({mesh}));
    model_mesh *m = model_load(put("neg.jm", two + "32 1 1 1 1 -7 0\n").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->triangle_count, 2);
    EXPECT_EQ(m->next, nullptr);
    EXPECT_TRUE(test_console_has("1 degenerate triangles deleted in @neg.jm"));
    EXPECT_TRUE(test_console_has("Warning: bad mesh in '@neg.jm'"));
    EXPECT_EQ(model_cache.count, 1);
}

TEST_F(gfx_model, TangentsFollowTheTextureMapping) {
    struct {
        const char *what;
        double u[4], v[4];
        float want[3];
    } cases[] = {
        // Stored v is 1 - v of the file: a file whose v runs down the square maps it upright.
        {"u along +x, v down", {0, 1, 1, 0}, {1, 1, 0, 0}, {1, 0, 0}},
        // A mirrored mapping turns the tangent round, keeping the frame right-handed.
        {"u along -x, v down", {1, 0, 0, 1}, {1, 1, 0, 0}, {1, 0, 0}},
        {"u along +x, v up", {0, 1, 1, 0}, {0, 0, 1, 1}, {-1, 0, 0}},
        {"u along +y, v along +x", {0, 0, 1, 1}, {1, 0, 0, 1}, {0, -1, 0}},
        // No area in the mapping: a tiny vector along each triangle's longer edge, here the
        // diagonal of both.
        {"one texel", {0.5, 0.5, 0.5, 0.5}, {0.5, 0.5, 0.5, 0.5}, {0.70711f, 0.70711f, 0}},
    };
    for (auto &c : cases) {
        datagen_jm_mesh mesh = test_square();
        for (int i = 0; i < 4; i++) {
            mesh.vertices[i].uv[0] = c.u[i];
            mesh.vertices[i].uv[1] = c.v[i];
        }
        model_mesh *m = model_read_file(put("t.jm", test_model({mesh})).c_str());
        ASSERT_NE(m, nullptr);
        for (int i = 0; i < 4; i++)
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR(m->tangents[3 * i + k], c.want[k], 1e-4) << c.what << " " << i << " " << k;
        model_free_meshes(m);
    }
}

TEST_F(gfx_model, LevelOfDetailFilesAttachFromTheIndex) {
    auto squares = [](int n) {
        std::vector<datagen_jm_mesh> meshes;
        for (int i = 0; i < n; i++) meshes.push_back(test_square());
        return test_model(meshes);
    };
    put("x/gate.jm", squares(1));
    put("x/gate_lod5.jm", squares(2));
    put("x/gate_lod6.jm.gz", datagen_gzip(datagen_jm(squares(3))));
    put("x/gate_lod5.0.jm", squares(4));  // the same distance as "_lod5", listed before it
    put("x/gate_lodx.jm", squares(5));
    put("x/gate_lod7.jm", "not a model");
    put("rider_body.jm", squares(1));
    put("rider_body_fp.jm", squares(2));
    model_mesh *gate = model_load("@x/gate.jm");
    ASSERT_NE(gate, nullptr);
    EXPECT_EQ(gate->lod_distance, 0);
    std::vector<std::pair<float, int>> chain;
    for (model_mesh *v = gate->next_lod; v; v = v->next_lod) chain.push_back({v->lod_distance, mesh_count(v)});
    std::vector<std::pair<float, int>> want = {{32, 2}, {32, 4}, {64, 3}};
    EXPECT_EQ(chain, want);
    EXPECT_STREQ(gate->next_lod->name, "@x/gate_lod5.jm");
    EXPECT_STREQ(gate->next_lod->next_lod->next_lod->name, "@x/gate_lod6.jm");
    model_mesh *body = model_load("@rider_body.jm");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->next_lod, nullptr);
    EXPECT_EQ(model_cache.count, 2);  // versions belong to their base model
    // Without an '@' nothing is looked for.
    model_mesh *plain = model_load(dir.file("game/x/gate.jm").c_str());
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->next_lod, nullptr);
}

TEST_F(gfx_model, PurgeKeepsGenerationZeroAndTheCurrentOne) {
    for (const char *n : {"a.jm", "b.jm", "c.jm", "d.jm"}) put(n, test_model({test_square()}));
    put("b_lod5.jm", test_model({test_square()}));
    model_generation = 0;
    model_mesh *a = model_load("@a.jm");
    model_generation = 1;
    model_mesh *b = model_load("@b.jm");
    model_mesh *c = model_load("@c.jm");
    ASSERT_TRUE(a && b && c);
    ASSERT_NE(b->next_lod, nullptr);
    model_generation = 2;  // a new race: it finds b again and loads d
    EXPECT_EQ(model_load("@b.jm"), b);
    model_mesh *d = model_load("@d.jm");
    game_settings.debug_level = 1;
    model_purge(0);
    ASSERT_EQ(model_cache.count, 3);
    model_mesh **items = (model_mesh **)model_cache.items;
    EXPECT_EQ(items[0], a);
    EXPECT_EQ(items[1], b);
    EXPECT_EQ(items[2], d);
    EXPECT_TRUE(test_console_has("deleting model @c.jm"));
    EXPECT_EQ(test_console_count("deleting model"), 1);
    model_purge(1);
    EXPECT_EQ(model_cache.count, 0);
    EXPECT_EQ(model_cache.items, nullptr);
    // The cache starts again on the next load.
    EXPECT_NE(model_load("@a.jm"), nullptr);
    EXPECT_EQ(model_cache.count, 1);
}

TEST_F(gfx_model, PovTextOfTwoMeshes) {
    datagen_jm_mesh one;
    one.vertices = {test_vertex(0, 0, 0, 0, 0.25), test_vertex(1, 0, 0, 1, 0),
                    test_vertex(0, 1, 0, 0, 1)};
    one.triangles = {{0, 1, 2}};
    datagen_jm_mesh two = one;
    two.vertices.pop_back();
    two.vertices.push_back(test_vertex(0, 0, 2, 0.5, 0.5));
    model_mesh *m = model_read_file(put("pov.jm", test_model({one, two})).c_str());
    ASSERT_NE(m, nullptr);
    file_stream *out = stream_open(dir.file("out.pov").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    model_write_pov(m, out);
    stream_close(out);
    auto block = [](const std::string &third, const std::string &third_uv) {
        return "mesh2 {\n"
               "\tvertex_vectors {\n\t\t3\n\t\t<0.000000,0.000000,0.000000>,\n"
               "\t\t<1.000000,0.000000,0.000000>,\n\t\t<" + third + ">\n\t}\n"
               "\tnormal_vectors {\n\t\t3\n\t\t<0.000000,0.000000,1.000000>,\n"
               "\t\t<0.000000,0.000000,1.000000>,\n\t\t<0.000000,0.000000,1.000000>\n\t}\n"
               "\tuv_vectors {\n\t\t3\n\t\t<0.000000,0.750000>,\n\t\t<1.000000,1.000000>,\n"
               "\t\t<" + third_uv + ">\n\t}\n"
               "\tface_indices {\n\t\t1\n\t\t<0,1,2>\n\t}\n"
               "}\n";
    };
    EXPECT_EQ(test_read_file(dir.file("out.pov")),
              "union {\n" + block("0.000000,1.000000,0.000000", "0.000000,0.000000") +
                  block("0.000000,0.000000,2.000000", "0.500000,0.500000") + "}\n");
    model_free_meshes(m);
}

TEST_F(gfx_model, TextureSizeForADensity) {
    datagen_jm_mesh mesh = test_square(32, 4);  // u and v change by 1/4 per unit of length
    model_mesh *m = model_read_file(put("s.jm", test_model({mesh})).c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(m->du_per_length, 0.25f);
    EXPECT_FLOAT_EQ(m->dv_per_length, 0.25f);
    int w, h;
    model_texture_size_for_density(m, 64, &w, &h);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 256);
    model_texture_size_for_density(m, 4096, &w, &h);  // 16384 wanted: held at 8192
    EXPECT_EQ(w, 8192);
    EXPECT_EQ(h, 8192);
    model_free_meshes(m);
}
