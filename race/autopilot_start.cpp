// The robot at the gate: revving and idling through the countdown, set, the launch at the drop
// plus its reaction, and the clutch let out over a quarter second.
#include <cmath>

#include "race/autopilot.h"
#include "race/race.h"
#include "race/start_gate.h"

// Waiting at the gate: brakes on, clutch in, bars straight, auto shift off in the start gear.
static void hold(const robot_sense &in, robot_controls *out, float throttle) {
    out->throttle = throttle;
    out->clutch = 0;
    out->front_brake = out->rear_brake = 1;
    out->steer = 0;
    out->sit_dab = 1;
    out->auto_shift = 0;
    out->gear = in.start_gear_value > 0 ? 1 : 0;
}

int autopilot_start(rider_slot *s, const robot_sense &in, robot_controls *out) {
    const double tick = ROBOT_TICK;
    double now = race_state.current_tick * tick;
    double drop = race_state.gate_drop_tick * tick;
    double countdown = race_state.countdown_ticks * tick;
    if (!(now < drop + 5)) return 0;
    float &timer = s->robot.start_timer;
    if (timer == 0) timer = 2 * autopilot_draw();
    if (now < countdown) {
        // Through the countdown the engine idles and revs in turn.
        if (timer >= 0) {
            hold(in, out, 0);
            if (now > timer) timer = (float)-(now + 0.25 + 0.5 * autopilot_draw());
        } else {
            hold(in, out, 1);
            if (now > -timer) timer = (float)std::fmin(now + 2 + 0.5 * autopilot_draw(), countdown);
        }
        return 1;
    }
    if (timer <= countdown) timer = (float)(countdown + 0.125 + 0.375 * autopilot_draw());
    if (timer < drop) {
        // The set time: quiet until it passes, then the launch is drawn.
        if (!(now > timer)) {
            hold(in, out, 0);
            return 1;
        }
        timer = (float)(drop + autopilot_reaction(s->autopilot_personality, autopilot_draw()));
    }
    double launch = timer;
    if (now < launch) {
        hold(in, out, 1);
        return 1;
    }
    if (!(now < launch + 2)) return 0;
    float e = (float)std::fmin(std::fmax(4 * (now - launch), 0.0), 1.0);
    hold(in, out, 1);
    out->clutch = e;
    out->sit_dab = 1 - e;
    out->front_brake = out->rear_brake = 0;
    out->auto_shift = e >= 0.75f;
    return 1;
}
