// ride-log's riding-control rides: turn, crash, side and drop, each ending in one result line.
#include "tools/ride-log/control_rides.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bike/part_contacts.h"
#include "bike/riding.h"
#include "bike/shape.h"
#include "core/console.h"
#include "core/mem.h"
#include "race/race.h"
#include "tools/ride-log/ride.h"
#include "tools/ride-log/ride_control.h"

using ride_runner = std::function<void(int, const std::function<void(int)> &)>;

int ride_is_control(const char *ride) {
    for (const char *name : {"turn", "crash", "side", "drop"})
        if (strcmp(ride, name) == 0) return 1;
    return 0;
}

static vec3 frame_velocity(const rider_slot *s) {
    const dReal *v = dBodyGetLinearVel(bike_frame_body(s));
    return {(float)v[0], (float)v[1], (float)v[2]};
}

// The heading of the frame's horizontal velocity, left (toward -x from -z) positive.
static float velocity_heading(const rider_slot *s) {
    vec3 v = frame_velocity(s);
    return std::atan2(-v.x, -v.z);
}

static int reset_warnings() {
    int n = 0;
    for (int i = 0; i < CONSOLE_LINES && console_log.lines[i][0]; i++)
        if (strstr(console_log.lines[i], "reset after a non-finite value")) n++;
    return n;
}

// Up to 30 ft/s, then steer -0.5 for 2 s holding the speed.
static int ride_turn(rider_slot *s, const ride_runner &run) {
    auto hold = [&](int) {
        float v = ride_speed(s);
        rider_set_throttle(s, std::fmin(1.0f, std::fmax(0.0f, (30 - v) * 0.5f)));
    };
    run(3 * 128, hold);
    float from = velocity_heading(s);
    run(2 * 128, [&](int i) {
        hold(i);
        rider_set_steer(s, -0.5f);
    });
    float turned = std::remainder(velocity_heading(s) - from, 2 * 3.14159265f) * 180 / 3.14159265f;
    printf("turned %.0f degrees %s, tilt %.2f\n", std::fabs(turned), turned >= 0 ? "left" : "right",
           bike_body_tilt(bike_frame_body(s)));
    return 0;
}

// At 40 ft/s into a rail at the rider's chest, then lying until the rider is back on.
static int ride_crash(rider_slot *s, const ride_runner &run) {
    char dir[] = "/tmp/ride-log-XXXXXX";
    if (!mkdtemp(dir)) {
        fprintf(stderr, "ride-log: can't make a temporary folder\n");
        return 1;
    }
    std::string path = std::string(dir) + "/rail.shp";
    FILE *f = fopen(path.c_str(), "w");
    std::string text = riding_rail_shape_text();
    bool written = f && fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f && fclose(f) != 0) written = false;
    collision_shape *rail = written ? shape_copy(path.c_str()) : nullptr;
    remove(path.c_str());
    rmdir(dir);
    if (!rail) {
        fprintf(stderr, "ride-log: can't make the rail\n");
        return 1;
    }
    run(128, nullptr);
    const dReal *r = dBodyGetPosition(bike_rider_body(s));
    shape_transform at = {{(float)r[0], (float)r[1] + RIDING_RAIL_ABOVE_RIDER, (float)r[2] - 14},
                          {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    riding_roll(s, 40);
    int fell = -1, rejoined = -1;
    for (int i = 0; i < 40 * 128 && rejoined < 0; i++) {
        run(1, [&](int) {
            bike_rider_contacts(s, rail, nullptr, at);
            rider_set_throttle(s, 0);
        });
        if (fell < 0 && s->respawn_counter > 0) fell = race_state.current_tick;
        if (fell >= 0 && s->respawn_counter == 0) rejoined = race_state.current_tick;
    }
    mem_free(rail);
    if (fell < 0) {
        printf("no fall at 40 ft/s into the rail\n");
        return 0;
    }
    if (rejoined < 0) {
        printf("fell at tick %d, not back on within 40 s\n", fell);
        return 0;
    }
    dVector3 a1, a2;
    dJointID joint = bike_joint_of(s, BIKE_JOINT_RIDER);
    dJointGetHinge2Anchor(joint, a1);
    dJointGetHinge2Anchor2(joint, a2);
    double apart = std::sqrt((a1[0] - a2[0]) * (a1[0] - a2[0]) + (a1[1] - a2[1]) * (a1[1] - a2[1]) +
                             (a1[2] - a2[2]) * (a1[2] - a2[2]));
    if (apart <= 1e-6)
        printf("fell at tick %d, rejoined at tick %d, anchors equal\n", fell, rejoined);
    else
        printf("fell at tick %d, rejoined at tick %d, anchors %.3g ft apart\n", fell, rejoined, apart);
    return 0;
}

// Laid on its side on the ground for 10 s.
static int ride_side(rider_slot *s, const ride_runner &run) {
    run(128, nullptr);
    riding_turn_bike(s, {0, 0, 1}, 3.14159265f / 2, true);
    riding_lift(s, 0.5f);
    riding_stop_bike(s);
    int before = reset_warnings();
    run(10 * 128, nullptr);
    int resets = reset_warnings() - before;
    if (resets == 0)
        printf("10 s on its side, no reset\n");
    else
        printf("10 s on its side, %d resets\n", resets);
    return 0;
}

// Dropped level from 4 ft, then from 64 ft, each from a fresh placement.
static int ride_drop(rider_slot *s, float x, float z, float yaw, const ride_runner &run) {
    const float heights[2] = {4, 64};
    bool on[2];
    for (int k = 0; k < 2; k++) {
        bike_drop_to_ground(0, x, z, yaw);
        int falls = s->fall_count;
        run(128, nullptr);
        riding_lift(s, heights[k]);
        run(4 * 128, nullptr);
        on[k] = s->fall_count == falls && s->respawn_counter == 0;
    }
    printf("4 ft: rider %s; 64 ft: rider %s\n", on[0] ? "on" : "off", on[1] ? "on" : "off");
    return 0;
}

int ride_control(const char *ride, rider_slot *s, float x, float z, float yaw, const ride_runner &run) {
    riding_player_aids(s);
    if (strcmp(ride, "turn") == 0) return ride_turn(s, run);
    if (strcmp(ride, "crash") == 0) return ride_crash(s, run);
    if (strcmp(ride, "side") == 0) return ride_side(s, run);
    if (strcmp(ride, "drop") == 0) return ride_drop(s, x, z, yaw, run);
    return 1;
}
