// The robot controller: what a robot reads of its bike, the controls it hands back, and the
// parts of its tick (line choice and upkeep, the start at the gate, the speed controller, normal
// and recovery driving), each callable on rider states built in memory.
#pragma once

#include <cstdint>

#include "race/robots.h"

// What a robot reads of its bike in one tick. Sideways is positive to the rider's left.
struct robot_sense {
    float position[3];
    float x_axis[3], y_axis[3], z_axis[3];   // the frame's axes in the world; forward is -z
    float velocity[3];
    float speed;                 // length of the frame's velocity, ft/s
    float tilt;                  // 0 upright, positive leaning left
    float roll_rate;             // about the frame's z axis, positive while the tilt grows
    float pitch_rate;            // about the frame's x axis, positive nose up
    int front_touch, rear_touch; // the wheel's contact depth is above 0
    float front_wheel_y, rear_wheel_y;
    float front_slide;           // speed of the front contact point (spin included); 0 off the ground
    float load;                  // tyre load of both wheels over the weight
    float rpm;
    int gear;
    int respawning;              // respawn counter above 0
    float mass;                  // total mass, slugs
    float start_gear_value;      // the second gear's ratio
    float clutch_rpm;            // the downshift engine speed
    float steer_angle, steer_rate;   // the steering hinge
    float steering_response;     // the bike's steer toward its front travel angle
};

// The controls a robot sets in one tick; the assists are always on except auto shift, which the
// start holds off (with the start gear selected).
struct robot_controls {
    int keep;                    // the controls stay as they were (only the assists are set)
    float throttle, clutch, front_brake, rear_brake, steer, sit_dab;
    int auto_shift;              // 0: off, and `gear` selected
    int gear;                    // the start gear: 1 when the start gear value is positive, else 0
    int set_limits;              // the steering limits below are set
    float restricted_lock;       // rad
    int carry;                   // pulled toward carry_velocity and lifted
    float carry_velocity[3];
};

// Another rider as the robots see it this tick.
struct robot_other {
    int slot;
    float position[3];
    float velocity[3];
    float direction[2];          // of travel (x, z), unit
    float speed;
};

// The ground under a point: the grip of its surface kind and the unit normal. Tests put their
// own here; the default reads the loaded terrain (grip 1 and straight up without one).
extern void (*autopilot_ground_hook)(float x, float z, float *grip, float normal[3]);
// The other riders of this tick (filled by autopilot_drive once a tick; tests fill it).
extern robot_other autopilot_others[RIDER_SLOTS];
extern int autopilot_other_count;

// ---- The tick ----------------------------------------------------------------------------------

// Reads the robot's bike: 0 when the slot has no bike.
int autopilot_sense(rider_slot *s, robot_sense *in);
// The robot's tick on what it sensed: advance, line choice, upkeep, then waiting, the start or
// driving. Every control it hands back is finite and in range.
void autopilot_control(rider_slot *s, const robot_sense &in, robot_controls *out);
// Hands the controls to the bike through its setters and checked calls.
void autopilot_apply(rider_slot *s, const robot_sense &in, const robot_controls &out);
// The riders the robots see this tick.
void autopilot_gather_others();

// ---- Line choice and the working line ------------------------------------------------------------

