// The stock tracks' scripts: 20 s of race time swing the windsock, move and colour the start
// flags, loop the crowd's sound at 11,025 Hz, print nothing, and two runs give the same values
// tick by tick.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/vfs.h"
#include "platform/plyx.h"
#include "present/game_sound.h"
#include "race/objects.h"
#include "race/statue.h"
#include "race/race.h"
#include "race/track.h"
#include "script/script.h"
#include "tests/script/script_test_support.h"
#include "tests/support/test_support.h"
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/trackgen.h"
#include "tools/zrdatagen/trackside.h"

namespace {

struct flag_sample {
    float y0, y1;
    uint8_t g0;
    float yaw;
    float volume;
};

// Runs the track's stock script over its windsock and flag rows for 20 s; one sample per tick.
std::vector<flag_sample> run_stock(const char *track) {
    std::vector<flag_sample> out;
    // The generator's own bytes of the member.
    bool hillside = std::string(track) == "hillside";
    std::string text = hillside ? datagen_hillside_frills() : datagen_practice_frills();
    EXPECT_FALSE(text.empty());
    datagen_trackside rows = datagen_trackside_of(hillside ? datagen_hillside_track() : datagen_practice_track(),
                                                  hillside);
    track_loaders = {nullptr, nullptr, nullptr, nullptr};
    track_lists_create();
    track_add_statue(rows.windsock.x16 / 16.0f, 0, rows.windsock.z16 / 16.0f, -7.5f, nullptr, nullptr, nullptr);
    for (const datagen_place &f : rows.flags) track_add_billboard(f.x16 / 16.0f, 0, f.z16 / 16.0f, 10, 0.5f, nullptr);
    race_state = {};
    race_state.gate_drop_tick = 700;
    race_state.laps = 3;
    EXPECT_EQ(script_load_text(text.data(), text.size(), "tracks/stock/frills.js"), 1);
    for (int tick = 0; tick < 20 * 128; tick++) {
        race_state.current_tick = tick;
        script_tic_hook();
        if (tick % 2 == 0) script_frame_hook();
        const billboard *b = (const billboard *)track_billboards.items;
        out.push_back({b[0].y, b[1].y, b[0].g, track_statue_at(0)->yaw,
                       script_sound_count > 0 ? script_sound_rows[0].volume : -1.0f});
        if (tick == 100) {
            EXPECT_EQ(script_sound_count, 1);
            EXPECT_EQ(script_sound_rows[0].frequency, 11025.0f);
        }
    }
    script_unload();
    EXPECT_EQ(script_sound_count, 0);
    track_lists_free();
    return out;
}

}  // namespace

TEST_F(script_fixture, StockScriptsAnimateTheirTracks) {
    script_limits.call_seconds = 1;   // a loaded test machine is not the script's fault
    temp_dir home;
    test_isolate_home(home);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    void *driver = plyx_sound_open_readback(nullptr, 44100, 735);
    ASSERT_NE(driver, nullptr);
    for (const char *track : {"practice", "hillside"}) {
        SCOPED_TRACE(track);
        std::vector<flag_sample> a = run_stock(track), b = run_stock(track);
        ASSERT_EQ(a.size(), b.size());
        float lo = 1e9f, hi = -1e9f, yaw_lo = 1e9f, yaw_hi = -1e9f;
        bool green = false, back = false, loud = false;
        for (size_t i = 0; i < a.size(); i++) {
            ASSERT_EQ(a[i].y0, b[i].y0) << i;
            ASSERT_EQ(a[i].y1, b[i].y1) << i;
            ASSERT_EQ(a[i].yaw, b[i].yaw) << i;
            ASSERT_EQ(a[i].volume, b[i].volume) << i;
            yaw_lo = std::min(yaw_lo, a[i].yaw);
            yaw_hi = std::max(yaw_hi, a[i].yaw);
            // Upright all along: the yaw stays at or below -2 pi.
            ASSERT_LE(a[i].yaw, -6.2832f) << i;
            if (i >= 704 && i < 700 + 5 * 128) loud = loud || a[i].volume == 1.0f;
            if (i > 700 + 6 * 128) ASSERT_EQ(a[i].volume, 0.5f) << i;
            lo = std::min(lo, a[i].y0);
            hi = std::max(hi, a[i].y0);
            if (i >= 704 && i < 700 + 5 * 128) green = green || a[i].g0 == 255;
            if (i > 700 + 6 * 128) back = back || a[i].g0 < 255;
        }
        // They bob by about +-0.3 ft, without a terrain at height 0.
        EXPECT_GT(hi - lo, 0.4f);
        EXPECT_LT(hi - lo, 0.61f);
        EXPECT_TRUE(green);
        EXPECT_TRUE(back);
        EXPECT_TRUE(loud);
        EXPECT_GT(yaw_hi - yaw_lo, 0.3f);
        // Nothing printed.
        EXPECT_EQ(console_dump(), "");
    }
    plyx_sound_close(driver);
    vfs_shutdown();
}
