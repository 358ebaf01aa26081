// Checkpoint passing, the timing of laps and finishes, and line learning: the per-tick step of
// every rider simulated here.
#pragma once

// What the step reads of a rider each tick.
struct lap_sample_input {
    float position[3];   // the frame's
    float forward[3];    // the frame's forward axis (its -z) in the world
    float speed;         // length of the frame's linear velocity, ft/s
    int airborne;        // neither wheel touches the ground
    float tilt;          // signed, left positive
    int personality;     // 0: a person
    int down_flag;       // 1 fallen, 2 fall charged
};

// Reads the slot's rider: 1, or 0 when the slot holds no bike.
int autopilot_gather(int slot, lap_sample_input *in);
// The gatherer the step uses (autopilot_gather unless a test scripts the rider).
extern int (*autopilot_gather_hook)(int slot, lap_sample_input *in);

// autopilot_record_sample (race/robots.h), one tick of a rider after its bike step: samples its
// ride, charges a fall, passes the next checkpoint of the lap list, times laps and the finish,
// updates the standings, and learns (people) or rates (robots) the segment just ended. Nothing
// without checkpoints or once finished.

constexpr int LAP_SAMPLE_TICKS = 32;         // a sample four times a second
constexpr int LAP_SAMPLES_MAX = 65536;       // a buffer stops here and cancels its segment
constexpr int LAP_FALL_BOTH_TICKS = 128;     // a fall this soon after a point charges both
constexpr float LAP_OFF_LINE_SQUARED = 16;   // ft^2 a robot may be off its line at a point
constexpr float LAP_SPEED_MARGIN = 0.9375f;  // a line's speed must be this share of the robot's
constexpr float LAP_SAME_SPEED = 0.0625f;
constexpr float LAP_SAME_POSITION_SQUARED = 0.00390625f;
