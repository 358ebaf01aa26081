// Drawing models on the test X server: skinning on the processor against hand-computed poses,
// the level-of-detail choice, the ordinary and reflection passes with their material state,
// the processor's reflection coordinates, outlines and the three submission paths.
#include <array>
#include <cmath>
#include <cstring>

#include "gfx/texture.h"
#include "present/scene.h"
#include "race/track.h"
#include "tests/gfx/model_test_support.h"

namespace {

class gfx_model_draw : public gfx_model {
  protected:
    // A 4 x 4 view of the x-y plane round the origin, cleared to black, nothing enabled.
    void flat_view() {
        glViewport(0, 0, 320, 240);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-2, 2, -2, 2, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
    }
    std::vector<unsigned char> pixels() {
        std::vector<unsigned char> p(320 * 240 * 3);
        glReadPixels(0, 0, 320, 240, GL_RGB, GL_UNSIGNED_BYTE, p.data());
        return p;
    }
    static int lit_pixels(const std::vector<unsigned char> &p) {
        int n = 0;
        for (size_t i = 0; i < p.size(); i += 3) n += p[i] || p[i + 1] || p[i + 2];
        return n;
    }
};

const float ORIGIN[3] = {0, 0, 0}, IDENTITY[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

// Two bones: the first at rest, the second turned by 30 degrees about z round a centre and
// moved to a translation.
struct two_bones {
    float centres[6] = {0, 0, 0, 0, 0, 0};
    float translations[6] = {0, 0, 0, 0, 0, 0};
    float rotations[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    two_bones(float cx, float tx, float ty) {
        float c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
        // Column-major: the first column is the image of x.
        rotations[9] = c;
        rotations[10] = s;
        rotations[12] = -s;
        rotations[13] = c;
        centres[3] = cx;
        translations[3] = tx;
        translations[4] = ty;
    }
};

}  // namespace

TEST_F(gfx_model_draw, SkinningOnTheProcessorMatchesTheHandComputedPose) {
    game_settings.shaders_active = 0;
    model_mesh *m = model_read_file(put("bar.jm", test_bar()).c_str());
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->bone_count, 2);
    auto vertex = [&](float x, float y) {
        for (int i = 0; i < m->vertex_count; i++)
            if (m->positions[3 * (m->vertex_count + i)] == x && m->positions[3 * (m->vertex_count + i) + 1] == y)
                return i;
        return -1;
    };
    const float c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    struct {
        float x, y;       // rest position
        float want[3];    // skinned position
        float normal[3];  // skinned normal
    } cases[] = {
        {-2, 0, {-2, 0, 0}, {0, 0.6f, 0.8f}},                       // bone 0 only: at rest
        {2, 0, {2 * c, 2 * s, 0}, {-0.6f * s, 0.6f * c, 0.8f}},      // bone 1 only: turned
        {0, 0.5f, {-0.25f * s, 0.25f + 0.25f * c, 0},                // half of each
         {-0.15184f, 0.56668f, 0.80983f}},
    };
    two_bones b(0, 0, 0);
    model_skin_software(m, b.centres, b.translations, b.rotations, 2);
    for (auto &cs : cases) {
        int i = vertex(cs.x, cs.y);
        ASSERT_GE(i, 0);
        for (int k = 0; k < 3; k++) {
            EXPECT_NEAR(m->positions[3 * i + k], cs.want[k], 1e-5) << cs.x << " " << cs.y << " " << k;
            EXPECT_NEAR(m->normals[3 * i + k], cs.normal[k], 1e-4) << cs.x << " " << cs.y << " " << k;
        }
        const float *t = m->tangents + 3 * i;
        EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1, 1e-5);
    }
    // Round a centre, then moved: p' = R (p - c) + t.
    two_bones moved(1, 1, 0.5f);
    model_skin_software(m, moved.centres, moved.translations, moved.rotations, 2);
    int end = vertex(2, 0);
    EXPECT_NEAR(m->positions[3 * end], 1 + c, 1e-5);
    EXPECT_NEAR(m->positions[3 * end + 1], 0.5f + s, 1e-5);
    // Another bone count, or shaders doing the work, leave the last pose.
    std::vector<float> before(m->positions, m->positions + 3 * m->vertex_count);
    model_skin_software(m, b.centres, b.translations, b.rotations, 1);
    EXPECT_EQ(std::vector<float>(m->positions, m->positions + 3 * m->vertex_count), before);
    game_settings.shaders_active = 1;
    model_skin_software(m, b.centres, b.translations, b.rotations, 2);
    EXPECT_EQ(std::vector<float>(m->positions, m->positions + 3 * m->vertex_count), before);
    game_settings.shaders_active = 0;
    model_free_meshes(m);
}

