// bike-info: loads a bike of the built-in table into rider slot 0 on a flat 512 ft test field in a
// hidden window and prints one line about it; every row in turn with --all; with --pack the
// bike at rest mid-field as a packed rider state and whether it survives a round trip.
//
//   bike-info MODEL | bike-info --all | bike-info --pack MODEL
#include <SDL2/SDL.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bike/packed_state.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "bike/shape.h"
#include "core/console.h"
#include "core/folders.h"
#include "core/globals.h"
#include "core/settings.h"
#include "core/util.h"
#include "core/vfs.h"
#include "game/config.h"
#include "game/entry.h"
#include "game/settings_table.h"
#include "gfx/font.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "platform/plyx.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tools/tool_window.h"

static int usage() {
    fprintf(stderr, "usage: bike-info MODEL | --all | --pack MODEL\n");
    return 2;
}

// Console lines printed since the last call (the fallback line, warnings): how many warnings.
static int print_new_console_lines(int *seen) {
    int warnings = 0;
    for (int i = *seen; i < CONSOLE_LINES && console_log.lines[i][0]; i++, (*seen)++) {
        printf("%s\n", console_log.lines[i]);
        if (strstr(console_log.lines[i], "Warning: ")) warnings++;
    }
    return warnings;
}

static double largest_joint_reading(rider_slot *s) {
    double m = 0;
    for (int j : {BIKE_JOINT_FRONT_AXLE, BIKE_JOINT_REAR_AXLE, BIKE_JOINT_STEERING, BIKE_JOINT_SWINGARM})
        m = std::fmax(m, std::fabs(dJointGetHingeAngle(bike_joint_of(s, j))));
    return std::fmax(m, std::fabs(dJointGetSliderPosition(bike_joint_of(s, BIKE_JOINT_FORK))));
}

static bool rider_seated(rider_slot *s) {
    dVector3 a, b;
    dJointGetHinge2Anchor(bike_joint_of(s, BIKE_JOINT_RIDER), a);
    dJointGetHinge2Anchor2(bike_joint_of(s, BIKE_JOINT_RIDER), b);
    return std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1]) + std::fabs(a[2] - b[2]) < 1e-6;
}

// Loads the model into slot 0 and prints its line: 1, or 0 when it did not load.
static int info_line(const char *model, int *seen, int *warnings) {
    rider_slot *s = bike_load(model, 0, 0, "1", nullptr, nullptr, nullptr, nullptr);
    *warnings += print_new_console_lines(seen);
    if (!s) return 0;
    printf("row %d class %s total_mass %.7g final_drive %f setup_flags 0x%02x joints %g rider %s\n",
           s->bike_row, bike_engine_class(s), s->total_mass, s->final_drive, s->setup_flags,
           largest_joint_reading(s), rider_seated(s) ? "seated" : "unseated");
    return 1;
}

static int info_pack(const char *model, int *seen) {
    rider_slot *s = bike_load(model, 0, 0, "1", nullptr, nullptr, nullptr, nullptr);
    rider_slot *t = bike_load(model, 1, 0, "2", nullptr, nullptr, nullptr, nullptr);
    print_new_console_lines(seen);
    if (!s || !t) return 0;
    bike_translate(0, 256, 0, 256);
    unsigned char a[39], b[39];
    bike_pack_state(s, a);
    bike_unpack_state(t, a, 5);
    bike_pack_state(t, b);
    for (unsigned char c : a) printf("%02x", c);
    printf("\nround trip: %s\n", memcmp(a, b, 39) == 0 ? "equal" : "different");
    return 1;
}

int main(int argc, char **argv) {
    bool all = argc == 2 && strcmp(argv[1], "--all") == 0;
    bool pack = argc == 3 && strcmp(argv[1], "--pack") == 0;
    if (!all && !pack && !(argc == 2 && argv[1][0] != '-')) return usage();
    window_context *w = tool_window_open("bike-info", 64, 64);
    if (!w) return 1;
    // A flat field of 65 x 65 samples 8 ft apart.
    static float heights[65 * 65];
    terrain_field *f = terrain_current;
    f->heights = heights;
    f->n = 65;
    f->spacing = 8;
    f->extent = 512;
    f->min_height = f->max_height = 0;
    physics_open();
    rider_table_init();
    console_clear();
    int seen = 0, warnings = 0, code = 0;
    if (all) {
        int loaded = 0;
        for (int r = 0; r < BIKE_INFO_ROWS; r++) loaded += info_line(bike_info_table[r].name, &seen, &warnings);
        printf("%d rows loaded, %d warnings\n", loaded, warnings);
        code = loaded == BIKE_INFO_ROWS && warnings == 0 ? 0 : 1;
    } else if (pack) {
        code = info_pack(argv[2], &seen) ? 0 : 1;
    } else {
        code = info_line(argv[1], &seen, &warnings) ? 0 : 1;
    }
    rider_table_init();
    physics_close();
    f->heights = nullptr;
    f->n = 0;
    shape_free_cache();
    tool_window_close(w);
    return code;
}
