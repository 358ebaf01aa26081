// The bike tests' fixture: the build's game data, a window with its context, the fonts, the
// physics world and an empty rider table; every bike is freed before the world closes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bike/physics.h"
#include "bike/rider.h"
#include "bike/shape.h"
#include "core/console.h"
#include "core/folders.h"
#include "core/vfs.h"
#include "gfx/font.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

class bike_fixture : public ::testing::Test {
  protected:
    temp_dir home;
    std::unique_ptr<gl_test_window> gl;
    void SetUp() override {
        test_isolate_home(home);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        ASSERT_EQ(vfs_locate_game_data(), 1);
        vfs_build_index();
        gl = std::make_unique<gl_test_window>();
        ASSERT_NE(gl->w, nullptr) << plyx_last_error();
        font_load_all();
        ASSERT_EQ(physics_open(), 1);
        rider_table_init();
        console_clear();
    }
    void TearDown() override {
        rider_table_init();
        physics_close();
        shape_free_cache();
        font_free_all();
        tex_purge(1);
        model_purge(1);
        vfs_shutdown();
        gl.reset();
    }
    rider_slot *load(const char *model = "yz250f(2017)", int slot = 0) {
        return bike_load(model, slot, 0, "12", nullptr, nullptr, nullptr, nullptr);
    }
    static int warnings() {
        int n = 0;
        for (auto &line : console_log.lines)
            if (strstr(line, "Warning: ")) n++;
        return n;
    }
};

// The body's position as a vec3.
inline vec3 test_body_position(dBodyID b) {
    const dReal *p = dBodyGetPosition(b);
    return {(float)p[0], (float)p[1], (float)p[2]};
}
