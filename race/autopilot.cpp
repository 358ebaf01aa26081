// The auto pilot's driving and lap sampling.
#include "race/robots.h"

void autopilot_drive(rider_slot *s) {
    // No line to ride: stop and wait.
    rider_set_throttle(s, 0);
    rider_set_front_brake(s, 1);
    rider_set_rear_brake(s, 1);
    rider_set_steer(s, 0);
}

void autopilot_record_sample(rider_slot *s) {
    (void)s;
}
