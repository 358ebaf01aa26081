// The capability probe (its parsing without a context) and the built-in programs on the test
// X server's software driver, checked against the formulas they implement.
#include <algorithm>
#include <cmath>
#include <memory>

#include "gfx/image.h"
#include "gfx/texture.h"
#include "tests/gfx/gfx_test_support.h"

TEST(gfx_probe, ParsesStringsAndWholeTokens) {
    struct {
        const char *version, *extensions;
        int major, minor, multitexture, fragment, framebuffer;
    } cases[] = {
        {"4.5 (Compatibility Profile) Mesa 22.3.6", "GL_ARB_multitexture GL_ARB_fragment_shader", 4, 5, 1, 1, 0},
        {"1.5 Mesa 22.3.6", "GL_ARB_multitexture_extra GL_EXT_framebuffer_object", 1, 5, 0, 0, 1},
        {"2.1", "GL_ARB_multitexturefoo GL_ARB_multitexture", 2, 1, 1, 0, 0},
        {"OpenGL ES 3.2", "XGL_ARB_multitexture GL_ARB_fragment_shader_x", 0, 0, 0, 0, 0},
        {nullptr, nullptr, 0, 0, 0, 0, 0},
    };
    for (auto &c : cases) {
        gl_probe_parse("vendor", nullptr, c.version, c.extensions);
        EXPECT_EQ(gl_info.version_major, c.major) << (c.version ? c.version : "null");
        EXPECT_EQ(gl_info.version_minor, c.minor);
        EXPECT_EQ(gl_info.arb_multitexture, c.multitexture) << (c.extensions ? c.extensions : "null");
        EXPECT_EQ(gl_info.arb_fragment_shader, c.fragment);
        EXPECT_EQ(gl_info.ext_framebuffer_object, c.framebuffer);
        EXPECT_EQ(gl_info.texture_units, 1);
        EXPECT_STREQ(gl_info.renderer, "NULL");
        EXPECT_STREQ(gl_info.vendor, "vendor");
    }
    EXPECT_STREQ(gl_info.version, "NULL");
    EXPECT_STREQ(gl_info.extensions, "NULL");
    EXPECT_EQ(gl_extension_present("GL_A GL_B", "GL_A GL_B"), 0);  // a name with a blank
    EXPECT_EQ(gl_extension_present("GL_A GL_B", ""), 0);
    EXPECT_EQ(gl_extension_present("GL_A GL_B", "GL_B"), 1);
    EXPECT_EQ(gl_extension_present("GL_AB GL_A", "GL_A"), 1);
}

namespace {

// A context with the programs built, a log file and 4 x 4 textures of one colour.
class gfx_shader : public testing::Test {
  protected:
    temp_dir dir;
    std::unique_ptr<gl_test_window> gl;
    void SetUp() override {
        setenv("PLYX_LOGFILE", dir.file("log.txt").c_str(), 1);
        gl = std::make_unique<gl_test_window>();
        ASSERT_NE(gl->w, nullptr) << plyx_last_error();
    }
    void TearDown() override { gl.reset(); }
    static uint32_t solid(int r, int g, int b, int a) {
        datagen_image img = test_flat_image(4, 4, 4, {r, g, b, a});
        std::vector<unsigned char> chain(image_chain_bytes(4, 4, 4));
        for (size_t i = 0; i < chain.size(); i += 4) memcpy(&chain[i], img.pixels.data(), 4);
        return tex_upload(chain.data(), 4, 4, 4, 0);
    }
    static void bind(int unit, uint32_t texture) {
        gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
        glBindTexture(GL_TEXTURE_2D, texture);
    }
    // A quad over the whole view at eye depth -1 under an orthographic projection with the
    // near plane at 0.5 and the far plane at 2; texture s runs 0..1 left to right.
    static void full_screen_quad() {
        glViewport(0, 0, 320, 240);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, 0.5, 2);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glBegin(GL_QUADS);
        glNormal3f(0, 0, 1);
        glTexCoord2f(0, 0);
        glVertex3f(-1, -1, -1);
        glTexCoord2f(1, 0);
        glVertex3f(1, -1, -1);
        glTexCoord2f(1, 1);
        glVertex3f(1, 1, -1);
        glTexCoord2f(0, 1);
        glVertex3f(-1, 1, -1);
        glEnd();
    }
    static std::vector<int> read_pixel(int x, int y) {
        unsigned char px[4];
        glReadBuffer(GL_BACK);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return {px[0], px[1], px[2], px[3]};
    }
};

}  // namespace

