// The camera view: the race order strip scrolling under the frame clock with its gaps, the rows a
// watcher sees, the lap box, and the frames the view draws (trackside camera with the overlay,
// free camera without, key frames when their mode is on).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>
#include <vector>

#include "core/globals.h"
#include "core/widget_data.h"
#include "gfx/font.h"
#include "present/camera.h"
#include "present/camera_strip.h"
#include "present/keycam.h"
#include "present/scene.h"
#include "tests/present/screen_fixture.h"
#include "tests/race/results_fixture.h"

namespace {

// Three riders over F = 3, N = 4: slot 0 leads with five points, slot 1 on the same point 2 s
// later, slot 2 one point behind and half a second down where both passed.
void three_riders() {
    results_race(3, 0);
    results_rider(0, 2, "7", 0, {100, 200, 300, 400, 500});
    results_rider(1, 2, "22", 0, {110, 230, 350, 470, 756});
    results_rider(2, 2, "999", 0, {120, 260, 350, 464});
    race_rider_names[0] = "Ricky Fast";
    race_rider_names[1] = "Joe Motocross";
    race_rider_names[2] = "Tom";
    race_update_standings();
}

void free_riders() {
    for (int slot = 0; slot < 3; slot++) race_rider_names[slot] = nullptr;
    results_free();
    race_state.running_count = 0;
}

// The places of the entries left to right ("" for the blank slot).
std::vector<std::string> places(const camera_strip_layout &l) {
    std::vector<std::string> out;
    for (int i = 0; i < l.count; i++) out.push_back(l.entries[i].blank ? "" : l.entries[i].place);
    return out;
}

const float WIDTH_4_3 = 40.0f * 4 / 3;

}  // namespace

// Three rows cycle 1, 2, 3, blank, 1 as the clock runs from 0 to 8 s, one entry scrolling off
// every 2 s; each entry has its number, name and gap to the leader.
TEST(present_camera_strip, CyclesThroughTheOrder) {
    three_riders();
    ASSERT_EQ(race_state.running_count, 3);
    struct {
        double clock;
        float x;
        std::vector<std::string> places;
    } cases[] = {
        {0, 0, {"1", "2", "3"}},
        {1, -10.75f, {"1", "2", "3"}},
        {2, 0, {"2", "3", ""}},
        {4, 0, {"3", "", "1"}},
        {6, 0, {"", "1", "2"}},
        {7, -10.75f, {"", "1", "2"}},
        {8, 0, {"1", "2", "3"}},
        {8000002, 0, {"2", "3", ""}},
    };
    camera_strip_layout l;
    for (auto &c : cases) {
        camera_strip_build(&l, c.clock, WIDTH_4_3);
        EXPECT_EQ(places(l), c.places) << c.clock;
        for (int i = 0; i < l.count; i++)
            EXPECT_FLOAT_EQ(l.entries[i].x, c.x + 21.5f * i) << c.clock;
    }
    // A wider screen holds more entries; each starts within it.
    camera_strip_build(&l, 0, 40.0f * 16 / 9);
    EXPECT_EQ(places(l), (std::vector<std::string>{"1", "2", "3", ""}));

    camera_strip_build(&l, 0, WIDTH_4_3);
    struct {
        const char *number, *name, *gap;
    } rows[] = {{"  7", "Ricky Fast", ""}, {" 22", "Joe Motocross", "  2.000"}, {"999", "Tom", "  0.500"}};
    for (int i = 0; i < 3; i++) {
        EXPECT_STREQ(l.entries[i].number, rows[i].number);
        EXPECT_STREQ(l.entries[i].name, rows[i].name);
        EXPECT_STREQ(l.entries[i].gap, rows[i].gap) << i;
    }
    // Ahead where both passed, or no tick to compare: no gap shown.
    race_state.running_order[2].points = 5;
    race_state.running_order[2].time = 400;
    race_state.running_order[1].points = 0;
    camera_strip_build(&l, 0, WIDTH_4_3);
    EXPECT_STREQ(l.entries[1].gap, "");
    EXPECT_STREQ(l.entries[2].gap, "");
    // Once the results are written the strip shows their order.
    race_results.count = 3;
    race_results.order[0] = {2, 4, 464};
    race_results.order[1] = {0, 5, 500};
    race_results.order[2] = {1, 5, 756};
    results_written = 1;
    camera_strip_build(&l, 0, WIDTH_4_3);
    EXPECT_STREQ(l.entries[0].number, "999");
    EXPECT_STREQ(l.entries[1].number, "  7");
    // No rows: nothing at all.
    race_state.running_count = 0;
    camera_strip_build(&l, 0, WIDTH_4_3);
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(l.lap_box, LAP_BOX_NONE);
    free_riders();
}

// A watcher online does not see the riders simulated here (kind 0); a racer online and an
// offline player do.
TEST(present_camera_strip, WatcherSeesOnlyRacers) {
    three_riders();
    rider_status[1] = 0;
    struct {
        int socket, client_slot;
        std::vector<std::string> numbers;
    } cases[] = {
        {-1, RIDER_NO_SLOT, {"  7", " 22", "999"}},
        {5, 0, {"  7", " 22", "999"}},
        {5, RIDER_NO_SLOT, {"  7", "999", ""}},
    };
    camera_strip_layout l;
    for (auto &c : cases) {
        net_client.socket = c.socket;
        net_client.slot = c.client_slot;
        camera_strip_build(&l, 0, WIDTH_4_3);
        std::vector<std::string> numbers;
        for (int i = 0; i < l.count; i++) numbers.push_back(l.entries[i].number);
        EXPECT_EQ(numbers, c.numbers) << c.socket << " " << c.client_slot;
    }
    net_client.socket = -1;
    net_client.slot = RIDER_NO_SLOT;
    free_riders();
}

