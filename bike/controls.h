// The nine control values of one tick that drive a rider.
#pragma once

enum control_axis {
    CONTROL_STEER, CONTROL_THROTTLE, CONTROL_FRONT_BRAKE, CONTROL_REAR_BRAKE, CONTROL_SHIFT,
    CONTROL_CLUTCH, CONTROL_SIT_DAB, CONTROL_BACK_UP, CONTROL_LEAN, CONTROL_AXES
};

struct control_record {
    float axis[CONTROL_AXES];
};
