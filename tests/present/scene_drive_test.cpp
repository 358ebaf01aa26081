// The program itself on the practice track through zr-drive, one second after Esc: the chase
// view (Tab) shows sky, ground and the bike and rider in its centre box, the onboard view the
// front of the bike in its lower middle; the chase view with the player's bike left out holds
// no bike blue there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/present/bike_colours.h"
#include "tests/support/test_support.h"

namespace {

// One zr-drive run of the practice track on a display of its own, 1024 x 768 as the game takes
// the display's size, that presses the keys given and "s" at one second; the screenshots go to
// the home folder's "ZR Simulator".
int drive(const std::string &home, std::vector<std::string> options, std::string *out) {
    std::vector<std::string> command = {"xvfb-run", "-a", "-s", "-screen 0 1024x768x24",
                                        test_binary_dir() + "/tools/zr-drive"};
    command.insert(command.end(), options.begin(), options.end());
    for (const char *a : {"--key", "s@128", "--quit", "136", "--", "--track", "tracks/practice"})
        command.push_back(a);
    std::vector<std::string> env = {"ZR_HOME=" + test_binary_dir() + "/game", "XDG_DATA_HOME=" + home};
    return test_run(command, env, out, 300);
}

}  // namespace

TEST(present_drive, ChaseAndOnboardScreenshots) {
    temp_dir home, control;
    std::string out;
    const std::string folder = home.path + "/ZR Simulator/";
    ASSERT_EQ(drive(home.path, {"--key", "esc@1", "--key", "tab@2"}, &out), 0) << out;
    ASSERT_EQ(drive(home.path, {"--key", "esc@1"}, &out), 0) << out;
    picture chase = picture_from_png(folder + "screenshot001.png");
    picture onboard = picture_from_png(folder + "screenshot002.png");
    ASSERT_EQ(chase.width, 1024);
    ASSERT_EQ(chase.height, 768);
    ASSERT_EQ(onboard.width, 1024);

    // The console lines (top left) and the track map (top right) lie over the sky.
    expect_sky_and_ground(chase, "chase", 0.4, 0.8);
    expect_bike_in_centre(chase, "chase");
    expect_sky_and_ground(onboard, "onboard", 0.4, 0.8);
    EXPECT_GE(lower_middle_blue(onboard), 0.02);

    // Without the player's bike the centre box keeps the start line's white and chequers and
    // the race title over them, but no blue.
    ASSERT_EQ(drive(control.path, {"--hide-slot", "0", "--key", "esc@1", "--key", "tab@2"}, &out), 0) << out;
    picture without = picture_from_png(control.path + "/ZR Simulator/screenshot001.png");
    ASSERT_EQ(without.width, 1024);
    EXPECT_LT(centre_box(without).blue, 0.002);
}
