// The hillside's start flagger as the game loads him: seen from the chase view behind gate 0
// with his first board through the countdown, gone from it with his last picture once he has
// walked off, well before the gates drop.
#include <gtest/gtest.h>

#include <cmath>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/folders.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "present/scene.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "race/track.h"
#include "tests/race/practice_race.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

TEST(present_flaggers_stock, TheStarterIsSeenFromGateZeroThenWalksOutOfView) {
    practice_race_fixture race("tracks/hillside");
    ASSERT_EQ(vfs_locate_game_data(), 1);
    ASSERT_NE(race.window.w, nullptr);
    ASSERT_EQ(race.physics, 1);
    for (int &role : race_lineup) role = 0;
    ASSERT_EQ(race_reset(race_lineup, 0, 0, 0, 5, 0), 1);
    ASSERT_GT(race_state.gate_count, 0);
    const flagger_setup &f = track_flagger_setup;
    ASSERT_GE(f.start_billboard, 0);
    ASSERT_LT(f.start_billboard, track_billboards.count);
    const billboard &b = ((billboard *)track_billboards.items)[f.start_billboard];

    // The chase eye 10 ft behind a rider on gate 0's first row, looking the way the riders face.
    const starting_gate &g = starting_gates[0];
    const double back_x = std::sin(g.angle), back_z = std::cos(g.angle);
    const double eye_x = g.position[0] + 10.625 * back_x, eye_z = g.position[2] + 10.625 * back_z;
    auto seen_at = [&](double *cosine) {
        double vx = b.x - eye_x, vz = b.z - eye_z, l = std::hypot(vx, vz);
        *cosine = -(vx * back_x + vz * back_z) / l;
        return l;
    };
    struct {
        double seconds;
        int picture;
        bool in_view;
    } cases[] = {{3.0, 0, true}, {8.6, 4, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.seconds);
        race_state.current_tick = (int)std::lround(c.seconds * RACE_TICKS_PER_SECOND);
        scene_update_flaggers();
        EXPECT_EQ(b.texture, f.start_textures[c.picture]);
        double cosine, distance = seen_at(&cosine);
        if (c.in_view) {
            // Well inside the 110-degree view, near enough to make out.
            EXPECT_GT(cosine, std::cos(40 * M_PI / 180));
            EXPECT_LT(distance, 60);
        } else {
            EXPECT_LT(cosine, std::cos(65 * M_PI / 180));
        }
    }
    EXPECT_LT(8.6 * RACE_TICKS_PER_SECOND, race_state.gate_drop_tick);
}