// The lap box follows the leader's timing position: green with the lap, white on the final
// lap, the chequered flag once the leader finishes; no lap length reads lap 1.
TEST(present_camera_strip, LapBox) {
    three_riders();
    race_state.running_count = 1;
    struct {
        int points, lap_length, box;
        const char *text;
    } cases[] = {
        {0, 4, LAP_BOX_GREEN, "Lap 1"},    {2, 4, LAP_BOX_GREEN, "Lap 1"},
        {3, 4, LAP_BOX_GREEN, "Lap 2"},    {6, 4, LAP_BOX_GREEN, "Lap 2"},
        {7, 4, LAP_BOX_WHITE, "Lap 3"},    {10, 4, LAP_BOX_WHITE, "Lap 3"},
        {11, 4, LAP_BOX_CHEQUERED, ""},    {400, 4, LAP_BOX_CHEQUERED, ""},
        {400, 0, LAP_BOX_GREEN, "Lap 1"},
    };
    camera_strip_layout l;
    for (auto &c : cases) {
        race_state.running_order[0] = {0, c.points, 100};
        timing_gates.lap_length = c.lap_length;
        camera_strip_build(&l, 0, WIDTH_4_3);
        EXPECT_EQ(l.lap_box, c.box) << c.points;
        EXPECT_STREQ(l.lap_text, c.text) << c.points;
    }
    // A time race has no final lap to reach.
    race_state.final_lap = RACE_NO_FINAL_LAP;
    race_state.running_order[0] = {0, 400, 100};
    timing_gates.lap_length = 4;
    camera_strip_build(&l, 0, WIDTH_4_3);
    EXPECT_EQ(l.lap_box, LAP_BOX_GREEN);
    EXPECT_STREQ(l.lap_text, "Lap 101");
    free_riders();
}

namespace {

bool black(const unsigned char *c) {
    return c[0] < 30 && c[1] < 30 && c[2] < 30;
}
bool white(const unsigned char *c) {
    return c[0] > 225 && c[1] > 225 && c[2] > 225;
}
bool green(const unsigned char *c) {
    return c[0] < 30 && c[1] > 225 && c[2] < 30;
}

}  // namespace

// The frames of the camera view at 1024 x 768 (no track: the sky's fog colour behind): from a
// trackside camera the black strip along the top with the place, the white number and name
// boxes and the green lap box at the top right; the free camera draws none of it; key frames
// put the eye at the key. Long names are cut to the name box.
TEST(present_camera_strip, CameraViewFrames) {
    const int W = 1024, H = 768;
    screen_fixture screen(W, H);
    ASSERT_TRUE(screen.ready());
    scene_lists_create();
    camera trackside = {0, 12, -40, 0, 0, 0, 0, 60, 0};
    ASSERT_EQ(plyx_array_append(&scene_trackside_cameras, &trackside), 1);

    // The player alone, without a bike to draw.
    results_race(1000, 0);
    snprintf(rider_table[0].rider_number, sizeof rider_table[0].rider_number, "999");
    race_rider_names[0] = "Joe Motocross";
    race_state.running_count = 1;
    race_state.running_order[0] = {0, 0, 0};
    frame_clock = 2.0;   // the blank slot first, the player's entry from x = 21.5 on

    current_camera = 0;
    scene_draw_camera_view();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    picture p = read_picture(W, H);
    // Rows of the 40-line frame: the strip's boxes between lines 0 and 1 from the top.
    const double line = 1.0 / 40, entry = 21.5 / (40.0 * 4 / 3);
    EXPECT_GT(p.share(0.02, 0.2 * line, entry - 0.02, 1.6 * line, black), 0.97);   // the blank slot
    EXPECT_GT(p.share(entry + 3.2 / 53.33, 0.3 * line, entry + 5.8 / 53.33, 0.6 * line, white), 0.6);
    EXPECT_GT(p.share(entry + 6.7 / 53.33, 0.3 * line, entry + 21.3 / 53.33, 0.6 * line, white), 0.6);
    EXPECT_GT(p.share(entry + 6.7 / 53.33, 0.6 * line, entry + 12 / 53.33, 1.4 * line, black), 0.02);
    EXPECT_GT(p.share(1 - 4.8 / 53.33, 1.3 * line, 0.995, 1.6 * line, green), 0.6);
    EXPECT_LT(p.share(0, 0.1, 1, 1, black), 0.01);   // the rest is the view

    current_camera = -1;
    scene_draw_camera_view();
    EXPECT_LT(read_picture(W, H).share(0, 0, 1, 2 * line, black), 0.01);

    keycam_mode = 1;
    camera_keys = {{5, 6, 7, 0, 0, 0, 1, 70, 0}};
    scene_draw_camera_view();
    EXPECT_EQ(scene_viewer.eye[0], 5);
    EXPECT_EQ(scene_viewer.eye[2], 7);
    keycam_mode = 0;
    camera_keys.clear();

    // A long name is cut to the box.
    race_rider_names[0] = "Bartholomew Maximilian Featherstonehaugh the Third";
    camera_strip_layout l;
    camera_strip_build(&l, 0, WIDTH_4_3);
    std::string name = l.entries[0].name;
    EXPECT_LE(font_text_width(name.c_str()), 15);
    EXPECT_GT(font_text_width(name.c_str()), 12);
    EXPECT_EQ(std::string(race_rider_names[0]).rfind(name, 0), 0u);

    race_rider_names[0] = nullptr;
    rider_table[0].rider_number[0] = 0;
    results_free();
    race_state.running_count = 0;
    frame_clock = 0;
    scene_lists_free();
}
