// What putting a packed record onto a bike needs of its bike row, worked out once a row: the
// offsets between the bodies' rest points and each joint's turn for every value of its byte.
#pragma once

#include <ode/ode.h>

#include "bike/bike_info.h"
#include "bike/packed_state.h"

// Points are in the parent body's frame, relative to its rest point; turns are the rotations
// a joint adds to its parent's, one for each of the 256 values of the joint's byte.
struct packed_row_pose {
    double upper[3];                 // the upper fork from the frame
    double swingarm_across;          // the swingarm from the frame, across the bike
    double front[3], rear[3];        // the wheels from the lower fork and from the swingarm
    dMatrix3 steering[256];          // the upper fork's turn
    dMatrix3 swingarm[256];          // the swingarm's turn
    dMatrix3 axle[256];              // a wheel's turn
    double swingarm_point[256][2];   // the swingarm from the frame, up and along
    double lower[256][3];            // the lower fork from the upper fork, slid along the fork
    double rider_v4[256][3];         // the old form's rider from the frame, moved along its travel
};

// The ranges of a row alone: its travels, no terrain.
packed_ranges packed_row_ranges(const bike_info *row);
// The row's table, made on first use; null for a row outside the bike table.
const packed_row_pose *packed_row_pose_of(const bike_info *row);
