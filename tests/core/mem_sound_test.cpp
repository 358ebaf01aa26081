// The fatal out-of-memory path closes sound output through the sound front end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "core/globals.h"
#include "core/mem.h"
#include "platform/plyx.h"
#include "platform/plyx_sound_internal.h"

static void (*real_close)(void *);

TEST(core_mem, OutOfMemoryClosesSoundOutput) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_EXIT(
        {
            real_close = plyx_readback_driver.close;
            plyx_readback_driver.close = [](void *driver) {
                real_close(driver);
                fputs("sound output closed\n", stderr);
            };
            game_sound_open = plyx_sound_open_readback(nullptr, 88320, 690) != nullptr;
            mem_out_of_memory();
        },
        testing::ExitedWithCode(1), "sound output closed\n(.|\n)*Out of virtual memory");
}