// What the line choice weighs: the next segment, the cost type, the race clock and where the
// robot stands on its working line.
struct line_choice_input {
    int segment;
    int cost_type;
    int now;                     // tick
    const line_point *line;      // the working line
    int count;
    float position[3];
};
// The slot of the segment's row the robot takes next: the used slot with the greatest total of
// join match and weighted cost over the coming rows; -1 when the row has no used slot.
int autopilot_choose_line(const line_choice_input &in);
// The weights of the slots before the match: cost over the coming rows, the plan's bonus and
// the start's evening out (exposed for tests).
void autopilot_line_weights(const line_choice_input &in, float weight[LINE_SLOTS_PER_SEGMENT]);
// The join match of a slot with the working line.
float autopilot_line_match(const line_choice_input &in, const line_slot *slot);
// The chosen slot, and every used slot of the row ending within 3 ft of it, picked now.
void autopilot_mark_picked(line_slot *row, int chosen, int now);
// Appends the chosen line to the robot's working line (trimmed, seeded when empty, joined by a
// curve where neither end was in the air); at segment 0 the target moves past the first 10 ft.
void autopilot_extend_line(rider_slot *s, const line_slot *chosen, int segment, const float forward[3]);
// A robot moved elsewhere on the course (a time trial's lap restart): its working line is
// emptied and the next line is chosen for `segment`, the one starting where it now stands.
void autopilot_restart_line(rider_slot *s, int segment);
// Moves the target on when the frame has come close enough to it (1 when it moved).
int autopilot_advance(rider_slot *s, const robot_sense &in, int now);
// The cost type the robot weighs lines with now: its personality's, the leading column while it
// leads the second rider clearly.
int autopilot_cost_type(const rider_slot *s);
// The reaction time (s) of a personality for a draw u in 0..1.
float autopilot_reaction(int personality, float u);
// A uniform draw in 0..1 from the program's generator (its low 31 bits).
float autopilot_draw();

// ---- Driving ------------------------------------------------------------------------------------

// The start at the gate, from the reset to two seconds after the launch: 1 while it drives.
int autopilot_start(rider_slot *s, const robot_sense &in, robot_controls *out);
// Throttle, clutch and brakes toward the target speed (ft/s).
void autopilot_speed_control(const robot_sense &in, float target, robot_controls *out);
// Normal driving along the working line.
void autopilot_normal_drive(rider_slot *s, const robot_sense &in, robot_controls *out);
// Recovery driving toward the target point.
void autopilot_recovery_drive(rider_slot *s, const robot_sense &in, robot_controls *out);

// Pieces of normal driving, for tests.
// The direction of travel (x, z): the horizontal velocity from 1 ft/s, else the forward axis.
void autopilot_travel_direction(const robot_sense &in, float direction[2]);
// The radius (ft, positive for a left turn) of the circle tangent to the direction of travel at
// the frame that reaches the look-ahead point `side` ft to the left and `ahead` ft ahead, for a
// bike turning on radius `present` now.
float autopilot_turn_radius(float side, float ahead, float present);
// The present turn's radius at this speed, tilt and load factor (|E| at most 1e6 ft).
float autopilot_present_radius(float speed, float tilt, float k);
// The lean window around the ground: *low and *high for the grip angle `allowed` and the slope
// across the bike `bank` (both rad).
void autopilot_lean_window(float allowed, float bank, float *low, float *high);
// The lean the ground allows at one point: min(atan(grip), the cap).
float autopilot_grip_angle(float grip);
// The restricted lock (rad) for the lean correction c.
float autopilot_restricted_lock(float c);

constexpr float ROBOT_TICK = 1.0f / 128.0f;
constexpr int ROBOT_CHOICE_ROWS = 8;
constexpr int ROBOT_CHOICE_AHEAD = 10;        // points left ahead when the next line is chosen
constexpr int ROBOT_KEEP_BEHIND = 30;         // points kept behind the target
constexpr int ROBOT_SEED_COPIES = 5;
constexpr float ROBOT_CAPTURE = 60.0f;        // ft
constexpr float ROBOT_CAPTURE_RECOVERY = 30.0f;
constexpr float ROBOT_START_CLEAR = 10.0f;    // ft: the first target of a race beyond this
constexpr int ROBOT_START_ADVANCE_TIC = 3840;
constexpr float ROBOT_LEAN_CAP = 1.1780972f;
constexpr float ROBOT_JUMP_NARROWING = 1.3744469f;
constexpr float ROBOT_FAR = 1000000.0f;
constexpr unsigned char ROBOT_ASSISTS = 0x3E;  // full stop-wheelies, both antilocks, auto shift
constexpr unsigned char ROBOT_AUTO_SHIFT = 0x20;
