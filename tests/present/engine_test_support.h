// The stock-data fixture the engine-sound tests share: an isolated home, the game data's index,
// and the engine tables freed after each case.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/console.h"
#include "core/vfs.h"
#include "present/engine_sound.h"
#include "tests/support/test_support.h"

class present_engine_stock : public ::testing::Test {
  protected:
    temp_dir home;
    void SetUp() override {
        test_isolate_home(home);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        ASSERT_EQ(vfs_locate_game_data(), 1);
        vfs_build_index();
        console_clear();
    }
    void TearDown() override {
        engine_sound_free_tables();
        vfs_shutdown();
    }
};