TEST_F(gfx_model_draw, LevelOfDetailByCameraDistance) {
    auto squares = [](int n) {
        std::vector<datagen_jm_mesh> meshes(n, test_square());
        return test_model(meshes);
    };
    put("g.jm", squares(1));
    put("g_lod5.jm", squares(2));
    put("g_lod6.jm", squares(3));
    model_mesh *g = model_load("@g.jm");
    ASSERT_NE(g, nullptr);
    struct {
        float distance, scale, bias, want;
    } cases[] = {
        {20, 1, 0, 0}, {31.9f, 1, 0, 0}, {40, 1, 0, 32}, {64, 1, 0, 64}, {500, 1, 0, 64},
        {0, 1, 40, 32},  // D - bias <= 0 always qualifies
        {20, 2, 0, 32},  // the scale stretches the distance
        {40, 0.5f, 0, 0},
    };
    for (auto &c : cases) {
        game_settings.lod_scale = c.scale;
        game_settings.lod_bias = c.bias;
        camera_position[0] = 3;
        camera_position[1] = 4;
        camera_position[2] = 5 + c.distance;
        const float at[3] = {3, 4, 5};
        EXPECT_EQ(model_choose_lod(g, at)->lod_distance, c.want) << c.distance << " " << c.bias;
    }
    // Drawing draws every mesh of the chosen version and counts them.
    game_settings.lod_scale = 1;
    game_settings.lod_bias = 0;
    camera_position[2] = 45;
    flat_view();
    model_draw_vertex_count = model_draw_triangle_count = 0;
    const float at[3] = {0, 0, 0};
    model_draw(g, camera_position, at, IDENTITY);
    EXPECT_EQ(model_draw_vertex_count, 8);
    EXPECT_EQ(model_draw_triangle_count, 4);
}

TEST_F(gfx_model_draw, ReflectiveMeshesBelongToTheSecondPassOnly) {
    flat_view();
    datagen_jm_mesh chrome = test_square(-1), lit = test_square(32, 1, -1.5);
    model_mesh *m = model_load(put("r.jm", test_model({chrome, lit})).c_str());
    ASSERT_NE(m, nullptr);
    game_settings.reflections_on = 1;
    EXPECT_EQ(model_has_reflection(m), 1);
    model_draw_vertex_count = model_draw_triangle_count = 0;
    const float eye[3] = {0, 0, 5};
    model_draw(m, eye, ORIGIN, IDENTITY);
    EXPECT_EQ(model_draw_vertex_count, 0);
    EXPECT_EQ(lit_pixels(pixels()), 0);  // the lit mesh after it is never drawn
    model_draw_reflection(m, eye, ORIGIN, IDENTITY);
    EXPECT_EQ(model_draw_vertex_count, 4);
    EXPECT_EQ(model_draw_triangle_count, 2);
    std::vector<unsigned char> p = pixels();
    // The square's quarter of the view in its colour times the factor: 0.5 x (0.25, 0.5, 0.75).
    EXPECT_NEAR(lit_pixels(p), 80 * 60, 400);
    const unsigned char *centre = &p[(150 * 320 + 200) * 3];
    EXPECT_NEAR(centre[0], 32, 2);
    EXPECT_NEAR(centre[1], 64, 2);
    EXPECT_NEAR(centre[2], 96, 2);
    for (int i = 0; i < 2 * m->vertex_count; i++) EXPECT_TRUE(std::isfinite(m->uvs[i]));
    game_settings.reflections_on = 0;
    EXPECT_EQ(model_has_reflection(m), 0);
}