TEST_F(gfx_shader, StartupBuildsTheSevenPrograms) {
    ASSERT_EQ(gl_startup(1), 1);
    EXPECT_GE(gl_info.texture_units, 4);
    for (int slot = 1; slot < SHADER_SLOTS; slot++) EXPECT_NE(shader_program_handle(slot), 0u) << slot;
    EXPECT_EQ(shader_program_handle(0), 0u);
    EXPECT_EQ(shader_program_handle(8), 0u);
    // Sampler units as the table gives them.
    struct {
        int slot;
        const char *name;
        int unit;
    } samplers[] = {{3, "nmap", 1}, {5, "smap", 2}, {6, "base", 1}, {7, "smap", 2}, {7, "tex", 0}};
    for (auto &s : samplers) {
        GLint unit = -1;
        GLhandleARB p = shader_program_handle(s.slot);
        gl_ext.glGetUniformivARB(p, gl_ext.glGetUniformLocationARB(p, s.name), &unit);
        EXPECT_EQ(unit, s.unit) << s.slot << " " << s.name;
    }
    std::string log = test_read_file(dir.file("log.txt"));
    for (const char *line : {"GL_VENDOR: ", "GL_RENDERER: ", "GL_VERSION: ", "GL_EXTENSIONS: ", " texture units\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    // Switches are counted only when the slot changes; slot 8 is refused.
    gl_info.program_switches = 0;
    shader_use(3);
    shader_use(3);
    shader_use(8);
    EXPECT_EQ(gl_info.current_slot, 3);
    GLint bound = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &bound);
    EXPECT_EQ((GLhandleARB)bound, shader_program_handle(3));
    shader_use(0);
    EXPECT_EQ(gl_info.program_switches, 2);
    // Bones: the count is cut to 32; at slot 0 nothing is sent.
    std::vector<float> c(3 * 40, 0.5f), t(3 * 40, 0.25f), r(9 * 40, 0);
    shader_use(1);
    shader_set_bones(40, c.data(), t.data(), r.data());
    GLint nbones = 0;
    gl_ext.glGetUniformivARB(shader_program_handle(1), gl_info.slots[1].nbones_location, &nbones);
    EXPECT_EQ(nbones, 32);
    shader_set_bones(0, nullptr, nullptr, nullptr);
    gl_ext.glGetUniformivARB(shader_program_handle(1), gl_info.slots[1].nbones_location, &nbones);
    EXPECT_EQ(nbones, 0);
    shader_use(0);
    shader_set_bones(3, c.data(), t.data(), r.data());
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(gfx_shader, AFailedProgramLeavesNoHandlesAndFixedFunctionWorks) {
    shader_sources[5].fragment = "#define MAX_BONE 32\nvoid main() { gl_FragColor = oops; }\n";
    ASSERT_EQ(gl_startup(1), 0);
    for (int slot = 0; slot < SHADER_SLOTS; slot++) {
        EXPECT_EQ(gl_info.slots[slot].program, 0u) << slot;
        EXPECT_EQ(gl_info.slots[slot].vertex_object, 0u) << slot;
        EXPECT_EQ(gl_info.slots[slot].fragment_object, 0u) << slot;
    }
    EXPECT_NE(test_read_file(dir.file("log.txt")).find("fragment shader status for norm_spec_lit:"),
              std::string::npos);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(0.5f, 0.25f, 1, 1);
    full_screen_quad();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    std::vector<int> px = read_pixel(160, 120);
    EXPECT_NEAR(px[0], 128, 2);
    EXPECT_NEAR(px[1], 64, 2);
}

// The terrain shading of slot 7 for one pixel, in double precision.
static void slot7_expected(double ex, double ey, double out[3]) {
    double tex[3] = {200 / 255.0, 150 / 255.0, 100 / 255.0};
    double nm[3] = {160 / 255.0, 200 / 255.0, 100 / 255.0}, sm[2] = {180 / 255.0, 40 / 255.0};
    double lp[3] = {0.3, 0.8, 0.52}, ld[3] = {0.8, 0.7, 0.6}, la[3] = {0.2, 0.2, 0.25}, ls = 0.5;
    double md[3] = {1, 0.9, 0.8}, ma[3] = {0.6, 0.6, 0.6}, fog[3] = {0.4, 0.5, 0.9}, density = 0.5;
    auto normalize = [](double *v) {
        double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int i = 0; i < 3; i++) v[i] /= l;
    };
    double len = nm[1], x = nm[0] * 2 - 1, z = nm[2] * 2 - 1;
    double n[3] = {x, std::sqrt(std::max(0.0, 1 - z * z - x * x)), z};
    normalize(n);
    double l[3] = {lp[0], lp[1], lp[2]};
    normalize(l);
    double v[3] = {ex, ey, -1};
    normalize(v);
    double vn = v[0] * n[0] + v[1] * n[1] + v[2] * n[2];
    double refl[3] = {v[0] - 2 * vn * n[0], v[1] - 2 * vn * n[1], v[2] - 2 * vn * n[2]};
    double ndl = n[0] * l[0] + n[1] * l[1] + n[2] * l[2];
    double rdl = std::max(refl[0] * l[0] + refl[1] * l[1] + refl[2] * l[2], 0.0);
    if (ndl < 0) ndl = rdl = 0;
    double depth = (1 - 0.5) / (2 - 0.5);
    double f = std::clamp(std::exp2(-1.4426950408889634 * density * depth), 0.0, 1.0);
    for (int i = 0; i < 3; i++) {
        double c = ma[i] * la[i] + md[i] * ld[i] * ndl * len;
        c *= tex[i];
        c += sm[0] * ls * (rdl > 0 ? std::pow(rdl, sm[1] * 128 + 0.125) : 0) * len;
        out[i] = std::clamp(fog[i] + (c - fog[i]) * f, 0.0, 1.0);
    }
}

TEST_F(gfx_shader, TerrainShadingMatchesItsFormula) {
    ASSERT_EQ(gl_startup(1), 1);
    uint32_t tex = solid(200, 150, 100, 255), nmap = solid(160, 200, 100, 255), smap = solid(180, 40, 0, 255);
    bind(0, tex);
    bind(1, nmap);
    bind(2, smap);
    bind(0, tex);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    float pos[4] = {0.3f, 0.8f, 0.52f, 0}, dif[4] = {0.8f, 0.7f, 0.6f, 1}, amb[4] = {0.2f, 0.2f, 0.25f, 1};
    float specular[4] = {0.5f, 0.5f, 0.5f, 1}, mdif[4] = {1, 0.9f, 0.8f, 1}, mamb[4] = {0.6f, 0.6f, 0.6f, 1};
    float fog[4] = {0.4f, 0.5f, 0.9f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, pos);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, dif);
    glLightfv(GL_LIGHT0, GL_AMBIENT, amb);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, mdif);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, mamb);
    glFogfv(GL_FOG_COLOR, fog);
    glFogf(GL_FOG_DENSITY, 0.5f);
    shader_use(SHADER_SLOT_TERRAIN);
    full_screen_quad();
    shader_use(0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    for (auto [x, y] : {std::pair{160, 120}, {20, 30}, {300, 220}}) {
        double want[3];
        slot7_expected(-1 + (x + 0.5) * 2 / 320, -1 + (y + 0.5) * 2 / 240, want);
        std::vector<int> px = read_pixel(x, y);
        for (int i = 0; i < 3; i++) EXPECT_NEAR(px[i], want[i] * 255, 2.5) << x << "," << y << " channel " << i;
    }
}

