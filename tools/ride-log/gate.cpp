// ride-log gate: the start as start-up runs it; brakes held until the gate drops, then full
// throttle; the arm's fraction with every line, and where the rider is 3 s after the drop.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "bike/rider.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "tools/ride-log/ride_log.h"

int ride_log_gate(const std::vector<std::string> &args) {
    const char *track = nullptr;
    for (size_t i = 0; i + 1 < args.size(); i += 2)
        if (args[i] == "--track") track = args[i + 1].c_str();
    if (!track || args.size() % 2) {
        fprintf(stderr, "usage: ride-log gate --track TRACK\n");
        return 2;
    }
    if (!ride_log_open(track)) {
        ride_log_close();
        return 1;
    }
    if (race_state.gate_count < 1) {
        fprintf(stderr, "ride-log: the track has no starting gates\n");
        ride_log_close();
        return 1;
    }
    const starting_gate &gate = starting_gates[0];
    int drop = race_state.gate_drop_tick, arm_down = -1;
    int end = drop + 3 * RACE_TICKS_PER_SECOND;
    while (race_state.current_tick < end) {
        control_record c = {};
        if (race_state.current_tick < drop) {
            c.axis[CONTROL_FRONT_BRAKE] = 1;
            c.axis[CONTROL_REAR_BRAKE] = 1;
        } else {
            c.axis[CONTROL_THROTTLE] = 1;
        }
        int tick = race_state.current_tick;
        ride_log_tick(c);
        if (arm_down < 0 && tick > drop && gate.arm_fraction <= 0) arm_down = tick;
        if (race_state.current_tick % 32 == 0)
            printf("%s arm=%.2f\n", ride_log_line(0).c_str(), gate.arm_fraction);
    }
    // Past the gate line: along the direction the riders face, -(sin a, cos a).
    const dReal *p = dBodyGetPosition(bike_frame_body(rider_slot_at(0)));
    double past = -((p[0] - gate.position[0]) * sin(gate.angle) + (p[2] - gate.position[2]) * cos(gate.angle));
    printf("gate 0 of %d at (%.1f, %.1f) angle %.3f; rider on row %d; drop at tick %d; arm down at tick %d; "
           "%.0f ft past the gate 3 s later\n",
           race_state.gate_count, gate.position[0], gate.position[2], gate.angle,
           race_start_index(0, race_roles, 0, 0, race_state.gate_count) / race_state.gate_count,
           drop, arm_down, past);
    ride_log_close();
    return 0;
}