TEST_F(gfx_model_draw, SelfLitMeshHandsBackTheTrackLighting) {
    flat_view();
    track_lighting_reset();
    const float ambient[3] = {0.3f, 0.4f, 0.5f}, global[3] = {0.1f, 0.2f, 0.3f};
    memcpy(track_lighting.ambient, ambient, sizeof ambient);
    memcpy(track_lighting.global_ambient, global, sizeof global);
    const float full[4] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT, GL_AMBIENT, full);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    datagen_jm_mesh glow = test_square(-2);
    glow.factor = 1;
    model_mesh *m = model_load(put("glow.jm", test_model({glow})).c_str());
    ASSERT_NE(m, nullptr);
    model_draw(m, ORIGIN, ORIGIN, IDENTITY);
    // Its own colour is its only light.
    std::vector<unsigned char> p = pixels();
    const unsigned char *centre = &p[(150 * 320 + 200) * 3];
    EXPECT_NEAR(centre[0], 64, 2);
    EXPECT_NEAR(centre[1], 128, 2);
    EXPECT_NEAR(centre[2], 191, 2);
    float v[4];
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, v);
    for (int k = 0; k < 3; k++) EXPECT_FLOAT_EQ(v[k], global[k]);
    EXPECT_FLOAT_EQ(v[3], 1);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, v);
    for (int k = 0; k < 3; k++) EXPECT_FLOAT_EQ(v[k], ambient[k]);
    EXPECT_FLOAT_EQ(v[3], 1);
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, v);
    for (int k = 0; k < 4; k++) EXPECT_FLOAT_EQ(v[k], 1);
    // Lit meshes set their specular colour (factor 1) and exponent, within what GL takes.
    struct {
        double mode;
        float shininess;
    } cases[] = {{24, 24}, {200, 128}, {0, 0.125f}};
    for (auto &c : cases) {
        model_mesh *lit = model_read_file(put("lit.jm", test_model({test_square(c.mode)})).c_str());
        ASSERT_NE(lit, nullptr);
        model_draw(lit, ORIGIN, ORIGIN, IDENTITY);
        glGetMaterialfv(GL_FRONT, GL_SPECULAR, v);
        EXPECT_FLOAT_EQ(v[0], 0.25f);
        EXPECT_FLOAT_EQ(v[2], 0.75f);
        EXPECT_FLOAT_EQ(v[3], 1);
        glGetMaterialfv(GL_FRONT, GL_SHININESS, v);
        EXPECT_FLOAT_EQ(v[0], c.shininess) << c.mode;
        model_free_meshes(lit);
    }
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    glDisable(GL_LIGHTING);
}

