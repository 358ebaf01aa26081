// Ground-texture composition with a real context: the three render modes agree, the extra maps
// are made, an incomplete framebuffer is reported, and drawing leaves OpenGL as it found it.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "gfx/shader.h"
#include "race/track.h"
#include "tests/terrain/terrain_test_support.h"
#include "terrain/tile.h"

namespace {
struct stock_field {
    temp_dir t;
    std::unique_ptr<gl_test_window> window;
    std::unique_ptr<terrain_field> f{new terrain_field{}};
    stock_field() {
        test_isolate_home(t);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        vfs_build_index();
        window.reset(new gl_test_window(320, 320));
        game_settings.ground_texture_size = 128;
        game_settings.terrain_detail = 0.0025;
    }
    ~stock_field() {
        terrain_free(f.get());
        track_name = nullptr;
        tex_purge(1);
        vfs_shutdown();
    }
    int load(const char *name, int mode) {
        track_name = name;
        track_read_lighting();
        return terrain_load(f.get(), (std::string("@") + name).c_str(), mode);
    }
};

std::vector<unsigned char> read_texture(uint32_t texture, int side) {
    std::vector<unsigned char> out((size_t)side * side * 3);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, out.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return out;
}

uint32_t blank_texture(int side) {
    std::vector<unsigned char> black((size_t)side * side * 3, 0);
    return tex_create(black.data(), side, side, 3);
}

// Means of each 8 x 8 block, per channel.
std::vector<double> block_means(const std::vector<unsigned char> &img, int side) {
    std::vector<double> means;
    for (int by = 0; by < side; by += 8)
        for (int bx = 0; bx < side; bx += 8)
            for (int c = 0; c < 3; c++) {
                double sum = 0;
                for (int y = by; y < by + 8; y++)
                    for (int x = bx; x < bx + 8; x++) sum += img[3 * ((size_t)y * side + x) + c];
                means.push_back(sum / 64);
            }
    return means;
}
}  // namespace

TEST(terrain_compose, TheThreeModesAgree) {
    stock_field s;
    std::vector<std::vector<double>> results;
    // A block on the hillside's slopes with grass, dirt and sand, 16 x 16 tiles.
    const int x = 96, z = 64, d = 16;
    for (int mode : {1, 2, 3}) {
        ASSERT_EQ(s.load("tracks/hillside", mode), 1);
        ASSERT_EQ(s.f->render_mode, mode);
        uint32_t texture = blank_texture(128);
        tile_compose(s.f.get(), x, z, d, texture, 0, 0);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR) << mode;
        results.push_back(block_means(read_texture(texture, 128), 128));
        glDeleteTextures(1, &texture);
        terrain_free(s.f.get());
    }
    double worst = 0, spread = 0;
    for (size_t i = 0; i < results[0].size(); i++) {
        for (int m = 1; m < 3; m++) worst = std::fmax(worst, std::fabs(results[m][i] - results[0][i]));
        spread = std::fmax(spread, std::fabs(results[0][i] - results[0][i % 3]));
    }
    EXPECT_LE(worst, 6.0);
    EXPECT_GT(spread, 20.0);   // the block is not one colour
}

TEST(terrain_compose, ExtraMapsAndAFrameLeaveOpenGLClean) {
    stock_field s;
    game_settings.shaders_active = gl_startup(1);
    ASSERT_EQ(game_settings.shaders_active, 1);
    game_settings.terrain_uses_shaders = 1;
    ASSERT_EQ(s.load("tracks/hillside", TILE_RENDER_FBO), 1);
    terrain_field *f = s.f.get();
    ASSERT_EQ(f->extra_maps, 1);
    for (int i = 0; i < (1 << f->k) / 64 * ((1 << f->k) / 64); i++) EXPECT_EQ(f->lod_stamps[i], 0);
    f->eye[0] = 420, f->eye[1] = 80, f->eye[2] = 300;
    f->view_direction[0] = 0.6f, f->view_direction[1] = -0.5f, f->view_direction[2] = 0.6f;
    for (int frame = 0; frame < 8; frame++) {
        tile_render_pending(f);
        terrain_draw(f);
    }
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    // The composed slots' normal maps are normals (x and z near 128), their specular maps bare.
    int e = 5, composed = 0;
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            if (!f->slot_ready[e][r][c]) continue;
            composed++;
            auto normal = read_texture(f->slot_textures[1][e][r][c], 128);
            auto specular = read_texture(f->slot_textures[2][e][r][c], 128);
            size_t mid = 3 * ((size_t)64 * 128 + 64);
            EXPECT_NEAR(normal[mid], 128, 60);
            EXPECT_NEAR(normal[mid + 2], 128, 60);
            EXPECT_EQ(specular[mid], 0);
            EXPECT_EQ(specular[mid + 1], 255);
        }
    EXPECT_GT(composed, 0);
    // What composition and drawing change is put back.
    GLint active = 0, framebuffer = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    EXPECT_EQ(active, GL_TEXTURE0_ARB);
    EXPECT_EQ(framebuffer, 0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    for (int unit = 0; unit < 2; unit++) {
        gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
        GLfloat m[16];
        glGetFloatv(GL_TEXTURE_MATRIX, m);
        for (int i = 0; i < 16; i++) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << unit;
    }
    gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    shader_delete_all();
}

static uint32_t empty_attachment;
static void attach_without_storage(uint32_t) {
    gl_ext.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, empty_attachment, 0);
}

TEST(terrain_compose, AnIncompleteFramebufferLeavesTheTexture) {
    stock_field s;
    ASSERT_EQ(s.load("tracks/practice", TILE_RENDER_FBO), 1);
    uint32_t texture = blank_texture(128);
    auto before = read_texture(texture, 128);
    glGenTextures(1, &empty_attachment);
    glBindTexture(GL_TEXTURE_2D, empty_attachment);
    glBindTexture(GL_TEXTURE_2D, 0);
    console_clear();
    tile_framebuffer_hook = attach_without_storage;
    tile_compose(s.f.get(), 0, 0, 8, texture, 0, 0);
    tile_framebuffer_hook = nullptr;
    EXPECT_TRUE(test_console_has("Framebuffer error "));
    EXPECT_EQ(read_texture(texture, 128), before);
    GLint framebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    EXPECT_EQ(framebuffer, 0);
    glDeleteTextures(1, &empty_attachment);
    glDeleteTextures(1, &texture);
    // Without the extension, mode 3 falls back to mode 1.
    terrain_free(s.f.get());
    gl_info.ext_framebuffer_object = 0;
    ASSERT_EQ(s.load("tracks/practice", TILE_RENDER_FBO), 1);
    EXPECT_EQ(s.f->render_mode, TILE_RENDER_TEXSUBIMAGE);
}
