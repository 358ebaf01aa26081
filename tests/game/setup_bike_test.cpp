// The setup hand-off through the real bike calls: the converted settings reach a loaded bike at
// rest and are refused while it moves.
#include "core/settings.h"
#include "game/setup.h"
#include "tests/bike/bike_test_support.h"

using game_setup_bike = bike_fixture;

TEST_F(game_setup_bike, ConvertedValuesArriveOnlyWhileTheBikeStands) {
    rider_slot *s = load();
    settings.fork_compression.value = 75;
    settings.max_dab_speed.value = 60;
    setup_apply_to_bike(0);
    EXPECT_NEAR(s->fork_compression, 2 * 60.0f, 1e-4);
    EXPECT_NEAR(s->max_dab_speed, 88.0f, 1e-4);
    settings.max_dab_speed.value = 30;
    dBodySetLinearVel(bike_frame_body(s), 0.125, 0, 0);
    setup_apply_to_bike(0);
    EXPECT_NEAR(s->max_dab_speed, 44.0f, 1e-4);
    settings.max_dab_speed.value = 60;
    dBodySetLinearVel(bike_frame_body(s), 0.2, 0, 0);
    setup_apply_to_bike(0);
    EXPECT_NEAR(s->max_dab_speed, 44.0f, 1e-4);
    // An empty slot takes nothing and says nothing.
    console_clear();
    setup_apply_to_bike(7);
    EXPECT_EQ(console_log.lines[0][0], 0);
}