TEST_F(gfx_model_draw, ProcessorReflectionCoordinatesAreFinite) {
    model_mesh *m = model_read_file(put("c.jm", test_model({test_square(-1)})).c_str());
    ASSERT_NE(m, nullptr);
    struct {
        float e[3], n[3];  // eye-to-vertex vector and normal: the reflection is e itself
        float u, v;
    } cases[] = {
        {{0, 1, 0}, {1, 0, 0}, 0.5f, 0.5f},        // straight up: the centre
        {{0, -1, 0}, {1, 0, 0}, 0.5f, 0.5f},       // straight down: no direction across
        {{1, 0, 0}, {0, 1, 0}, 0.75f, 0.5f},       // the horizon, a quarter from the centre
        {{-1, 0, 0}, {0, 1, 0}, 0.25f, 0.5f},
        {{0, 0, 1}, {0, 1, 0}, 0.5f, 0.75f},
        {{0, 0, -1}, {0, 1, 0}, 0.5f, 0.25f},
        {{1e-9f, 1, 0}, {0, 0, 1}, 0.5f, 0.5f},    // next to vertical
        {{0, 0, 0}, {0, 1, 0}, 0.5f, 0.5f},        // the eye on the vertex
    };
    for (auto &c : cases) {
        for (int i = 0; i < m->vertex_count; i++)
            for (int k = 0; k < 3; k++) {
                m->positions[3 * i + k] = 0;
                m->normals[3 * i + k] = c.n[k];
            }
        model_reflection_uvs(m, c.e, IDENTITY);
        EXPECT_NEAR(m->uvs[0], c.u, 1e-5) << c.e[0] << " " << c.e[1] << " " << c.e[2];
        EXPECT_NEAR(m->uvs[1], c.v, 1e-5) << c.e[0] << " " << c.e[1] << " " << c.e[2];
    }
    // A turned model: the reflection is taken to world axes (a quarter turn about z makes the
    // model's +x the world's +y).
    const float turn[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    const float e[3] = {1, 0, 0};
    for (int i = 0; i < m->vertex_count; i++) {
        m->normals[3 * i] = 0;
        m->normals[3 * i + 1] = 0;
        m->normals[3 * i + 2] = 1;
    }
    model_reflection_uvs(m, e, turn);
    EXPECT_NEAR(m->uvs[0], 0.5f, 1e-5);
    EXPECT_NEAR(m->uvs[1], 0.5f, 1e-5);
    model_free_meshes(m);
}

TEST_F(gfx_model_draw, OutlineIsALineLoopPerTriangle) {
    flat_view();
    datagen_jm_mesh mesh = test_square(32, 1, -1);
    mesh.triangles.push_back({1, 2, 3});
    model_mesh *m = model_read_file(put("o.jm", test_model({mesh})).c_str());
    ASSERT_NE(m, nullptr);
    std::vector<GLfloat> buffer(4096);
    glFeedbackBuffer((GLsizei)buffer.size(), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    model_draw_outline(m);
    int n = glRenderMode(GL_RENDER);
    // Segments as window points (x, y) from, to.
    std::vector<std::array<float, 4>> segments;
    for (int i = 0; i + 7 <= n; i += 7) {
        ASSERT_TRUE(buffer[i] == GL_LINE_TOKEN || buffer[i] == GL_LINE_RESET_TOKEN) << buffer[i];
        segments.push_back({buffer[i + 1], buffer[i + 2], buffer[i + 4], buffer[i + 5]});
    }
    ASSERT_EQ(segments.size(), 9u);
    // Each triangle closes on itself: its third segment ends where its first began.
    for (int t = 0; t < 3; t++) {
        EXPECT_EQ(segments[3 * t + 2][2], segments[3 * t][0]) << t;
        EXPECT_EQ(segments[3 * t + 2][3], segments[3 * t][1]) << t;
        EXPECT_EQ(segments[3 * t][2], segments[3 * t + 1][0]) << t;
    }
    // The triangles in order: the first from the square's corner (-1, 0), the last from (0, 0).
    EXPECT_NEAR(segments[0][0], 80, 0.5);
    EXPECT_NEAR(segments[0][1], 120, 0.5);
    EXPECT_NEAR(segments[6][0], 160, 0.5);
    model_free_meshes(m);
}

TEST_F(gfx_model_draw, ListArraysAndImmediateModeDrawTheSame) {
    datagen_jm_mesh a = test_square(32, 1.5, -1), b = test_square(32, 0.5, 0.6);
    b.vertices[2].position[1] = 1.4;
    model_mesh *m = model_read_file(put("p.jm", test_model({a, b})).c_str());
    ASSERT_NE(m, nullptr);
    ASSERT_NE(m->display_list, 0u);
    auto draw = [&](bool list, int immediate) {
        flat_view();
        glEnable(GL_TEXTURE_2D);
        uint32_t texture = tex_create_nomip(test_random_image(8, 8, 3, 7).pixels.data(), 8, 8, 3);
        glBindTexture(GL_TEXTURE_2D, texture);
        game_settings.no_vertex_arrays = immediate;
        for (model_mesh *k = m; k; k = k->next) {
            uint32_t saved = k->display_list;
            if (!list) k->display_list = 0;
            model_draw_mesh(k);
            k->display_list = saved;
        }
        game_settings.no_vertex_arrays = 0;
        std::vector<unsigned char> p = pixels();
        GLuint name = texture;
        glDeleteTextures(1, &name);
        return p;
    };
    model_draw_vertex_count = 0;
    std::vector<unsigned char> by_list = draw(true, 0);
    EXPECT_GT(lit_pixels(by_list), 1000);
    EXPECT_EQ(draw(false, 0), by_list);
    EXPECT_EQ(draw(false, 1), by_list);
    EXPECT_EQ(model_draw_vertex_count, 3 * 8);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    model_free_meshes(m);
}