TEST_F(gfx_shader, TerrainNormalsStayFiniteOnOverlongTexels) {
    ASSERT_EQ(gl_startup(1), 1);
    // A base texel of red 255 and blue 128: 1 - z^2 - x^2 is below 0.
    uint32_t detail = solid(128, 200, 255, 230), base = solid(255, 77, 128, 255);
    bind(1, base);
    bind(0, detail);
    glEnable(GL_TEXTURE_2D);
    shader_use(SHADER_SLOT_TERRAIN_NORMALS);
    full_screen_quad();
    shader_use(0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    // The same steps on the processor: s grows along x, so the rotation is the identity.
    double d[3] = {-(128 / 255.0 * 2 - 1), 255 / 255.0 * 2 - 1, 200 / 255.0 * 2 - 1};
    double x = 1, z = 128 / 255.0 * 2 - 1;
    double r1[3] = {x, std::sqrt(std::max(0.0, 1 - z * z - x * x)), z};
    double r2[3] = {0, -z, r1[1]};
    double l2 = std::sqrt(r2[1] * r2[1] + r2[2] * r2[2]);
    r2[1] /= l2, r2[2] /= l2;
    double r0[3] = {r1[1] * r2[2] - r1[2] * r2[1], r1[2] * r2[0] - r1[0] * r2[2], r1[0] * r2[1] - r1[1] * r2[0]};
    double l0 = std::sqrt(r0[0] * r0[0] + r0[1] * r0[1] + r0[2] * r0[2]);
    for (double &v : r0) v /= l0;
    double n[3];
    for (int i = 0; i < 3; i++) n[i] = r0[i] * d[0] + r1[i] * d[1] + r2[i] * d[2];
    double ln = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (double &v : n) v /= ln;
    if (n[0] * n[0] + n[2] * n[2] > (126 / 128.0) * (126 / 128.0)) {
        double s = std::sqrt(n[0] * n[0] + n[2] * n[2]);
        n[0] = n[0] / s * 126 / 128, n[1] = 0, n[2] = n[2] / s * 126 / 128;
    }
    std::vector<int> px = read_pixel(160, 120);
    EXPECT_NEAR(px[0], (n[0] + 1) / 2 * 255, 2.5);
    EXPECT_NEAR(px[1], 77, 1.5);
    EXPECT_NEAR(px[2], (n[2] + 1) / 2 * 255, 2.5);
}

TEST_F(gfx_shader, EnvironmentMapCentreIsStraightUp) {
    ASSERT_EQ(gl_startup(1), 1);
    // A 16 x 16 map, red in its middle 2 x 2, blue around.
    datagen_image map = test_flat_image(16, 16, 3, {0, 0, 255, 255});
    for (int y = 7; y < 9; y++)
        for (int x = 7; x < 9; x++) memcpy(&map.pixels[(y * 16 + x) * 3], "\xff\x00\x00", 3);
    std::vector<unsigned char> chain(image_chain_bytes(16, 16, 3));
    memcpy(chain.data(), map.pixels.data(), map.pixels.size());
    image_build_mips(chain.data(), 16, 16, 3, 0);
    uint32_t t = tex_upload(chain.data(), 16, 16, 3, TEX_NO_MIPMAP);
    bind(0, t);
    glEnable(GL_TEXTURE_2D);
    // A quarter turn about x: the reflection towards the viewer becomes straight up.
    const float m[9] = {1, 0, 0, 0, 0, 1, 0, -1, 0};
    shader_set_envmat(m);
    EXPECT_EQ(gl_info.current_slot, 0);
    glColor4f(1, 1, 1, 1);
    shader_use(SHADER_SLOT_ENV);
    full_screen_quad();
    shader_use(0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    std::vector<int> centre = read_pixel(160, 120);
    EXPECT_GT(centre[0], 200);
    EXPECT_LT(centre[2], 60);
    std::vector<int> corner = read_pixel(2, 2);
    EXPECT_GT(corner[2], 150);
}

TEST(gfx_shader_fixed, WithoutFragmentShadersNothingIsBuilt) {
    setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_fragment_shader", 1);
    gl_test_window gl;
    ASSERT_NE(gl.w, nullptr);
    EXPECT_EQ(gl_startup(1), 0);
    EXPECT_EQ(gl_info.version_major, 1);
    EXPECT_EQ(gl_info.version_minor, 5);
    EXPECT_EQ(gl_info.arb_fragment_shader, 0);
    EXPECT_EQ(shader_build_all(), 0);
    shader_use(1);
    shader_set_bones(1, nullptr, nullptr, nullptr);
    shader_use(0);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}
