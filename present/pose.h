// Rider posing: the arms reach the grips, the legs the feet, the torso follows the rider body
// and the head looks along the way; all from copies of the bike's bodies, never the bodies.
#pragma once

#include "bike/bike_info.h"
#include "bike/rider.h"
#include "core/vec3.h"

// One body as drawing uses it: position, row-major rotation (columns the body's axes in world
// coordinates) and linear velocity, in single precision.
struct body_pose {
    float position[3];
    float rotation[9];
    float velocity[3];
};

// The rider model's nine bones: torso; left upper arm, left forearm; right upper arm, right
// forearm; left thigh, left shin; right thigh, right shin.
enum rider_pose_bone {
    POSE_TORSO, POSE_LEFT_UPPER_ARM, POSE_LEFT_FOREARM, POSE_RIGHT_UPPER_ARM, POSE_RIGHT_FOREARM,
    POSE_LEFT_THIGH, POSE_LEFT_SHIN, POSE_RIGHT_THIGH, POSE_RIGHT_SHIN, POSE_BONES
};

// A posed rider, world coordinates. Each bone's axes are its frame's rows: orthonormal and
// right-handed, the first along the bone pointing back toward the limb's root.
struct rider_pose {
    vec3 axes[POSE_BONES][3];
    vec3 root[POSE_BONES];
    vec3 shoulder[2], elbow[2], grip[2], hip[2], knee[2], foot[2];   // left, right
    vec3 head_position;
    float head_rotation[9];   // row-major, columns the head's x, y, z axes
};

// Where a limb bends when the target or the hint gives no direction.
struct limb_fallback {
    vec3 down;   // the limb's direction when the target sits on the root
    vec3 bend;   // the bend when the hint lies on the root-target line
    vec3 up;     // the bend when that too lies on the line
};

// The skinning of one pose against the row's rest pose, in rider-body coordinates: per bone
// the rest root (centre), the posed root (translation) and the rotation (column-major).
struct rider_skin {
    float centres[3 * POSE_BONES];
    float translations[3 * POSE_BONES];
    float rotations[9 * POSE_BONES];
};

// The body's pose copied out of the physics (identity and zeros for a null body).
body_pose body_pose_read(dBodyID body);
// A point given in the body's own coordinates, in world coordinates; and a direction.
vec3 body_pose_point(const body_pose &b, vec3 local);
vec3 body_pose_vector(const body_pose &b, vec3 local);
// Axis k (0 x, 1 y, 2 z) of the body in world coordinates.
vec3 body_pose_axis(const body_pose &b, int k);

// The two-bone solver: the middle joint of a limb from root (bone a) to target (bone b), bent
// toward the hint. Always finite for finite input.
void draw_solve_limb(vec3 *middle, vec3 root, float a, vec3 target, float b, vec3 hint,
                     const limb_fallback &fallback);
// The frame whose first axis is along `along` and whose second turns with `reference`; any
// direction shorter than 1e-6 takes the fallback axes (rows of the result: x, y, z).
void pose_frame(vec3 out[3], vec3 along, vec3 reference, const vec3 fallback[3]);
// Poses the rider of the row from the seven body copies (bike body order), the foot anchors and
// the throttle (0..1): arms, legs, torso and head.
void rider_pose_compute(rider_pose *out, const bike_info *row, const body_pose bodies[7],
                        const vec3 feet[2], float throttle);
// The head's position and row-major rotation from the rider body copy.
void rider_pose_head(vec3 *position, float rotation[9], const bike_info *row,
                     const body_pose &rider);
// The pose of the row's bike at rest (bodies at their rest positions, feet on the pegs),
// computed once per row; null for a row outside the table.
const rider_pose *rider_rest_pose(const bike_info *row);
// The skinning of the pose for the model drawn on the rider body copy.
void rider_pose_skin(rider_skin *out, const rider_pose &pose, const rider_pose &rest,
                     const body_pose &rider);
// The copy of the rider body as it is drawn: tilted back about its first hip point when its
// chest comes within 1.25 ft of the bar point. Returns 1 when it tilted.
int rider_display_tilt(body_pose *rider, const bike_info *row, const body_pose &fork_upper);

constexpr float POSE_TINY = 1e-6f;
