// Custom skins: variant names of part files, the model look-up with its warning and fallback,
// and the normal and specular maps found beside a skin.
#include "core/mem.h"
#include "core/settings.h"
#include "tests/bike/bike_test_support.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/modelgen.h"

using bike_skins = bike_fixture;

TEST(bike_skin_names, VariantPaths) {
    struct {
        const char *name, *texture, *extension, *want;
    } cases[] = {
        {"@yz250fv2014_frame.jm", "@myskins/yz250f-red-2020.png", ".jm", "@yz250fv2014_frame-red.jm"},
        {"@yz250fv2014_frame.jm", "@myskins/yz250f-red.png", ".jm", nullptr},   // one '-' only
        {"@yz250fv2014_frame.jm", "@my-skins/yz250f.png", ".jm", nullptr},     // '-' in the folder
        {"@parts/frame-old.jm", "x-blue-1.png", ".jm", "@parts/frame-blue.jm"},
        {"@noextension", "x-blue-1.png", ".jm", nullptr},
        {"@a.b/frame", "x-blue-1.png", ".jm", nullptr},
        {"@myskins/yz250f-red-2020.png", "@myskins/yz250f-red-2020.png", ".foo", "@myskins/yz250f-red.foo"},
    };
    for (auto &c : cases) {
        char *got = bike_part_path(c.name, c.texture, c.extension);
        if (!c.want)
            EXPECT_EQ(got, nullptr) << c.name << " " << c.texture;
        else
            EXPECT_STREQ(got, c.want) << c.name << " " << c.texture;
        mem_free(got);
    }
    char *r = replace_suffix("a.png", ".png", "_norm.png");
    EXPECT_STREQ(r, "a_norm.png");
    mem_free(r);
    EXPECT_EQ(replace_suffix("a.png", ".jpg", "x"), nullptr);
}

TEST_F(bike_skins, SkinModelsWarningsAndFallbacks) {
    const std::string skins = home.file("xdg/ZR Simulator/myskins/");
    // No variant files: both tries are named and the row's own frame loads.
    rider_slot *s = bike_load("yz250f(2017)", 0, 0, "1", nullptr, nullptr,
                              "@myskins/yz250f-red-2020.png", nullptr);
    ASSERT_NE(s, nullptr);
    bool named = false;
    for (auto &l : console_log.lines)
        named |= strcmp(l, "Warning: Can't load @yz250fv2014_frame-red.jm or "
                           "@myskins/yz250fv2014_frame-red.jm") == 0;
    EXPECT_TRUE(named);
    EXPECT_NE(s->frame_model, nullptr);
    EXPECT_STREQ(bike_texture_name(s), "@yz250fv2014.png");
    // A variant beside the skin is found by the second try; the skin texture itself loads.
    test_write_file(skins + "yz250fv2014_frame-red.jm", datagen_jm(datagen_bike_part_model(BIKE_FILE_FRAME)));
    datagen_image img = datagen_image_new(64, 64, 3, {200, 10, 10, 255});
    test_write_file(skins + "yz250f-red-2020.png", datagen_png(img));
    vfs_build_index();
    console_clear();
    s = bike_load("yz250f(2017)", 0, 0, "1", nullptr, nullptr, "@myskins/yz250f-red-2020.png", nullptr);
    // The skin's texture and frame load, so no fallback: the five other bike parts without a
    // variant are named and stay undrawn.
    EXPECT_EQ(warnings(), 5);
    EXPECT_EQ(s->side_plates_model, nullptr);
    EXPECT_EQ(s->frame_model, model_load("@myskins/yz250fv2014_frame-red.jm"));
    EXPECT_STREQ(bike_texture_name(s), "@myskins/yz250f-red-2020.png");
}

TEST_F(bike_skins, NormalMapsOnlyWithShadersInTheirOrder) {
    const std::string skins = home.file("xdg/ZR Simulator/myskins/");
    datagen_image img = datagen_image_new(64, 64, 3, {128, 128, 255, 255});
    test_write_file(skins + "bike-red-7_norm.png", datagen_png(img));
    test_write_file(skins + "bike-red_norm.png", datagen_png(img));
    test_write_file(home.file("xdg/ZR Simulator/base-red_norm.png"), datagen_png(img));
    vfs_build_index();
    uint32_t normal = 1, specular = 1;
    game_settings.shaders_active = 0;
    bike_find_texture_maps(&normal, &specular, "@myskins/bike-red-7.png", "@base.png");
    EXPECT_EQ(normal, 0u);
    EXPECT_EQ(specular, 0u);
    game_settings.shaders_active = 1;
    bike_find_texture_maps(&normal, &specular, "@myskins/bike-red-7.png", "@base.png");
    EXPECT_STREQ(tex_name(normal), "@myskins/bike-red-7_norm.png");
    EXPECT_EQ(specular, 0u);
    bike_find_texture_maps(&normal, &specular, "@myskins/bike-red-8.png", "@base.png");
    EXPECT_STREQ(tex_name(normal), "@myskins/bike-red_norm.png");
    bike_find_texture_maps(&normal, &specular, "@other/bike2-red-1.png", "@base.png");
    EXPECT_STREQ(tex_name(normal), "@base-red_norm.png");
    game_settings.shaders_active = 0;
}
