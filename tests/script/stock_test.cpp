// The stock tracks' scripts: 20 s of race time move and colour the start flags, print nothing,
// and two runs give the same values tick by tick.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "race/objects.h"
#include "race/race.h"
#include "race/track.h"
#include "script/script.h"
#include "tests/script/script_test_support.h"
#include "tests/support/test_support.h"
#include "tools/zrdatagen/datagen.h"

namespace {

struct flag_sample {
    float y0, y1;
    uint8_t g0;
};

// Runs the track's stock script over two flag billboards for 20 s; one sample per tick.
std::vector<flag_sample> run_stock(const char *track) {
    std::vector<flag_sample> out;
    // The generator's own bytes of the member.
    std::string text = std::string(track) == "practice" ? datagen_practice_frills() : datagen_hillside_frills();
    EXPECT_FALSE(text.empty());
    track_loaders = {nullptr, nullptr, nullptr, nullptr};
    track_lists_create();
    track_add_billboard(10, 0, 10, 5, 1, nullptr);
    track_add_billboard(20, 0, 20, 5, 1, nullptr);
    race_state = {};
    race_state.gate_drop_tick = 700;
    race_state.laps = 3;
    EXPECT_EQ(script_load_text(text.data(), text.size(), "tracks/stock/frills.js"), 1);
    for (int tick = 0; tick < 20 * 128; tick++) {
        race_state.current_tick = tick;
        script_tic_hook();
        if (tick % 2 == 0) script_frame_hook();
        const billboard *b = (const billboard *)track_billboards.items;
        out.push_back({b[0].y, b[1].y, b[0].g});
    }
    script_unload();
    track_lists_free();
    return out;
}

}  // namespace

TEST_F(script_fixture, StockScriptsAnimateTheFlags) {
    script_limits.call_seconds = 1;   // a loaded test machine is not the script's fault
    for (const char *track : {"practice", "hillside"}) {
        SCOPED_TRACE(track);
        std::vector<flag_sample> a = run_stock(track), b = run_stock(track);
        ASSERT_EQ(a.size(), b.size());
        float lo = 1e9f, hi = -1e9f;
        bool green = false, back = false;
        for (size_t i = 0; i < a.size(); i++) {
            ASSERT_EQ(a[i].y0, b[i].y0) << i;
            ASSERT_EQ(a[i].y1, b[i].y1) << i;
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
        // Nothing printed.
        EXPECT_EQ(console_dump(), "");
    }
}
